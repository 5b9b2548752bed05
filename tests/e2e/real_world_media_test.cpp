// Files as people keep them, through the real plug-in and the real tools:
// anamorphic video, raw streams and recordings without a duration, a file
// with two video streams, and an hour of audio with and without a duration
// (scripts/make-media describes each). The test program's guard checks that
// no temporary file is left.
#include <windows.h>

#include <gtest/gtest.h>

#include <math.h>

#include <string>
#include <vector>

#include "support/media.h"
#include "support/plugin.h"

namespace {

const int kCell = 160; // square, so that 16:9, 5:4 and 4:3 pictures differ in height

bool Bright(const MeanRgb& c)
{
    return c.r > 40 || c.g > 40 || c.b > 40;
}

// Width over height of the picture between the black bars, measured along
// the middle row and the middle column, clear of the text lines in the
// corners.
double PictureAspect(const BitmapPixels& pixels)
{
    int columns = 0, rows = 0;
    for (int x = 0; x < pixels.width; ++x)
        columns += Bright(MeanColour(pixels, x, pixels.height * 45 / 100, 1, pixels.height / 10));
    for (int y = 0; y < pixels.height; ++y)
        rows += Bright(MeanColour(pixels, pixels.width * 45 / 100, y, pixels.width / 10, 1));
    return rows ? (double)columns / rows : 0;
}

bool AnyContains(const std::vector<std::wstring>& runs, const std::wstring& part)
{
    for (const std::wstring& run : runs)
        if (run.find(part) != std::wstring::npos) return true;
    return false;
}

struct RealWorldMedia : ::testing::Test {
    LoadedPlugin plugin;
    void TearDown() override { UnloadPluginWithTools(&plugin); }
};

TEST_F(RealWorldMedia, PictureStreamDurationAndTime)
{
    const double kWide = 16.0 / 9;
    struct Case {
        const wchar_t* name;
        double aspect; // of the picture; 0 for a waveform, which fills the cell
        unsigned centre; // colour in the middle, 0: not looked at
        bool duration; // seek, time text and fade panes only with one
        int ffmpegRuns;
    } const cases[] = {
        {L"anamorphic.mpg", kWide, 0xffffff, true, 1}, // stored 720x576, which is 5:4
        {L"clip.mp4", kWide, 0, true, 1},
        {L"clip.h264", kWide, 0, false, 1},
        {L"clip.hevc", kWide, 0, false, 1},
        {L"live.webm", kWide, 0, false, 1},
        {L"two_streams.mkv", kWide, 0xff2020, true, 1}, // the first stream, as probed
        {L"hour.flac", 0, 0, true, 6},
        {L"hour_live.flac", 0, 0, false, 2},
    };
    ToolLog tools;
    SettingsValues settings = tools.settings();
    settings.push_back({L"UserRefreshTimeout (double)", L"-1"});
    ASSERT_TRUE(LoadPluginWithTools(&plugin, settings));

    ULONGLONG hourMs = ~0ull, hourLiveMs = ~0ull;
    // The hour is asked for twice, and its best time counts: a stall of the
    // shared machine is not the plug-in's.
    for (int round = 0; round < 2; ++round) {
        for (const Case& c : cases) {
            bool hour = wcsncmp(c.name, L"hour", 4) == 0;
            if (round == 1 && !hour) continue;
            SCOPED_TRACE(Utf8(c.name));
            tools.clear();
            BitmapPixels pixels;
            ULONGLONG start = GetTickCount64();
            ASSERT_TRUE(RequestPixels(plugin, MediaPath(c.name), kCell, kCell, &pixels));
            ULONGLONG ms = GetTickCount64() - start;
            if (hour) {
                ULONGLONG& best = c.duration ? hourMs : hourLiveMs;
                if (ms < best) best = ms;
            }
            if (c.aspect > 0) {
                EXPECT_NEAR(c.aspect, PictureAspect(pixels), 0.08);
            }
            if (c.centre) {
                EXPECT_LT(ColourDistance(MeanColourAt(pixels, 0.45, 0.45, 0.1, 0.1), c.centre), 60);
            }
            std::vector<std::wstring> runs = tools.argumentsOf(L"ffmpeg.exe");
            ASSERT_EQ((size_t)c.ffmpegRuns, runs.size());
            EXPECT_EQ(c.duration, AnyContains(runs, L" -ss "));
            // The drawtext filter's escaped colon stands only in a time.
            EXPECT_EQ(c.duration, AnyContains({runs.back()}, L"'\\:'")) << Utf8(runs.back());
        }
    }
    // Without a duration there are no fade panes: four runs fewer, where
    // reading the whole hour for them took many times longer.
    EXPECT_LT(hourLiveMs, hourMs);
}

} // namespace
