// The SDL + OpenGL backend against a real window: input edges frame by frame,
// text, clipboard, window events, the GPU codes that the editor relies on
// (16-bit picking target, half-float scene target), shader logs and images.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "platform/platform.h"
#include "platform/platform_sdl.h"
#include "support/platform_harness.h"

static std::string text_of(String s) { return std::string(reinterpret_cast<const char*>(s.data), (size_t)s.length); }

// ---------------------------------------------------------------------------
// Window and keyboard

TEST_F(PlatformWindowTest, OpensAnOpenGL33CoreWindowOfTheAskedSize) {
    EXPECT_GE(epoxy_gl_version(), 33);
    GLint profile = 0;
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    EXPECT_TRUE(profile & GL_CONTEXT_CORE_PROFILE_BIT);
    int32_t width = 0, height = 0, refresh = -1;
    display_get_info(&width, &height, &refresh);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    EXPECT_GE(refresh, 0);
}

// Sets or clears an environment variable for one scope.
struct ScopedEnvironment {
    const char* name;
    std::string saved;
    bool had;
    ScopedEnvironment(const char* name_, const char* value) : name(name_) {
        const char* old = std::getenv(name);
        had = old != nullptr;
        saved = had ? old : "";
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~ScopedEnvironment() {
        if (had) setenv(name, saved.c_str(), 1);
        else unsetenv(name);
    }
};

TEST(PlatformDisplay, OpenFailsWithTheReasonWhenThereIsNoServer) {
    bool opened = true;
    std::string reason;
    {
        // SDL would otherwise settle for its offscreen driver: a window nobody sees.
        ScopedEnvironment display("DISPLAY", ":4711"), wayland("WAYLAND_DISPLAY", nullptr),
            driver("SDL_VIDEODRIVER", nullptr);
        system_init(63);
        String title = S("tarnisk");
        opened = display_open(320, 240, &title, 0x54, 1);
        reason = text_of(display_error());
        system_release();
    }
    EXPECT_FALSE(opened);
    EXPECT_FALSE(reason.empty());
    // Nothing is left half open: GPU calls without a window do nothing.
    EXPECT_EQ(texture_create(), 0u);
    EXPECT_EQ(frame_buffer_get_status(0), 9);
}

TEST_F(PlatformWindowTest, KeyEdgesFollowTheFrames) {
    int32_t a = key_letter('A');
    harness_key_down(a);
    input_poll();
    EXPECT_TRUE(input_key_is_pressed(a));
    EXPECT_TRUE(input_key_is_held(a));
    EXPECT_TRUE(input_key_is_typed(a));
    EXPECT_TRUE(input_key_is_pressed(KEY_ANY));
    EXPECT_FALSE(input_key_is_pressed(key_letter('B')));

    input_poll();  // still down, nothing new
    EXPECT_FALSE(input_key_is_pressed(a));
    EXPECT_TRUE(input_key_is_held(a));
    EXPECT_TRUE(input_key_is_held(KEY_ANY));
    EXPECT_FALSE(input_key_is_typed(a));

    harness_key_repeat(a);
    input_poll();
    EXPECT_TRUE(input_key_is_typed(a));
    EXPECT_FALSE(input_key_is_pressed(a));

    harness_key_up(a);
    input_poll();
    EXPECT_FALSE(input_key_is_held(a));
    EXPECT_FALSE(input_key_is_held(KEY_ANY));

    // A tap between two frames is still seen as a press.
    harness_key_down(KEY_F2);
    harness_key_up(KEY_F2);
    input_poll();
    EXPECT_TRUE(input_key_is_pressed(KEY_F2));
    EXPECT_FALSE(input_key_is_held(KEY_F2));
}

TEST_F(PlatformWindowTest, EitherSideHoldsAModifierAndNumLockIsBitFive) {
    harness_scancode_down(SDL_SCANCODE_LCTRL, false);
    harness_scancode_down(SDL_SCANCODE_RCTRL, false);
    input_poll();
    EXPECT_TRUE(input_key_is_pressed(KEY_CONTROL));
    EXPECT_EQ(input_key_modifiers(), MODIFIER_CONTROL);

    harness_scancode_up(SDL_SCANCODE_LCTRL);
    input_poll();
    EXPECT_TRUE(input_key_is_held(KEY_CONTROL));  // the right one is still down
    harness_scancode_up(SDL_SCANCODE_RCTRL);
    input_poll();
    EXPECT_FALSE(input_key_is_held(KEY_CONTROL));

    // A chord whose keys all go down and up between two frames still has
    // its modifier in that frame, and only in that frame.
    int32_t z = key_letter('Z');
    harness_key_down(KEY_CONTROL);
    harness_key_down(KEY_SHIFT);
    harness_key_down(z);
    harness_key_up(z);
    harness_key_up(KEY_SHIFT);
    harness_key_up(KEY_CONTROL);
    input_poll();
    EXPECT_TRUE(input_key_is_pressed(z));
    EXPECT_FALSE(input_key_is_held(z));
    EXPECT_TRUE(input_key_is_held(KEY_CONTROL));
    EXPECT_EQ(input_key_modifiers(), MODIFIER_CONTROL | MODIFIER_SHIFT);
    input_poll();
    EXPECT_FALSE(input_key_is_held(KEY_CONTROL));
    // Control let go before the key went down: a plain key, though both
    // happened between the same two frames.
    harness_key_down(KEY_CONTROL);
    input_poll();
    harness_key_up(KEY_CONTROL);
    harness_key_down(z);
    harness_key_up(z);
    input_poll();
    EXPECT_TRUE(input_key_is_pressed(z));
    EXPECT_FALSE(input_key_is_held(KEY_CONTROL));
    EXPECT_EQ(input_key_modifiers(), 0u);

    harness_set_num_lock(true);
    harness_scancode_down(SDL_SCANCODE_RSHIFT, false);
    harness_key_down(KEY_ALT);
    input_poll();
    EXPECT_EQ(input_key_modifiers(), MODIFIER_SHIFT | MODIFIER_ALT | MODIFIER_NUM_LOCK);
    EXPECT_EQ(MODIFIER_NUM_LOCK, 32u);

    harness_set_num_lock(false);
    harness_scancode_up(SDL_SCANCODE_RSHIFT);
    harness_key_up(KEY_ALT);
    input_poll();
    EXPECT_EQ(input_key_modifiers(), 0u);
}

TEST(PlatformKeys, TableMatchesTheEditorCodes) {
    struct Pair { SDL_Scancode scancode; int32_t key; };
    const Pair expected[] = {
        {SDL_SCANCODE_A, 2}, {SDL_SCANCODE_Z, 27}, {SDL_SCANCODE_0, 28}, {SDL_SCANCODE_1, 29},
        {SDL_SCANCODE_9, 37}, {SDL_SCANCODE_LEFT, 38}, {SDL_SCANCODE_RIGHT, 39}, {SDL_SCANCODE_UP, 40},
        {SDL_SCANCODE_DOWN, 41}, {SDL_SCANCODE_SPACE, 42}, {SDL_SCANCODE_RETURN, 43},
        {SDL_SCANCODE_BACKSPACE, 44}, {SDL_SCANCODE_TAB, 45}, {SDL_SCANCODE_ESCAPE, 46},
        {SDL_SCANCODE_RCTRL, 47}, {SDL_SCANCODE_RSHIFT, 48}, {SDL_SCANCODE_RALT, 49},
        {SDL_SCANCODE_INSERT, 71}, {SDL_SCANCODE_PAGEUP, 74}, {SDL_SCANCODE_PAGEDOWN, 75},
        {SDL_SCANCODE_HOME, 76}, {SDL_SCANCODE_END, 77}, {SDL_SCANCODE_DELETE, 79},
        // The text field's keypad rows: 1 is 85, 7 is 91, 9 is 93, period 94, Enter 95.
        {SDL_SCANCODE_KP_0, 84}, {SDL_SCANCODE_KP_1, 85}, {SDL_SCANCODE_KP_4, 88}, {SDL_SCANCODE_KP_7, 91},
        {SDL_SCANCODE_KP_9, 93}, {SDL_SCANCODE_KP_PERIOD, 94}, {SDL_SCANCODE_KP_ENTER, 95},
        {SDL_SCANCODE_F1, 97}, {SDL_SCANCODE_F2, 98}, {SDL_SCANCODE_F12, 108},
        {SDL_SCANCODE_SEMICOLON, 0},
    };
    for (const Pair& pair : expected) EXPECT_EQ(platform_sdl_key_of_scancode(pair.scancode), pair.key) << pair.scancode;
    for (int32_t key = 2; key < KEY_COUNT; key++) {
        int32_t scancode = platform_sdl_scancode_of_key(key);
        if (scancode) {
            EXPECT_EQ(platform_sdl_key_of_scancode(scancode), key);
        }
    }
    EXPECT_EQ(key_keypad_digit(7), 91);
}

// ---------------------------------------------------------------------------
// Mouse, text, clipboard, window events

TEST_F(PlatformWindowTest, MouseButtonsPositionMotionAndWheel) {
    harness_mouse_down(MOUSE_PRIMARY, 10, 20);
    input_poll();
    EXPECT_TRUE(input_mouse_is_pressed(MOUSE_PRIMARY));
    EXPECT_TRUE(input_mouse_is_held(MOUSE_PRIMARY));
    EXPECT_FALSE(input_mouse_is_pressed(MOUSE_SECONDARY));
    int32_t x = 0, y = 0;
    input_mouse_position(&x, &y);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);

    input_poll();
    EXPECT_FALSE(input_mouse_is_pressed(MOUSE_PRIMARY));
    EXPECT_TRUE(input_mouse_is_held(MOUSE_PRIMARY));
    EXPECT_FALSE(input_mouse_is_released(MOUSE_PRIMARY));

    harness_mouse_up(MOUSE_PRIMARY, 12, 22);
    input_poll();
    EXPECT_TRUE(input_mouse_is_released(MOUSE_PRIMARY));
    EXPECT_FALSE(input_mouse_is_held(MOUSE_PRIMARY));
    input_poll();
    EXPECT_FALSE(input_mouse_is_released(MOUSE_PRIMARY));

    harness_mouse_down(MOUSE_SECONDARY, 12, 22);
    harness_mouse_down(MOUSE_MIDDLE, 12, 22);
    input_poll();
    EXPECT_TRUE(input_mouse_is_pressed(MOUSE_SECONDARY));
    EXPECT_TRUE(input_mouse_is_pressed(MOUSE_MIDDLE));
    EXPECT_FALSE(input_mouse_is_pressed(MOUSE_PRIMARY));

    harness_mouse_move(30, 40);
    harness_mouse_move(35, 45);
    harness_mouse_wheel(2);
    harness_mouse_wheel(-1);
    input_poll();
    int32_t dx = 0, dy = 0;
    input_mouse_moved(&dx, &dy);
    input_mouse_position(&x, &y);
    EXPECT_EQ(dx, 23);
    EXPECT_EQ(dy, 23);
    EXPECT_EQ(x, 35);
    EXPECT_EQ(y, 45);
    EXPECT_EQ(input_mouse_wheel(), 1);

    input_poll();
    input_mouse_moved(&dx, &dy);
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, 0);
    EXPECT_EQ(input_mouse_wheel(), 0);
}

TEST_F(PlatformWindowTest, RelativeModeFollowsTheSwitch) {
    input_mouse_set_relative(true);
    EXPECT_EQ(SDL_GetRelativeMouseMode(), SDL_TRUE);
    input_mouse_set_relative(false);
    EXPECT_EQ(SDL_GetRelativeMouseMode(), SDL_FALSE);
}

TEST_F(PlatformWindowTest, TextTypedIsTheFramesBytes) {
    input_text_enable(true);
    const char* longer = "llo w\xC3\xB6rld, a line longer than one event can carry";
    harness_text("h\xC3\xA9");
    harness_text(longer);
    input_poll();
    EXPECT_EQ(text_of(input_text_typed()), std::string("h\xC3\xA9") + longer);
    input_poll();
    EXPECT_EQ(input_text_typed().length, 0);
}

TEST_F(PlatformWindowTest, ClipboardRoundTripsThroughTheSystem) {
    // A scratch buffer sized for the text alone has no room for SDL's
    // terminating zero; the backend must not write past it.
    uint8_t scratch[6] = {0, 0, 0, 0, 0, 0x5A};
    clipboard_set_buffer(5, scratch);
    const char* text = "copied \xE2\x82\xAC text";
    clipboard_set(reinterpret_cast<const uint8_t*>(text), (int64_t)std::strlen(text));
    EXPECT_EQ(scratch[5], 0x5A);
    EXPECT_EQ(text_of(clipboard_get()), text);

    uint8_t roomy[64];
    clipboard_set_buffer(64, roomy);
    const uint8_t selection[] = {'a', 'b', 'c', 'd'};
    clipboard_set(selection, 3);  // a view into a longer text: only its length counts
    EXPECT_EQ(text_of(clipboard_get()), "abc");
}

TEST_F(PlatformWindowTest, CloseRequestIsReportedOncePerRequest) {
    input_poll();
    EXPECT_FALSE(display_is_closed());
    harness_push_quit();  // window close and quit: one request
    input_poll();
    EXPECT_TRUE(display_is_closed());
    EXPECT_FALSE(display_is_closed());
    input_poll();
    EXPECT_FALSE(display_is_closed());
    harness_push_quit();
    input_poll();
    EXPECT_TRUE(display_is_closed());
}

TEST_F(PlatformWindowTest, ResizeReportsTheNewDrawableSize) {
    ASSERT_TRUE(harness_resize(400, 300));
    input_poll();
    int32_t width = 0, height = 0;
    EXPECT_TRUE(display_is_resized(&width, &height));
    EXPECT_EQ(width, 400);
    EXPECT_EQ(height, 300);
    input_poll();
    EXPECT_FALSE(display_is_resized(&width, &height));
    int32_t refresh = 0;
    display_get_info(&width, &height, &refresh);
    EXPECT_EQ(width, 400);
    EXPECT_EQ(height, 300);
}

// ---------------------------------------------------------------------------
// GPU

struct Target { uint32_t frame_buffer, texture, depth; };

static Target target_create(int32_t format, int32_t depth_format, int32_t width, int32_t height) {
    Target target{frame_buffer_create(), texture_create(), render_buffer_create()};
    render_buffer_bind(target.depth);
    render_buffer_storage(depth_format, width, height);
    render_buffer_unbind();
    texture_bind(1, target.texture);
    texture_image_2d(1, 0, format, width, height, 8, 0, nullptr);
    texture_parameter_wrap(1, 0, 2);
    texture_parameter_wrap(1, 1, 2);
    texture_parameter_filter(1, 3, 0);
    texture_parameter_filter(1, 4, 0);
    texture_unbind(1);
    frame_buffer_bind(0, target.frame_buffer);
    frame_buffer_texture(0, 3, 0, target.texture, 0);
    frame_buffer_render_buffer(0, 0, 0, target.depth);
    const int32_t color0 = 0;
    pipeline_draw_buffers(1, &color0);
    return target;
}

static float unorm16(int n) { return (float)(n / 65535.0); }

static const char flat_shader[] =
    "#ifdef VERTEX\n"
    "layout(location = 0) in vec3 position;\n"
    "void main() { gl_Position = vec4(position, 1.0); }\n"
    "#endif\n"
    "#ifdef FRAGMENT\n"
    "uniform vec4 diffuse;\n"
    "out vec4 color;\n"
    "void main() { color = diffuse; }\n"
    "#endif\n";

TEST_F(PlatformWindowTest, PickingTargetKeepsSixteenBitsThroughClearAndDraw) {
    Target target = target_create(14, 1, 64, 32);
    EXPECT_EQ(frame_buffer_get_status(0), 0);
    pipeline_viewport(0, 0, 64, 32);
    pipeline_clear_color(unorm16(1), unorm16(65535), unorm16(12345), 0.0f);
    pipeline_clear(CLEAR_COLOR | CLEAR_DEPTH);
    HarnessPixel16 cleared = harness_pixel16(target.frame_buffer, 5, 5);
    EXPECT_EQ(cleared.r, 1);
    EXPECT_EQ(cleared.g, 65535);
    EXPECT_EQ(cleared.b, 12345);
    EXPECT_EQ(cleared.a, 0);

    // A quad over the right half, drawn the way the batch draws: nine floats
    // per vertex, 32-bit indices, the identity color in "diffuse".
    uint8_t log_buffer[4096];
    uint32_t program = shader_create();
    String source = S(flat_shader);
    ShaderResult result = shader_source(program, &source, log_buffer, sizeof log_buffer);
    ASSERT_TRUE(result.success) << text_of(result.log);
    const float vertices[4][9] = {{0, -1, 0}, {1, -1, 0}, {1, 1, 0}, {0, 1, 0}};
    const uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
    uint32_t vertex_array = vertex_array_create(), vertex_buffer = buffer_create(), index_buffer = buffer_create();
    vertex_array_bind(vertex_array);
    buffer_bind(0, vertex_buffer);
    buffer_data(0, sizeof vertices, vertices, 3);
    attribute_enable(0, true);
    attribute_format(0, 3, 6, false, 36, 0);
    buffer_bind(1, index_buffer);
    buffer_data(1, sizeof indices, indices, 3);
    shader_bind(program);
    String diffuse_name = S("diffuse");
    const float identity[4] = {unorm16(7), unorm16(1), unorm16(5), unorm16(0)};
    uniform_set_vec4(shader_get_uniform_location(program, &diffuse_name), identity);
    pipeline_blend_enable(false);
    pipeline_cull_enable(false);
    draw_elements(4, 2, 0, 6);
    vertex_array_unbind();
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);

    uint16_t row[64 * 4];
    harness_read_pixels(target.frame_buffer, 0, 16, 64, 1, 1, row);
    EXPECT_EQ(row[4 * 10 + 0], 1);  // left half: still the clear color
    EXPECT_EQ(row[4 * 50 + 0], 7);
    EXPECT_EQ(row[4 * 50 + 1], 1);
    EXPECT_EQ(row[4 * 50 + 2], 5);
    EXPECT_EQ(row[4 * 50 + 3], 0);

    // A pick region read through the read-only binding the editor uses.
    frame_buffer_unbind(0);
    frame_buffer_bind(1, target.frame_buffer);
    uint16_t region[3 * 2 * 4];
    pipeline_read_pixels(31, 3, 3, 2, 8, 1, region);
    frame_buffer_unbind(1);
    EXPECT_EQ(region[0], 1);
    EXPECT_EQ(region[4 * 1], 7);  // x 32 is the first covered column
    EXPECT_EQ(region[4 * 5 + 2], 5);
}

TEST_F(PlatformWindowTest, SceneTargetHoldsDarkColorsWithoutBanding) {
    Target target = target_create(29, 3, 8, 8);
    EXPECT_EQ(frame_buffer_get_status(0), 0);
    pipeline_viewport(0, 0, 8, 8);
    // Dark linear values that an 8-bit target would all flatten to 0 or 1/255.
    pipeline_clear_color(0.0005f, 0.001f, 0.002f, 1.0f);
    pipeline_clear(CLEAR_COLOR | CLEAR_DEPTH);
    float pixel[4];
    harness_read_pixels(target.frame_buffer, 2, 2, 1, 1, 6, pixel);
    EXPECT_NEAR(pixel[0], 0.0005f, 0.000005f);
    EXPECT_NEAR(pixel[1], 0.001f, 0.00001f);
    EXPECT_NEAR(pixel[2], 0.002f, 0.00002f);
}

TEST_F(PlatformWindowTest, FrameBufferStatusCodes) {
    uint32_t empty = frame_buffer_create();
    frame_buffer_bind(0, empty);
    EXPECT_EQ(frame_buffer_get_status(0), 3);  // missing attachment
    EXPECT_EQ(frame_buffer_get_status(1), 3);
    frame_buffer_unbind(0);
    EXPECT_EQ(frame_buffer_get_status(0), 0);  // the window
    frame_buffer_destroy(empty);
}

TEST_F(PlatformWindowTest, WindowPixelsReadBackBeforePresent) {
    frame_buffer_unbind(0);
    pipeline_viewport(0, 0, 320, 240);
    pipeline_clear_color(0.0f, 1.0f, 0.0f, 1.0f);
    pipeline_clear(CLEAR_COLOR);
    pipeline_scissor_enable(true);
    pipeline_scissor(0, 0, 10, 10);
    pipeline_clear_color(1.0f, 0.0f, 0.0f, 1.0f);
    pipeline_clear(CLEAR_COLOR);
    pipeline_scissor_enable(false);
    HarnessPixel corner = harness_pixel(0, 2, 2), middle = harness_pixel(0, 160, 120);
    EXPECT_EQ(corner.r, 255);
    EXPECT_EQ(corner.g, 0);
    EXPECT_EQ(middle.r, 0);
    EXPECT_EQ(middle.g, 255);
    pipeline_present();
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(PlatformWindowTest, ShaderFailuresReturnFalseWithTheirLog) {
    uint8_t log_buffer[4096];
    uint32_t program = shader_create();

    String empty{nullptr, 0};
    ShaderResult result = shader_source(program, &empty, log_buffer, sizeof log_buffer);
    EXPECT_FALSE(result.success);
    EXPECT_EQ(text_of(result.log), "empty shader source\n");

    // The error is on the third line of the file; the log must say so.
    String broken = S("#ifdef FRAGMENT\nout vec4 color;\nvoid main() { color = undefined_name; }\n#endif\n"
                      "#ifdef VERTEX\nvoid main() { gl_Position = vec4(0.0); }\n#endif\n");
    result = shader_source(program, &broken, log_buffer, sizeof log_buffer);
    EXPECT_FALSE(result.success);
    std::string log = text_of(result.log);
    EXPECT_NE(log.find("fragment stage"), std::string::npos) << log;
    EXPECT_NE(log.find("undefined_name"), std::string::npos) << log;
    EXPECT_TRUE(log.find("0:3(") != std::string::npos || log.find("0(3)") != std::string::npos) << log;

    // A small buffer takes what fits and no more.
    uint8_t small[9];
    small[8] = 0x5A;
    result = shader_source(program, &broken, small, 8);
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.log.length, 8);
    EXPECT_EQ(small[8], 0x5A);

    String good = S(flat_shader);
    result = shader_source(program, &good, log_buffer, sizeof log_buffer);
    EXPECT_TRUE(result.success) << text_of(result.log);
    shader_destroy(program);
}

// ---------------------------------------------------------------------------
// Images (no window needed)

class PlatformImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        image_set_flip(false);
        block = static_cast<uint8_t*>(std::malloc(block_size));
        ASSERT_NE(block, nullptr);
        image_set_buffer(block_size, block);
    }
    void TearDown() override {
        image_set_buffer(0, nullptr);
        image_set_flip(false);
        std::free(block);
        for (const std::string& path : written) std::remove(path.c_str());
    }
    // Writes a PNG whose pixel (x, y) is (x, y, 7, 255), top row first.
    std::string write_png(const char* name, int width, int height) {
        std::string path = ::testing::TempDir() + "tarnisk_" + std::to_string(getpid()) + "_" + name;
        std::string pixels((size_t)width * height * 4, '\0');
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                uint8_t* p = reinterpret_cast<uint8_t*>(&pixels[((size_t)y * width + x) * 4]);
                p[0] = (uint8_t)x, p[1] = (uint8_t)y, p[2] = 7, p[3] = 255;
            }
        EXPECT_TRUE(stbi_write_png(path.c_str(), width, height, 4, pixels.data(), width * 4));
        written.push_back(path);
        return path;
    }
    static void expect_magenta(const Image& image) {
        ASSERT_EQ(image.width, 1u);
        ASSERT_EQ(image.height, 1u);
        EXPECT_EQ(image.pixels[0], 255);
        EXPECT_EQ(image.pixels[1], 0);
        EXPECT_EQ(image.pixels[2], 255);
        EXPECT_EQ(image.pixels[3], 255);
    }
    static constexpr int64_t block_size = 67108864;
    uint8_t* block = nullptr;
    std::vector<std::string> written;
};

TEST_F(PlatformImageTest, MissingOrUnreadableFilesGiveOneMagentaPixel) {
    Image image{};
    String missing = S("/nonexistent/tarnisk/missing.png");
    EXPECT_FALSE(image_load(&image, &missing, 4));
    expect_magenta(image);

    std::string path = ::testing::TempDir() + "tarnisk_" + std::to_string(getpid()) + "_garbage.png";
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("\x89PNG\r\n\x1a\n not really", file);
    std::fclose(file);
    written.push_back(path);
    String garbage{reinterpret_cast<const uint8_t*>(path.data()), (int64_t)path.size()};
    EXPECT_FALSE(image_load(&image, &garbage, 4));
    expect_magenta(image);

    // A path with a zero byte inside would open a different file.
    std::string real = write_png("real.png", 2, 2);
    std::string cut = real + std::string(1, '\0') + "x";
    String with_zero{reinterpret_cast<const uint8_t*>(cut.data()), (int64_t)cut.size()};
    EXPECT_FALSE(image_load(&image, &with_zero, 4));
    expect_magenta(image);
}

TEST_F(PlatformImageTest, LoadsPixelsTopRowFirstOrFlipped) {
    std::string path = write_png("small.png", 3, 2);
    String name{reinterpret_cast<const uint8_t*>(path.data()), (int64_t)path.size()};
    Image image{};
    ASSERT_TRUE(image_load(&image, &name, 4));
    ASSERT_EQ(image.width, 3u);
    ASSERT_EQ(image.height, 2u);
    EXPECT_GE(image.pixels, block);
    EXPECT_LT(image.pixels, block + block_size);
    EXPECT_EQ(image.pixels[0 * 4 + 1], 0);  // first row is y 0
    EXPECT_EQ(image.pixels[5 * 4 + 0], 2);  // (2, 1)
    EXPECT_EQ(image.pixels[5 * 4 + 1], 1);
    EXPECT_EQ(image.pixels[5 * 4 + 2], 7);

    image_set_flip(true);
    image_set_buffer_position(0);
    ASSERT_TRUE(image_load(&image, &name, 4));
    EXPECT_EQ(image.pixels[0 * 4 + 1], 1);  // first row is now y 1
    EXPECT_EQ(image.pixels[5 * 4 + 1], 0);
}

TEST_F(PlatformImageTest, AFullBlockFailsCleanlyAndRewindingFreesIt) {
    std::string big = write_png("big.png", 1024, 1024);   // 4 MiB decoded
    std::string small = write_png("tiny.png", 2, 2);
    String big_name{reinterpret_cast<const uint8_t*>(big.data()), (int64_t)big.size()};
    String small_name{reinterpret_cast<const uint8_t*>(small.data()), (int64_t)small.size()};
    Image image{};
    int loaded = 0;
    while (image_load(&image, &big_name, 4)) {
        ASSERT_LT(++loaded, 64) << "the block never filled";
        EXPECT_EQ(image.pixels[(1023 * 1024 + 1023) * 4 + 1], 255);  // (1023, 1023): y low byte
    }
    EXPECT_GE(loaded, 4);  // each load also leaves its inflate buffer behind
    expect_magenta(image);
    // The failed load gave back what it had taken: a small image still fits.
    EXPECT_TRUE(image_load(&image, &small_name, 4));
    EXPECT_EQ(image.width, 2u);

    image_set_buffer_position(0);
    EXPECT_TRUE(image_load(&image, &big_name, 4));  // the whole block is free again

    uint8_t little[64];
    image_set_buffer(sizeof little, little);
    EXPECT_FALSE(image_load(&image, &small_name, 4));
    expect_magenta(image);
    image_set_buffer(0, nullptr);
    EXPECT_FALSE(image_load(&image, &small_name, 4));
    expect_magenta(image);
}
