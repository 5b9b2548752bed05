// Comic and album thumbnails for real: private copies of the plug-in, with
// the UnRAR library beside them, hand the cover to the converter stand-in.
// The pages are solid colours, and red is always the page that the cover
// choice must take (scripts/make-archives).
#include <windows.h>

#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/box_watcher.h"
#include "support/file_times.h"
#include "support/ini_text.h"
#include "support/media.h"
#include "support/plugin.h"
#include "support/rar_writer.h"
#include "support/scratch.h"

namespace {

const int kCell = 256;
const FILETIME kOldTime = MakeFileTime(2021, 5, 4, 3, 2, 1, 1234567);
const unsigned kRed = 0xff2020, kGreen = 0x20c020, kNone = 0;

std::string fixture(const wchar_t* name)
{
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(ArchivePath(name), &bytes)) << Utf8(name);
    return bytes;
}

// Blue and green pages around the red one, stored after them.
std::string pagesRar(RarFormat format, bool solid, bool brokenTail = false)
{
    return StoredRar({format, solid, brokenTail,
                      {{L"010.jpg", fixture(L"blue.jpg")}, {L"002.jpg", fixture(L"green.jpg")},
                       {L"notes.txt", "text"}, {L"001.jpg", fixture(L"red.jpg")}}});
}

struct ArchiveThumbnails : ::testing::Test {
    ScratchDir dir{L"archives"};
    RunRecord converter{dir.path};
    LoadedPlugin plugin;
    BoxWatcher watcher;
    size_t boxesSeen = 0;

    void TearDown() override
    {
        UnloadPluginWithTools(&plugin);
        EXPECT_EQ(L"", newBoxes()) << "a box nobody expected";
    }
    // The last line of every box since the last call, each ending in ";".
    std::wstring newBoxes()
    {
        std::vector<SeenBox> boxes = watcher.boxes();
        std::wstring texts;
        for (; boxesSeen < boxes.size(); ++boxesSeen)
            texts += boxes[boxesSeen].text.substr(boxes[boxesSeen].text.rfind(L'\n') + 1) + L";";
        return texts;
    }
    int converterRuns()
    {
        std::string lines = converter.take();
        return (int)std::count(lines.begin(), lines.end(), '\n');
    }
    std::wstring place(const std::wstring& name, const std::string& bytes)
    {
        std::wstring path = dir.path + name;
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        EXPECT_TRUE(SetTimes(path, {kOldTime, kOldTime, kOldTime}));
        return path;
    }
};

TEST_F(ArchiveThumbnails, TheCoverOfEveryKindOfArchiveOrNothingAndNoTraces)
{
    const struct {
        const wchar_t* name; // the extension decides: comic (cbz, cbr, cb7, cbt) or album
        std::string bytes;
        unsigned colour; // of the thumbnail, kNone for no thumbnail
        const wchar_t* boxes;
    } rows[] = {
        {L"comic.cbz", fixture(L"comic.cbz"), kRed, L""},
        {L"album.zip", fixture(L"album.zip"), kRed, L""},
        {L"album as comic.cbz", fixture(L"album.zip"), kGreen, L""},
        {L"a zip really.cbr", fixture(L"comic.cbz"), kRed, L""},
        {L"rar4.cbr", pagesRar(kRar4, false), kRed, L""},
        {L"rar4 solid.cbr", pagesRar(kRar4, true), kRed, L""},
        {L"rar5.cbr", pagesRar(kRar5, false), kRed, L""},
        {L"rar5 solid.cbr", pagesRar(kRar5, true), kRed, L""},
        {L"album.rar",
         StoredRar({kRar5, true, false, {{L"01.jpg", fixture(L"green.jpg")}, {L"Scans/Cover.jpg", fixture(L"red.jpg")}}}),
         kRed, L""},
        {L"broken after the cover.cbr", pagesRar(kRar4, false, true), kRed, L"File header broken;"},
        {L"broken too.cbr", pagesRar(kRar5, false, true), kRed, L""}, // told once for all archives
        {L"mac junk.cbz", fixture(L"macos.cbz"), kRed, L""},
        {L"mac junk.zip", fixture(L"macos.zip"), kRed, L""},
        {L"mac junk.cbr",
         StoredRar({kRar5, false, false,
                    {{L"__MACOSX/._001.jpg", "\x00\x05\x16\x07 fork"}, {L"._000.jpg", "fork"}, {L"001.jpg", fixture(L"red.jpg")}}}),
         kRed, L""},
        {L"webp pages.cbz", fixture(L"webp.cbz"), kRed, L""},
        {L"webp and jpeg.cbz", fixture(L"webp-and-jpeg.cbz"), kRed, L""},
        {L"\u6f2b\u753b & 100%.cbz", fixture(L"comic.cbz"), kRed, L""},
        {L"\u6f2b\u753b & 100%.cbr", pagesRar(kRar5, true), kRed, L""},
        {L"empty.cbz", fixture(L"empty.cbz"), kNone, L""},
        {L"text.cbz", fixture(L"text.cbz"), kNone, L""},
        {L"stub.zip", fixture(L"stub.zip"), kNone, L""},
        {L"encrypted.cbz", fixture(L"encrypted.cbz"), kNone, L""},
        {L"encrypted data.cbr", fixture(L"encrypted-data.rar"), kNone, L""},
        {L"encrypted headers.cbr", fixture(L"encrypted-head.rar"), kNone, L""},
        {L"test.part1.rar", fixture(L"volume1\\test.part1.rar"), kNone, L"OutProcessFileError;"},
        {L"again.part1.rar", fixture(L"volume1\\test.part1.rar"), kNone, L""},
        {L"bomb.cbz", fixture(L"bomb.cbz"), kNone, L""},
        {L"solid.cb7", fixture(L"solid.cb7"), kRed, L""},
        {L"nonsolid.cb7", fixture(L"nonsolid.cb7"), kRed, L""},
        {L"comic.cbt", fixture(L"comic.cbt"), kRed, L""},
        {L"book3.epub", fixture(L"book3.epub"), kRed, L""},
        {L"book2.epub", fixture(L"book2.epub"), kRed, L""},
        {L"badopf.epub", fixture(L"badopf.epub"), kRed, L""},
        {L"encrypted.cb7", fixture(L"encrypted.cb7"), kNone, L""},
        {L"bomb.cb7", fixture(L"bomb.cb7"), kNone, L""},
    };
    for (bool cache : {false, true}) {
        UnloadPluginWithTools(&plugin);
        ASSERT_TRUE(LoadPluginWithTools(&plugin, {{L"ADS (bool)", cache ? L"1" : L"0"},
                                                  {L"UserRefreshTimeout (double)", L"-1"}}));
        for (const auto& row : rows) {
            SCOPED_TRACE(Utf8(row.name) + (cache ? " (stream cache)" : ""));
            std::wstring path = place(row.name, row.bytes);
            BitmapPixels made, again;
            ASSERT_EQ(row.colour != kNone, RequestPixels(plugin, path, kCell, kCell, &made));
            EXPECT_EQ(row.boxes, newBoxes());
            EXPECT_EQ(row.colour != kNone ? 1 : 0, converterRuns());
            ExpectTimesKept(path, kOldTime);
            if (row.colour == kNone) continue;
            EXPECT_LT(ColourDistance(MeanColourAt(made, 0.25, 0.25, 0.5, 0.5), row.colour), 40.0);
            if (!cache) continue;
            ASSERT_TRUE(RequestPixels(plugin, path, kCell, kCell, &again));
            EXPECT_EQ(0, converterRuns()) << "the converter ran on a cache hit";
            EXPECT_TRUE(made.bgr == again.bgr);
            ExpectTimesKept(path, kOldTime);
        }
    }
}

// The library is looked for beside the plug-in only, and its absence
// costs nothing but RAR thumbnails.
TEST_F(ArchiveThumbnails, WithoutTheUnrarLibraryOnlyRarArchivesFailAndSaySo)
{
    ScratchDir bare(L"no unrar");
    ASSERT_TRUE(WriteFileBytes(bare.path + L"vistrel.ini",
                               Utf16Bytes(L"[vistrel]\r\nffmpegPath (chars)=" + RealToolPath(L"ffmpeg.exe") +
                                          L"\r\nffprobePath (chars)=" + RealToolPath(L"ffprobe.exe") +
                                          L"\r\nirfanviewPath (chars)=" + ToolsFolder() +
                                          L"bin\\IrfanView_64\\i_view64.exe\r\n")));
    LoadedPlugin lone;
    ASSERT_TRUE(LoadPluginCopy(bare.path, &lone));
    EXPECT_FALSE(RequestPixels(lone, place(L"rar5.cbr", pagesRar(kRar5, false)), kCell, kCell));
    EXPECT_FALSE(RequestPixels(lone, place(L"rar4.cbr", pagesRar(kRar4, false)), kCell, kCell));
    std::vector<SeenBox> boxes = watcher.boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(0u, boxes[0].text.find(L"Error\n" + bare.path + L"UnRAR64.dll\n\n")) << Utf8(boxes[0].text);
    boxesSeen = 1;
    EXPECT_TRUE(RequestPixels(lone, place(L"comic.cbz", fixture(L"comic.cbz")), kCell, kCell));
    EXPECT_TRUE(RequestPixels(lone, CopyMedia(L"clip.mp4", dir.path), kCell, kCell));
    UnloadPlugin(&lone);
}

SIZE_T peakVirtualBytes()
{
    VM_COUNTERS counters = {};
    ULONG size = 0;
    return NtQueryInformationProcess(GetCurrentProcess(), ProcessVmCounters, &counters, sizeof counters, &size) == 0
               ? counters.PeakVirtualSize
               : 0;
}

// The UnRAR library writes no file of its own, whatever the archive says
// (stream records whose names climb out of the cover's file), and what it
// would unpack or allocate on a header's word stays within our bounds: a
// small archive costs neither time nor memory.
TEST_F(ArchiveThumbnails, RarArchivesNeverWriteAFileNorSpendBeyondTheBounds)
{
    const std::wstring planted = L"vsl planted.txt";
    const std::string red = fixture(L"red.jpg");
    auto climbing = [&](RarFormat format) {
        RarEntry cover{L"001.jpg", red};
        cover.streamName = L":x\\..\\..\\" + planted;
        cover.streamData = "planted";
        return StoredRar({format, false, false, {cover}});
    };
    RarEntry hugeDictionary{L"001.jpg", ""};
    hugeDictionary.zeros = 5000;
    hugeDictionary.dictionaryBits = 15; // 4 GiB, allocated and cleared up front
    RarEntry largeStream{L"001.jpg", red};
    largeStream.streamName = L":big";
    largeStream.streamData.assign((1 << 20) + 1, 's');
    auto zerosBefore = [&](unsigned long long zeros) {
        RarEntry before{L"notes.bin", ""};
        before.zeros = zeros;
        return StoredRar({kRar5, true, false, {before, {L"001.jpg", red}}});
    };
    const struct {
        const wchar_t* name;
        std::string bytes;
        unsigned colour;
    } rows[] = {
        {L"stream record climbs.cbr", climbing(kRar5), kRed},
        {L"stream record climbs, RAR4.cbr", climbing(kRar4), kRed},
        {L"4 GiB dictionary.cbr", StoredRar({kRar5, false, false, {hugeDictionary}}), kNone},
        {L"large stream record.cbr", StoredRar({kRar5, false, false, {largeStream}}), kNone},
        {L"2 GiB of zeros before the cover.cbr", zerosBefore(2ULL << 30), kNone},
        {L"64 MiB of zeros before the cover.cbr", zerosBefore(64ULL << 20), kRed},
    };
    ASSERT_TRUE(LoadPluginWithTools(&plugin, {{L"UserRefreshTimeout (double)", L"-1"}}));
    // Virtual, not working set: the library's window is zeroed memory that
    // it never touches, but it is committed (on Windows, commit charge).
    const SIZE_T peakBefore = peakVirtualBytes();
    for (const auto& row : rows) {
        SCOPED_TRACE(Utf8(row.name));
        std::wstring path = place(row.name, row.bytes);
        BitmapPixels made;
        ULONGLONG start = GetTickCount64();
        EXPECT_EQ(row.colour != kNone, RequestPixels(plugin, path, kCell, kCell, &made));
        // Unpacking what the refused rows declare takes the library
        // seconds; refusing them takes a fraction of one.
        if (row.colour == kNone) {
            EXPECT_LT(GetTickCount64() - start, 3000u);
        }
        EXPECT_EQ(L"", newBoxes());
        EXPECT_EQ(row.colour != kNone ? 1 : 0, converterRuns());
        ExpectTimesKept(path, kOldTime);
        if (row.colour != kNone) {
            EXPECT_LT(ColourDistance(MeanColourAt(made, 0.25, 0.25, 0.5, 0.5), row.colour), 40.0);
        }
    }
    EXPECT_LT(peakVirtualBytes(), peakBefore + (512u << 20)) << "memory beyond the bounds";
    // Where the climbing names lead from a file in the temporary folder,
    // and that folder itself.
    wchar_t temp[MAX_PATH], target[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    ASSERT_GT(GetFullPathNameW((temp + (L"vsl.tmp:x\\..\\..\\" + planted)).c_str(), MAX_PATH, target, NULL), 0u);
    EXPECT_FALSE(FileExists(target)) << Utf8(target);
    EXPECT_EQ(L"", FindFileBelow(temp, planted));
}

} // namespace
