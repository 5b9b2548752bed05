// MakeWaveformImage as a whole, with this test program standing in for
// ffmpeg: which runs it makes, in which order, what it does when one of
// them writes nothing, and that its helper files are gone afterwards.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "box_recorder.h"
#include "generators/waveform.h"
#include "plugin/file_info.h"
#include "plugin/state.h"
#include "settings/settings.h"
#include "support/scratch.h"

namespace {

// OPEN_ALWAYS appends, CREATE_ALWAYS replaces.
void WriteUtf8(const std::wstring& path, DWORD disposition, const std::wstring& text)
{
    HANDLE file = CreateFileW(path.c_str(), disposition == OPEN_ALWAYS ? FILE_APPEND_DATA : GENERIC_WRITE,
                              FILE_SHARE_READ, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string utf8(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &utf8[0], bytes, NULL, NULL);
    DWORD written = 0;
    if (!utf8.empty()) WriteFile(file, utf8.data(), (DWORD)utf8.size(), &written, NULL);
    CloseHandle(file);
}

// Started with VSL_FAKE_FFMPEG_LOG set, this program is a stand-in ffmpeg
// and ends before any test runs: it appends its command line to that log
// and writes the same line into the file named last, as ffmpeg writes its
// picture there. A command that contains VSL_FAKE_FFMPEG_FAIL writes
// nothing; with VSL_FAKE_FFMPEG_EMPTIES set it also empties that file, as
// ffmpeg does when it fails after opening its output.
bool ActAsFakeFfmpegWhenAsked()
{
    std::wstring log = EnvWide(L"VSL_FAKE_FFMPEG_LOG");
    if (log.empty()) return false;
    std::wstring commandLine = GetCommandLineW();
    WriteUtf8(log, OPEN_ALWAYS, commandLine + L"\n");
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine.c_str(), &count);
    std::wstring output = (argv && count > 1) ? argv[count - 1] : L"";
    if (argv) LocalFree(argv);
    std::wstring failOn = EnvWide(L"VSL_FAKE_FFMPEG_FAIL");
    bool fails = !failOn.empty() && commandLine.find(failOn) != std::wstring::npos;
    if (!fails) {
        WriteUtf8(output, CREATE_ALWAYS, commandLine);
    } else if (!EnvWide(L"VSL_FAKE_FFMPEG_EMPTIES").empty()) {
        WriteUtf8(output, CREATE_ALWAYS, L"");
    }
    ExitProcess(0);
}

[[maybe_unused]] const bool gFakeFfmpeg = ActAsFakeFfmpegWhenAsked();

void SetEnv(const wchar_t* name, const std::wstring& value)
{
    SetEnvironmentVariableW(name, value.empty() ? NULL : value.c_str());
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A global put back when the test ends (text buffers included).
template <typename T>
struct Saved {
    T& value;
    T old;
    explicit Saved(T& global) : value(global) { memcpy(&old, &global, sizeof(T)); }
    ~Saved() { memcpy(&value, &old, sizeof(T)); }
};

// The settings and cell size MakeWaveformImage reads, set to the defaults.
struct WaveformSettings {
    Saved<decltype(szFfmpegPath)> ffmpegPath{szFfmpegPath};
    Saved<decltype(szAudioColorLeft)> colorLeft{szAudioColorLeft};
    Saved<decltype(szAudioColorRight)> colorRight{szAudioColorRight};
    Saved<decltype(szFfmpegAudioPostInputParams)> postParams{szFfmpegAudioPostInputParams};
    Saved<bool> fades{bAudioShowFadeInOut}, smoothen{bFfmpegAudioSmoothen}, debug{bDebug};
    Saved<double> ideal{gAudioIdealFadeInOutInSecs}, timeMax{gAudioTimeMaxInSecs};
    Saved<int> thickness{gAudioSeparatorThickness}, width{gThumbWidth}, height{gThumbHeight};

    WaveformSettings()
    {
        wcscpy(szAudioColorLeft, L"7fffbe");
        wcscpy(szAudioColorRight, L"ff80c0");
        wcscpy(szFfmpegAudioPostInputParams, L"-frames:v 1 -f mjpeg -qscale:v 1 -y");
        bAudioShowFadeInOut = true;
        bFfmpegAudioSmoothen = false;
        bDebug = true;
        gAudioIdealFadeInOutInSecs = 2.00;
        gAudioTimeMaxInSecs = 900;
        gAudioSeparatorThickness = 1;
        gThumbWidth = 200;
        gThumbHeight = 100;
    }
};

// The test program's guard fails a test that leaves a helper file behind.
struct MakeWaveform : ::testing::Test {
    WaveformSettings settings;
    ScratchDir scratch{L"waveform"};
    std::wstring log = scratch.path + L"runs.txt";
    std::wstring source = scratch.path + L"track & 1.wav";
    std::wstring picture = scratch.path + L"picture.tmp";

    void SetUp() override
    {
        std::wstring self(MAX_PATH, L'\0');
        self.resize(GetModuleFileNameW(NULL, &self[0], MAX_PATH));
        wcscpy(szFfmpegPath, self.c_str());
        SetEnv(L"VSL_FAKE_FFMPEG_LOG", log);
        ASSERT_TRUE(WriteFileBytes(source, "RIFF"));
        ASSERT_TRUE(WriteFileBytes(picture, ""));
    }
    void TearDown() override
    {
        SetEnv(L"VSL_FAKE_FFMPEG_LOG", L"");
        SetEnv(L"VSL_FAKE_FFMPEG_FAIL", L"");
        SetEnv(L"VSL_FAKE_FFMPEG_EMPTIES", L"");
    }

    void failOn(const std::wstring& text, bool empties) const
    {
        SetEnv(L"VSL_FAKE_FFMPEG_FAIL", text);
        SetEnv(L"VSL_FAKE_FFMPEG_EMPTIES", empties ? L"1" : L"");
    }

    // Makes the picture from a fresh empty file; the command lines of the
    // runs, oldest first.
    std::vector<std::string> make(double duration)
    {
        DeleteFileW(log.c_str());
        WriteFileBytes(picture, "");
        ClearRecordedBoxes();
        MakeWaveformImage(source.c_str(), duration, picture.c_str());
        std::vector<std::string> runs;
        std::string bytes;
        if (!ReadFileBytes(log, &bytes)) return runs;
        size_t start = 0;
        for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
            runs.push_back(bytes.substr(start, end - start));
        return runs;
    }

    std::string pictureText() const
    {
        std::string bytes;
        ReadFileBytes(picture, &bytes);
        return bytes;
    }

    // The quoted texts of a command line, program excluded.
    static std::vector<std::string> quoted(const std::string& run)
    {
        std::vector<std::string> names;
        size_t open = run.find('"', run.find('"', 1) + 1); // past the program
        while (open != std::string::npos) {
            size_t close = run.find('"', open + 1);
            if (close == std::string::npos) break;
            names.push_back(run.substr(open + 1, close - open - 1));
            open = run.find('"', close + 1);
        }
        return names;
    }

    void expectOneBox(const wchar_t* text) const
    {
        ASSERT_EQ(1u, RecordedBoxes().size());
        EXPECT_EQ(std::wstring(L"DEBUG char*: '") + text + L"'", RecordedBoxes()[0].text);
        EXPECT_EQ(L"debug", RecordedBoxes()[0].caption);
    }
};

TEST_F(MakeWaveform, FivePicturesMakeTheStackedResult)
{
    std::vector<std::string> runs = make(3);
    ASSERT_EQ(5u, runs.size());
    std::string in = Utf8(source), out = Utf8(picture);
    EXPECT_TRUE(Contains(runs[0], "-t 0.75000 -i \"" + in + "\"")) << runs[0];
    EXPECT_TRUE(Contains(runs[1], "-ss 2.25000 -t 0.75000 -i \"" + in + "\"")) << runs[1];
    EXPECT_TRUE(Contains(runs[2], "hstack")) << runs[2];
    EXPECT_TRUE(Contains(runs[3], "-t 900 -i \"" + in +
                                      "\" -filter_complex \"showwavespic=s=200x75:colors=7fffbe|ff80c0\" "
                                      "-frames:v 1 -f mjpeg -qscale:v 1 -y \"" + out + "\""))
        << runs[3];
    EXPECT_TRUE(Contains(runs[4], "vstack")) << runs[4];

    // The fade-in pane and the main waveform go into the picture file; the
    // merge joins the fade-in and fade-out panes, the stack the copy of the
    // main waveform (in the fade-out pane's file) and the merged panes.
    std::vector<std::string> fadeIn = quoted(runs[0]), fadeOut = quoted(runs[1]), merge = quoted(runs[2]),
                             stack = quoted(runs[4]);
    ASSERT_EQ(3u, fadeIn.size()); // source, filter, output
    ASSERT_EQ(3u, fadeOut.size());
    ASSERT_EQ(3u, merge.size());
    ASSERT_EQ(3u, stack.size());
    EXPECT_EQ(out, fadeIn[2]);
    EXPECT_EQ(out, merge[0]);
    EXPECT_EQ(fadeOut[2], merge[1]);
    EXPECT_EQ((std::vector<std::string>{fadeOut[2], merge[2], out}), stack);
    EXPECT_NE(out, fadeOut[2]);
    EXPECT_NE(fadeOut[2], merge[2]);
    EXPECT_EQ(runs[4], pictureText());
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(MakeWaveform, AFailedFadeStepGivesOneFullHeightWaveform)
{
    struct Case {
        const wchar_t* failOn;
        const wchar_t* message;
        size_t runs;
    } const cases[] = {
        {L"-t 0.75000", L"fadein failed", 2},
        {L"-ss 2.25000", L"fadeout failed", 3},
        {L"hstack", L"fades merge failed", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.message));
        failOn(c.failOn, false);
        std::vector<std::string> runs = make(3);
        ASSERT_EQ(c.runs, runs.size());
        EXPECT_TRUE(Contains(runs.back(), "showwavespic=s=200x100:")) << runs.back();
        EXPECT_EQ(runs.back(), pictureText());
        expectOneBox(c.message);
    }
    bDebug = false;
    failOn(L"-t 0.75000", false);
    EXPECT_EQ(2u, make(3).size());
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(MakeWaveform, WithoutFadePanesOneRun)
{
    bAudioShowFadeInOut = false;
    bFfmpegAudioSmoothen = true;
    std::vector<std::string> runs = make(1000);
    ASSERT_EQ(1u, runs.size());
    EXPECT_TRUE(Contains(runs[0], "-t 900 -i \"" + Utf8(source) +
                                      "\" -filter_complex \"showwavespic=s=400x200:colors=7fffbe|ff80c0,drawbox="))
        << runs[0];
    EXPECT_EQ(runs[0], pictureText());
}

// ffmpeg empties its output before it fails in the stacking; the main
// waveform, copied aside for that run, is put back.
TEST_F(MakeWaveform, AFailedStackKeepsTheMainWaveform)
{
    failOn(L"vstack", true);
    std::vector<std::string> runs = make(3);
    ASSERT_EQ(5u, runs.size());
    EXPECT_EQ(runs[3], pictureText());
}

// The fade-in pane stands in the picture file until the main waveform
// replaces it; a main run that writes nothing must leave the file empty
// rather than let that pane pass for the thumbnail, and nothing is stacked.
TEST_F(MakeWaveform, AFailedMainRunLeavesThePictureEmpty)
{
    failOn(L"-t 900 ", false);
    EXPECT_EQ(4u, make(3).size());
    EXPECT_EQ(0, getFileSize64(picture.c_str()));
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(MakeWaveform, CommandsThatDoNotFitAreNotRun)
{
    std::wstring colour(kSettingsChars - 1, L'f');
    wcscpy(szAudioColorLeft, colour.c_str());
    wcscpy(szAudioColorRight, colour.c_str());
    EXPECT_TRUE(make(3).empty());
    expectOneBox(L"fadein failed");
    EXPECT_EQ(0, getFileSize64(picture.c_str()));
}

} // namespace
