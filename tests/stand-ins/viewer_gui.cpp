// Stand-in for a viewer that shows its picture in a top-level window (the
// media player, the image viewer). Options come from the command line and
// from the environment variable VSL_VIEWER_OPTIONS (same syntax, for runs
// whose command line the test does not choose); unknown arguments are
// ignored:
//   --class NAME        window class (default "SDL_app")
//   --pid-file PATH     write the process id (decimal) there first
//   --delay MS          wait before opening the window
//   --resize WxH        after --resize-after MS (default 300) make the
//                       client area W x H, as the player does once it knows
//                       the picture size
//   --exit-after MS     close by itself (default: only on WM_CLOSE; a
//                       program without a window ends after 10 s)
//   --window-thread     open the window from a secondary thread
//   --no-window         open no window at all
// With VSL_RECORD_FILE set, the command line is appended to that file as
// one UTF-8 line. The window opens with a 640 x 480 client area and is
// shown with the show state the starter asked for.
#include <windows.h>
#include <shellapi.h>

#include <stdlib.h>
#include <wchar.h>

struct ViewerOptions {
    wchar_t className[256];
    int delayMs;
    int resizeWidth;
    int resizeHeight;
    int resizeAfterMs;
    int exitAfterMs;
    bool windowThread;
    bool noWindow;
    int showCommand;
};

static ViewerOptions gOptions = {L"SDL_app", 0, 0, 0, 300, 0, false, false, SW_SHOWDEFAULT};

enum { kResizeTimer = 1, kExitTimer = 2 };

static void writeUtf8Line(const wchar_t* path, const wchar_t* text, DWORD disposition, DWORD access)
{
    HANDLE file = CreateFileW(path, access, FILE_SHARE_READ, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    char utf8[65536];
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, (int)sizeof utf8 - 1, NULL, NULL);
    if (bytes > 0) {
        utf8[bytes - 1] = '\n';
        DWORD written = 0;
        WriteFile(file, utf8, (DWORD)bytes, &written, NULL);
    }
    CloseHandle(file);
}

static void parseOptions(const wchar_t* commandLine)
{
    int count = 0;
    wchar_t** args = CommandLineToArgvW(commandLine, &count);
    if (!args) return;
    for (int i = 0; i < count; ++i) {
        const wchar_t* a = args[i];
        const wchar_t* next = i + 1 < count ? args[i + 1] : NULL;
        if (wcscmp(a, L"--class") == 0 && next) {
            wcsncpy(gOptions.className, next, 255);
            gOptions.className[255] = 0;
            ++i;
        } else if (wcscmp(a, L"--pid-file") == 0 && next) {
            wchar_t pid[32];
            _snwprintf(pid, 32, L"%lu", GetCurrentProcessId());
            pid[31] = 0;
            writeUtf8Line(next, pid, CREATE_ALWAYS, GENERIC_WRITE);
            ++i;
        } else if (wcscmp(a, L"--delay") == 0 && next) {
            gOptions.delayMs = _wtoi(next);
            ++i;
        } else if (wcscmp(a, L"--resize") == 0 && next) {
            swscanf(next, L"%dx%d", &gOptions.resizeWidth, &gOptions.resizeHeight);
            ++i;
        } else if (wcscmp(a, L"--resize-after") == 0 && next) {
            gOptions.resizeAfterMs = _wtoi(next);
            ++i;
        } else if (wcscmp(a, L"--exit-after") == 0 && next) {
            gOptions.exitAfterMs = _wtoi(next);
            ++i;
        } else if (wcscmp(a, L"--window-thread") == 0) {
            gOptions.windowThread = true;
        } else if (wcscmp(a, L"--no-window") == 0) {
            gOptions.noWindow = true;
        }
    }
    LocalFree(args);
}

static void setClientSize(HWND window, int width, int height)
{
    RECT frame = {0, 0, width, height};
    AdjustWindowRectEx(&frame, (DWORD)GetWindowLongPtrW(window, GWL_STYLE), FALSE,
                       (DWORD)GetWindowLongPtrW(window, GWL_EXSTYLE));
    SetWindowPos(window, NULL, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

static LRESULT CALLBACK viewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        KillTimer(window, wParam);
        if (wParam == kResizeTimer) setClientSize(window, gOptions.resizeWidth, gOptions.resizeHeight);
        if (wParam == kExitTimer) DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

static DWORD WINAPI runWindow(void*)
{
    if (gOptions.delayMs > 0) Sleep((DWORD)gOptions.delayMs);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = viewerProc;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    windowClass.lpszClassName = gOptions.className;
    if (!RegisterClassW(&windowClass)) return 2;

    RECT frame = {0, 0, 640, 480};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    HWND window = CreateWindowExW(0, gOptions.className, L"stand-in viewer", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, NULL, NULL,
                                  windowClass.hInstance, NULL);
    if (!window) return 3;
    ShowWindow(window, gOptions.showCommand);
    if (gOptions.resizeWidth > 0 && gOptions.resizeHeight > 0)
        SetTimer(window, kResizeTimer, (UINT)gOptions.resizeAfterMs, NULL);
    if (gOptions.exitAfterMs > 0) SetTimer(window, kExitTimer, (UINT)gOptions.exitAfterMs, NULL);

    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand)
{
    gOptions.showCommand = showCommand;
    wchar_t value[32768];
    DWORD n = GetEnvironmentVariableW(L"VSL_RECORD_FILE", value, 32768);
    if (n > 0 && n < 32768) writeUtf8Line(value, GetCommandLineW(), OPEN_ALWAYS, FILE_APPEND_DATA);
    n = GetEnvironmentVariableW(L"VSL_VIEWER_OPTIONS", value, 32768);
    // A leading dummy token: CommandLineToArgvW reads the first one as a
    // program name with its own rules.
    if (n > 0 && n < 32000) {
        wchar_t options[32768] = L"x ";
        wcsncat(options, value, 32760);
        parseOptions(options);
    }
    parseOptions(GetCommandLineW());

    if (gOptions.noWindow) {
        Sleep(gOptions.exitAfterMs > 0 ? (DWORD)gOptions.exitAfterMs : 10000);
        return 0;
    }
    if (!gOptions.windowThread) return (int)runWindow(NULL);
    HANDLE thread = CreateThread(NULL, 0, runWindow, NULL, 0, NULL);
    if (!thread) return 4;
    WaitForSingleObject(thread, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    return (int)code;
}
