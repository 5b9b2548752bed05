// Video thumbnails for real: a private copy of the plug-in runs the real
// ffprobe and ffmpeg on the generated sample media (scripts/make-media
// lists them), and the tests look at the bitmaps a user would see.
#include <windows.h>

#include <gtest/gtest.h>

#include <math.h>

#include <string>
#include <vector>

#include "support/box_watcher.h"
#include "support/media.h"
#include "support/plugin.h"
#include "support/scratch.h"

namespace {

const unsigned kRed = 0xff2020, kBlue = 0x2020ff, kGreen = 0x20ff20, kMagenta = 0xff20ff, kTeal = 0x008080;
const unsigned kWhite = 0xffffff, kPureRed = 0xff0000;
// SDR white and red carried into HDR, tone-mapped back: white a little
// darker but neutral, red saturated. Shown as decoded they come out as a
// mid grey beside a brownish red.
const unsigned kToneMappedWhite = 0xd6d6d6, kToneMappedRed = 0xc40008;

// Mean absolute difference of two same-sized bitmaps over a rectangle
// given in fractions of their size.
double RegionDifference(const BitmapPixels& a, const BitmapPixels& b, double x, double y, double w, double h)
{
    if (a.width != b.width || a.height != b.height) return -1;
    int x0 = (int)(x * a.width), y0 = (int)(y * a.height);
    int x1 = (int)((x + w) * a.width), y1 = (int)((y + h) * a.height);
    double sum = 0;
    long count = 0;
    for (int row = y0; row < y1; ++row) {
        for (int col = x0; col < x1; ++col) {
            size_t at = ((size_t)row * a.width + col) * 3;
            for (int c = 0; c < 3; ++c) sum += fabs((double)a.bgr[at + c] - b.bgr[at + c]);
            ++count;
        }
    }
    return count ? sum / (count * 3) : 0;
}

struct VideoThumbnails : ::testing::Test {
    LoadedPlugin plugin;
    // The plug-in runs in this process: its temporary files land here,
    // where a leftover shows whatever other programs do meanwhile.
    ScratchDir temp{L"video-temp"};
    std::wstring savedTmp = EnvWide(L"TMP");
    std::wstring savedTemp = EnvWide(L"TEMP");

    void SetUp() override
    {
        SetEnvironmentVariableW(L"TMP", temp.path.c_str());
        SetEnvironmentVariableW(L"TEMP", temp.path.c_str());
    }
    void TearDown() override
    {
        UnloadPluginWithTools(&plugin);
        SetEnvironmentVariableW(L"TMP", savedTmp.empty() ? NULL : savedTmp.c_str());
        SetEnvironmentVariableW(L"TEMP", savedTemp.empty() ? NULL : savedTemp.c_str());
    }
    // Repeated requests for one file must not step the frame position.
    bool load(SettingsValues values = {})
    {
        UnloadPluginWithTools(&plugin);
        values.insert(values.begin(), {L"UserRefreshTimeout (double)", L"-1"});
        return LoadPluginWithTools(&plugin, values);
    }
    void expectNoTemporaryFiles()
    {
        for (const std::wstring& name : FolderEntries(temp.path))
            ADD_FAILURE() << "temporary file left: " << Utf8(name);
    }
};

TEST_F(VideoThumbnails, EveryKindOfFileGivesAFilledPictureOfTheCellSize)
{
    ASSERT_TRUE(load());
    struct Case {
        const wchar_t* name;
        bool portrait; // pillarboxed rather than letterboxed
    } const cases[] = {
        {L"clip.mp4", false}, {L"clip.mkv", false}, {L"clip.webm", false}, {L"clip.avi", false},
        {L"clip.mov", false}, {L"clip.flv", false}, {L"clip.ts", false}, {L"portrait.mp4", true},
        {L"anim.gif", false}, {L"still.gif", false}, {L"50% & more!.mp4", false},
        {L"ünïcødé 日本.mp4", false},
        {L"novideo.mkv", false}, // no video stream: the waveform of its sound
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.name));
        BitmapPixels pixels;
        ASSERT_TRUE(RequestPixels(plugin, MediaPath(c.name), 160, 120, &pixels));
        EXPECT_EQ(160, pixels.width);
        EXPECT_EQ(120, pixels.height);
        EXPECT_GT(PixelVariance(pixels), 100.0);
        // Only a portrait picture leaves black bars at the sides.
        MeanRgb side = MeanColourAt(pixels, 0.0, 0.35, 0.15, 0.3);
        EXPECT_EQ(c.portrait, ColourDistance(side, 0x000000) < 20) << side.r << "," << side.g << "," << side.b;
        expectNoTemporaryFiles();
    }
}

TEST_F(VideoThumbnails, CropsAndTransfersShowTheRightColours)
{
    // Two probes in a 320x180 cell, each a tenth of the cell: side by side
    // across the middle, or one above the other.
    ScratchDir copies{L"video-copies"};
    struct Case {
        const wchar_t* name;
        bool stacked;
        unsigned first, second;
        const wchar_t* copyOf = nullptr; // the sample, renamed
    } const cases[] = {
        {L"clip_SBS.mp4", false, kRed, kRed},
        {L"clip_LR.mkv", false, kRed, kRed},
        {L"clip_TB.mp4", true, kGreen, kGreen},
        {L"clip_OverUnder.mkv", true, kGreen, kGreen},
        {L"clip_SBS_180.mp4", false, kRed, kRed},
        {L"clip_LR_360.mkv", false, kRed, kRed},
        {L"clip_TB_180.mp4", true, kGreen, kGreen},
        {L"clip_OverUnder_360.mkv", true, kGreen, kGreen},
        {L"photo.jps", false, kRed, kRed},
        // Not a sequence shot0.jps, shot1.jps... to ffmpeg.
        {L"shot%d.jps", false, kRed, kRed, L"photo.jps"},
        // No layout: both views stay.
        {L"clip_MONO.mp4", false, kRed, kBlue},
        {L"clip_sbs.mp4", false, kRed, kBlue},
        {L"photo_180.jps", false, kRed, kBlue},
        // An audio file's cover is its picture.
        {L"song.m4a", false, kTeal, kTeal},
        // HDR video, white beside red; its SDR twin as ever.
        {L"hdr_pq.mp4", false, kToneMappedWhite, kToneMappedRed},
        {L"hdr_hlg.mov", false, kToneMappedWhite, kToneMappedRed},
        {L"sdr_twin.mp4", false, kWhite, kPureRed},
    };
    ASSERT_TRUE(load({{L"OverlayInfo (bool)", L"0"}}));
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.name));
        std::wstring path = c.copyOf ? copies.path + c.name : MediaPath(c.name);
        if (c.copyOf) {
            ASSERT_TRUE(CopyFileW(MediaPath(c.copyOf).c_str(), path.c_str(), FALSE));
        }
        BitmapPixels pixels;
        ASSERT_TRUE(RequestPixels(plugin, path, 320, 180, &pixels));
        MeanRgb first = c.stacked ? MeanColourAt(pixels, 0.45, 0.25, 0.1, 0.1) : MeanColourAt(pixels, 0.3, 0.45, 0.1, 0.1);
        MeanRgb second = c.stacked ? MeanColourAt(pixels, 0.45, 0.65, 0.1, 0.1) : MeanColourAt(pixels, 0.6, 0.45, 0.1, 0.1);
        EXPECT_LT(ColourDistance(first, c.first), 70) << first.r << "," << first.g << "," << first.b;
        EXPECT_LT(ColourDistance(second, c.second), 70) << second.r << "," << second.g << "," << second.b;
    }

    // Without 3D support the marker means nothing.
    ASSERT_TRUE(load({{L"OverlayInfo (bool)", L"0"}, {L"3DSupport (bool)", L"0"}}));
    BitmapPixels pixels;
    ASSERT_TRUE(RequestPixels(plugin, MediaPath(L"clip_SBS.mp4"), 320, 180, &pixels));
    EXPECT_LT(ColourDistance(MeanColourAt(pixels, 0.6, 0.45, 0.1, 0.1), kBlue), 70);
}

TEST_F(VideoThumbnails, OverlayLinesAppearWhereTheyBelong)
{
    // A VR top-bottom clip of 2160 lines: duration top left, "VR 360" top
    // right, "1080p" bottom right; the picture itself is a narrow column in
    // the middle of the cell.
    BitmapPixels plain, labelled;
    ASSERT_TRUE(load({{L"OverlayInfo (bool)", L"0"}}));
    ASSERT_TRUE(RequestPixels(plugin, MediaPath(L"clip_OverUnder_360.mkv"), 320, 180, &plain));
    ASSERT_TRUE(load({{L"OverlayInfo (bool)", L"1"}}));
    ASSERT_TRUE(RequestPixels(plugin, MediaPath(L"clip_OverUnder_360.mkv"), 320, 180, &labelled));

    EXPECT_GT(RegionDifference(plain, labelled, 0.0, 0.0, 0.3, 0.25), 5) << "duration";
    EXPECT_GT(RegionDifference(plain, labelled, 0.7, 0.0, 0.3, 0.25), 5) << "layout label";
    EXPECT_GT(RegionDifference(plain, labelled, 0.7, 0.75, 0.3, 0.25), 5) << "height label";
    EXPECT_LT(RegionDifference(plain, labelled, 0.0, 0.6, 0.3, 0.4), 2) << "nothing bottom left";
}

// With accurate seeking (the default pre-input parameters turn it off, and
// then ffmpeg delivers the last key frame instead) a seek past the end
// leaves the main run empty.
TEST_F(VideoThumbnails, ASeekPastTheEndFallsBackToTheStart)
{
    ToolLog log;
    struct Case {
        const wchar_t* file;
        const wchar_t* position;
        int ffmpegRuns;
        const wchar_t* seek;
    } const cases[] = {
        {L"clip.mp4", L"17.4", 1, L" -ss 1.0440 -i "},
        {L"clip.mp4", L"190", 2, L" -ss 11.4000 -i "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.file + std::wstring(L" at ") + c.position));
        SettingsValues values = log.settings();
        values.push_back({L"PercentPosition (double)", c.position});
        values.push_back({L"ffmpegVideoPreInputParams (chars)", L"-t 10 -loglevel panic"});
        ASSERT_TRUE(load(values));
        log.clear();
        BitmapPixels pixels;
        ASSERT_TRUE(RequestPixels(plugin, MediaPath(c.file), 160, 90, &pixels));
        EXPECT_GT(PixelVariance(pixels), 100.0);
        EXPECT_EQ(1, log.count(L"ffprobe.exe"));
        std::vector<std::wstring> runs = log.argumentsOf(L"ffmpeg.exe");
        ASSERT_EQ((size_t)c.ffmpegRuns, runs.size());
        EXPECT_NE(std::wstring::npos, runs[0].find(c.seek)) << Utf8(runs[0]);
        if (c.ffmpegRuns == 2) {
            EXPECT_NE(std::wstring::npos, runs[1].find(L" -ss 0 -i ")) << Utf8(runs[1]);
        }
        expectNoTemporaryFiles();
    }
}

// Files as people keep them: anamorphic, without a duration, with two video
// streams, and an hour of audio with and without a duration. Black text
// leaves the picture's bounds measurable; the commands tell whether a time
// was drawn (only a time holds drawtext's escaped colon).
TEST_F(VideoThumbnails, AspectStreamAndDurationOfRealWorldFiles)
{
    struct Case {
        const wchar_t* name;
        unsigned centre; // 0: not looked at
        bool duration; // seek, time text and fade panes only with one
        int ffmpegRuns; // above 1: a waveform, timed
    } const cases[] = {
        {L"anamorphic.mpg", 0xffffff, true, 1}, // stored 720x576, which is 5:4
        {L"clip.h264", 0, false, 1},
        {L"clip.hevc", 0, false, 1},
        {L"live.webm", 0, false, 1},
        {L"two_streams.mkv", kRed, true, 1}, // the first stream; the larger second one is 4:3
        {L"hour.flac", 0, true, 6},
        {L"hour_live.flac", 0, false, 2},
    };
    ToolLog log;
    SettingsValues values = log.settings();
    values.push_back({L"FontColor (chars)", L"000000"});
    ASSERT_TRUE(load(values));
    ULONGLONG best[2] = {~0ull, ~0ull}; // of the hour without and with a duration
    // The hour twice, its best time counting: a stall of the shared machine
    // is not the plug-in's.
    for (int round = 0; round < 2; ++round) {
        for (const Case& c : cases) {
            if (round == 1 && c.ffmpegRuns == 1) continue;
            SCOPED_TRACE(Utf8(c.name));
            log.clear();
            BitmapPixels pixels;
            ULONGLONG start = GetTickCount64();
            ASSERT_TRUE(RequestPixels(plugin, MediaPath(c.name), 160, 160, &pixels));
            ULONGLONG ms = GetTickCount64() - start;
            if (c.ffmpegRuns > 1 && ms < best[c.duration]) best[c.duration] = ms;
            RECT box = ContentRect(pixels);
            double aspect = (double)(box.right - box.left) / (box.bottom - box.top);
            EXPECT_TRUE(c.ffmpegRuns > 1 || fabs(aspect - 16.0 / 9) < 0.08) << aspect;
            MeanRgb centre = MeanColourAt(pixels, 0.45, 0.45, 0.1, 0.1);
            EXPECT_TRUE(!c.centre || ColourDistance(centre, c.centre) < 60) << centre.r << "," << centre.g << "," << centre.b;
            std::vector<std::wstring> runs = log.argumentsOf(L"ffmpeg.exe");
            ASSERT_EQ((size_t)c.ffmpegRuns, runs.size());
            std::wstring all;
            for (const std::wstring& run : runs) all += run;
            EXPECT_EQ(c.duration, all.find(L" -ss ") != std::wstring::npos);
            EXPECT_EQ(c.duration, runs.back().find(L"'\\:'") != std::wstring::npos);
            expectNoTemporaryFiles();
        }
    }
    // Without a duration there are no fade panes: four runs fewer, where
    // panes over the whole hour took many times longer.
    EXPECT_LT(best[0], best[1]);
}

TEST_F(VideoThumbnails, FailuresGiveNoBitmapAndLeaveNothingBehind)
{
    const std::wstring missing = temp.path + L"nowhere\\ffmpeg.exe";
    const std::wstring junkProbe = ExeDirectory() + L"record_tool.exe";
    struct Case {
        const char* what;
        const wchar_t* file;
        SettingsValues settings;
        const wchar_t* probeOutput; // what a stand-in ffprobe prints
        bool box;
    } const cases[] = {
        {"corrupt file", L"corrupt.mp4", {}, nullptr, false},
        {"empty file", L"empty.mp4", {}, nullptr, false},
        {"ffmpeg missing", L"clip.mp4", {{L"ffmpegPath (chars)", missing}}, nullptr, true},
        {"ffprobe missing", L"clip.mp4", {{L"ffprobePath (chars)", missing}}, nullptr, true},
        {"probe junk", L"clip.mp4", {{L"ffprobePath (chars)", junkProbe}}, L"junk\nmore junk", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(load(c.settings));
        if (c.probeOutput) SetEnvironmentVariableW(L"VSL_RECORD_STDOUT", c.probeOutput);
        std::vector<SeenBox> boxes;
        {
            BoxWatcher watcher;
            EXPECT_FALSE(RequestPixels(plugin, MediaPath(c.file), 160, 90));
            boxes = watcher.boxes();
        }
        SetEnvironmentVariableW(L"VSL_RECORD_STDOUT", NULL);
        if (c.box) {
            ASSERT_EQ(1u, boxes.size());
            EXPECT_NE(std::wstring::npos, boxes[0].text.find(missing));
            EXPECT_NE(std::wstring::npos, boxes[0].text.find(L"File not found at specified location from ini"));
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        expectNoTemporaryFiles();
    }
}

} // namespace
