#include "gif/ColorHistogram.h"

#include <gtest/gtest.h>

#include <map>

namespace {

TEST(ColorHistogram, CountsEveryColourInOrderForAnyNumberOfThreads)
{
    // Tall enough to be counted in several parts, with colours shared across them.
    const int width = 300, height = 2000;
    std::vector<uint8_t> pixels(3 * size_t(width) * height);
    std::map<uint32_t, uint32_t> expected;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[3 * (size_t(y) * width + size_t(x))];
            p[0] = uint8_t(x * 7 + y);         // blue
            p[1] = uint8_t((x / 3) ^ (y / 5)); // green
            p[2] = uint8_t(y % 17);            // red
            ++expected[PackRgb(p[2], p[1], p[0])];
        }
    std::vector<ColorCount> want;
    for (const auto& [rgb, count] : expected)
        want.push_back({rgb, count});
    const PixelRows rows{pixels.data(), 3 * width, width, height};
    for (int threads : {1, 2, 3})
        EXPECT_EQ(CountColors(rows, threads), want) << threads;
    EXPECT_TRUE(CountColors({pixels.data(), 0, 0, 5}, 1).empty());
}

} // namespace
