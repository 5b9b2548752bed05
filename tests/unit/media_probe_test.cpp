// ffprobe's answer: how its lines are read and what kind of thumbnail they
// make.
#include <gtest/gtest.h>

#include <string>

#include "generators/media_probe.h"

namespace {

// Feeds the text as the probe file would deliver it; returns the number of
// characters taken before the reader stopped.
size_t Feed(ProbeLines* probe, const std::wstring& text)
{
    ClearProbeLines(probe);
    for (size_t i = 0; i < text.size(); ++i)
        if (!AddProbeChar(probe, text[i])) return i + 1;
    return text.size();
}

TEST(ProbeLines, KeepsLineEndsAndStopsAfterFiveLines)
{
    ProbeLines probe;
    EXPECT_EQ(14u, Feed(&probe, L"1920\n1080\n60.5"));
    ASSERT_EQ(3, probe.count);
    EXPECT_STREQ(L"1920\n", probe.line[0]);
    EXPECT_STREQ(L"60.5", probe.line[2]); // the last line may lack its end

    std::wstring seven = L"1\n2\n3\n4\n5\n6\n7\n";
    EXPECT_EQ(10u, Feed(&probe, seven));
    EXPECT_EQ(5, probe.count);
    EXPECT_STREQ(L"5\n", probe.line[4]);

    Feed(&probe, L"");
    EXPECT_EQ(0, probe.count);
    Feed(&probe, L"\n\n");
    EXPECT_EQ(2, probe.count); // an empty line still has its line end

    // Transfer lines are held apart, and bounded as well.
    std::wstring transfers;
    for (int i = 0; i < 10; ++i) transfers += L"bt709\n";
    EXPECT_EQ(kProbeLineCount * 6u + 1, Feed(&probe, transfers));
    EXPECT_EQ(0, probe.count);
}

TEST(ProbeLines, CutsALongLineAndDropsItsRest)
{
    ProbeLines probe;
    Feed(&probe, std::wstring(600, L'7') + L"\n42\n");
    ASSERT_EQ(2, probe.count);
    EXPECT_EQ(std::wstring(511, L'7'), std::wstring(probe.line[0]));
    EXPECT_STREQ(L"42\n", probe.line[1]);
}

struct ResolveCase {
    std::wstring output;
    bool still;
    int mode;
    bool ok;
    ThumbKind kind;
    bool cover;
    const wchar_t* line1; // after resolving
    const wchar_t* line3;
    const wchar_t* transfer = L"";
};

TEST(ProbeLines, LineCountAndSizesDecideTheKind)
{
    const ResolveCase cases[] = {
        {L"1920\n1080\n60.5\n", false, 0, true, kThumbFrame, false, L"1920\n", L"60.5\n"},
        {L"1920\n1080\n60.5\n", false, 2, true, kThumbWaveform, true, L"60.5\n", L"60.5\n"},
        {L"1920\n1080\n60.5\n", true, 0, true, kThumbStill, false, L"1920\n", L"60.5\n"},
        {L"1920\n1080\n60.5\n", true, 2, true, kThumbStill, false, L"1920\n", L"60.5\n"},
        {L"245.3\n", false, 0, true, kThumbWaveform, false, L"245.3\n", L""}, // no video stream
        {L"2.0\n", true, 0, true, kThumbWaveform, false, L"2.0\n", L""}, // a GIF without picture stream
        // A stream without a size is no picture.
        {L"0\n0\n12\n", false, 0, true, kThumbWaveform, false, L"12\n", L"12\n"},
        {L"N/A\n480\n12\n", false, 2, true, kThumbWaveform, false, L"12\n", L"12\n"},
        {L"1920\n1080\n1920\n1080\n60.5\n", false, 0, true, kThumbFrame, false, L"1920\n", L"60.5\n"},
        {L"1920.5\n1080\n1920\n1080\n60.5\n", false, 0, false, kThumbFrame, false, nullptr, nullptr},
        {L"1920\n1080.2\n1920\n1080\n60.5\n", false, 0, false, kThumbFrame, false, nullptr, nullptr},
        {L"1920\n1080\n1920\n1080\n0\n", false, 0, false, kThumbFrame, false, nullptr, nullptr},
        {L"1920\n1080\n1920\n1080\nN/A\n", false, 0, false, kThumbFrame, false, nullptr, nullptr},
        {L"", false, 0, false, kThumbFrame, false, nullptr, nullptr},
        {L"1920\n1080\n", false, 0, false, kThumbFrame, false, nullptr, nullptr},
        {L"1\n2\n3\n4\n", false, 0, false, kThumbFrame, false, nullptr, nullptr},
        // The transfer stands between size and duration, once per listing
        // of the stream; line ends of any kind stay out of it.
        {L"1920\n1080\nsmpte2084\n60.5\n", false, 0, true, kThumbFrame, false, L"1920\n", L"60.5\n", L"smpte2084"},
        {L"320\r\n180\r\narib-std-b67\r\n320\r\n180\r\narib-std-b67\r\n4.01\r\n", false, 0, true, kThumbFrame,
         false, L"320\r\n", L"4.01\r\n", L"arib-std-b67"},
        {L"1920\n1080\nunknown\nN/A\n", false, 0, true, kThumbFrame, false, L"1920\n", L"N/A\n", L"unknown"},
        {L"1920\n1080\n" + std::wstring(40, L'x') + L"\n60\n", false, 0, true, kThumbFrame, false, L"1920\n", L"60\n",
         L"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"}, // cut, naming nothing known
    };
    for (const ResolveCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "probe \"" << c.output.c_str() << "\" mode " << c.mode);
        ProbeLines probe;
        Feed(&probe, c.output);
        ThumbKind kind;
        bool cover = true;
        ASSERT_EQ(c.ok, ResolveProbeLines(&probe, c.still, c.mode, &kind, &cover));
        if (!c.ok) continue;
        EXPECT_EQ(c.kind, kind);
        EXPECT_EQ(c.cover, cover);
        EXPECT_STREQ(c.line1, probe.line[0]);
        EXPECT_STREQ(c.line3, probe.line[2]);
        EXPECT_STREQ(c.transfer, probe.transfer);
    }
}

TEST(ProbeLines, AFrameNeedsAllThreeLines)
{
    ProbeLines probe;
    SetProbeLines(&probe, L"1920", L"1080", L"");
    ThumbKind kind;
    bool cover;
    EXPECT_FALSE(ResolveProbeLines(&probe, false, 0, &kind, &cover));
    // A still picture has no such need: it is never probed.
    SetProbeLines(&probe, L"", L"", L"0.0");
    EXPECT_TRUE(ResolveProbeLines(&probe, true, 0, &kind, &cover));
    EXPECT_EQ(kThumbStill, kind);
}

} // namespace
