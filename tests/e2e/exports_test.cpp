// The plug-in as the host sees it: exports looked up by name on a private
// copy, requests fed through ListGetPreviewBitmapW.
#include <gtest/gtest.h>

#include <string>

#include "support/box_watcher.h"
#include "support/media.h"
#include "support/plugin.h"
#include "support/scratch.h"

namespace {

struct DetectCase {
    int maxlen;
    const char* expected;
};

TEST(Exports, DetectStringIsCutInsideTheBuffer)
{
    ScratchDir dir(L"detect");
    LoadedPlugin plugin;
    ASSERT_TRUE(LoadPluginCopy(dir.path, &plugin));
    const DetectCase cases[] = {
        {100, "MULTIMEDIA"}, {11, "MULTIMEDIA"}, {10, "MULTIMEDI"}, {5, "MULT"}, {2, "M"}, {1, ""},
    };
    for (const DetectCase& c : cases) {
        char buffer[128];
        memset(buffer, 'x', sizeof buffer);
        plugin.ListGetDetectString(buffer, c.maxlen);
        EXPECT_STREQ(c.expected, buffer) << "maxlen " << c.maxlen;
        // Nothing is written past the size the host gave.
        for (int i = c.maxlen; i < (int)sizeof buffer; ++i) ASSERT_EQ('x', buffer[i]) << "maxlen " << c.maxlen;
    }
    char untouched[4] = "abc";
    plugin.ListGetDetectString(untouched, 0);
    EXPECT_STREQ("abc", untouched);
    UnloadPlugin(&plugin);
}

// A request that gets past the path and extension checks makes the plug-in
// load its settings, which creates vistrel.ini beside the module; so the
// settings file tells whether a request was refused before that point.
struct GateCase {
    const char* label;
    std::wstring path; // relative to the scratch folder unless absolute
    bool reachesSettings;
};

TEST(Exports, PathAndExtensionGatesComeBeforeAnyFileWork)
{
    ScratchDir files(L"gates");
    std::wstring longName = files.path;
    // A path of exactly 259 and of 260 characters, both ending in ".mp4".
    std::wstring path259 = longName + std::wstring(259 - longName.size() - 4, L'a') + L".mp4";
    std::wstring path260 = longName + std::wstring(260 - longName.size() - 4, L'b') + L".mp4";
    ASSERT_EQ(259u, path259.size());
    ASSERT_EQ(260u, path260.size());
    const GateCase cases[] = {
        {"two characters", L"ab", false},
        {"three characters", L"a.b", true},
        {"259 characters", path259, true},
        {"260 characters", path260, false},
        {"no dot", files.path + L"noextension", false},
        {"ends in a dot", files.path + L"clip.", false},
        {"dot only in the folder", files.path + L"dir.mp4\\clip", false},
        {"ordinary name", files.path + L"clip.mp4", true},
    };
    for (const GateCase& c : cases) {
        ScratchDir dir(L"gate");
        LoadedPlugin plugin;
        ASSERT_TRUE(LoadPluginCopy(dir.path, &plugin));
        EXPECT_EQ(nullptr, RequestThumbnail(plugin, c.path, 96, 96)) << c.label;
        EXPECT_EQ(c.reachesSettings, FileExists(dir.path + L"vistrel.ini")) << c.label;
        UnloadPlugin(&plugin);
    }
}

TEST(Exports, RequestsThatReachTheGeneratorLeaveNoTemporaryFile)
{
    // The temp-folder guard of the test program fails this test if a
    // request leaves anything there.
    ScratchDir dir(L"tempfile");
    ASSERT_TRUE(WriteFileBytes(dir.path + L"clip.mp4", std::string(1000, 'v')));
    ASSERT_TRUE(WriteFileBytes(dir.path + L"empty.mp4", ""));
    ASSERT_TRUE(WriteFileBytes(dir.path + L"song.mp3", std::string(1000, 'a')));
    // The real tools, which find nothing in these files: without them the
    // generator would rightly report the missing tools.
    std::wstring ini = dir.path + L"vistrel.ini";
    WritePrivateProfileStringW(L"vistrel", L"ffmpegPath (chars)", RealToolPath(L"ffmpeg.exe").c_str(), ini.c_str());
    WritePrivateProfileStringW(L"vistrel", L"ffprobePath (chars)", RealToolPath(L"ffprobe.exe").c_str(), ini.c_str());
    LoadedPlugin plugin;
    ASSERT_TRUE(LoadPluginCopy(dir.path, &plugin));
    BoxWatcher boxes;
    for (const wchar_t* name : {L"clip.mp4", L"empty.mp4", L"song.mp3", L"missing.mp4"}) {
        EXPECT_EQ(nullptr, RequestThumbnail(plugin, dir.path + name, 96, 96));
        EXPECT_EQ(nullptr, RequestThumbnail(plugin, dir.path + name, 7, 96));
    }
    UnloadPlugin(&plugin);
    EXPECT_TRUE(boxes.boxes().empty());
}

} // namespace
