// RunThroughShell against a real interpreter and the record_tool stand-in,
// which writes the command line it received into VSL_RECORD_FILE.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "box_recorder.h"
#include "common/messages.h"
#include "support/scratch.h"
#include "tools/runner.h"
#include "tools/runner_testing.h"

namespace {

// Sets (or with null removes) a variable in the runtime's environment and
// the process's, which the runner and the started tools read; puts the old
// value back at the end of the test.
struct ScopedEnv {
    std::wstring name;
    bool hadValue;
    std::wstring oldValue;
    ScopedEnv(const wchar_t* variable, const wchar_t* value) : name(variable)
    {
        const wchar_t* old = _wgetenv(variable);
        hadValue = old != NULL;
        if (old) oldValue = old;
        put(value);
    }
    ~ScopedEnv() { put(hadValue ? oldValue.c_str() : NULL); }
    void put(const wchar_t* value)
    {
        // "NAME=" removes the variable.
        std::wstring assignment = name + L"=" + (value ? value : L"");
        _wputenv(assignment.c_str());
    }
};

std::wstring ToolPath()
{
    return ExeDirectory() + L"record_tool.exe";
}

std::wstring Utf8ToWide(const std::string& text)
{
    if (text.empty()) return L"";
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), NULL, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], n);
    return wide;
}

// One command line per run of the tool.
std::vector<std::wstring> RecordedLines(const std::wstring& recordFile)
{
    std::vector<std::wstring> lines;
    std::string bytes;
    if (!ReadFileBytes(recordFile, &bytes)) return lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(Utf8ToWide(bytes.substr(start, end - start)));
    return lines;
}

// The arguments as the tool's runtime sees them, program name dropped.
std::vector<std::wstring> ArgumentsOf(const std::wstring& commandLine)
{
    std::vector<std::wstring> result;
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine.c_str(), &count);
    for (int i = 1; argv && i < count; ++i) result.push_back(argv[i]);
    if (argv) LocalFree(argv);
    return result;
}

struct RunnerRun : ::testing::Test {
    ScratchDir scratch{L"runner"};
    std::wstring recordFile = scratch.path + L"record.txt";
    ScopedEnv record{L"VSL_RECORD_FILE", recordFile.c_str()};
    ScopedEnv exitCode{L"VSL_RECORD_EXIT", NULL};
    ScopedEnv output{L"VSL_RECORD_STDOUT", NULL};
    ScopedEnv sleep{L"VSL_RECORD_SLEEP", NULL};
    ScopedEnv handle{L"VSL_RECORD_HANDLE", NULL};

    void SetUp() override { ASSERT_TRUE(FileExists(ToolPath())) << "record_tool.exe not built"; }
};

TEST_F(RunnerRun, ReturnsTheToolsExitCode)
{
    for (const wchar_t* code : {L"0", L"1", L"7"}) {
        exitCode.put(code);
        EXPECT_EQ(_wtoi(code), RunThroughShell(ToolPath().c_str(), L"-x \"a b\"")) << code;
    }
    std::vector<std::wstring> lines = RecordedLines(recordFile);
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ((std::vector<std::wstring>{L"-x", L"a b"}), ArgumentsOf(lines[0]));
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(RunnerRun, WaitsUntilTheToolHasEnded)
{
    // The tool records only after its sleep.
    sleep.put(L"700");
    RunThroughShell(ToolPath().c_str(), L"-x");
    EXPECT_EQ(1u, RecordedLines(recordFile).size());
}

TEST_F(RunnerRun, InterpreterFromComspecOrCmdExe)
{
    exitCode.put(L"4");
    {
        ScopedEnv comspec(L"COMSPEC", NULL);
        EXPECT_EQ(4, RunThroughShell(ToolPath().c_str(), L"-x"));
    }
    {
        // The platform's file-not-found code, and nothing runs.
        std::wstring missing = scratch.path + L"no-such-interpreter.exe";
        ScopedEnv comspec(L"COMSPEC", missing.c_str());
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RunThroughShell(ToolPath().c_str(), L"-x"));
    }
    EXPECT_EQ(1u, RecordedLines(recordFile).size());
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(RunnerRun, RunsUpTo4094CharactersAndRefusesLongerWithAWarning)
{
    exitCode.put(L"5");
    const wchar_t* comspec = _wgetenv(L"COMSPEC");
    ASSERT_TRUE(comspec);
    std::wstring tool = ToolPath();
    size_t bare = BuildShellCommandLine(NULL, 0, comspec, tool.c_str(), L"-pad ");
    struct Case {
        size_t length;
        const wchar_t* extra; // '%' takes the direct route, same limit
        bool runs;
    } const cases[] = {
        {4094, L"", true}, {4094, L"%", true}, {4095, L"", false}, {4095, L"%", false}, {6000, L"", false},
    };
    for (const Case& c : cases) {
        ClearRecordedBoxes();
        ForgetShownBoxes(); // the longest rows are cut to the same box
        DeleteFileW(recordFile.c_str());
        std::wstring arguments = std::wstring(L"-pad ") + c.extra;
        arguments += std::wstring(c.length - bare - wcslen(c.extra), L'a');
        ASSERT_EQ(c.length, BuildShellCommandLine(NULL, 0, comspec, tool.c_str(), arguments.c_str()));

        int result = RunThroughShell(tool.c_str(), arguments.c_str());
        if (c.runs) {
            EXPECT_EQ(5, result) << c.length;
            EXPECT_EQ(1u, RecordedLines(recordFile).size()) << c.length;
            EXPECT_TRUE(RecordedBoxes().empty()) << c.length;
            continue;
        }
        EXPECT_EQ(-1, result) << c.length;
        EXPECT_FALSE(FileExists(recordFile)) << c.length;
        ASSERT_EQ(1u, RecordedBoxes().size()) << c.length;
        // The command line is cut so that the warning itself stays in the box.
        const std::wstring& text = RecordedBoxes()[0].text;
        std::wstring head = std::wstring(L"Error\n") + comspec + L" /s /c \" \"" + tool + L"\" -pad ";
        EXPECT_EQ(0u, text.find(head)) << c.length;
        std::wstring tail =
            L"\n\nWarning: commandline seems too big! This commandline will be ignored and will not be run";
        ASSERT_GT(text.size(), tail.size());
        EXPECT_EQ(tail, text.substr(text.size() - tail.size())) << c.length;
        EXPECT_LT(text.size(), 2048u);
    }
}

TEST_F(RunnerRun, RedirectsStandardOutputThroughTheInterpreter)
{
    output.put(L"1920\n1080\n63.5");
    std::wstring probe = scratch.path + L"probe.txt";
    std::wstring arguments = L"-of x \"" + scratch.path + L"clip.mp4\">\"" + probe + L"\"";
    EXPECT_EQ(0, RunThroughShell(ToolPath().c_str(), arguments.c_str()));
    std::string text;
    ASSERT_TRUE(ReadFileBytes(probe, &text));
    EXPECT_EQ("1920\n1080\n63.5\n", text);
    EXPECT_TRUE(DeleteFileW(probe.c_str()));
    std::vector<std::wstring> lines = RecordedLines(recordFile);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ((std::vector<std::wstring>{L"-of", L"x", scratch.path + L"clip.mp4"}), ArgumentsOf(lines[0]));
}

// A file name must never be read as interpreter syntax: with VSLTEST
// defined, "%VSLTEST%" would otherwise turn into its value.
TEST_F(RunnerRun, NamesWithPercentOrExclamationReachTheToolIntact)
{
    ScopedEnv defined(L"VSLTEST", L"boom");
    exitCode.put(L"3");
    output.put(L"probe output");
    std::wstring renamedTool = scratch.path + L"tool %VSLTEST%.exe";
    ASSERT_TRUE(CopyFileW(ToolPath().c_str(), renamedTool.c_str(), FALSE));

    struct Case {
        std::wstring tool;
        const wchar_t* source;
        const wchar_t* probe;
    } const cases[] = {
        {ToolPath(), L"clip %VSLTEST% 100%.mp4", L"probe.txt"},
        {ToolPath(), L"50% off!.mp4", L"probe %VSLTEST%.txt"},
        {ToolPath(), L"!VSLTEST! and %CD%.mp4", L"probe.txt"},
        {ToolPath(), L"a%%b.mp4", L"probe.txt"},
        {renamedTool, L"plain.mp4", L"probe.txt"},
    };
    for (const Case& c : cases) {
        DeleteFileW(recordFile.c_str());
        std::wstring source = scratch.path + c.source;
        std::wstring probe = scratch.path + c.probe;
        DeleteFileW(probe.c_str());
        std::wstring arguments = L"-loglevel panic -i \"" + source + L"\">\"" + probe + L"\"";

        EXPECT_EQ(3, RunThroughShell(c.tool.c_str(), arguments.c_str())) << c.source;
        std::vector<std::wstring> lines = RecordedLines(recordFile);
        ASSERT_EQ(1u, lines.size()) << c.source;
        EXPECT_EQ((std::vector<std::wstring>{L"-loglevel", L"panic", L"-i", source}), ArgumentsOf(lines[0]));
        std::string text;
        EXPECT_TRUE(ReadFileBytes(probe, &text)) << c.source;
        EXPECT_EQ("probe output\n", text) << c.source;
        // Nothing holds the output file once the run has returned.
        EXPECT_TRUE(DeleteFileW(probe.c_str())) << c.source;
        EXPECT_FALSE(FileExists(probe)) << c.source;
    }
    EXPECT_FALSE(FileExists(scratch.path + L"probe boom.txt"));
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(RunnerRun, DirectStartAppendsOrGivesUpLikeTheInterpreter)
{
    output.put(L"line");
    std::wstring probe = scratch.path + L"probe.txt";
    std::wstring appending = L"-i \"%x%.mp4\" >> \"" + probe + L"\"";
    RunThroughShell(ToolPath().c_str(), appending.c_str());
    RunThroughShell(ToolPath().c_str(), appending.c_str());
    std::string text;
    ASSERT_TRUE(ReadFileBytes(probe, &text));
    EXPECT_EQ("line\nline\n", text);

    // Without a redirection the arguments go through as they are.
    DeleteFileW(recordFile.c_str());
    EXPECT_EQ(0, RunThroughShell(ToolPath().c_str(), L"-i \"%x%.mp4\" -y \"out.jpg\""));
    std::vector<std::wstring> lines = RecordedLines(recordFile);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ((std::vector<std::wstring>{L"-i", L"%x%.mp4", L"-y", L"out.jpg"}), ArgumentsOf(lines[0]));

    // An output file that cannot be made: an error code and no run.
    DeleteFileW(recordFile.c_str());
    std::wstring unwritable = L"-i \"%x%.mp4\">\"" + scratch.path + L"missing\\probe.txt\"";
    EXPECT_NE(0, RunThroughShell(ToolPath().c_str(), unwritable.c_str()));
    EXPECT_FALSE(FileExists(recordFile));
}

// True when no handle is open on the file: opening it without sharing
// fails while one is, whatever sharing that one allows.
bool NothingHolds(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// A batch file that runs the stand-in with its own arguments, and one that
// leaves it running in the background and ends at once.
std::wstring WriteBatchTool(const std::wstring& path, const wchar_t* prefix)
{
    std::string line = std::string("@") + Utf8(prefix) + "\"" + Utf8(ToolPath()) + "\" %*\r\n";
    return WriteFileBytes(path, line) ? path : L"";
}

// A %NAME% in a settings text is the user's, for the interpreter; one in a
// file name must never be expanded, and a batch file would expand it even
// when started directly.
TEST_F(RunnerRun, BatchFileToolsRunOnlyWhereNoFileNameIsExpanded)
{
    ScopedEnv defined(L"VSLTEST", L"boom");
    std::wstring bat = WriteBatchTool(scratch.path + L"tool.bat", L"");
    std::wstring cmd = WriteBatchTool(scratch.path + L"TOOL.CMD", L"");
    std::wstring quotedCmd = L"\"" + cmd + L"\"";
    struct Case {
        std::wstring tool;
        const wchar_t* source;
        bool runs;
        const wchar_t* settingSeen; // what the tool got for "%VSLTEST%"
        const wchar_t* setting = L"-s %VSLTEST%";
    } const cases[] = {
        {bat, L"plain.mp4", true, L"boom"},
        {ToolPath(), L"plain.mp4", true, L"boom"},
        {ToolPath(), L"clip %VSLTEST%.mp4", true, L"%VSLTEST%"},
        {bat, L"clip %VSLTEST%.mp4", false, NULL},
        {quotedCmd, L"50% & !x!.mp4", false, NULL},
        // Its quotes would leave the name's '&' to the interpreter.
        {bat, L"plain & more.mp4", false, NULL, L"-s \"%VSLTEST%"},
    };
    for (const Case& c : cases) {
        ClearRecordedBoxes();
        DeleteFileW(recordFile.c_str());
        std::wstring source = scratch.path + c.source;
        std::wstring arguments = std::wstring(c.setting) + L" -i \"" + source + L"\"";
        const wchar_t* const paths[] = {source.c_str()};
        int result = RunThroughShell(c.tool.c_str(), arguments.c_str(), paths);
        std::vector<std::wstring> lines = RecordedLines(recordFile);
        if (!c.runs) {
            EXPECT_EQ(kToolNotRun, result) << c.source;
            EXPECT_TRUE(lines.empty()) << c.source;
            ASSERT_EQ(1u, RecordedBoxes().size()) << c.source;
            EXPECT_EQ(0u, RecordedBoxes()[0].text.find(L"Error\n" + c.tool + L"\n\nBatch file tools")) << c.source;
            continue;
        }
        EXPECT_TRUE(RecordedBoxes().empty()) << c.source;
        ASSERT_EQ(1u, lines.size()) << c.source;
        EXPECT_EQ((std::vector<std::wstring>{L"-s", c.settingSeen, L"-i", source}), ArgumentsOf(lines[0])) << c.source;
    }
}

// Tools stuck for good (here: asleep for ten minutes) are ended with all
// they started, and nothing of them holds the output file afterwards. So
// are the processes a tool leaves behind when it ends by itself. A tool
// that lived on would hold the output file.
TEST_F(RunnerRun, NoToolTreeOutlivesTheTimeLimitOrItsRun)
{
    const DWORD kLimitMs = 1500;
    SetToolTimeLimitForTests(kLimitMs);
    sleep.put(L"600000");
    std::wstring leaving = WriteBatchTool(scratch.path + L"leave.bat", L"start \"\" /b ");
    struct Case {
        const wchar_t* what;
        std::wstring tool;
        const wchar_t* source; // '%' takes the direct route
        bool refuseJobs; // as where jobs do not nest: the tool runs alone
        int result;
    } const cases[] = {
        {L"interpreter and tool", ToolPath(), L"clip.mp4", false, kToolTimedOut},
        {L"tool alone", ToolPath(), L"100%.mp4", false, kToolTimedOut},
        {L"tool outside a job", ToolPath(), L"100%.mp4", true, kToolTimedOut},
        {L"interpreter and tool outside a job", ToolPath(), L"clip.mp4", true, kToolTimedOut},
        {L"tool left running", leaving, L"clip.mp4", false, 0},
    };
    for (const Case& c : cases) {
        RefuseToolJobsForTests(c.refuseJobs);
        std::wstring source = scratch.path + c.source;
        std::wstring out = scratch.path + L"out.txt";
        std::wstring arguments = L"-i \"" + source + L"\" > \"" + out + L"\"";
        const wchar_t* const paths[] = {source.c_str(), out.c_str()};
        DWORD start = GetTickCount();
        EXPECT_EQ(c.result, RunThroughShell(c.tool.c_str(), arguments.c_str(), paths)) << c.what;
        EXPECT_LT(GetTickCount() - start, kLimitMs + 30000) << c.what;
        EXPECT_TRUE(NothingHolds(out)) << c.what;
        DeleteFileW(out.c_str());
    }
    RefuseToolJobsForTests(false);
    SetToolTimeLimitForTests(0);
}

// A settings text with an odd number of quotes turns the quoting of the
// file name after it inside out: its '&' must still not run a command.
TEST_F(RunnerRun, OddQuotesInASettingLeaveNoFileNameToTheInterpreter)
{
    std::wstring made = scratch.path + L"made";
    std::wstring source = scratch.path + L"a & mkdir " + made + L" & b.mp4";
    const wchar_t* const paths[] = {source.c_str()};
    std::wstring arguments = L"-metadata title=\"x -i \"" + source + L"\"";
    RunThroughShell(ToolPath().c_str(), arguments.c_str(), paths);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(made.c_str()));
    EXPECT_EQ(1u, RecordedLines(recordFile).size());
}

// An inheritable handle of the host (the test makes one with a value no
// fresh process reaches) stays with the host, whichever way a tool starts.
TEST_F(RunnerRun, ToolsInheritNoHandleOfTheHost)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    std::vector<HANDLE> filler;
    for (int i = 0; i < 2000; ++i) filler.push_back(CreateEventW(NULL, FALSE, FALSE, NULL));
    HANDLE event = CreateEventW(&inheritable, FALSE, FALSE, NULL);
    ASSERT_TRUE(event);
    handle.put(std::to_wstring((unsigned long long)(ULONG_PTR)event).c_str());

    // The stand-in can tell: started the old way, it holds the handle.
    std::wstring line = L"\"" + ToolPath() + L"\" -x";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(NULL, &line[0], NULL, NULL, TRUE, DETACHED_PROCESS, NULL, NULL, &startup, &process));
    WaitForSingleObject(process.hProcess, 30000);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(96u, exitCode);

    std::wstring out = scratch.path + L"out.txt";
    for (const wchar_t* source : {L"clip.mp4", L"100%.mp4"}) {
        std::wstring path = scratch.path + source;
        std::wstring arguments = L"-i \"" + path + L"\" >\"" + out + L"\"";
        const wchar_t* const paths[] = {path.c_str(), out.c_str()};
        EXPECT_EQ(0, RunThroughShell(ToolPath().c_str(), arguments.c_str(), paths)) << source;
    }
    CloseHandle(event);
    for (HANDLE h : filler) CloseHandle(h);
}

} // namespace
