// MakeMediaThumbnail as a whole, with the record_tool stand-in as both
// ffprobe (printing the lines a test gives it) and ffmpeg (writing no
// picture, so every run "fails"): which runs it makes, what it reports, and
// that its temporary files are gone afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "box_recorder.h"
#include "cache/stream_cache.h"
#include "generators/generators.h"
#include "plugin/file_info.h"
#include "plugin/state.h"
#include "request_harness.h"
#include "settings/settings.h"
#include "support/file_times.h"
#include "support/scratch.h"
#include "tools/runner_testing.h"

namespace {

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

void SetEnv(const wchar_t* name, const std::wstring& value)
{
    SetEnvironmentVariableW(name, value.empty() ? NULL : value.c_str());
}

struct MediaThumbnailFlow : ::testing::Test {
    ScratchDir dir{L"media"};
    std::wstring tool = ExeDirectory() + L"record_tool.exe";
    std::wstring temp = dir.path + L"tmp\\";
    std::wstring record = dir.path + L"record.txt";
    std::wstring output = dir.path + L"out.jpg";
    std::wstring source;
    std::wstring savedTmp = EnvWide(L"TMP");
    std::wstring savedTemp = EnvWide(L"TEMP");

    void SetUp() override
    {
        ASSERT_TRUE(FileExists(tool)) << "record_tool.exe not built";
        UseSettingsIn(dir.path, {{L"ffmpegPath (chars)", tool}, {L"ffprobePath (chars)", tool}});
        ASSERT_NE(0, IniFileOp());
        // Every temporary file of the call lands here, where a leftover shows.
        ASSERT_TRUE(CreateDirectoryW(temp.c_str(), NULL));
        SetEnv(L"TMP", temp);
        SetEnv(L"TEMP", temp);
        SetEnv(L"VSL_RECORD_FILE", record);
        useSource(L"clip.mp4");
        ASSERT_TRUE(WriteFileBytes(output, ""));
        gThumbWidth = 200;
        gThumbHeight = 100;
        gUseADS = false;
        gADSFailed = false;
        gPositionActive = false;
    }
    void TearDown() override
    {
        SetEnv(L"TMP", savedTmp);
        SetEnv(L"TEMP", savedTemp);
        SetEnv(L"VSL_RECORD_FILE", L"");
        SetEnv(L"VSL_RECORD_STDOUT", L"");
        SetEnv(L"VSL_RECORD_HANG_ON", L"");
        SetEnv(L"VSL_RECORD_PICTURE_UNLESS", L"");
        SetToolTimeLimitForTests(0);
        ForgetTestSettings();
    }
    void useSource(const std::wstring& name)
    {
        source = dir.path + name;
        ASSERT_TRUE(WriteFileBytes(source, "not really a video"));
        size_t dot = name.rfind(L'.');
        wcscpy(gFileExtension, name.substr(dot + 1).c_str());
    }
    // One call, with ffprobe printing `probe` ("" prints nothing at all).
    int make(const std::wstring& probe, int mode = 0)
    {
        DeleteFileW(record.c_str());
        SetEnv(L"VSL_RECORD_STDOUT", probe);
        wchar_t out[kThumbOutChars];
        wcscpy(out, output.c_str());
        return MakeMediaThumbnail(source.c_str(), out, mode);
    }
    std::vector<std::string> runs() const
    {
        std::vector<std::string> lines;
        std::string bytes;
        if (!ReadFileBytes(record, &bytes)) return lines;
        size_t start = 0;
        for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(bytes.substr(start, end - start));
        return lines;
    }
    void expectNoTemporaryFiles() const
    {
        std::set<std::wstring> left = FolderEntries(temp);
        EXPECT_TRUE(left.empty()) << "left in the temporary folder: " << Utf8(left.empty() ? L"" : *left.begin());
    }
};

// Stereo photos are never probed, so they need no ffprobe.
TEST_F(MediaThumbnailFlow, AStereoPhotoNeedsNoProbe)
{
    useSource(L"photo.jps");
    wcscpy(szFfprobePath, (dir.path + L"bin\\ffmpeg\\ffprobe.exe").c_str());
    EXPECT_EQ(0, make(L"640\n480\n10"));
    EXPECT_TRUE(RecordedBoxes().empty());
    ASSERT_EQ(1u, runs().size()); // the picture itself, no fallback
    EXPECT_TRUE(Contains(runs()[0], "-loglevel panic -i \"" + Utf8(source) + "\" -map 0:v:0 -vf \"scale=iw*min(1\\,sar):ih/max(1\\,sar),setsar=1,crop=iw/2:ih:0:0,")) << runs()[0];
    expectNoTemporaryFiles();
}

TEST_F(MediaThumbnailFlow, AFrameIsProbedThenTakenAndRetakenFromTheStart)
{
    for (const wchar_t* name : {L"clip.mp4", L"clip & more.mp4", L"clip 100%.mp4"}) {
        SCOPED_TRACE(Utf8(name));
        useSource(name);
        EXPECT_EQ(0, make(L"1920\n1080\n100.000000"));
        std::vector<std::string> lines = runs();
        ASSERT_EQ(3u, lines.size());
        EXPECT_TRUE(Contains(lines[0], "-loglevel panic -select_streams v:0 -show_entries "
                                       "format=duration:stream=width,height,color_transfer -of default=noprint_wrappers=1:nokey=1 \"" +
                                           Utf8(source) + "\""))
            << lines[0];
        EXPECT_TRUE(Contains(lines[1], "-t 10 -noaccurate_seek -loglevel panic -ss 17.4000 -i \"" + Utf8(source) +
                                           "\" -map 0:v:0 -vf \"scale=iw*min(1\\,sar)"))
            << lines[1];
        // The text reaches ffmpeg intact, no-break spaces included.
        EXPECT_TRUE(Contains(lines[1], Utf8(L":text='1080p\u00A0\u00A0':")));
        EXPECT_TRUE(Contains(lines[1], "-y \"" + Utf8(output) + "\"")) << lines[1];
        EXPECT_TRUE(Contains(lines[2], "-ss 0 -i \"" + Utf8(source) + "\"")) << lines[2];
        expectNoTemporaryFiles();
    }
}

TEST_F(MediaThumbnailFlow, AWaveformReadsItsPictureWhichIsThenDeleted)
{
    for (int mode : {0, 2}) {
        SCOPED_TRACE(mode);
        // Mode 0 without a picture stream; mode 2 passing over a cover.
        EXPECT_EQ(0, make(mode == 0 ? L"245.3" : L"600\n600\n245.3", mode));
        std::vector<std::string> lines = runs();
        ASSERT_GE(lines.size(), 3u); // probe, the waveform's own run(s), ours
        const std::string& last = lines.back();
        std::string input = "-loglevel panic -i \"" + Utf8(temp) + "vsl";
        EXPECT_TRUE(Contains(last, input)) << last;
        EXPECT_FALSE(Contains(last, "-ss ")) << last;
        EXPECT_EQ(mode == 2, Contains(last, "+cover")) << last;
        EXPECT_TRUE(Contains(last, ":text='04'\\:'05':")) << last;
        expectNoTemporaryFiles();
    }
}

// Whatever stood at the output before must not pass for this run's
// picture (a thumbnail stream from an earlier run, for instance).
TEST_F(MediaThumbnailFlow, SuccessIsJudgedByWhatThisCallWrote)
{
    ASSERT_TRUE(WriteFileBytes(output, "\xFF\xD8 an earlier thumbnail"));
    EXPECT_EQ(0, make(L"1920\n1080\n100"));
    EXPECT_EQ(0, getFileSize64(output.c_str()));
}

TEST_F(MediaThumbnailFlow, TextSettingsStayClamped)
{
    gFontSize = 3;
    gFontSizeLine3 = -7;
    gTextLine1XPos = 121;
    gTextLine2XPos = 150;
    gTextLine3XPos = 150;
    make(L"1920\n1080\n100");
    EXPECT_EQ(5, gFontSize);
    EXPECT_EQ(5, gFontSizeLine3);
    EXPECT_EQ(120, gTextLine1XPos);
    EXPECT_EQ(120, gTextLine2XPos);
    EXPECT_EQ(150, gTextLine3XPos);
}

TEST_F(MediaThumbnailFlow, WithTheStreamCacheTheRecordAndPositionAreWrittenAndTimesPutBack)
{
    std::wstring cacheIni = dir.path + L"cache.ini";
    const FILETIME old = MakeFileTime(2024, 3, 7, 18, 5, 9);
    ASSERT_TRUE(SetTimes(source, {old, old, old}));
    gUseADS = true;
    wcscpy(gStreamName, L":preview.jpg");
    wcscpy(gCacheSignature, L"12c");
    wcscpy(gFileThumbsCachedADS, cacheIni.c_str());
    gPositionActive = true;
    gCurrentPosition = 29.9;

    EXPECT_EQ(0, make(L"1920\n1080\n100")); // ffmpeg wrote nothing
    ASSERT_EQ(3u, runs().size());
    EXPECT_TRUE(Contains(runs()[1], "-ss 29.9000 -i")) << runs()[1];
    EXPECT_EQ(L"2024.03.07 18:05:09|12c|200x100", ReadProfile(cacheIni, L":preview.jpg"));
    EXPECT_EQ(L"29.90000", ReadProfile(cacheIni, L"rot"));
    FileTimes now;
    ASSERT_TRUE(GetTimes(source, &now));
    EXPECT_TRUE(SameTime(old, now.write));

    // Back at the configured position, "rot" goes; a waveform never writes it.
    gCurrentPosition = gPercentPosition;
    make(L"1920\n1080\n100");
    EXPECT_EQ(L"", ReadProfile(cacheIni, L"rot"));
    gCurrentPosition = 50;
    make(L"245.3");
    EXPECT_EQ(L"", ReadProfile(cacheIni, L"rot"));
    EXPECT_TRUE(RecordedBoxes().empty());
    gUseADS = false;
    gPositionActive = false;
}

// HDR frames are tone-mapped. An ffmpeg without the filters costs one run
// more, once, then gets today's command; another ffmpeg put in its place
// is tried again.
TEST_F(MediaThumbnailFlow, HdrIsToneMappedAndAnFfmpegWithoutTheFiltersIsRemembered)
{
    const std::wstring ffmpeg = dir.path + L"ffmpeg.exe"; // a file whose time the test may move
    ASSERT_TRUE(CopyFileW(tool.c_str(), ffmpeg.c_str(), FALSE));
    wcscpy(szFfmpegPath, ffmpeg.c_str());
    struct Case {
        const wchar_t* transfer;
        const wchar_t* pictureUnless; // null: no run gives a picture
        bool newFfmpeg;
        std::vector<std::string> runs; // T: tone-mapped, 0: from the start
    } const cases[] = {
        {L"bt709", nullptr, false, {"", "0"}},
        {L"smpte2084", L"no such text", false, {"T"}},
        {L"smpte2084", nullptr, false, {"T", "", "T0", "0"}},
        {L"arib-std-b67", L"zscale", false, {"T", ""}},
        {L"smpte2084", L"zscale", false, {""}},
        {L"smpte2084", L"zscale", true, {"T", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.transfer << " " << (c.pictureUnless ? c.pictureUnless : L"-"));
        FileTimes times;
        if (c.newFfmpeg) {
            ASSERT_TRUE(GetTimes(ffmpeg, &times) && MoveTimesAfter(ffmpeg, times.write, 2));
        }
        SetEnv(L"VSL_RECORD_PICTURE_UNLESS", c.pictureUnless ? c.pictureUnless : L"");
        EXPECT_EQ(c.pictureUnless ? 1 : 0, make(std::wstring(L"1920\n1080\n") + c.transfer + L"\n100"));
        std::vector<std::string> lines = runs(), seen;
        for (size_t i = 1; i < lines.size(); ++i)
            seen.push_back(std::string(Contains(lines[i], "zscale=tin=") ? "T" : "") + (Contains(lines[i], "-ss 0 ") ? "0" : ""));
        EXPECT_EQ(c.runs, seen);
    }
}

// A run that hangs is ended at the time limit and the call gives up there:
// the source would hold up the next run too.
TEST_F(MediaThumbnailFlow, AHangingRunEndsTheCall)
{
    SetToolTimeLimitForTests(1500);
    struct Case {
        const wchar_t* hangOn;
        const wchar_t* probe;
        size_t runs; // recorded; the hanging one records nothing
    } const cases[] = {
        {L"-show_entries", L"1920\n1080\n100", 0}, // no picture after a stuck probe
        {L"-ss 17.4000", L"1920\n1080\n100", 1}, // no fallback after a stuck picture
        {L"-loglevel panic -t ", L"245.3", 2}, // no waveform run after a stuck pane
    };
    for (const Case& c : cases) {
        SetEnv(L"VSL_RECORD_HANG_ON", c.hangOn);
        EXPECT_EQ(0, make(c.probe)) << Utf8(c.hangOn);
        EXPECT_EQ(c.runs, runs().size()) << Utf8(c.hangOn);
        expectNoTemporaryFiles();
    }
}

} // namespace
