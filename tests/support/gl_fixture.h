// A window and a GL context per test without the program's start-up: the
// editor record reset, a 1024 x 768 window, both pools and an image block,
// the working directory set to the data folder (so "shaders/..." and
// "textures/..." resolve as in the real program). Skips without a display.
#pragma once

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "app/editor.h"
#include "core/memory.h"
#include "platform/platform.h"
#include "support/platform_harness.h"

class GlTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY: GL tests need an X server (run under xvfb-run)";
        ASSERT_EQ(chdir(TARNISK_DATA_DIR), 0);
        pool_release(POOL_PERSISTENT);
        pool_release(POOL_FRAME);
        editor = Editor{};
        editor.gamma_value = 2.2;
        editor.view_matrix = mat4_identity();
        editor.projection_matrix = mat4_identity();
        ASSERT_TRUE(harness_open_window(1024, 768))
            << "cannot open window: "
            << std::string(reinterpret_cast<const char*>(display_error().data), (size_t)display_error().length);
        window_open = true;
        int32_t refresh = 0;
        display_get_info(&editor.window_width, &editor.window_height, &refresh);
        ASSERT_TRUE(pool_create(POOL_PERSISTENT, POOL_PERSISTENT_CAPACITY));
        ASSERT_TRUE(pool_create(POOL_FRAME, POOL_FRAME_CAPACITY));
        image_block = static_cast<uint8_t*>(std::malloc(IMAGE_BLOCK_SIZE));
        ASSERT_NE(image_block, nullptr);
        image_set_buffer(IMAGE_BLOCK_SIZE, image_block);
        image_set_flip(true);
    }
    void TearDown() override {
        if (window_open) harness_close_window();
        window_open = false;
        image_set_buffer(0, nullptr);
        std::free(image_block);
        image_block = nullptr;
        pool_release(POOL_PERSISTENT);
        pool_release(POOL_FRAME);
    }

    static constexpr int64_t IMAGE_BLOCK_SIZE = 16 << 20;
    bool window_open = false;
    uint8_t* image_block = nullptr;
};
