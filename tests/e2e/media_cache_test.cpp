// The stream cache for real: a private copy of the plug-in with "ADS (bool)"
// on, the real ffprobe and ffmpeg behind the logging wrapper, and copies
// of the sample media whose streams and file times the requests touch.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/box_watcher.h"
#include "support/file_times.h"
#include "support/media.h"
#include "support/plugin.h"
#include "support/scratch.h"

namespace {

// An old time with a fraction of a second, so that a put-back time that
// lost its 100 ns digits shows.
FILETIME oldTime()
{
    return MakeFileTime(2021, 5, 4, 3, 2, 1, 1234567); // .1234567 s
}
const wchar_t kOldRecordTime[] = L"2021.05.04 03:02:01";

std::wstring cacheRecord(const std::wstring& source)
{
    wchar_t value[4096];
    GetPrivateProfileStringW(L"vistrel", L":preview.jpg", L"", value, 4096, (source + L":cache.ini").c_str());
    return value;
}

std::string streamBytes(const std::wstring& source)
{
    std::string bytes;
    ReadFileBytes(source + L":preview.jpg", &bytes);
    return bytes;
}

class MediaCache : public ::testing::Test {
protected:
    ScratchDir dir{L"media-cache"};
    ToolLog tools;
    LoadedPlugin plugin;
    BoxWatcher watcher;

    void TearDown() override
    {
        UnloadPluginWithTools(&plugin);
        EXPECT_TRUE(watcher.boxes().empty()) << "a message box came up: "
                                             << testing::PrintToString(watcher.boxes()[0].text);
    }

    void load()
    {
        SettingsValues settings = tools.settings();
        settings.push_back({L"ADS (bool)", L"1"});
        // Repeats within a few seconds would step the frame position.
        settings.push_back({L"UserRefreshTimeout (double)", L"-1"});
        ASSERT_TRUE(LoadPluginWithTools(&plugin, settings));
    }

    std::wstring source(const std::wstring& sample)
    {
        std::wstring path = CopyMedia(sample, dir.path);
        EXPECT_TRUE(SetTimes(path, {oldTime(), oldTime(), oldTime()}));
        return path;
    }

    void expectTimesPutBack(const std::wstring& path)
    {
        FileTimes now;
        ASSERT_TRUE(GetTimes(path, &now));
        unsigned long long old = TimeValue(oldTime());
        EXPECT_EQ(old, TimeValue(now.write)) << "last-write time not put back";
        EXPECT_EQ(old, TimeValue(now.access)) << "last-access time not put back";
    }

    // A request that must be made by the tools (one probe, one picture).
    void expectMade(const std::wstring& path, BitmapPixels* pixels)
    {
        tools.clear();
        ASSERT_TRUE(RequestPixels(plugin, path, 256, 256, pixels)) << testing::PrintToString(path);
        EXPECT_EQ(1, tools.count(L"ffprobe.exe"));
        EXPECT_EQ(1, tools.count(L"ffmpeg.exe"));
    }

    // A request that must be served from the stream without any tool.
    void expectCached(const std::wstring& path, BitmapPixels* pixels)
    {
        tools.clear();
        ASSERT_TRUE(RequestPixels(plugin, path, 256, 256, pixels)) << testing::PrintToString(path);
        EXPECT_EQ(0u, tools.lines().size()) << "a tool ran on a cache hit";
    }
};

// Names that the command interpreter would expand or split, and names
// outside any code page: the tools must still write into the stream.
TEST_F(MediaCache, FirstRequestMakesTheStreamAndTheSecondRunsNoTool)
{
    load();
    const wchar_t* const samples[] = {L"50% & more!.mp4", L"ünïcødé 日本.mp4", L"%PATH% & 東京.mp3"};
    for (const wchar_t* sample : samples) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(sample)));
        std::wstring path = source(sample);
        BitmapPixels made, cached;
        expectMade(path, &made);
        EXPECT_GT(PixelVariance(made), 100.0) << "blank thumbnail";
        EXPECT_GT(streamBytes(path).size(), 1000u) << "no thumbnail in the stream";
        std::wstring record = cacheRecord(path);
        EXPECT_EQ(0u, record.find(kOldRecordTime)) << testing::PrintToString(record);
        EXPECT_NE(std::wstring::npos, record.find(L"|256x256")) << testing::PrintToString(record);
        expectTimesPutBack(path);

        expectCached(path, &cached);
        EXPECT_EQ(made.width, cached.width);
        EXPECT_EQ(made.height, cached.height);
        EXPECT_TRUE(made.bgr == cached.bgr) << "the cached thumbnail differs from the one made";
        expectTimesPutBack(path);
    }
}

// A setting that shapes the picture makes the kept thumbnail stale; one
// that does not (an extension list) leaves it in use.
TEST_F(MediaCache, SignatureSettingsDecideBetweenHitAndMiss)
{
    load();
    std::wstring path = source(L"clip.mp4");
    BitmapPixels first, again;
    expectMade(path, &first);
    std::wstring firstRecord = cacheRecord(path);

    ChangePluginSetting(plugin, L"Audios extension list (chars)", L"mp3, wav");
    expectCached(path, &again);

    ChangePluginSetting(plugin, L"FontColor (chars)", L"ff0000");
    expectMade(path, &again);
    std::wstring newRecord = cacheRecord(path);
    EXPECT_NE(firstRecord, newRecord) << "the record keeps the old signature";
    EXPECT_EQ(0u, newRecord.find(kOldRecordTime)) << testing::PrintToString(newRecord);
    EXPECT_FALSE(first.bgr == again.bgr) << "the text colour did not change the thumbnail";
    expectTimesPutBack(path);

    expectCached(path, &again);
}

// Another program saving the source while the tools run (the logging
// wrapper appends to it before each run): its save is refused or kept,
// never undone by our putting the times back, and our own writes into
// the source's streams still go through.
TEST_F(MediaCache, AnotherProgramsSaveWhileTheToolsRunIsNeverUndone)
{
    load();
    std::wstring path = source(L"clip.mp4");
    // Sizes from the path: reading the file would stamp its access time.
    WIN32_FILE_ATTRIBUTE_DATA before, after;
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &before));
    SetEnvironmentVariableW(L"VSL_TOOL_APPEND_TO", path.c_str());
    BitmapPixels made;
    expectMade(path, &made);
    SetEnvironmentVariableW(L"VSL_TOOL_APPEND_TO", NULL);
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &after));
    if (after.nFileSizeLow != before.nFileSizeLow)
        EXPECT_NE(TimeValue(oldTime()), TimeValue(after.ftLastWriteTime)) << "the other program's save was undone";
    else
        expectTimesPutBack(path);
    EXPECT_GT(streamBytes(path).size(), 1000u) << "no thumbnail in the stream";
    EXPECT_EQ(0u, cacheRecord(path).find(kOldRecordTime));
    // Let go afterwards: the next save goes through.
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_NE(INVALID_HANDLE_VALUE, file) << "the source is still held";
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

} // namespace
