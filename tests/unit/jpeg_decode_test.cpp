// The thumbnail decode must give exactly the pixels of a full default decode
// followed by the row and column choice, whatever rows the decoder skipped.
#include <gtest/gtest.h>

#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "jpeg_samples_test.h"
#include "plugin/jpeg_decode.h"
#include "plugin/jpeg_guard.h"
#include "support/scratch.h"

namespace {

struct Sampling {
    JpegKind kind;
    int h, v;
};
// Every luma sampling libjpeg accepts in an interleaved scan with 1x1 chroma
// (4x4 would exceed ten blocks per MCU), and greyscale.
const Sampling kSamplings[] = {
    {JpegKind::Gray, 1, 1}, {JpegKind::Rgb, 1, 1}, {JpegKind::Rgb, 2, 1}, {JpegKind::Rgb, 1, 2},
    {JpegKind::Rgb, 2, 2},  {JpegKind::Rgb, 3, 1}, {JpegKind::Rgb, 1, 3}, {JpegKind::Rgb, 4, 1},
    {JpegKind::Rgb, 1, 4},  {JpegKind::Rgb, 4, 2}, {JpegKind::Rgb, 2, 4}, {JpegKind::Rgb, 3, 2},
};

enum Coding { kBaseline, kProgressive, kArithmetic, kArithmeticProgressive, kRestarts };
JpegRecipe recipeFor(const Sampling& s, Coding coding, unsigned width, unsigned height)
{
    JpegRecipe r;
    r.kind = s.kind;
    r.hSamp = s.h;
    r.vSamp = s.v;
    r.width = width;
    r.height = height;
    r.progressive = coding == kProgressive || coding == kArithmeticProgressive;
    r.arithmetic = coding == kArithmetic || coding == kArithmeticProgressive;
    r.restartRows = coding == kRestarts ? 1 : 0;
    r.seed = width * 31 + height + s.h * 7 + s.v;
    return r;
}

// Reads `rows` (ascending) through readJpegRow; the index of the first row
// that differs from the reference, -1 when all match, -2 on a fatal error.
int firstWrongRow(const std::string& bytes, const DecodedJpeg& ref, const std::vector<unsigned>& rows)
{
    struct jpeg_decompress_struct cinfo;
    JpegErrorManager errors;
    volatile int wrong = -1;
    memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpegSilentErrors(&errors);
    if (__builtin_setjmp(errors.recovery)) {
        jpeg_destroy_decompress(&cinfo);
        return -2;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, (const unsigned char*)bytes.data(), (unsigned long)bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    size_t stride = (size_t)cinfo.output_width * cinfo.output_components;
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)((j_common_ptr)&cinfo, JPOOL_IMAGE, (JDIMENSION)stride, 1);
    for (unsigned r : rows) {
        if (!readJpegRow(&cinfo, r, row) || memcmp(row[0], ref.samples.data() + stride * r, stride) != 0) {
            wrong = (int)r;
            break;
        }
    }
    jpeg_destroy_decompress(&cinfo);
    return wrong;
}

// Decodes the file at `path` into `box` and compares with the reference.
// Returns "" when equal, else what differs.
std::string compareThumbnail(const std::wstring& path, const DecodedJpeg& ref, unsigned boxWidth,
                             unsigned boxHeight)
{
    int width = (int)boxWidth, height = (int)boxHeight;
    bool supersample = false;
    unsigned char* pixels = decodeJpegToRgb(path.c_str(), &width, &height, &supersample);
    ExpectedPicture expected = ExpectedSelection(ref, boxWidth, boxHeight);
    std::string verdict;
    char text[200];
    if (!pixels) {
        verdict = "no pixels";
    } else if ((unsigned)width != expected.width || (unsigned)height != expected.height) {
        snprintf(text, sizeof text, "size %dx%d, expected %ux%u", width, height, expected.width, expected.height);
        verdict = text;
    } else if (memcmp(pixels, expected.rgb.data(), expected.rgb.size()) != 0) {
        size_t i = 0;
        while (pixels[i] == expected.rgb[i]) i++;
        snprintf(text, sizeof text, "first difference at output row %u column %u",
                 (unsigned)(i / 3 / expected.width), (unsigned)(i / 3 % expected.width));
        verdict = text;
    }
    free(pixels);
    return verdict;
}

// Boxes that exercise fitting by width, by height, not at all, and tiny.
std::vector<std::pair<unsigned, unsigned>> boxesFor(unsigned w, unsigned h)
{
    std::vector<std::pair<unsigned, unsigned>> boxes = {
        {1, 1},   {8, 8},   {13, 7},      {96, 96},         {192, 192},     {100, 37},
        {w, h},   {w + 5, h + 9}, {w > 1 ? w - 1 : 1, h}, {w, h > 1 ? h - 1 : 1},
        {w / 2 + 1, h / 3 + 1}, {w / 3 + 1, h}, {w, h / 2 + 1}, {w * 2, h / 4 + 1}, {w / 7 + 1, h * 2}};
    return boxes;
}

struct TestFile {
    std::string name;
    std::wstring path;
    std::string bytes;
};

void expectFileMatches(const TestFile& file, bool sweepHeights)
{
    DecodedJpeg ref;
    if (!DecodeFully(file.bytes, &ref)) {
        // The library refuses it outright: so must the thumbnail decode.
        int width = 96, height = 96;
        bool supersample = false;
        unsigned char* pixels = decodeJpegToRgb(file.path.c_str(), &width, &height, &supersample);
        EXPECT_EQ(nullptr, pixels) << file.name;
        free(pixels);
        return;
    }
    for (auto box : boxesFor(ref.width, ref.height)) {
        EXPECT_EQ("", compareThumbnail(file.path, ref, box.first, box.second))
            << file.name << " into " << box.first << "x" << box.second;
    }
    if (!sweepHeights) return;
    // Every output height gives another pattern of skipped rows.
    for (unsigned h = 1; h < ref.height; h++) {
        std::string verdict = compareThumbnail(file.path, ref, ref.width, h);
        EXPECT_EQ("", verdict) << file.name << " into " << ref.width << "x" << h;
        if (!verdict.empty()) break;
    }
}

TEST(JpegRowSkipping, AnyRowsReadAfterSkipsEqualAFullDecode)
{
    // Pairs of rows probe every skip start and length within a few iMCU
    // rows; the longer random walks probe state carried across skips.
    for (const Sampling& s : kSamplings) {
        for (Coding coding : {kBaseline, kProgressive}) {
            JpegRecipe recipe = recipeFor(s, coding, 37, 53);
            std::string bytes = EncodeJpeg(recipe);
            DecodedJpeg ref;
            ASSERT_TRUE(DecodeFully(bytes, &ref)) << DescribeRecipe(recipe);
            int failures = 0;
            for (unsigned a = 0; a < ref.height && failures < 3; a++) {
                for (unsigned b = a + 1; b < ref.height && failures < 3; b++) {
                    int wrong = firstWrongRow(bytes, ref, {a, b});
                    if (wrong != -1) {
                        failures++;
                        ADD_FAILURE() << DescribeRecipe(recipe) << ": rows " << a << ", " << b << " -> " << wrong;
                    }
                }
            }
            srand(recipe.seed);
            for (int walk = 0; walk < 100 && failures < 3; walk++) {
                std::vector<unsigned> rows;
                for (unsigned r = rand() % 6; r < ref.height; r += 1 + rand() % (walk % 3 ? 9 : 33)) rows.push_back(r);
                int wrong = firstWrongRow(bytes, ref, rows);
                if (wrong != -1) {
                    failures++;
                    ADD_FAILURE() << DescribeRecipe(recipe) << ": walk " << walk << " wrong at " << wrong;
                }
            }
        }
    }
}

TEST(JpegThumbnailDecode, GeneratedPicturesMatchTheFullDecode)
{
    ScratchDir dir(L"jpeg-generated");
    const std::pair<unsigned, unsigned> sizes[] = {{1, 1}, {7, 5}, {45, 131}, {333, 41}};
    int index = 0;
    for (const Sampling& s : kSamplings) {
        for (Coding coding : {kBaseline, kProgressive, kArithmetic, kArithmeticProgressive, kRestarts}) {
            for (auto size : sizes) {
                JpegRecipe recipe = recipeFor(s, coding, size.first, size.second);
                TestFile file{DescribeRecipe(recipe), dir.path + std::to_wstring(index++) + L".jpg",
                              EncodeJpeg(recipe)};
                ASSERT_FALSE(file.bytes.empty()) << file.name;
                ASSERT_TRUE(WriteFileBytes(file.path, file.bytes));
                expectFileMatches(file, size.second == 131 && (coding == kBaseline || coding == kProgressive));
            }
        }
    }
}

TEST(JpegThumbnailDecode, LibraryTestImagesAndFixturesMatchTheFullDecode)
{
    std::vector<std::wstring> paths;
    for (const std::wstring& folder : {TestImagesFolder(), FixtureFolder()}) {
        ASSERT_FALSE(folder.empty()) << "VSL_TESTIMAGES is not set";
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((folder + L"*.jpg").c_str(), &data);
        ASSERT_NE(INVALID_HANDLE_VALUE, find) << "no JPEG files beside VSL_TESTIMAGES: run scripts/setup";
        do {
            // The bomb has its own test; decoding it here only proves its refusal again.
            if (_wcsicmp(data.cFileName, L"issue205.jpg") != 0) paths.push_back(folder + data.cFileName);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    ASSERT_GE(paths.size(), 8u);
    for (const std::wstring& path : paths) {
        TestFile file{std::string(path.begin(), path.end()), path, ""};
        ASSERT_TRUE(ReadFileBytes(path, &file.bytes));
        expectFileMatches(file, file.bytes.size() < 100000);
    }
}

TEST(JpegThumbnailDecode, DamagedFilesGiveTheRowsTheLibraryDelivers)
{
    ScratchDir dir(L"jpeg-damaged");
    std::vector<TestFile> files;
    std::string photo;
    ASSERT_TRUE(ReadFileBytes(TestImagesFolder() + L"testorig.jpg", &photo));
    std::string progressive;
    ASSERT_TRUE(ReadFileBytes(TestImagesFolder() + L"testimgint.jpg", &progressive));
    const Sampling s420 = {JpegKind::Rgb, 2, 2}, s14 = {JpegKind::Rgb, 1, 4};
    std::string generated[] = {photo, progressive, EncodeJpeg(recipeFor(s420, kBaseline, 203, 157)),
                               EncodeJpeg(recipeFor(s420, kProgressive, 203, 157)),
                               EncodeJpeg(recipeFor(s14, kArithmetic, 203, 157))};
    int index = 0;
    for (const std::string& whole : generated) {
        // Cut inside the entropy-coded data, and a stretch of it flipped.
        for (double keep : {0.35, 0.8}) {
            TestFile cut{"cut " + std::to_string(index), dir.path + std::to_wstring(index) + L"c.jpg",
                         whole.substr(0, (size_t)(whole.size() * keep))};
            files.push_back(cut);
        }
        TestFile flipped{"flipped " + std::to_string(index), dir.path + std::to_wstring(index) + L"f.jpg", whole};
        for (size_t i = flipped.bytes.size() / 2; i < flipped.bytes.size() / 2 + 40; i += 3) flipped.bytes[i] ^= 0x5a;
        files.push_back(flipped);
        index++;
    }
    for (const TestFile& file : files) {
        ASSERT_TRUE(WriteFileBytes(file.path, file.bytes));
        expectFileMatches(file, false);
    }
}

TEST(JpegThumbnailDecode, SupersampledBoxIsGivenUpWhenThePictureFitsIt)
{
    ScratchDir dir(L"jpeg-supersample");
    struct Case {
        unsigned pictureWidth, pictureHeight;
        int boxWidth, boxHeight;
        bool supersample;
        int width, height;
        bool supersampleAfter;
    } cases[] = {
        {4000, 3000, 192, 192, true, 192, 144, true},  // halved later to 96 x 72
        {150, 150, 200, 200, true, 100, 100, false},   // fits the doubled box
        {50, 40, 192, 192, true, 50, 40, false},       // smaller than the cell
        {1000, 10, 96, 96, false, 96, 1, false},       // height truncates to 0
        {1930, 1440, 200, 144, true, 193, 144, true},  // odd width, halved to 96 x 72
        {201, 10, 200, 200, true, 200, 9, true},       // one side over the box
        {170, 190, 200, 200, true, 89, 100, false},    // fits; then fitted into 100 x 100
    };
    for (const Case& c : cases) {
        JpegRecipe recipe;
        recipe.width = c.pictureWidth;
        recipe.height = c.pictureHeight;
        std::wstring path = dir.path + std::to_wstring(c.pictureWidth) + L"x" + std::to_wstring(c.pictureHeight) + L".jpg";
        ASSERT_TRUE(WriteFileBytes(path, EncodeJpeg(recipe)));
        int width = c.boxWidth, height = c.boxHeight;
        bool supersample = c.supersample;
        unsigned char* pixels = decodeJpegToRgb(path.c_str(), &width, &height, &supersample);
        EXPECT_NE(nullptr, pixels);
        EXPECT_EQ(c.width, width) << c.pictureWidth << "x" << c.pictureHeight;
        EXPECT_EQ(c.height, height) << c.pictureWidth << "x" << c.pictureHeight;
        EXPECT_EQ(c.supersampleAfter, supersample) << c.pictureWidth << "x" << c.pictureHeight;
        free(pixels);
    }
}

} // namespace
