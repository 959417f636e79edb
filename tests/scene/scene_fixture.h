// Shared by the scene tests: fresh pools, theme colors, recognisable icon
// handles, a texture table with known names, an initialised scene, recorded
// message boxes, a temporary folder for tests that write files; and builders
// for objects, rows, the golden scene and large scenes.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/editor.h"
#include "platform/platform_test_hooks.h"
#include "scene/scene.h"
#include "support/pool_fixture.h"

constexpr Texture STONE_TEXTURE = 77;

class SceneTest : public PoolTest {
protected:
    void SetUp() override {
        PoolTest::SetUp();
        std::memset(&editor.assets, 0, sizeof editor.assets);
        theme_defaults(&editor.theme);
        for (int32_t i = 0; i < ICON_COUNT; i++) editor.assets.icons[i] = (Texture)(100 + i);
        editor.assets.textures = array_make<Texture>(POOL_PERSISTENT);
        editor.assets.texture_map = string_map_make(POOL_PERSISTENT);
        editor.assets.font_map = string_map_make(POOL_PERSISTENT);
        editor.assets.mesh_map = string_map_make(POOL_PERSISTENT);
        array_push(&editor.assets.textures, STONE_TEXTURE);
        map_insert(&editor.assets.texture_map, S("stone"), 0);
        scene_init(&editor.scene);
        platform_set_headless_message_boxes(true);
        platform_clear_message_boxes();
    }
    void TearDown() override {
        platform_clear_message_boxes();
        std::memset(&editor.scene, 0, sizeof editor.scene);
        std::memset(&editor.assets, 0, sizeof editor.assets);
        PoolTest::TearDown();
    }
};

// Scene tests that write files get a fresh temporary folder, removed after.
class SceneSaveTest : public SceneTest {
protected:
    std::string directory;
    void SetUp() override {
        SceneTest::SetUp();
        char pattern[] = "/tmp/tarnisk_scene_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        directory = pattern;
    }
    // The names in the test's folder (or one below it), sorted.
    std::vector<std::string> entries(const std::string& below = "") {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(directory + below)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    void TearDown() override {
        std::string command = "rm -rf '" + directory + "'";
        EXPECT_EQ(0, std::system(command.c_str()));
        SceneTest::TearDown();
    }
};

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline String str(const std::string& text) {
    return string_copy(String{reinterpret_cast<const uint8_t*>(text.data()), (int64_t)text.size()});
}

inline std::string text_of(String string) {
    return string.length > 0 ? std::string(reinterpret_cast<const char*>(string.data), (size_t)string.length) : std::string();
}

inline SceneObject object_make(ObjectKind kind, int64_t id) {
    SceneObject object;
    std::memset(&object, 0, sizeof object);
    object.kind = kind;
    object.id = id;
    object.visible = true;
    object.transform = Transform{Vec3{0, 0, 0}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}};
    if (kind == OBJECT_PATH) object.path.points = array_make<PathPoint>(POOL_PERSISTENT);
    return object;
}

inline HierarchyRow& row_add(int64_t id, const std::string& name, bool start = false, bool end = false,
                             bool expanded = false, bool selected = false) {
    int64_t index = scene_append_row(id, str(name), 0, Vec4{1, 1, 1, 1});
    HierarchyRow& row = editor.scene.rows.data[index];
    row.group_start = start;
    row.group_end = end;
    row.expanded = expanded;
    row.selected = selected;
    return row;
}

// A copy of the editor's scene whose records, strings and points live in the
// persistent pool, so it outlives the scene arenas being emptied by a load.
inline SceneState scene_copy_to_persistent() {
    SceneState copy = editor.scene;
    const SceneState& scene = editor.scene;
    copy.objects = array_make<SceneObject>(POOL_PERSISTENT);
    copy.rows = array_make<HierarchyRow>(POOL_PERSISTENT);
    for (int64_t i = 0; i < scene.objects.count; i++) {
        SceneObject object = scene.objects.data[i];
        EXPECT_TRUE(scene_object_copy_storage(&object, POOL_PERSISTENT));
        array_push(&copy.objects, object);
    }
    for (int64_t i = 0; i < scene.rows.count; i++) {
        HierarchyRow row = scene.rows.data[i];
        EXPECT_TRUE(scene_string_copy(&row.name, POOL_PERSISTENT));
        array_push(&copy.rows, row);
    }
    return copy;
}

inline SceneToolBytes tool_bytes_of_editor() {
    const SceneState& scene = editor.scene;
    return SceneToolBytes{scene.placement_mode, scene.pivot_per_object, scene.gizmo_mode, scene.placement_template.kind};
}

inline std::string serialized() {
    String bytes = scene_serialize();
    return text_of(bytes);
}

// The scene pinned by tests/data/scene/every_kind.scene: every kind, both
// path forms, text with line breaks, backslashes and quotes, unicode names,
// hidden objects, an id gap, nested groups (one opened by an object row, one
// empty), selected rows, non-default settings and tool bytes.
inline void golden_scene_build() {
    SceneState& scene = editor.scene;

    SceneObject quad = object_make(OBJECT_QUAD, 0);
    quad.transform = Transform{Vec3{1.5f, -2, 3}, Rotor{0.5f, 0.5f, -0.5f, 0.5f}, Vec3{2, 2, 1}};
    quad.quad.color = Vec4{1, 0.5f, 0.25f, 1};
    quad.quad.texture_name = str("stone");
    quad.quad.texture = STONE_TEXTURE;
    quad.quad.uv_rect = Vec4{0, 0, 0.5f, 0.5f};
    quad.quad.billboard = true;
    quad.data = str(" tag(7)");
    scene_append_object(quad);

    SceneObject text = object_make(OBJECT_TEXT, 1);
    text.visible = false;
    text.transform.position = Vec3{0, 0, -1};
    text.text.font_name = str("mono");
    text.text.color = Vec4{0, 1, 0, 0.75f};
    text.text.text = str("first line\nsecond \\ line\n\"quoted\"");
    text.text.alignment = Vec2{-1, 1};
    text.text.pixels_per_unit = 32.5;
    text.text.billboard = false;
    scene_append_object(text);

    SceneObject mesh = object_make(OBJECT_MESH, 2);
    mesh.transform.scale = Vec3{0.25f, 0.25f, 0.25f};
    mesh.mesh.mesh_name = str("models/teapot.obj");
    scene_append_object(mesh);

    SceneObject data = object_make(OBJECT_DATA, 3);
    data.transform.position = Vec3{-4, 0.125f, 8};
    data.data = str(" weight(0.25) label(\"Gr\xC3\xB6\xC3\x9F" "e\")");
    scene_append_object(data);

    SceneObject bezier = object_make(OBJECT_PATH, 4);
    bezier.path.bezier = true;
    bezier.path.closed = true;
    bezier.path.width = 0.0625;
    bezier.path.color = Vec4{0.5f, 0, 1, 1};
    bezier.path.index = 1;
    bezier.path.sub_index = 2;
    for (int i = 0; i < 3; i++) {
        float f = (float)i;
        array_push(&bezier.path.points, PathPoint{Vec3{f, f * 2, 0}, Vec3{f - 1, f * 2, 0}, Vec3{f + 1, f * 2, 0.5f}});
    }
    scene_append_object(bezier);

    SceneObject plain = object_make(OBJECT_PATH, 5);
    plain.path.width = 1;
    plain.path.color = Vec4{1, 0, 0, 1};
    plain.path.index = -3;
    array_push(&plain.path.points, PathPoint{Vec3{1, 2, 3}, Vec3{0, 2, 3}, Vec3{2, 2, 3}});
    array_push(&plain.path.points, PathPoint{Vec3{4, 5, 6}, Vec3{3, 5, 6}, Vec3{5, 5, 6}});
    scene_append_object(plain);

    SceneObject hidden = object_make(OBJECT_QUAD, 7);
    hidden.visible = false;
    hidden.quad.color = Vec4{1, 1, 1, 1};
    hidden.quad.texture_name = str("ziegel_\xC3\x9F");
    hidden.quad.uv_rect = Vec4{0, 0, 1, 1};
    scene_append_object(hidden);

    row_add(GROUP_ROW_ID, "Au\xC3\x9F" "en \xE2\x9C\x93", true, false, true, true);
    row_add(0, "quad", false, false, false, true);
    row_add(GROUP_ROW_ID, "inner", true, false, false, false);
    row_add(1, "text");
    row_add(2, "mesh");
    row_add(GROUP_ROW_ID, "", false, true);
    row_add(3, "anchor group", true, false, true, false);
    row_add(4, "path", false, false, false, true);
    row_add(GROUP_ROW_ID, "", false, true);
    row_add(GROUP_ROW_ID, "", false, true);
    row_add(5, "path");
    row_add(GROUP_ROW_ID, "empty", true, false, true, false);
    row_add(GROUP_ROW_ID, "", false, true);
    row_add(7, "quad");

    scene.next_object_id = 9;
    scene.placement_mode = true;
    scene.pivot_per_object = true;
    scene.gizmo_mode = 2;
    scene.placement_template.kind = OBJECT_PATH;
    scene.settings.view_2d = true;
    scene.settings.depth = false;
    scene.settings.wireframe = true;
    scene.settings.snapping = true;
    scene.settings.background = Vec4{0.1f, 0.2f, 0.3f, 1};
    scene.settings.plane_normal = Vec3{0, 1, 0};
    scene.settings.plane_height = 2.5;
    scene.settings.snap_size = Vec3{0.5f, 0.5f, 0};
    scene.settings.snap_angle = 15;
}

inline std::string golden_path() { return std::string(TARNISK_TEST_DATA_DIR) + "/scene/every_kind.scene"; }

// A scene of `count` objects, the five kinds in turn (paths of four points),
// each with its object row and every tenth in a group of its own.
inline void large_scene_build(int64_t count) {
    char name[32];
    for (int64_t i = 0; i < count; i++) {
        SceneObject object = object_make((ObjectKind)(i % OBJECT_KIND_COUNT), i);
        float f = (float)i;
        object.transform.position = Vec3{f, -f, f * 0.5f};
        std::snprintf(name, sizeof name, "resource_%d", (int)(i % 97));
        switch (object.kind) {
            case OBJECT_QUAD: object.quad.texture_name = str(name); object.quad.color = Vec4{1, 1, 1, 1}; break;
            case OBJECT_TEXT:
                object.text.font_name = str(name);
                object.text.text = str("a label\nof two lines");
                object.text.pixels_per_unit = 64;
                break;
            case OBJECT_MESH: object.mesh.mesh_name = str(name); break;
            case OBJECT_DATA: object.data = str(" weight(1.5)"); break;
            case OBJECT_PATH:
                for (int p = 0; p < 4; p++) array_push(&object.path.points, PathPoint{Vec3{f, (float)p, 0}, {}, {}});
                break;
        }
        scene_append_object(object);
        if (i % 10 == 0) row_add(GROUP_ROW_ID, "group " + std::to_string(i), true, false, true);
        row_add(i, "object");
        if (i % 10 == 0) row_add(GROUP_ROW_ID, "", false, true);
    }
    editor.scene.next_object_id = count;
}
