#include "box_watcher.h"

#include <windows.h>

#include <mutex>

static std::mutex gWatchLock;
static std::vector<SeenBox> gSeen;
static HANDLE gWatchThread = NULL;
static volatile LONG gWatchStop = 0;

static BOOL CALLBACK closeBoxes(HWND window, LPARAM)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    wchar_t className[64];
    if (!GetClassNameW(window, className, 64) || lstrcmpW(className, L"#32770") != 0) return TRUE;
    SeenBox box;
    wchar_t buffer[8192];
    if (GetWindowTextW(window, buffer, 8192) >= 0) box.caption = buffer;
    // The message text of a message box is the static control 0xFFFF.
    buffer[0] = 0;
    GetDlgItemTextW(window, 0xFFFF, buffer, 8192);
    box.text = buffer;
    {
        std::lock_guard<std::mutex> lock(gWatchLock);
        gSeen.push_back(box);
    }
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    // Hide it at once so the next poll does not record it twice.
    ShowWindow(window, SW_HIDE);
    return TRUE;
}

static DWORD WINAPI watch(void*)
{
    while (!gWatchStop) {
        EnumWindows(closeBoxes, 0);
        Sleep(20);
    }
    return 0;
}

void StartBoxWatcher()
{
    if (gWatchThread) return;
    {
        std::lock_guard<std::mutex> lock(gWatchLock);
        gSeen.clear();
    }
    gWatchStop = 0;
    gWatchThread = CreateThread(NULL, 0, watch, NULL, 0, NULL);
}

std::vector<SeenBox> StopBoxWatcher()
{
    if (gWatchThread) {
        InterlockedExchange(&gWatchStop, 1);
        WaitForSingleObject(gWatchThread, INFINITE);
        CloseHandle(gWatchThread);
        gWatchThread = NULL;
    }
    return SeenBoxes();
}

std::vector<SeenBox> SeenBoxes()
{
    std::lock_guard<std::mutex> lock(gWatchLock);
    return gSeen;
}
