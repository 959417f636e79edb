// The window backend: SDL2 for the window, input, clipboard, message boxes
// and time; OpenGL 3.3 core through libepoxy for the GPU; stb_image decoding
// into the block the editor hands over. Files and math are platform_files.cpp.
//
// Sections: state · code tables · life and time · display · input ·
// clipboard and message boxes · images · pipeline · shaders · textures ·
// buffers and vertex arrays · frame and render buffers · test hooks
#include <climits>
#include <cstdlib>
#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <SDL.h>
#include <epoxy/gl.h>

#include "platform/platform.h"
#include "platform/platform_sdl.h"
#include "platform/platform_test_hooks.h"

// stb_image takes its memory from the editor's decoding block.
static void* image_memory_alloc(size_t size);
static void* image_memory_realloc(void* pointer, size_t old_size, size_t new_size);
static void image_memory_free(void* pointer);
#define STBI_MALLOC(size) image_memory_alloc(size)
#define STBI_REALLOC_SIZED(pointer, old_size, new_size) image_memory_realloc(pointer, old_size, new_size)
#define STBI_FREE(pointer) image_memory_free(pointer)
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

// ---------------------------------------------------------------------------
// State

enum : int32_t { MOUSE_CODE_COUNT = 8, TEXT_CAPACITY = 1024 };

struct InputState {
    uint8_t scancode_down[SDL_NUM_SCANCODES];  // our own record: pushed events never reach SDL's
    int16_t keys_down[KEY_COUNT];     // scancodes down per editor key (Control has two)
    bool key_pressed[KEY_COUNT];      // went down during the last poll
    bool key_typed[KEY_COUNT];        // went down or repeated during the last poll
    bool mouse_down[MOUSE_CODE_COUNT];
    bool mouse_pressed[MOUSE_CODE_COUNT];
    bool mouse_released[MOUSE_CODE_COUNT];
    int32_t mouse_x, mouse_y;         // last position seen in an event, top-left origin
    int32_t mouse_dx, mouse_dy;       // motion summed over the last poll
    int32_t wheel;                    // wheel steps summed over the last poll
    bool num_lock;                    // lock state carried by the latest key event
    uint16_t press_modifiers;         // Control, Shift, Alt as they were at the presses of the last poll
    uint8_t text[TEXT_CAPACITY];      // UTF-8 typed during the last poll
    int64_t text_length;
};

struct PlatformState {
    bool sdl_started;                 // SDL_Init (events, timer) succeeded; video starts with the window
    SDL_Window* window;
    SDL_GLContext context;            // null: every GPU call does nothing
    int32_t width, height;            // drawable size last reported
    bool close_requested;             // unread close request
    bool resize_pending;              // a size change not yet reported
    bool has_anisotropy;
    float max_anisotropy;
    char error[512];                  // reason of the last failed display_open
    InputState input;

    uint8_t* clipboard_scratch;       // the caller's buffer (clipboard_set_buffer)
    int64_t clipboard_scratch_capacity;
    char* clipboard_text;             // our own buffer, grown as needed
    int64_t clipboard_text_capacity;

    uint8_t* image_block;             // decoding memory handed over by the editor
    int64_t image_capacity;
    int64_t image_position;           // bump offset into the block
    uint8_t* image_last;              // most recent allocation: the only one that can grow or roll back
};

static PlatformState platform;

static bool gl_live() { return platform.context != nullptr; }

static void remember_error(const char* prefix, const char* reason) {
    SDL_snprintf(platform.error, sizeof platform.error, "%s%s", prefix, reason ? reason : "");
}

// ---------------------------------------------------------------------------
// Code tables: the editor's numbers to SDL and GL. docs/architecture.md lists
// the same tables. An unknown code makes the call do nothing.

struct CodeMap { int32_t code; GLenum value; };

template <int N>
static GLenum code_lookup(const CodeMap (&table)[N], int32_t code) {
    for (const CodeMap& entry : table)
        if (entry.code == code) return entry.value;
    return 0;
}

static const CodeMap texture_targets[] = {{1, GL_TEXTURE_2D}};
static const CodeMap texture_formats[] = {{13, GL_RGBA8}, {14, GL_RGBA16}, {29, GL_RGBA16F}};
static const CodeMap pixel_formats[] = {{8, GL_RGBA}};
// Pixel types, index types and attribute types share one numbering.
static const CodeMap data_types[] = {
    {0, GL_UNSIGNED_BYTE}, {1, GL_UNSIGNED_SHORT}, {2, GL_UNSIGNED_INT}, {6, GL_FLOAT}};
static const CodeMap wrap_axes[] = {{0, GL_TEXTURE_WRAP_S}, {1, GL_TEXTURE_WRAP_T}};
static const CodeMap wrap_modes[] = {{0, GL_REPEAT}, {1, GL_MIRRORED_REPEAT}, {2, GL_CLAMP_TO_EDGE}};
static const CodeMap filter_parameters[] = {{3, GL_TEXTURE_MIN_FILTER}, {4, GL_TEXTURE_MAG_FILTER}};
static const CodeMap filters[] = {
    {0, GL_NEAREST}, {1, GL_LINEAR}, {2, GL_NEAREST_MIPMAP_NEAREST},
    {3, GL_LINEAR_MIPMAP_NEAREST}, {4, GL_NEAREST_MIPMAP_LINEAR}, {5, GL_LINEAR_MIPMAP_LINEAR}};
static const CodeMap buffer_targets[] = {{0, GL_ARRAY_BUFFER}, {1, GL_ELEMENT_ARRAY_BUFFER}};
static const CodeMap buffer_usages[] = {{0, GL_STATIC_DRAW}, {3, GL_DYNAMIC_DRAW}};
static const CodeMap draw_modes[] = {{1, GL_LINES}, {4, GL_TRIANGLES}};
static const CodeMap blend_factors[] = {
    {0, GL_ZERO}, {1, GL_ONE}, {3, GL_SRC_ALPHA}, {9, GL_ONE_MINUS_SRC_ALPHA}};
static const CodeMap clear_bits[] = {{CLEAR_COLOR, GL_COLOR_BUFFER_BIT}, {CLEAR_DEPTH, GL_DEPTH_BUFFER_BIT}};
static const CodeMap polygon_faces[] = {{2, GL_FRONT_AND_BACK}};
static const CodeMap polygon_modes[] = {{0, GL_FILL}, {1, GL_LINE}};
static const CodeMap render_buffer_formats[] = {{1, GL_DEPTH_COMPONENT24}, {3, GL_DEPTH_COMPONENT32F}};
static const CodeMap attachments[] = {{0, GL_DEPTH_ATTACHMENT}, {3, GL_COLOR_ATTACHMENT0}};
static const CodeMap frame_buffer_targets[] = {{0, GL_FRAMEBUFFER}, {1, GL_READ_FRAMEBUFFER}};
// Read the other way: GL's answer to the editor's status code.
static const CodeMap frame_buffer_statuses[] = {
    {0, GL_FRAMEBUFFER_COMPLETE},
    {1, GL_FRAMEBUFFER_UNDEFINED},
    {2, GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT},
    {3, GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT},
    {4, GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER},
    {5, GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER},
    {6, GL_FRAMEBUFFER_INCOMPLETE_MULTISAMPLE},
    {7, GL_FRAMEBUFFER_INCOMPLETE_LAYER_TARGETS},
    {8, GL_FRAMEBUFFER_UNSUPPORTED}};
enum : int32_t { FRAME_BUFFER_STATUS_OTHER = 9 };

// SDL scancode to editor key. Several scancodes may share a key (both
// Control keys are 47); the first one listed is what tests inject.
struct KeyMap { SDL_Scancode scancode; int32_t key; };
static const KeyMap key_table[] = {
    {SDL_SCANCODE_A, 2}, {SDL_SCANCODE_B, 3}, {SDL_SCANCODE_C, 4}, {SDL_SCANCODE_D, 5},
    {SDL_SCANCODE_E, 6}, {SDL_SCANCODE_F, 7}, {SDL_SCANCODE_G, 8}, {SDL_SCANCODE_H, 9},
    {SDL_SCANCODE_I, 10}, {SDL_SCANCODE_J, 11}, {SDL_SCANCODE_K, 12}, {SDL_SCANCODE_L, 13},
    {SDL_SCANCODE_M, 14}, {SDL_SCANCODE_N, 15}, {SDL_SCANCODE_O, 16}, {SDL_SCANCODE_P, 17},
    {SDL_SCANCODE_Q, 18}, {SDL_SCANCODE_R, 19}, {SDL_SCANCODE_S, 20}, {SDL_SCANCODE_T, 21},
    {SDL_SCANCODE_U, 22}, {SDL_SCANCODE_V, 23}, {SDL_SCANCODE_W, 24}, {SDL_SCANCODE_X, 25},
    {SDL_SCANCODE_Y, 26}, {SDL_SCANCODE_Z, 27},
    {SDL_SCANCODE_0, 28}, {SDL_SCANCODE_1, 29}, {SDL_SCANCODE_2, 30}, {SDL_SCANCODE_3, 31},
    {SDL_SCANCODE_4, 32}, {SDL_SCANCODE_5, 33}, {SDL_SCANCODE_6, 34}, {SDL_SCANCODE_7, 35},
    {SDL_SCANCODE_8, 36}, {SDL_SCANCODE_9, 37},
    {SDL_SCANCODE_LEFT, 38}, {SDL_SCANCODE_RIGHT, 39}, {SDL_SCANCODE_UP, 40}, {SDL_SCANCODE_DOWN, 41},
    {SDL_SCANCODE_SPACE, 42}, {SDL_SCANCODE_RETURN, 43}, {SDL_SCANCODE_BACKSPACE, 44},
    {SDL_SCANCODE_TAB, 45}, {SDL_SCANCODE_ESCAPE, 46},
    {SDL_SCANCODE_LCTRL, 47}, {SDL_SCANCODE_RCTRL, 47},
    {SDL_SCANCODE_LSHIFT, 48}, {SDL_SCANCODE_RSHIFT, 48},
    {SDL_SCANCODE_LALT, 49}, {SDL_SCANCODE_RALT, 49},
    {SDL_SCANCODE_INSERT, 71}, {SDL_SCANCODE_PAGEUP, 74}, {SDL_SCANCODE_PAGEDOWN, 75},
    {SDL_SCANCODE_HOME, 76}, {SDL_SCANCODE_END, 77}, {SDL_SCANCODE_DELETE, 79},
    {SDL_SCANCODE_KP_0, 84}, {SDL_SCANCODE_KP_1, 85}, {SDL_SCANCODE_KP_2, 86}, {SDL_SCANCODE_KP_3, 87},
    {SDL_SCANCODE_KP_4, 88}, {SDL_SCANCODE_KP_5, 89}, {SDL_SCANCODE_KP_6, 90}, {SDL_SCANCODE_KP_7, 91},
    {SDL_SCANCODE_KP_8, 92}, {SDL_SCANCODE_KP_9, 93}, {SDL_SCANCODE_KP_PERIOD, 94},
    {SDL_SCANCODE_KP_ENTER, 95},
    {SDL_SCANCODE_F1, 97}, {SDL_SCANCODE_F2, 98}, {SDL_SCANCODE_F3, 99}, {SDL_SCANCODE_F4, 100},
    {SDL_SCANCODE_F5, 101}, {SDL_SCANCODE_F6, 102}, {SDL_SCANCODE_F7, 103}, {SDL_SCANCODE_F8, 104},
    {SDL_SCANCODE_F9, 105}, {SDL_SCANCODE_F10, 106}, {SDL_SCANCODE_F11, 107}, {SDL_SCANCODE_F12, 108},
};

static int32_t key_of_scancode(int32_t scancode) {
    for (const KeyMap& entry : key_table)
        if (entry.scancode == scancode) return entry.key;
    return 0;
}

// SDL button number (1 left, 2 middle, 3 right) to the editor's button code.
static const int32_t mouse_buttons[] = {0, MOUSE_PRIMARY, MOUSE_MIDDLE, MOUSE_SECONDARY};

// ---------------------------------------------------------------------------
// Life and time

void system_init(uint32_t flags) {
    (void)flags;  // 63 asks for everything; SDL needs video, events and timer for that
    if (platform.sdl_started) return;
#if defined(__GLIBC__)
    // A software GL driver allocates a few megabytes of small blocks for
    // every draw call and frees them right after; with the C library's
    // default the freed top of the heap went back to the system each time
    // and was faulted in again by the next call, which made each of the
    // interface's many small draws cost about a hundred microseconds. The
    // program's own memory lives in its pools, so keeping up to this much
    // freed heap costs nothing else.
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
    // An editor window has no reason to switch the desktop compositor off.
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    if (SDL_Init(SDL_INIT_EVENTS | SDL_INIT_TIMER) == 0) platform.sdl_started = true;
    else remember_error("", SDL_GetError());
}

void system_release() {
    display_close();
    std::free(platform.clipboard_text);
    if (platform.sdl_started) SDL_Quit();
    platform = PlatformState{};
}

int64_t system_performance_counter() { return (int64_t)SDL_GetPerformanceCounter(); }
int64_t system_performance_frequency() { return (int64_t)SDL_GetPerformanceFrequency(); }

void system_sleep(int64_t milliseconds) {
    if (milliseconds <= 0) return;
    SDL_Delay(milliseconds > (int64_t)UINT32_MAX ? UINT32_MAX : (Uint32)milliseconds);
}

// ---------------------------------------------------------------------------
// Display

// Without a display server SDL falls back to drivers that draw nowhere; a
// window nobody can see or close counts as no window unless asked for by name.
static bool video_driver_is_invisible() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver) return true;
    if (SDL_strcmp(driver, "offscreen") != 0 && SDL_strcmp(driver, "dummy") != 0) return false;
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    return !(requested && SDL_strstr(requested, driver));
}

// A display server that is there may refuse a connection for a moment (a
// virtual one still closing the previous client's); a few tries tell that
// apart from having no display at all.
static bool video_start_visible() {
    // With no display server named at all there is nothing to wait for, and
    // probing the drivers only prints their complaints.
    if (!SDL_getenv("DISPLAY") && !SDL_getenv("WAYLAND_DISPLAY") && !SDL_getenv("SDL_VIDEODRIVER")) {
        SDL_SetError("no display to open a window on");
        return false;
    }
    for (int attempt = 0; attempt < 5; attempt++) {
        if (attempt > 0) SDL_Delay(20);
        if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) continue;
        if (!video_driver_is_invisible()) return true;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_SetError("no display to open a window on");
    }
    return false;
}

static bool video_live() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

static bool fail_open(const char* prefix, const char* reason) {
    remember_error(prefix, reason);
    display_close();
    return false;
}

bool display_open(int32_t width, int32_t height, const String* title, uint8_t mode, int32_t swap_interval_hint) {
    if (platform.window) display_close();
    platform.error[0] = 0;
    if (!platform.sdl_started) {
        system_init(63);
        if (!platform.sdl_started) return fail_open("", SDL_GetError());
    }
    if (!video_start_visible()) return fail_open("", SDL_GetError());
    char title_text[256] = "";
    if (title && title->data && title->length > 0) {
        size_t length = (size_t)(title->length < 255 ? title->length : 255);
        std::memcpy(title_text, title->data, length);
        title_text[length] = 0;
    }

    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
    if (mode & 0x04) flags |= SDL_WINDOW_RESIZABLE;
    if (mode & 0x20) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    platform.window = SDL_CreateWindow(title_text, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                       width > 0 ? width : 1, height > 0 ? height : 1, flags);
    if (!platform.window) return fail_open("", SDL_GetError());
    platform.context = SDL_GL_CreateContext(platform.window);
    if (!platform.context) return fail_open("no OpenGL 3.3 core context: ", SDL_GetError());
    if (epoxy_gl_version() < 33) {
        char found[64];
        SDL_snprintf(found, sizeof found, "found OpenGL %d.%d", epoxy_gl_version() / 10, epoxy_gl_version() % 10);
        return fail_open("OpenGL 3.3 is needed, ", found);
    }

    // The swap interval is a wish: a driver that refuses it still draws.
    int32_t interval = (mode & 0x40) ? 0 : (swap_interval_hint > 0 ? swap_interval_hint : 1);
    SDL_GL_SetSwapInterval(interval);

    platform.has_anisotropy = epoxy_gl_version() >= 46 ||
                              epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                              epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
    // Mesa's software rasterisers sample anisotropically in a loop whose
    // length follows the texture-coordinate derivatives; a greatly magnified
    // view (the closest 2D zoom) drives it to about a minute per frame for a
    // few overlapping objects. There the textures are filtered without it.
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (renderer && (SDL_strstr(renderer, "llvmpipe") || SDL_strstr(renderer, "softpipe")))
        platform.has_anisotropy = false;
    platform.max_anisotropy = 1.0f;
    if (platform.has_anisotropy) glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY, &platform.max_anisotropy);
    // Uploads and read-backs are tightly packed rows, whatever their width.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);

    SDL_GL_GetDrawableSize(platform.window, &platform.width, &platform.height);
    platform.input.num_lock = (SDL_GetModState() & KMOD_NUM) != 0;
    return true;
}

String display_error() { return string_from_cstring(platform.error); }

void display_get_info(int32_t* width, int32_t* height, int32_t* refresh_rate) {
    int32_t w = 0, h = 0, refresh = 0;
    if (platform.window) {
        SDL_GL_GetDrawableSize(platform.window, &w, &h);
        SDL_DisplayMode display_mode;
        int display = SDL_GetWindowDisplayIndex(platform.window);
        if (display >= 0 && SDL_GetCurrentDisplayMode(display, &display_mode) == 0) refresh = display_mode.refresh_rate;
        platform.width = w;
        platform.height = h;
    }
    if (width) *width = w;
    if (height) *height = h;
    if (refresh_rate) *refresh_rate = refresh > 0 ? refresh : 0;
}

void display_set_icon(int32_t width, int32_t height, const uint8_t* rgba_pixels) {
    if (!platform.window || !rgba_pixels || width <= 0 || height <= 0 || width > 4096 || height > 4096) return;
    // SDL only reads the pixels while setting the icon.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(rgba_pixels), width, height,
                                                              32, width * 4, SDL_PIXELFORMAT_RGBA32);
    if (!surface) return;
    SDL_SetWindowIcon(platform.window, surface);
    SDL_FreeSurface(surface);
}

void display_set_title(const String* title) {
    if (!platform.window) return;
    char text[256] = "";
    if (title && title->data && title->length > 0) {
        size_t length = (size_t)(title->length < 255 ? title->length : 255);
        // A cut inside a multi-byte letter would hand SDL invalid UTF-8.
        if ((size_t)title->length > length) {
            while (length > 0 && (title->data[length] & 0xC0) == 0x80) length--;
        }
        std::memcpy(text, title->data, length);
        text[length] = 0;
    }
    SDL_SetWindowTitle(platform.window, text);
}

const char* platform_window_title() { return platform.window ? SDL_GetWindowTitle(platform.window) : ""; }

bool display_is_closed() {
    bool closed = platform.close_requested;
    platform.close_requested = false;
    return closed;
}

bool display_is_resized(int32_t* width, int32_t* height) {
    if (!platform.resize_pending || !platform.window) return false;
    platform.resize_pending = false;
    int32_t w = 0, h = 0;
    SDL_GL_GetDrawableSize(platform.window, &w, &h);
    // A window manager may confirm the size we already have; that is no change.
    if (w == platform.width && h == platform.height) return false;
    platform.width = w;
    platform.height = h;
    if (width) *width = w;
    if (height) *height = h;
    return true;
}

void display_close() {
    if (platform.context) SDL_GL_DeleteContext(platform.context);
    if (platform.window) SDL_DestroyWindow(platform.window);
    platform.context = nullptr;
    platform.window = nullptr;
    platform.width = platform.height = 0;
    platform.close_requested = platform.resize_pending = false;
}

// ---------------------------------------------------------------------------
// Input. Edges come from the transitions seen during one poll, so a key that
// goes down and up between two frames still reads as pressed (not held).

static void key_event(const SDL_KeyboardEvent& event) {
    InputState& input = platform.input;
    int32_t scancode = event.keysym.scancode;
    if (scancode <= 0 || scancode >= SDL_NUM_SCANCODES) return;
    int32_t key = key_of_scancode(scancode);
    input.num_lock = (event.keysym.mod & KMOD_NUM) != 0;
    if (event.type == SDL_KEYDOWN) {
        input.key_typed[KEY_ANY] = true;
        if (key) input.key_typed[key] = true;
        if (input.scancode_down[scancode]) return;
        input.scancode_down[scancode] = 1;
        input.keys_down[KEY_ANY]++;
        if (!event.repeat) {
            input.key_pressed[KEY_ANY] = true;
            input.press_modifiers |= (uint16_t)(event.keysym.mod & (KMOD_CTRL | KMOD_SHIFT | KMOD_ALT));
        }
        if (key && input.keys_down[key]++ == 0 && !event.repeat) input.key_pressed[key] = true;
    } else {
        if (!input.scancode_down[scancode]) return;
        input.scancode_down[scancode] = 0;
        input.keys_down[KEY_ANY]--;
        if (key) input.keys_down[key]--;
    }
}

static void mouse_button_event(const SDL_MouseButtonEvent& event) {
    InputState& input = platform.input;
    input.mouse_x = event.x;
    input.mouse_y = event.y;
    if (event.button >= sizeof mouse_buttons / sizeof mouse_buttons[0]) return;
    int32_t button = mouse_buttons[event.button];
    if (!button) return;
    bool down = event.type == SDL_MOUSEBUTTONDOWN;
    if (down && !input.mouse_down[button]) input.mouse_pressed[button] = true;
    if (!down && input.mouse_down[button]) input.mouse_released[button] = true;
    input.mouse_down[button] = down;
}

static void text_event(const SDL_TextInputEvent& event) {
    InputState& input = platform.input;
    int64_t length = (int64_t)SDL_strlen(event.text);
    // Whole events or nothing: a code point is never cut in two.
    if (input.text_length + length > TEXT_CAPACITY) return;
    std::memcpy(input.text + input.text_length, event.text, (size_t)length);
    input.text_length += length;
}

void input_poll() {
    InputState& input = platform.input;
    std::memset(input.key_pressed, 0, sizeof input.key_pressed);
    std::memset(input.key_typed, 0, sizeof input.key_typed);
    std::memset(input.mouse_pressed, 0, sizeof input.mouse_pressed);
    std::memset(input.mouse_released, 0, sizeof input.mouse_released);
    input.mouse_dx = input.mouse_dy = input.wheel = 0;
    input.text_length = 0;
    input.press_modifiers = 0;
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return;

    bool close_seen = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT: close_seen = true; break;
        case SDL_WINDOWEVENT:
            // Closing the last window sends both this and SDL_QUIT: one request.
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) close_seen = true;
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) platform.resize_pending = true;
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: key_event(event.key); break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: mouse_button_event(event.button); break;
        case SDL_MOUSEMOTION:
            input.mouse_x = event.motion.x;
            input.mouse_y = event.motion.y;
            input.mouse_dx += event.motion.xrel;
            input.mouse_dy += event.motion.yrel;
            break;
        case SDL_MOUSEWHEEL: input.wheel += event.wheel.y; break;
        case SDL_TEXTINPUT: text_event(event.text); break;
        default: break;
        }
    }
    if (close_seen) platform.close_requested = true;
}

static bool key_valid(int32_t key) { return key >= 0 && key < KEY_COUNT; }
static bool button_valid(int32_t button) { return button > 0 && button < MOUSE_CODE_COUNT; }

bool input_key_is_pressed(int32_t key) { return key_valid(key) && platform.input.key_pressed[key]; }
// A modifier also counts as held in a frame where a key went down with it,
// so a chord whose keys all go down and up between two frames (a slow frame,
// a remote session, a macro tool) still reaches its shortcut.
bool input_key_is_held(int32_t key) {
    if (!key_valid(key)) return false;
    if (platform.input.keys_down[key] > 0) return true;
    uint16_t with = platform.input.press_modifiers;
    return (key == KEY_CONTROL && (with & KMOD_CTRL)) || (key == KEY_SHIFT && (with & KMOD_SHIFT)) ||
           (key == KEY_ALT && (with & KMOD_ALT));
}
bool input_key_is_typed(int32_t key) { return key_valid(key) && platform.input.key_typed[key]; }
bool input_mouse_is_pressed(int32_t button) { return button_valid(button) && platform.input.mouse_pressed[button]; }
bool input_mouse_is_held(int32_t button) { return button_valid(button) && platform.input.mouse_down[button]; }
bool input_mouse_is_released(int32_t button) { return button_valid(button) && platform.input.mouse_released[button]; }

void input_mouse_position(int32_t* x, int32_t* y) {
    if (x) *x = platform.input.mouse_x;
    if (y) *y = platform.input.mouse_y;
}

void input_mouse_moved(int32_t* dx, int32_t* dy) {
    if (dx) *dx = platform.input.mouse_dx;
    if (dy) *dy = platform.input.mouse_dy;
}

int32_t input_mouse_wheel() { return platform.input.wheel; }

void input_mouse_set_relative(bool on) {
    if (platform.window) SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE);
}

void input_text_enable(bool on) {
    if (!video_live()) return;
    if (on) SDL_StartTextInput();
    else SDL_StopTextInput();
}

String input_text_typed() { return String{platform.input.text, platform.input.text_length}; }

uint32_t input_key_modifiers() {
    uint32_t modifiers = 0;
    if (input_key_is_held(KEY_SHIFT)) modifiers |= MODIFIER_SHIFT;
    if (input_key_is_held(KEY_CONTROL)) modifiers |= MODIFIER_CONTROL;
    if (input_key_is_held(KEY_ALT)) modifiers |= MODIFIER_ALT;
    if (platform.input.num_lock) modifiers |= MODIFIER_NUM_LOCK;
    return modifiers;
}

// ---------------------------------------------------------------------------
// Clipboard and message boxes. SDL wants zero-terminated text and hands back
// memory it allocated; both go through buffers that we own or were given.

static char* clipboard_reserve(int64_t size) {
    if (size <= platform.clipboard_text_capacity) return platform.clipboard_text;
    char* grown = static_cast<char*>(std::realloc(platform.clipboard_text, (size_t)size));
    if (!grown) return nullptr;
    platform.clipboard_text = grown;
    platform.clipboard_text_capacity = size;
    return grown;
}

void clipboard_set_buffer(int64_t capacity, uint8_t* buffer) {
    platform.clipboard_scratch = capacity > 0 ? buffer : nullptr;
    platform.clipboard_scratch_capacity = buffer ? capacity : 0;
}

void clipboard_set(const uint8_t* data, int64_t length) {
    if (!video_live() || length < 0 || (length > 0 && !data)) return;
    // The terminated copy goes into the caller's scratch buffer when it fits
    // (it may have been sized for the text alone), else into our own.
    char* text = nullptr;
    if (platform.clipboard_scratch && length < platform.clipboard_scratch_capacity)
        text = reinterpret_cast<char*>(platform.clipboard_scratch);
    else text = clipboard_reserve(length + 1);
    if (!text) return;
    if (length > 0) std::memmove(text, data, (size_t)length);
    text[length] = 0;
    SDL_SetClipboardText(text);
}

String clipboard_get() {
    if (!video_live()) return String{nullptr, 0};
    char* system_text = SDL_GetClipboardText();  // never null; ours to free
    if (!system_text) return String{nullptr, 0};
    int64_t length = (int64_t)SDL_strlen(system_text);
    char* copy = clipboard_reserve(length + 1);
    if (!copy) length = 0;
    else std::memcpy(copy, system_text, (size_t)length + 1);
    SDL_free(system_text);
    return String{reinterpret_cast<const uint8_t*>(copy), length};
}

// platform_files.cpp prints and records boxes; a real one ends up here.
void platform_show_message_box_window(const char* title, const char* text) {
    SDL_ShowSimpleMessageBox(0, title, text, platform.window);
}

// ---------------------------------------------------------------------------
// Images. stb_image's allocations are bumped off the editor's block; only the
// latest one can grow in place or be given back. A failed load leaves the
// block where it was and hands out one magenta pixel.

static uint8_t failed_image_pixels[4] = {255, 0, 255, 255};

static void* image_memory_alloc(size_t size) {
    if (!platform.image_block) return nullptr;
    int64_t start = (platform.image_position + 15) & ~(int64_t)15;
    if (start > platform.image_capacity || size > (size_t)(platform.image_capacity - start)) return nullptr;
    platform.image_position = start + (int64_t)size;
    platform.image_last = platform.image_block + start;
    return platform.image_last;
}

static void* image_memory_realloc(void* pointer, size_t old_size, size_t new_size) {
    if (!pointer) return image_memory_alloc(new_size);
    if (pointer == platform.image_last) {
        int64_t start = platform.image_last - platform.image_block;
        if (new_size > (size_t)(platform.image_capacity - start)) return nullptr;
        platform.image_position = start + (int64_t)new_size;
        return pointer;
    }
    void* moved = image_memory_alloc(new_size);
    if (moved) std::memcpy(moved, pointer, old_size < new_size ? old_size : new_size);
    return moved;
}

static void image_memory_free(void* pointer) {
    if (!pointer || pointer != platform.image_last) return;
    platform.image_position = platform.image_last - platform.image_block;
    platform.image_last = nullptr;
}

void image_set_buffer(int64_t size, uint8_t* block) {
    platform.image_block = size > 0 ? block : nullptr;
    platform.image_capacity = block && size > 0 ? size : 0;
    platform.image_position = 0;
    platform.image_last = nullptr;
}

void image_set_buffer_position(int64_t position) {
    if (position < 0) position = 0;
    if (position > platform.image_capacity) position = platform.image_capacity;
    platform.image_position = position;
    platform.image_last = nullptr;
}

void image_set_flip(bool flip) {
    stbi_set_flip_vertically_on_load(flip ? 1 : 0);
}

bool image_load(Image* out, const String* path, int32_t channels) {
    *out = Image{failed_image_pixels, 1, 1};
    if (!path || !path->data || path->length <= 0 || path->length >= 4096) return false;
    if (std::memchr(path->data, 0, (size_t)path->length)) return false;  // would name another file
    char name[4096];
    std::memcpy(name, path->data, (size_t)path->length);
    name[path->length] = 0;
    if (channels < 1 || channels > 4) channels = 4;

    int64_t position = platform.image_position;
    int width = 0, height = 0, file_channels = 0;
    stbi_uc* pixels = stbi_load(name, &width, &height, &file_channels, channels);
    if (!pixels) {
        platform.image_position = position;
        platform.image_last = nullptr;
        return false;
    }
    *out = Image{pixels, (uint32_t)width, (uint32_t)height};
    return true;
}

// ---------------------------------------------------------------------------
// Pipeline

static void gl_switch(GLenum capability, bool on) {
    if (!gl_live()) return;
    if (on) glEnable(capability);
    else glDisable(capability);
}

void pipeline_viewport(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (gl_live() && width >= 0 && height >= 0) glViewport(x, y, width, height);
}

void pipeline_scissor_enable(bool on) { gl_switch(GL_SCISSOR_TEST, on); }

void pipeline_scissor(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (gl_live() && width >= 0 && height >= 0) glScissor(x, y, width, height);
}

void pipeline_blend_enable(bool on) { gl_switch(GL_BLEND, on); }

void pipeline_blend_factor(int32_t source, int32_t destination) {
    GLenum s = code_lookup(blend_factors, source), d = code_lookup(blend_factors, destination);
    // GL_ZERO is 0, so a zero factor cannot flag an unknown code.
    bool known_s = source == 0 || s != 0, known_d = destination == 0 || d != 0;
    if (gl_live() && known_s && known_d) glBlendFunc(s, d);
}

void pipeline_depth_enable(bool on) { gl_switch(GL_DEPTH_TEST, on); }
void pipeline_cull_enable(bool on) { gl_switch(GL_CULL_FACE, on); }

void pipeline_polygon_mode(int32_t faces, int32_t mode) {
    GLenum f = code_lookup(polygon_faces, faces), m = code_lookup(polygon_modes, mode);
    if (gl_live() && f && m) glPolygonMode(f, m);
}

void pipeline_clear_color(float r, float g, float b, float a) {
    if (gl_live()) glClearColor(r, g, b, a);
}

void pipeline_clear(int32_t mask) {
    GLbitfield bits = 0;
    for (const CodeMap& entry : clear_bits)
        if (mask & entry.code) bits |= entry.value;
    if (gl_live() && bits) glClear(bits);
}

void pipeline_draw_buffers(int32_t count, const int32_t* color_attachments) {
    GLenum buffers[8];
    if (!gl_live() || count < 0 || count > 8 || (count > 0 && !color_attachments)) return;
    for (int32_t i = 0; i < count; i++)
        buffers[i] = color_attachments[i] < 0 ? GL_NONE : GL_COLOR_ATTACHMENT0 + (GLenum)color_attachments[i];
    glDrawBuffers(count, buffers);
}

void pipeline_read_pixels(int32_t x, int32_t y, int32_t width, int32_t height, int32_t format, int32_t type, void* destination) {
    GLenum f = code_lookup(pixel_formats, format);
    GLenum t = code_lookup(data_types, type);
    if (!gl_live() || !f || !t || !destination || width <= 0 || height <= 0) return;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, f, t, destination);
}

void pipeline_present() {
    if (platform.window && gl_live()) SDL_GL_SwapWindow(platform.window);
}

// ---------------------------------------------------------------------------
// Shaders: one text holds both stages; each stage sees it behind its own
// prefix, and "#line 1" keeps the log's line numbers those of the file.

static const char vertex_prefix[] = "#version 330 core\n#define VERTEX\n#line 1\n";
static const char fragment_prefix[] = "#version 330 core\n#define FRAGMENT\n#line 1\n";

struct LogWriter { uint8_t* data; int64_t capacity; int64_t length; };

static void log_append(LogWriter* log, const char* text, int64_t length) {
    if (!log->data) return;
    int64_t room = log->capacity - log->length;
    if (length > room) length = room;
    if (length <= 0) return;
    std::memcpy(log->data + log->length, text, (size_t)length);
    log->length += length;
}

static void log_append_info(LogWriter* log, const char* heading, GLuint object, bool program) {
    GLint length = 0;
    if (program) glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    else glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    if (length <= 1) return;
    char text[4096];
    GLsizei written = 0;
    if (program) glGetProgramInfoLog(object, (GLsizei)sizeof text, &written, text);
    else glGetShaderInfoLog(object, (GLsizei)sizeof text, &written, text);
    log_append(log, heading, (int64_t)std::strlen(heading));
    log_append(log, text, written);
    if (written > 0 && text[written - 1] != '\n') log_append(log, "\n", 1);
}

static GLuint shader_compile(GLenum stage, const char* prefix, const String* source, LogWriter* log, const char* heading) {
    GLuint shader = glCreateShader(stage);
    const GLchar* parts[2] = {prefix, reinterpret_cast<const GLchar*>(source->data)};
    GLint lengths[2] = {-1, (GLint)source->length};
    glShaderSource(shader, 2, parts, lengths);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    log_append_info(log, heading, shader, false);
    if (!compiled) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

uint32_t shader_create() { return gl_live() ? glCreateProgram() : 0; }

ShaderResult shader_source(uint32_t program, const String* source, uint8_t* message_buffer, int64_t capacity) {
    LogWriter log{message_buffer, message_buffer && capacity > 0 ? capacity : 0, 0};
    auto finish = [&](bool success) {
        if (log.data && log.length < log.capacity) log.data[log.length] = 0;  // for debuggers and C readers
        return ShaderResult{success, String{log.data, log.length}};
    };
    if (!gl_live() || program == 0) {
        log_append(&log, "no program to build\n", 20);
        return finish(false);
    }
    if (!source || !source->data || source->length <= 0) {
        log_append(&log, "empty shader source\n", 20);
        return finish(false);
    }
    if (source->length > INT32_MAX) {
        log_append(&log, "shader source too long\n", 23);
        return finish(false);
    }
    GLuint vertex = shader_compile(GL_VERTEX_SHADER, vertex_prefix, source, &log, "vertex stage:\n");
    GLuint fragment = shader_compile(GL_FRAGMENT_SHADER, fragment_prefix, source, &log, "fragment stage:\n");
    if (!vertex || !fragment) {
        if (vertex) glDeleteShader(vertex);
        if (fragment) glDeleteShader(fragment);
        return finish(false);
    }
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    log_append_info(&log, "link:\n", program, true);
    return finish(linked == GL_TRUE);
}

void shader_bind(uint32_t program) {
    if (gl_live()) glUseProgram(program);
}

void shader_destroy(uint32_t program) {
    if (gl_live() && program) glDeleteProgram(program);
}

int32_t shader_get_uniform_location(uint32_t program, const String* name) {
    char text[256];
    if (!gl_live() || !program || !name || !name->data || name->length <= 0 || name->length >= (int64_t)sizeof text) return -1;
    std::memcpy(text, name->data, (size_t)name->length);
    text[name->length] = 0;
    return glGetUniformLocation(program, text);
}

// Location -1 is GL's own "no such uniform": the call is ignored there.
void uniform_set_int(int32_t location, int32_t value) {
    if (gl_live()) glUniform1i(location, value);
}
void uniform_set_float(int32_t location, float value) {
    if (gl_live()) glUniform1f(location, value);
}
void uniform_set_vec2(int32_t location, const float* v) {
    if (gl_live() && v) glUniform2fv(location, 1, v);
}
void uniform_set_vec3(int32_t location, const float* v) {
    if (gl_live() && v) glUniform3fv(location, 1, v);
}
void uniform_set_vec4(int32_t location, const float* v) {
    if (gl_live() && v) glUniform4fv(location, 1, v);
}
void uniform_set_mat3(int32_t location, const float* m) {
    if (gl_live() && m) glUniformMatrix3fv(location, 1, GL_FALSE, m);
}
void uniform_set_mat4(int32_t location, const float* m) {
    if (gl_live() && m) glUniformMatrix4fv(location, 1, GL_FALSE, m);
}

// ---------------------------------------------------------------------------
// Textures

uint32_t texture_create() {
    GLuint texture = 0;
    if (gl_live()) glGenTextures(1, &texture);
    return texture;
}

void texture_bind(int32_t target, uint32_t texture) {
    GLenum t = code_lookup(texture_targets, target);
    if (gl_live() && t) glBindTexture(t, texture);
}

void texture_unbind(int32_t target) { texture_bind(target, 0); }

void texture_unit(int32_t unit) {
    if (gl_live() && unit >= 0 && unit < 32) glActiveTexture(GL_TEXTURE0 + (GLenum)unit);
}

void texture_image_2d(int32_t target, int32_t level, int32_t format, int32_t width, int32_t height,
                      int32_t pixel_format, int32_t pixel_type, const void* pixels) {
    GLenum t = code_lookup(texture_targets, target), internal = code_lookup(texture_formats, format);
    GLenum f = code_lookup(pixel_formats, pixel_format), type = code_lookup(data_types, pixel_type);
    if (!gl_live() || !t || !internal || !f || !type || level < 0 || width <= 0 || height <= 0) return;
    glTexImage2D(t, level, (GLint)internal, width, height, 0, f, type, pixels);
}

void texture_parameter_wrap(int32_t target, int32_t axis, int32_t mode) {
    GLenum t = code_lookup(texture_targets, target), a = code_lookup(wrap_axes, axis), m = code_lookup(wrap_modes, mode);
    if (gl_live() && t && a && m) glTexParameteri(t, a, (GLint)m);
}

void texture_parameter_filter(int32_t target, int32_t which, int32_t filter) {
    GLenum t = code_lookup(texture_targets, target), p = code_lookup(filter_parameters, which);
    GLenum f = code_lookup(filters, filter);
    if (!gl_live() || !t || !p || !f) return;
    // Magnification has no mipmaps: a mipmapped code keeps its own texel filter.
    if (p == GL_TEXTURE_MAG_FILTER && f != GL_NEAREST && f != GL_LINEAR)
        f = (f == GL_NEAREST_MIPMAP_NEAREST || f == GL_NEAREST_MIPMAP_LINEAR) ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(t, p, (GLint)f);
}

void texture_parameterf(int32_t target, int32_t parameter, float value) {
    GLenum t = code_lookup(texture_targets, target);
    if (!gl_live() || !t) return;
    if (parameter == 10 && platform.has_anisotropy) {
        if (value < 1.0f) value = 1.0f;
        if (value > platform.max_anisotropy) value = platform.max_anisotropy;
        glTexParameterf(t, GL_TEXTURE_MAX_ANISOTROPY, value);
    }
}

void texture_generate_mipmap(int32_t target) {
    GLenum t = code_lookup(texture_targets, target);
    if (gl_live() && t) glGenerateMipmap(t);
}

void texture_destroy(uint32_t texture) {
    if (gl_live() && texture) glDeleteTextures(1, &texture);
}

// ---------------------------------------------------------------------------
// Buffers and vertex arrays

uint32_t buffer_create() {
    GLuint buffer = 0;
    if (gl_live()) glGenBuffers(1, &buffer);
    return buffer;
}

void buffer_bind(int32_t target, uint32_t buffer) {
    GLenum t = code_lookup(buffer_targets, target);
    if (gl_live() && t) glBindBuffer(t, buffer);
}

void buffer_data(int32_t target, int64_t size, const void* data, int32_t usage) {
    GLenum t = code_lookup(buffer_targets, target), u = code_lookup(buffer_usages, usage);
    if (gl_live() && t && u && size >= 0) glBufferData(t, (GLsizeiptr)size, data, u);
}

void buffer_destroy(uint32_t buffer) {
    if (gl_live() && buffer) glDeleteBuffers(1, &buffer);
}

uint32_t vertex_array_create() {
    GLuint vertex_array = 0;
    if (gl_live()) glGenVertexArrays(1, &vertex_array);
    return vertex_array;
}

void vertex_array_bind(uint32_t vertex_array) {
    if (gl_live()) glBindVertexArray(vertex_array);
}

void vertex_array_unbind() { vertex_array_bind(0); }

void vertex_array_destroy(uint32_t vertex_array) {
    if (gl_live() && vertex_array) glDeleteVertexArrays(1, &vertex_array);
}

void attribute_enable(uint32_t index, bool on) {
    if (!gl_live()) return;
    if (on) glEnableVertexAttribArray(index);
    else glDisableVertexAttribArray(index);
}

void attribute_format(uint32_t index, int32_t components, int32_t type, bool normalised, int32_t stride, int64_t offset) {
    GLenum t = code_lookup(data_types, type);
    if (!gl_live() || !t || components < 1 || components > 4 || stride < 0 || offset < 0) return;
    glVertexAttribPointer(index, components, t, normalised ? GL_TRUE : GL_FALSE, stride,
                          reinterpret_cast<const void*>((uintptr_t)offset));
}

void draw_elements(int32_t mode, int32_t index_type, int64_t first_index, int64_t index_count) {
    GLenum m = code_lookup(draw_modes, mode), t = code_lookup(data_types, index_type);
    if (!gl_live() || !m || index_count <= 0 || index_count > INT32_MAX || first_index < 0) return;
    int64_t index_size = t == GL_UNSIGNED_INT ? 4 : t == GL_UNSIGNED_SHORT ? 2 : t == GL_UNSIGNED_BYTE ? 1 : 0;
    if (!index_size) return;
    glDrawElements(m, (GLsizei)index_count, t, reinterpret_cast<const void*>((uintptr_t)(first_index * index_size)));
}

// ---------------------------------------------------------------------------
// Frame and render buffers

uint32_t frame_buffer_create() {
    GLuint frame_buffer = 0;
    if (gl_live()) glGenFramebuffers(1, &frame_buffer);
    return frame_buffer;
}

void frame_buffer_bind(int32_t target, uint32_t frame_buffer) {
    GLenum t = code_lookup(frame_buffer_targets, target);
    if (gl_live() && t) glBindFramebuffer(t, frame_buffer);
}

void frame_buffer_unbind(int32_t target) { frame_buffer_bind(target, 0); }

// The texture target code is not needed: GL 3.2 attaches by name and level.
void frame_buffer_texture(int32_t target, int32_t attachment, int32_t texture_target, uint32_t texture, int32_t level) {
    (void)texture_target;
    GLenum t = code_lookup(frame_buffer_targets, target), a = code_lookup(attachments, attachment);
    if (gl_live() && t && a && level >= 0) glFramebufferTexture(t, a, texture, level);
}

void frame_buffer_render_buffer(int32_t target, int32_t attachment, int32_t unused, uint32_t render_buffer) {
    (void)unused;
    GLenum t = code_lookup(frame_buffer_targets, target), a = code_lookup(attachments, attachment);
    if (gl_live() && t && a) glFramebufferRenderbuffer(t, a, GL_RENDERBUFFER, render_buffer);
}

int32_t frame_buffer_get_status(int32_t target) {
    GLenum t = code_lookup(frame_buffer_targets, target);
    if (!gl_live() || !t) return FRAME_BUFFER_STATUS_OTHER;
    GLenum status = glCheckFramebufferStatus(t);
    for (const CodeMap& entry : frame_buffer_statuses)
        if (entry.value == status) return entry.code;
    return FRAME_BUFFER_STATUS_OTHER;
}

void frame_buffer_destroy(uint32_t frame_buffer) {
    if (gl_live() && frame_buffer) glDeleteFramebuffers(1, &frame_buffer);
}

uint32_t render_buffer_create() {
    GLuint render_buffer = 0;
    if (gl_live()) glGenRenderbuffers(1, &render_buffer);
    return render_buffer;
}

void render_buffer_bind(uint32_t render_buffer) {
    if (gl_live()) glBindRenderbuffer(GL_RENDERBUFFER, render_buffer);
}

void render_buffer_unbind() { render_buffer_bind(0); }

void render_buffer_storage(int32_t format, int32_t width, int32_t height) {
    GLenum f = code_lookup(render_buffer_formats, format);
    if (gl_live() && f && width > 0 && height > 0) glRenderbufferStorage(GL_RENDERBUFFER, f, width, height);
}

void render_buffer_destroy(uint32_t render_buffer) {
    if (gl_live() && render_buffer) glDeleteRenderbuffers(1, &render_buffer);
}

// ---------------------------------------------------------------------------
// Test hooks (platform_sdl.h)

SDL_Window* platform_sdl_window() { return platform.window; }

int32_t platform_sdl_scancode_of_key(int32_t key) {
    for (const KeyMap& entry : key_table)
        if (entry.key == key) return entry.scancode;
    return 0;
}

int32_t platform_sdl_key_of_scancode(int32_t scancode) { return key_of_scancode(scancode); }
