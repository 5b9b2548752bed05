// Profile text read in place must give every key exactly what the
// platform's profile functions give for the same file.
#include <gtest/gtest.h>

#include <string>

#include "cache/profile_text.h"
#include "support/ini_text.h"
#include "support/scratch.h"

namespace {

std::string utf16BigEndian(const std::wstring& text)
{
    std::string bytes = "\xFE\xFF";
    for (wchar_t c : text) {
        bytes += (char)(c >> 8);
        bytes += (char)(c & 0xFF);
    }
    return bytes;
}

TEST(ProfileText, EveryKeyReadsAsTheProfileFunctionsReadIt)
{
    ScratchDir dir(L"profile-text");
    const std::string texts[] = {
        "[vistrel]\r\n:preview.jpg=2024.03.07 18:05:09|12c|96x96\r\nrot=50.00000\r\n",
        "[vistrel]\n  :PREVIEW.JPG  =  spaced value  \nROT\t=\t12.5\t\n",
        "[vistrel]\r:preview.jpg=carriage returns only\rrot=1\r",
        "[other]\nrot=9\n[VISTREL]\n:preview.jpg=\"quoted\"\nrot='single'\n",
        "[vistrel]\n:preview.jpg=\"unbalanced\nrot=\"\n",
        "[vistrel]\n:preview.jpg=first\n:preview.jpg=second\n:preview.jpg\n",
        "[vistrel]\n:preview.jpg\n:preview.jpg=after a bare key\n",
        "[vistrel]\nrot=1\n[vistrel]\n:preview.jpg=in the second section\n",
        "rot=before any section\n[ vistrel ]\n:preview.jpg=header with blanks\n",
        "[vistrel\nrot=header without bracket\n[vistrel]x\n:preview.jpg=text after the bracket\n",
        "[vistrel]\n; comment\nrot=a=b|c\n:preview.jpg=",
        "[vistrel]\r\n\x1A rot = after ^Z \x1A\r\n",
        "[vistrel]\nrot=caf\xE9\n",
        "\xEF\xBB\xBF[vistrel]\nrot=caf\xC3\xA9\n",
        Utf16Bytes(L"[vistrel]\r\nrot=\u65e5\u672c\r\n:preview.jpg=utf-16\r\n"),
        utf16BigEndian(L"[vistrel]\r\nrot=big endian\r\n"),
        "[vistrel]\n:preview.jpg=" + std::string(5000, 'x') + "\n",
        "",
    };
    int row = 0;
    for (const std::string& bytes : texts) {
        SCOPED_TRACE(testing::PrintToString(bytes.substr(0, 80)));
        // A file of its own per row: the profile functions keep what they read.
        std::wstring path = dir.path + L"row" + std::to_wstring(++row) + L".ini";
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        static wchar_t text[8192];
        int length = decodeProfileBytes((const unsigned char*)bytes.data(), bytes.size(), text, 8192);
        ASSERT_GE(length, 0);
        for (const wchar_t* key : {L":preview.jpg", L"rot", L"missing"}) {
            wchar_t expected[4096], actual[4096];
            GetPrivateProfileStringW(L"vistrel", key, L"", expected, 4096, path.c_str());
            findProfileValue(text, (size_t)length, L"vistrel", key, actual, 4096);
            EXPECT_EQ(std::wstring(expected), std::wstring(actual)) << testing::PrintToString(std::wstring(key));
        }
    }
}

// Either is left to the profile functions.
TEST(ProfileText, TextTooLongForItsBufferOrBrokenUtf8IsRefused)
{
    const std::string bytes(100, 'a');
    wchar_t text[100];
    EXPECT_EQ(-1, decodeProfileBytes((const unsigned char*)bytes.data(), bytes.size(), text, 100));
    EXPECT_EQ(99, decodeProfileBytes((const unsigned char*)bytes.data(), 99, text, 100));
    const std::string wide = Utf16Bytes(std::wstring(100, L'a'));
    EXPECT_EQ(-1, decodeProfileBytes((const unsigned char*)wide.data(), wide.size(), text, 100));
    const std::string broken = "\xEF\xBB\xBF[vistrel]\nrot=caf\xC3\n";
    EXPECT_EQ(-1, decodeProfileBytes((const unsigned char*)broken.data(), broken.size(), text, 100));
}

} // namespace
