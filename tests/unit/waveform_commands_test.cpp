// The waveform's sizes, fade lengths and ffmpeg argument texts, checked to
// the character.
#include <gtest/gtest.h>

#include <limits.h>

#include <string>

#include "generators/waveform_commands.h"

namespace {

const wchar_t kSource[] = L"C:\\music\\a b.wav";
const wchar_t kPane[] = L"C:\\T\\vslA.tmp";
const wchar_t kSpare[] = L"C:\\T\\vslB.tmp";
const wchar_t kMerged[] = L"C:\\T\\vslC.tmp";
const wchar_t kPost[] = L"-frames:v 1 -f mjpeg -qscale:v 1 -y";
const std::wstring kBands = L",drawbox=x=in_w-(in_w/8):y=0:w=(in_w/8)+1:h=in_h:color=white@0.5:t=fill"
                            L",drawbox=x=in_w-(in_w/24):y=0:w=(in_w/24)+1:h=in_h:color=white@0.5:t=fill\"";

TEST(WaveformFadeLength, IdealLoweredTo120ThenQuarterOfShortTracks)
{
    struct Case {
        double ideal, duration, expected;
    } const cases[] = {
        {2.00, 3, 0.75},    {200, 1000, 120}, {2.00, 100, 2},  {2.00, 4, 2},
        {2.00, 3.99, 0.9975}, {120, 240, 120}, {120, 239, 59.75}, {2.00, 0, 0},
        // No panes: without a duration, or where "-t" would read 0.00000,
        // which ffmpeg takes as no limit.
        {2.00, -1, 0}, {0, 60, 0}, {-2, 60, 0}, {2.00, 0.00003, 0}, {2.00, 0.00004, 0.00001},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(c.expected, WaveformFadeLength(c.ideal, c.duration)) << c.ideal << " / " << c.duration;
}

TEST(WaveformLayout, SizesScaleAndSeparator)
{
    struct Case {
        int width, height;
        bool smoothen;
        int thickness;
        int scale, separator;
        double fadeIn, fadeOut, pane, main, mainWithPanes, mainAlone;
    } const cases[] = {
        {200, 100, false, 1, 1, 1, 100, 100, 25, 200, 75, 100},
        {200, 100, true, 1, 2, 2, 200, 200, 50, 400, 150, 200},
        {200, 100, false, 0, 1, 1, 100, 100, 25, 200, 75, 100},
        {200, 100, true, -7, 2, 2, 200, 200, 50, 400, 150, 200},
        {200, 100, true, 3, 2, 6, 200, 200, 50, 400, 150, 200},
        // An odd width: the panes still add up to the main waveform's.
        {201, 96, false, 1, 1, 1, 100, 101, 24, 201, 72, 96},
        {201, 96, true, 1, 2, 2, 201, 201, 48, 402, 144, 192},
        // A thickness whose doubling would overflow.
        {200, 100, true, INT_MAX, 2, INT_MAX / 2 * 2, 200, 200, 50, 400, 150, 200},
    };
    for (const Case& c : cases) {
        WaveformLayout layout;
        ComputeWaveformLayout(c.width, c.height, c.smoothen, c.thickness, &layout);
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " smoothen " << c.smoothen << " thickness "
                                        << c.thickness);
        EXPECT_EQ(c.scale, layout.scale);
        EXPECT_EQ(c.separator, layout.separator);
        EXPECT_DOUBLE_EQ(c.fadeIn, layout.fadeInWidth);
        EXPECT_DOUBLE_EQ(c.fadeOut, layout.fadeOutWidth);
        EXPECT_DOUBLE_EQ(c.pane, layout.paneHeight);
        EXPECT_DOUBLE_EQ(c.main, layout.mainWidth);
        EXPECT_DOUBLE_EQ(c.mainWithPanes, layout.mainHeightWithPanes);
        EXPECT_DOUBLE_EQ(c.mainAlone, layout.mainHeightAlone);
    }
}

TEST(WaveformCommands, FadePanesOfAThreeSecondTrack)
{
    wchar_t out[kWaveformCommandChars];
    double length = WaveformFadeLength(2.00, 3);
    ASSERT_TRUE(BuildFadeInCommand(out, length, kSource, 100, 25, L"7fffbe", L"ff80c0", kPane));
    EXPECT_STREQ(L"-loglevel panic -t 0.75000 -i \"C:\\music\\a b.wav\" -filter_complex "
                 L"\"showwavespic=s=100x25:colors=7fffbe|ff80c0\" -frames:v 1 -f mjpeg -qscale:v 1 -y "
                 L"\"C:\\T\\vslA.tmp\"",
                 out);
    ASSERT_TRUE(BuildFadeOutCommand(out, 3, length, kSource, 100, 25, L"7fffbe", L"ff80c0", kSpare));
    EXPECT_STREQ(L"-loglevel panic -ss 2.25000 -t 0.75000 -i \"C:\\music\\a b.wav\" -filter_complex "
                 L"\"showwavespic=s=100x25:colors=7fffbe|ff80c0\" -frames:v 1 -f mjpeg -qscale:v 1 -y "
                 L"\"C:\\T\\vslB.tmp\"",
                 out);
}

TEST(WaveformCommands, LongTrackFadeOutAndMainWithBands)
{
    wchar_t out[kWaveformCommandChars];
    double length = WaveformFadeLength(200, 1000);
    ASSERT_TRUE(BuildFadeOutCommand(out, 1000, length, kSource, 200, 50, L"L", L"R", kSpare));
    EXPECT_NE(std::wstring::npos, std::wstring(out).find(L" -ss 880.00000 -t 120.00000 -i "));
    ASSERT_TRUE(BuildMainWaveformCommand(out, 1000, 900, kSource, 400, 150, L"L", L"R", kPost, kPane));
    EXPECT_EQ(L"-t 900 -i \"C:\\music\\a b.wav\" -filter_complex \"showwavespic=s=400x150:colors=L|R" + kBands +
                  L" -frames:v 1 -f mjpeg -qscale:v 1 -y \"C:\\T\\vslA.tmp\"",
              std::wstring(out));
}

TEST(WaveformCommands, BandsOnlyWhenTheTrackOutlastsTheLimit)
{
    struct Case {
        double duration, limit;
        const wchar_t* timeOption;
        bool bands;
    } const cases[] = {
        {1000, 900, L"-t 900 ", true},  {900, 900, L"-t 900 ", false},   {899.9, 900, L"-t 900 ", false},
        // Compared unrounded, written without decimals.
        {900.3, 900.4, L"-t 900 ", false}, {900.5, 900.4, L"-t 900 ", true}, {3, 2.2, L"-t 2 ", true},
    };
    for (const Case& c : cases) {
        wchar_t out[kWaveformCommandChars];
        ASSERT_TRUE(BuildMainWaveformCommand(out, c.duration, c.limit, kSource, 200, 100, L"L", L"R", kPost, kPane));
        std::wstring head = std::wstring(c.timeOption) +
                            L"-i \"C:\\music\\a b.wav\" -filter_complex \"showwavespic=s=200x100:colors=L|R";
        std::wstring ending = c.bands ? kBands : L"\"";
        EXPECT_EQ(head + ending + L" -frames:v 1 -f mjpeg -qscale:v 1 -y \"C:\\T\\vslA.tmp\"", std::wstring(out))
            << c.duration << " / " << c.limit;
    }
}

TEST(WaveformCommands, MergeAndStackBars)
{
    struct Case {
        int separator;
        const wchar_t* merge;
        const wchar_t* stack;
    } const cases[] = {
        {1, L"hstack=inputs=2,drawbox=x=(in_w/2)-0:y=0:w=1:h=in_h:color=222222@1:t=fill",
         L"vstack=inputs=2,drawbox=x=0:y=((in_h/4)*3)-0:w=in_w:h=1:color=222222@1:t=fill"},
        {2, L"hstack=inputs=2,drawbox=x=(in_w/2)-1:y=0:w=2:h=in_h:color=222222@1:t=fill",
         L"vstack=inputs=2,drawbox=x=0:y=((in_h/4)*3)-1:w=in_w:h=2:color=222222@1:t=fill"},
        {7, L"hstack=inputs=2,drawbox=x=(in_w/2)-3:y=0:w=7:h=in_h:color=222222@1:t=fill",
         L"vstack=inputs=2,drawbox=x=0:y=((in_h/4)*3)-3:w=in_w:h=7:color=222222@1:t=fill"},
    };
    for (const Case& c : cases) {
        wchar_t out[kWaveformCommandChars];
        ASSERT_TRUE(BuildFadeMergeCommand(out, kPane, kSpare, c.separator, kMerged));
        EXPECT_EQ(L"-loglevel panic -i \"C:\\T\\vslA.tmp\" -i \"C:\\T\\vslB.tmp\" -filter_complex " +
                      std::wstring(c.merge) + L" -f mjpeg -qscale:v 1 -y \"C:\\T\\vslC.tmp\"",
                  std::wstring(out));
        ASSERT_TRUE(BuildWaveformStackCommand(out, kSpare, kMerged, c.separator, kPane));
        EXPECT_EQ(L"-loglevel panic -i \"C:\\T\\vslB.tmp\" -i \"C:\\T\\vslC.tmp\" -filter_complex " +
                      std::wstring(c.stack) + L" -f mjpeg -qscale:v 1 -y \"C:\\T\\vslA.tmp\"",
                  std::wstring(out));
    }
}

// Every builder refuses a text of 4096 characters or more and leaves "";
// 4095 still fits.
TEST(WaveformCommands, RefusesTextsThatDoNotFit)
{
    wchar_t out[kWaveformCommandChars];
    // Sized so that the fade-in text is exactly 4095 characters long.
    ASSERT_TRUE(BuildFadeInCommand(out, 1, kSource, 100, 25, L"", L"", L""));
    size_t bare = wcslen(out);
    std::wstring fits(4095 - bare, L'a');
    ASSERT_TRUE(BuildFadeInCommand(out, 1, kSource, 100, 25, fits.c_str(), L"", L""));
    EXPECT_EQ(4095u, wcslen(out));
    std::wstring tooLong = fits + L"a";
    EXPECT_FALSE(BuildFadeInCommand(out, 1, kSource, 100, 25, tooLong.c_str(), L"", L""));
    EXPECT_STREQ(L"", out);

    // Colour settings as long as their buffers allow.
    std::wstring colour(4095, L'f');
    const wchar_t* c = colour.c_str();
    struct Case {
        const char* name;
        bool built;
    } const cases[] = {
        {"fade-in", BuildFadeInCommand(out, 1, kSource, 100, 25, c, c, kPane) || out[0]},
        {"fade-out", BuildFadeOutCommand(out, 3, 1, kSource, 100, 25, c, c, kSpare) || out[0]},
        {"main", BuildMainWaveformCommand(out, 3, 900, kSource, 200, 75, c, c, kPost, kPane) || out[0]},
        {"merge", BuildFadeMergeCommand(out, colour.c_str(), kSpare, 1, kMerged) || out[0]},
        {"stack", BuildWaveformStackCommand(out, kSpare, colour.c_str(), 1, kPane) || out[0]},
    };
    for (const Case& k : cases) EXPECT_FALSE(k.built) << k.name;
}

} // namespace
