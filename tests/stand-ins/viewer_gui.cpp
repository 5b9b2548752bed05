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
// Of the real programs' own arguments it honours the input (the argument
// after -i, else the first one that is not an option, as the image viewer
// takes it) and, as the player does, -x W -y H: the client size it takes
// once it "knows the picture" (--resize wins over them).
// With VSL_RECORD_FILE set, the command line is appended to that file as
// one UTF-8 line. The window opens with a 640 x 480 client area, titled
// with the input as the player titles it, and is shown with the show state
// the starter asked for. It paints the input's name, its class and a bar
// that keeps moving, so a screenshot shows it alive and where it sits.
#include <windows.h>
#include <shellapi.h>

#include <stdlib.h>
#include <wchar.h>

struct ViewerOptions {
    wchar_t className[256];
    wchar_t input[32768];
    int delayMs;
    int resizeWidth;
    int resizeHeight;
    int resizeAfterMs;
    int exitAfterMs;
    bool windowThread;
    bool noWindow;
    int showCommand;
};

static ViewerOptions gOptions = {L"SDL_app", L"", 0, 0, 0, 300, 0, false, false, SW_SHOWDEFAULT};

enum { kResizeTimer = 1, kExitTimer = 2, kBarTimer = 3, kBarPeriodMs = 40, kBarSteps = 100 };
static int gBarStep = 0;

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

static void setInput(const wchar_t* text)
{
    wcsncpy(gOptions.input, text, 32767);
    gOptions.input[32767] = 0;
}

static void parseOptions(const wchar_t* commandLine)
{
    int count = 0;
    wchar_t** args = CommandLineToArgvW(commandLine, &count);
    if (!args) return;
    bool resizeGiven = false;
    int forcedWidth = 0, forcedHeight = 0;
    for (int i = 1; i < count; ++i) {
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
            resizeGiven = true;
            ++i;
        } else if (wcscmp(a, L"-i") == 0 && next) {
            setInput(next); // the player's input, even after other positionals
            ++i;
        } else if (wcscmp(a, L"-x") == 0 && next) {
            forcedWidth = _wtoi(next);
            ++i;
        } else if (wcscmp(a, L"-y") == 0 && next) {
            forcedHeight = _wtoi(next);
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
        } else if (!gOptions.input[0] && a[0] != L'-' && a[0] != L'/') {
            setInput(a);
        }
    }
    if (!resizeGiven && forcedWidth > 0 && forcedHeight > 0) {
        gOptions.resizeWidth = forcedWidth;
        gOptions.resizeHeight = forcedHeight;
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

static void drawText(HDC dc, const wchar_t* text, int height, COLORREF colour, RECT* area, UINT format)
{
    HFONT font = CreateFontW(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma");
    HGDIOBJ old = font ? SelectObject(dc, font) : NULL;
    SetTextColor(dc, colour);
    DrawTextW(dc, text, -1, area, format);
    if (old) SelectObject(dc, old);
    if (font) DeleteObject(font);
}

// A dark blue ground, the class at the top, the input's file name in the
// middle (its folder below it) and a bar sweeping along the bottom.
static void drawPicture(HDC dc, int width, int height)
{
    RECT client = {0, 0, width, height};
    HBRUSH ground = CreateSolidBrush(RGB(16, 32, 64));
    if (ground) {
        FillRect(dc, &client, ground);
        DeleteObject(ground);
    }
    SetBkMode(dc, TRANSPARENT);

    const wchar_t* input = gOptions.input[0] ? gOptions.input : L"(no input)";
    const wchar_t* name = input;
    for (const wchar_t* c = input; *c; ++c)
        if (*c == L'\\' || *c == L'/') name = c + 1;
    int line = height / 12 < 12 ? 12 : height / 12;
    RECT top = {8, 8, width - 8, 8 + line};
    drawText(dc, gOptions.className, line * 2 / 3, RGB(120, 200, 255), &top, DT_LEFT | DT_SINGLELINE);
    RECT middle = {8, height / 2 - line, width - 8, height / 2 + line / 4};
    drawText(dc, name, line, RGB(255, 255, 255), &middle, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    RECT below = {8, height / 2 + line / 2, width - 8, height / 2 + line * 3 / 2};
    drawText(dc, input, line / 2, RGB(170, 170, 170), &below, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS);

    int barWidth = width / 4 > 4 ? width / 4 : 4;
    int x = (int)((long long)(width + barWidth) * gBarStep / kBarSteps) - barWidth;
    RECT bar = {x, height - height / 10 - 4, x + barWidth, height - 4};
    HBRUSH brush = CreateSolidBrush(RGB(255, 140, 0));
    if (brush) {
        FillRect(dc, &bar, brush);
        DeleteObject(brush);
    }
}

// Wine (8.0) gives a window whose parent belongs to another process no
// drawable of its own: what it paints is lost, and a screenshot of the
// Lister would show an empty parent. Painting the same picture through the
// parent's window, clipped to this window's rectangle, puts it where the
// embedded window sits. On Windows this only paints the same pixels twice.
static void paintThroughForeignParent(HWND window, int width, int height)
{
    if (!(GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD)) return;
    HWND parent = GetParent(window);
    DWORD parentPid = 0;
    if (!parent || !GetWindowThreadProcessId(parent, &parentPid) || parentPid == GetCurrentProcessId()) return;
    HDC dc = GetDCEx(parent, NULL, DCX_CACHE | DCX_CLIPSIBLINGS);
    if (!dc) return;
    POINT origin = {0, 0};
    MapWindowPoints(window, parent, &origin, 1);
    IntersectClipRect(dc, origin.x, origin.y, origin.x + width, origin.y + height);
    SetViewportOrgEx(dc, origin.x, origin.y, NULL);
    drawPicture(dc, width, height);
    ReleaseDC(parent, dc);
}

static void paint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    drawPicture(dc, client.right, client.bottom);
    EndPaint(window, &ps);
    paintThroughForeignParent(window, client.right, client.bottom);
}

static LRESULT CALLBACK viewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        paint(window);
        return 0;
    case WM_TIMER:
        if (wParam == kBarTimer) {
            gBarStep = (gBarStep + 1) % (kBarSteps + 1);
            InvalidateRect(window, NULL, FALSE);
            return 0;
        }
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
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = viewerProc;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    windowClass.lpszClassName = gOptions.className;
    if (!RegisterClassW(&windowClass)) return 2;

    RECT frame = {0, 0, 640, 480};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    const wchar_t* title = gOptions.input[0] ? gOptions.input : L"stand-in viewer";
    HWND window = CreateWindowExW(0, gOptions.className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, NULL, NULL,
                                  windowClass.hInstance, NULL);
    if (!window) return 3;
    ShowWindow(window, gOptions.showCommand);
    if (gOptions.resizeWidth > 0 && gOptions.resizeHeight > 0)
        SetTimer(window, kResizeTimer, (UINT)gOptions.resizeAfterMs, NULL);
    if (gOptions.exitAfterMs > 0) SetTimer(window, kExitTimer, (UINT)gOptions.exitAfterMs, NULL);
    SetTimer(window, kBarTimer, kBarPeriodMs, NULL);

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
