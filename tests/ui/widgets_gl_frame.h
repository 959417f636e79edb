// A window-level fixture for interface tests: the real program started
// in-process (assets, shaders, batch, theme), then a small frame of its own
// per step: poll real SDL events, empty the frame pool, pointer and focus as
// the main loop sets them, interface matrices, the test's widgets drawn into
// the window, present. Events pushed with the platform harness arrive at the
// next frame's poll.
#pragma once

#include <functional>

#include <gtest/gtest.h>

#include "app/editor.h"
#include "platform/platform.h"
#include "support/editor_harness.h"
#include "support/platform_harness.h"

class UiFrameTest : public EditorTest {
protected:
    void SetUp() override {
        if (!set_up_started()) return;
        for (int i = 0; i < 3; i++) frame();
    }

    // One frame; `body` runs with the window bound and 2D matrices set, before
    // the present (so it may read pixels back).
    void frame(const std::function<void()>& body = {}) {
        pool_reset(POOL_FRAME);
        input_poll();
        int32_t width = editor.window_width, height = editor.window_height;
        display_is_resized(&width, &height);
        editor.window_width = width;
        editor.window_height = height;
        editor.viewport_keys = editor.text_focus == 0;
        editor.text_focus = 0;
        int32_t x = 0, y = 0;
        input_mouse_position(&x, &y);
        editor.mouse_x = (float)x;
        editor.mouse_y = (float)(editor.window_height - y);

        frame_buffer_unbind(0);
        pipeline_viewport(0, 0, width, height);
        pipeline_clear_color(0, 0, 0, 1);
        pipeline_clear(CLEAR_COLOR | CLEAR_DEPTH);
        pipeline_depth_enable(false);
        pipeline_blend_enable(true);
        pipeline_blend_factor(3, 9);
        shader_program_use(&editor.render.simple);
        editor.projection_matrix = mat4_ortho(0, (float)width, 0, (float)height, -1, 1);
        editor.view_matrix = mat4_identity();
        if (body) body();
        pipeline_present();
    }
    void frames(int count, const std::function<void()>& body = {}) {
        for (int i = 0; i < count; i++) frame(body);
    }

    // Window pixels with y up, as the interface uses them, to the harness's
    // top-left coordinates.
    int32_t top_y(float y) const { return editor.window_height - (int32_t)y; }
    void move(float x, float y) { harness_mouse_move((int32_t)x, top_y(y)); }
    void down(float x, float y) { harness_mouse_down(MOUSE_PRIMARY, (int32_t)x, top_y(y)); }
    void up(float x, float y) { harness_mouse_up(MOUSE_PRIMARY, (int32_t)x, top_y(y)); }
    void tap(int32_t key) {
        harness_key_down(key);
        harness_key_up(key);
    }
};
