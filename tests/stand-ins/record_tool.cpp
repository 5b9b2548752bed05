// Stand-in for a command-line tool. It takes any arguments, so tests can
// run it in place of ffprobe, ffmpeg or the image converter; what it does
// is steered by environment variables, which reach it through the command
// interpreter untouched:
//   VSL_RECORD_FILE    append the command line (as GetCommandLineW gives
//                      it) as one UTF-8 line to this file
//   VSL_RECORD_EXIT    exit code (decimal, default 0)
//   VSL_RECORD_STDOUT  text to print on standard output, followed by "\n"
//   VSL_RECORD_SLEEP   milliseconds to sleep before recording, so a test
//                      can tell whether its caller waited for the end
//   VSL_RECORD_HANG_ON a text: when the command line holds it, the tool
//                      never ends (and records nothing), as a tool stuck
//                      on a dead share or a prompt
//   VSL_RECORD_HANDLE  a handle value (decimal) of the caller's: exit code
//                      96 when the tool holds a handle of that value, as it
//                      would after inheriting it
//   VSL_RECORD_PICTURE_UNLESS  a text: an ffmpeg run (a command line that
//                      holds " -y ") that lacks it writes a few bytes to
//                      the file named by its last double-quoted token, its
//                      output, as an ffmpeg that fails only on what the
//                      text names
#include <windows.h>

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <string>

static const wchar_t* envOrNull(const wchar_t* name, wchar_t* buffer, DWORD capacity)
{
    DWORD n = GetEnvironmentVariableW(name, buffer, capacity);
    return (n > 0 && n < capacity) ? buffer : NULL;
}

static bool writeUtf8(HANDLE file, const wchar_t* text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    if (bytes <= 0) return false;
    char* utf8 = (char*)malloc((size_t)bytes);
    if (!utf8) return false;
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, bytes, NULL, NULL);
    DWORD written = 0;
    bool ok = WriteFile(file, utf8, (DWORD)(bytes - 1), &written, NULL) && written == (DWORD)(bytes - 1);
    free(utf8);
    return ok;
}

static bool recordCommandLine(const wchar_t* recordPath)
{
    // Appending lets a test see every run when a caller runs a tool twice.
    HANDLE file = CreateFileW(recordPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = writeUtf8(file, GetCommandLineW()) && writeUtf8(file, L"\n");
    CloseHandle(file);
    return ok;
}

// Into the file named by the last "..." of the command line.
static bool writePicture()
{
    const wchar_t* line = GetCommandLineW();
    const wchar_t* close = wcsrchr(line, L'"');
    const wchar_t* open = close;
    while (open && open > line && *--open != L'"') {
    }
    if (!open || open == close || *open != L'"') return false;
    std::wstring path(open + 1, close);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    bool ok = file != INVALID_HANDLE_VALUE && WriteFile(file, "\xFF\xD8picture", 9, &written, NULL);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return ok;
}

int main()
{
    wchar_t value[32768];
    int exitCode = 0;
    if (envOrNull(L"VSL_RECORD_EXIT", value, 32768)) exitCode = (int)wcstol(value, NULL, 10);
    DWORD flags = 0;
    if (envOrNull(L"VSL_RECORD_HANDLE", value, 32768) &&
        GetHandleInformation((HANDLE)(ULONG_PTR)wcstoull(value, NULL, 10), &flags))
        exitCode = 96;

    if (envOrNull(L"VSL_RECORD_SLEEP", value, 32768)) Sleep((DWORD)wcstoul(value, NULL, 10));
    if (envOrNull(L"VSL_RECORD_HANG_ON", value, 32768) && wcsstr(GetCommandLineW(), value)) Sleep(INFINITE);

    if (envOrNull(L"VSL_RECORD_STDOUT", value, 32768)) {
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        if (out && out != INVALID_HANDLE_VALUE) {
            // A file or pipe gets UTF-8 bytes; no console conversion wanted.
            writeUtf8(out, value);
            writeUtf8(out, L"\n");
        }
    }

    if (envOrNull(L"VSL_RECORD_PICTURE_UNLESS", value, 32768) && wcsstr(GetCommandLineW(), L" -y ") &&
        !wcsstr(GetCommandLineW(), value) && !writePicture())
        return 98;
    if (envOrNull(L"VSL_RECORD_FILE", value, 32768) && !recordCommandLine(value)) return 97;
    return exitCode;
}
