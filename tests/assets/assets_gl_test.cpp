// The asset loaders against a real GL context: the bundled icons, default
// font, built-in models and resource list load in start-up order with no
// console line; texture parameters and mesh buffers reach the GPU.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "app/editor.h"
#include "assets/assets.h"
#include "assets/mesh.h"
#include "platform/platform.h"
#include "support/platform_harness.h"

static String view(const std::string& text) { return String{reinterpret_cast<const uint8_t*>(text.data()), (int64_t)text.size()}; }

static std::string captured() {
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

class AssetsGlTest : public ::testing::Test {
protected:
    uint8_t* image_block = nullptr;
    bool window_open = false;
    std::filesystem::path previous_directory;

    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY: GL tests need an X server (run under xvfb-run)";
        previous_directory = std::filesystem::current_path();
        ASSERT_EQ(chdir(TARNISK_DATA_DIR), 0);
        editor = Editor{};
        ASSERT_TRUE(harness_open_window(320, 240));
        window_open = true;
        ASSERT_TRUE(pool_create(POOL_PERSISTENT, POOL_PERSISTENT_CAPACITY));
        ASSERT_TRUE(pool_create(POOL_FRAME, POOL_FRAME_CAPACITY));
        image_block = static_cast<uint8_t*>(std::malloc(67108864));
        image_set_buffer(67108864, image_block);
        image_set_flip(true);
    }
    void TearDown() override {
        if (window_open) {
            textures_release();
            meshes_release();
            harness_close_window();
        }
        image_set_buffer(0, nullptr);
        std::free(image_block);
        pool_release(POOL_PERSISTENT);
        pool_release(POOL_FRAME);
        editor = Editor{};
        if (!previous_directory.empty()) std::filesystem::current_path(previous_directory);
    }
    static bool has_glyph(const Font& font, uint32_t code) {
        uint32_t index = 0;
        return int_map_lookup(&font.glyph_map, code, &index) && index > 0 && index < font.glyphs.count;
    }
    static GLint level_width(Texture texture, int level) {
        GLint width = 0;
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
        glBindTexture(GL_TEXTURE_2D, 0);
        return width;
    }
    static GLint buffer_size(GLenum target, uint32_t vertex_array, uint32_t buffer) {
        GLint size = 0;
        glBindVertexArray(vertex_array);
        glBindBuffer(target, buffer);
        glGetBufferParameteriv(target, GL_BUFFER_SIZE, &size);
        glBindVertexArray(0);
        return size;
    }
};

TEST_F(AssetsGlTest, BundledDataLoadsInStartUpOrderWithoutAMessage) {
    testing::internal::CaptureStdout();
    icons_load();
    builtin_meshes_load();
    bool list_read = manifest_load(S("resources.txt"));
    theme_defaults(&editor.theme);
    theme_load(&editor.theme, S("theme.txt"));
    EXPECT_EQ(captured(), "");
    EXPECT_TRUE(list_read);
    AssetState& assets = editor.assets;

    for (int i = 0; i < ICON_COUNT; i++) EXPECT_NE(assets.icons[i], 0u) << "icon " << i;
    EXPECT_EQ(texture_find(S("no such texture")), assets.icons[ICON_WHITE]);
    EXPECT_GT(level_width(assets.icons[ICON_WHITE], 0), 0);

    // What text layout relies on: printable ASCII, Latin-1 and the
    // replacement glyph in glyph 0.
    const Font& font = assets.default_font;
    EXPECT_NE(font.texture, 0u);
    EXPECT_DOUBLE_EQ(font.font_scale, 256);
    EXPECT_GT(font.space_advance, 0);
    EXPECT_GT(font.line_height, 0);
    for (uint32_t code = 33; code <= 126; code++) EXPECT_TRUE(has_glyph(font, code)) << code;
    for (uint32_t code = 161; code <= 255; code++) EXPECT_TRUE(has_glyph(font, code)) << code;
    EXPECT_TRUE(has_glyph(font, 0xFFFD));
    EXPECT_GT(font.glyphs.data[0].advance, 0);
    EXPECT_EQ(editor.theme.font, &assets.default_font);

    // The built-in models, in their slots and in the mesh table.
    ASSERT_EQ(assets.meshes.count, BUILTIN_COUNT + 2);
    for (int i = 0; i < BUILTIN_COUNT; i++) {
        const Mesh& mesh = assets.builtin[i];
        EXPECT_EQ(assets.meshes.data[i], &assets.builtin[i]);
        EXPECT_NE(mesh.vertex_array, 0u);
        EXPECT_GT(mesh.index_count, 0);
        EXPECT_EQ(mesh.index_count % 3, 0);
        EXPECT_EQ(buffer_size(GL_ARRAY_BUFFER, mesh.vertex_array, mesh.vertex_buffer), mesh.vertex_count * 36);
        EXPECT_EQ(buffer_size(GL_ELEMENT_ARRAY_BUFFER, mesh.vertex_array, mesh.index_buffer), mesh.index_count * 4);
        // Every triangle is drawn: the ranges cover all indices.
        int64_t covered = 0;
        for (int64_t r = 0; r < mesh.range_count; r++) covered += mesh.ranges[r].index_count;
        EXPECT_EQ(covered, mesh.index_count) << "model " << i;
    }
    const Mesh& cube = assets.builtin[BUILTIN_CUBE];
    EXPECT_FLOAT_EQ(cube.bounds_min.x, -1);
    EXPECT_FLOAT_EQ(cube.bounds_min.y, -1);
    EXPECT_FLOAT_EQ(cube.bounds_min.z, -1);
    EXPECT_FLOAT_EQ(cube.bounds_max.x, 1);
    EXPECT_FLOAT_EQ(cube.bounds_max.y, 1);
    EXPECT_FLOAT_EQ(cube.bounds_max.z, 1);
    const Mesh& sphere = assets.builtin[BUILTIN_SPHERE];
    EXPECT_NEAR(sphere.bounds_min.x, -1, 1e-5);
    EXPECT_NEAR(sphere.bounds_max.z, 1, 1e-5);
    MeshBuild build;
    ScratchArena arena;
    ASSERT_EQ(mesh_build_file(&build, &arena, S("models/sphere.obj")), 0);
    for (int64_t v = 0; v < build.vertex_count; v++) {
        Vec3 p = build.vertices[v].position;
        EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 1.0, 1e-5);
    }
    scratch_release(&arena);

    // The resource list's names resolve.
    EXPECT_NE(texture_find(S("bricks")), assets.icons[ICON_WHITE]);
    Font* serif = font_find(S("serif"));
    EXPECT_NE(serif, &assets.default_font);
    EXPECT_NE(serif->texture, 0u);
    Mesh* house = mesh_find(S("house"));
    ASSERT_NE(house, nullptr);
    EXPECT_EQ(mesh_find(S("no such mesh")), nullptr);
    bool found_walls = false;
    for (int64_t m = 0; m < house->material_count; m++) {
        const MaterialRange& range = house->ranges[m];
        if (std::string(reinterpret_cast<const char*>(range.material_name.data), (size_t)range.material_name.length) == "walls") {
            found_walls = true;
            EXPECT_EQ(house->materials[m].texture, texture_find(S("bricks")));
            EXPECT_GT(range.index_count, 0u);
        }
        EXPECT_FLOAT_EQ(house->materials[m].uv_rect.z, 1);
    }
    EXPECT_TRUE(found_walls);
    EXPECT_EQ(house->vertices, nullptr);   // the vertices live on the GPU only
}

TEST_F(AssetsGlTest, TextureParametersAndDuplicateNames) {
    std::string list = "texture a 2 2 5 0 samples/checker.png\n"
                       "texture b 2 2 1 0 samples/checker.png\r\n"
                       "texture a 0 0 1 1 samples/bricks.png\n";
    std::filesystem::path path = std::filesystem::temp_directory_path() / ("tarnisk_list_" + std::to_string(getpid()));
    std::ofstream(path, std::ios::binary) << list;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(manifest_load(view(path.string())));
    EXPECT_EQ(captured(), "");
    std::filesystem::remove(path);
    ASSERT_EQ(editor.assets.textures.count, 3);
    Texture mipmapped = editor.assets.textures.data[0];
    Texture plain = texture_find(S("b"));
    EXPECT_EQ(texture_find(S("a")), editor.assets.textures.data[2]);   // the later line wins
    EXPECT_GT(level_width(mipmapped, 1), 0);
    EXPECT_EQ(level_width(plain, 1), 0);
    EXPECT_GT(level_width(plain, 0), 1);   // the CR LF line found its file

    GLint min_filter = 0, wrap = 0;
    glBindTexture(GL_TEXTURE_2D, mipmapped);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(min_filter, GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);

    // Textures ask for 8 anisotropic samples, except on Mesa's software
    // rasterisers, whose anisotropic sampler can take a minute per frame.
    GLfloat anisotropy = 0;
    glBindTexture(GL_TEXTURE_2D, mipmapped);
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY, &anisotropy);
    glBindTexture(GL_TEXTURE_2D, 0);
    std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    GLfloat most = 1;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY, &most);
    bool software = renderer.find("llvmpipe") != std::string::npos || renderer.find("softpipe") != std::string::npos;
    EXPECT_FLOAT_EQ(anisotropy, software ? 1.0f : std::min(8.0f, most)) << renderer;
}

// A mipmapped texture missing a level samples as black; the levels are ours,
// so the whole chain and its contents are checked on the GPU's copy.
TEST_F(AssetsGlTest, MipmappedIconsCarryEveryLevelDownToOneTexel) {
    icons_load();
    Texture hue = editor.assets.icons[ICON_HUE];   // 8 x 256: the chain runs on along one side
    ASSERT_EQ(level_width(hue, 0), 8);
    GLint width = 0, height = 0;
    glBindTexture(GL_TEXTURE_2D, hue);
    for (int level = 1; level <= 8; level++) {
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &height);
        EXPECT_EQ(width, std::max(8 >> level, 1)) << "level " << level;
        EXPECT_EQ(height, 256 >> level) << "level " << level;
    }
    std::vector<uint8_t> base(8 * 256 * 4), half(4 * 128 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, base.data());
    glGetTexImage(GL_TEXTURE_2D, 1, GL_RGBA, GL_UNSIGNED_BYTE, half.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    uint32_t w = 8, h = 256;
    image_halve(base.data(), &w, &h);
    base.resize(half.size());
    EXPECT_EQ(base, half);
    // The hue runs along v: the first level still holds red at the bottom.
    EXPECT_EQ(half[0], 255);
    EXPECT_LT(half[2], 16);
}

TEST_F(AssetsGlTest, MeshMaterialsAndTheBuiltInMessage) {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / ("tarnisk_mesh_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "m.mtl", std::ios::binary) << "newmtl gray\r\nKd 0.5 0.5 0.5\r\nmap_Kd -s 2 2 1 nothing\r\n";
    std::ofstream(folder / "m.obj", std::ios::binary)
        << "mtllib m.mtl\r\nv 0 0 0\r\nv 1 0 0\r\nv 1 1 0\r\nusemtl gray\r\nf 1 2 3\r\n";
    Mesh mesh{};
    testing::internal::CaptureStdout();
    ASSERT_TRUE(mesh_import(&mesh, view((folder / "m.obj").string())));
    bool builtin_ok = mesh_load_builtin(&editor.assets.builtin[0], S("models/none.obj"));
    std::string output = captured();
    std::filesystem::remove_all(folder);

    ASSERT_EQ(mesh.material_count, 1);
    // "Kd" as written: the renderer's linear conversion is the one 2.2 power.
    EXPECT_FLOAT_EQ(mesh.materials[0].color.x, 0.5f);
    EXPECT_FLOAT_EQ(mesh.materials[0].color.w, 1);
    EXPECT_EQ(mesh.materials[0].texture, editor.assets.icons[ICON_WHITE]);   // unknown name
    EXPECT_EQ(mesh.ranges[0].index_count, 3u);
    EXPECT_EQ(mesh.vertex_count, 3);
    EXPECT_NE(mesh.vertex_array, 0u);

    EXPECT_FALSE(builtin_ok);
    EXPECT_EQ(output, "failed to load mesh: models/none.obj\n");
    EXPECT_EQ(editor.assets.meshes.count, 1);   // the slot is in the table all the same
    EXPECT_EQ(editor.assets.builtin[0].vertex_array, 0u);
    buffer_destroy(mesh.vertex_buffer);
    buffer_destroy(mesh.index_buffer);
    vertex_array_destroy(mesh.vertex_array);
}
