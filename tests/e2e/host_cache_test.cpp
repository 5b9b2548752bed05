// vistrel-host cache, run as its own process: it finds what the stream
// cache keeps in files by the plug-in's names and records (Wine lists no
// streams), removes exactly that, and leaves the files' times, attributes
// and other streams as they were.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cache/stream_names.h"
#include "support/file_times.h"
#include "support/host_run.h"
#include "support/scratch.h"

namespace {

typedef std::vector<std::pair<std::wstring, std::string>> Streams;

// With a fraction of a second, so that times put back without their
// 100 ns digits would show.
FILETIME oldTime()
{
    return MakeFileTime(2021, 5, 4, 3, 2, 1, 1234567);
}

// A record stream past the plug-in's bound, as planted: it is not read.
std::string plantedRecord()
{
    std::string record = "[vistrel]\r\n:preview.jpg=2024.03.07 18:05:09|12c|96x96\r\n";
    return record + std::string(kCacheRecordMaxBytes + 1 - record.size(), ';');
}

struct CachedFile {
    const wchar_t* name;
    DWORD attributes;
    Streams plugin; // the stream cache's: listed, then removed
    Streams other; // another program's, or named like the plug-in's but not of its making
    std::vector<const char*> listed; // lines `cache list` shows for the file
};

const CachedFile kFiles[] = {
    {L"one size.mp4", FILE_ATTRIBUTE_ARCHIVE,
     {{L":preview.jpg", "jpeg of 96x96"},
      {L":cache.ini", "[vistrel]\r\n:preview.jpg=2024.03.07 18:05:09|12c|96x96\r\nrot=50.00000\r\n"}},
     {{L":Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n"}},
     {":preview.jpg     96x96       13 bytes", ":cache.ini       record"}},
    {L"sizes 東京.mkv", FILE_ATTRIBUTE_ARCHIVE,
     {{L":p96x96.jpg", "small"},
      {L":p256x192.jpg", "larger one"},
      {L":cache.ini", "[vistrel]\r\n:p96x96.jpg=2024.03.07 18:05:09|12c\r\n:p256x192.jpg=2024.03.07 18:05:09|12c\r\n"
                      ":p096x96.jpg=2024.03.07 18:05:09|12c\r\n"}},
     {{L":p096x96.jpg", "no name the plug-in gives"}},
     {":p96x96.jpg      96x96       5 bytes", ":p256x192.jpg    256x192     10 bytes"}},
    {L"read-only.jpg", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE,
     {{L":preview.jpg", "jpeg"}, {L":cache.ini", "[vistrel]\r\n:preview.jpg=2024.03.07 18:05:09|1a|256x256\r\n"}},
     {},
     {":preview.jpg     256x256     4 bytes"}},
    {L"no streams.mp3", FILE_ATTRIBUTE_ARCHIVE, {}, {{L":other.txt", "someone else's"}}, {}},
    {L"planted record.mp4", FILE_ATTRIBUTE_ARCHIVE, {{L":preview.jpg", "jpeg"}, {L":cache.ini", plantedRecord()}}, {},
     {":preview.jpg     ?           4 bytes", ":cache.ini       damaged"}},
};

class HostCache : public ::testing::Test {
protected:
    ScratchDir scratch{L"host-cache"};
    std::wstring files = scratch.path + L"files\\";

    void SetUp() override
    {
        ASSERT_TRUE(CopyFileW((ExeDirectory() + L"vistrel-host.exe").c_str(),
                              (scratch.path + L"vistrel-host.exe").c_str(), FALSE));
        ASSERT_TRUE(CreateDirectoryW(files.c_str(), NULL));
    }

    std::wstring make(const CachedFile& f)
    {
        std::wstring path = files + f.name;
        EXPECT_TRUE(WriteFileBytes(path, "the file's own data"));
        for (const Streams* streams : {&f.plugin, &f.other})
            for (const auto& stream : *streams) EXPECT_TRUE(WriteFileBytes(path + stream.first, stream.second));
        EXPECT_TRUE(SetFileAttributesW(path.c_str(), f.attributes));
        EXPECT_TRUE(SetTimes(path, {oldTime(), oldTime(), oldTime()}));
        return path;
    }
};

TEST_F(HostCache, ListShowsAndClearRemovesOnlyThePluginsStreams)
{
    for (const CachedFile& f : kFiles) make(f);

    HostRun list = RunHost(scratch.path, {L"cache", L"list", files});
    EXPECT_EQ(0u, list.exitCode) << list.output;
    for (const CachedFile& f : kFiles) {
        size_t at = list.output.find(Utf8(files + f.name) + "\n");
        EXPECT_EQ(f.plugin.empty(), at == std::string::npos) << Utf8(f.name) << " in\n" << list.output;
        for (const char* line : f.listed)
            EXPECT_NE(std::string::npos, list.output.find(line, at)) << line << " in\n" << list.output;
        for (const auto& stream : f.other)
            EXPECT_EQ(std::string::npos, list.output.find("    " + Utf8(stream.first))) << list.output;
    }
    int holding = 0, thumbnails = 0;
    for (const CachedFile& f : kFiles) {
        holding += !f.plugin.empty();
        for (const auto& stream : f.plugin) thumbnails += stream.first != kCacheRecordStream;
    }
    std::string holdingText = std::to_string(holding) + " of ";
    EXPECT_NE(std::string::npos, list.output.find(holdingText)) << list.output;
    EXPECT_NE(std::string::npos, list.output.find("hold thumbnails: " + std::to_string(thumbnails) + " thumbnails"))
        << list.output;

    HostRun clear = RunHost(scratch.path, {L"cache", L"clear", files});
    EXPECT_EQ(0u, clear.exitCode) << clear.output;
    EXPECT_NE(std::string::npos, clear.output.find(holdingText)) << clear.output;
    for (const CachedFile& f : kFiles) {
        std::wstring path = files + f.name;
        for (const auto& stream : f.plugin) EXPECT_FALSE(FileExists(path + stream.first)) << Utf8(path + stream.first);
        for (const auto& stream : f.other) {
            std::string bytes;
            EXPECT_TRUE(ReadFileBytes(path + stream.first, &bytes)) << Utf8(path + stream.first);
            EXPECT_EQ(stream.second, bytes);
        }
        FileTimes now;
        ASSERT_TRUE(GetTimes(path, &now));
        EXPECT_EQ(TimeValue(oldTime()), TimeValue(now.write)) << Utf8(f.name);
        EXPECT_EQ(TimeValue(oldTime()), TimeValue(now.access)) << Utf8(f.name);
        EXPECT_EQ(f.attributes, GetFileAttributesW(path.c_str())) << Utf8(f.name);
    }

    HostRun again = RunHost(scratch.path, {L"cache", L"list", L"--recursive", scratch.path});
    EXPECT_NE(std::string::npos, again.output.find("0 of ")) << again.output;
}

TEST_F(HostCache, AFileInUseOrAMissingPathIsReportedAndLeftAlone)
{
    std::wstring path = make(kFiles[0]);
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    HostRun clear = RunHost(scratch.path, {L"cache", L"clear", path, files + L"missing.mp4"});
    CloseHandle(writer);

    EXPECT_EQ(1u, clear.exitCode) << clear.output;
    EXPECT_NE(std::string::npos, clear.output.find("open in another program")) << clear.output;
    EXPECT_NE(std::string::npos, clear.output.find("missing.mp4: no such file or folder")) << clear.output;
    for (const auto& stream : kFiles[0].plugin) EXPECT_TRUE(FileExists(path + stream.first));
}

} // namespace
