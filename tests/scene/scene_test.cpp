// The object model: lookup, creation from templates, duplication and group
// rows, with storage never shared between objects.
#include "scene/scene_fixture.h"

TEST_F(SceneTest, KindsHaveNamesColorsAndIconsWithFallbacks) {
    EXPECT_EQ("path", text_of(object_kind_name(OBJECT_PATH)));
    EXPECT_EQ("object", text_of(object_kind_name(5)));
    Vec4 text_color = object_kind_color(OBJECT_TEXT);
    EXPECT_EQ(0, std::memcmp(&editor.theme.text_object_color, &text_color, sizeof(Vec4)));
    EXPECT_EQ(editor.assets.icons[ICON_MESH], object_kind_icon(OBJECT_MESH));
    EXPECT_EQ(editor.assets.icons[ICON_WHITE], object_kind_icon(200));
}

TEST_F(SceneTest, FindObjectSearchesIdsWithGaps) {
    EXPECT_EQ(nullptr, scene_find_object(0));
    const int64_t ids[] = {0, 3, 4, 9, 12, 40, 41};
    for (int64_t id : ids) scene_append_object(object_make(OBJECT_DATA, id));
    for (int64_t id : ids) {
        ASSERT_NE(nullptr, scene_find_object(id));
        EXPECT_EQ(id, scene_find_object(id)->id);
    }
    for (int64_t id : {-1, 1, 5, 13, 42, 1000}) EXPECT_EQ(nullptr, scene_find_object(id)) << id;
}

TEST_F(SceneTest, DefaultsOfSettingsAndTemplates) {
    const SceneSettings& settings = editor.scene.settings;
    EXPECT_TRUE(settings.depth);
    EXPECT_FALSE(settings.view_2d || settings.wireframe || settings.snapping);
    EXPECT_EQ(0.5f, settings.background.z);
    EXPECT_EQ(5.0, settings.snap_angle);
    EXPECT_EQ(1.0f, settings.plane_normal.z);
    const SceneTemplates& templates = editor.scene.templates;
    EXPECT_EQ("text", text_of(templates.text.text));
    EXPECT_GT(templates.text.pixels_per_unit, 0.0);
    EXPECT_EQ(&editor.assets.default_font, templates.text.font);
    EXPECT_EQ(editor.assets.icons[ICON_WHITE], templates.quad.texture);
    EXPECT_EQ(1.0f, templates.quad.uv_rect.z);
    EXPECT_EQ(0, std::memcmp(&editor.theme.path_object_color, &templates.path.color, sizeof(Vec4)));
    EXPECT_EQ(0, editor.scene.next_object_id);
}

TEST_F(SceneTest, CreatedObjectsCopyTheirTemplateAndGetARow) {
    SceneTemplates& templates = editor.scene.templates;
    array_push(&templates.path.points, PathPoint{Vec3{1, 2, 3}, Vec3{}, Vec3{}});
    templates.data = str(" tag(1)");
    Transform at{Vec3{4, 5, 6}, Rotor{1, 0, 0, 0}, Vec3{2, 2, 2}};

    EXPECT_EQ(0, scene_create_object(OBJECT_TEXT, at));
    EXPECT_EQ(1, scene_create_object(OBJECT_PATH, at));
    EXPECT_EQ(2, scene_create_object(OBJECT_DATA, at));
    EXPECT_EQ(3, editor.scene.next_object_id);
    EXPECT_TRUE(editor.scene.scene_modified);

    SceneObject* text = scene_find_object(0);
    EXPECT_TRUE(text->visible);
    EXPECT_EQ(4.0f, text->transform.position.x);
    EXPECT_EQ("text", text_of(text->text.text));
    EXPECT_NE(templates.text.text.data, text->text.text.data) << "strings are copied, not shared";
    EXPECT_EQ(0, text->data.length) << "only data objects take the template's data text";

    SceneObject* path = scene_find_object(1);
    ASSERT_EQ(1, path->path.points.count);
    EXPECT_NE(templates.path.points.data, path->path.points.data);
    path->path.points.data[0].position.x = 99;
    EXPECT_EQ(1.0f, templates.path.points.data[0].position.x);

    EXPECT_EQ(" tag(1)", text_of(scene_find_object(2)->data));

    ASSERT_EQ(3, editor.scene.rows.count);
    const HierarchyRow& row = editor.scene.rows.data[1];
    EXPECT_EQ(1, row.object_id);
    EXPECT_EQ("path", text_of(row.name));
    EXPECT_EQ(editor.assets.icons[ICON_PATH], row.icon);
    EXPECT_FALSE(row.selected || row.group_start || row.group_end || row.expanded);
}

TEST_F(SceneTest, DuplicatesAreIndependentCopiesAndTakeTheSelection) {
    editor.scene.templates.quad.texture_name = str("stone");
    scene_create_object(OBJECT_QUAD, Transform{Vec3{}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}});
    scene_create_object(OBJECT_PATH, Transform{Vec3{}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}});
    array_push(&scene_find_object(1)->path.points, PathPoint{});
    editor.scene.rows.data[0].name = str("wall");
    editor.scene.rows.data[0].selected = true;
    editor.scene.rows.data[1].selected = true;
    editor.scene.scene_modified = false;

    int64_t first = scene_duplicate_row(0);
    int64_t second = scene_duplicate_row(1);
    ASSERT_EQ(2, first);
    ASSERT_EQ(3, second);
    const Array<HierarchyRow>& rows = editor.scene.rows;
    EXPECT_FALSE(rows.data[0].selected || rows.data[1].selected);
    EXPECT_TRUE(rows.data[2].selected && rows.data[3].selected);
    EXPECT_EQ("wall", text_of(rows.data[2].name));
    EXPECT_NE(rows.data[0].name.data, rows.data[2].name.data);
    EXPECT_EQ(2, rows.data[2].object_id);
    EXPECT_EQ(3, rows.data[3].object_id);
    EXPECT_TRUE(editor.scene.scene_modified);

    SceneObject* quad_copy = scene_find_object(2);
    EXPECT_EQ("stone", text_of(quad_copy->quad.texture_name));
    EXPECT_NE(scene_find_object(0)->quad.texture_name.data, quad_copy->quad.texture_name.data);
    EXPECT_NE(scene_find_object(1)->path.points.data, scene_find_object(3)->path.points.data);
    EXPECT_EQ(1, scene_find_object(3)->path.points.count);

    EXPECT_EQ(-1, scene_duplicate_row(99));
    scene_insert_group(0);
    EXPECT_EQ(-1, scene_duplicate_row(0)) << "a group row has no object to copy";
}

TEST_F(SceneTest, NewGroupRowsCarryTheGroupIdAtBothEnds) {
    scene_create_object(OBJECT_QUAD, Transform{Vec3{}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}});
    EXPECT_EQ(0, scene_insert_group(0));
    ASSERT_EQ(3, editor.scene.rows.count);
    const HierarchyRow& start = editor.scene.rows.data[0];
    const HierarchyRow& end = editor.scene.rows.data[1];
    EXPECT_EQ("new group", text_of(start.name));
    EXPECT_TRUE(start.group_start && start.expanded && !start.selected);
    EXPECT_EQ(GROUP_ROW_ID, start.object_id);
    EXPECT_TRUE(end.group_end && !end.group_start);
    EXPECT_EQ(GROUP_ROW_ID, end.object_id) << "0 would be the first object's id";
    EXPECT_EQ(nullptr, scene_find_object(end.object_id));
    EXPECT_EQ(0, editor.scene.rows.data[2].object_id);
}

TEST_F(SceneTest, AppendedRowsOwnTheirNames) {
    String name = str("shared");
    int64_t index = scene_append_row(GROUP_ROW_ID, name, 5, Vec4{1, 0, 0, 1});
    EXPECT_EQ(0, index);
    EXPECT_NE(name.data, editor.scene.rows.data[0].name.data);
    EXPECT_EQ(1, scene_append_row(0, S("quad"), 5, Vec4{}));
}

TEST_F(SceneTest, IdsStopWhereRowsCanNoLongerNameThem) {
    editor.scene.next_object_id = (int64_t)INT32_MAX + 1;
    EXPECT_EQ(-1, scene_create_object(OBJECT_DATA, Transform{Vec3{}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}}));
    EXPECT_EQ(0, editor.scene.objects.count);
    EXPECT_EQ(0, editor.scene.rows.count);
    editor.scene.next_object_id = INT32_MAX;
    EXPECT_EQ(INT32_MAX, scene_create_object(OBJECT_DATA, Transform{Vec3{}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}}));
    EXPECT_EQ(INT32_MAX, editor.scene.rows.data[0].object_id);
}

// Objects are created one at a time (one per click); the arrays must grow
// geometrically, or each creation copies them whole and the pool runs out
// after about a thousand.
TEST_F(SceneTest, TwentyThousandObjectsCreatedOneByOneFitThePool) {
    for (int64_t i = 0; i < 20000; i++) {
        ASSERT_EQ(i, scene_create_object(OBJECT_QUAD, Transform{Vec3{}, Rotor{1, 0, 0, 0}, Vec3{1, 1, 1}}));
    }
    EXPECT_EQ(20000, editor.scene.objects.count);
    EXPECT_EQ(20000, editor.scene.rows.count);
}
