#include <gtest/gtest.h>

#include <string>

#include "box_recorder.h"
#include "common/format.h"
#include "common/messages.h"
#include "common/strpos.h"

namespace {

struct StrposCase {
    const wchar_t* haystack;
    const wchar_t* needle;
    bool caseSensitive;
    int start;
    int expected;
};

TEST(Strpos, FindsTheFirstMatchAtOrAfterTheStart)
{
    const StrposCase cases[] = {
        {L"\"C:\\tools\\ffmpeg.exe\"", L"\"", true, 1, 1},
        {L"C:\\tools\\ffmpeg.exe", L"\"", true, 1, 0},
        {L"MOVIE_SBS.MKV", L"_sbs", false, 1, 6},
        {L"MOVIE_SBS.MKV", L"_sbs", true, 1, 0},
        {L"abcabc", L"c", true, 4, 6},
        {L"abcabc", L"c", true, 7, 0},
        {L"abcabc", L"abc", true, 2, 4},
        {L"abcabc", L"abc", true, 5, 0}, // does not fit after the start
        {L"", L"a", true, 1, 0},
        {L"abc", L"", true, 1, 0},
        {L"ab", L"abc", true, 1, 0},
        {L"aaab", L"aab", true, 1, 2}, // restart after a partial match
        {L"\u00c4_SBS", L"\u00e4", false, 1, 0}, // only ASCII letters fold
        {L"clip_360_TB", L"_TB", false, 1, 9},
    };
    for (const StrposCase& c : cases) {
        EXPECT_EQ(c.expected, strpos(c.haystack, c.needle, c.caseSensitive, c.start))
            << "haystack " << testing::PrintToString(std::wstring(c.haystack)) << " needle "
            << testing::PrintToString(std::wstring(c.needle)) << " start " << c.start;
    }
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST(Strpos, StartBelowOneIsReportedAndTreatedAsOne)
{
    EXPECT_EQ(1, strpos(L"abc", L"a", true, 0));
    ASSERT_EQ(1u, RecordedBoxes().size());
    EXPECT_EQ(L"debug", RecordedBoxes()[0].caption);
    EXPECT_EQ(L"DEBUG char*: 'Internal error! 'strpos' function should never start with  StartAtPosition < 1\n"
              L" Assuming the desired value was 1'",
              RecordedBoxes()[0].text);
}

TEST(Formatters, ResultsThatDoNotFitLeaveAnEmptyString)
{
    struct Case {
        int (*format)(wchar_t*, const wchar_t*, ...);
        size_t capacity;
    };
    const Case cases[] = {{FormatWide, 4096}, {FormatWideShort, 128}, {FormatWideMid, 2048}};
    for (const Case& c : cases) {
        std::wstring buffer(c.capacity + 8, L'#');
        std::wstring fits(c.capacity - 1, L'x');
        EXPECT_EQ((int)c.capacity - 1, c.format(&buffer[0], L"%ls", fits.c_str()));
        EXPECT_EQ(fits, std::wstring(buffer.c_str()));
        std::wstring tooLong(c.capacity, L'y');
        EXPECT_LT(c.format(&buffer[0], L"%ls", tooLong.c_str()), 0) << c.capacity;
        EXPECT_EQ(L"", std::wstring(buffer.c_str()));
        // Nothing written past the capacity.
        EXPECT_EQ(L'#', buffer[c.capacity]) << c.capacity;
    }
    char narrow[2100];
    memset(narrow, '#', sizeof narrow);
    EXPECT_LT(FormatChars(narrow, "%s", std::string(2048, 'n').c_str()), 0);
    EXPECT_STREQ("", narrow);
    EXPECT_EQ('#', narrow[2048]);
    EXPECT_EQ(2047, FormatChars(narrow, "%s", std::string(2047, 'n').c_str()));
}

TEST(Formatters, UseTheDecimalDotAndPrintfConventions)
{
    wchar_t out[kFormatWideChars];
    EXPECT_GT(FormatWide(out, L"-ss %.4f %ls %d %%", 17.4, L"x", -3), 0);
    EXPECT_STREQ(L"-ss 17.4000 x -3 %", out);
    wchar_t small[8];
    EXPECT_LT(FormatWideUnbounded(small, 8, L"%ls", L"12345678"), 0);
    EXPECT_STREQ(L"", small);
    EXPECT_EQ(7, FormatWideUnbounded(small, 8, L"%ls", L"1234567"));
}

TEST(Boxes, TextsAndCaptions)
{
    ErrorBox(L"", L"message");
    ErrorBox(L"C:\\clip.mp4", L"Could not restore");
    DebugBoxChars("IniFileOp failed");
    DebugBoxWchars(L"\u043f\u0440\u0438\u0432\u0435\u0442");
    DebugBoxInt(-42);
    const std::vector<RecordedBox>& boxes = RecordedBoxes();
    ASSERT_EQ(5u, boxes.size());
    EXPECT_EQ(L"Error\n\n\nmessage", boxes[0].text);
    EXPECT_EQ(L"", boxes[0].caption);
    EXPECT_EQ(L"Error\nC:\\clip.mp4\n\nCould not restore", boxes[1].text);
    EXPECT_EQ(L"DEBUG char*: 'IniFileOp failed'", boxes[2].text);
    EXPECT_EQ(L"DEBUG WCHAR*: '\u043f\u0440\u0438\u0432\u0435\u0442'", boxes[3].text);
    EXPECT_EQ(L"DEBUG int: '-42'", boxes[4].text);
    for (size_t i = 2; i < 5; ++i) EXPECT_EQ(L"debug", boxes[i].caption);
    for (const RecordedBox& box : boxes) {
        EXPECT_EQ((unsigned)MB_OK, box.style & MB_TYPEMASK);
        EXPECT_EQ(0u, box.style & MB_ICONMASK);
        EXPECT_TRUE(box.style & MB_TOPMOST);
    }
}

TEST(Boxes, AnIdenticalBoxIsShownOnceUntilForgottenUnlessDebugOnly)
{
    for (int i = 0; i < 2; ++i) {
        ErrorBox(L"C:\\a.mp4", L"File not found");
        DebugBoxChars("Warning");
        DebugOnlyErrorBox(L"C:\\a.mp4", L"debug only : failed");
        DebugOnlyBoxChars("IniFileOp failed");
        DebugOnlyBoxWchars(L"-i x");
        DebugOnlyBoxInt(251);
    }
    EXPECT_EQ(10u, RecordedBoxes().size());
    ErrorBox(L"C:\\b.mp4", L"File not found");
    DebugBoxWchars(L"Error\nC:\\a.mp4\n\nFile not found"); // the same text under another caption
    ForgetShownBoxes();
    ErrorBox(L"C:\\a.mp4", L"File not found");
    EXPECT_EQ(13u, RecordedBoxes().size());
}

TEST(Boxes, OverlongTextsAreCutInsideTheirBuffers)
{
    std::wstring huge(10000, L'z');
    ErrorBox(huge.c_str(), huge.c_str());
    DebugBoxWchars(huge.c_str());
    DebugBoxChars(std::string(10000, 'z').c_str());
    ASSERT_EQ(3u, RecordedBoxes().size());
    EXPECT_EQ(2047u, RecordedBoxes()[0].text.size());
    EXPECT_LE(RecordedBoxes()[1].text.size(), 2047u);
    EXPECT_LE(RecordedBoxes()[2].text.size(), 2047u);
}

} // namespace
