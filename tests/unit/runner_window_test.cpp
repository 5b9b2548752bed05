// The window search: IsStartedProgramWindow on windows of this process,
// StartProgramFindWindow with the viewer_gui stand-in.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "box_recorder.h"
#include "support/lister_programs.h"
#include "support/scratch.h"
#include "settings/settings.h"
#include "tools/runner.h"

namespace {

std::wstring ViewerPath()
{
    return ExeDirectory() + L"viewer_gui.exe";
}

// A window of this thread with the given class, destroyed with the object.
struct OwnWindow {
    std::wstring className;
    HWND window = NULL;
    explicit OwnWindow(const wchar_t* name) : className(name)
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(NULL);
        windowClass.lpszClassName = className.c_str();
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, className.c_str(), L"", WS_OVERLAPPED, 0, 0, 50, 50, NULL, NULL,
                                 GetModuleHandleW(NULL), NULL);
    }
    ~OwnWindow()
    {
        if (window) DestroyWindow(window);
        UnregisterClassW(className.c_str(), GetModuleHandleW(NULL));
    }
};

TEST(RunnerWindowTest, AcceptsOnlyTheKnownClassesOfTheGivenThread)
{
    struct Case {
        const wchar_t* className;
        bool ownThread;
        bool match;
    } const cases[] = {
        {L"SDL_app", true, true},   {L"IrfanView", true, true},     {L"SDL_app", false, false},
        {L"SDL_app2", true, false}, {L"VslOtherClass", true, false},
    };
    for (const Case& c : cases) {
        OwnWindow own(c.className);
        ASSERT_TRUE(own.window) << c.className;
        DWORD thread = c.ownThread ? GetCurrentThreadId() : GetCurrentThreadId() + 4;
        gFoundWindow = (HWND)(INT_PTR)1; // the test starts by clearing it
        BOOL goOn = IsStartedProgramWindow(own.window, (LPARAM)thread);
        EXPECT_EQ(c.match ? FALSE : TRUE, goOn) << c.className;
        EXPECT_EQ(c.match ? own.window : NULL, gFoundWindow) << c.className;
    }
    gFoundWindow = NULL;
}

struct RunnerWindow : ::testing::Test {
    ScratchDir scratch{L"window"};
    std::wstring pidFile = scratch.path + L"pid.txt";
    bool savedDebug = bDebug;

    void SetUp() override { ASSERT_TRUE(FileExists(ViewerPath())) << "viewer_gui.exe not built"; }
    void TearDown() override { bDebug = savedDebug; }

    std::wstring CommandLine(const std::wstring& options)
    {
        return L"0 --pid-file \"" + pidFile + L"\" --exit-after 20000 " + options;
    }

    // Closes a found viewer the way the Lister does and waits for its end.
    static void CloseViewer(HANDLE process)
    {
        PostMessageW(gFoundWindow, WM_CLOSE, 0, 0);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 10000));
        CloseHandle(process);
    }
};

TEST_F(RunnerWindow, FindsThePrimaryThreadsViewerWindow)
{
    for (const wchar_t* className : {L"SDL_app", L"IrfanView"}) {
        std::wstring line = CommandLine(std::wstring(L"--class ") + className);
        HANDLE process = StartProgramFindWindow(ViewerPath().c_str(), line.c_str());
        ASSERT_TRUE(process) << className;
        ASSERT_TRUE(gFoundWindow) << className;
        DWORD pid = 0;
        GetWindowThreadProcessId(gFoundWindow, &pid);
        EXPECT_EQ(GetProcessId(process), pid);
        char found[64] = "";
        GetClassNameA(gFoundWindow, found, sizeof found);
        wchar_t expected[64];
        MultiByteToWideChar(CP_ACP, 0, found, -1, expected, 64);
        EXPECT_STREQ(className, expected);
        RECT client = {};
        GetClientRect(gFoundWindow, &client);
        EXPECT_EQ(640, client.right);
        EXPECT_EQ(480, client.bottom);
        CloseViewer(process);
    }
}

TEST_F(RunnerWindow, GivesUpAfterTheLastPollWithoutAMessageAndEndsTheProgram)
{
    const wchar_t* options[] = {L"--class VslOtherClass", L"--window-thread", L"--no-window"};
    for (const wchar_t* option : options) {
        DeleteFileW(pidFile.c_str());
        DWORD start = GetTickCount();
        HANDLE process = StartProgramFindWindow(ViewerPath().c_str(), CommandLine(option).c_str());
        DWORD elapsed = GetTickCount() - start;
        EXPECT_FALSE(process) << option;
        EXPECT_FALSE(gFoundWindow) << option;
        // 60 sleeps of 33 ms, and not much more.
        EXPECT_GE(elapsed, 60u * 33u - 50u) << option;
        EXPECT_LT(elapsed, 8000u) << option;
        // Left running, a hidden player would play on with no window to close.
        EXPECT_TRUE(StandInEnded(pidFile, 10000)) << option;
    }
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(RunnerWindow, AProgramThatCannotStartGivesNull)
{
    std::wstring missing = scratch.path + L"no-such-viewer.exe";
    DWORD start = GetTickCount();
    EXPECT_FALSE(StartProgramFindWindow(missing.c_str(), L"0 -x"));
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_FALSE(gFoundWindow);
}

TEST_F(RunnerWindow, ShowsTheWindowOnlyInDebugMode)
{
    for (bool debug : {false, true}) {
        bDebug = debug;
        HANDLE process = StartProgramFindWindow(ViewerPath().c_str(), CommandLine(L"").c_str());
        ASSERT_TRUE(process) << debug;
        // The window exists before the viewer shows it; give it time.
        bool visible = false;
        for (int i = 0; i < 20 && !visible; ++i) {
            Sleep(50);
            visible = IsWindowVisible(gFoundWindow) != FALSE;
        }
        EXPECT_EQ(debug, visible);
        CloseViewer(process);
    }
}

// The viewer lives on after the call: a handle of the host's that it
// inherited would keep the host's file open for as long as it runs.
TEST_F(RunnerWindow, TheViewerInheritsNoHandleOfTheHost)
{
    std::wstring held = scratch.path + L"held.txt";
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE file = CreateFileW(held.c_str(), GENERIC_WRITE, 0, &inheritable, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    HANDLE process = StartProgramFindWindow(ViewerPath().c_str(), CommandLine(L"").c_str());
    CloseHandle(file);
    ASSERT_TRUE(process);
    EXPECT_TRUE(DeleteFileW(held.c_str()));
    CloseViewer(process);
}

} // namespace
