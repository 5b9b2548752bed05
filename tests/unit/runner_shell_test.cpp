// The text side of the command runner: the interpreter command line and
// the recognition of expansions and of a trailing output redirection.
#include <gtest/gtest.h>

#include <string>

#include "tools/runner.h"

namespace {

struct ShellLineCase {
    const wchar_t* interpreter;
    const wchar_t* program;
    const wchar_t* arguments;
    const wchar_t* expected;
};

TEST(RunnerShellLine, AssemblesTheInterpreterCommand)
{
    const ShellLineCase cases[] = {
        // A program path with spaces is enclosed in quotes.
        {L"C:\\windows\\system32\\cmd.exe", L"C:\\Program Files\\ffmpeg\\ffprobe.exe",
         L"-loglevel panic -i \"C:\\v\\a b.mp4\">\"C:\\t\\vsl1.tmp\"",
         L"C:\\windows\\system32\\cmd.exe /s /c \" \"C:\\Program Files\\ffmpeg\\ffprobe.exe\" -loglevel panic -i "
         L"\"C:\\v\\a b.mp4\">\"C:\\t\\vsl1.tmp\" \""},
        // A path that already begins with a quote is not quoted again.
        {L"CMD.EXE", L"\"C:\\tools\\i_view64.exe\"", L"\"in.png\" /convert=\"out.jpg\"",
         L"CMD.EXE /s /c \" \"C:\\tools\\i_view64.exe\" \"in.png\" /convert=\"out.jpg\" \""},
        // A quote further in does not count as an opening one.
        {L"CMD.EXE", L"C:\\odd\"name.exe", L"-x", L"CMD.EXE /s /c \" \"C:\\odd\"name.exe\" -x \""},
        // No arguments: the separating and the closing space remain.
        {L"CMD.EXE", L"tool.exe", L"", L"CMD.EXE /s /c \" \"tool.exe\"  \""},
    };
    for (const ShellLineCase& c : cases) {
        wchar_t out[kCommandLineChars];
        size_t length = BuildShellCommandLine(out, kCommandLineChars, c.interpreter, c.program, c.arguments);
        EXPECT_STREQ(c.expected, out);
        EXPECT_EQ(wcslen(c.expected), length);
    }
}

TEST(RunnerShellLine, CutsAnOverlongLineInsideItsBufferButReportsItsFullLength)
{
    std::wstring arguments(5000, L'a');
    wchar_t out[kCommandLineChars + 8];
    for (wchar_t& c : out) c = L'#';
    size_t length = BuildShellCommandLine(out, kCommandLineChars, L"CMD.EXE", L"t.exe", arguments.c_str());
    EXPECT_EQ(wcslen(L"CMD.EXE /s /c \" \"t.exe\" ") + 5000 + 2, length);
    EXPECT_EQ((size_t)kCommandLineChars - 1, wcslen(out));
    for (int i = kCommandLineChars; i < kCommandLineChars + 8; ++i) EXPECT_EQ(L'#', out[i]) << i;
    EXPECT_EQ(0, wcsncmp(out, L"CMD.EXE /s /c \" \"t.exe\" aaa", 27));
}

// Only the program and the file paths decide: the settings' own %NAME%
// are for the interpreter to expand.
TEST(RunnerShellLine, StartsDirectlyOnlyWhenAFilePathHoldsAnExpansion)
{
    struct Case {
        const wchar_t* program;
        const wchar_t* source;
        const wchar_t* output;
        bool direct;
    } const cases[] = {
        {L"C:\\ff\\ffprobe.exe", L"C:\\v\\plain name & more^.mp4", L"C:\\t\\p.tmp", false},
        {L"C:\\ff\\ffprobe.exe", L"C:\\v\\clip %VSLTEST% 100%.mp4", L"C:\\t\\p.tmp", true},
        {L"C:\\ff\\ffprobe.exe", L"C:\\v\\50% off.mp4", L"C:\\t\\p.tmp", true},
        {L"C:\\ff\\ffprobe.exe", L"C:\\v\\wow!.mp4", L"C:\\t\\p.tmp", true},
        {L"C:\\ff\\ffprobe.exe", L"C:\\v\\a.mp4", L"C:\\Temp 100%\\p.tmp", true},
        {L"C:\\100%\\ffprobe.exe", L"C:\\v\\a.mp4", NULL, true},
        {NULL, NULL, NULL, false},
    };
    for (const Case& c : cases) {
        const wchar_t* const paths[] = {c.source, c.output};
        EXPECT_EQ(c.direct, NeedsDirectStart(c.program, paths, 2)) << (c.source ? c.source : L"null");
    }
    EXPECT_FALSE(NeedsDirectStart(L"C:\\ff\\ffmpeg.exe", NULL, 0));
}

// As the interpreter reads the line: a quote toggles, and outside quotes a
// caret makes the next character (a quote too) plain text.
TEST(RunnerShellLine, TellsWhetherTheFilePathsStayInsideQuotes)
{
    const wchar_t kSource[] = L"C:\\v\\a & b.mp4";
    struct Case {
        const wchar_t* program;
        const wchar_t* arguments; // "S" stands for the source
        bool quoted;
    } const cases[] = {
        {L"C:\\ff\\ffmpeg.exe", L"-t \"x\" -i \"S\" -y \"C:\\t\\o.jpg\"", true},
        {L"C:\\ff\\ffmpeg.exe", L"-t \"x -i \"S\"", false},
        {L"C:\\ff\\ffmpeg.exe", L"-t ^\" -i \"S\"", true},
        {L"C:\\ff\\ffmpeg.exe", L"-i \"S\" -m S", false}, // every place counts
        {L"\"C:\\ff\\ffmpeg.exe", L"-i \"S\"", false},
        {L"C:\\ff\\ffmpeg.exe", L"-i \"C:\\v\\other.mp4\"", true}, // not on the line
    };
    for (const Case& c : cases) {
        std::wstring arguments = c.arguments;
        for (size_t at; (at = arguments.find(L'S')) != std::wstring::npos;) arguments.replace(at, 1, kSource);
        const wchar_t* const paths[] = {kSource, NULL, L""};
        EXPECT_EQ(c.quoted, FilePathsStayQuoted(c.program, arguments.c_str(), paths, 3)) << c.program << " " << c.arguments;
    }
}

TEST(RunnerShellLine, KnowsBatchFilesInAnySpelling)
{
    struct Case {
        const wchar_t* program;
        bool batch;
    } const cases[] = {
        {L"C:\\t\\run.bat", true},      {L"C:\\t\\RUN.CMD", true},    {L"\"C:\\t\\run.Bat\"", true},
        {L"C:\\t\\run.cmd. . ", true},  {L"run.bAT\" ", true},         {L"C:\\t\\run.exe", false},
        {L"C:\\t\\run.bat.exe", false}, {L"C:\\t\\bat", false},      {L"C:\\t\\run.cmdx", false},
        {L"", false},                   {NULL, false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.batch, IsBatchFile(c.program)) << (c.program ? c.program : L"null");
}

TEST(RunnerShellLine, RecognisesOnlyATrailingStandardOutputRedirection)
{
    struct Case {
        const wchar_t* arguments;
        bool found;
        const wchar_t* command; // the arguments when none is found
        const wchar_t* path;
        bool append;
    } const cases[] = {
        // The probe's own shape: no blanks around '>'.
        {L"-of csv \"C:\\v\\a b.mp4\">\"C:\\t\\vsl1.tmp\"", true, L"-of csv \"C:\\v\\a b.mp4\"", L"C:\\t\\vsl1.tmp",
         false},
        {L"-i \"a.mp4\"  >  \"C:\\t\\p.tmp\"  ", true, L"-i \"a.mp4\"", L"C:\\t\\p.tmp", false},
        {L"-i \"a.mp4\" >> \"C:\\t\\p.tmp\"", true, L"-i \"a.mp4\"", L"C:\\t\\p.tmp", true},
        {L"-i \"a.mp4\" 1>\"C:\\t\\p.tmp\"", true, L"-i \"a.mp4\"", L"C:\\t\\p.tmp", false},
        {L">\"C:\\t\\p.tmp\"", true, L"", L"C:\\t\\p.tmp", false},
        // Standard error, another handle, an escaped '>', a '>' inside a
        // quoted argument, no file name, no redirection at all.
        {L"-i \"a.mp4\" 2>\"C:\\t\\p.tmp\"", false, NULL, L"", false},
        {L"-t 5>\"C:\\t\\p.tmp\"", false, NULL, L"", false},
        {L"-i \"a.mp4\" ^>\"C:\\t\\p.tmp\"", false, NULL, L"", false},
        {L"-vf \"a > \"C:\\t\\p.tmp\"", false, NULL, L"", false},
        {L"-i \"a.mp4\">\"\"", false, NULL, L"", false},
        {L"-i \"a>b.mp4\"", false, NULL, L"", false},
        {L"-i \"C:\\v\\a.mp4\" -y \"C:\\t\\out.jpg\"", false, NULL, L"", false},
        {L"", false, NULL, L"", false},
    };
    for (const Case& c : cases) {
        wchar_t command[kCommandLineChars];
        wchar_t path[kCommandLineChars];
        bool append = !c.append;
        EXPECT_EQ(c.found, SplitStdoutRedirection(c.arguments, command, path, &append)) << c.arguments;
        EXPECT_STREQ(c.command ? c.command : c.arguments, command) << c.arguments;
        EXPECT_STREQ(c.path, path) << c.arguments;
        EXPECT_EQ(c.append, append) << c.arguments;
    }
}

} // namespace
