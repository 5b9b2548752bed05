#include <gtest/gtest.h>

#include "plugin/jpeg_fit.h"

namespace {

TEST(JpegFit, FitsIntoTheBoxWithoutEnlarging)
{
    struct Case {
        unsigned pictureWidth, pictureHeight, boxWidth, boxHeight, width, height;
    } cases[] = {
        {4000, 3000, 192, 192, 192, 144},  // limited by the width
        {3000, 4000, 192, 192, 144, 192},  // limited by the height
        {150, 150, 100, 100, 100, 100},
        {50, 40, 96, 96, 50, 40},          // never enlarged
        {96, 96, 96, 96, 96, 96},
        {97, 96, 96, 96, 96, 95},
        {1000, 10, 96, 96, 96, 1},         // 0.96 truncates to 0, raised to 1
        {10, 1000, 96, 96, 1, 96},
        {65500, 1, 8, 8, 8, 1},
        {1930, 1440, 200, 144, 193, 144},  // an odd side for the halving
        // Products beyond 32 bits: a wrapped 70000 x 65000 would pick a
        // picture wider than its source.
        {65500, 65000, 70000, 50000, 50384, 50000},
    };
    for (const Case& c : cases) {
        unsigned width = 0, height = 0;
        fitJpegSize(c.pictureWidth, c.pictureHeight, c.boxWidth, c.boxHeight, &width, &height);
        EXPECT_EQ(c.width, width) << c.pictureWidth << "x" << c.pictureHeight << " into " << c.boxWidth << "x" << c.boxHeight;
        EXPECT_EQ(c.height, height) << c.pictureWidth << "x" << c.pictureHeight << " into " << c.boxWidth << "x" << c.boxHeight;
    }
}

} // namespace
