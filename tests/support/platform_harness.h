// Test helpers over the real platform: a window fixture, input injected as
// real SDL events (taken up by the next input_poll), and pixel read-back.
// Keys are the editor's codes; positions are window pixels from the top-left.
#pragma once

#include <cstdint>

#include <gtest/gtest.h>

// Window ------------------------------------------------------------------
// Opens the platform and a windowed, resizable, unpaced window, records
// message boxes instead of showing them, and drains the start-up events.
bool harness_open_window(int32_t width, int32_t height);
void harness_close_window();   // display_close + system_release

// Gives every test a fresh 320 x 240 window; skips when there is no display.
class PlatformWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Keyboard ----------------------------------------------------------------
void harness_key_down(int32_t key);     // first scancode of the key (left Control for 47)
void harness_key_up(int32_t key);
void harness_key_repeat(int32_t key);   // an auto-repeat while held
void harness_scancode_down(int32_t scancode, bool repeat);   // SDL scancode, for right-hand keys
void harness_scancode_up(int32_t scancode);
void harness_set_num_lock(bool on);     // carried by the key events pushed after it
void harness_text(const char* utf8);    // SDL_TEXTINPUT, split into events as SDL does

// Mouse -------------------------------------------------------------------
void harness_mouse_move(int32_t x, int32_t y);   // motion from the last harness position
void harness_mouse_down(int32_t button, int32_t x, int32_t y);   // editor buttons 2, 3, 4
void harness_mouse_up(int32_t button, int32_t x, int32_t y);
void harness_mouse_wheel(int32_t steps);         // up positive

// Window events -------------------------------------------------------------
void harness_push_quit();        // what closing the window sends: window close, then quit
// Resizes the window for real and waits until the size-change event is
// queued for the next input_poll. False when the size never arrived.
bool harness_resize(int32_t width, int32_t height);

// Pixels ------------------------------------------------------------------
// Reads RGBA pixels, rows bottom-up, from a frame buffer (0: the window's
// back buffer, i.e. what was drawn since the last present). type: 0 bytes,
// 1 16-bit, 6 float. The previous read binding is kept.
void harness_read_pixels(uint32_t frame_buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                         int32_t type, void* destination);
struct HarnessPixel { uint8_t r, g, b, a; };
struct HarnessPixel16 { uint16_t r, g, b, a; };
HarnessPixel harness_pixel(uint32_t frame_buffer, int32_t x, int32_t y);
HarnessPixel16 harness_pixel16(uint32_t frame_buffer, int32_t x, int32_t y);
