// vistrel-host, the command-line host, run as its own process against a
// private copy of the built plug-in.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <zlib.h>

#include "support/host_run.h"
#include "support/lister_programs.h"
#include "support/plugin.h"
#include "support/scratch.h"

namespace {

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
        {L"view"},
        {L"view", text, text},
        {L"view", text, L"--size", L"0x200"},
        {L"view", text, L"--seconds", L"-1"},
        {L"view", text, L"--shot"},
        {L"thumb", text, L"8x8", bitmap, L"--seconds", L"1"},
        {L"settings", L"extra"},
        {L"cache"},
        {L"cache", L"list"},
        {L"cache", L"wipe", text},
        {L"cache", L"clear", L"--bogus", text},
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

// The reference that ships in docs/ is what the command prints, to the byte.
TEST_F(HostFolder, SettingsPrintsTheShippedReference)
{
    std::string shipped;
    std::wstring source = EnvWide(L"VSL_SOURCE");
    ASSERT_FALSE(source.empty()) << "VSL_SOURCE names the source tree";
    ASSERT_TRUE(ReadFileBytes(WinePathFromUnix(Utf8(source)) + L"\\docs\\vistrel-settings.txt", &shipped));
    HostRun run = RunHost(scratch.path, {L"settings"});
    EXPECT_EQ(0u, run.exitCode);
    size_t line = 1, at = 0;
    while (at < shipped.size() && at < run.output.size() && shipped[at] == run.output[at])
        if (shipped[at++] == '\n') ++line;
    EXPECT_TRUE(shipped == run.output) << "docs/vistrel-settings.txt differs from `vistrel-host settings` from line "
                                       << line << "; write it anew with: scripts/wine-run "
                                       << "build/x64/bin/vistrel-host.exe settings > docs/vistrel-settings.txt";
}

// Width, height and the colour of one pixel (at fractions of the picture)
// of a PNG as vistrel-host writes it: 8-bit RGB rows, no filtering.
std::vector<unsigned> ProbePng(const std::wstring& path, double x, double y)
{
    std::string png, raw;
    if (!ReadFileBytes(path, &png) || png.compare(0, 16, std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16)) != 0)
        return {};
    auto number = [&](size_t at) {
        const unsigned char* b = (const unsigned char*)&png[at];
        return (unsigned)b[0] << 24 | b[1] << 16 | b[2] << 8 | b[3];
    };
    unsigned width = number(16), height = number(20), row = 1 + width * 3;
    size_t idat = png.find("IDAT");
    uLongf size = row * height;
    raw.resize(size);
    if (idat == std::string::npos || uncompress((Bytef*)&raw[0], &size, (const Bytef*)&png[idat + 4], number(idat - 4)))
        return {width, height};
    const char* p = &raw[(size_t)(y * height) * row + 1 + (size_t)(x * width) * 3];
    return {width, height, (unsigned)(unsigned char)p[0] << 16 | (unsigned char)p[1] << 8 | (unsigned char)p[2]};
}

TEST_F(HostFolder, ViewEmbedsWhatThePluginGivesAndReportsItsEnd)
{
    std::wstring ini = scratch.path + L"vistrel.ini";
    for (const auto& kv : ListerProgramSettings())
        WritePrivateProfileStringW(L"vistrel", kv.first.c_str(), kv.second.c_str(), ini.c_str());
    std::wstring video = scratch.path + L"clip.mp4";
    std::wstring shot = scratch.path + L"shot.png";
    ASSERT_TRUE(WriteFileBytes(video, "not really a video"));
    struct Case {
        const char* label;
        std::vector<std::wstring> arguments;
        DWORD exitCode;
        const char* report;
    } const cases[] = {
        {"video", {L"view", video, L"--size", L"320x200", L"--seconds", L"1", L"--shot", shot}, 0,
         "window: class SDL_app, another process, child of the Lister: yes, visible: yes"},
        {"folder", {L"view", scratch.path, L"--seconds", L"0"}, 0,
         "window: class Static, this process, child of the Lister: yes, visible: yes"},
        {"not shown", {L"view", text, L"--seconds", L"0"}, 1, "no window"},
    };
    for (const Case& c : cases) {
        HostRun run = RunHost(scratch.path, c.arguments);
        EXPECT_EQ(c.exitCode, run.exitCode) << c.label << ": " << run.output;
        EXPECT_NE(std::string::npos, run.output.find(c.report)) << c.label << ": " << run.output;
        bool ended = run.output.find("closed: the embedded program ended") != std::string::npos;
        EXPECT_EQ(c.exitCode == 0, ended) << c.label << ": " << run.output;
    }
    // The stand-in's dark blue ground, where the player sits in the window.
    std::vector<unsigned> probe = ProbePng(shot, 0.1, 0.75);
    ASSERT_EQ(3u, probe.size());
    EXPECT_GE(probe[0], 320u);
    EXPECT_GE(probe[1], 200u);
    EXPECT_EQ(0x102040u, probe[2]);
}

} // namespace
