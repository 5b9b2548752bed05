// Files that declare far more than they hold must not freeze the host, while
// genuinely large photos still make thumbnails.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>
#include <limits.h>
#include <stdlib.h>

#include <string>

#include "jpeg_samples_test.h"
#include "plugin/jpeg_bitmap.h"
#include "plugin/jpeg_decode.h"
#include "plugin/jpeg_guard.h"
#include "support/scratch.h"

namespace {

struct DecodeRun {
    bool decoded = false;
    int width = 0, height = 0;
    double seconds = 0;
    size_t peakGrowth = 0; // bytes the process peak rose during the decode
    std::vector<unsigned char> pixels;
};

// Wine keeps no peak of the commit charge (its "peak" is the current
// value), but does keep the peak working set, which a decoder that fills
// a large buffer raises too.
size_t peakCommit()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakPagefileUsage > counters.PeakWorkingSetSize ? counters.PeakPagefileUsage
                                                                    : counters.PeakWorkingSetSize;
}

DecodeRun decode(const std::wstring& path, int boxWidth, int boxHeight)
{
    DecodeRun run;
    run.width = boxWidth;
    run.height = boxHeight;
    bool supersample = false;
    size_t peak = peakCommit();
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    unsigned char* pixels = decodeJpegToRgb(path.c_str(), &run.width, &run.height, &supersample);
    QueryPerformanceCounter(&end);
    run.seconds = (double)(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    run.peakGrowth = peakCommit() - peak;
    run.decoded = pixels != NULL;
    if (pixels) run.pixels.assign(pixels, pixels + (size_t)run.width * run.height * 3);
    free(pixels);
    return run;
}

// Generous bounds: they catch a decoder that walks a declared picture of
// four gigapixels (minutes, gigabytes), not a slow machine.
const double kQuickSeconds = 2.0;
const size_t kLittleMemory = 64u << 20;

// Progressive files that declare a huge picture and hold next to nothing:
// each empty scan would walk all the declared blocks again.
TEST(JpegLimits, ProgressiveBombsAreRefusedAtOnce)
{
    ScratchDir dir(L"jpeg-limits-bombs");
    struct Case {
        const char* what;
        std::string bytes;
        size_t memory; // bound of the peak's growth
    } const cases[] = {
        {"64250 x 64250, as found in the wild", "", kLittleMemory},
        // 1 KB; a coefficient buffer of 1 GB
        {"22000 x 22000, 100 empty scans", WithDimensions(ManyScanJpeg(16, 16, 100), 22000, 22000), kLittleMemory},
        // Its buffer fits the memory bound: the block walks refuse it.
        {"12000 x 12000, 100 empty scans", WithDimensions(ManyScanJpeg(16, 16, 100), 12000, 12000),
         (size_t)12000 * 12000 * 2 + kLittleMemory},
    };
    for (const Case& c : cases) {
        std::wstring path = FixtureFolder() + L"issue205.jpg";
        if (!c.bytes.empty()) {
            path = dir.path + L"bomb.jpg";
            ASSERT_LT(c.bytes.size(), 4096u) << c.what;
            ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        }
        ASSERT_TRUE(FileExists(path)) << "fixture missing: run scripts/setup";
        DecodeRun run = decode(path, 192, 192);
        EXPECT_FALSE(run.decoded) << c.what;
        EXPECT_LT(run.seconds, kQuickSeconds) << c.what;
        EXPECT_LT(run.peakGrowth, c.memory) << c.what;
        EXPECT_EQ(nullptr, makeThumbnailBitmap(path.c_str(), 96, 96)) << c.what;
    }
}

TEST(JpegLimits, BaselineFileDeclaringFourGigapixelsEndsQuicklyWithLittleMemory)
{
    // Sequential files need no coefficient buffer; the decoder reads only
    // the used rows' blocks, so the missing data costs little time.
    ScratchDir dir(L"jpeg-limits-baseline");
    JpegRecipe recipe;
    recipe.width = 64;
    recipe.height = 64;
    std::wstring path = dir.path + L"huge.jpg";
    ASSERT_TRUE(WriteFileBytes(path, WithDimensions(EncodeJpeg(recipe), 64250, 64250)));
    DecodeRun run = decode(path, 192, 192);
    EXPECT_TRUE(run.decoded);
    EXPECT_EQ(192, run.width);
    EXPECT_EQ(192, run.height);
    EXPECT_LT(run.seconds, 3 * kQuickSeconds);
    EXPECT_LT(run.peakGrowth, kLittleMemory);
}

TEST(JpegLimits, ScanCountIsBounded)
{
    ScratchDir dir(L"jpeg-limits-scans");
    struct Case {
        int scans;
        bool decoded;
    } cases[] = {{64, true}, {100, true}, {101, false}, {190, false}};
    for (const Case& c : cases) {
        std::string bytes = ManyScanJpeg(40, 30, c.scans);
        ASSERT_FALSE(bytes.empty()) << c.scans;
        std::wstring path = dir.path + std::to_wstring(c.scans) + L".jpg";
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        DecodeRun run = decode(path, 40, 30);
        EXPECT_EQ(c.decoded, run.decoded) << c.scans << " scans";
        if (!run.decoded) continue;
        DecodedJpeg ref;
        ASSERT_TRUE(DecodeFully(bytes, &ref));
        ExpectedPicture expected = ExpectedSelection(ref, 40, 30);
        EXPECT_EQ(expected.rgb, run.pixels) << c.scans << " scans";
    }
}

// The pixel buffer of a doubled cell of 18,900 px would wrap a 32-bit size;
// long before that it exceeds what a host can give: the doubling is given
// up, and a plain cell too large is refused before anything is allocated.
TEST(JpegLimits, OversizedCellsGiveUpTheDoublingOrAreRefused)
{
    ScratchDir dir(L"jpeg-limits-cells");
    JpegRecipe recipe;
    recipe.kind = JpegKind::Gray;
    // The smallest cell whose doubled picture no longer fits the bound.
    unsigned cell = 1;
    while ((size_t)(4 * cell) * (4 * cell) * 3 <= kJpegMaxPixelBytes) cell *= 2;
    struct Case {
        unsigned pictureSide, cell;
        bool decoded;
        unsigned side; // of the decoded picture
    } const cases[] = {
        {3 * cell, cell + 1, true, cell + 1},
        {40000, 2 * cell + 8, false, 0},
    };
    for (const Case& c : cases) {
        std::wstring path = dir.path + L"large.jpg";
        ASSERT_TRUE(WriteFileBytes(path, WithDimensions(EncodeJpeg(recipe), c.pictureSide, c.pictureSide)));
        int width = (int)(2 * c.cell), height = (int)(2 * c.cell);
        bool supersample = true;
        size_t peak = peakCommit();
        unsigned char* pixels = decodeJpegToRgb(path.c_str(), &width, &height, &supersample);
        EXPECT_LT(peakCommit() - peak, (size_t)c.side * c.side * 3 + kLittleMemory) << c.cell;
        EXPECT_EQ(c.decoded, pixels != NULL) << c.cell;
        if (pixels) {
            EXPECT_FALSE(supersample) << c.cell;
            EXPECT_EQ(c.side, (unsigned)width) << c.cell;
            EXPECT_EQ(c.side, (unsigned)height) << c.cell;
        }
        free(pixels);
    }
    // No cell size overflows on its way to the box.
    std::wstring small = dir.path + L"small.jpg";
    ASSERT_TRUE(WriteFileBytes(small, EncodeJpeg(recipe)));
    HBITMAP bitmap = makeThumbnailBitmap(small.c_str(), INT_MAX, INT_MAX);
    BITMAP info = {};
    ASSERT_TRUE(bitmap && GetObjectW(bitmap, sizeof info, &info));
    EXPECT_EQ((LONG)recipe.width, info.bmWidth);
    DeleteObject(bitmap);
}

TEST(JpegLimits, HundredMegapixelProgressivePhotoMakesAThumbnail)
{
    ScratchDir dir(L"jpeg-limits-large");
    JpegRecipe recipe;
    recipe.width = 12288;
    recipe.height = 8192;
    recipe.progressive = true;
    recipe.quality = 75;
    std::wstring path = dir.path + L"large.jpg";
    ASSERT_TRUE(WriteFileBytes(path, EncodeJpeg(recipe)));
    DecodeRun run = decode(path, 192, 192);
    ASSERT_TRUE(run.decoded);
    EXPECT_EQ(192, run.width);
    EXPECT_EQ(128, run.height);
    size_t white = 0;
    for (unsigned char sample : run.pixels) white += sample == 255;
    EXPECT_LT(white, run.pixels.size() / 4) << "rows were decoded";
}

} // namespace
