// Where the Lister's command and filter texts stop: at 4095 characters
// they are still built, one more and nothing is (the end-to-end table has
// their content).
#include <gtest/gtest.h>

#include <wchar.h>

#include <string>

#include "lister/lister_commands.h"

namespace {

TEST(ListerCommands, TextsPast4095CharactersAreRefusedWhole)
{
    wchar_t out[kListerCommandChars];
    const wchar_t path[] = L"C:\\v\\a_SBS_180.mp4";
    // The fixed part of each text: built once with the variable part empty
    // (one character for the filter, whose time text drops when empty).
    ASSERT_TRUE(BuildPlayerCommand(L"", path, L"", out));
    const size_t playerFrame = wcslen(out);
    ASSERT_TRUE(BuildImageViewerCommand(path, L"", out));
    const size_t viewerFrame = wcslen(out);
    ListerVideoSettings s = {true, true, L"o", {L"LR", L"TB", L"VRL", L"VRT", L"V1", L"V3"}};
    ASSERT_TRUE(BuildListerVideoFilter(path, L"mp4", &s, out));
    ASSERT_STREQ(L"VRL,V1,o", out);
    const size_t filterFrame = wcslen(out) - 1;

    for (size_t extra : {0, 1}) {
        const bool fits = extra == 0;
        const size_t length = fits ? 4095 : 0;
        std::wstring pre(4095 - playerFrame + extra, L'p');
        EXPECT_EQ(fits, BuildPlayerCommand(pre.c_str(), path, L"", out)) << extra;
        EXPECT_EQ(length, wcslen(out)) << extra;
        std::wstring params(4095 - viewerFrame + extra, L'q');
        EXPECT_EQ(fits, BuildImageViewerCommand(path, params.c_str(), out)) << extra;
        EXPECT_EQ(length, wcslen(out)) << extra;
        std::wstring osd(4095 - filterFrame + extra, L'o');
        s.osd = osd.c_str();
        EXPECT_EQ(fits, BuildListerVideoFilter(path, L"mp4", &s, out)) << extra;
        EXPECT_EQ(length, wcslen(out)) << extra;
    }
}

} // namespace
