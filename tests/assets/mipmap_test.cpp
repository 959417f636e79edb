// Mipmap levels built on the CPU: box averages in place, odd sides folding
// their last texel in, rounding to nearest; no GPU.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "assets/assets.h"

namespace {

// One channel value per texel, repeated into all four channels.
std::vector<uint8_t> gray(std::initializer_list<uint8_t> values) {
    std::vector<uint8_t> pixels;
    for (uint8_t v : values) pixels.insert(pixels.end(), {v, v, v, v});
    return pixels;
}

uint8_t texel(const std::vector<uint8_t>& pixels, size_t index) { return pixels[index * 4]; }

}  // namespace

TEST(ImageHalve, EvenSidesAverageTwoByTwoBlocksRoundedToNearest) {
    // 4 x 2, rows bottom to top as stored.
    std::vector<uint8_t> pixels = gray({0, 0, 10, 20,
                                        0, 1, 30, 41});
    uint32_t w = 4, h = 2;
    image_halve(pixels.data(), &w, &h);
    EXPECT_EQ(w, 2u);
    EXPECT_EQ(h, 1u);
    EXPECT_EQ(texel(pixels, 0), 0);    // 1 / 4 rounds down
    EXPECT_EQ(texel(pixels, 1), 25);   // 101 / 4 = 25.25
}

TEST(ImageHalve, OddSidesFoldTheirLastTexelIntoTheLastOutput) {
    // 5 x 3: output 2 x 1; texel 0 covers columns 0-1, texel 1 columns 2-4,
    // both all three rows.
    std::vector<uint8_t> pixels = gray({ 6,  6, 90, 90, 90,
                                         6,  6, 90, 90, 90,
                                         6,  6, 90, 90, 255});
    uint32_t w = 5, h = 3;
    image_halve(pixels.data(), &w, &h);
    EXPECT_EQ(w, 2u);
    EXPECT_EQ(h, 1u);
    EXPECT_EQ(texel(pixels, 0), 6);
    EXPECT_EQ(texel(pixels, 1), (8 * 90 + 255 + 4) / 9);
}

TEST(ImageHalve, ThinImagesHalveAlongTheLongSideOnly) {
    std::vector<uint8_t> column = gray({255, 255, 0, 255, 7, 9});
    uint32_t w = 1, h = 6;
    image_halve(column.data(), &w, &h);
    EXPECT_EQ(w, 1u);
    EXPECT_EQ(h, 3u);
    EXPECT_EQ(texel(column, 0), 255);   // no overflow at full white
    EXPECT_EQ(texel(column, 1), 128);   // 127.5 rounds up
    EXPECT_EQ(texel(column, 2), 8);

    std::vector<uint8_t> single = gray({42});
    w = h = 1;
    image_halve(single.data(), &w, &h);
    EXPECT_EQ(w, 1u);
    EXPECT_EQ(h, 1u);
    EXPECT_EQ(texel(single, 0), 42);
}

TEST(ImageHalve, ChannelsStayApartAndLaterTexelsSurviveTheInPlaceWrites) {
    // 4 x 4 with a distinct value per texel and per channel: any output
    // written over a source texel still to be read would show.
    std::vector<uint8_t> pixels(4 * 4 * 4);
    for (size_t i = 0; i < 16; i++) {
        pixels[i * 4 + 0] = (uint8_t)(i * 4);
        pixels[i * 4 + 1] = (uint8_t)(200 - i * 8);
        pixels[i * 4 + 2] = (uint8_t)(i % 2 ? 255 : 0);
        pixels[i * 4 + 3] = 128;
    }
    uint32_t w = 4, h = 4;
    image_halve(pixels.data(), &w, &h);
    ASSERT_EQ(w, 2u);
    ASSERT_EQ(h, 2u);
    // Output (x, y) averages source texels (2x, 2y), (2x+1, 2y), (2x, 2y+1), (2x+1, 2y+1).
    const size_t firsts[4] = {0, 2, 8, 10};
    for (size_t o = 0; o < 4; o++) {
        size_t s = firsts[o];
        uint32_t red = (uint32_t)(s + (s + 1) + (s + 4) + (s + 5)) * 4;
        uint32_t green = 4 * 200 - (uint32_t)(s + (s + 1) + (s + 4) + (s + 5)) * 8;
        EXPECT_EQ(pixels[o * 4 + 0], (red + 2) / 4) << o;
        EXPECT_EQ(pixels[o * 4 + 1], (green + 2) / 4) << o;
        EXPECT_EQ(pixels[o * 4 + 2], 128) << o;   // 510 / 4 = 127.5 rounds up
        EXPECT_EQ(pixels[o * 4 + 3], 128) << o;
    }
}
