// The bitmap handed to the host: its size on the NT family, its row order
// and alignment, its colours, and clean failure on files that are no JPEG.
#include <gtest/gtest.h>

#include <windows.h>
#include <string.h>

#include <string>
#include <vector>

#include "jpeg_samples_test.h"
#include "plugin/jpeg_bitmap.h"
#include "support/media.h"
#include "support/scratch.h"

namespace {

struct BitmapFacts {
    int width = 0, height = 0;
    bool dibSection = false; // false: the halved, screen-format bitmap
};

BitmapFacts factsOf(HBITMAP bitmap)
{
    BitmapFacts facts;
    DIBSECTION dib;
    int got = GetObjectW(bitmap, sizeof dib, &dib);
    facts.width = dib.dsBm.bmWidth;
    facts.height = dib.dsBm.bmHeight;
    facts.dibSection = got == (int)sizeof dib;
    return facts;
}

std::wstring writeJpeg(const ScratchDir& dir, const std::wstring& name, const JpegRecipe& recipe)
{
    std::wstring path = dir.path + name;
    EXPECT_TRUE(WriteFileBytes(path, EncodeJpeg(recipe)));
    return path;
}

TEST(JpegBitmap, SizeAndKindOnTheNtFamily)
{
    ScratchDir dir(L"jpeg-bitmap-sizes");
    struct Case {
        unsigned pictureWidth, pictureHeight;
        int cellWidth, cellHeight;
        int width, height;
        bool halved;
    } cases[] = {
        {4000, 3000, 96, 96, 96, 72, true},   // decoded 192 x 144, then halved
        {150, 150, 100, 100, 100, 100, false}, // fits the doubled cell: decoded straight
        {50, 40, 96, 96, 50, 40, false},      // never enlarged
        {1930, 1440, 100, 72, 96, 72, true},  // decoded 193 x 144
        {1000, 10, 96, 96, 96, 1, true},      // decoded 192 x 1: a side is never halved to 0
        {10, 1000, 96, 96, 1, 96, true},
    };
    for (const Case& c : cases) {
        JpegRecipe recipe;
        recipe.width = c.pictureWidth;
        recipe.height = c.pictureHeight;
        std::wstring path = writeJpeg(dir, std::to_wstring(c.pictureWidth) + L"x" + std::to_wstring(c.pictureHeight) + L".jpg", recipe);
        HBITMAP bitmap = makeThumbnailBitmap(path.c_str(), c.cellWidth, c.cellHeight);
        ASSERT_NE(nullptr, bitmap) << c.pictureWidth << "x" << c.pictureHeight;
        BitmapFacts facts = factsOf(bitmap);
        EXPECT_EQ(c.width, facts.width) << c.pictureWidth << "x" << c.pictureHeight;
        EXPECT_EQ(c.height, facts.height) << c.pictureWidth << "x" << c.pictureHeight;
        EXPECT_EQ(c.halved, !facts.dibSection) << c.pictureWidth << "x" << c.pictureHeight;
        DeleteObject(bitmap);
    }
}

TEST(JpegBitmap, DibSectionIsBottomUpWithDwordRowsAndBgrPixels)
{
    ScratchDir dir(L"jpeg-bitmap-layout");
    // Widths whose 3-byte rows need 0 to 3 filler bytes.
    for (unsigned width : {12u, 13u, 14u, 15u}) {
        JpegRecipe recipe;
        recipe.width = width;
        recipe.height = 7;
        recipe.hSamp = recipe.vSamp = 1;
        std::string bytes = EncodeJpeg(recipe);
        std::wstring path = dir.path + std::to_wstring(width) + L".jpg";
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        DecodedJpeg ref;
        ASSERT_TRUE(DecodeFully(bytes, &ref));

        HBITMAP bitmap = makeThumbnailBitmap(path.c_str(), 16, 16);
        ASSERT_NE(nullptr, bitmap);
        DIBSECTION dib;
        ASSERT_EQ((int)sizeof dib, GetObjectW(bitmap, sizeof dib, &dib));
        EXPECT_EQ(24, dib.dsBmih.biBitCount);
        EXPECT_EQ(BI_RGB, dib.dsBmih.biCompression);
        EXPECT_GT(dib.dsBmih.biHeight, 0) << "rows must be bottom-up";
        size_t stride = (width * 3 + 3) / 4 * 4;
        EXPECT_EQ((LONG)stride, dib.dsBm.bmWidthBytes);
        const unsigned char* bits = (const unsigned char*)dib.dsBm.bmBits;
        for (unsigned y = 0; y < 7; y++) {
            // Memory row y holds picture row 6 - y, blue first.
            const unsigned char* source = ref.samples.data() + (size_t)(6 - y) * width * 3;
            for (unsigned x = 0; x < width; x++) {
                const unsigned char* px = bits + stride * y + x * 3;
                ASSERT_EQ(source[x * 3 + 2], px[0]) << width << " row " << y << " col " << x;
                ASSERT_EQ(source[x * 3 + 1], px[1]);
                ASSERT_EQ(source[x * 3 + 0], px[2]);
            }
        }
        DeleteObject(bitmap);
    }
}

TEST(JpegBitmap, ColoursSurviveDecodingAndHalving)
{
    ScratchDir dir(L"jpeg-bitmap-colours");
    struct Case {
        JpegKind kind;
        unsigned width, height; // above the doubled 48 x 48 cell: halved
        bool halved;
    } cases[] = {
        {JpegKind::Gray, 30, 20, false}, {JpegKind::Gray, 300, 200, true},
        {JpegKind::Cmyk, 30, 20, false}, {JpegKind::Cmyk, 300, 200, true},
        {JpegKind::Rgb, 300, 200, true},
    };
    for (const Case& c : cases) {
        JpegRecipe recipe;
        recipe.kind = c.kind;
        recipe.width = c.width;
        recipe.height = c.height;
        std::wstring path = writeJpeg(dir, std::to_wstring((int)c.kind) + L"-" + std::to_wstring(c.width) + L".jpg", recipe);
        HBITMAP bitmap = makeThumbnailBitmap(path.c_str(), 48, 48);
        ASSERT_NE(nullptr, bitmap);
        BitmapFacts facts = factsOf(bitmap);
        EXPECT_EQ(c.halved, !facts.dibSection);
        BitmapPixels read;
        ASSERT_TRUE(ReadBitmapPixels(bitmap, &read));
        const std::vector<unsigned char>& bgr = read.bgr;
        ASSERT_EQ((size_t)facts.width * facts.height * 3, bgr.size());
        size_t grey = 0, white = 0;
        for (size_t i = 0; i < bgr.size(); i += 3) {
            grey += bgr[i] == bgr[i + 1] && bgr[i + 1] == bgr[i + 2];
            white += bgr[i] == 255 && bgr[i + 1] == 255 && bgr[i + 2] == 255;
        }
        size_t pixels = bgr.size() / 3;
        if (c.kind == JpegKind::Gray) {
            EXPECT_EQ(pixels, grey) << "grey pixels keep equal channels";
        }
        if (c.kind == JpegKind::Cmyk) {
            EXPECT_EQ(pixels, white) << "CMYK gives a white picture";
        }
        if (c.kind == JpegKind::Rgb) {
            EXPECT_LT(grey, pixels / 4) << "colour stays colour";
        }
        DeleteObject(bitmap);
    }
}

TEST(JpegBitmap, RedAndBlueKeepTheirPlacesThroughHalving)
{
    // One flat colour: averaging equal pixels keeps it, so a swapped
    // channel would show plainly, halved or not.
    ScratchDir dir(L"jpeg-bitmap-rb");
    for (unsigned size : {20u, 400u}) {
        JpegRecipe recipe;
        recipe.width = size;
        recipe.height = size * 3 / 4;
        recipe.flat = true;
        recipe.flatRgb[0] = 200, recipe.flatRgb[1] = 120, recipe.flatRgb[2] = 30;
        std::wstring path = writeJpeg(dir, std::to_wstring(size) + L".jpg", recipe);
        HBITMAP bitmap = makeThumbnailBitmap(path.c_str(), 50, 50);
        ASSERT_NE(nullptr, bitmap);
        BitmapPixels read;
        ASSERT_TRUE(ReadBitmapPixels(bitmap, &read));
        const std::vector<unsigned char>& bgr = read.bgr;
        ASSERT_FALSE(bgr.empty());
        for (size_t i = 0; i < bgr.size(); i += 3) {
            ASSERT_NEAR(30, bgr[i], 4) << size << ": blue at pixel " << i / 3;
            ASSERT_NEAR(120, bgr[i + 1], 4) << size << ": green at pixel " << i / 3;
            ASSERT_NEAR(200, bgr[i + 2], 4) << size << ": red at pixel " << i / 3;
        }
        DeleteObject(bitmap);
    }
}

} // namespace
