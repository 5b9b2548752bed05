// Image thumbnails for real: private copies of the plug-in run the converter
// stand-in (staged where their default settings look for the converter,
// delegating to the real ffmpeg) on copies of the generated sample pictures.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "support/box_watcher.h"
#include "support/file_times.h"
#include "support/media.h"
#include "support/plugin.h"
#include "support/ini_text.h"
#include "support/scratch.h"
#include "settings/settings_version.h"

namespace {

const int kCell = 256;
// With a fraction of a second, so that a time put back without its 100 ns
// digits shows.
const FILETIME kOldTime = MakeFileTime(2021, 5, 4, 3, 2, 1, 1234567);

// The sample pictures (scripts/make-media) and their sizes. GIF counts as
// a picture in these tests, as an archive's GIF cover does.
struct Picture {
    const wchar_t* name;
    int width, height;
};
const Picture kPictures[] = {
    {L"photo.jpg", 600, 400},    {L"alpha.png", 200, 300},    {L"anim.gif", 160, 90},
    {L"picture.tga", 320, 240},  {L"picture.bmp", 320, 240},  {L"picture.tif", 320, 240},
    {L"picture.webp", 320, 240}, {L"panorama.jpg", 2400, 200}, {L"icon.png", 16, 16},
    {L"%TEMP% & 写真.jpg", 600, 400},
};

struct ImageThumbnails : ::testing::Test {
    ScratchDir dir{L"images"};
    RunRecord converter{dir.path};
    LoadedPlugin plugin;
    BoxWatcher watcher;
    size_t expectedBoxes = 0;

    void TearDown() override
    {
        UnloadPluginWithTools(&plugin);
        std::vector<SeenBox> boxes = watcher.boxes();
        EXPECT_EQ(expectedBoxes, boxes.size()) << (boxes.empty() ? "" : Utf8(boxes.back().text));
    }
    bool load(SettingsValues values)
    {
        UnloadPluginWithTools(&plugin);
        // A current version keeps the lists as given.
        values.insert(values.begin(), {{L"vistrel Version (internal only: do not modify)", VersionText(kCurrentSettingsVersion)},
                                       {L"Videos extension list (chars)", L"mp4"},
                                       {L"Images extension list (chars)", L"jpg, png, gif, tga, bmp, tif, webp"},
                                       {L"UserRefreshTimeout (double)", L"-1"}});
        return LoadPluginWithTools(&plugin, values);
    }
    std::wstring source(const std::wstring& sample, const std::wstring& newName = L"")
    {
        std::wstring path = CopyMedia(sample, dir.path, newName);
        EXPECT_TRUE(SetTimes(path, {kOldTime, kOldTime, kOldTime}));
        return path;
    }
};

TEST_F(ImageThumbnails, EveryFormatIsFittedIntoTheCellWithAndWithoutTheStreamCache)
{
    for (bool cache : {false, true}) {
        ASSERT_TRUE(load({{L"ADS (bool)", cache ? L"1" : L"0"}}));
        for (const Picture& p : kPictures) {
            SCOPED_TRACE(Utf8(p.name) + (cache ? " (stream cache)" : ""));
            std::wstring path = source(p.name);
            BitmapPixels made, again;
            ASSERT_TRUE(RequestPixels(plugin, path, kCell, kCell, &made));
            double scale = std::min((double)kCell / p.width, (double)kCell / p.height);
            EXPECT_NEAR(p.width * scale, made.width, 1.0);
            EXPECT_NEAR(p.height * scale, made.height, 1.0);
            EXPECT_GT(PixelVariance(made), 50.0) << "blank thumbnail";
            // The name reaches the converter intact, whatever the command
            // interpreter would have made of it.
            std::string runs = converter.take();
            EXPECT_EQ(0u, runs.find(Utf8(L"\"" + ToolsFolder() + L"bin\\IrfanView_64\\i_view64.exe\" \"" + path +
                                         L"\" /resize=(256,256) /silent")))
                << runs;
            if (!cache) continue;
            ExpectTimesKept(path, kOldTime);
            wchar_t record[4096];
            GetPrivateProfileStringW(L"vistrel", L":preview.jpg", L"", record, 4096, (path + L":cache.ini").c_str());
            // Record time | signature | cell size.
            const std::wregex form(L"2021\\.05\\.04 03:02:01\\|[0-9a-f]+\\|256x256");
            EXPECT_TRUE(std::regex_match(record, form)) << Utf8(record);
            ASSERT_TRUE(RequestPixels(plugin, path, kCell, kCell, &again));
            EXPECT_EQ("", converter.take()) << "the converter ran on a cache hit";
            EXPECT_TRUE(made.bgr == again.bgr);
        }
    }
}

TEST_F(ImageThumbnails, FailuresGiveNothingAndLeaveTheSourceAsItWas)
{
    const std::wstring missing = dir.path + L"no-converter.exe";
    const std::wstring writesNothing = ExeDirectory() + L"record_tool.exe";
    struct Case {
        const wchar_t* sample;
        const std::wstring* converter; // null: the staged stand-in
    } const cases[] = {{L"photo.jpg", &missing}, {L"broken.png", nullptr}, {L"photo.jpg", &writesNothing}};
    for (bool cache : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(Utf8(c.sample + (c.converter ? L" " + *c.converter : L"")) + (cache ? " cached" : ""));
            SettingsValues settings = {{L"ADS (bool)", cache ? L"1" : L"0"}};
            if (c.converter) settings.push_back({L"irfanviewPath (chars)", *c.converter});
            ASSERT_TRUE(load(settings));
            std::wstring path = source(c.sample);
            EXPECT_FALSE(RequestPixels(plugin, path, kCell, kCell));
            if (c.converter == &missing) {
                ASSERT_EQ(++expectedBoxes, watcher.boxes().size());
                EXPECT_EQ(L"Error\n" + missing + L"\n\nFile not found at specified location from ini",
                          watcher.boxes().back().text);
            }
            ExpectTimesKept(path, kOldTime, cache); // without the cache a read may stamp the access time
            std::string before, after;
            EXPECT_TRUE(ReadFileBytes(MediaPath(c.sample), &before) && ReadFileBytes(path, &after) && before == after);
        }
    }
    // A thumbnail stream from an earlier run must not pass for the result
    // of a run that wrote nothing (the new settings make the old one stale).
    ASSERT_TRUE(load({{L"ADS (bool)", L"1"}}));
    std::wstring path = source(L"photo.jpg", L"stale.jpg");
    ASSERT_TRUE(RequestPixels(plugin, path, kCell, kCell));
    ChangePluginSetting(plugin, L"irfanviewPath (chars)", writesNothing);
    ChangePluginSetting(plugin, L"irfanviewMidInputParam (chars)", L"/silent /aspectratio");
    EXPECT_FALSE(RequestPixels(plugin, path, kCell, kCell));
    ExpectTimesKept(path, kOldTime);
}

} // namespace
