// Audio thumbnails through the real plug-in and the real ffprobe/ffmpeg:
// the embedded cover or the waveform, the fade panes under a shortened
// waveform, and the white bands over a track longer than the drawn part.
//
// Measures, on a square cell: the waveform stands on black with its peaks
// around the middle of its part, so the strip along the top edge is black
// for a waveform and coloured for a cover; the fade panes fill the bottom
// quarter, which a full-height waveform leaves black. The test program's
// guard checks that no temporary file is left after each test.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/box_watcher.h"
#include "support/media.h"
#include "support/plugin.h"

namespace {

const int kCell = 200;

// Brightness (largest channel) averaged over a rectangle in fractions.
double Brightness(const BitmapPixels& pixels, double x, double y, double width, double height)
{
    MeanRgb mean = MeanColourAt(pixels, x, y, width, height);
    double bright = mean.r;
    if (mean.g > bright) bright = mean.g;
    if (mean.b > bright) bright = mean.b;
    return bright;
}

// Pixels of the overlay text colour (dddddd) in a rectangle in fractions.
int TextPixels(const BitmapPixels& pixels, double x, double y, double width, double height)
{
    int count = 0;
    int left = (int)(x * pixels.width), top = (int)(y * pixels.height);
    int right = (int)((x + width) * pixels.width), bottom = (int)((y + height) * pixels.height);
    for (int row = top; row < bottom && row < pixels.height; ++row) {
        for (int column = left; column < right && column < pixels.width; ++column) {
            const unsigned char* p = &pixels.bgr[((size_t)row * pixels.width + column) * 3];
            if (p[0] > 180 && p[1] > 180 && p[2] > 180) ++count;
        }
    }
    return count;
}

bool LooksLikeWaveform(const BitmapPixels& pixels)
{
    // Below the text lines' reach and above the waveform's peaks.
    return Brightness(pixels, 0.05, 0.0, 0.9, 0.05) < 25 && Brightness(pixels, 0.2, 0.25, 0.6, 0.35) > 15;
}

struct AudioThumbnails : ::testing::Test {
    LoadedPlugin plugin;
    BoxWatcher watcher;

    void TearDown() override
    {
        UnloadPluginWithTools(&plugin);
        std::vector<SeenBox> boxes = watcher.boxes();
        EXPECT_TRUE(boxes.empty()) << "a message box came up: " << testing::PrintToString(boxes[0].text);
    }

    void load(const SettingsValues& settings) { ASSERT_TRUE(LoadPluginWithTools(&plugin, settings)); }

    bool request(const std::wstring& sample, BitmapPixels* pixels, int width = kCell)
    {
        return RequestPixels(plugin, MediaPath(sample), width, kCell, pixels);
    }
};

TEST_F(AudioThumbnails, CoverOrWaveformByPriority)
{
    struct Case {
        const wchar_t* sample;
        bool coverFirst;
        bool waveform;
        unsigned coverColour; // 0: a picture with many colours
    } const cases[] = {
        {L"song.mp3", true, false, 0},         {L"song.flac", true, false, 0xff8000},
        {L"song.m4a", true, false, 0x008080},  {L"tone.wav", true, true, 0},
        {L"tone.ogg", true, true, 0},          {L"song.mp3", false, true, 0}, // waveform, "+cover"
    };
    for (bool coverFirst : {true, false}) {
        // The fade panes have a test of their own; here they would only cost runs.
        load({{L"AudioCoverHasPriority (bool)", coverFirst ? L"1" : L"0"}, {L"AudioShowFadeInOut (bool)", L"0"}});
        for (const Case& c : cases) {
            if (c.coverFirst != coverFirst) continue;
            SCOPED_TRACE(testing::PrintToString(std::wstring(c.sample)) +
                         (coverFirst ? " cover first" : " waveform first"));
            BitmapPixels pixels;
            ASSERT_TRUE(request(c.sample, &pixels));
            EXPECT_EQ(kCell, pixels.width);
            EXPECT_EQ(kCell, pixels.height);
            EXPECT_EQ(c.waveform, LooksLikeWaveform(pixels));
            if (c.coverColour) {
                EXPECT_LT(ColourDistance(MeanColourAt(pixels, 0.3, 0.3, 0.4, 0.4), c.coverColour), 40);
            }
            if (c.waveform) {
                // Text line 2 (top right) tells of the cover passed over.
                int marked = TextPixels(pixels, 0.5, 0.0, 0.5, 0.25);
                if (!coverFirst && c.sample == std::wstring(L"song.mp3")) {
                    EXPECT_GT(marked, 15);
                } else {
                    EXPECT_EQ(0, marked);
                }
            }
        }
        UnloadPluginWithTools(&plugin);
    }
}

// A 3-second clip shows 0.75 s in each fade pane: the panes fill the bottom
// quarter under a three-quarter-height waveform, at the cost of four more
// ffmpeg runs. Without them the bottom quarter stays black. The odd width
// cannot be halved into two equal panes, yet they must fit under the main
// waveform, which ffmpeg insists on to stack them.
TEST_F(AudioThumbnails, FadePanesUnderTheWaveform)
{
    const int width = kCell + 1;
    ToolLog tools;
    BitmapPixels panes, single;
    SettingsValues settings = tools.settings();
    load(settings);
    ASSERT_TRUE(request(L"fade_3s.wav", &panes, width));
    EXPECT_EQ(width, panes.width);
    EXPECT_EQ(1, tools.count(L"ffprobe.exe"));
    EXPECT_EQ(6, tools.count(L"ffmpeg.exe"));
    std::vector<std::wstring> runs = tools.argumentsOf(L"ffmpeg.exe");
    ASSERT_EQ(6u, runs.size());
    EXPECT_NE(std::wstring::npos, runs[0].find(L"-t 0.75000 -i")) << testing::PrintToString(runs[0]);
    EXPECT_NE(std::wstring::npos, runs[1].find(L"-ss 2.25000 -t 0.75000 -i")) << testing::PrintToString(runs[1]);
    UnloadPluginWithTools(&plugin);

    tools.clear();
    settings.push_back({L"AudioShowFadeInOut (bool)", L"0"});
    load(settings);
    ASSERT_TRUE(request(L"fade_3s.wav", &single, width));
    EXPECT_EQ(2, tools.count(L"ffmpeg.exe"));

    EXPECT_TRUE(LooksLikeWaveform(panes));
    EXPECT_TRUE(LooksLikeWaveform(single));
    // The panes' middle line lies at seven eighths of the height.
    double paneBand = Brightness(panes, 0.1, 0.84, 0.8, 0.07), singleBand = Brightness(single, 0.1, 0.84, 0.8, 0.07);
    EXPECT_GT(paneBand, 25);
    EXPECT_LT(singleBand, 5);
}

// A 4-second track drawn only up to 2 s: the right eighth gets the light
// bands, the rest of the strip above the waveform stays black.
TEST_F(AudioThumbnails, WhiteBandsPastTheTimeLimit)
{
    load({{L"AudioTimeMaxInSecs (double)", L"2"}});
    BitmapPixels pixels;
    ASSERT_TRUE(request(L"tone.wav", &pixels));
    double band = Brightness(pixels, 0.9, 0.02, 0.1, 0.2), open = Brightness(pixels, 0.5, 0.02, 0.3, 0.2);
    EXPECT_GT(band, 90) << band;
    EXPECT_LT(open, 25) << open;
}

} // namespace
