#include "host/view.h"

#include <stdio.h>
#include <wchar.h>

#include "host/png_file.h"

enum {
    kCloseWaitMs = 10000, // how long a closed program may take to end
    kPaintSettleMs = 300, // lets other processes repaint before a screenshot
    kPathChars = 32768,
    kTextBytes = 1024,
};

static const wchar_t kListerClass[] = L"VistrelHostLister";

static HWND gChild = NULL; // the plug-in's window, kept filling the Lister
static bool gCloseAsked = false;

static void fitChild(HWND lister)
{
    if (!gChild || !IsWindow(gChild)) return;
    RECT client;
    GetClientRect(lister, &client);
    MoveWindow(gChild, 0, 0, client.right, client.bottom, TRUE);
}

static LRESULT CALLBACK listerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        fitChild(window);
        return 0;
    case WM_CLOSE:
        // A person closing the window ends the wait; the view is closed
        // the regular way afterwards.
        gCloseAsked = true;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Dispatches messages for up to `ms`; returns true as soon as `object` (if
// any) is signalled. `stopOnClose`: also stop when the window was closed.
static bool pumpMessages(DWORD ms, HANDLE object, bool stopOnClose)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (object && WaitForSingleObject(object, 0) == WAIT_OBJECT_0) return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms || (stopOnClose && gCloseAsked)) return false;
        MsgWaitForMultipleObjects(object ? 1 : 0, object ? &object : NULL, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

static void printWide(const char* label, const wchar_t* text)
{
    char utf8[kTextBytes];
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, kTextBytes, NULL, NULL) <= 0) utf8[0] = 0;
    printf("%s%s", label, utf8);
}

// What the plug-in handed over, as the file manager would find it.
static void describeChild(HWND lister, HWND child)
{
    wchar_t className[256] = L"";
    GetClassNameW(child, className, 256);
    DWORD pid = 0;
    GetWindowThreadProcessId(child, &pid);
    printWide("window: class ", className);
    printf(", %s, child of the Lister: %s, visible: %s, style 0x%08lx\n",
           pid == GetCurrentProcessId() ? "this process" : "another process", GetParent(child) == lister ? "yes" : "no",
           IsWindowVisible(child) ? "yes" : "no", (unsigned long)GetWindowLongPtrW(child, GWL_STYLE));
}

// The window as it appears on the screen, frame and embedded child
// included: the child belongs to another process, so only the screen
// holds the picture of both.
static bool saveScreenshot(HWND window, const wchar_t* path)
{
    bool ok = false;
    HDC screen = NULL, memory = NULL;
    HBITMAP dib = NULL;
    HGDIOBJ old = NULL;
    void* bits = NULL;
    BITMAPINFO info = {};
    RECT area;
    int width = 0, height = 0;
    size_t stride = 0;

    GetWindowRect(window, &area);
    if (area.left < 0) area.left = 0;
    if (area.top < 0) area.top = 0;
    if (area.right > GetSystemMetrics(SM_CXSCREEN)) area.right = GetSystemMetrics(SM_CXSCREEN);
    if (area.bottom > GetSystemMetrics(SM_CYSCREEN)) area.bottom = GetSystemMetrics(SM_CYSCREEN);
    width = area.right - area.left;
    height = area.bottom - area.top;
    if (width < 1 || height < 1) goto done;
    screen = GetDC(NULL);
    if (!screen) goto done;
    memory = CreateCompatibleDC(screen);
    if (!memory) goto done;
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (!dib || !bits) goto done;
    old = SelectObject(memory, dib);
    if (!BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT)) goto done;
    GdiFlush();
    stride = ((size_t)width * 3 + 3) & ~(size_t)3;
    ok = WritePngFile(path, width, height, (const unsigned char*)bits, stride);
    if (ok) printf("shot: %dx%d\n", width, height);

done:
    if (old) SelectObject(memory, old);
    if (dib) DeleteObject(dib);
    if (memory) DeleteDC(memory);
    if (screen) ReleaseDC(NULL, screen);
    return ok;
}

static HWND openLister(const ViewRequest* request)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = listerProc;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kListerClass;
    if (!RegisterClassW(&windowClass)) return NULL;

    static wchar_t szTitle[kPathChars];
    _snwprintf(szTitle, kPathChars, L"vistrel-host view - %ls", request->file);
    szTitle[kPathChars - 1] = 0;
    RECT frame = {0, 0, request->width, request->height};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    // Placed whole on the screen, where the screenshot is taken from.
    HWND lister = CreateWindowExW(0, kListerClass, szTitle, style, 0, 0, frame.right - frame.left,
                                  frame.bottom - frame.top, NULL, NULL, windowClass.hInstance, NULL);
    if (!lister) return NULL;
    ShowWindow(lister, SW_SHOWNORMAL);
    UpdateWindow(lister);
    SetForegroundWindow(lister);
    return lister;
}

int RunView(ListLoadWFn listLoad, ListCloseWindowFn listClose, const ViewRequest* request)
{
    int result = kViewFailure;
    HANDLE program = NULL;
    HWND lister = NULL;
    HWND child = NULL;
    DWORD pid = 0;
    bool shotFailed = false, ended = false;
    static wchar_t szFile[kPathChars];

    lister = openLister(request);
    if (!lister) {
        fprintf(stderr, "vistrel-host: cannot open the Lister window (error %lu)\n", GetLastError());
        goto done;
    }
    pumpMessages(50, NULL, false);
    if (wcslen(request->file) >= kPathChars) goto done;
    wcscpy(szFile, request->file); // the export takes a writable path
    child = listLoad(lister, szFile, 0);
    if (!child) {
        printf("no window\n");
        result = kViewNoWindow;
        goto done;
    }
    describeChild(lister, child);
    gChild = child;
    fitChild(lister);

    pumpMessages((DWORD)request->seconds * 1000, NULL, true);
    if (request->shotPath) {
        RedrawWindow(lister, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pumpMessages(kPaintSettleMs, NULL, false);
        if (!saveScreenshot(lister, request->shotPath)) {
            fprintf(stderr, "vistrel-host: cannot write the screenshot\n");
            shotFailed = true;
        }
    }

    GetWindowThreadProcessId(child, &pid);
    if (pid && pid != GetCurrentProcessId()) program = OpenProcess(SYNCHRONIZE, FALSE, pid);
    listClose(child);
    if (program) {
        ended = pumpMessages(kCloseWaitMs, program, false);
    } else {
        // A window of this process (the folder placeholder) ends as a window.
        for (DWORD waited = 0; waited < kCloseWaitMs && IsWindow(child); waited += 50) pumpMessages(50, NULL, false);
        ended = !IsWindow(child);
    }
    printf(ended ? "closed: the embedded program ended\n"
                 : "closed: the embedded program is still running 10 s after the close\n");
    result = shotFailed ? kViewFailure : ended ? kViewWindowWithEnd : kViewStillRunning;

done:
    gChild = NULL;
    if (program) CloseHandle(program);
    if (lister) DestroyWindow(lister);
    return result;
}
