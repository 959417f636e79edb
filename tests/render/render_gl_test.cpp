// Rendering on the real GL backend: the shipped shaders, a quad on exact
// window pixels, colors through the scene image and the gamma pass, the
// picking image's exact identities, targets after a resize, mesh parts and
// text pixels inside their measured box.
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/editor.h"
#include "platform/platform.h"
#include "render/draw.h"
#include "render/shader.h"
#include "render/targets.h"
#include "support/gl_fixture.h"
#include "support/platform_harness.h"
#include "ui/quad.h"
#include "ui/text.h"

namespace {

const Vec4 WHITE{1, 1, 1, 1};

// Identities must reach the picking image untouched, so they bypass the
// interface routines (which make display colors linear).
void identity_quad(uint32_t texture, uint64_t identity, float x, float y, float width, float height) {
    bind_diffuse_texture(texture);
    editor.render.draw.color = identity_color(identity);
    batch_begin();
    quad_append(x, y, width, height, 0, 0, Vec4{0, 0, 1, 1});
    batch_flush();
}

uint32_t make_white_texture() {
    const uint8_t pixels[4 * 4 * 4] = {
        255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
        255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
        255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
        255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
    };
    uint32_t texture = texture_create();
    texture_bind(1, texture);
    texture_image_2d(1, 0, 13, 4, 4, 8, 0, pixels);
    texture_parameter_filter(1, 3, 0);
    texture_parameter_filter(1, 4, 0);
    texture_unbind(1);
    return texture;
}

class RenderGlTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        testing::internal::CaptureStdout();
        shaders_load_all();
        batch_setup();
        frame_targets_create();
        startup_output = testing::internal::GetCapturedStdout();
        white = make_white_texture();
        editor.assets.icons[ICON_WHITE] = white;
        pipeline_cull_enable(true);
        pipeline_blend_enable(false);
        pipeline_depth_enable(false);
    }

    void interface_matrices() {
        editor.projection_matrix =
            mat4_ortho(0, (float)editor.window_width, 0, (float)editor.window_height, -1, 1);
        editor.view_matrix = mat4_identity();
    }

    // The scene image as the editor frame leaves it for the interface pass.
    void begin_scene_target() {
        frame_target_bind(&editor.render.scene_target);
        shader_program_use(&editor.render.simple);
        pipeline_clear_color(0, 0, 0, 1);
        pipeline_clear(CLEAR_COLOR | CLEAR_DEPTH);
        interface_matrices();
    }

    std::vector<HarnessPixel> read_window(int32_t x, int32_t y, int32_t w, int32_t h) {
        std::vector<HarnessPixel> pixels((size_t)(w * h));
        harness_read_pixels(0, x, y, w, h, 0, pixels.data());
        return pixels;
    }

    std::string startup_output;
    uint32_t white = 0;
};

TEST_F(RenderGlTest, ShippedShadersCompileAndFindTheirUniforms) {
    EXPECT_EQ(startup_output, "");
    const RenderState& r = editor.render;
    for (int slot = UNIFORM_MODEL_VIEW_PROJECTION; slot <= UNIFORM_GAMMA; slot++)
        EXPECT_NE(r.simple.slots[slot], -1) << "simple slot " << slot;
    EXPECT_NE(r.gamma.slots[UNIFORM_MODEL_VIEW_PROJECTION], -1);
    EXPECT_NE(r.gamma.slots[UNIFORM_DIFFUSE_MAP], -1);
    EXPECT_NE(r.gamma.slots[UNIFORM_GAMMA], -1);
    EXPECT_NE(uniform_location(&r.picking, S("matrix_model_view_projection")), -1);
    EXPECT_NE(uniform_location(&r.picking, S("diffuse")), -1);
    // Names outside a program's list are not looked up at all.
    EXPECT_EQ(uniform_location(&r.picking, S("uv_rect")), -1);
    EXPECT_EQ(uniform_location(&r.picking, S("gamma")), -1);
    EXPECT_EQ(r.picking.slots[UNIFORM_UV_RECT], -1);
    EXPECT_NE(r.color.slots[UNIFORM_GAMMA], -1);
    EXPECT_EQ(r.simple.uniform_name_count, 5);
    EXPECT_EQ(r.color.uniform_name_count, 3);
}

TEST_F(RenderGlTest, BrokenShaderIsReportedAndTheProgramGoesOn) {
    static const String names[] = {S("matrix_model_view_projection"), S("diffuse")};
    ShaderProgram broken{};
    testing::internal::CaptureStdout();
    shader_program_load(&broken, S("picking"), S("this is not a shader"), names, 2);
    std::string output = testing::internal::GetCapturedStdout();
    const std::string head = "failed to compile shader 'picking':\n";
    ASSERT_GT(output.size(), head.size());
    EXPECT_EQ(output.substr(0, head.size()), head);
    EXPECT_NE(broken.program, 0u);
    EXPECT_EQ(uniform_location(&broken, S("diffuse")), -1);

    // Drawing with it breaks nothing; a good program draws afterwards.
    begin_scene_target();
    shader_program_use(&broken);
    set_uniform_vec4(S("diffuse"), WHITE);
    quad_draw(white, WHITE, 0, 0, 50, 50);
    shader_program_use(&editor.render.simple);
    quad_draw(white, WHITE, 100, 100, 10, 10);
    final_pass_to_window();
    EXPECT_EQ(harness_pixel(0, 105, 105).r, 255);
}

TEST_F(RenderGlTest, MissingShaderFilesAreReportedOnePerProgram) {
    ASSERT_EQ(chdir("/"), 0);
    testing::internal::CaptureStdout();
    shaders_load_all();
    std::string output = testing::internal::GetCapturedStdout();
    ASSERT_EQ(chdir(TARNISK_DATA_DIR), 0);
    size_t at = 0;
    for (const char* name : {"simple", "gamma", "picking", "color"}) {
        std::string line = std::string("failed to compile shader '") + name + "':\n";
        size_t found = output.find(line, at);
        ASSERT_NE(found, std::string::npos) << name;
        at = found + line.size();
    }
}

TEST_F(RenderGlTest, QuadInWindowPixelsLandsOnExactlyThosePixels) {
    begin_scene_target();
    quad_draw(white, WHITE, 10, 20, 30, 40);
    final_pass_to_window();
    const int32_t w = 60, h = 80;
    std::vector<HarnessPixel> pixels = read_window(0, 0, w, h);
    int wrong = 0;
    for (int32_t y = 0; y < h; y++) {
        for (int32_t x = 0; x < w; x++) {
            bool inside = x >= 10 && x < 40 && y >= 20 && y < 60;
            const HarnessPixel& p = pixels[(size_t)(y * w + x)];
            if ((p.r == 255 && p.g == 255 && p.b == 255) != inside) wrong++;
            if (!inside && (p.r | p.g | p.b) != 0) wrong++;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(RenderGlTest, DisplayColorsComeBackThroughTheSceneImageWithinOneStep) {
    begin_scene_target();
    // Every 8-bit value once in red, and in green and blue in other orders,
    // four pixels per value across the window.
    for (int d = 0; d < 256; d++) {
        Vec4 display{d / 255.0f, (255 - d) / 255.0f, ((d * 7) % 256) / 255.0f, 1};
        quad_draw(white, display, (float)(d * 4), 0, 4, 8);
    }
    final_pass_to_window();
    std::vector<HarnessPixel> row = read_window(0, 4, 1024, 1);
    int worst = 0;
    for (int d = 0; d < 256; d++) {
        for (int k = 0; k < 4; k++) {
            const HarnessPixel& p = row[(size_t)(d * 4 + k)];
            int errors[3] = {std::abs(p.r - d), std::abs(p.g - (255 - d)), std::abs(p.b - (d * 7) % 256)};
            for (int e : errors) worst = std::max(worst, e);
            EXPECT_LE(errors[0], 1) << "value " << d;
        }
    }
    EXPECT_LE(worst, 1);
}

TEST_F(RenderGlTest, PickingTargetKeepsIdentitiesExactly) {
    RenderState& r = editor.render;
    frame_target_bind(&r.picking_target);
    shader_program_use(&r.picking);
    pipeline_clear_color(0, 0, 0, 0);
    pipeline_clear(CLEAR_COLOR | CLEAR_DEPTH);
    interface_matrices();
    identity_quad(white, identity_value(0, 0), 0, 0, 10, 10);
    identity_quad(white, identity_value(65535, 0), 10, 0, 10, 10);
    identity_quad(white, identity_value(7, 5), 20, 0, 10, 10);
    identity_quad(white, identity_value(123456789, 3 * 30000 + 1), 30, 0, 10, 10);

    HarnessPixel16 row0 = harness_pixel16(r.picking_target.frame_buffer, 5, 5);
    EXPECT_EQ(row0.r, 1);
    EXPECT_EQ(row0.g, 0);
    HarnessPixel16 wide = harness_pixel16(r.picking_target.frame_buffer, 15, 5);
    EXPECT_EQ(wide.r, 0);
    EXPECT_EQ(wide.g, 1);
    HarnessPixel16 handle = harness_pixel16(r.picking_target.frame_buffer, 25, 5);
    EXPECT_EQ(handle.r, 8);
    EXPECT_EQ(handle.b, 5);
    auto decode = [&](int32_t x, int32_t y) {
        HarnessPixel16 p = harness_pixel16(r.picking_target.frame_buffer, x, y);
        const uint16_t rgba[4] = {p.r, p.g, p.b, p.a};
        return identity_decode(rgba);
    };
    EXPECT_EQ(decode(35, 5).row_index, 123456789);
    EXPECT_EQ(decode(35, 5).sub_element, 90001);
    EXPECT_EQ(decode(500, 500).row_index, -1);
    EXPECT_EQ(decode(500, 500).sub_element, 0);
}

// A square mesh of two parts (left and right halves), white vertex colors.
struct TestMesh {
    Mesh mesh;
    MaterialRange ranges[2];
    Material materials[2];
};

void make_test_mesh(TestMesh* t, float x, float y, float size) {
    const float h = size / 2;
    MeshVertex vertices[8];
    const float xs[2] = {x, x + h};
    for (int part = 0; part < 2; part++) {
        float left = xs[part];
        vertices[part * 4 + 0] = MeshVertex{Vec3{left, y, 0}, WHITE, Vec2{0, 0}};
        vertices[part * 4 + 1] = MeshVertex{Vec3{left + h, y, 0}, WHITE, Vec2{1, 0}};
        vertices[part * 4 + 2] = MeshVertex{Vec3{left + h, y + size, 0}, WHITE, Vec2{1, 1}};
        vertices[part * 4 + 3] = MeshVertex{Vec3{left, y + size, 0}, WHITE, Vec2{0, 1}};
    }
    const uint32_t indices[12] = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
    *t = TestMesh{};
    t->mesh.vertex_array = vertex_array_create();
    t->mesh.vertex_buffer = buffer_create();
    t->mesh.index_buffer = buffer_create();
    vertex_array_bind(t->mesh.vertex_array);
    buffer_bind(0, t->mesh.vertex_buffer);
    buffer_data(0, sizeof vertices, vertices, 0);
    attribute_enable(0, true);
    attribute_format(0, 3, 6, false, 36, 0);
    attribute_enable(1, true);
    attribute_format(1, 4, 6, false, 36, 12);
    attribute_enable(2, true);
    attribute_format(2, 2, 6, false, 36, 28);
    buffer_bind(1, t->mesh.index_buffer);
    buffer_data(1, sizeof indices, indices, 0);
    vertex_array_unbind();
    t->ranges[0] = MaterialRange{0, 0, 4, 6, String{}, String{}};
    t->ranges[1] = MaterialRange{4, 6, 4, 6, String{}, String{}};
    t->mesh.ranges = t->ranges;
    t->mesh.range_count = 2;
    t->mesh.materials = t->materials;
    t->mesh.material_count = 2;
}

TEST_F(RenderGlTest, MeshPartsDrawWithTheirOwnMaterialsAndFlatIdentities) {
    TestMesh t;
    make_test_mesh(&t, 100, 100, 40);
    uint32_t other_white = make_white_texture();
    t.materials[0] = Material{Vec4{0.5f, 0.5f, 0.5f, 1}, white, String{}, Vec4{0, 0, 1, 1}};
    t.materials[1] = Material{Vec4{1, 0, 0, 1}, other_white, String{}, Vec4{0, 0, 1, 1}};

    begin_scene_target();
    set_matrices(mat4_identity());
    mesh_draw(&t.mesh);
    final_pass_to_window();
    // Material colors are display-space: 0.5 reaches "diffuse" near 0.218
    // and the final pass brings it back.
    HarnessPixel gray = harness_pixel(0, 110, 120);
    EXPECT_NEAR(gray.r, 128, 1);
    EXPECT_NEAR(gray.g, 128, 1);
    HarnessPixel red = harness_pixel(0, 130, 120);
    EXPECT_EQ(red.r, 255);
    EXPECT_EQ(red.g, 0);

    RenderState& r = editor.render;
    frame_target_bind(&r.picking_target);
    shader_program_use(&r.picking);
    pipeline_clear_color(0, 0, 0, 0);
    pipeline_clear(CLEAR_COLOR | CLEAR_DEPTH);
    set_matrices(mat4_identity());
    mesh_draw_flat(&t.mesh, identity_value(41, 7));
    for (int32_t x : {105, 135}) {
        HarnessPixel16 p = harness_pixel16(r.picking_target.frame_buffer, x, 120);
        EXPECT_EQ(p.r, 42);
        EXPECT_EQ(p.g, 0);
        EXPECT_EQ(p.b, 7);
        EXPECT_EQ(p.a, 0);
    }
}

TEST_F(RenderGlTest, ResizeRebuildsBothTargetsAtTheNewSize) {
    ASSERT_TRUE(harness_resize(1200, 900));
    input_poll();
    ASSERT_TRUE(display_is_resized(&editor.window_width, &editor.window_height));
    ASSERT_EQ(editor.window_width, 1200);
    testing::internal::CaptureStdout();
    frame_targets_create();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    for (const FrameTarget* target : {&editor.render.scene_target, &editor.render.picking_target}) {
        GLint width = 0, height = 0;
        glBindTexture(GL_TEXTURE_2D, target->color_texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        EXPECT_EQ(width, 1200);
        EXPECT_EQ(height, 900);
        glBindRenderbuffer(GL_RENDERBUFFER, target->depth_buffer);
        glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &width);
        glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &height);
        EXPECT_EQ(width, 1200);
        EXPECT_EQ(height, 900);
    }
    // The far corner of the new picking image takes an identity.
    RenderState& r = editor.render;
    frame_target_bind(&r.picking_target);
    shader_program_use(&r.picking);
    pipeline_clear_color(0, 0, 0, 0);
    pipeline_clear(CLEAR_COLOR);
    interface_matrices();
    identity_quad(white, identity_value(9, 0), 1190, 890, 10, 10);
    EXPECT_EQ(harness_pixel16(r.picking_target.frame_buffer, 1199, 899).r, 10);
}

TEST_F(RenderGlTest, BundledFontDrawsAnAbsentCodePointAsTheReplacementGlyph) {
    Font font{};
    font.font_scale = 256;
    testing::internal::CaptureStdout();
    bool loaded = font_load(S("textures/font_info.txt"), &font);
    testing::internal::GetCapturedStdout();
    if (!loaded) GTEST_SKIP() << "textures/font_info.txt did not load";
    ASSERT_EQ(glyph_lookup(&font, 0x4E00), 0u);
    auto draw_and_read = [&](String text) {
        begin_scene_target();
        pipeline_blend_enable(true);
        pipeline_blend_factor(3, 9);
        float end = text_draw_now(&font, WHITE, text, 100, 100, 1, 1, ALIGN_LEFT, ALIGN_MIDDLE);
        pipeline_blend_enable(false);
        final_pass_to_window();
        std::vector<HarnessPixel> pixels = read_window(90, 80, 40, 40);
        return std::make_pair(end, pixels);
    };
    auto absent = draw_and_read(S("\xE4\xB8\x80"));      // U+4E00, not in the font
    auto replacement = draw_and_read(S("\xEF\xBF\xBD"));  // U+FFFD
    EXPECT_EQ(absent.first, replacement.first);
    EXPECT_GT(absent.first, 100);
    int lit = 0, different = 0;
    for (size_t i = 0; i < absent.second.size(); i++) {
        if (absent.second[i].r != 0) lit++;
        if (absent.second[i].r != replacement.second[i].r) different++;
    }
    EXPECT_GT(lit, 10);
    EXPECT_EQ(different, 0);
}

class TextGlTest : public RenderGlTest {
protected:
    void SetUp() override {
        RenderGlTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // Whole-pixel glyphs at scale 1, each inside its advance and line.
        font = Font{};
        font.font_scale = 256;
        font.space_advance = 5.0 / 256;
        font.line_height = 14.0 / 256;
        font.texture = white;
        font.glyphs = array_make<Glyph>(POOL_PERSISTENT);
        font.glyph_map = int_map_make(POOL_PERSISTENT);
        array_push(&font.glyphs, Glyph{0, 0, 6.0 / 256, 0, 0, 4.0 / 256, 9.0 / 256});
        array_push(&font.glyphs, Glyph{-1.0 / 256, 0, 9.0 / 256, 0, 0, 7.0 / 256, 14.0 / 256});
        int_map_insert(&font.glyph_map, 'A', 1);
        begin_scene_target();
    }

    // Lit pixels of the window region, after the final pass.
    struct Lit {
        int inside = 0, outside = 0;
    };
    Lit count_lit(Vec4 box, int32_t x0, int32_t y0, int32_t w, int32_t h) {
        final_pass_to_window();
        std::vector<HarnessPixel> pixels = read_window(x0, y0, w, h);
        Lit lit;
        for (int32_t y = 0; y < h; y++) {
            for (int32_t x = 0; x < w; x++) {
                if (pixels[(size_t)(y * w + x)].r == 0) continue;
                float px = x0 + x + 0.5f, py = y0 + y + 0.5f;
                bool inside = px >= box.x && px < box.x + box.z && py >= box.y && py < box.y + box.w;
                (inside ? lit.inside : lit.outside)++;
            }
        }
        return lit;
    }

    Font font;
};

TEST_F(TextGlTest, DrawnStringStaysInsideItsMeasuredBox) {
    const String text = S("AA A\nA?A");
    const double scale = 2;
    editor.render.draw.align = TextAlign{ALIGN_CENTER, ALIGN_MIDDLE};
    editor.render.draw.font = &font;
    TextExtent e = text_measure(text, scale, scale);
    const float x = 300, y = 200, line = 28;
    Vec4 box{x + e.offset_x, y + e.offset_y + line - e.height, e.width, e.height};
    EXPECT_FLOAT_EQ(e.width, 2 * (9 + 9 + 5 + 9));
    EXPECT_FLOAT_EQ(e.height, 2 * line);
    text_draw_now(&font, WHITE, text, x, y, scale, scale, ALIGN_CENTER, ALIGN_MIDDLE);
    Lit lit = count_lit(box, 200, 120, 200, 160);
    EXPECT_GT(lit.inside, 500);
    EXPECT_EQ(lit.outside, 0);
}

TEST_F(TextGlTest, ClippedStringStopsAtTheClipRectangle) {
    const Vec4 clip{310, 195, 25, 12};
    text_draw_now_clipped(&font, WHITE, S("AAAAAAAA"), clip, 300, 200, 2, 2);
    Lit lit = count_lit(clip, 250, 150, 200, 100);
    EXPECT_GT(lit.inside, 100);
    EXPECT_EQ(lit.outside, 0);
}

}  // namespace
