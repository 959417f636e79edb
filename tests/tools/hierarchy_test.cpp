// The object list's edits without a window: selection rules, drop positions,
// the multi-row drop and its refusals, delete, show / hide and new groups,
// and a long random session that must keep the groups closed in order and
// the scene saving to the same bytes after a reload.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "scene/scene_fixture.h"
#include "tools/hierarchy.h"

namespace {

class HierarchyTest : public SceneTest {
protected:
    // Rows written as names: "[name" opens a group (expanded), "(name" opens a
    // collapsed one, "]" closes; anything else is an object row of that name.
    void build(std::initializer_list<const char*> layout) {
        for (const char* item : layout) {
            std::string name = item;
            if (name == "]") {
                row_add(GROUP_ROW_ID, "", false, true);
            } else if (name[0] == '[' || name[0] == '(') {
                row_add(GROUP_ROW_ID, name.substr(1), true, false, name[0] == '[');
            } else {
                SceneObject object = object_make(OBJECT_DATA, editor.scene.next_object_id++);
                scene_append_object(object);
                row_add(object.id, name);
            }
        }
    }
    static std::string order() {
        std::string out;
        const Array<HierarchyRow>& rows = editor.scene.rows;
        for (int64_t i = 0; i < rows.count; i++) {
            if (i) out += ' ';
            out += rows.data[i].group_end ? std::string("]") : text_of(rows.data[i].name);
        }
        return out;
    }
    static int64_t find(const std::string& name) {
        const Array<HierarchyRow>& rows = editor.scene.rows;
        for (int64_t i = 0; i < rows.count; i++) {
            if (!rows.data[i].group_end && text_of(rows.data[i].name) == name) return i;
        }
        ADD_FAILURE() << "no row " << name;
        return -1;
    }
    static HierarchyRow& row(const std::string& name) { return editor.scene.rows.data[find(name)]; }
    static void select(std::initializer_list<const char*> names) {
        for (const char* name : names) row(name).selected = true;
    }
    static std::string selected() {
        std::string out;
        const Array<HierarchyRow>& rows = editor.scene.rows;
        for (int64_t i = 0; i < rows.count; i++) {
            if (!rows.data[i].selected) continue;
            if (!out.empty()) out += ' ';
            out += rows.data[i].group_end ? std::string("]") : text_of(rows.data[i].name);
        }
        return out;
    }
    HierarchyDropResult drop_at(int64_t target) {
        Array<int32_t> drag = array_make<int32_t>(POOL_PERSISTENT);
        hierarchy_collect_drag(&editor.scene.rows, &drag);
        return hierarchy_drop(&editor.scene, &drag, target);
    }
    static bool valid() { return hierarchy_nesting_valid(&editor.scene.rows, nullptr); }
};

TEST_F(HierarchyTest, PressesSelectByTheirKeys) {
    build({"a", "[g", "b", "c", "]", "d", "e"});
    Array<HierarchyRow>* rows = &editor.scene.rows;

    // A plain press selects the row alone; on a selected row among several
    // it keeps them all, so the press can start dragging them.
    hierarchy_select(rows, find("a"), false, false);
    EXPECT_EQ(selected(), "a");
    hierarchy_select(rows, find("d"), true, false);
    EXPECT_EQ(selected(), "a d");
    hierarchy_select(rows, find("d"), false, false);
    EXPECT_EQ(selected(), "a d");
    hierarchy_select(rows, find("e"), false, false);
    EXPECT_EQ(selected(), "e");
    hierarchy_select(rows, find("e"), true, false);
    EXPECT_EQ(selected(), "");

    // Shift: from the last selected row in list order to the clicked one,
    // either way, end rows left out, nothing deselected.
    hierarchy_select(rows, find("a"), false, false);
    hierarchy_select(rows, find("d"), false, true);
    EXPECT_EQ(selected(), "a g b c d");
    hierarchy_select(rows, find("e"), true, false);
    hierarchy_select(rows, find("b"), false, true);
    EXPECT_EQ(selected(), "a g b c d e");

    // Shift with nothing selected: just the clicked row.
    for (int64_t i = 0; i < rows->count; i++) rows->data[i].selected = false;
    hierarchy_select(rows, find("c"), false, true);
    EXPECT_EQ(selected(), "c");
}

TEST_F(HierarchyTest, DropPositionSkipsCollapsedGroupsOnly) {
    build({"a", "(closed", "b", "[inner", "c", "]", "]", "[open", "d", "]", "e"});
    const Array<HierarchyRow>* rows = &editor.scene.rows;
    int64_t closed = find("closed"), open = find("open");
    EXPECT_EQ(hierarchy_drop_index(rows, closed, true), closed);
    EXPECT_EQ(hierarchy_drop_index(rows, closed, false), find("open"));   // after its end, nested end included
    EXPECT_EQ(hierarchy_drop_index(rows, open, true), open);
    EXPECT_EQ(hierarchy_drop_index(rows, open, false), open + 1);          // its first member's place
    EXPECT_EQ(hierarchy_group_end(rows, closed), find("open") - 1);
    EXPECT_EQ(hierarchy_group_end(rows, find("a")), find("a"));
}

TEST_F(HierarchyTest, DropMovesSelectedRowsAndWholeGroupsTogether) {
    build({"a", "b", "[g", "c", "d", "]", "e", "f"});
    select({"a", "g", "d", "f"});   // d is inside g: listed once
    EXPECT_EQ(drop_at(find("e")), HIERARCHY_DROP_MOVED);
    EXPECT_EQ(order(), "b a g c d ] f e");
    EXPECT_TRUE(valid());
    EXPECT_TRUE(editor.scene.scene_modified);

    // Upward, into an expanded group as its first members.
    for (int64_t i = 0; i < editor.scene.rows.count; i++) editor.scene.rows.data[i].selected = false;
    select({"e", "b"});
    EXPECT_EQ(drop_at(hierarchy_drop_index(&editor.scene.rows, find("g"), false)), HIERARCHY_DROP_MOVED);
    EXPECT_EQ(order(), "a g b e c d ] f");

    // To the very end and the very start.
    EXPECT_EQ(drop_at(editor.scene.rows.count), HIERARCHY_DROP_MOVED);
    EXPECT_EQ(order(), "a g c d ] f b e");
    EXPECT_EQ(drop_at(0), HIERARCHY_DROP_MOVED);
    EXPECT_EQ(order(), "b e a g c d ] f");
    EXPECT_TRUE(valid());

    // Nothing selected: nothing moves.
    for (int64_t i = 0; i < editor.scene.rows.count; i++) editor.scene.rows.data[i].selected = false;
    EXPECT_EQ(drop_at(3), HIERARCHY_DROP_NOTHING_SELECTED);
    EXPECT_EQ(order(), "b e a g c d ] f");
}

TEST_F(HierarchyTest, DropsThatWouldBreakTheGroupsDoNothing) {
    build({"a", "[g", "b", "[h", "c", "]", "]", "d"});
    // A group dropped among its own members, nested ones included.
    select({"g", "a"});
    std::string before = order();
    for (const char* inside : {"b", "h", "c"}) {
        EXPECT_EQ(drop_at(find(inside)), HIERARCHY_DROP_INTO_ITSELF) << inside;
        EXPECT_EQ(order(), before);
    }
    EXPECT_EQ(drop_at(find("d") - 1), HIERARCHY_DROP_INTO_ITSELF);   // just before g's end row
    EXPECT_EQ(drop_at(find("d") + 1), HIERARCHY_DROP_MOVED);         // after the group is fine
    EXPECT_EQ(order(), "d a g b h c ] ]");
    EXPECT_TRUE(valid());

    // A selected end row (only a file can hold one) never moves alone.
    for (int64_t i = 0; i < editor.scene.rows.count; i++) editor.scene.rows.data[i].selected = false;
    editor.scene.rows.data[find("c") + 1].selected = true;
    EXPECT_EQ(drop_at(0), HIERARCHY_DROP_NOTHING_SELECTED);
    EXPECT_TRUE(valid());
}

TEST_F(HierarchyTest, NestingDeeperThanTheWalkShowsIsRefused) {
    // 62 nested groups around a free row and a free group: the group may go
    // in at depth 63 (members at 64) but no deeper.
    for (int i = 0; i < 62; i++) build({"[n"});
    build({"x", "[free", "y", "]"});
    for (int i = 0; i < 62; i++) build({"]"});
    int32_t depth = 0;
    ASSERT_TRUE(hierarchy_nesting_valid(&editor.scene.rows, &depth));
    EXPECT_EQ(depth, 64);

    // Dropping the group into a sibling group one level deeper would put y at 65.
    build({"[side", "]"});
    row("side").selected = true;
    EXPECT_EQ(drop_at(find("x")), HIERARCHY_DROP_MOVED);   // side goes in at depth 63, empty
    for (int64_t i = 0; i < editor.scene.rows.count; i++) editor.scene.rows.data[i].selected = false;
    row("free").selected = true;
    std::string before = order();
    testing::internal::CaptureStdout();
    EXPECT_EQ(drop_at(find("side") + 1), HIERARCHY_DROP_TOO_DEEP);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "groups nest at most 63 deep: the rows were not moved\n");
    EXPECT_EQ(order(), before);
    EXPECT_TRUE(valid());

    // A new group inside a group at depth 63 would lay its end row out at 65.
    for (int64_t i = 0; i < editor.scene.rows.count; i++) editor.scene.rows.data[i].selected = false;
    row("side").selected = true;
    int64_t count = editor.scene.rows.count;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(hierarchy_new_group(&editor.scene));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "groups nest at most 63 deep: no group was added here\n");
    EXPECT_EQ(editor.scene.rows.count, count);
    row("side").selected = false;
    row("x").selected = true;
    EXPECT_TRUE(hierarchy_new_group(&editor.scene));   // beside x, at depth 64: end row fits
    ASSERT_TRUE(hierarchy_nesting_valid(&editor.scene.rows, &depth));
    EXPECT_EQ(depth, 64);
}

TEST_F(HierarchyTest, DeleteTakesGroupsWithTheirMembersAndObjects) {
    build({"a", "[g", "b", "[h", "c", "]", "]", "d", "e"});
    select({"g", "e"});
    int64_t d_id = row("d").object_id, a_id = row("a").object_id;
    EXPECT_TRUE(hierarchy_delete(&editor.scene));
    EXPECT_EQ(order(), "a d");
    ASSERT_EQ(editor.scene.objects.count, 2);
    EXPECT_EQ(editor.scene.objects.data[0].id, a_id);   // ascending ids kept
    EXPECT_EQ(editor.scene.objects.data[1].id, d_id);
    EXPECT_NE(scene_find_object(d_id), nullptr);
    EXPECT_TRUE(editor.scene.scene_modified);

    // An end row selected on its own stays, and so does its group.
    editor.scene.rows.count = 0;
    editor.scene.objects.count = 0;
    build({"[k", "x", "]"});
    editor.scene.rows.data[2].selected = true;
    EXPECT_FALSE(hierarchy_delete(&editor.scene));
    EXPECT_EQ(order(), "k x ]");
}

TEST_F(HierarchyTest, ShowHideTogglesObjectsAndCascadesFromGroups) {
    build({"a", "[g", "b", "[h", "c", "]", "]", "d"});
    select({"a"});
    EXPECT_TRUE(hierarchy_show_hide(&editor.scene));
    EXPECT_FALSE(scene_find_object(row("a").object_id)->visible);
    EXPECT_EQ(row("a").color.w, 0.5f);
    EXPECT_TRUE(hierarchy_show_hide(&editor.scene));
    EXPECT_TRUE(scene_find_object(row("a").object_id)->visible);
    EXPECT_EQ(row("a").color.w, 1.0f);

    // A group shows every member object, nested ones too, whatever they were.
    scene_find_object(row("b").object_id)->visible = false;
    row("b").color.w = 0.5f;
    scene_find_object(row("c").object_id)->visible = false;
    row("c").color.w = 0.5f;
    row("a").selected = false;
    select({"g", "c"});   // c is walked past as part of g, not toggled back
    EXPECT_TRUE(hierarchy_show_hide(&editor.scene));
    for (const char* name : {"b", "c"}) {
        EXPECT_TRUE(scene_find_object(row(name).object_id)->visible) << name;
        EXPECT_EQ(row(name).color.w, 1.0f) << name;
    }
    EXPECT_TRUE(scene_find_object(row("d").object_id)->visible);
}

TEST_F(HierarchyTest, NewGroupGoesAfterTheLastSelectedRow) {
    build({"a", "b", "c"});
    EXPECT_TRUE(hierarchy_new_group(&editor.scene));   // nothing selected: at the top
    EXPECT_EQ(order(), "new group ] a b c");
    select({"a", "b"});
    EXPECT_TRUE(hierarchy_new_group(&editor.scene));
    EXPECT_EQ(order(), "new group ] a b new group ] c");
    const HierarchyRow& start = editor.scene.rows.data[4];
    const HierarchyRow& end = editor.scene.rows.data[5];
    EXPECT_TRUE(start.group_start && start.expanded && !start.selected);
    EXPECT_EQ(start.object_id, GROUP_ROW_ID);
    // The end row names no object: object 0 is "a".
    EXPECT_TRUE(end.group_end);
    EXPECT_EQ(end.object_id, GROUP_ROW_ID);
    EXPECT_EQ(selected(), "a b");
}

TEST_F(HierarchyTest, RenameKeepsItsOwnCopy) {
    build({"a", "[g", "]"});
    std::string typed = "renamed";
    String name = {reinterpret_cast<const uint8_t*>(typed.data()), (int64_t)typed.size()};
    EXPECT_TRUE(hierarchy_rename(find("g"), name));
    typed[0] = 'X';
    EXPECT_EQ(text_of(editor.scene.rows.data[1].name), "renamed");
    EXPECT_TRUE(editor.scene.scene_modified);
    EXPECT_FALSE(hierarchy_rename(2, S("end")));   // end rows carry no name
    EXPECT_FALSE(hierarchy_rename(9, S("none")));
}

// Thousands of random drops, deletes, new groups and show / hide steps from a
// fixed seed: after each one every group is closed in order, and the scene
// saves, reloads and saves again to the same bytes.
TEST_F(HierarchyTest, RandomSessionKeepsGroupsClosedAndFilesStable) {
    std::mt19937 random(20261207);
    auto pick = [&](int64_t n) { return n > 0 ? (int64_t)(random() % (uint64_t)n) : 0; };
    build({"a", "b", "[g", "c", "]", "d"});
    Array<int32_t> drag = array_make<int32_t>(POOL_PERSISTENT);
    int moved = 0, refused = 0, deleted = 0;
    for (int step = 0; step < 4000; step++) {
        pool_reset(POOL_FRAME);
        Array<HierarchyRow>* rows = &editor.scene.rows;
        for (int64_t i = 0; i < rows->count; i++) rows->data[i].selected = false;
        int64_t picks = 1 + pick(3);
        for (int64_t k = 0; k < picks && rows->count > 0; k++) {
            int64_t i = pick(rows->count);
            rows->data[i].selected = true;
            if (random() % 4 == 0) rows->data[i].expanded = !rows->data[i].expanded;
        }
        int action = (int)pick(10);
        if (action < 5) {
            hierarchy_collect_drag(rows, &drag);
            HierarchyDropResult result = hierarchy_drop(&editor.scene, &drag, pick(rows->count + 1));
            if (result == HIERARCHY_DROP_MOVED) moved++;
            else refused++;
        } else if (action < 6) {
            deleted += hierarchy_delete(&editor.scene) ? 1 : 0;
        } else if (action < 8 || rows->count < 4) {
            if (rows->count < 60) {
                SceneObject object = object_make((ObjectKind)pick(OBJECT_KIND_COUNT), editor.scene.next_object_id++);
                if (object.kind == OBJECT_QUAD) object.quad.texture_name = str("stone");
                scene_append_object(object);
                scene_append_row(object.id, object_kind_name(object.kind), 0, Vec4{1, 1, 1, 1});
            }
            hierarchy_new_group(&editor.scene);
        } else {
            hierarchy_show_hide(&editor.scene);
        }
        ASSERT_TRUE(valid()) << "step " << step << ": " << order();
        for (int64_t i = 1; i < editor.scene.objects.count; i++) {
            ASSERT_LT(editor.scene.objects.data[i - 1].id, editor.scene.objects.data[i].id);
        }

        PoolMark mark = pool_mark(POOL_PERSISTENT);
        SceneToolBytes tools = tool_bytes_of_editor();
        String saved = scene_serialize_state(&editor.scene, tools, POOL_FRAME);
        SceneState loaded{};
        SceneToolBytes loaded_tools{};
        ASSERT_EQ(scene_parse(saved, &loaded, &loaded_tools), SCENE_LOAD_OK) << "step " << step;
        String again = scene_serialize_state(&loaded, loaded_tools, POOL_FRAME);
        ASSERT_TRUE(string_equal(saved, again)) << "step " << step;
        pool_restore(mark);
    }
    // The session did exercise every path.
    EXPECT_GT(moved, 500);
    EXPECT_GT(refused, 50);
    EXPECT_GT(deleted, 100);
}

}  // namespace
