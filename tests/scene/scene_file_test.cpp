// The scene file: the pinned golden file, the empty scene's exact bytes,
// round trips of random scenes, refusal of damaged files without touching
// the open scene, and saves that never replace the old file with less.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "scene/scene_fixture.h"

static void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

static String view(const std::string& bytes) {
    return String{reinterpret_cast<const uint8_t*>(bytes.data()), (int64_t)bytes.size()};
}

static std::string last_box_title() {
    int64_t count = platform_message_box_count();
    return count ? platform_message_box(count - 1)->title : "";
}

static std::string last_box_text() {
    int64_t count = platform_message_box_count();
    return count ? platform_message_box(count - 1)->text : "";
}

static bool same_bits(const void* a, const void* b, size_t size) { return std::memcmp(a, b, size) == 0; }

static void expect_objects_equal(const SceneObject& want, const SceneObject& got) {
    SCOPED_TRACE("object " + std::to_string(want.id));
    EXPECT_EQ(want.id, got.id);
    ASSERT_EQ(want.kind, got.kind);
    EXPECT_EQ(want.visible, got.visible);
    EXPECT_TRUE(same_bits(&want.transform, &got.transform, sizeof(Transform)));
    EXPECT_EQ(text_of(want.data), text_of(got.data));
    switch (want.kind) {
        case OBJECT_QUAD:
            EXPECT_TRUE(same_bits(&want.quad.color, &got.quad.color, sizeof(Vec4)));
            EXPECT_TRUE(same_bits(&want.quad.uv_rect, &got.quad.uv_rect, sizeof(Vec4)));
            EXPECT_EQ(text_of(want.quad.texture_name), text_of(got.quad.texture_name));
            EXPECT_EQ(want.quad.billboard, got.quad.billboard);
            break;
        case OBJECT_TEXT:
            EXPECT_EQ(want.text.pixels_per_unit, got.text.pixels_per_unit);
            EXPECT_EQ(text_of(want.text.font_name), text_of(got.text.font_name));
            EXPECT_TRUE(same_bits(&want.text.alignment, &got.text.alignment, sizeof(Vec2)));
            EXPECT_TRUE(same_bits(&want.text.color, &got.text.color, sizeof(Vec4)));
            EXPECT_EQ(text_of(want.text.text), text_of(got.text.text));
            EXPECT_EQ(want.text.billboard, got.text.billboard);
            break;
        case OBJECT_MESH: EXPECT_EQ(text_of(want.mesh.mesh_name), text_of(got.mesh.mesh_name)); break;
        case OBJECT_PATH:
            EXPECT_EQ(want.path.bezier, got.path.bezier);
            EXPECT_EQ(want.path.closed, got.path.closed);
            EXPECT_EQ(want.path.width, got.path.width);
            EXPECT_TRUE(same_bits(&want.path.color, &got.path.color, sizeof(Vec4)));
            EXPECT_EQ(want.path.index, got.path.index);
            EXPECT_EQ(want.path.sub_index, got.path.sub_index);
            ASSERT_EQ(want.path.points.count, got.path.points.count);
            EXPECT_TRUE(same_bits(want.path.points.data, got.path.points.data,
                                  (size_t)want.path.points.count * sizeof(PathPoint)));
            EXPECT_NE(want.path.points.data, got.path.points.data);
            break;
        default: break;
    }
}

// ---------------------------------------------------------------------------
// The golden file

// Run once with --gtest_also_run_disabled_tests to (re)write the golden file;
// its bytes were checked by hand against the layout before it was committed.
TEST_F(SceneTest, DISABLED_WriteGoldenFile) {
    golden_scene_build();
    write_file(golden_path(), serialized());
}

TEST_F(SceneTest, EmptySceneIs86BytesOfHeaderCountsAndSettings) {
    std::string bytes = serialized();
    ASSERT_EQ(86u, bytes.size());
    const std::string expected =
        std::string("\x91\xC2\x7A\x57\x00\x00", 6) + std::string(8, '\0') +  // magic, version, objects
        std::string(8, '\0') + std::string(8, '\0') +                        // rows, next id
        std::string("\x00\x00\x00\x00\x00\x01\x00\x00", 8) +                 // tool bytes, 2d depth wireframe snapping
        std::string("\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x3F\x00\x00\x80\x3F", 16) +  // background
        std::string("\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x80\x3F", 12) +  // plane normal
        std::string(4, '\0') +                                                 // plane height
        std::string("\x00\x00\x80\x3F\x00\x00\x80\x3F\x00\x00\x80\x3F", 12) +  // snap size
        std::string("\x00\x00\xA0\x40", 4);                                    // snap angle 5
    EXPECT_EQ(expected, bytes);
}

TEST_F(SceneTest, GoldenFileLoadsToTheRecordsItWasMadeFrom) {
    golden_scene_build();
    SceneState want = scene_copy_to_persistent();
    std::string want_bytes = serialized();
    scene_init(&editor.scene);

    std::string file = read_file(golden_path());
    ASSERT_FALSE(file.empty()) << golden_path();
    EXPECT_EQ(want_bytes, file) << "the writer no longer produces the pinned format";
    ASSERT_EQ(SCENE_LOAD_OK, scene_load(str(golden_path())));
    EXPECT_EQ(0, platform_message_box_count());
    const SceneState& got = editor.scene;

    ASSERT_EQ(want.objects.count, got.objects.count);
    for (int64_t i = 0; i < want.objects.count; i++) expect_objects_equal(want.objects.data[i], got.objects.data[i]);
    // Names resolve through the asset tables; unknown names fall back.
    EXPECT_EQ(STONE_TEXTURE, got.objects.data[0].quad.texture);
    EXPECT_EQ(editor.assets.icons[ICON_WHITE], got.objects.data[6].quad.texture);
    EXPECT_EQ(&editor.assets.default_font, got.objects.data[1].text.font);
    EXPECT_EQ(nullptr, got.objects.data[2].mesh.mesh);

    ASSERT_EQ(want.rows.count, got.rows.count);
    for (int64_t i = 0; i < want.rows.count; i++) {
        SCOPED_TRACE("row " + std::to_string(i));
        const HierarchyRow& w = want.rows.data[i];
        const HierarchyRow& g = got.rows.data[i];
        EXPECT_EQ(w.object_id, g.object_id);
        EXPECT_EQ(text_of(w.name), text_of(g.name));
        EXPECT_EQ(w.group_start, g.group_start);
        EXPECT_EQ(w.group_end, g.group_end);
        EXPECT_EQ(w.expanded, g.expanded);
        EXPECT_EQ(w.selected, g.selected);
        const SceneObject* object = scene_find_object(g.object_id);
        if (object) {
            Vec4 color = object_kind_color(object->kind);
            if (!object->visible) color.w *= 0.5f;
            EXPECT_TRUE(same_bits(&color, &g.color, sizeof color));
            EXPECT_EQ(object_kind_icon(object->kind), g.icon);
        } else if (g.group_end) {
            EXPECT_EQ(0u, g.icon);
            EXPECT_EQ(0.0f, g.color.w);
        } else {
            EXPECT_EQ(editor.assets.icons[ICON_GROUP], g.icon);
            EXPECT_TRUE(same_bits(&editor.theme.group_color, &g.color, sizeof(Vec4)));
        }
    }
    EXPECT_EQ(0.5f * editor.theme.text_object_color.w, got.rows.data[3].color.w);  // the hidden text

    EXPECT_EQ(9, got.next_object_id);
    EXPECT_TRUE(got.placement_mode);
    EXPECT_TRUE(got.pivot_per_object);
    EXPECT_EQ(2, got.gizmo_mode);
    EXPECT_EQ(OBJECT_PATH, got.placement_template.kind);
    EXPECT_TRUE(same_bits(&want.settings, &got.settings, sizeof(SceneSettings)));
    EXPECT_EQ(golden_path(), text_of(got.scene_path));
    EXPECT_FALSE(got.scene_modified);

    EXPECT_EQ(file, serialized());
}

// ---------------------------------------------------------------------------
// Round trips

static float random_float(std::mt19937_64& random) {
    switch (random() % 8) {
        case 0: return 0.0f;
        case 1: return -0.0f;
        case 2: return INFINITY;
        case 3: return std::nanf("");
        case 4: {  // any bit pattern: floats are stored, never computed on
            uint32_t bits = (uint32_t)random();
            float value;
            std::memcpy(&value, &bits, 4);
            return value;
        }
        default: return (float)((double)(random() % 2000001) / 1000.0 - 1000.0);
    }
}

static String random_string(std::mt19937_64& random, int max_length) {
    std::string text((size_t)(random() % (uint64_t)(max_length + 1)), ' ');
    for (char& c : text) c = (char)(random() % 256);
    return str(text);
}

// Scenes as the editor makes them (group rows carry the group id, object
// ids fit the rows' 32 bits, the counter lies past every id), with every
// field random.
static void random_scene(std::mt19937_64& random) {
    SceneState& scene = editor.scene;
    int64_t count = (int64_t)(random() % 12);
    int64_t id = 0;
    for (int64_t i = 0; i < count; i++) {
        id += 1 + (int64_t)(random() % 3);
        static const ObjectKind kinds[] = {OBJECT_QUAD, OBJECT_TEXT, OBJECT_MESH, OBJECT_DATA, OBJECT_PATH, 9};
        SceneObject object = object_make(kinds[random() % 6], id);
        object.visible = random() % 2;
        float* transform = &object.transform.position.x;
        for (int k = 0; k < 10; k++) transform[k] = random_float(random);
        object.data = random_string(random, 12);
        switch (object.kind) {
            case OBJECT_QUAD:
                for (int k = 0; k < 4; k++) (&object.quad.color.x)[k] = random_float(random);
                for (int k = 0; k < 4; k++) (&object.quad.uv_rect.x)[k] = random_float(random);
                object.quad.texture_name = random_string(random, 10);
                object.quad.billboard = random() % 2;
                break;
            case OBJECT_TEXT:
                object.text.pixels_per_unit = (double)random_float(random) * 3.25;
                object.text.font_name = random_string(random, 10);
                object.text.alignment = Vec2{random_float(random), random_float(random)};
                for (int k = 0; k < 4; k++) (&object.text.color.x)[k] = random_float(random);
                object.text.text = random_string(random, 40);
                object.text.billboard = random() % 2;
                break;
            case OBJECT_MESH: object.mesh.mesh_name = random_string(random, 10); break;
            case OBJECT_PATH: {
                object.path.bezier = random() % 2;
                object.path.closed = random() % 2;
                object.path.width = (double)random_float(random) / 7.0;
                for (int k = 0; k < 4; k++) (&object.path.color.x)[k] = random_float(random);
                int64_t points = (int64_t)(random() % 6);
                for (int64_t p = 0; p < points; p++) {
                    PathPoint point;
                    for (int k = 0; k < 9; k++) (&point.position.x)[k] = random_float(random);
                    array_push(&object.path.points, point);
                }
                object.path.index = (int64_t)(random() % 9) - 4;
                object.path.sub_index = (int64_t)(random() % 3);
            } break;
            default: break;
        }
        scene_append_object(object);
    }
    int64_t rows = (int64_t)(random() % 16);
    for (int64_t i = 0; i < rows; i++) {
        bool object_row = count > 0 && random() % 2;
        int64_t row_id = object_row ? scene.objects.data[random() % (uint64_t)count].id : GROUP_ROW_ID;
        uint8_t flags = (uint8_t)(random() % 16);
        if (object_row) flags &= (uint8_t)~2;  // end rows never stand for objects
        String name = (flags & 1) ? random_string(random, 10) : str(object_row ? "x" : "");
        int64_t index = scene_append_row(row_id, name, 0, Vec4{});
        HierarchyRow& row = scene.rows.data[index];
        row.group_start = flags & 1;
        row.group_end = flags & 2;
        row.expanded = flags & 4;
        row.selected = flags & 8;
    }
    scene.next_object_id = id + 1 + (int64_t)(random() % 5);
    scene.placement_mode = random() % 2;
    scene.pivot_per_object = random() % 2;
    scene.gizmo_mode = (uint8_t)(random() % 4);
    scene.placement_template.kind = (ObjectKind)(random() % 5);
    SceneSettings& settings = scene.settings;
    settings.view_2d = random() % 2;
    settings.depth = random() % 2;
    settings.wireframe = random() % 2;
    settings.snapping = random() % 2;
    for (int k = 0; k < 4; k++) (&settings.background.x)[k] = random_float(random);
    for (int k = 0; k < 3; k++) (&settings.plane_normal.x)[k] = random_float(random);
    for (int k = 0; k < 3; k++) (&settings.snap_size.x)[k] = random_float(random);
    // Held as doubles, stored as floats: values a float holds exactly.
    settings.plane_height = (double)(float)((double)(random() % 1000) / 8.0);
    settings.snap_angle = (double)(float)((double)(random() % 360) / 4.0);
}

TEST_F(SceneTest, RandomScenesSerializeLoadSerializeToTheSameBytes) {
    std::mt19937_64 random(20240611);
    for (int round = 0; round < 300; round++) {
        SCOPED_TRACE("round " + std::to_string(round));
        scene_init(&editor.scene);
        random_scene(random);
        std::string first = serialized();
        ASSERT_EQ((size_t)scene_serialized_size(&editor.scene), first.size());
        ASSERT_EQ(SCENE_LOAD_OK, scene_load_bytes(view(first), S("round.scene")));
        ASSERT_EQ(first, serialized());
        pool_reset(POOL_FRAME);
    }
}

// Compaction rebuilds every record in the other arena: whatever the scene
// and whatever edits left dead space behind, it saves as the same bytes, and
// so does a scene compacted twice (back in the first arena).
TEST_F(SceneTest, RandomScenesSaveAsTheSameBytesAfterCompaction) {
    std::mt19937_64 random(777);
    for (int round = 0; round < 200; round++) {
        SCOPED_TRACE("round " + std::to_string(round));
        scene_init(&editor.scene);
        random_scene(random);
        int64_t edits = (int64_t)(random() % 6);
        for (int64_t i = 0; i < edits && editor.scene.rows.count > 0; i++) {
            scene_rename_row((int64_t)(random() % (uint64_t)editor.scene.rows.count), random_string(random, 20));
        }
        if (random() % 2) scene_create_object((ObjectKind)(random() % 5), transform_default());
        if (editor.scene.rows.count > 0 && random() % 2) {
            scene_duplicate_row((int64_t)(random() % (uint64_t)editor.scene.rows.count));
        }
        std::string before = serialized();
        int8_t arena = editor.scene.pool;
        ASSERT_TRUE(scene_compact());
        ASSERT_NE(arena, editor.scene.pool);
        ASSERT_EQ(before, serialized());
        ASSERT_TRUE(scene_compact());
        ASSERT_EQ(before, serialized());
        pool_reset(POOL_FRAME);
    }
}

TEST_F(SceneTest, ObjectRowThatStartsAGroupKeepsItsNameAndTheRowsAfterIt) {
    scene_append_object(object_make(OBJECT_DATA, 0));
    scene_append_object(object_make(OBJECT_MESH, 1));
    row_add(0, "holder", true, false, true, false);
    row_add(1, "mesh", false, false, false, true);
    row_add(GROUP_ROW_ID, "", false, true);
    editor.scene.next_object_id = 2;
    std::string bytes = serialized();
    scene_init(&editor.scene);
    ASSERT_EQ(SCENE_LOAD_OK, scene_load_bytes(view(bytes), S("a.scene")));
    ASSERT_EQ(3, editor.scene.rows.count);
    EXPECT_EQ("holder", text_of(editor.scene.rows.data[0].name));
    EXPECT_EQ(0, editor.scene.rows.data[0].object_id);
    EXPECT_EQ(1, editor.scene.rows.data[1].object_id);
    EXPECT_TRUE(editor.scene.rows.data[1].selected);
    EXPECT_TRUE(editor.scene.rows.data[2].group_end);
    EXPECT_EQ(bytes, serialized());
}

TEST_F(SceneTest, LoadSortsOutOfOrderIdsAndMovesTheCounterPastThem) {
    scene_append_object(object_make(OBJECT_MESH, 5));
    scene_append_object(object_make(OBJECT_DATA, 2));
    row_add(2, "data");
    row_add(5, "mesh");
    editor.scene.next_object_id = 1;  // behind the ids: new objects would collide
    std::string bytes = serialized();
    scene_init(&editor.scene);
    ASSERT_EQ(SCENE_LOAD_OK, scene_load_bytes(view(bytes), S("a.scene")));
    EXPECT_EQ(2, editor.scene.objects.data[0].id);
    EXPECT_EQ(5, editor.scene.objects.data[1].id);
    EXPECT_EQ(OBJECT_DATA, scene_find_object(2)->kind);
    EXPECT_EQ(2, editor.scene.rows.data[0].object_id);
    EXPECT_EQ(5, editor.scene.rows.data[1].object_id);
    EXPECT_EQ(6, editor.scene.next_object_id);
}

TEST_F(SceneTest, GroupRowsLoadWithTheGroupIdWhateverTheFileSays) {
    scene_append_object(object_make(OBJECT_QUAD, 0));
    row_add(GROUP_ROW_ID, "g", true, false, true, false);
    row_add(0, "quad");
    row_add(0, "", false, true);  // an end row written with the first object's id
    std::string bytes = serialized();
    scene_init(&editor.scene);
    ASSERT_EQ(SCENE_LOAD_OK, scene_load_bytes(view(bytes), S("a.scene")));
    EXPECT_EQ(GROUP_ROW_ID, editor.scene.rows.data[0].object_id);
    EXPECT_EQ(0, editor.scene.rows.data[1].object_id);
    EXPECT_EQ(GROUP_ROW_ID, editor.scene.rows.data[2].object_id);
}

TEST_F(SceneTest, OutOfRangeToolBytesReachTheToolsAsDefaults) {
    std::string bytes = serialized();
    bytes[8 + 8 + 8 + 6 + 2] = 9;   // gizmo mode
    bytes[8 + 8 + 8 + 6 + 3] = 77;  // placement kind
    ASSERT_EQ(SCENE_LOAD_OK, scene_load_bytes(view(bytes), S("a.scene")));
    EXPECT_EQ(0, editor.scene.gizmo_mode);
    EXPECT_EQ(OBJECT_QUAD, editor.scene.placement_template.kind);
}

// ---------------------------------------------------------------------------
// Damaged files

struct SceneSnapshot {
    std::string bytes;
    std::string path;
    bool modified;
    int64_t persistent_used;
};

static SceneSnapshot snapshot() {
    return SceneSnapshot{serialized(), text_of(editor.scene.scene_path), editor.scene.scene_modified,
                         pool_get(POOL_PERSISTENT)->used};
}

static void expect_untouched(const SceneSnapshot& before) {
    EXPECT_EQ(before.bytes, serialized());
    EXPECT_EQ(before.path, text_of(editor.scene.scene_path));
    EXPECT_EQ(before.modified, editor.scene.scene_modified);
    EXPECT_EQ(before.persistent_used, pool_get(POOL_PERSISTENT)->used) << "a refused file must give its memory back";
}

// A scene that is open, saved under a path and edited since.
static void open_edited_scene() {
    scene_append_object(object_make(OBJECT_DATA, 0));
    row_add(0, "data");
    editor.scene.next_object_id = 1;
    editor.scene.scene_path = str("current.scene");
    editor.scene.scene_modified = true;
}

TEST_F(SceneTest, EveryTruncationOfTheGoldenFileIsRefusedAndChangesNothing) {
    std::string file = read_file(golden_path());
    ASSERT_GT(file.size(), 86u);
    open_edited_scene();
    for (size_t length = 0; length < file.size(); length++) {
        SCOPED_TRACE("length " + std::to_string(length));
        platform_clear_message_boxes();
        SceneSnapshot before = snapshot();
        EXPECT_NE(SCENE_LOAD_OK, scene_load_bytes(view(file.substr(0, length)), S("cut.scene")));
        expect_untouched(before);
        ASSERT_EQ(1, platform_message_box_count());
        EXPECT_EQ("invalid file", last_box_title());
        EXPECT_EQ(length < 4 ? "cut.scene is not a valid scene file!" : "cut.scene is damaged!", last_box_text());
        pool_reset(POOL_FRAME);
    }
}

TEST_F(SceneTest, BytesAfterTheEndAreRefusedAsDamage) {
    open_edited_scene();
    std::string file = read_file(golden_path()) + std::string(1, '\0');
    SceneSnapshot before = snapshot();
    EXPECT_EQ(SCENE_LOAD_DAMAGED, scene_load_bytes(view(file), S("long.scene")));
    expect_untouched(before);
}

static std::string le64(int64_t value) { return std::string(reinterpret_cast<const char*>(&value), 8); }

TEST_F(SceneTest, CountsAndLengthsBeyondTheFileAreRefusedWithoutAllocating) {
    open_edited_scene();
    const std::string header("\x91\xC2\x7A\x57\x00\x00", 6);
    const std::string tail(8 + 8 + 48, '\0');  // next id, tool and setting bytes, vectors
    // One quad whose texture name claims more bytes than there are.
    std::string quad = le64(0) + std::string("\x00\x01", 2) + std::string(40, '\0') + std::string(16, '\0');
    std::string path = le64(0) + std::string("\x04\x01", 2) + std::string(40, '\0') + std::string(1 + 8 + 16, '\0');
    const std::string cases[] = {
        header + le64(INT64_C(1) << 62) + le64(0) + tail,       // object count
        header + le64(-1) + le64(0) + tail,                     // negative object count
        header + le64(0) + le64(INT64_C(1) << 60) + tail,       // row count
        header + le64(1) + quad + le64(INT64_C(1) << 40) + tail,  // string length
        header + le64(1) + quad + le64(-5) + tail,              // negative string length
        header + le64(1) + path + le64(INT64_C(1) << 58) + tail,  // point count
    };
    for (const std::string& bytes : cases) {
        SceneSnapshot before = snapshot();
        EXPECT_EQ(SCENE_LOAD_DAMAGED, scene_load_bytes(view(bytes), S("huge.scene")));
        expect_untouched(before);
        EXPECT_EQ("huge.scene is damaged!", last_box_text());
    }
}

TEST_F(SceneTest, WrongMagicAndVersionShowTheirMessagesAndKeepThePath) {
    open_edited_scene();
    std::string bytes = serialized();
    SceneSnapshot before = snapshot();

    std::string wrong_magic = bytes;
    wrong_magic[0] = 0x92;
    EXPECT_EQ(SCENE_LOAD_BAD_MAGIC, scene_load_bytes(view(wrong_magic), S("other.bin")));
    EXPECT_EQ("invalid file", last_box_title());
    EXPECT_EQ("other.bin is not a valid scene file!", last_box_text());
    expect_untouched(before);

    std::string version_one = bytes;
    version_one[4] = 1;
    EXPECT_EQ(SCENE_LOAD_BAD_VERSION, scene_load_bytes(view(version_one), S("new.scene")));
    EXPECT_EQ("incompatible version", last_box_title());
    EXPECT_EQ("new.scene is not compatible!", last_box_text());
    expect_untouched(before);

    EXPECT_EQ(SCENE_LOAD_BAD_MAGIC, scene_load(S("/nonexistent/missing.scene")));
    EXPECT_EQ("/nonexistent/missing.scene is not a valid scene file!", last_box_text());
    expect_untouched(before);
}

// ---------------------------------------------------------------------------
// Saving

TEST_F(SceneSaveTest, SaveWritesTheBytesThenOpeningGivesTheSceneBack) {
    golden_scene_build();
    editor.scene.scene_modified = true;
    std::string path = directory + "/work.scene";
    std::string bytes = serialized();
    ASSERT_TRUE(scene_save(str(path)));
    EXPECT_EQ(bytes, read_file(path));
    EXPECT_NE(0, access((path + ".saving").c_str(), F_OK)) << "the temporary file is gone";
    EXPECT_EQ(path, text_of(editor.scene.scene_path));
    EXPECT_FALSE(editor.scene.scene_modified);
    EXPECT_EQ(0, platform_message_box_count());

    scene_init(&editor.scene);
    editor.scene.scene_modified = true;
    ASSERT_EQ(SCENE_LOAD_OK, scene_load(str(path)));
    EXPECT_EQ(bytes, serialized());
    EXPECT_FALSE(editor.scene.scene_modified);
}

TEST_F(SceneSaveTest, FailedSaveReportsAndKeepsTheOldFileThePathAndTheModifiedFlag) {
    // The temporary file cannot be created: the name is as long as a folder
    // entry may be, so no longer name fits beside it.
    std::string path = directory + "/" + std::string(249, 'w') + ".scene";
    write_file(path, "old contents");
    ASSERT_EQ("old contents", read_file(path));
    open_edited_scene();
    EXPECT_FALSE(scene_save(str(path)));
    EXPECT_EQ("old contents", read_file(path));
    EXPECT_TRUE(editor.scene.scene_modified);
    EXPECT_EQ("current.scene", text_of(editor.scene.scene_path));
    EXPECT_EQ("save failed", last_box_title());
    EXPECT_EQ(0u, last_box_text().rfind(path + ": ", 0)) << last_box_text();
    EXPECT_GT(last_box_text().size(), path.size() + 2) << "the reason follows the path";

    // Into a folder that does not exist, and over a folder.
    EXPECT_FALSE(scene_save(str(directory + "/missing/work.scene")));
    ASSERT_EQ(0, mkdir((directory + "/folder").c_str(), 0700));
    EXPECT_FALSE(scene_save(str(directory + "/folder")));
    EXPECT_NE(0, access((directory + "/folder.saving").c_str(), F_OK)) << "the temporary file is removed";
    EXPECT_EQ(std::vector<std::string>({"folder", std::string(249, 'w') + ".scene"}), entries())
        << "no temporary file is left";
    EXPECT_TRUE(editor.scene.scene_modified);
    EXPECT_EQ(3, platform_message_box_count());
}

TEST_F(SceneSaveTest, AFileOfTheUsersNamedLikeATemporaryIsLeftAlone) {
    golden_scene_build();
    std::string path = directory + "/work.scene";
    write_file(path, "old contents");
    write_file(path + ".saving", "the user's own notes");
    ASSERT_TRUE(scene_save(str(path)));
    EXPECT_EQ(serialized(), read_file(path));
    EXPECT_EQ("the user's own notes", read_file(path + ".saving"));
    ASSERT_EQ(0, mkdir((path + ".saving-dir").c_str(), 0700));
    ASSERT_TRUE(scene_export(str(path + ".txt")));
    EXPECT_EQ(std::vector<std::string>({"work.scene", "work.scene.saving", "work.scene.saving-dir", "work.scene.txt"}),
              entries());
}

TEST_F(SceneSaveTest, SavingKeepsTheTargetsPermissionBits) {
    golden_scene_build();
    std::string path = directory + "/work.scene";
    for (mode_t mode : {0600, 0640, 0755, 0444, 02750}) {
        SCOPED_TRACE(mode);
        write_file(path, "old contents");
        ASSERT_EQ(0, chmod(path.c_str(), mode));
        ASSERT_TRUE(scene_save(str(path)));
        EXPECT_EQ(serialized(), read_file(path));
        struct stat info{};
        ASSERT_EQ(0, stat(path.c_str(), &info));
        EXPECT_EQ(mode, info.st_mode & 07777);
        ASSERT_EQ(0, unlink(path.c_str()));
    }
    // A new file gets what any new file gets: read and write for all, less
    // the process's mask.
    mode_t old_mask = umask(027);
    bool saved = scene_save(str(path));
    umask(old_mask);
    ASSERT_TRUE(saved);
    struct stat info{};
    ASSERT_EQ(0, stat(path.c_str(), &info));
    EXPECT_EQ(0640u, info.st_mode & 07777);
}

TEST_F(SceneSaveTest, SavingThroughASymbolicLinkReplacesItsTargetAndKeepsTheLink) {
    golden_scene_build();
    ASSERT_EQ(0, mkdir((directory + "/real").c_str(), 0700));
    std::string target = directory + "/real/work.scene";
    write_file(target, "old contents");
    ASSERT_EQ(0, chmod(target.c_str(), 0640));
    std::string link = directory + "/link.scene", chain = directory + "/chain.scene";
    ASSERT_EQ(0, symlink("real/work.scene", link.c_str()));   // relative to the link's folder
    ASSERT_EQ(0, symlink(link.c_str(), chain.c_str()));        // a link to a link
    auto expect_link = [](const std::string& at, const std::string& to) {
        struct stat info{};
        ASSERT_EQ(0, lstat(at.c_str(), &info));
        EXPECT_TRUE(S_ISLNK(info.st_mode)) << at;
        char text[4096] = {};
        ASSERT_GT(readlink(at.c_str(), text, sizeof text - 1), 0);
        EXPECT_EQ(to, std::string(text));
    };

    ASSERT_TRUE(scene_save(str(chain)));
    EXPECT_EQ(chain, text_of(editor.scene.scene_path));   // the name the user chose
    expect_link(chain, link);
    expect_link(link, "real/work.scene");
    EXPECT_EQ(serialized(), read_file(target));
    struct stat info{};
    ASSERT_EQ(0, stat(target.c_str(), &info));
    EXPECT_EQ(0640u, info.st_mode & 07777);
    EXPECT_EQ(std::vector<std::string>({"chain.scene", "link.scene", "real"}), entries());
    EXPECT_EQ(1u, entries("/real").size());

    // A link to nothing yet: the file it names is created.
    std::string dangling = directory + "/dangling.scene";
    ASSERT_EQ(0, symlink("real/new.scene", dangling.c_str()));
    ASSERT_TRUE(scene_export(str(dangling)));
    expect_link(dangling, "real/new.scene");
    EXPECT_FALSE(read_file(directory + "/real/new.scene").empty());

    // A loop of links is refused with a reason, and nothing is written.
    std::string loop = directory + "/loop.scene";
    ASSERT_EQ(0, symlink("loop.scene", loop.c_str()));
    platform_clear_message_boxes();
    EXPECT_FALSE(scene_save(str(loop)));
    EXPECT_EQ("save failed", last_box_title());
    EXPECT_GT(last_box_text().size(), loop.size() + 2) << "the reason follows the path";
    expect_link(loop, "loop.scene");
    EXPECT_EQ(chain, text_of(editor.scene.scene_path));
}

TEST_F(SceneSaveTest, ScenesLargerThanTheFramePoolStillSaveCompareAndOpen) {
    golden_scene_build();
    std::string expected = serialized();
    // A frame pool too small for the file: saving, the quit comparison and
    // opening fall back to the scratch pool and leave the persistent pool
    // alone.
    pool_release(POOL_FRAME);
    ASSERT_TRUE(pool_create(POOL_FRAME, 512));
    ASSERT_GT(expected.size(), 512u);
    std::string path = directory + "/large.scene";
    String path_view = str(path);
    String missing = str(directory + "/missing.scene");
    int64_t used = pool_get(POOL_PERSISTENT)->used;
    ASSERT_TRUE(scene_save(path_view));
    EXPECT_EQ(expected, read_file(path));
    EXPECT_TRUE(scene_matches_file(path_view));
    editor.scene.settings.snap_angle = 1;
    EXPECT_FALSE(scene_matches_file(path_view));
    EXPECT_FALSE(scene_matches_file(missing));
    editor.scene.settings.snap_angle = 15;
    EXPECT_EQ(used, pool_get(POOL_PERSISTENT)->used);
    EXPECT_EQ(0, pool_get(POOL_SCRATCH)->used);
    EXPECT_LE(pool_get(POOL_SCRATCH)->committed, pool_get(editor.scene.pool)->committed);

    scene_init(&editor.scene);
    ASSERT_EQ(SCENE_LOAD_OK, scene_load(str(path)));
    EXPECT_EQ(7, editor.scene.objects.count);
    std::string exported_path = directory + "/large.txt";
    EXPECT_TRUE(scene_export(str(exported_path)));
    EXPECT_GT(read_file(exported_path).size(), 512u);
}
