// Running a tool to completion, hidden, and handing back its exit code.
#include "tools/runner.h"

#include <stdlib.h>

#include "common/format.h"
#include "common/messages.h"
#include "common/strpos.h"
#include "tools/runner_testing.h"
#include "tools/tool_process.h"

// The interpreter's part done here, so that no character of the command
// is ever expanded: the program quoted as on the shell command line, and
// a trailing "> file" turned into an inherited standard-output handle.
// The tool gets no console at all rather than a hidden one: a console
// host started for the tool could inherit the output file's handle and
// keep it open after the tool has ended, so the caller could not delete it.
static int runToolDirectly(const wchar_t* programPath, const wchar_t* arguments)
{
    int result = 0;
    HANDLE stdoutFile = INVALID_HANDLE_VALUE;
    HANDLE nullDevice = INVALID_HANDLE_VALUE;
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    STARTUPINFOW startup = {};
    HANDLE inherited[2] = {};
    wchar_t szArguments[kCommandLineChars];
    wchar_t szStdoutPath[kCommandLineChars];
    wchar_t szCommandLine[kCommandLineChars];
    bool append = false;
    bool redirect = SplitStdoutRedirection(arguments, szArguments, szStdoutPath, &append);
    bool quoteProgram = strpos(programPath, L"\"", true, 1) != 1;

    szCommandLine[0] = 0;
    // Shorter than the shell command line, which was checked to fit.
    AppendWide(szCommandLine, kCommandLineChars, quoteProgram ? L"\"" : L"");
    AppendWide(szCommandLine, kCommandLineChars, programPath);
    AppendWide(szCommandLine, kCommandLineChars, quoteProgram ? L"\" " : L" ");
    if (!AppendWide(szCommandLine, kCommandLineChars, szArguments)) {
        result = kToolNotRun;
        goto done;
    }

    nullDevice = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (nullDevice == INVALID_HANDLE_VALUE) {
        result = (int)GetLastError();
        goto done;
    }
    if (redirect) {
        // As the interpreter does: ">" truncates or creates, ">>" appends.
        stdoutFile = CreateFileW(szStdoutPath, append ? FILE_APPEND_DATA : GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, append ? OPEN_ALWAYS : CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
        if (stdoutFile == INVALID_HANDLE_VALUE) {
            result = (int)GetLastError();
            goto done;
        }
    }
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nullDevice;
    startup.hStdOutput = redirect ? stdoutFile : nullDevice;
    startup.hStdError = nullDevice;
    inherited[0] = nullDevice;
    if (redirect) inherited[1] = stdoutFile;
    result = RunToolProcess(szCommandLine, DETACHED_PROCESS, &startup, inherited, redirect ? 2 : 1);

done:
    if (stdoutFile != INVALID_HANDLE_VALUE) CloseHandle(stdoutFile);
    if (nullDevice != INVALID_HANDLE_VALUE) CloseHandle(nullDevice);
    return result;
}

// The box holds fewer characters than such a command line; cutting the
// command line rather than the box keeps the warning itself readable.
static void reportTooLong(const wchar_t* commandLine)
{
    static const wchar_t kWarning[] =
        L"Warning: commandline seems too big! This commandline will be ignored and will not be run";
    // "Error\n", subject, "\n\n", warning and the terminator.
    enum { kSubjectChars = kErrorBoxChars - 6 - 2 - (sizeof kWarning / sizeof kWarning[0] - 1) };
    wchar_t szSubject[kSubjectChars];
    szSubject[0] = 0;
    AppendWide(szSubject, kSubjectChars, commandLine);
    ErrorBox(szSubject, kWarning);
}

static void reportBatchFile(const wchar_t* programPath, bool expansion)
{
    if (expansion)
        ErrorBox(programPath, L"Batch file tools cannot run this file safely: its name holds % or !, which the batch "
                              L"file would expand. Please set the path of the program itself in the ini");
    else
        ErrorBox(programPath, L"Batch file tools cannot run this file safely: a settings text on its command line "
                              L"holds an odd number of double quotes, which leaves the file's name unquoted. Please "
                              L"set the path of the program itself in the ini, or pair the quotes");
}

// `judgeQuoting` false: the file paths are not told apart from the
// settings, so only their characters can be judged.
static int runThroughShell(const wchar_t* programPath, const wchar_t* arguments, const wchar_t* const* filePaths,
                           size_t filePathCount, bool judgeQuoting)
{
    if (!programPath) programPath = L"";
    if (!arguments) arguments = L"";

    wchar_t szInterpreter[kCommandLineChars];
    const wchar_t* comspec = _wgetenv(L"COMSPEC");
    szInterpreter[0] = 0;
    AppendWide(szInterpreter, kCommandLineChars, comspec ? comspec : L"CMD.EXE");

    // The same limit whichever way the tool is started, so that a command
    // does not run or fail depending on the characters of a file name.
    wchar_t szCommandLine[kCommandLineChars];
    size_t length = BuildShellCommandLine(szCommandLine, kCommandLineChars, szInterpreter, programPath, arguments);
    if (length > kShellCommandMaxLength) {
        reportTooLong(szCommandLine);
        return kToolNotRun;
    }
    bool expansion = NeedsDirectStart(programPath, filePaths, filePathCount);
    if (expansion || (judgeQuoting && !FilePathsStayQuoted(programPath, arguments, filePaths, filePathCount))) {
        if (IsBatchFile(programPath)) {
            reportBatchFile(programPath, expansion);
            return kToolNotRun;
        }
        return runToolDirectly(programPath, arguments);
    }

    // The interpreter gets a console of its own, hidden, and passes it on
    // to the tool; it needs no handle of ours.
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    return RunToolProcess(szCommandLine, CREATE_NEW_CONSOLE, &startup, NULL, 0);
}

int RunThroughShell(const wchar_t* programPath, const wchar_t* arguments, const wchar_t* const* filePaths,
                    size_t filePathCount)
{
    return runThroughShell(programPath, arguments, filePaths, filePathCount, true);
}

int RunThroughShell(const wchar_t* programPath, const wchar_t* arguments)
{
    const wchar_t* const filePaths[] = {arguments};
    return runThroughShell(programPath, arguments, filePaths, 1, false);
}
