// Logging wrapper around a real tool, for counting and reading the runs the
// plug-in makes. A test copies this program into a folder of its own under
// the real tool's file name (ffmpeg.exe, ffprobe.exe) and points the tool
// path settings there. Each run
//   1. appends its command line (as GetCommandLineW gives it) as one UTF-8
//      line to the file named by VSL_TOOL_LOG, when that is set;
//   2. starts the real tool of the same file name with the same arguments:
//      <VSL_TOOL_REAL_DIR>\<own name> when that variable is set, otherwise
//      real-<own name> beside this program;
//   3. hands it the same standard input, output and error (so ffprobe's
//      redirected output still lands in the caller's file) and the same
//      console, or none when it has none; waits for it and exits with its
//      exit code.
// With VSL_TOOL_APPEND_TO naming a file, each run first tries to append a
// line to it, as another program saving that file meanwhile would; the run
// goes on whatever comes of it.
// Exit codes of its own: 97 the log could not be written, 98 the real tool
// could not be found or started.
#include <windows.h>

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

enum {
    kPathChars = 32768,
    kExitLogFailed = 97,
    kExitNoRealTool = 98,
};

static bool envValue(const wchar_t* name, wchar_t* buffer, DWORD capacity)
{
    DWORD n = GetEnvironmentVariableW(name, buffer, capacity);
    return n > 0 && n < capacity;
}

static bool appendLogLine(const wchar_t* logPath, const wchar_t* line)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, NULL, 0, NULL, NULL);
    if (bytes <= 0) return false;
    char* utf8 = (char*)malloc((size_t)bytes + 1);
    if (!utf8) return false;
    WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, bytes, NULL, NULL);
    utf8[bytes - 1] = '\n'; // the terminator's place takes the line end
    bool ok = false;
    // Several runs may log into one file; each appends one whole line.
    HANDLE file = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ok = WriteFile(file, utf8, (DWORD)bytes, &written, NULL) && written == (DWORD)bytes;
        CloseHandle(file);
    }
    free(utf8);
    return ok;
}

// The arguments after the program token, by the rules the C runtime uses
// for the first token: quoted up to the next quote, else up to a blank.
static const wchar_t* argumentsAfterProgram(const wchar_t* commandLine)
{
    const wchar_t* p = commandLine;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    return p; // keeps the separating blank, if any
}

static void appendAsAnotherProgram(const wchar_t* path)
{
    static const char kLine[] = "saved by another program\n";
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, kLine, sizeof kLine - 1, &written, NULL);
    CloseHandle(file);
}

// Folder (with its final backslash) and file name of this program.
static bool ownLocation(wchar_t* folder, wchar_t* name)
{
    DWORD n = GetModuleFileNameW(NULL, folder, kPathChars);
    if (n == 0 || n >= kPathChars) return false;
    wchar_t* slash = wcsrchr(folder, L'\\');
    if (!slash) return false;
    wcscpy(name, slash + 1);
    slash[1] = 0;
    return true;
}

static bool realToolPath(wchar_t* out)
{
    static wchar_t folder[kPathChars];
    static wchar_t name[kPathChars];
    static wchar_t realDir[kPathChars];
    if (!ownLocation(folder, name)) return false;
    if (envValue(L"VSL_TOOL_REAL_DIR", realDir, kPathChars)) {
        size_t length = wcslen(realDir);
        bool slash = length && (realDir[length - 1] == L'\\' || realDir[length - 1] == L'/');
        if (length + 1 + wcslen(name) >= kPathChars) return false;
        wcscpy(out, realDir);
        if (!slash) wcscat(out, L"\\");
        wcscat(out, name);
    } else {
        if (wcslen(folder) + 5 + wcslen(name) >= kPathChars) return false;
        wcscpy(out, folder);
        wcscat(out, L"real-");
        wcscat(out, name);
    }
    return GetFileAttributesW(out) != INVALID_FILE_ATTRIBUTES;
}

// Started without a console (as the plug-in starts tools whose output it
// redirects itself), the tool must not get one either: a console host made
// for it would inherit the output file's handle and could keep it open
// after the tool has ended, so the caller could not delete the file.
static bool hasConsole()
{
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                 OPEN_EXISTING, 0, NULL);
    if (console == INVALID_HANDLE_VALUE) return false;
    CloseHandle(console);
    return true;
}

// The child gets our standard handles; they must be inheritable for that.
static HANDLE inheritableStdHandle(DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    if (handle && handle != INVALID_HANDLE_VALUE) SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return handle;
}

int main()
{
    static wchar_t logPath[kPathChars];
    static wchar_t realPath[kPathChars];
    static wchar_t appendPath[kPathChars];
    const wchar_t* commandLine = GetCommandLineW();
    int exitCode = kExitNoRealTool;
    wchar_t* childLine = NULL;
    PROCESS_INFORMATION process = {};
    STARTUPINFOW startup = {};
    DWORD childExit = 0;
    const wchar_t* arguments = NULL;
    size_t childChars = 0;

    if (envValue(L"VSL_TOOL_LOG", logPath, kPathChars) && !appendLogLine(logPath, commandLine)) {
        exitCode = kExitLogFailed;
        goto done;
    }
    if (envValue(L"VSL_TOOL_APPEND_TO", appendPath, kPathChars)) appendAsAnotherProgram(appendPath);
    if (!realToolPath(realPath)) goto done;

    arguments = argumentsAfterProgram(commandLine);
    childChars = wcslen(realPath) + wcslen(arguments) + 3;
    childLine = (wchar_t*)malloc(childChars * sizeof(wchar_t));
    if (!childLine) goto done;
    wcscpy(childLine, L"\"");
    wcscat(childLine, realPath);
    wcscat(childLine, L"\"");
    wcscat(childLine, arguments);

    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inheritableStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = inheritableStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = inheritableStdHandle(STD_ERROR_HANDLE);
    if (!CreateProcessW(realPath, childLine, NULL, NULL, TRUE, hasConsole() ? 0 : DETACHED_PROCESS, NULL, NULL,
                        &startup, &process))
        goto done;
    WaitForSingleObject(process.hProcess, INFINITE);
    exitCode = GetExitCodeProcess(process.hProcess, &childExit) ? (int)childExit : 0;

done:
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
    free(childLine);
    return exitCode;
}
