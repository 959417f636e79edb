// Property rows without a window: the two-step synchronisation between the
// widgets of the previous frame and the targets, for every kind of value,
// rows without a target, the group flags and unknown row types.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "app/editor.h"
#include "core/format.h"
#include "scene/scene.h"
#include "support/pool_fixture.h"
#include "tools/property_panel.h"
#include "support/property_text.h"

namespace {

// What typing leaves in a field: its text, and the keyboard.
void type_into(TextField* field, const char* text) {
    text_field_set_text(field, string_from_cstring(text));
    field->focused = true;
}

class PropertySync : public PoolTest {
protected:
    PropertyGroup group;
    void SetUp() override {
        PoolTest::SetUp();
        group = property_group_make(S("group"));
    }
};

TEST_F(PropertySync, RowsStartZeroedWithTheirNameCopiedAndTheArrayDoubling) {
    char name[] = "scale";
    Property* p = property_add(&group, PROPERTY_VEC3, string_from_cstring(name));
    name[0] = 'X';
    EXPECT_EQ(group.properties.capacity, 1);
    EXPECT_TRUE(string_equal(p->name, S("scale")));
    EXPECT_EQ(p->target, nullptr);
    EXPECT_FALSE(p->shown_value);
    property_add(&group, PROPERTY_BOOL, S("b"));
    property_add(&group, PROPERTY_TEXT, S("t"));
    EXPECT_EQ(group.properties.capacity, 4);
    EXPECT_FALSE(group.properties.data[2].field.single_line);
    EXPECT_TRUE(group.properties.data[0].components[2].single_line);
    EXPECT_FALSE(group.collapsed);
}

TEST_F(PropertySync, FieldWithTheKeyboardWritesItsTextEveryFrameOthersShowTheTarget) {
    Property* p = property_add(&group, PROPERTY_VEC3, S("position"));
    Vec3 position{1, 2, 3};
    p->target = &position;
    property_group_sync(&group);
    EXPECT_EQ(text_of(p->components[0]), number_text(1));
    EXPECT_FALSE(group.changed);

    type_into(&p->components[0], "1.");
    property_group_sync(&group);
    EXPECT_EQ(position.x, 1);
    EXPECT_TRUE(p->changed);
    EXPECT_TRUE(group.changed);
    EXPECT_FALSE(group.modified);   // "1." is still 1

    type_into(&p->components[0], "1.5");
    // A change made elsewhere while the field is being typed in.
    position.y = 7;
    property_group_sync(&group);
    EXPECT_EQ(position.x, 1.5f);
    EXPECT_TRUE(group.modified);
    EXPECT_EQ(text_of(p->components[0]), "1.5");
    EXPECT_EQ(text_of(p->components[1]), number_text(7));

    // Leaving the field: it shows the value in the default number text.
    p->components[0].focused = false;
    property_group_sync(&group);
    EXPECT_EQ(text_of(p->components[0]), number_text(1.5));
    EXPECT_FALSE(group.changed);
}

TEST_F(PropertySync, IntegersAndNumbersParseWhatTheScannersReturn) {
    property_add(&group, PROPERTY_INTEGER, S("index"));
    property_add(&group, PROPERTY_NUMBER, S("width"));
    // Rows move as the array grows: found again after the last add.
    Property* i = &group.properties.data[0];
    Property* n = &group.properties.data[1];
    int64_t index = 3;
    double width = 0.25;
    i->target = &index;
    n->target = &width;
    property_group_sync(&group);
    EXPECT_EQ(text_of(i->field), "3");
    EXPECT_EQ(text_of(n->field), number_text(0.25));
    type_into(&i->field, "-12x");
    type_into(&n->field, "abc");
    property_group_sync(&group);
    EXPECT_EQ(index, -12);
    EXPECT_EQ(width, 0);
    EXPECT_TRUE(i->changed && n->changed);
}

TEST_F(PropertySync, CheckBoxClickIsTakenOnceInTheNextFrame) {
    Property* p = property_add(&group, PROPERTY_BOOL, S("billboard"));
    bool billboard = false;
    p->target = &billboard;
    property_group_sync(&group);
    EXPECT_FALSE(p->shown_value);
    // What the click did in the previous frame's display step.
    p->check.clicked = 1;
    p->shown_value = true;
    EXPECT_FALSE(billboard);
    property_group_sync(&group);
    EXPECT_TRUE(billboard);
    EXPECT_TRUE(group.changed && group.modified);
    // Not drawn in between (a collapsed group): the old click is not taken
    // again over a change made elsewhere.
    billboard = false;
    property_group_sync(&group);
    EXPECT_FALSE(billboard);
    EXPECT_FALSE(p->shown_value);
}

TEST_F(PropertySync, NamesAndTextsGoToTheSceneArenaOnlyWhenTheyDiffer) {
    editor.scene.pool = POOL_SCENE_A;
    Property* p = property_add(&group, PROPERTY_NAME, S("texture"));
    String name = S("checker");
    ASSERT_TRUE(scene_string_copy(&name, POOL_SCENE_A));
    p->target = &name;
    property_group_sync(&group);
    EXPECT_EQ(text_of(p->field), "checker");
    p->field.focused = true;
    const uint8_t* before = name.data;
    int64_t arena = pool_mark(POOL_SCENE_A).used;
    property_group_sync(&group);
    EXPECT_EQ(name.data, before);
    EXPECT_EQ(pool_mark(POOL_SCENE_A).used, arena);
    EXPECT_TRUE(p->changed);
    EXPECT_FALSE(group.modified);

    // A shorter text is written over the old bytes; a longer one takes new
    // bytes of the arena, never of the persistent pool.
    type_into(&p->field, "wood");
    int64_t persistent = pool_mark(POOL_PERSISTENT).used;
    property_group_sync(&group);
    EXPECT_TRUE(string_equal(name, S("wood")));
    EXPECT_EQ(name.data, before);
    EXPECT_EQ(pool_mark(POOL_PERSISTENT).used, persistent);
    EXPECT_TRUE(group.modified);
    // The field's own text grows in the persistent pool; the name does not.
    type_into(&p->field, "bricks and more");
    persistent = pool_mark(POOL_PERSISTENT).used;
    property_group_sync(&group);
    EXPECT_TRUE(string_equal(name, S("bricks and more")));
    EXPECT_NE(name.data, text_field_text(&p->field).data);
    const Pool* scene_arena = pool_get(POOL_SCENE_A);
    EXPECT_TRUE(name.data >= scene_arena->base && name.data + name.length <= scene_arena->base + scene_arena->used);
    EXPECT_EQ(pool_mark(POOL_PERSISTENT).used, persistent);
}

TEST_F(PropertySync, RowsThatAreNotDrawnGiveUpTheKeyboardAndPendingClicks) {
    property_add(&group, PROPERTY_VEC3, S("position"));
    property_add(&group, PROPERTY_BOOL, S("billboard"));
    property_add(&group, PROPERTY_NAME, S("texture"));
    Property* v = &group.properties.data[0];
    Property* b = &group.properties.data[1];
    Property* n = &group.properties.data[2];
    Vec3 position{1, 2, 3};
    bool billboard = false;
    v->target = &position;
    b->target = &billboard;
    type_into(&v->components[0], "5");
    type_into(&n->field, "typed");
    b->check.clicked = 1;
    b->shown_value = true;
    property_group_release(&group);
    EXPECT_FALSE(v->components[0].focused || n->field.focused);
    property_group_sync(&group);
    EXPECT_EQ(position.x, 1);
    EXPECT_FALSE(billboard);
    EXPECT_EQ(text_of(v->components[0]), number_text(1));

    // A collapsed group keeps showing its values but none of its fields
    // writes, whatever they held when it collapsed.
    type_into(&v->components[1], "9");
    group.collapsed = true;
    property_group_sync(&group);
    EXPECT_EQ(position.y, 2);
    EXPECT_FALSE(group.changed);
    EXPECT_EQ(text_of(v->components[1]), number_text(2));
}

TEST_F(PropertySync, RowsWithoutTargetsNeitherReadNorWrite) {
    property_add(&group, PROPERTY_VEC4, S("v"));
    property_add(&group, PROPERTY_BOOL, S("b"));
    property_add(&group, PROPERTY_HEADING, S("h"));
    Property* v = &group.properties.data[0];
    Property* b = &group.properties.data[1];
    type_into(&v->components[1], "5");
    b->check.clicked = 1;
    property_group_sync(&group);
    EXPECT_EQ(text_of(v->components[1]), "5");
    EXPECT_FALSE(group.changed);
}

TEST_F(PropertySync, EveryVectorTypeMovesItsOwnComponentCount) {
    const uint8_t types[] = {PROPERTY_VEC2, PROPERTY_VEC3, PROPERTY_VEC4, PROPERTY_ROTATION, PROPERTY_COLOR,
                             PROPERTY_RECTANGLE};
    const int counts[] = {2, 3, 4, 4, 4, 4};
    for (int t = 0; t < 6; t++) {
        SCOPED_TRACE(t);
        PropertyGroup g = property_group_make(S("g"));
        Property* p = property_add(&g, types[t], S("v"));
        float target[5] = {1, 2, 3, 4, 99};
        p->target = target;
        for (int i = 0; i < 4; i++) type_into(&p->components[i], "8");
        property_group_sync(&g);
        for (int i = 0; i < 4; i++) EXPECT_EQ(target[i], i < counts[t] ? 8 : i + 1);
        EXPECT_EQ(target[4], 99);
    }
}

TEST(PropertyType, UnknownTypeIsLeftOutWithOneLine) {
    EXPECT_TRUE(property_type_check(PROPERTY_HEADING));
#ifdef NDEBUG
    testing::internal::CaptureStdout();
    EXPECT_FALSE(property_type_check(PROPERTY_TYPE_COUNT));
    EXPECT_FALSE(property_type_check(200));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "property of unknown type 12 left out\n");
#else
    EXPECT_DEATH(property_type_check(PROPERTY_TYPE_COUNT), "unknown type");
#endif
}

}  // namespace
