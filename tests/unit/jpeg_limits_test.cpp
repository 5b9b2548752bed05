// Files that declare far more than they hold must not freeze the host, while
// genuinely large photos still make thumbnails.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>
#include <stdlib.h>

#include <string>

#include "jpeg_samples_test.h"
#include "plugin/jpeg_bitmap.h"
#include "plugin/jpeg_decode.h"
#include "support/scratch.h"

namespace {

struct DecodeRun {
    bool decoded = false;
    int width = 0, height = 0;
    double seconds = 0;
    size_t peakGrowth = 0; // bytes the process peak rose during the decode
    std::vector<unsigned char> pixels;
};

size_t peakCommit()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakPagefileUsage;
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

TEST(JpegLimits, TinyProgressiveFileDeclaringFourGigapixelsIsRefusedAtOnce)
{
    std::wstring bomb = FixtureFolder() + L"issue205.jpg";
    ASSERT_TRUE(FileExists(bomb)) << "fixture missing: run scripts/setup";
    DecodeRun run = decode(bomb, 192, 192);
    EXPECT_FALSE(run.decoded);
    EXPECT_LT(run.seconds, kQuickSeconds);
    EXPECT_LT(run.peakGrowth, kLittleMemory);
    HBITMAP bitmap = makeThumbnailBitmap(bomb.c_str(), 96, 96);
    EXPECT_EQ(nullptr, bitmap);
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
