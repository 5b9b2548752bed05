// The duration text drawn on thumbnails and the file-name part in which
// layout markers are looked for.
#include <gtest/gtest.h>

#include <string>

#include "generators/media_layout.h"
#include "generators/media_text.h"

namespace {

TEST(DrawTextTime, FormatsDurationsAsDrawtextTimes)
{
    struct Case {
        const wchar_t* seconds;
        bool hideHours;
        const wchar_t* expected;
        bool ok;
    } const cases[] = {
        {L"59.5", true, L"00'\\:'59", true}, // rounding never carries into the minutes
        {L"59.5", false, L"00'\\:'00'\\:'59", true},
        {L"61.6", true, L"01'\\:'02", true},
        {L"61.4", true, L"01'\\:'01", true},
        {L"3725.4", true, L"01'\\:'02'\\:'05", true},
        {L"3599.99", true, L"59'\\:'59", true},
        {L"90061", true, L" 1'\\:'01'\\:'01'\\:'01", true},
        {L"90061", false, L" 1'\\:'01'\\:'01'\\:'01", true},
        {L"1234567.5", true, L"14'\\:'06'\\:'56'\\:'08", true},
        {L"  100.000000\n", true, L"01'\\:'40", true}, // a probe line as printed
        {L"0.0", true, L"00'\\:'00", true},
        {L"N/A\n", true, L"00'\\:'00", true},
        {L"-1", true, L"ER", false},
        {L"-0.2", false, L"ER", false},
        // Beyond what 32-bit day, hour and minute counts can hold.
        {L"3e9", true, L"ER", false},
        {L"1e308", false, L"ER", false},
    };
    for (const Case& c : cases) {
        wchar_t text[kDrawTextTimeChars];
        wcscpy(text, c.seconds);
        EXPECT_EQ(c.ok, FormatDrawTextTime(text, c.hideHours)) << c.seconds;
        EXPECT_STREQ(c.expected, text) << c.seconds << (c.hideHours ? " hiding hours" : "");
    }
}

TEST(FileNamePart, KeepsTheNameWithoutFolderAndExtension)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* expected;
    } const cases[] = {
        {L"C:\\videos\\clip_SBS_180.mkv", L"clip_SBS_180"},
        {L"C:/videos/clip.part.mp4", L"clip.part"},
        {L"C:\\videos.d\\clip", L"clip"}, // a dot in a folder is no extension
        {L"clip_TB.mov", L"clip_TB"},
        {L"C:\\mixed/sep\\name.x", L"name"},
        {L"C:\\folder\\", L""},
        {L".hidden", L""},
    };
    for (const Case& c : cases) {
        wchar_t path[300];
        wcscpy(path, c.path);
        GetFileNamePart(path);
        EXPECT_STREQ(c.expected, path) << c.path;
    }
}

TEST(FileNamePart, CutsAtTwoHundredFiftyFiveCharacters)
{
    std::wstring path = L"C:\\v\\" + std::wstring(300, L'n') + L".mp4";
    std::wstring buffer = path;
    GetFileNamePart(&buffer[0]);
    EXPECT_EQ(std::wstring(255, L'n'), std::wstring(buffer.c_str()));
}

} // namespace
