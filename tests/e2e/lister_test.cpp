// The Lister view through the real DLL: a window of this test stands in
// for the Lister, the plug-in starts the stand-ins of the player and the
// image viewer (support/lister_programs.h), and each stand-in records the
// command line it was given.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/box_watcher.h"
#include "support/lister_programs.h"
#include "support/media.h"
#include "support/plugin.h"
#include "support/scratch.h"
#include "tools/runner.h"

namespace {

const DWORD kEndWaitMs = 15000; // a closed stand-in ends well within this under load
const DWORD kSleepMs = 1500;    // "ListerCloseTempFileSleepTimeInMS (int)" of these tests
const wchar_t kMissingTool[] = L"File not found at specified location from ini";
const wchar_t kBatchProgram[] = L"The quick view starts its player and viewer without the command interpreter";
// What the window search takes when no window comes.
const DWORD kWholeSearchMs = kWindowSearchAttempts * kWindowSearchSleepMs;

// A stand-in embedded in our window sends it messages (its end notifies the
// parent): waiting without dispatching them could wait forever.
bool PumpUntil(DWORD ms, HANDLE object = NULL)
{
    for (DWORD start = GetTickCount(), elapsed; (elapsed = GetTickCount() - start) < ms;) {
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        if (object && WaitForSingleObject(object, 0) == WAIT_OBJECT_0) return true;
        MsgWaitForMultipleObjects(object ? 1 : 0, object ? &object : NULL, FALSE, ms - elapsed, QS_ALLINPUT);
    }
    return false;
}

HWND OpenWindow(const std::wstring& title, DWORD style)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.lpszClassName = L"VslTestLister";
    RegisterClassW(&windowClass); // fails harmlessly once registered
    return CreateWindowExW(0, windowClass.lpszClassName, title.c_str(), style, 10, 10, 480, 320, NULL, NULL,
                           windowClass.hInstance, NULL);
}

struct ListerView : ::testing::Test {
    ScratchDir scratch{L"lister"};
    LoadedPlugin plugin;
    HWND lister = OpenWindow(L"Lister", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE);
    std::wstring record = scratch.path + L"started.txt";
    BoxWatcher boxes;

    void SetUp() override
    {
        ASSERT_TRUE(lister);
        SetEnvironmentVariableW(L"VSL_RECORD_FILE", record.c_str());
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"VSL_RECORD_FILE", NULL);
        SetEnvironmentVariableW(L"VSL_VIEWER_OPTIONS", NULL);
        DestroyWindow(lister);
        UnloadPlugin(&plugin);
    }
    bool load(SettingsValues settings = {})
    {
        SettingsValues programs = ListerProgramSettings();
        settings.insert(settings.begin(), programs.begin(), programs.end());
        settings.push_back({L"ListerCloseTempFileSleepTimeInMS (int)", std::to_wstring(kSleepMs)});
        for (const auto& kv : settings)
            WritePrivateProfileStringW(L"vistrel", kv.first.c_str(), kv.second.c_str(), (scratch.path + L"vistrel.ini").c_str());
        return LoadPluginCopy(scratch.path, &plugin);
    }
    void change(const SettingsValues& settings)
    {
        for (const auto& kv : settings) ChangePluginSetting(plugin, kv.first, kv.second);
    }
    std::wstring file(const std::wstring& name, size_t bytes = 100)
    {
        size_t slash = name.rfind(L'\\');
        if (slash != std::wstring::npos) CreateDirectoryW((scratch.path + name.substr(0, slash)).c_str(), NULL);
        EXPECT_TRUE(WriteFileBytes(scratch.path + name, std::string(bytes, 'm')));
        return scratch.path + name;
    }
    HWND open(std::wstring path) { return plugin.ListLoadW(lister, &path[0], 0); }
    // Command lines the stand-ins were started with since the last call.
    std::vector<std::wstring> started()
    {
        std::vector<std::wstring> lines = ReadUtf8Lines(record);
        DeleteFileW(record.c_str());
        return lines;
    }
    // Closes a window as the host does; true when it (its program) ended.
    bool close(HWND window, DWORD* closeMs = nullptr)
    {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        HANDLE process = pid == GetCurrentProcessId() ? NULL : OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
        DWORD start = GetTickCount();
        plugin.ListCloseWindow(window);
        if (closeMs) *closeMs = GetTickCount() - start;
        bool ended = process ? PumpUntil(kEndWaitMs, process) : (PumpUntil(200), !IsWindow(window));
        if (process && !ended) TerminateProcess(process, 1);
        if (process) CloseHandle(process);
        return ended;
    }
    // The one command a file started its program with, the window closed.
    std::wstring command(const std::wstring& path, const EmbeddedProgram& program = PlayerStandIn())
    {
        SteerStandIn(program);
        HWND window = open(path);
        EXPECT_TRUE(window && close(window));
        std::vector<std::wstring> lines = started();
        return lines.size() == 1 ? lines[0] : L"<" + std::to_wstring(lines.size()) + L" starts>";
    }
};

TEST_F(ListerView, FoldersGetThePlaceholderOtherFilesItDoesNotShowGetNull)
{
    ASSERT_TRUE(load());
    const std::wstring missingPlayer = scratch.path + L"bin\\ffplay.exe";
    // Batch files that would start the stand-ins, which record their start.
    const std::wstring batchPlayer = scratch.path + L"player.bat", batchViewer = scratch.path + L"viewer.CMD";
    for (const std::wstring& batch : {batchPlayer, batchViewer})
        ASSERT_TRUE(WriteFileBytes(batch, "@\"" + Utf8(PlayerStandIn().path) + "\" %*\r\n"));
    HWND closedLister = OpenWindow(L"closed", WS_OVERLAPPEDWINDOW);
    DestroyWindow(closedLister);
    struct Case {
        const char* label;
        std::wstring path;
        SettingsValues settings;
        bool placeholder, playerMissing;
        const wchar_t* box = nullptr; // how another error box's message begins
        HWND listerWindow = NULL; // null: the test's Lister
    } const cases[] = {
        {"folder", scratch.path, {}, true, false},
        {"folder, Lister off", scratch.path, {{L"ListerSupport (bool)", L"0"}}, true, false},
        {"folder, folders off", scratch.path, {{L"ListerDirectorySupport (bool)", L"0"}}, false, false},
        {"video, Lister off", file(L"clip.mp4"), {}, false, false},
        {"excluded though an image", file(L"scan.pdf"), {{L"ListerSupport (bool)", L"1"}}, false, false},
        {"no media list", file(L"notes.txt"), {}, false, false},
        {"no extension", file(L"README"), {}, false, false},
        {"empty", file(L"empty.mp4", 0), {}, false, false},
        {"missing", scratch.path + L"missing.mp4", {}, false, false},
        {"comic", file(L"book.cbz"), {}, false, false},
        {"album", file(L"photos.zip"), {}, false, false},
        {"260 characters", scratch.path + std::wstring(256 - scratch.path.size(), L'a') + L".mp4", {}, false, false},
        {"no player", file(L"clip.mp4"), {{L"ffplayPath (chars)", missingPlayer}}, false, true},
        // A path of its own: the box of the row before is not shown twice.
        {"no player, an image", file(L"photo.png"), {{L"ffplayPath (chars)", missingPlayer + L"x"}}, false, true},
        // The interpreter would run them over the whole command line.
        {"batch player", file(L"50% & more.mp4"), {{L"ffplayPath (chars)", batchPlayer}}, false, false, kBatchProgram},
        {"batch image viewer", file(L"photo.png"), {{L"irfanviewPath (chars)", batchViewer}}, false, false,
         kBatchProgram},
        // A placeholder that cannot be taken in must not stay on the desktop.
        {"folder, Lister closed", scratch.path, {}, false, false, nullptr, closedLister},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        change(c.settings);
        size_t boxesBefore = boxes.boxes().size();
        std::wstring path = c.path;
        HWND window = plugin.ListLoadW(c.listerWindow ? c.listerWindow : lister, &path[0], 0);
        ASSERT_EQ(c.placeholder, window != NULL);
        EXPECT_EQ(NULL, FindWindowW(L"Static", NULL)) << "a placeholder left on the desktop";
        if (window) {
            wchar_t className[64] = L"", text[512] = L"";
            GetClassNameW(window, className, 64);
            GetWindowTextW(window, text, 512);
            EXPECT_STREQ(L"Static", className);
            EXPECT_STREQ(L"\n\n\tDIRECTORY\n\n\n\t\t(Handled by vistrel WLX plugin to speed up\n\t\tQuickView "
                         L"browsing)\n\n\t\tTo disable directories support:\n\t\tvsitrel.ini --> "
                         L"ListerDirectorySupport=0",
                         text);
            EXPECT_EQ(lister, GetParent(window));
            EXPECT_TRUE(IsWindowVisible(window));
            EXPECT_EQ(WS_CHILD, GetWindowLongPtrW(window, GWL_STYLE) & (WS_CHILD | WS_CAPTION | WS_BORDER));
            EXPECT_TRUE(close(window));
        }
        std::vector<SeenBox> seen = boxes.boxes();
        ASSERT_EQ(boxesBefore + (c.playerMissing || c.box), seen.size());
        if (c.playerMissing || c.box) {
            EXPECT_EQ(0u, seen.back().text.find(L"Error\n" + c.settings[0].second + L"\n\n" +
                                                (c.box ? c.box : kMissingTool)));
        }
    }
    std::string narrow = Utf8(file(L"clip.avi"));
    EXPECT_EQ(nullptr, plugin.ListLoad(lister, &narrow[0], 0));
    EXPECT_TRUE(started().empty());
}

TEST_F(ListerView, CommandsOfThePlayerAndTheImageViewer)
{
    ASSERT_TRUE(load());
    std::wstring trip = file(L"Trip_SBS_180.mp4");
    EXPECT_EQ(L"0 -volume 50 -loop 0 -fast -framedrop -loglevel panic -i \"" + trip +
                  L"\" -x 19 -y 5 -vf \"crop=iw/2:ih/1.5714:0:ih/5,lenscorrection=0.5:0.5:-0.53:0.34,"
                  L"drawtext=fontfile='c\\:/Windows/Fonts/micross.ttf':text='%{pts\\:gmtime\\:0\\:%H\\\\\\:%M"
                  L"\\\\\\:%S}':x='if(lt(h,w),w/50,w/31.25)':y='if(lt(h,w),h/31.25,h/50)':fontsize='if(lt(h,w),"
                  L"w/25,h/25)':fontcolor=ddddee:shadowcolor=darkblue:shadowx=2:shadowy=2\"",
              command(trip));
    // The names are started directly: nothing the interpreter would expand
    // or split is touched.
    for (const wchar_t* name : {L"photo.png", L"50% & more! !x! ^ 東京 %TEMP%.jpg"}) {
        std::wstring path = file(name);
        EXPECT_EQ(L"0  \"" + path + L"\" /silent /hide 7", command(path, ImageViewerStandIn()));
    }

    // Short filter settings: each command shows which ones it was built from.
    change({{L"ffmpegVideo_LR (chars)", L"LR"}, {L"ffmpegVideo_TB (chars)", L"TB"},
            {L"ffmpegVideo_VR_LR (chars)", L"VRLR"}, {L"ffmpegVideo_VR_180 (chars)", L"V180"},
            {L"ffmpegVideo_VR_360 (chars)", L"V360"}, {L"ffplayListerVideoOSDInputParams (chars)", L"OSD"},
            {L"ffplayListerVideoPreInputParams (chars)", L"-v"}, {L"ffplayListerAudioPreInputParams (chars)", L"-a"}});
    struct Case {
        const wchar_t* name;
        const wchar_t* overlay;
        const wchar_t* support3D;
        const wchar_t* filter; // "": no -vf at all
    } const cases[] = {
        {L"clip.mp4", L"1", L"1", L"OSD"},                     // 3D code 0
        {L"clip_SBS.mp4", L"1", L"1", L"LR,OSD"},              // 2
        {L"clip_SBS_180.mp4", L"1", L"1", L"VRLR,V180,OSD"},   // 18
        {L"clip_MONO_180.mp4", L"1", L"1", L"V180,OSD"},       // 24
        {L"clip_MONO_360.mp4", L"1", L"1", L"V360,OSD"},       // 40
        {L"clip_MONO.mp4", L"1", L"1", L"OSD"},                // 8: no 3D treatment
        {L"photo.jps", L"1", L"1", L"LR"},                     // 1: a still has no time
        {L"clip_sbs.mp4", L"1", L"1", L"OSD"},                 // markers keep their case
        {L"Trip_TB\\clip.mp4", L"1", L"1", L"TB,OSD"},         // a marker in a folder counts
        {L"50% & more!.mp4", L"1", L"1", L"OSD"},
        {L"it's ^ (1), =x; !a! & 東京 %PATH%.mkv", L"0", L"1", L""},
        {L"clip_SBS_180.mp4", L"0", L"1", L"VRLR,V180"},
        {L"photo.jps", L"0", L"1", L"LR"},
        {L"clip_SBS.mp4", L"1", L"0", L"OSD"},
        {L"clip_SBS.mp4", L"0", L"0", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.name));
        change({{L"OverlayInfo (bool)", c.overlay}, {L"3DSupport (bool)", c.support3D}});
        std::wstring path = file(c.name);
        std::wstring filter = c.filter[0] ? L" -vf \"" + std::wstring(c.filter) + L"\"" : L"";
        EXPECT_EQ(L"0 -v -i \"" + path + L"\" -x 19 -y 5" + filter, command(path));
    }
    std::wstring audio = file(L"%PATH% & 東京_SBS.mp3"); // never a filter
    EXPECT_EQ(L"0 -a -i \"" + audio + L"\" -x 19 -y 5", command(audio));

    change({{L"ffplayListerVideoOSDInputParams (chars)", std::wstring(4080, L'o')}, {L"OverlayInfo (bool)", L"1"}});
    EXPECT_EQ(nullptr, open(file(L"clip.mp4"))) << "a command past 4095 characters";
    EXPECT_TRUE(started().empty());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ListerView, WindowsAreEmbeddedFramelessAndVisibleOrTheirProgramEnded)
{
    ASSERT_TRUE(load());
    RECT client;
    GetClientRect(lister, &client);
    std::wstring pidFile = scratch.path + L"pid.txt";
    struct Case {
        const char* label;
        const wchar_t* name;
        EmbeddedProgram program;
        std::wstring options;
        const char* className; // null: no window comes
        bool fills; // the player is moved onto the Lister's client area, the viewer is not
        bool ends = false; // the program ends by itself before it is embedded
    } const cases[] = {
        {"player", L"clip.mp4", PlayerStandIn(), L"", "SDL_app", true},
        // Its window stays 640 x 480: the plug-in stops waiting and embeds it.
        {"player that keeps its size", L"clip.mkv", PlayerStandIn(), L"--resize-after 600000", "SDL_app", true},
        {"image viewer", L"photo.png", ImageViewerStandIn(), L"", "IrfanView", false},
        {"player without a window", L"clip.mp4", PlayerStandIn(),
         L"--no-window --exit-after 120000 --pid-file \"" + pidFile + L"\"", nullptr, false},
        // A player that refuses the file ends: the host is not kept waiting,
        // and gets no window that is gone.
        {"player that ends at once", L"clip.mp4", PlayerStandIn(),
         L"--no-window --exit-after 1 --pid-file \"" + pidFile + L"\"", nullptr, false, true},
        {"player gone before it has its size", L"clip.mp4", PlayerStandIn(),
         L"--exit-after 200 --resize-after 600000 --pid-file \"" + pidFile + L"\"", nullptr, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SteerStandIn(c.program, c.options);
        std::wstring path = file(c.name);
        DWORD start = GetTickCount();
        HWND window = open(path);
        DWORD elapsed = GetTickCount() - start;
        ASSERT_EQ(c.className != nullptr, window != NULL);
        if (!window) {
            EXPECT_TRUE(!c.ends || elapsed < kWholeSearchMs) << elapsed << " ms";
            EXPECT_TRUE(StandInEnded(pidFile, kEndWaitMs)) << "a hidden player would play on with no window to close";
            continue;
        }
        char className[64] = "";
        GetClassNameA(window, className, 64);
        EXPECT_STREQ(c.className, className);
        EXPECT_EQ(lister, GetParent(window));
        EXPECT_EQ(WS_CHILD, GetWindowLongPtrW(window, GWL_STYLE) & (WS_CHILD | WS_CAPTION | WS_THICKFRAME | WS_BORDER));
        EXPECT_TRUE(IsWindowVisible(window));
        // Past the player's own resize (300 ms after it opens), which must
        // not take the window off the Lister's size once embedded.
        PumpUntil(1000);
        RECT rect;
        GetWindowRect(window, &rect);
        MapWindowPoints(NULL, lister, (POINT*)&rect, 2);
        EXPECT_TRUE(!c.fills || EqualRect(&client, &rect)) << rect.right << "x" << rect.bottom;
        EXPECT_TRUE(close(window));
        started();
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

// The wait is for a file the closing program may still hold in the
// temporary folder; the title the program gave its window names the file.
TEST_F(ListerView, ClosingWaitsOnlyForFilesInTheTemporaryFolder)
{
    ASSERT_TRUE(load());
    const std::wstring savedTemp = EnvWide(L"TEMP"), temp = L"C:\\Users\\Vsl\\AppData\\Local\\Temp";
    // The player titles its window with the file it plays.
    HWND player = open(file(L"clip.mp4"));
    ASSERT_TRUE(player);
    SetEnvironmentVariableW(L"TEMP", scratch.path.substr(0, scratch.path.size() - 1).c_str());
    DWORD closeMs = 0;
    EXPECT_TRUE(close(player, &closeMs));
    EXPECT_GE(closeMs, kSleepMs - 20);
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
        // In Sleep's unsigned terms a negative wait would never end.
        {"negative setting", temp + L"\\clip.mp4", temp, L"-1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.sleepSetting) {
            change({{L"ListerCloseTempFileSleepTimeInMS (int)", c.sleepSetting}});
            close(open(scratch.path)); // an open loads the settings
        }
        SetEnvironmentVariableW(L"TEMP", c.tempValue.empty() ? NULL : c.tempValue.c_str());
        EXPECT_TRUE(close(OpenWindow(c.title, WS_OVERLAPPEDWINDOW), &closeMs));
        EXPECT_TRUE(c.waits ? closeMs >= kSleepMs - 20 : closeMs < kSleepMs / 2) << closeMs;
    }
    SetEnvironmentVariableW(L"TEMP", savedTemp.c_str());
    EXPECT_TRUE(boxes.boxes().empty());
    plugin.ListCloseWindow(NULL);
    std::vector<SeenBox> seen = boxes.boxes();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(L"debug", seen[0].caption);
    EXPECT_EQ(L"DEBUG char*: 'Warning: ListCloseWindow, ListWin == NULL'", seen[0].text);
}

} // namespace
