// The Lister view through the real DLL: a window of this test stands in
// for the Lister, the plug-in starts the stand-ins of the player and the
// image viewer (support/lister_programs.h), and every stand-in records the
// command line it was given.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "support/box_watcher.h"
#include "support/lister_programs.h"
#include "support/media.h"
#include "support/plugin.h"
#include "support/scratch.h"

namespace {

const int kListerWidth = 480, kListerHeight = 320;
const DWORD kEndWaitMs = 15000; // a closed stand-in ends well within this under load

// Short texts for the filter settings, so each command states which
// settings it was built from.
const SettingsValues kShortFilters = {
    {L"ffmpegVideo_LR (chars)", L"LR"},
    {L"ffmpegVideo_TB (chars)", L"TB"},
    {L"ffmpegVideo_VR_LR (chars)", L"VRLR"},
    {L"ffmpegVideo_VR_TB (chars)", L"VRTB"},
    {L"ffmpegVideo_VR_180 (chars)", L"V180"},
    {L"ffmpegVideo_VR_360 (chars)", L"V360"},
    {L"ffplayListerVideoOSDInputParams (chars)", L"OSD"},
    {L"ffplayListerVideoPreInputParams (chars)", L"-video"},
    {L"ffplayListerAudioPreInputParams (chars)", L"-audio"},
};

// Dispatches this thread's messages for `ms`, or until `object` is
// signalled. A stand-in embedded in our window sends it messages (its end
// notifies the parent), so waiting without pumping could wait forever.
bool PumpUntil(DWORD ms, HANDLE object = NULL)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        if (object && WaitForSingleObject(object, 0) == WAIT_OBJECT_0) return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return false;
        MsgWaitForMultipleObjects(object ? 1 : 0, object ? &object : NULL, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

HWND OpenWindow(const wchar_t* title, DWORD style)
{
    static const wchar_t kClass[] = L"VslTestLister";
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.lpszClassName = kClass;
    RegisterClassW(&windowClass); // fails harmlessly once registered
    RECT frame = {0, 0, kListerWidth, kListerHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    return CreateWindowExW(0, kClass, title, style, 10, 10, frame.right - frame.left, frame.bottom - frame.top, NULL,
                           NULL, GetModuleHandleW(NULL), NULL);
}

bool HasFrame(HWND window)
{
    return (GetWindowLongPtrW(window, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_POPUP)) != 0;
}

struct ListerView : ::testing::Test {
    ScratchDir scratch{L"lister"};
    LoadedPlugin plugin;
    HWND lister = NULL;
    std::wstring record = scratch.path + L"started.txt";
    BoxWatcher boxes;

    void SetUp() override
    {
        lister = OpenWindow(L"Lister", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
        ASSERT_TRUE(lister);
        ShowWindow(lister, SW_SHOWNOACTIVATE);
        SetEnvironmentVariableW(L"VSL_RECORD_FILE", record.c_str());
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"VSL_RECORD_FILE", NULL);
        SetEnvironmentVariableW(L"VSL_VIEWER_OPTIONS", NULL);
        DestroyWindow(lister);
        PumpUntil(50);
        UnloadPlugin(&plugin);
    }

    bool load(const SettingsValues& settings = {})
    {
        std::wstring ini = scratch.path + L"vistrel.ini";
        SettingsValues all = ListerProgramSettings();
        all.insert(all.end(), settings.begin(), settings.end());
        for (const auto& kv : all) WritePrivateProfileStringW(L"vistrel", kv.first.c_str(), kv.second.c_str(), ini.c_str());
        return LoadPluginCopy(scratch.path, &plugin);
    }
    void change(const SettingsValues& settings)
    {
        for (const auto& kv : settings) ChangePluginSetting(plugin, kv.first, kv.second);
    }
    // A file of the scratch folder (sub-folders are made), `bytes` long.
    std::wstring file(const std::wstring& name, size_t bytes = 100)
    {
        std::wstring path = scratch.path + name;
        for (size_t slash = path.find(L'\\', scratch.path.size()); slash != std::wstring::npos;
             slash = path.find(L'\\', slash + 1))
            CreateDirectoryW(path.substr(0, slash).c_str(), NULL);
        EXPECT_TRUE(WriteFileBytes(path, std::string(bytes, 'm')));
        return path;
    }
    HWND open(const std::wstring& path)
    {
        std::wstring copy = path; // the host passes a writable buffer
        return plugin.ListLoadW(lister, &copy[0], 0);
    }
    // Command lines the stand-ins were started with, oldest first; the
    // record is emptied.
    std::vector<std::wstring> started()
    {
        std::vector<std::wstring> lines;
        std::string bytes;
        if (ReadFileBytes(record, &bytes)) {
            for (size_t at = 0, end; at < bytes.size(); at = end + 1) {
                end = bytes.find('\n', at);
                if (end == std::string::npos) end = bytes.size();
                std::string line = bytes.substr(at, end - at);
                std::wstring wide(line.size(), L'\0');
                wide.resize(MultiByteToWideChar(CP_UTF8, 0, line.data(), (int)line.size(), &wide[0], (int)wide.size()));
                lines.push_back(wide);
            }
        }
        DeleteFileW(record.c_str());
        return lines;
    }
    // Closes an embedded window as the host does; true when its program
    // ended. `closeMs` receives how long the close itself took.
    bool closeAndWaitForEnd(HWND window, DWORD* closeMs = nullptr)
    {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
        DWORD start = GetTickCount();
        plugin.ListCloseWindow(window);
        if (closeMs) *closeMs = GetTickCount() - start;
        bool ended = process && PumpUntil(kEndWaitMs, process);
        if (process && !ended) TerminateProcess(process, 1);
        if (process) CloseHandle(process);
        return ended;
    }
    // The command the player was started with for one file, its window closed.
    std::wstring playerCommand(const std::wstring& path)
    {
        HWND window = open(path);
        EXPECT_TRUE(window);
        if (window) {
            EXPECT_TRUE(closeAndWaitForEnd(window));
        }
        std::vector<std::wstring> lines = started();
        EXPECT_EQ(1u, lines.size());
        return lines.empty() ? L"" : lines.back();
    }
};

const wchar_t kPlaceholderText[] =
    L"\n\n\tDIRECTORY\n\n\n\t\t(Handled by vistrel WLX plugin to speed up\n\t\tQuickView browsing)\n\n"
    L"\t\tTo disable directories support:\n\t\tvistrel.ini --> ListerDirectorySupport=0";

TEST_F(ListerView, FoldersGetThePlaceholderUnlessSwitchedOff)
{
    ASSERT_TRUE(load());
    struct Case {
        const wchar_t* listerSupport;
        const wchar_t* directorySupport;
        bool placeholder;
    } const cases[] = {{L"1", L"1", true}, {L"0", L"1", true}, {L"1", L"0", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(std::wstring(c.listerSupport) + L"/" + c.directorySupport));
        change({{L"ListerSupport (bool)", c.listerSupport}, {L"ListerDirectorySupport (bool)", c.directorySupport}});
        HWND window = open(scratch.path);
        ASSERT_EQ(c.placeholder, window != NULL);
        if (!window) continue;
        wchar_t className[64] = L"", text[512] = L"";
        GetClassNameW(window, className, 64);
        GetWindowTextW(window, text, 512);
        EXPECT_STREQ(L"Static", className);
        EXPECT_STREQ(kPlaceholderText, text);
        EXPECT_EQ(lister, GetParent(window));
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD);
        EXPECT_FALSE(HasFrame(window));
        plugin.ListCloseWindow(window);
        PumpUntil(200);
        EXPECT_FALSE(IsWindow(window));
    }
    EXPECT_TRUE(started().empty());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ListerView, FilesItDoesNotShowGiveNullAndStartNothing)
{
    ASSERT_TRUE(load());
    struct Case {
        const char* label;
        std::wstring path;
        SettingsValues settings;
    } const cases[] = {
        {"excluded though an image", file(L"scan.pdf"), {}},
        {"no media list", file(L"notes.txt"), {}},
        {"no extension", file(L"README"), {}},
        {"empty", file(L"empty.mp4", 0), {}},
        {"missing", scratch.path + L"missing.mp4", {}},
        {"comic", file(L"book.cbz"), {}},
        {"album", file(L"photos.zip"), {}},
        {"260 characters", scratch.path + std::wstring(256 - scratch.path.size(), L'a') + L".mp4", {}},
        {"Lister switched off", file(L"clip.mp4"), {{L"ListerSupport (bool)", L"0"}}},
    };
    for (const Case& c : cases) {
        change(c.settings);
        EXPECT_EQ(nullptr, open(c.path)) << c.label;
    }
    std::string narrow = Utf8(file(L"clip.avi"));
    EXPECT_EQ(nullptr, plugin.ListLoad(lister, &narrow[0], 0));
    EXPECT_TRUE(started().empty());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ListerView, AMissingPlayerIsReportedEvenForAnImage)
{
    std::wstring missing = scratch.path + L"bin\\ffplay.exe";
    ASSERT_TRUE(load({{L"ffplayPath (chars)", missing}}));
    for (const wchar_t* name : {L"clip.mp4", L"song.mp3", L"photo.png"}) EXPECT_EQ(nullptr, open(file(name)));
    std::vector<SeenBox> seen = boxes.boxes();
    ASSERT_EQ(3u, seen.size());
    for (const SeenBox& box : seen) {
        EXPECT_NE(std::wstring::npos, box.text.find(missing));
        EXPECT_NE(std::wstring::npos, box.text.find(L"File not found at specified location from ini"));
    }
    EXPECT_TRUE(started().empty());
}

TEST_F(ListerView, PlayerCommandsWithTheDefaultSettings)
{
    ASSERT_TRUE(load());
    std::wstring video = file(L"Trip_SBS_180.mp4");
    EXPECT_EQ(L"0 -volume 50 -loop 0 -fast -framedrop -loglevel panic -i \"" + video +
                  L"\" -x 19 -y 5 -vf \"crop=iw/2:ih/1.5714:0:ih/5,lenscorrection=0.5:0.5:-0.53:0.34,"
                  L"drawtext=fontfile='c\\:/Windows/Fonts/micross.ttf':text='%{pts\\:gmtime\\:0\\:%H\\\\\\:%M"
                  L"\\\\\\:%S}':x='if(lt(h,w),w/50,w/31.25)':y='if(lt(h,w),h/31.25,h/50)':fontsize='if(lt(h,w),"
                  L"w/25,h/25)':fontcolor=ddddee:shadowcolor=darkblue:shadowx=2:shadowy=2\"",
              playerCommand(video));
    std::wstring audio = file(L"song.mp3");
    EXPECT_EQ(L"0 -volume 50 -loop 1 -showmode 2 -fast -framedrop -loglevel panic -i \"" + audio + L"\" -x 19 -y 5",
              playerCommand(audio));
    EXPECT_TRUE(boxes.boxes().empty());
}

// The filter follows the markers of the whole path (case kept) and the
// two switches; names the interpreter would expand reach the player as
// they are.
TEST_F(ListerView, PlayerFiltersFollowMarkersAndSwitches)
{
    ASSERT_TRUE(load(kShortFilters));
    struct Case {
        const wchar_t* name;
        bool overlay, support3D;
        const wchar_t* filter; // null: no -vf at all
    } const cases[] = {
        {L"clip.mp4", true, true, L"OSD"},                 // code 0
        {L"clip_SBS.mp4", true, true, L"LR,OSD"},          // 2
        {L"clip_SBS_180.mp4", true, true, L"VRLR,V180,OSD"}, // 18
        {L"clip_MONO_180.mp4", true, true, L"V180,OSD"},   // 24
        {L"clip_MONO_360.mp4", true, true, L"V360,OSD"},   // 40
        {L"clip_MONO.mp4", true, true, L"OSD"},            // 8: no 3D treatment
        {L"photo.jps", true, true, L"LR"},                 // 1: a still has no time
        {L"clip_sbs.mp4", true, true, L"OSD"},             // markers keep their case
        {L"Trip_TB\\clip.mp4", true, true, L"TB,OSD"},     // a marker in a folder counts
        {L"clip.mp4", false, true, nullptr},
        {L"clip_SBS_180.mp4", false, true, L"VRLR,V180"},
        {L"photo.jps", false, true, L"LR"},
        {L"clip_SBS.mp4", true, false, L"OSD"},
        {L"clip_SBS.mp4", false, false, nullptr},
        {L"50% & more!.mp4", true, true, L"OSD"},
        {L"it's ^ (1), =x; !a! & 東京 %PATH%.mkv", true, true, L"OSD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.name));
        change({{L"OverlayInfo (bool)", c.overlay ? L"1" : L"0"}, {L"3DSupport (bool)", c.support3D ? L"1" : L"0"}});
        std::wstring path = file(c.name);
        std::wstring expected = L"0 -video -i \"" + path + L"\" -x 19 -y 5";
        if (c.filter) expected += L" -vf \"" + std::wstring(c.filter) + L"\"";
        EXPECT_EQ(expected, playerCommand(path));
    }
    // Audio never gets a filter.
    std::wstring audio = file(L"%PATH% & 東京_SBS.mp3");
    EXPECT_EQ(L"0 -audio -i \"" + audio + L"\" -x 19 -y 5", playerCommand(audio));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ListerView, ACommandPast4095CharactersStartsNothing)
{
    ASSERT_TRUE(load({{L"ffplayListerVideoOSDInputParams (chars)", std::wstring(4000, L'o')}}));
    EXPECT_EQ(nullptr, open(file(L"clip.mp4")));
    EXPECT_TRUE(started().empty());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ListerView, ImageViewerCommandsKeepTheNameIntact)
{
    ASSERT_TRUE(load());
    for (const wchar_t* name : {L"photo.png", L"50% & more! !x! 東京 %TEMP%.jpg"}) {
        SCOPED_TRACE(Utf8(name));
        SteerStandIn(ImageViewerStandIn());
        std::wstring path = file(name);
        HWND window = open(path);
        ASSERT_TRUE(window);
        EXPECT_TRUE(closeAndWaitForEnd(window));
        std::vector<std::wstring> lines = started();
        ASSERT_EQ(1u, lines.size());
        EXPECT_EQ(L"0  \"" + path + L"\" /silent /hide 7", lines[0]);
    }
}

TEST_F(ListerView, EmbeddedWindowsBecomeFramelessVisibleChildren)
{
    ASSERT_TRUE(load());
    RECT client;
    GetClientRect(lister, &client);
    struct Case {
        const char* label;
        const wchar_t* name;
        EmbeddedProgram program;
        const wchar_t* options;
        const char* className;
        bool fills; // the player is moved onto the client area, the viewer is not
    } const cases[] = {
        {"player", L"clip.mp4", PlayerStandIn(), L"", "SDL_app", true},
        // Its window stays 640 x 480: the plug-in stops waiting and embeds it.
        {"player that never resizes", L"clip.mkv", PlayerStandIn(), L"--resize-after 600000", "SDL_app", true},
        {"image viewer", L"photo.png", ImageViewerStandIn(), L"", "IrfanView", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SteerStandIn(c.program, c.options);
        HWND window = open(file(c.name));
        ASSERT_TRUE(window);
        char className[64] = "";
        GetClassNameA(window, className, 64);
        EXPECT_STREQ(c.className, className);
        EXPECT_EQ(lister, GetParent(window));
        EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD);
        EXPECT_FALSE(HasFrame(window));
        EXPECT_TRUE(IsWindowVisible(window));
        // Past the player's own resize (300 ms after it opens): it must not
        // move the window off the Lister's size once embedded.
        PumpUntil(1000);
        if (c.fills) {
            RECT rect;
            GetWindowRect(window, &rect);
            MapWindowPoints(NULL, lister, (POINT*)&rect, 2);
            EXPECT_TRUE(EqualRect(&client, &rect))
                << rect.left << "," << rect.top << "-" << rect.right << "," << rect.bottom;
        }
        EXPECT_TRUE(closeAndWaitForEnd(window));
        started();
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ListerView, APlayerWhoseWindowNeverComesIsEnded)
{
    ASSERT_TRUE(load());
    std::wstring pidFile = scratch.path + L"pid.txt";
    SteerStandIn(PlayerStandIn(), L"--no-window --exit-after 120000 --pid-file \"" + pidFile + L"\"");
    EXPECT_EQ(nullptr, open(file(L"clip.mp4")));
    std::string pid;
    ASSERT_TRUE(ReadFileBytes(pidFile, &pid));
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, (DWORD)strtoul(pid.c_str(), NULL, 10));
    if (process) {
        bool ended = WaitForSingleObject(process, kEndWaitMs) == WAIT_OBJECT_0;
        EXPECT_TRUE(ended);
        if (!ended) TerminateProcess(process, 1);
        CloseHandle(process);
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

// The wait is for a file the closing program may still hold in the
// temporary folder; the title the program gave its window names the file.
TEST_F(ListerView, ClosingWaitsOnlyForFilesInTheTemporaryFolder)
{
    const DWORD kSleepMs = 1500;
    ASSERT_TRUE(load({{L"ListerCloseTempFileSleepTimeInMS (int)", std::to_wstring(kSleepMs)}}));
    std::wstring savedTemp = EnvWide(L"TEMP");
    // The player titles its window with the file it plays.
    HWND player = open(file(L"clip.mp4"));
    ASSERT_TRUE(player);
    SetEnvironmentVariableW(L"TEMP", scratch.path.substr(0, scratch.path.size() - 1).c_str());
    DWORD closeMs = 0;
    EXPECT_TRUE(closeAndWaitForEnd(player, &closeMs));
    SetEnvironmentVariableW(L"TEMP", savedTemp.c_str());
    EXPECT_GE(closeMs, kSleepMs - 20);

    const std::wstring temp = L"C:\\Users\\Vsl\\AppData\\Local\\Temp";
    struct Case {
        const char* label;
        std::wstring title, tempValue;
        const wchar_t* sleepSetting;
        bool waits;
    } const cases[] = {
        {"file in the temporary folder", temp + L"\\clip.mp4", temp, nullptr, true},
        {"another letter case", L"c:\\users\\vsl\\APPDATA\\local\\temp\\clip.mp4 - player", temp, nullptr, true},
        {"elsewhere", L"D:\\Videos\\clip.mp4", temp, nullptr, false},
        {"title shorter than TEMP", L"Temp", temp, nullptr, false},
        {"no TEMP", temp + L"\\clip.mp4", L"", nullptr, false},
        // A negative wait would be an endless one.
        {"negative setting", temp + L"\\clip.mp4", temp, L"-1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.sleepSetting) {
            change({{L"ListerCloseTempFileSleepTimeInMS (int)", c.sleepSetting}});
            plugin.ListCloseWindow(open(scratch.path));
        }
        HWND window = OpenWindow(c.title.c_str(), WS_OVERLAPPEDWINDOW);
        ASSERT_TRUE(window);
        SetEnvironmentVariableW(L"TEMP", c.tempValue.empty() ? NULL : c.tempValue.c_str());
        DWORD start = GetTickCount();
        plugin.ListCloseWindow(window);
        DWORD elapsed = GetTickCount() - start;
        SetEnvironmentVariableW(L"TEMP", savedTemp.c_str());
        if (c.waits) {
            EXPECT_GE(elapsed, kSleepMs - 20);
        } else {
            EXPECT_LT(elapsed, kSleepMs / 2);
        }
        PumpUntil(100);
        EXPECT_FALSE(IsWindow(window)); // the close message was posted
    }
    EXPECT_TRUE(boxes.boxes().empty());
    plugin.ListCloseWindow(NULL);
    std::vector<SeenBox> seen = boxes.boxes();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(L"debug", seen[0].caption);
    EXPECT_NE(std::wstring::npos, seen[0].text.find(L"Warning: ListCloseWindow, ListWin == NULL"));
}

} // namespace
