// vistrel-host, the command-line host, run as its own process against a
// private copy of the built plug-in.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/plugin.h"
#include "support/scratch.h"

namespace {

struct HostRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output; // standard output and error
};

std::wstring Quoted(const std::wstring& text)
{
    return L"\"" + text + L"\"";
}

// Runs the host program with `arguments` from the folder `folder` (which
// holds its copy and the plug-in's) and collects what it prints. A box of
// the plug-in would wait for a person, so a run that hangs is ended.
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

// A folder with the host program and the plug-in side by side, as built.
struct HostFolder : ::testing::Test {
    ScratchDir scratch{L"host"};
    std::wstring text = scratch.path + L"notes.txt";
    std::wstring bitmap = scratch.path + L"out.bmp";

    void SetUp() override
    {
        ASSERT_TRUE(CopyFileW((ExeDirectory() + L"vistrel-host.exe").c_str(),
                              (scratch.path + L"vistrel-host.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(BuiltPluginPath().c_str(), (scratch.path + L"vistrel.wlx64").c_str(), FALSE));
        ASSERT_TRUE(WriteFileBytes(text, "not a picture\n"));
    }
};

TEST_F(HostFolder, DetectPrintsTheDetectStringOfThePluginBesideIt)
{
    HostRun run = RunHost(scratch.path, {L"detect"});
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(0u, run.output.find("MULTIMEDIA")) << run.output;

    std::wstring renamed = scratch.path + L"renamed.wlx64";
    ASSERT_TRUE(MoveFileW((scratch.path + L"vistrel.wlx64").c_str(), renamed.c_str()));
    EXPECT_EQ(2u, RunHost(scratch.path, {L"detect"}).exitCode);
    EXPECT_EQ(0u, RunHost(scratch.path, {L"detect", L"--plugin", renamed}).exitCode);
}

TEST_F(HostFolder, ThumbOfAFileTheFileManagerGetsNoBitmapForExitsWith1)
{
    for (const wchar_t* repeat : {L"1", L"3"}) {
        HostRun run = RunHost(scratch.path, {L"thumb", L"--repeat", repeat, text, L"256x192", bitmap});
        EXPECT_EQ(1u, run.exitCode) << run.output;
        EXPECT_NE(std::string::npos, run.output.find("no bitmap")) << run.output;
        EXPECT_FALSE(FileExists(bitmap));
    }
}

TEST_F(HostFolder, UsageErrorsExitWith2)
{
    const std::vector<std::wstring> cases[] = {
        {},
        {L"frobnicate"},
        {L"thumb"},
        {L"thumb", text, L"256x192"},
        {L"thumb", text, L"256", bitmap},
        {L"thumb", text, L"0x192", bitmap},
        {L"thumb", text, L"256x192x", bitmap},
        {L"thumb", L"--repeat", L"0", text, L"8x8", bitmap},
        {L"thumb", L"--bogus", text, L"8x8", bitmap},
        {L"detect", L"extra"},
        {L"detect", L"--plugin"},
        {L"detect", L"--plugin", scratch.path + L"missing.wlx64"},
    };
    for (const std::vector<std::wstring>& arguments : cases) {
        HostRun run = RunHost(scratch.path, arguments);
        std::wstring label;
        for (const std::wstring& a : arguments) label += a + L" ";
        EXPECT_EQ(2u, run.exitCode) << std::string(label.begin(), label.end());
        EXPECT_FALSE(run.output.empty());
        EXPECT_FALSE(FileExists(bitmap));
    }
}

} // namespace
