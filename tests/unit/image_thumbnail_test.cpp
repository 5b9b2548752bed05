// The image generator called directly, with the converter stand-in staged
// beside the real ffmpeg: its argument text, its temporary names and the
// limits of the paths it is given; and the stand-in's viewer mode.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "box_recorder.h"
#include "cache/stream_cache.h"
#include "common/format.h"
#include "generators/generators.h"
#include "generators/image_thumbnail.h"
#include "plugin/file_info.h"
#include "plugin/state.h"
#include "request_harness.h"
#include "settings/settings.h"
#include "support/media.h"
#include "support/scratch.h"
#include "tools/runner.h"

namespace {

const FILETIME kOldTime = MakeFileTime(2021, 5, 4, 3, 2, 1, 1234567);

std::wstring errorBoxText(const std::wstring& subject, const std::wstring& message)
{
    return L"Error\n" + subject + L"\n\n" + message;
}

TEST(ImageArguments, QuoteOnlyThePathsAndRefuseWhatDoesNotFit)
{
    wchar_t out[kFormatWideChars];
    ASSERT_TRUE(BuildImageArguments(out, L"C:\\a b\\in.png", 256, 192, L"/silent /jpgq=91", L"C:\\x.png:preview.jpg"));
    EXPECT_STREQ(L"\"C:\\a b\\in.png\" /resize=(256,192) /silent /jpgq=91 /convert=\"C:\\x.png:preview.jpg\"", out);
    std::wstring huge(4060, L'x');
    EXPECT_FALSE(BuildImageArguments(out, L"C:\\in.png", 256, 192, huge.c_str(), L"C:\\out.jpg"));
    EXPECT_STREQ(L"", out);
}

struct ImageGenerator : ::testing::Test {
    ScratchDir dir{L"image"};
    std::wstring converter = ToolsFolder() + L"bin\\IrfanView_64\\i_view64.exe";
    std::wstring temp = EnvWide(L"TEMP");
    std::wstring record = dir.path + L"converter.log";
    std::wstring cacheIni = dir.path + L"cache.ini";
    std::wstring source;

    void SetUp() override
    {
        ASSERT_TRUE(FileExists(converter)) << "converter stand-in not staged; build first";
        UseSettingsIn(dir.path, {{L"irfanviewPath (chars)", converter}});
        ASSERT_NE(0, IniFileOp());
        source = CopyMedia(L"icon.png", dir.path);
        SetEnvironmentVariableW(L"VSL_RECORD_FILE", record.c_str());
        gThumbWidth = 64;
        gThumbHeight = 48;
        // The stream cache as the pipeline sets it up; a plain file serves
        // as the thumbnail stream.
        gUseADS = true;
        wcscpy(gStreamName, L":preview.jpg");
        wcscpy(gCacheSignature, L"12c");
        wcscpy(gFileThumbsCachedADS, cacheIni.c_str());
    }
    void TearDown() override
    {
        useTemp(temp);
        SetEnvironmentVariableW(L"VSL_RECORD_FILE", NULL);
        gUseADS = false;
        ForgetTestSettings();
    }
    void useTemp(const std::wstring& folder)
    {
        SetEnvironmentVariableW(L"TMP", folder.c_str());
        SetEnvironmentVariableW(L"TEMP", folder.c_str());
    }
    int make(std::wstring* output, const std::wstring& fileToLoad = L"")
    {
        wchar_t out[kThumbOutChars];
        wcscpy(out, output->c_str());
        DeleteFileW(record.c_str());
        ClearRecordedBoxes();
        int made = irfanviewGetImageThumbnail(source.c_str(), out, fileToLoad.c_str());
        *output = out;
        return made;
    }
    // Where the converter was told to write, as UTF-8.
    std::string convertedTo() const
    {
        std::string bytes;
        ReadFileBytes(record, &bytes);
        size_t start = bytes.find("/convert=\"") + 10;
        return bytes.substr(start, bytes.find('"', start) - start);
    }
    std::wstring pathOfLength(size_t length, const std::wstring& extension) const
    {
        return dir.path + std::wstring(length - dir.path.size() - extension.size(), L'n') + extension;
    }
};

TEST_F(ImageGenerator, UniqueTemporaryNamesAreNewFilesOfOursAndFitTheBuffer)
{
    // Each name is a file made by the call, so the second of two names
    // drawn at once (as the long-output route does) can never be the first.
    useTemp(dir.path);
    wchar_t first[260], second[260];
    ASSERT_TRUE(MakeUniqueTempName(first, L"vsl", L"jpg"));
    ASSERT_TRUE(MakeUniqueTempName(second, L"vsl", L"jpg"));
    EXPECT_STRNE(first, second);
    std::wstring name = first;
    EXPECT_EQ(dir.path + L"vsl", name.substr(0, dir.path.size() + 3));
    EXPECT_EQ(L".jpg", name.substr(name.size() - 4));
    EXPECT_TRUE(FileExists(first) && FileExists(second)) << "each name is a file of ours";

    // Folder + "vsl" + "jpg" + 5 reaches 260 with a folder of 249 characters.
    for (size_t length : {248u, 249u}) {
        std::wstring folder = dir.path + std::wstring(length - dir.path.size() - 1, L'd');
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), NULL));
        useTemp(folder + L"\\");
        wchar_t out[260] = L"untouched";
        EXPECT_EQ(length == 248, MakeUniqueTempName(out, L"vsl", L"jpg")) << length;
        EXPECT_EQ(length == 249, wcscmp(out, L"untouched") == 0) << length;
    }
}

TEST_F(ImageGenerator, LongPathsTakeTheirRoutesAtTheLimits)
{
    for (size_t length : {260u, 261u}) {
        std::wstring picture = L"\\\\?\\" + pathOfLength(length - 4, L".png");
        ASSERT_TRUE(CopyFileW(source.c_str(), picture.c_str(), FALSE));
        std::wstring out = dir.path + L"out.jpg";
        EXPECT_EQ(length == 260 ? 1 : 0, make(&out, picture)) << length;
        if (length == 261) {
            ASSERT_EQ(1u, RecordedBoxes().size());
            EXPECT_EQ(errorBoxText(picture, L"irfanviewGetImageThumbnail -> FileToLoadTMP) > _MAX_PATH"),
                      RecordedBoxes()[0].text);
        }
    }
    // Over 250 characters the converter writes a temporary file instead,
    // which ends up copied into the output and is then removed.
    for (size_t length : {250u, 251u}) {
        SCOPED_TRACE(length);
        std::wstring out = pathOfLength(length, L".jpg");
        ASSERT_EQ(1, make(&out));
        EXPECT_GT(getFileSize64(out.c_str()), 0);
        EXPECT_EQ(L"|12c|64x48", ReadProfile(cacheIni, L":preview.jpg").substr(19));
        std::string target = convertedTo();
        EXPECT_EQ(length == 250, target == Utf8(out));
        EXPECT_EQ(length == 251, target.find(Utf8(temp + L"vsl")) == 0) << target;
        ASSERT_EQ(length == 250 ? 0u : 1u, RecordedBoxes().size());
        if (length == 251) {
            EXPECT_EQ(errorBoxText(out, L"OutLimit > 250"), RecordedBoxes()[0].text);
        }
    }
    // When the converter cannot read the picture there is nothing to copy;
    // the times its reading stamped still go back.
    source = CopyMedia(L"broken.png", dir.path);
    ASSERT_TRUE(SetTimes(source, {kOldTime, kOldTime, kOldTime}));
    std::wstring out = pathOfLength(251, L".jpg");
    EXPECT_EQ(0, make(&out));
    FileTimes now;
    ASSERT_TRUE(GetTimes(source, &now));
    EXPECT_TRUE(SameTime(kOldTime, now.access) && SameTime(kOldTime, now.write));
}

TEST_F(ImageGenerator, WithoutTheStreamCacheTheCallersFileGivesWayToAJpgName)
{
    gUseADS = false;
    std::wstring callers = temp + L"vslAB12.tmp";
    ASSERT_TRUE(WriteFileBytes(callers, ""));
    std::wstring out = callers;
    ASSERT_EQ(1, make(&out));
    EXPECT_FALSE(FileExists(callers));
    EXPECT_EQ(Utf8(out), convertedTo());
    EXPECT_EQ(L".jpg", out.substr(out.size() - 4));
    EXPECT_GT(getFileSize64(out.c_str()), 0);
    EXPECT_EQ(L"", ReadProfile(cacheIni, L":preview.jpg"));
    DeleteFileW(out.c_str()); // the caller's part
}

// The Lister view starts the converter as a viewer: a window of the class
// the window search knows, showing the picture until it is told to close.
TEST_F(ImageGenerator, TheStandInViewerShowsThePictureUntilClosed)
{
    std::wstring commandLine = L"0  \"" + MediaPath(L"alpha.png") + L"\" /silent /hide 7";
    HANDLE process = StartProgramFindWindow(converter.c_str(), commandLine.c_str());
    ASSERT_NE(nullptr, process);
    HWND window = gFoundWindow;
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    EXPECT_STREQ("IrfanView", className);
    std::string logged;
    EXPECT_TRUE(ReadFileBytes(record, &logged) && logged == Utf8(commandLine) + "\n") << logged;

    // The picture comes after the window. Fitted into the landscape client
    // area, the portrait picture leaves black at the sides; its disc is
    // orange in the middle.
    ShowWindow(window, SW_SHOWNOACTIVATE);
    auto looksLike = [window](double x, int r, int g, int b) {
        RECT client;
        GetClientRect(window, &client);
        POINT at = {(LONG)(client.right * x), client.bottom / 2};
        ClientToScreen(window, &at);
        HDC screen = GetDC(NULL);
        COLORREF c = GetPixel(screen, at.x, at.y);
        ReleaseDC(NULL, screen);
        return abs(GetRValue(c) - r) < 8 && abs(GetGValue(c) - g) < 8 && abs(GetBValue(c) - b) < 8;
    };
    bool orange = false;
    for (int i = 0; i < 100 && !orange; ++i, Sleep(100)) orange = looksLike(0.5, 0xff, 0x80, 0x00);
    EXPECT_TRUE(orange);
    EXPECT_TRUE(looksLike(0.02, 0, 0, 0));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 10000));
    CloseHandle(process);
}

} // namespace
