// Test helpers over the real platform (see platform_harness.h). Events are
// pushed into SDL's queue exactly as SDL would deliver them, so the backend's
// own event handling is what the tests exercise.
#include "support/platform_harness.h"

#include <cstdlib>
#include <cstring>

#include <SDL.h>
#include <epoxy/gl.h>

#include "platform/platform.h"
#include "platform/platform_sdl.h"
#include "platform/platform_test_hooks.h"

static int32_t last_mouse_x, last_mouse_y;
static uint16_t held_modifiers;   // KMOD_* of the modifier keys pushed down
static bool num_lock;

static Uint32 window_id() {
    SDL_Window* window = platform_sdl_window();
    return window ? SDL_GetWindowID(window) : 0;
}

bool harness_open_window(int32_t width, int32_t height) {
    platform_set_headless_message_boxes(true);
    system_init(63);
    String title = S("tarnisk test");
    if (!display_open(width, height, &title, 0x04 | 0x10 | 0x40, 1)) return false;
    // Map, expose and focus events of a new window arrive over a few polls;
    // take them now so that a test's first poll sees only what it pushed.
    for (int i = 0; i < 5; i++) {
        SDL_Delay(5);
        input_poll();
    }
    int32_t w = 0, h = 0;
    display_is_resized(&w, &h);
    display_is_closed();
    last_mouse_x = last_mouse_y = 0;
    held_modifiers = 0;
    num_lock = false;
    return true;
}

void harness_close_window() {
    display_close();
    system_release();
}

void PlatformWindowTest::SetUp() {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY: window tests need an X server (run under xvfb-run)";
    ASSERT_TRUE(harness_open_window(320, 240)) << "cannot open window: "
        << std::string(reinterpret_cast<const char*>(display_error().data), (size_t)display_error().length);
}

void PlatformWindowTest::TearDown() { harness_close_window(); }

// ---------------------------------------------------------------------------
// Keyboard

static uint16_t modifier_of(SDL_Scancode scancode) {
    switch (scancode) {
    case SDL_SCANCODE_LSHIFT: return KMOD_LSHIFT;
    case SDL_SCANCODE_RSHIFT: return KMOD_RSHIFT;
    case SDL_SCANCODE_LCTRL: return KMOD_LCTRL;
    case SDL_SCANCODE_RCTRL: return KMOD_RCTRL;
    case SDL_SCANCODE_LALT: return KMOD_LALT;
    case SDL_SCANCODE_RALT: return KMOD_RALT;
    default: return 0;
    }
}

static void push_key(Uint32 type, int32_t scancode, bool repeat) {
    SDL_Scancode code = (SDL_Scancode)scancode;
    if (type == SDL_KEYDOWN) held_modifiers |= modifier_of(code);
    else held_modifiers &= (uint16_t)~modifier_of(code);
    SDL_Event event{};
    event.type = type;
    event.key.timestamp = SDL_GetTicks();
    event.key.windowID = window_id();
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.scancode = code;
    event.key.keysym.sym = SDL_GetKeyFromScancode(code);
    event.key.keysym.mod = (Uint16)(held_modifiers | (num_lock ? KMOD_NUM : 0));
    SDL_PushEvent(&event);
}

void harness_key_down(int32_t key) { push_key(SDL_KEYDOWN, platform_sdl_scancode_of_key(key), false); }
void harness_key_up(int32_t key) { push_key(SDL_KEYUP, platform_sdl_scancode_of_key(key), false); }
void harness_key_repeat(int32_t key) { push_key(SDL_KEYDOWN, platform_sdl_scancode_of_key(key), true); }
void harness_scancode_down(int32_t scancode, bool repeat) { push_key(SDL_KEYDOWN, scancode, repeat); }
void harness_scancode_up(int32_t scancode) { push_key(SDL_KEYUP, scancode, false); }
void harness_set_num_lock(bool on) { num_lock = on; }

void harness_text(const char* utf8) {
    size_t length = std::strlen(utf8), at = 0;
    while (at < length) {
        SDL_Event event{};
        event.type = SDL_TEXTINPUT;
        event.text.timestamp = SDL_GetTicks();
        event.text.windowID = window_id();
        // One event holds up to 31 bytes; a code point is never split.
        size_t take = length - at < sizeof event.text.text - 1 ? length - at : sizeof event.text.text - 1;
        while (at + take < length && take > 0 && ((uint8_t)utf8[at + take] & 0xC0) == 0x80) take--;
        std::memcpy(event.text.text, utf8 + at, take);
        SDL_PushEvent(&event);
        at += take;
    }
}

// ---------------------------------------------------------------------------
// Mouse

static const uint8_t sdl_buttons[] = {0, 0, SDL_BUTTON_LEFT, SDL_BUTTON_MIDDLE, SDL_BUTTON_RIGHT};

// The X server's own pointer events (entering the new window, say) would
// otherwise arrive after the pushed one and move the position back. Warping
// puts the real pointer where the test says; pumping queues the server's
// events (whose motion cancels out) ahead of the pushed event.
static void sync_pointer(int32_t x, int32_t y) {
    SDL_Window* window = platform_sdl_window();
    if (!window || SDL_GetRelativeMouseMode()) return;
    SDL_WarpMouseInWindow(window, x, y);
    SDL_PumpEvents();
}

void harness_mouse_move(int32_t x, int32_t y) {
    sync_pointer(x, y);
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.timestamp = SDL_GetTicks();
    event.motion.windowID = window_id();
    event.motion.x = x;
    event.motion.y = y;
    event.motion.xrel = x - last_mouse_x;
    event.motion.yrel = y - last_mouse_y;
    SDL_PushEvent(&event);
    last_mouse_x = x;
    last_mouse_y = y;
}

static void push_button(Uint32 type, int32_t button, int32_t x, int32_t y) {
    if (button < 2 || button > 4) return;
    sync_pointer(x, y);
    SDL_Event event{};
    event.type = type;
    event.button.timestamp = SDL_GetTicks();
    event.button.windowID = window_id();
    event.button.button = sdl_buttons[button];
    event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = x;
    event.button.y = y;
    SDL_PushEvent(&event);
    last_mouse_x = x;
    last_mouse_y = y;
}

void harness_mouse_down(int32_t button, int32_t x, int32_t y) { push_button(SDL_MOUSEBUTTONDOWN, button, x, y); }
void harness_mouse_up(int32_t button, int32_t x, int32_t y) { push_button(SDL_MOUSEBUTTONUP, button, x, y); }

void harness_mouse_wheel(int32_t steps) {
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.timestamp = SDL_GetTicks();
    event.wheel.windowID = window_id();
    event.wheel.y = steps;
    event.wheel.preciseY = (float)steps;
    event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    SDL_PushEvent(&event);
}

// ---------------------------------------------------------------------------
// Window events

static void push_window_event(Uint8 which, int32_t data1, int32_t data2) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.timestamp = SDL_GetTicks();
    event.window.windowID = window_id();
    event.window.event = which;
    event.window.data1 = data1;
    event.window.data2 = data2;
    SDL_PushEvent(&event);
}

void harness_push_quit() {
    push_window_event(SDL_WINDOWEVENT_CLOSE, 0, 0);
    SDL_Event event{};
    event.type = SDL_QUIT;
    event.quit.timestamp = SDL_GetTicks();
    SDL_PushEvent(&event);
}

static bool size_change_queued() {
    SDL_Event events[64];
    int count = SDL_PeepEvents(events, 64, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
    for (int i = 0; i < count; i++)
        if (events[i].window.event == SDL_WINDOWEVENT_SIZE_CHANGED) return true;
    return false;
}

bool harness_resize(int32_t width, int32_t height) {
    SDL_Window* window = platform_sdl_window();
    if (!window) return false;
    SDL_SetWindowSize(window, width, height);
    for (int i = 0; i < 200; i++) {
        SDL_PumpEvents();
        int32_t w = 0, h = 0;
        SDL_GL_GetDrawableSize(window, &w, &h);
        if (w == width && h == height) {
            // The server has the size; SDL's own event may lag behind it.
            if (!size_change_queued()) push_window_event(SDL_WINDOWEVENT_SIZE_CHANGED, width, height);
            return true;
        }
        SDL_Delay(5);
    }
    return false;
}

// ---------------------------------------------------------------------------
// Pixels

void harness_read_pixels(uint32_t frame_buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                         int32_t type, void* destination) {
    GLint previous = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previous);
    frame_buffer_bind(1, frame_buffer);
    if (frame_buffer == 0) glReadBuffer(GL_BACK);
    pipeline_read_pixels(x, y, width, height, 8, type, destination);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, (GLuint)previous);
}

HarnessPixel harness_pixel(uint32_t frame_buffer, int32_t x, int32_t y) {
    HarnessPixel pixel{};
    harness_read_pixels(frame_buffer, x, y, 1, 1, 0, &pixel);
    return pixel;
}

HarnessPixel16 harness_pixel16(uint32_t frame_buffer, int32_t x, int32_t y) {
    HarnessPixel16 pixel{};
    harness_read_pixels(frame_buffer, x, y, 1, 1, 1, &pixel);
    return pixel;
}
