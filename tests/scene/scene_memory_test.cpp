// Scene memory over a long session: repeated opens and renames stay within a
// bound, compaction and swaps never change the saved bytes, references find
// their records again after a swap, and refused memory leaves the scene as
// it was.
#include <fstream>
#include <random>
#include <vector>

#include <unistd.h>

#include "scene/scene_fixture.h"

// The sanitized build opens a fifth as often (each open costs it several
// times as much); the normal build opens as often as a long day would.
#if defined(__SANITIZE_ADDRESS__)
constexpr int64_t OPEN_ROUNDS = 2000;
#else
constexpr int64_t OPEN_ROUNDS = 10000;
#endif
constexpr int64_t RENAME_STEPS = 100000;

static int64_t resident_bytes() {
    std::ifstream statm("/proc/self/statm");
    int64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

static bool inside_pool(const void* pointer, int8_t id) {
    const Pool* pool = pool_get(id);
    const uint8_t* at = static_cast<const uint8_t*>(pointer);
    return at >= pool->base && at < pool->base + pool->used;
}

// Every byte the editor's scene points at lies in its own arena (or is an
// empty string), so nothing of it can be lost with another pool.
static void expect_scene_inside_its_arena() {
    const SceneState& scene = editor.scene;
    int8_t arena = scene.pool;
    auto check = [arena](String string, const char* what) {
        if (string.length > 0) {
            EXPECT_TRUE(inside_pool(string.data, arena)) << what;
        }
    };
    EXPECT_TRUE(!scene.objects.count || inside_pool(scene.objects.data, arena));
    EXPECT_TRUE(!scene.rows.count || inside_pool(scene.rows.data, arena));
    for (int64_t i = 0; i < scene.objects.count; i++) {
        const SceneObject& object = scene.objects.data[i];
        check(object.data, "data");
        switch (object.kind) {
            case OBJECT_QUAD: check(object.quad.texture_name, "texture name"); break;
            case OBJECT_TEXT: check(object.text.font_name, "font name"); check(object.text.text, "text"); break;
            case OBJECT_MESH: check(object.mesh.mesh_name, "mesh name"); break;
            case OBJECT_PATH:
                EXPECT_TRUE(!object.path.points.count || inside_pool(object.path.points.data, arena)) << "points";
                break;
            default: break;
        }
    }
    for (int64_t i = 0; i < scene.rows.count; i++) check(scene.rows.data[i].name, "row name");
    check(scene.templates.text.text, "text template");
    check(scene.scene_path, "path");
}

class SceneMemoryTest : public SceneSaveTest {};

// ---------------------------------------------------------------------------
// A long session

TEST_F(SceneMemoryTest, OpeningTheSameLargeSceneAgainAndAgainKeepsMemoryFlat) {
    large_scene_build(5000);
    std::string path = directory + "/five_thousand.scene";
    ASSERT_TRUE(scene_save(str(path)));
    std::string expected = serialized();
    String path_view = str(path);
    int64_t persistent_used = pool_get(POOL_PERSISTENT)->used;

    auto growing_pages = []() {
        return pool_get(POOL_SCENE_A)->committed + pool_get(POOL_SCENE_B)->committed + pool_get(POOL_SCRATCH)->committed;
    };
    [[maybe_unused]] int64_t first_resident = 0;
    int64_t first_pages = 0, peak_arena = 0;
    for (int64_t round = 0; round < OPEN_ROUNDS; round++) {
        pool_reset(POOL_FRAME);
        ASSERT_EQ(SCENE_LOAD_OK, scene_load(path_view)) << "open " << round;
        if (round == 0) {
            first_resident = resident_bytes();
            first_pages = growing_pages();
        }
        peak_arena = std::max(peak_arena, pool_get(editor.scene.pool)->used);
        EXPECT_EQ(0, pool_get(scene_spare_pool())->used);
        EXPECT_LE(pool_get(scene_spare_pool())->committed, pool_get(editor.scene.pool)->committed)
            << "the old scene keeps no more pages than the new one uses";
    }
    EXPECT_EQ(0, platform_message_box_count());
    EXPECT_EQ(persistent_used, pool_get(POOL_PERSISTENT)->used);
    EXPECT_EQ(first_pages, growing_pages());
#if !defined(__SANITIZE_ADDRESS__)
    // The sanitizer holds freed blocks of the C library back for a while,
    // so only the normal build's resident memory speaks for the pools.
    EXPECT_LE(resident_bytes() - first_resident, INT64_C(4) << 20) << "after " << OPEN_ROUNDS << " opens";
#endif
    EXPECT_LE(peak_arena, 2 * scene_live_bytes(&editor.scene));
    EXPECT_EQ(expected, serialized());
    expect_scene_inside_its_arena();
}

// Rows renamed one letter at a time, as a name field typed into frame after
// frame does: the dead names are reclaimed, and what is saved is exactly
// the scene with the latest names.
TEST_F(SceneMemoryTest, RenamingRowsFrameAfterFrameStaysBoundedAndSavesTheLatestNames) {
    large_scene_build(300);
    std::vector<std::string> names;
    for (int64_t i = 0; i < editor.scene.rows.count; i++) names.push_back(text_of(editor.scene.rows.data[i].name));
    std::vector<int64_t> renamable;
    for (int64_t i = 0; i < (int64_t)names.size(); i++) {
        if (!editor.scene.rows.data[i].group_end) renamable.push_back(i);
    }
    // The expected scene: the same records with the model's names.
    auto expected_bytes = [&]() {
        std::vector<HierarchyRow> rows(editor.scene.rows.data, editor.scene.rows.data + editor.scene.rows.count);
        for (size_t i = 0; i < rows.size(); i++) {
            rows[i].name = String{reinterpret_cast<const uint8_t*>(names[i].data()), (int64_t)names[i].size()};
        }
        SceneState expected = editor.scene;
        expected.rows = Array<HierarchyRow>{rows.data(), (int64_t)rows.size(), (int64_t)rows.size(), POOL_FRAME};
        return text_of(scene_serialize_state(&expected, tool_bytes_of_editor(), POOL_FRAME));
    };
    int64_t persistent_used = pool_get(POOL_PERSISTENT)->used;
    int64_t live_at_start = scene_live_bytes(&editor.scene);
    int64_t peak_arena = 0, swaps = 0;
    std::mt19937_64 random(11);
    for (int64_t step = 0; step < RENAME_STEPS; step++) {
        pool_reset(POOL_FRAME);
        int8_t arena = editor.scene.pool;
        scene_memory_step();
        if (editor.scene.pool != arena) swaps++;
        int64_t row = renamable[random() % renamable.size()];
        std::string& name = names[(size_t)row];
        // One letter more, or one fewer once the name is long.
        if (name.size() < 48 && (name.size() < 2 || random() % 4 != 0)) name.push_back((char)('a' + step % 26));
        else name.pop_back();
        ASSERT_TRUE(scene_rename_row(row, String{reinterpret_cast<const uint8_t*>(name.data()), (int64_t)name.size()}));
        peak_arena = std::max(peak_arena, pool_get(editor.scene.pool)->used);
        if (step % 5000 == 0) {
            ASSERT_EQ(expected_bytes(), serialized()) << "step " << step;
        }
    }
    pool_reset(POOL_FRAME);
    EXPECT_GT(swaps, 0) << "dead names were reclaimed";
    EXPECT_EQ(persistent_used, pool_get(POOL_PERSISTENT)->used);
    int64_t live = scene_live_bytes(&editor.scene);
    EXPECT_LE(peak_arena, 2 * std::max(live, live_at_start) + 2 * SCENE_COMPACT_SLACK);
    EXPECT_TRUE(editor.scene.scene_modified);
    std::string path = directory + "/renamed.scene";
    ASSERT_TRUE(scene_save(str(path)));
    EXPECT_EQ(expected_bytes(), read_file(path));
    expect_scene_inside_its_arena();
}

TEST_F(SceneMemoryTest, TwoSceneFilesOfAHundredThousandObjectsOpenOneAfterTheOther) {
    large_scene_build(100000);
    std::string first = directory + "/first.scene", second = directory + "/second.scene";
    ASSERT_TRUE(scene_save(str(first)));
    editor.scene.settings.snap_angle = 45;
    ASSERT_TRUE(scene_save(str(second)));
    String first_view = str(first), second_view = str(second);
    int64_t persistent_used = pool_get(POOL_PERSISTENT)->used;
    ASSERT_EQ(SCENE_LOAD_OK, scene_load(first_view));
    EXPECT_EQ(5, editor.scene.settings.snap_angle);
    ASSERT_EQ(SCENE_LOAD_OK, scene_load(second_view));
    EXPECT_EQ(45, editor.scene.settings.snap_angle);
    EXPECT_EQ(100000, editor.scene.objects.count);
    EXPECT_EQ(0, platform_message_box_count());
    // The files are larger than the frame pool: read, saved and compared in
    // the scratch pool, which is given back each time.
    EXPECT_TRUE(scene_matches_file(second_view));
    EXPECT_FALSE(scene_matches_file(first_view));
    EXPECT_EQ(persistent_used, pool_get(POOL_PERSISTENT)->used);
    EXPECT_EQ(0, pool_get(POOL_SCRATCH)->used);
    EXPECT_LE(pool_get(POOL_SCRATCH)->committed, pool_get(editor.scene.pool)->committed);
}

// ---------------------------------------------------------------------------
// Compaction and replacement

TEST_F(SceneMemoryTest, CompactionAfterEditsKeepsTheBytesAndEmptiesTheOldArena) {
    golden_scene_build();
    // Edits that leave dead space behind: renames, creations, duplicates,
    // groups, a new path.
    for (int i = 0; i < 50; i++) scene_rename_row(i % editor.scene.rows.count, S("renamed over and over"));
    scene_create_object(OBJECT_TEXT, transform_default());
    scene_duplicate_row(1);
    scene_insert_group(0);
    editor.scene.scene_path = str("kept.scene");
    std::string before = serialized();
    int8_t old_arena = editor.scene.pool;
    int64_t old_used = pool_get(old_arena)->used;
    ASSERT_TRUE(scene_compact());
    EXPECT_NE(old_arena, editor.scene.pool);
    EXPECT_EQ(0, pool_get(old_arena)->used);
    EXPECT_LE(pool_get(old_arena)->committed, pool_get(editor.scene.pool)->committed);
    EXPECT_LT(pool_get(editor.scene.pool)->used, old_used);
    EXPECT_EQ(before, serialized());
    EXPECT_EQ("kept.scene", text_of(editor.scene.scene_path));
    expect_scene_inside_its_arena();
    // The preview follows the copied templates.
    EXPECT_EQ(editor.scene.templates.path.points.data, editor.scene.placement_template.path.points.data);
    // Edits go on in the new arena.
    EXPECT_GE(scene_create_object(OBJECT_PATH, transform_default()), 0);
    ASSERT_TRUE(scene_compact());
    EXPECT_EQ(old_arena, editor.scene.pool) << "the arenas take turns";
}

TEST_F(SceneMemoryTest, ANewEmptySceneKeepsSettingsTemplatesAndTheIdCounter) {
    golden_scene_build();
    editor.scene.scene_path = str("old.scene");
    editor.scene.scene_modified = true;
    editor.scene.templates.text.text = str("template text");
    SceneSettings settings = editor.scene.settings;
    ASSERT_TRUE(scene_replace_with_empty());
    const SceneState& scene = editor.scene;
    EXPECT_EQ(0, scene.objects.count);
    EXPECT_EQ(0, scene.rows.count);
    EXPECT_EQ(0, scene.scene_path.length);
    EXPECT_FALSE(scene.scene_modified);
    EXPECT_EQ(9, scene.next_object_id);
    EXPECT_EQ(0, std::memcmp(&settings, &scene.settings, sizeof settings));
    EXPECT_EQ("template text", text_of(scene.templates.text.text));
    expect_scene_inside_its_arena();
    EXPECT_EQ(9, scene_create_object(OBJECT_TEXT, transform_default()));
    EXPECT_EQ("template text", text_of(scene.objects.data[0].text.text));
}

TEST_F(SceneMemoryTest, RefusedMemoryLeavesTheSceneAsItWasWithOneMessage) {
    golden_scene_build();
    std::string path = directory + "/large.scene";
    scene_init(&editor.scene);
    large_scene_build(20000);
    ASSERT_TRUE(scene_save(str(path)));
    scene_init(&editor.scene);
    golden_scene_build();
    editor.scene.scene_path = str("current.scene");
    editor.scene.scene_modified = true;
    std::string before = serialized();
    // A spare arena the system lets grow to one step only: too small for
    // the large scene, as a machine out of memory would be.
    pool_release(scene_spare_pool());
    ASSERT_TRUE(pool_create_growing(scene_spare_pool(), POOL_COMMIT_STEP));
    String path_view = str(path);
    int64_t persistent_used = pool_get(POOL_PERSISTENT)->used;

    EXPECT_EQ(SCENE_LOAD_OUT_OF_MEMORY, scene_load(path_view));
    ASSERT_EQ(1, platform_message_box_count());
    EXPECT_EQ(std::string("open failed"), platform_message_box(0)->title);
    EXPECT_EQ(path + ": not enough memory to open it", platform_message_box(0)->text);
    EXPECT_EQ(before, serialized());
    EXPECT_EQ("current.scene", text_of(editor.scene.scene_path));
    EXPECT_TRUE(editor.scene.scene_modified);
    EXPECT_EQ(persistent_used, pool_get(POOL_PERSISTENT)->used);
    EXPECT_EQ(0, pool_get(scene_spare_pool())->used);

    // A scene that outgrew the spare cannot be compacted: it stays as it is
    // and editing goes on.
    large_scene_build(20000);
    std::string grown = serialized();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(scene_compact());
    EXPECT_EQ("out of memory: the scene was not compacted\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(grown, serialized());
    EXPECT_TRUE(scene_rename_row(0, S("still editable")));
    EXPECT_EQ(1, platform_message_box_count());
}

// ---------------------------------------------------------------------------
// References

TEST_F(SceneMemoryTest, ReferencesFindTheirRecordsAgainAfterSwapsOrReportThemGone) {
    golden_scene_build();
    SceneRef path_ref = scene_ref_object_id(4);
    SceneRef row_ref = scene_ref_row_index(7);  // the row of object 4
    SceneRef group_ref = scene_ref_row_index(0);
    SceneRef template_ref = scene_ref_template();
    ASSERT_EQ(4, row_ref.object_id);
    const SceneObject* before = scene_ref_object(path_ref);
    ASSERT_NE(nullptr, before);

    ASSERT_TRUE(scene_compact());
    SceneObject* path = scene_ref_object(path_ref);
    ASSERT_NE(nullptr, path);
    EXPECT_NE(before, path) << "the record moved with the swap";
    EXPECT_TRUE(inside_pool(path, editor.scene.pool));
    EXPECT_EQ(4, path->id);
    PathPoint* point = scene_ref_point(path_ref, 2);
    ASSERT_NE(nullptr, point);
    EXPECT_EQ(4.0f, point->position.y);
    EXPECT_EQ(nullptr, scene_ref_point(path_ref, 3));
    EXPECT_EQ(nullptr, scene_ref_point(scene_ref_object_id(0), 0)) << "a quad has no points";
    EXPECT_EQ(&editor.scene.placement_template, scene_ref_object(template_ref));
    EXPECT_EQ(nullptr, scene_ref_object(scene_ref_none()));

    // Rows moved by an insertion: the object row is found at its new index,
    // the group row only where it was.
    scene_insert_group(0);
    HierarchyRow* row = scene_ref_row(&row_ref);
    ASSERT_NE(nullptr, row);
    EXPECT_EQ(4, row->object_id);
    EXPECT_EQ(9, row_ref.row_index);
    HierarchyRow* group = scene_ref_row(&group_ref);
    ASSERT_NE(nullptr, group);
    EXPECT_TRUE(group->group_start);

    // A scene without those objects: the references report them gone.
    ASSERT_TRUE(scene_replace_with_empty());
    EXPECT_EQ(nullptr, scene_ref_object(path_ref));
    EXPECT_EQ(nullptr, scene_ref_row(&row_ref));
    EXPECT_EQ(nullptr, scene_ref_row(&group_ref));
    EXPECT_EQ(nullptr, scene_ref_point(path_ref, 0));
    EXPECT_NE(nullptr, scene_ref_object(template_ref));
}
