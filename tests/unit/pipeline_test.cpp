// The request's own checks, seen from the module state they leave behind.
#include <gtest/gtest.h>

#include "box_recorder.h"
#include "common/messages.h"
#include "plugin/host_interface.h"
#include "plugin/state.h"
#include "request_harness.h"
#include "settings/settings.h"
#include "settings/settings_testing.h"
#include "support/scratch.h"

extern "C" HWND __stdcall ListLoadW(HWND ParentWin, WCHAR* FileToLoad, int ShowFlags);
extern "C" void __stdcall ListCloseWindow(HWND ListWin);

namespace {

struct Pipeline : ::testing::Test {
    ScratchDir dir{L"pipeline"};
    StandInGenerator generator;
    void SetUp() override
    {
        generator.jpeg = FixtureJpeg();
        InstallStandInGenerator(&generator);
        UseSettingsIn(dir.path, {});
        gLastRequestPath[0] = 0;
    }
    void TearDown() override
    {
        InstallStandInGenerator(nullptr);
        ForgetTestSettings();
    }
};

TEST_F(Pipeline, CellSizeAndFileSizeGates)
{
    std::wstring clip = dir.path + L"clip.mp4";
    std::wstring empty = dir.path + L"empty.mp4";
    ASSERT_TRUE(WriteFileBytes(clip, "x"));
    ASSERT_TRUE(WriteFileBytes(empty, ""));
    struct Case {
        const char* label;
        std::wstring path;
        int width, height;
        bool reachesGenerator;
    } cases[] = {
        {"width 7", clip, 7, 96, false},
        {"height 7", clip, 96, 7, false},
        {"8 x 8", clip, 8, 8, true},
        {"empty file", empty, 96, 96, false},
        {"missing file", dir.path + L"missing.mp4", 96, 96, false},
        {"upper-case extension", dir.path + L"CLIP.MP4", 96, 96, true},
        {"not in any list", dir.path + L"notes.txt", 96, 96, false},
    };
    ASSERT_TRUE(WriteFileBytes(dir.path + L"CLIP.MP4", "x"));
    ASSERT_TRUE(WriteFileBytes(dir.path + L"notes.txt", "x"));
    for (const Case& c : cases) {
        generator.calls = 0;
        gLastRequestPath[0] = 0;
        RequestThumbnailSize(c.path, c.width, c.height);
        EXPECT_EQ(c.reachesGenerator ? 1 : 0, generator.calls) << c.label;
        // Only a request past the size checks counts as the last request.
        EXPECT_EQ(c.reachesGenerator, c.path == gLastRequestPath) << c.label;
    }
    RequestThumbnailSize(clip, 7, 1234);
    EXPECT_EQ(7, gThumbWidth) << "the size is kept even when refused";
    EXPECT_EQ(1234, gThumbHeight);
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(Pipeline, GeneratorGetsTheMediaKindAndTheHostsPath)
{
    struct Case {
        const wchar_t* name;
        int kind;
    } cases[] = {{L"a.mkv", 1}, {L"b.flac", 2}, {L"c.png", 3}, {L"d.cbz", 4}, {L"e.epub", 5}, {L"f.PDF", 3}};
    for (const Case& c : cases) {
        std::wstring path = dir.path + c.name;
        ASSERT_TRUE(WriteFileBytes(path, "data"));
        EXPECT_TRUE(RequestThumbnailSize(path, 96, 96)) << c.kind;
        EXPECT_EQ(c.kind, generator.lastKind);
    }
}

TEST_F(Pipeline, UnusableSettingsAreReportedOnlyWithDebugOn)
{
    std::wstring clip = dir.path + L"clip.mp4";
    ASSERT_TRUE(WriteFileBytes(clip, "x"));
    // A settings file that cannot be created: its folder does not exist.
    static const std::wstring missing = dir.path + L"gone\\vistrel.wlx64";
    for (bool debug : {false, true}) {
        ClearRecordedBoxes();
        ResetSettingsForTests();
        SetSettingsModuleNameForTests(missing.c_str());
        bDebug = debug;
        EXPECT_FALSE(RequestThumbnailSize(clip, 96, 96));
        EXPECT_EQ(0, generator.calls);
        bool sawDebugBox = false;
        for (const RecordedBox& box : RecordedBoxes())
            sawDebugBox |= box.text == L"DEBUG char*: 'IniFileOp failed'";
        EXPECT_EQ(debug, sawDebugBox);
    }
    bDebug = false;
}

TEST_F(Pipeline, FailedGeneratorAndUndecodableOutputLeaveNoTemporaryFile)
{
    // The program's temp-folder guard checks what is left behind.
    std::wstring clip = dir.path + L"clip.mp4";
    ASSERT_TRUE(WriteFileBytes(clip, "x"));
    std::wstring notJpeg = dir.path + L"not.jpg";
    ASSERT_TRUE(WriteFileBytes(notJpeg, "this is no JPEG"));
    generator.jpeg = notJpeg;
    EXPECT_FALSE(RequestThumbnailSize(clip, 96, 96));
    generator.jpeg = dir.path + L"missing.jpg";
    EXPECT_FALSE(RequestThumbnailSize(clip, 96, 96));
    EXPECT_EQ(2, generator.calls);
}

// What the host may do while a box of an earlier call is up: a box's
// message loop delivers its messages, and so its calls, on the same thread.
struct HostInsideBox {
    std::wstring clip, folder;
    HWND lister, earlierView;
    int boxes = 0;
    bool thumbnail = true;
    HWND view = NULL;
};
HostInsideBox* gHost = nullptr;

int hostCallsFromTheBox(const wchar_t*, const wchar_t*, UINT)
{
    HostInsideBox& h = *gHost;
    if (h.boxes++ == 0) {
        h.thumbnail = RequestThumbnailSize(h.clip, 96, 96);
        h.view = ListLoadW(h.lister, &h.folder[0], 0);
        ListCloseWindow(h.earlierView);
        DestroyWindow(h.lister); // the user closes the Lister meanwhile
    }
    return IDOK;
}

TEST_F(Pipeline, CallsFromInsideABoxAreRefusedButClosingIsServed)
{
    std::wstring clip = dir.path + L"clip.mp4";
    std::wstring started = dir.path + L"started.txt";
    ASSERT_TRUE(WriteFileBytes(clip, "x"));
    ChangeSetting(dir.path, L"ffplayPath (chars)", ExeDirectory() + L"record_tool.exe");
    SetEnvironmentVariableW(L"VSL_RECORD_FILE", started.c_str());
    auto window = [](const wchar_t* title) { return CreateWindowW(L"STATIC", title, 0, 0, 0, 9, 9, 0, 0, 0, 0); };
    for (bool outerIsLister : {false, true}) {
        SCOPED_TRACE(outerIsLister ? "inside a Lister open" : "inside a thumbnail request");
        HostInsideBox h{clip, dir.path, window(L"lister"), window(L"earlier view")};
        // A value too long for its key: the next load shows a box.
        ChangeSetting(dir.path, outerIsLister ? L"FontColor (chars)" : L"ffmpegVideoDrawTextAdditional (chars)",
                      std::wstring(300, L'c'));
        gHost = &h;
        MessagePresenter recorder = gMessagePresenter;
        gMessagePresenter = hostCallsFromTheBox;
        if (outerIsLister)
            EXPECT_EQ(nullptr, ListLoadW(h.lister, &clip[0], 0)) << "a player for a Lister that closed";
        else
            EXPECT_TRUE(RequestThumbnailSize(clip, 96, 96)) << "the request goes on after its box";
        gMessagePresenter = recorder;

        EXPECT_GE(h.boxes, 1);
        EXPECT_FALSE(h.thumbnail);
        EXPECT_EQ(nullptr, h.view);
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        EXPECT_FALSE(IsWindow(h.earlierView)) << "the earlier view was not told to close";
        EXPECT_TRUE(RequestThumbnailSize(clip, 96, 96)) << "not served again once the call returned";
    }
    SetEnvironmentVariableW(L"VSL_RECORD_FILE", NULL);
    EXPECT_FALSE(FileExists(started));
    // What the refused open gives outside a box.
    HWND lister = window(L"lister");
    std::wstring folder = dir.path;
    EXPECT_NE(nullptr, ListLoadW(lister, &folder[0], 0));
    DestroyWindow(lister);
}

} // namespace
