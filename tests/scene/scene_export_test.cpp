// The text export, byte for byte: numbers, escaping, verbatim data text,
// paths, and groups whose parentheses balance with and without objects.
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "scene/scene_fixture.h"

static std::string exported() {
    StringBuilder builder = builder_init(POOL_FRAME);
    scene_export_to_builder(&builder, &editor.scene);
    return text_of(builder_to_string(&builder));
}

static SceneObject& add(SceneObject object) {
    scene_append_object(object);
    scene_append_row(object.id, object_kind_name(object.kind), 0, Vec4{});
    return *scene_find_object(object.id);
}

// Depth never drops below zero and ends at zero.
static bool balanced(const std::string& text) {
    int64_t depth = 0;
    for (char c : text) {
        if (c == '(') depth++;
        if (c == ')' && --depth < 0) return false;
    }
    return depth == 0;
}

TEST_F(SceneTest, ExportOfAnEmptySceneIsEmpty) { EXPECT_EQ("", exported()); }

TEST_F(SceneTest, ExportWritesAQuadOnOneLine) {
    SceneObject quad = object_make(OBJECT_QUAD, 0);
    quad.quad.color = Vec4{1, 1, 1, 1};
    quad.quad.texture_name = str("stone");
    quad.quad.uv_rect = Vec4{0, 0, 1, 1};
    add(quad);
    EXPECT_EQ("quad(position(0 0 0) rotation(1 0 0 0) scale(1 1 1) color(1 1 1 1) texture(\"stone\") uv_rect(0 0 1 1))\n",
              exported());
}

TEST_F(SceneTest, ExportWritesAPathPointPerLine) {
    SceneObject path = object_make(OBJECT_PATH, 0);
    path.path.width = 0.0625;
    path.path.color = Vec4{1, 0, 0, 1};
    array_push(&path.path.points, PathPoint{Vec3{1, 2, 3}, Vec3{9, 9, 9}, Vec3{8, 8, 8}});
    array_push(&path.path.points, PathPoint{Vec3{4, 5, 6}, Vec3{9, 9, 9}, Vec3{8, 8, 8}});
    add(path);
    EXPECT_EQ("path(position(0 0 0) rotation(1 0 0 0) scale(1 1 1) width(0.0625) color(1 0 0 1) points(\n"
              "position(1 2 3)\n"
              "position(4 5 6)\n"
              "))\n",
              exported());
}

TEST_F(SceneTest, ExportWritesBezierHandlesFlagsAndEmptyPaths) {
    SceneObject bezier = object_make(OBJECT_PATH, 0);
    bezier.path.bezier = true;
    bezier.path.closed = true;
    bezier.path.width = 1.5;
    bezier.path.color = Vec4{0, 0, 0, 1};
    array_push(&bezier.path.points, PathPoint{Vec3{1, 0, 0}, Vec3{0.5f, 0, 0}, Vec3{-1.25f, 0, 0}});
    add(bezier);
    add(object_make(OBJECT_PATH, 1));
    EXPECT_EQ("path(position(0 0 0) rotation(1 0 0 0) scale(1 1 1) bezier(1) closed(1) width(1.5) color(0 0 0 1) points(\n"
              "position(1 0 0) a(0.5 0 0) b(-1.25 0 0)\n"
              "))\n"
              "path(position(0 0 0) rotation(1 0 0 0) scale(1 1 1) width(0) color(0 0 0 0) points(\n"
              "))\n",
              exported());
}

TEST_F(SceneTest, ExportEscapesTextButCopiesNamesAndDataVerbatim) {
    SceneObject text = object_make(OBJECT_TEXT, 0);
    text.transform = Transform{Vec3{-1, 0.5f, 2}, Rotor{0.5f, 0.5f, 0.5f, -0.5f}, Vec3{3, 3, 3}};
    text.text.font_name = str("a\"b\\c");
    text.text.pixels_per_unit = 64;
    text.text.alignment = Vec2{-1, 1};
    text.text.color = Vec4{0.25f, 0.5f, 0.75f, 1};
    text.text.text = str("a\nb \\ \"q\"");
    add(text);
    SceneObject data = object_make(OBJECT_DATA, 1);
    data.data = str(" tag(7)");
    add(data);
    SceneObject mesh = object_make(OBJECT_MESH, 2);
    mesh.mesh.mesh_name = str("models/cube.obj");
    mesh.data = str("\nraw\\n");
    add(mesh);
    EXPECT_EQ("text(position(-1 0.5 2) rotation(0.5 0.5 0.5 -0.5) scale(3 3 3) font(\"a\"b\\c\") pixels_per_unit(64) "
              "alignment(-1 1) color(0.25 0.5 0.75 1) text(\"a\\nb \\\\ \"q\"\"))\n"
              "data(position(0 0 0) rotation(1 0 0 0) scale(1 1 1) tag(7))\n"
              "mesh(position(0 0 0) rotation(1 0 0 0) scale(1 1 1) mesh(\"models/cube.obj\")\nraw\\n)\n",
              exported());
}

TEST_F(SceneTest, ExportPrintsSpecialAndFractionalNumbers) {
    SceneObject data = object_make(OBJECT_DATA, 0);
    data.transform.position = Vec3{INFINITY, -INFINITY, 0.1f};
    data.transform.scale = Vec3{-0.0f, 1e20f, 3.0e-7f};
    add(data);
    EXPECT_EQ("data(position(infinity -infinity 0.10000000149) rotation(1 0 0 0) scale(0 100000002004087734272 0.0000003))\n",
              exported());
}

TEST_F(SceneTest, ExportNestsGroupsWithAndWithoutObjects) {
    add(object_make(OBJECT_DATA, 0));
    add(object_make(OBJECT_DATA, 1));
    editor.scene.rows.count = 0;
    scene_append_row(GROUP_ROW_ID, S("outer \"g\"\n2"), 0, Vec4{});
    editor.scene.rows.data[0].group_start = true;
    scene_append_row(0, S("data"), 0, Vec4{});
    editor.scene.rows.data[1].group_start = true;  // an object that opens a group
    scene_append_row(1, S("data"), 0, Vec4{});
    scene_append_row(GROUP_ROW_ID, S(""), 0, Vec4{});
    editor.scene.rows.data[3].group_end = true;
    scene_append_row(GROUP_ROW_ID, S("empty"), 0, Vec4{});
    editor.scene.rows.data[4].group_start = true;
    scene_append_row(GROUP_ROW_ID, S(""), 0, Vec4{});
    editor.scene.rows.data[5].group_end = true;
    scene_append_row(GROUP_ROW_ID, S(""), 0, Vec4{});
    editor.scene.rows.data[6].group_end = true;
    std::string text = exported();
    EXPECT_EQ("group(name(\"outer \"g\"\\n2\")\n"
              "data(position(0 0 0) rotation(1 0 0 0) scale(1 1 1)\n"
              "data(position(0 0 0) rotation(1 0 0 0) scale(1 1 1))\n"
              ")\n"
              "group(name(\"empty\")\n"
              ")\n"
              ")\n",
              text);
    EXPECT_TRUE(balanced(text));
}

TEST_F(SceneTest, ExportBalancesRowsThatDoNotNest) {
    add(object_make(OBJECT_DATA, 0));
    scene_insert_group(1);
    // An end row with nothing open, then a group never closed.
    HierarchyRow stray = editor.scene.rows.data[2];
    array_insert(&editor.scene.rows, 0, stray);
    editor.scene.rows.count--;  // drop the last end row: the group stays open
    std::string text = exported();
    EXPECT_TRUE(balanced(text)) << text;
    EXPECT_EQ("\ndata(position(0 0 0) rotation(1 0 0 0) scale(1 1 1))\ngroup(name(\"new group\")\n)\n", text);
}

TEST_F(SceneTest, GoldenSceneExportBalances) {
    golden_scene_build();
    std::string text = exported();
    EXPECT_TRUE(balanced(text)) << text;
    EXPECT_NE(std::string::npos, text.find("group(name(\"Au\xC3\x9F" "en \xE2\x9C\x93\")\n"));
}

TEST_F(SceneTest, ExportToAFileLeavesPathAndModifiedAlone) {
    char pattern[] = "/tmp/tarnisk_export_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    std::string path = std::string(pattern) + "/scene.txt";
    golden_scene_build();
    editor.scene.scene_modified = true;
    std::string expected = exported();
    EXPECT_TRUE(scene_export(str(path)));
    std::ifstream in(path, std::ios::binary);
    std::stringstream written;
    written << in.rdbuf();
    EXPECT_EQ(expected, written.str());
    EXPECT_TRUE(editor.scene.scene_modified);
    EXPECT_EQ(0, editor.scene.scene_path.length);

    EXPECT_FALSE(scene_export(str(std::string(pattern) + "/missing/scene.txt")));
    EXPECT_EQ("export failed", std::string(platform_message_box(0)->title));
    std::string command = "rm -rf '" + std::string(pattern) + "'";
    EXPECT_EQ(0, std::system(command.c_str()));
}
