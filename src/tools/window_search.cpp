// Starting a viewer directly and finding its main window, so that the
// Lister window can take that window in.
#include "tools/runner.h"

#include <string.h>

#include "common/format.h"
#include "settings/settings.h"
#include "tools/tool_process.h"

HWND gFoundWindow = NULL;

BOOL CALLBACK IsStartedProgramWindow(HWND window, LPARAM threadId)
{
    gFoundWindow = NULL;
    // Only the primary thread's windows: a viewer's helper threads may own
    // windows of the same class that are not the picture.
    if (GetWindowThreadProcessId(window, NULL) != (DWORD)threadId) return TRUE;
    char className[kWindowClassBytes];
    if (!GetClassNameA(window, className, kWindowClassBytes)) return TRUE;
    if (strcmp(className, "SDL_app") == 0 || strcmp(className, "IrfanView") == 0) {
        gFoundWindow = window;
        return FALSE;
    }
    return TRUE;
}

HANDLE StartProgramFindWindow(const wchar_t* programPath, const wchar_t* commandLine)
{
    HANDLE result = NULL;
    STARTUPINFOW startup = {};
    PROCESS_INFORMATION process = {};
    // CreateProcessW may write into the command line.
    wchar_t szCommandLine[kCommandLineChars];
    if (!CopyWide(szCommandLine, kCommandLineChars, commandLine ? commandLine : L"")) return NULL;

    startup.cb = sizeof startup;
    if (!bDebug) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    }
    gFoundWindow = NULL;
    // A viewer needs no handle of the host's: with none inherited it cannot
    // keep one of the host's files open for as long as it runs.
    if (!CreateToolProcess(programPath, szCommandLine, 0, &startup, NULL, 0, &process)) return NULL;

    for (int attempt = 0; attempt < kWindowSearchAttempts; ++attempt) {
        // A program that has ended (a player refusing the file at once)
        // shows no window: the host's thread is not held any longer.
        if (WaitForSingleObject(process.hProcess, kWindowSearchSleepMs) != WAIT_TIMEOUT) break;
        EnumWindows(IsStartedProgramWindow, (LPARAM)process.dwThreadId);
        // The test clears the window on every call: non-null only when the
        // enumeration stopped at a match.
        if (gFoundWindow) {
            result = process.hProcess;
            break;
        }
    }
    CloseHandle(process.hThread);
    // Not found in time: left alone, a hidden player would go on playing
    // sound with no window anyone could close. It is our child; end it.
    if (!result) {
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
    }
    return result;
}
