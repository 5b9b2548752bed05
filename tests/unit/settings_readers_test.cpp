#include <windows.h>

#include <gtest/gtest.h>

#include <limits.h>

#include <string>

#include "support/ini_text.h"
#include "support/scratch.h"
#include "settings/settings.h"
#include "settings/settings_readers.h"

namespace {

class SettingsReaders : public ::testing::Test {
protected:
    ScratchDir dir{L"readers"};
    std::wstring ini = dir.path + L"test.ini";

    void writeIni(const std::wstring& body) { ASSERT_TRUE(WriteFileBytes(ini, Utf16Bytes(L"[vistrel]\r\n" + body))); }
};

} // namespace

TEST_F(SettingsReaders, NumbersParseLikeTheCRuntime)
{
    struct Case {
        const wchar_t* text;
        bool flag;
        int number;
        double real;
    } cases[] = {
        {L"1", true, 1, 1.0},
        {L"2", true, 2, 2.0},
        {L"-1", true, -1, -1.0},
        {L"0", false, 0, 0.0},
        {L"yes", false, 0, 0.0},
        {L"true", false, 0, 0.0},
        {L"+3", true, 3, 3.0},
        {L"12abc", true, 12, 12.0},
        {L"0x1", false, 0, 0.0}, // decimal only: stops at the x
        {L"1e3", true, 1, 1000.0},
        {L"12,5", true, 12, 12.0},
        {L"2.50", true, 2, 2.5},
        {L"-0.5", false, 0, -0.5},
        {L"99999999999", true, INT_MAX, 99999999999.0},
        // Decimal text only, whatever else the runtime could read.
        {L"0x10", false, 0, 0.0},
        {L"nan", false, 0, 0.0},
        {L"inf", false, 0, 0.0},
        {L".5", false, 0, 0.5},
        {L"-.5e1", false, 0, -5.0},
        {L"5.", true, 5, 5.0},
        {L"1e+2", true, 1, 100.0},
        {L"1e", true, 1, 1.0},
        {L"1e-", true, 1, 1.0},
        {L".", false, 0, 0.0},
        {L"e5", false, 0, 0.0},
        {L"17.4", true, 17, 17.4},
    };
    for (const Case& c : cases) {
        writeIni(std::wstring(L"b (bool)=") + c.text + L"\r\ni (int)=" + c.text + L"\r\nd (double)=" + c.text + L"\r\n");
        std::string label = ::testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(IniReadBool(ini.c_str(), L"b (bool)", L"1", false), c.flag) << label;
        EXPECT_EQ(IniReadInt(ini.c_str(), L"i (int)", L"7"), c.number) << label;
        EXPECT_DOUBLE_EQ(IniReadDouble(ini.c_str(), L"d (double)", L"7", false), c.real) << label;
        // A value that is present, however odd, stays as the user wrote it.
        EXPECT_EQ(IniValueInFile(ini, L"b (bool)"), c.text) << label;
    }
}

TEST_F(SettingsReaders, MissingOrEmptyValueTakesTheDefaultAndWritesItBack)
{
    writeIni(L"b (bool)=\r\nd (double)=\r\n");
    EXPECT_TRUE(IniReadBool(ini.c_str(), L"b (bool)", L"1", false));
    EXPECT_EQ(IniReadInt(ini.c_str(), L"i (int)", L"250"), 250);
    EXPECT_DOUBLE_EQ(IniReadDouble(ini.c_str(), L"d (double)", L"17.4", false), 17.4);
    wchar_t text[kSettingsChars];
    IniReadChars(ini.c_str(), L"c (chars)", L"7fffbe", text, kSettingsChars, false);
    EXPECT_STREQ(text, L"7fffbe");

    EXPECT_EQ(IniValueInFile(ini, L"b (bool)"), L"1");
    EXPECT_EQ(IniValueInFile(ini, L"i (int)"), L"250");
    EXPECT_EQ(IniValueInFile(ini, L"d (double)"), L"17.4");
    EXPECT_EQ(IniValueInFile(ini, L"c (chars)"), L"7fffbe");
}

TEST_F(SettingsReaders, ForcedDefaultReplacesTheFileValue)
{
    writeIni(L"b (bool)=0\r\nd (double)=5\r\nc (chars)=xyz\r\n");
    EXPECT_TRUE(IniReadBool(ini.c_str(), L"b (bool)", L"1", true));
    EXPECT_DOUBLE_EQ(IniReadDouble(ini.c_str(), L"d (double)", L"2.00", true), 2.0);
    wchar_t text[kSettingsChars];
    IniReadChars(ini.c_str(), L"c (chars)", L"cbr, cbz", text, kSettingsChars, true);
    EXPECT_STREQ(text, L"cbr, cbz");
    EXPECT_EQ(IniValueInFile(ini, L"b (bool)"), L"1");
    EXPECT_EQ(IniValueInFile(ini, L"d (double)"), L"2.00");
    EXPECT_EQ(IniValueInFile(ini, L"c (chars)"), L"cbr, cbz");

    // Even "NULL" gives way when forced.
    writeIni(L"c (chars)=NULL\r\n");
    IniReadChars(ini.c_str(), L"c (chars)", L"cbr, cbz", text, kSettingsChars, true);
    EXPECT_STREQ(text, L"cbr, cbz");
}

TEST_F(SettingsReaders, TextValues)
{
    struct Case {
        const wchar_t* inFile;
        const wchar_t* expected;
        const wchar_t* fileAfter;
    } cases[] = {
        {L"NULL", L"", L"NULL"},         // the empty value on purpose; the file keeps the sentinel
        {L"null", L"null", L"null"},     // only the upper-case word is the sentinel
        {L"NULL ", L"", L"NULL "},       // the profile functions trim the value
        {L"NULLs", L"NULLs", L"NULLs"},
        {L"dddddd", L"dddddd", L"dddddd"},
        {L"Ёжик 视频", L"Ёжик 视频", L"Ёжик 视频"},
    };
    for (const Case& c : cases) {
        writeIni(std::wstring(L"c (chars)=") + c.inFile + L"\r\n");
        wchar_t text[kSettingsChars];
        IniReadChars(ini.c_str(), L"c (chars)", L"default", text, kSettingsChars, false);
        std::string label = ::testing::PrintToString(std::wstring(c.inFile));
        EXPECT_STREQ(text, c.expected) << label;
        EXPECT_EQ(IniValueInFile(ini, L"c (chars)"), c.fileAfter) << label;
    }
}

TEST_F(SettingsReaders, ValuesTooLongForTheirVariable)
{
    wchar_t path[kSettingsPathChars];
    wchar_t text[kSettingsChars];

    // A short variable takes a value whole or not at all.
    std::wstring fits = L"C:\\" + std::wstring(kSettingsPathChars - 4, L'a');
    writeIni(L"p (chars)=" + fits + L"\r\n");
    IniReadChars(ini.c_str(), L"p (chars)", L"C:\\x.exe", path, kSettingsPathChars, false);
    EXPECT_EQ(std::wstring(path), fits);

    std::wstring tooLong = fits + L"b";
    writeIni(L"p (chars)=" + tooLong + L"\r\n");
    wcscpy(path, L"stale");
    IniReadChars(ini.c_str(), L"p (chars)", L"C:\\x.exe", path, kSettingsPathChars, false);
    EXPECT_STREQ(path, L"");
    EXPECT_EQ(IniValueInFile(ini, L"p (chars)"), tooLong);

    // A default that does not fit is written back but refused as well.
    writeIni(L"");
    wcscpy(path, L"stale");
    IniReadChars(ini.c_str(), L"p (chars)", tooLong.c_str(), path, kSettingsPathChars, false);
    EXPECT_STREQ(path, L"");
    EXPECT_EQ(IniValueInFile(ini, L"p (chars)"), tooLong);

    // Long values of ordinary keys end where the read buffer ends.
    std::wstring huge(6000, L'v');
    writeIni(L"c (chars)=" + huge + L"\r\n");
    IniReadChars(ini.c_str(), L"c (chars)", L"x", text, kSettingsChars, false);
    EXPECT_EQ(std::wstring(text), huge.substr(0, kSettingsChars - 1));
}

TEST_F(SettingsReaders, AnsiFileIsReadAndKeepsItsEncoding)
{
    ASSERT_TRUE(WriteFileBytes(ini, "[vistrel]\r\nFontColor (chars)=abcdef\r\n"));
    wchar_t text[kSettingsPathChars];
    IniReadChars(ini.c_str(), L"FontColor (chars)", L"dddddd", text, kSettingsPathChars, false);
    EXPECT_STREQ(text, L"abcdef");
    EXPECT_EQ(IniReadInt(ini.c_str(), L"FontSize (int)", L"11"), 11);

    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(ini, &bytes));
    EXPECT_EQ(bytes.find("\xFF\xFE"), std::string::npos);
    EXPECT_NE(bytes.find("FontSize (int)=11"), std::string::npos);
}

TEST_F(SettingsReaders, Utf8FileTakesAValueBeyondTheAnsiCodePageUnlessBroken)
{
    const struct {
        std::string bytes;
        bool converted;
    } rows[] = {
        {"\xEF\xBB\xBF[vistrel]\r\nFontColor (chars)=caf\xC3\xA9\r\n", true},
        // Converting would turn the stray byte into a replacement character.
        {"\xEF\xBB\xBF[vistrel]\r\nFontColor (chars)=caf\xC3\r\n", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.converted ? "UTF-8" : "broken UTF-8");
        ASSERT_TRUE(WriteFileBytes(ini, row.bytes));
        IniWrite(ini.c_str(), L"AudioColorLeft (chars)", L"цвет");
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(ini, &bytes));
        if (row.converted) {
            EXPECT_TRUE(IsUtf16(bytes));
            EXPECT_EQ(IniFileText(ini), L"[vistrel]\r\nFontColor (chars)=café\r\nAudioColorLeft (chars)=цвет\r\n");
        } else {
            EXPECT_EQ(bytes, row.bytes);
        }
    }
}
