#include "support/host_run.h"

#include <gtest/gtest.h>

#include "support/scratch.h"

namespace {

// Backslashes before the closing quote are doubled, or they would escape it.
std::wstring Quoted(const std::wstring& text)
{
    size_t trailing = 0;
    while (trailing < text.size() && text[text.size() - 1 - trailing] == L'\\') ++trailing;
    return L"\"" + text + std::wstring(trailing, L'\\') + L"\"";
}

} // namespace

HostRun RunHost(const std::wstring& folder, const std::vector<std::wstring>& arguments)
{
    HostRun run;
    std::wstring outputFile = folder + L"host-output.txt";
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE output = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    if (output == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot create the output file";
        return run;
    }
    std::wstring commandLine = Quoted(folder + L"vistrel-host.exe");
    for (const std::wstring& argument : arguments) commandLine += L" " + Quoted(argument);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = NULL;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(NULL, &commandLine[0], NULL, NULL, TRUE, DETACHED_PROCESS, NULL, folder.c_str(),
                                  &startup, &process);
    CloseHandle(output);
    if (!started) {
        ADD_FAILURE() << "cannot start vistrel-host.exe, error " << GetLastError();
        DeleteFileW(outputFile.c_str());
        return run;
    }
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "vistrel-host did not end (a message box?)";
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 10000);
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ReadFileBytes(outputFile, &run.output);
    DeleteFileW(outputFile.c_str());
    return run;
}

