// Font descriptions, the theme file and resource list lines, read from text
// in memory or small files written into a temporary folder; no GPU.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "app/editor.h"
#include "assets/assets.h"
#include "support/pool_fixture.h"

static String view(const std::string& text) { return String{reinterpret_cast<const uint8_t*>(text.data()), (int64_t)text.size()}; }
static std::string str(String s) { return std::string(reinterpret_cast<const char*>(s.data), (size_t)s.length); }

static std::string captured() {
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

class AssetTextTest : public PoolTest {
protected:
    std::filesystem::path folder;
    void SetUp() override {
        PoolTest::SetUp();
        folder = std::filesystem::temp_directory_path() / ("tarnisk_assets_" + std::to_string(getpid()));
        std::filesystem::create_directories(folder / "fonts");
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
        PoolTest::TearDown();
    }
    std::string write(const std::string& name, const std::string& content) {
        std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    // Parses a description without touching files; the output is kept.
    bool parse(const std::string& text, Font* font, std::string* output = nullptr) {
        String image;
        testing::internal::CaptureStdout();
        bool ok = font_parse(view(text), String{nullptr, 0}, font, &image, false);
        std::string out = captured();
        if (output) *output = out;
        return ok;
    }
    static uint32_t glyph_of(const Font& font, uint32_t code) {
        uint32_t index = 0;
        return int_map_lookup(&font.glyph_map, code, &index) ? index : 0;
    }
};

// ---------------------------------------------------------------------------
// Fonts

TEST_F(AssetTextTest, GlyphsAreNormalisedByTheImageSize) {
    Font font{};
    ASSERT_TRUE(parse("s 256 128\ng 65 2 96 20 64 32 16 48\ng 32 0 0 10 0 0 6 8\ng 9 0 0 40 0 0 4 4\n", &font));
    ASSERT_EQ(font.glyphs.count, 4);
    const Glyph& a = font.glyphs.data[glyph_of(font, 65)];
    EXPECT_DOUBLE_EQ(a.x_offset, 2.0 / 256);
    EXPECT_DOUBLE_EQ(a.y_offset, 96.0 / 128);
    EXPECT_DOUBLE_EQ(a.advance, 20.0 / 256);
    EXPECT_DOUBLE_EQ(a.u, 64.0 / 256);
    EXPECT_DOUBLE_EQ(a.v, 32.0 / 128);
    EXPECT_DOUBLE_EQ(a.width, 16.0 / 256);
    EXPECT_DOUBLE_EQ(a.height, 48.0 / 128);
    EXPECT_DOUBLE_EQ(font.space_advance, 10.0 / 256);   // the advance, not the width
    EXPECT_DOUBLE_EQ(font.tab_advance, 40.0 / 256);
    EXPECT_DOUBLE_EQ(font.line_height, 48.0 / 128);
    EXPECT_DOUBLE_EQ(font.font_scale, 256);
    EXPECT_EQ(font.texture, 0u);
}

TEST_F(AssetTextTest, ReplacementGlyphBecomesGlyphZero) {
    Font font{};
    ASSERT_TRUE(parse("g 66 1 2 3 4 5 6 7\ns 2 2\n", &font));   // before "s": in pixels
    EXPECT_DOUBLE_EQ(font.glyphs.data[1].height, 7);
    EXPECT_DOUBLE_EQ(font.glyphs.data[0].advance, 0);   // no U+FFFD: glyph 0 stays empty
    ASSERT_TRUE(parse("s 2 2\ng 65533 0 0 8 0 0 2 2\n", &font));
    EXPECT_DOUBLE_EQ(font.glyphs.data[0].advance, 4);
}

TEST_F(AssetTextTest, MalformedDescriptionsFailAndLeaveTheRecord) {
    Font font{};
    font.font_scale = 99;
    std::string output;
    EXPECT_FALSE(parse("s 1 1\n\ng 65 0 0 1 0 0 1 1\n", &font, &output));   // empty line
    EXPECT_EQ(output, "");
    EXPECT_FALSE(parse("s 1 1\nx 3\n", &font, &output));
    EXPECT_EQ(output, "unknown x\n");
    EXPECT_FALSE(parse("s 1 1\ng", &font, &output));   // the data ends after the letter
    EXPECT_FALSE(parse("s1 1\n", &font, &output));
    EXPECT_DOUBLE_EQ(font.font_scale, 99);
    EXPECT_EQ(font.glyphs.count, 0);
}

TEST_F(AssetTextTest, CrLfDescriptionReadsLikeLf) {
    Font font{};
    String image;
    std::string text = "s 64 64\r\ni atlas.png\r\ng 65 0 0 32 0 0 32 32\r\n";
    ASSERT_TRUE(font_parse(view(text), String{nullptr, 0}, &font, &image, false));
    EXPECT_EQ(str(image), "atlas.png");
    EXPECT_DOUBLE_EQ(font.glyphs.data[1].height, 0.5);
}

TEST_F(AssetTextTest, ImageIsFoundBesideTheDescription) {
    write("fonts/atlas.png", "not really an image");
    std::string directory = (folder / "fonts").string() + "/";
    Font font{};
    String image;
    ASSERT_TRUE(font_parse(S("i atlas.png\n"), view(directory), &font, &image, true));
    EXPECT_EQ(str(image), directory + "atlas.png");

    testing::internal::CaptureStdout();
    EXPECT_FALSE(font_parse(S("i missing.png\n"), view(directory), &font, &image, true));
    EXPECT_EQ(captured(), "failed to load font image: " + directory + "missing.png\n");
}

TEST_F(AssetTextTest, FontFileThatCannotBeOpened) {
    Font font{};
    font.font_scale = 256;
    std::string path = (folder / "nothing.txt").string();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(font_load(view(path), &font));
    EXPECT_EQ(captured(), "failed to open " + path + "\n");
    EXPECT_EQ(font.glyphs.count, 0);

    // A description without an image needs no GPU.
    std::string good = write("fonts/plain.txt", "s 8 8\ng 65 0 0 8 0 0 8 8\n");
    ASSERT_TRUE(font_load(view(good), &font));
    EXPECT_EQ(font.glyphs.count, 2);
}

// ---------------------------------------------------------------------------
// Theme

TEST_F(AssetTextTest, ThemeDefaults) {
    Theme theme;
    theme_defaults(&theme);
    EXPECT_FLOAT_EQ(theme.color.x, 0.3f);
    EXPECT_FLOAT_EQ(theme.hover_color.w, 0.2f);
    EXPECT_FLOAT_EQ(theme.scale, 24);
    EXPECT_FLOAT_EQ(theme.offset, 12);
    EXPECT_FLOAT_EQ(theme.text_scale, 0.67f);
    EXPECT_FLOAT_EQ(theme.text_offset, 8);
    EXPECT_FLOAT_EQ(theme.file_color.y, 0.8f);
    EXPECT_FLOAT_EQ(theme.show_objects_colors.x, 0.8f);
    EXPECT_FLOAT_EQ(theme.cursor_width, 6);
    EXPECT_FLOAT_EQ(theme.panel_background.w, 0.95f);
}

TEST_F(AssetTextTest, ThemeLinesByShape) {
    Theme theme;
    theme_defaults(&theme);
    theme_apply(&theme, S("hover_color 1 0 0 0.5\n"
                          "close_color 0 1 0\n"            // three numbers: ignored
                          "Hover_color 0 0 0 0\n"          // keys are case-sensitive
                          "selection_color 0.1 0.2 0.3 0.4 extra\n"
                          "text_offset 3 ignored\n"
                          "scale 1 2 3 4\n"                // five tokens: a color line, no color key
                          "offset  5\n"                    // two spaces: the value is an empty token
                          "cursor_color 0 0 1 1\r\n"
                          "cursor_width 2\n"
                          "cursor_width 9\n"));            // the later line wins
    EXPECT_FLOAT_EQ(theme.hover_color.x, 1);
    EXPECT_FLOAT_EQ(theme.hover_color.y, 0);
    EXPECT_FLOAT_EQ(theme.hover_color.w, 0.5f);
    EXPECT_FLOAT_EQ(theme.close_color.x, 1);
    EXPECT_FLOAT_EQ(theme.selection_color.w, 0.4f);
    EXPECT_FLOAT_EQ(theme.text_offset, 3);
    EXPECT_FLOAT_EQ(theme.scale, 24);
    EXPECT_FLOAT_EQ(theme.offset, 0);
    EXPECT_FLOAT_EQ(theme.cursor_color.w, 1);
    EXPECT_FLOAT_EQ(theme.cursor_width, 9);
}

TEST_F(AssetTextTest, ThemeFileSetsTheDerivedValues) {
    Theme theme;
    theme_defaults(&theme);
    editor.assets.icons[ICON_MAXIMIZE] = 41;
    editor.assets.icons[ICON_MINIMIZE] = 42;
    std::string path = write("theme.txt", "scale 30\r\noffset 7\r\n");
    theme_load(&theme, view(path));
    EXPECT_FLOAT_EQ(theme.list_row_height, 30);
    EXPECT_FLOAT_EQ(theme.list_arrow_size, 22.5f);
    EXPECT_FLOAT_EQ(theme.list_indent, 7);
    EXPECT_FLOAT_EQ(theme.list_group_end_height, 7);
    EXPECT_EQ(theme.list_arrow_collapsed, 41u);
    EXPECT_EQ(theme.list_arrow_expanded, 42u);
    EXPECT_EQ(theme.font, &editor.assets.default_font);

    theme_defaults(&theme);
    theme_load(&theme, view((folder / "none.txt").string()));   // missing: only derived values
    EXPECT_FLOAT_EQ(theme.list_row_height, 24);
    editor.assets = AssetState{};
}

// ---------------------------------------------------------------------------
// Resource list lines

TEST_F(AssetTextTest, ManifestLines) {
    ManifestEntry entry;
    ASSERT_TRUE(manifest_parse_line(S("texture bricks 0 1 5 1 textures/old bricks.png"), &entry));
    EXPECT_EQ(entry.kind, MANIFEST_TEXTURE);
    EXPECT_EQ(str(entry.name), "bricks");
    EXPECT_EQ(entry.wrap_s, 0);
    EXPECT_EQ(entry.wrap_t, 1);
    EXPECT_EQ(entry.min_filter, 5);
    EXPECT_EQ(entry.mag_filter, 1);
    EXPECT_EQ(str(entry.path), "textures/old bricks.png");

    ASSERT_TRUE(manifest_parse_line(S("mesh ship models/ship.obj\r"), &entry));   // CR LF file
    EXPECT_EQ(entry.kind, MANIFEST_MESH);
    EXPECT_EQ(str(entry.path), "models/ship.obj");
    ASSERT_TRUE(manifest_parse_line(S("font big fonts/big.txt"), &entry));
    EXPECT_EQ(entry.kind, MANIFEST_FONT);
    EXPECT_EQ(str(entry.name), "big");

    EXPECT_FALSE(manifest_parse_line(S("data anything at all"), &entry));
    EXPECT_FALSE(manifest_parse_line(S(" mesh ship models/ship.obj"), &entry));
    EXPECT_FALSE(manifest_parse_line(S("textures a 0 0 0 0 b.png"), &entry));
    EXPECT_FALSE(manifest_parse_line(S("mesh"), &entry));
    EXPECT_FALSE(manifest_parse_line(S(""), &entry));
}

TEST_F(AssetTextTest, FontsOfTheListAreEnteredEvenWhenTheyFail) {
    editor.assets = AssetState{};
    std::string plain = write("fonts/plain.txt", "s 8 8\ng 65 0 0 8 0 0 8 8\n");
    std::string list = write("resources.txt", "font plain " + plain + "\r\n" + "font broken " + (folder / "gone.txt").string() +
                                                  "\r\n" + "data x y\n" + "font plain " + plain + "\n");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(manifest_load(view(list)));
    EXPECT_EQ(captured(), "failed to open " + (folder / "gone.txt").string() + "\n");
    ASSERT_EQ(editor.assets.fonts.count, 3);
    Font* broken = font_find(S("broken"));
    ASSERT_NE(broken, &editor.assets.default_font);
    EXPECT_DOUBLE_EQ(broken->font_scale, 256);
    EXPECT_EQ(broken->glyphs.count, 0);
    EXPECT_EQ(font_find(S("plain")), editor.assets.fonts.data[2]);   // the later line wins
    EXPECT_EQ(font_find(S("unknown")), &editor.assets.default_font);
    EXPECT_EQ(mesh_find(S("plain")), nullptr);
    EXPECT_EQ(texture_find(S("plain")), editor.assets.icons[ICON_WHITE]);
    EXPECT_FALSE(manifest_load(view((folder / "no_list.txt").string())));
    editor.assets = AssetState{};
}
