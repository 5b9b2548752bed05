// The Lister's command and filter texts are built whole up to 4095
// characters and refused whole past that (their content: the end-to-end
// table), and the wait when its window closes.
#include <gtest/gtest.h>

#include <wchar.h>

#include <string>

#include "lister/lister_commands.h"
#include "lister/lister_window.h"

TEST(ListerCommands, TextsPast4095CharactersAreRefusedWhole)
{
    wchar_t out[kListerCommandChars];
    const wchar_t path[] = L"C:\\v\\a_SBS_180.mp4";
    ListerVideoSettings s = {true, true, L"", {L"LR", L"TB", L"VRL", L"VRT", L"V1", L"V3"}};
    for (size_t length : {4095, 4096}) {
        // Each text's fixed part is measured with its variable part empty.
        BuildPlayerCommand(L"", path, L"", out);
        std::wstring pre(length - wcslen(out), L'p');
        EXPECT_EQ(length == 4095, BuildPlayerCommand(pre.c_str(), path, L"", out) && wcslen(out) == 4095);
        BuildImageViewerCommand(path, L"", out);
        std::wstring params(length - wcslen(out), L'q');
        EXPECT_EQ(length == 4095, BuildImageViewerCommand(path, params.c_str(), out) && wcslen(out) == 4095);
        std::wstring osd(length - wcslen(L"VRL,V1,"), L'o');
        s.osd = osd.c_str();
        EXPECT_EQ(length == 4095, BuildListerVideoFilter(path, L"mp4", &s, out) && wcslen(out) == 4095);
        EXPECT_EQ(length == 4095, out[0] != 0) << "a refused text is left empty";
    }
}

// The host's thread sleeps through the wait: a setting of minutes must not
// freeze it for minutes.
TEST(ListerClose, WaitsAtMostTheCapAndNeverForNegativeSettings)
{
    const int cases[][2] = {{-1, 0}, {250, 250}, {600000, kMaxListerCloseWaitMs}};
    for (const auto& c : cases) EXPECT_EQ((DWORD)c[1], ListerCloseWaitMs(c[0])) << c[0];
}
