// Identity colors of the picking image (what a 16-bit target stores and what
// a pick decodes), frame buffer status lines and display-to-linear colors.
#include <cmath>

#include <gtest/gtest.h>

#include "render/shader.h"
#include "render/targets.h"

namespace {

// What a 16-bit unsigned normalised channel stores for a float color.
void store16(Vec4 color, uint16_t out[4]) {
    const float channels[4] = {color.x, color.y, color.z, color.w};
    for (int i = 0; i < 4; i++) out[i] = (uint16_t)std::lround((double)channels[i] * 65535.0);
}

TEST(IdentityColor, LanesBecomeChannelsOf65535ths) {
    Vec4 first = identity_color(identity_value(0, 0));
    EXPECT_EQ(first.x, (float)(1.0 / 65535.0));
    EXPECT_EQ(first.y, 0.0f);
    Vec4 wide = identity_color(identity_value(65535, 0));
    EXPECT_EQ(wide.x, 0.0f);
    EXPECT_EQ(wide.y, (float)(1.0 / 65535.0));
    // The second point's handle b of a path: sub-element 3 x 1 + 2.
    Vec4 handle = identity_color(identity_value(7, 5));
    EXPECT_EQ(handle.x, (float)(8.0 / 65535.0));
    EXPECT_EQ(handle.z, (float)(5.0 / 65535.0));
    EXPECT_EQ(handle.w, 0.0f);
}

TEST(IdentityColor, StoredChannelsDecodeToTheRowAndSubElement) {
    const int64_t rows[] = {0, 1, 65534, 65535, 65536, 1000000, 4294967294};
    const int64_t subs[] = {0, 1, 5, 65535, 65536, 3 * 40000 + 2};
    for (int64_t row : rows) {
        for (int64_t sub : subs) {
            uint16_t pixel[4];
            store16(identity_color(identity_value(row, sub)), pixel);
            PickedIdentity picked = identity_decode(pixel);
            EXPECT_EQ(picked.row_index, row);
            EXPECT_EQ(picked.sub_element, sub);
        }
    }
    const uint16_t background[4] = {0, 0, 0, 0};
    EXPECT_EQ(identity_decode(background).row_index, -1);
    EXPECT_EQ(identity_decode(background).sub_element, 0);
}

TEST(FrameBufferStatus, EachCodeHasItsLine) {
    auto text = [](int32_t status) {
        String s = frame_buffer_status_message(status);
        return std::string(reinterpret_cast<const char*>(s.data), (size_t)s.length);
    };
    EXPECT_EQ(text(0), "");
    EXPECT_EQ(text(1), "frame buffer error: undefined\n");
    EXPECT_EQ(text(2), "frame buffer error: incomplete attachment\n");
    EXPECT_EQ(text(3), "frame buffer error: missing attachment\n");
    EXPECT_EQ(text(4), "frame buffer error: incomplete draw buffer\n");
    EXPECT_EQ(text(5), "frame buffer error: incomplete read attachment\n");
    EXPECT_EQ(text(6), "frame buffer error: incomplete attachment\n");
    EXPECT_EQ(text(7), "frame buffer error: incomplete layer attachment\n");
    EXPECT_EQ(text(8), "frame buffer error: unsupported\n");
    EXPECT_EQ(text(9), "frame buffer error\n");
    EXPECT_EQ(text(1000), "frame buffer error\n");
}

TEST(ColorToLinear, RaisesColorChannelsAndKeepsAlpha) {
    Vec4 linear = color_to_linear(Vec4{0.5f, 0, 1, 0.5f}, 2.2);
    EXPECT_NEAR(linear.x, 0.2176, 0.0001);
    EXPECT_EQ(linear.x, (float)std::pow(0.5, 2.2));
    EXPECT_EQ(linear.y, 0.0f);
    EXPECT_EQ(linear.z, 1.0f);
    EXPECT_EQ(linear.w, 0.5f);
}

}  // namespace
