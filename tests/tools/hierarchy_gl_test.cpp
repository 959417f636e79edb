// The object list in the real program: the pointer, wheel and keys arrive as
// SDL events, the main loop runs the frames, and the rows, objects, files and
// pixels are checked afterwards.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/editor.h"
#include "app/editor_frame.h"
#include "app/editor_ui.h"
#include "app/panels.h"
#include "platform/platform.h"
#include "render/targets.h"
#include "support/editor_harness.h"
#include "support/platform_harness.h"
#include "tools/hierarchy.h"

namespace {

std::string text(String s) { return s.length > 0 ? std::string(reinterpret_cast<const char*>(s.data), (size_t)s.length) : ""; }

class HierarchyGlTest : public EditorTest {
protected:
    int64_t panel_key = -1;
    Vec2 panel_position = {100, 100};

    void SetUp() override {
        EditorTest::SetUp();
        if (IsSkipped()) return;
        start();
        // Let the server's own pointer events from mapping the window land
        // before the scripted pointer starts, away from everything.
        harness_mouse_move(1000, 600);
        frame(5);
    }
    void frame(int count = 1) { ASSERT_TRUE(harness_frames(count)); }
    float s() const { return editor.theme.scale; }
    float p() const { return editor.theme.offset; }

    // Rows written as in the logic tests: "[name" an expanded group, "(name"
    // a collapsed one, "]" an end row, anything else a data object's row.
    void build(std::initializer_list<const char*> layout) {
        for (const char* item : layout) {
            std::string name = item;
            if (name == "]") {
                HierarchyRow end{};
                end.object_id = GROUP_ROW_ID;
                end.group_end = true;
                array_push(&editor.scene.rows, end);
            } else if (name[0] == '[' || name[0] == '(') {
                int64_t index = scene_insert_group(editor.scene.rows.count);
                ASSERT_GE(index, 0);
                editor.scene.rows.count--;   // its end row comes from the layout list
                HierarchyRow& start = editor.scene.rows.data[index];
                start.expanded = name[0] == '[';
                String label = {reinterpret_cast<const uint8_t*>(name.data() + 1), (int64_t)name.size() - 1};
                ASSERT_TRUE(scene_rename_row(index, label));
            } else {
                int64_t id = scene_create_object(OBJECT_DATA, transform_default());
                ASSERT_GE(id, 0);
                String label = {reinterpret_cast<const uint8_t*>(name.data()), (int64_t)name.size()};
                ASSERT_TRUE(scene_rename_row(editor.scene.rows.count - 1, label));
            }
        }
        editor.scene.scene_modified = false;
    }
    static std::string order() {
        std::string out;
        const Array<HierarchyRow>& rows = editor.scene.rows;
        for (int64_t i = 0; i < rows.count; i++) {
            if (i) out += ' ';
            out += rows.data[i].group_end ? std::string("]") : text(rows.data[i].name);
        }
        return out;
    }
    static std::string selected() {
        std::string out;
        const Array<HierarchyRow>& rows = editor.scene.rows;
        for (int64_t i = 0; i < rows.count; i++) {
            if (!rows.data[i].selected) continue;
            if (!out.empty()) out += ' ';
            out += rows.data[i].group_end ? std::string("]") : text(rows.data[i].name);
        }
        return out;
    }
    static HierarchyRow& row(const std::string& name) {
        Array<HierarchyRow>& rows = editor.scene.rows;
        for (int64_t i = 0; i < rows.count; i++) {
            if (!rows.data[i].group_end && text(rows.data[i].name) == name) return rows.data[i];
        }
        ADD_FAILURE() << "no row " << name;
        return rows.data[0];
    }
    static SceneObject* object(const std::string& name) { return scene_find_object(row(name).object_id); }

    // Opens an object list whose list area is `list_height` high.
    void open_list(float list_height, float width = 300) {
        int64_t index = editor_open_tool_panel(PANEL_OBJECTS);
        ASSERT_GE(index, 0);
        Panel* panel = &editor.panels.list.data[index];
        panel_key = panel->key;
        panel->position = panel_position;
        panel->size = Vec2{width, list_height + 2 * s() + 4 * p() + (float)editor.panels.title_height};
        panel_layout(panel);
        frame();
    }
    Panel* panel() { return &editor.panels.list.data[panel_find(panel_key)]; }
    HierarchyPanel* content() { return panel_content<HierarchyPanel>(panel()); }
    HierarchyLayout layout() {
        Panel* shown = panel();
        return hierarchy_layout(shown->position, Vec2{shown->size.x, shown->size.y - (float)editor.panels.title_height},
                                s(), p());
    }

    // Window position (SDL: from the top-left) of a point `down` pixels below
    // the list's top edge and `right` pixels right of its left edge.
    int32_t list_x(float right) { return (int32_t)(layout().list.x + right); }
    int32_t list_y(float down) {
        Vec4 list = layout().list;
        return editor.window_height - (int32_t)(list.y + list.w - down);
    }
    // The middle of the row whose band starts `before` pixels below the top,
    // right of the arrow slot.
    void row_point(float before, int32_t* x, int32_t* y, float within = 0.5f) {
        *x = list_x(0.75f * s() + 20);
        *y = list_y(before + within * s());
    }
    void move(int32_t x, int32_t y) {
        harness_mouse_move(x, y);
        frame(2);   // the server's own motion from the warp lands first
        at_x = x;
        at_y = y;
    }
    void press() {
        harness_mouse_down(MOUSE_PRIMARY, at_x, at_y);
        frame();
    }
    void release() {
        harness_mouse_up(MOUSE_PRIMARY, at_x, at_y);
        frame();
    }
    void click(int32_t x, int32_t y, int32_t key = 0) {
        if (key) harness_key_down(key);
        move(x, y);
        press();
        release();
        if (key) harness_key_up(key);
        frame();
    }
    void click_row(float before, int32_t key = 0) {
        int32_t x, y;
        row_point(before, &x, &y);
        click(x, y, key);
    }
    void click_rect(Vec4 rect) {
        click((int32_t)(rect.x + rect.z / 2), editor.window_height - (int32_t)(rect.y + rect.w / 2));
    }
    // Drags from one point to another through a halfway point, as a hand does.
    void drag(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        move(x0, y0);
        press();
        move((x0 + x1) / 2, (y0 + y1) / 2 + 1);
        move(x1, y1);
        release();
        frame();
    }
    void wheel_at(int32_t x, int32_t y, int32_t steps) {
        float before = content()->scroll;
        for (int attempt = 0; attempt < 20; attempt++) {
            content()->scroll = before;
            harness_mouse_move(x, y);
            harness_mouse_wheel(steps);
            frame();
            if (editor.mouse_x == (float)x && editor.mouse_y == (float)(editor.window_height - y)) return;
        }
        FAIL() << "the pointer never stayed in the list";
    }

    // The window's pixel at an SDL position, from a frame composed now.
    static HarnessPixel shown_at(int32_t x, int32_t y) {
        editor_frame();
        final_pass_to_window();
        return harness_pixel(0, x, editor.window_height - y);
    }
    static int brightness(HarnessPixel pixel) { return pixel.r + pixel.g + pixel.b; }
    static std::string file_text(const std::string& path) {
        std::string bytes;
        FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) return bytes;
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
        std::fclose(file);
        return bytes;
    }
    static String view(const std::string& text) {
        return String{reinterpret_cast<const uint8_t*>(text.data()), (int64_t)text.size()};
    }
    // Replaces the selected row's name through the name field.
    void type_name(const char* name) {
        click_rect(layout().name);
        ASSERT_TRUE(content()->name.focused);
        harness_key_down(KEY_CONTROL);
        harness_key_down(key_letter('A'));
        frame();
        harness_key_up(key_letter('A'));
        harness_key_up(KEY_CONTROL);
        frame();
        harness_text(name);
        frame(2);
    }

    int32_t at_x = 0, at_y = 0;
};

TEST_F(HierarchyGlTest, TenRowsScrollToSixRowsAndANotchMoves72Pixels) {
    build({"r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9"});
    open_list(4 * s());
    frame();
    EXPECT_FLOAT_EQ(content()->content_height, 10 * s());
    int32_t x = list_x(40), y = list_y(s());

    wheel_at(x, y, -1);
    EXPECT_FLOAT_EQ(content()->scroll, 72);
    wheel_at(x, y, -10);
    EXPECT_FLOAT_EQ(content()->scroll, 6 * s());
    wheel_at(x, y, 1);
    EXPECT_FLOAT_EQ(content()->scroll, 6 * s() - 72);
    wheel_at(x, y, 10);
    EXPECT_FLOAT_EQ(content()->scroll, 0);

    // The wheel outside the list leaves it alone.
    wheel_at(1000, 600, -1);
    EXPECT_FLOAT_EQ(content()->scroll, 0);

    // Fewer rows: the scroll is clamped again in the next frames.
    wheel_at(x, y, -10);
    ASSERT_FLOAT_EQ(content()->scroll, 6 * s());
    editor.scene.rows.count = 5;
    frame(2);
    EXPECT_FLOAT_EQ(content()->scroll, s());

    // Scrolled by one row: a click at the top picks the second row.
    click_row(0);
    EXPECT_EQ(selected(), "r1");
}

TEST_F(HierarchyGlTest, PressOnASelectedRowKeepsTheSelectionAndAShortMoveChangesNothing) {
    build({"a", "b", "c", "d"});
    open_list(8 * s());
    click_row(s());
    click_row(2 * s(), KEY_CONTROL);
    ASSERT_EQ(selected(), "b c");

    int32_t x, y;
    row_point(s(), &x, &y);
    move(x, y);
    press();
    EXPECT_EQ(selected(), "b c");
    move(x + 5, y + 4);   // 6.4 pixels: still a press
    EXPECT_FALSE(editor.hierarchy.dragging);
    release();
    frame();
    EXPECT_EQ(selected(), "b c");
    EXPECT_EQ(order(), "a b c d");
    EXPECT_FALSE(editor.hierarchy.dragging);
    EXPECT_FALSE(editor.hierarchy.pressed);
    EXPECT_FALSE(editor.scene.scene_modified);

    // A plain click elsewhere selects that row alone.
    click_row(3 * s());
    EXPECT_EQ(selected(), "d");
}

TEST_F(HierarchyGlTest, ShiftSelectsTheRangeBelowButNotEndRows) {
    build({"a", "[g", "b", "]", "c", "d"});
    open_list(8 * s());
    click_row(0);
    // a, g, b, the end row (P high), then c at 3S + P.
    harness_key_down(KEY_SHIFT);
    click_row(3 * s() + p());
    harness_key_up(KEY_SHIFT);
    frame();
    EXPECT_EQ(selected(), "a g b c");

    // With nothing selected there is no range to extend: the row alone.
    for (int64_t i = 0; i < editor.scene.rows.count; i++) editor.scene.rows.data[i].selected = false;
    harness_key_down(KEY_SHIFT);
    click_row(2 * s());
    harness_key_up(KEY_SHIFT);
    frame();
    EXPECT_EQ(selected(), "b");
}

TEST_F(HierarchyGlTest, ADragStartsAtEightPixels) {
    build({"a", "b", "c"});
    open_list(8 * s());
    int32_t x, y;
    row_point(0, &x, &y);
    move(x, y);
    press();
    ASSERT_TRUE(editor.hierarchy.pressed);
    move(x + 7, y);   // 49 squared pixels
    EXPECT_FALSE(editor.hierarchy.dragging);
    move(x + 5, y + 5);   // 50
    EXPECT_FALSE(editor.hierarchy.dragging);
    move(x + 8, y);   // 64
    EXPECT_TRUE(editor.hierarchy.dragging);
    EXPECT_FALSE(editor.hierarchy.pressed);
    EXPECT_TRUE(editor.scene.scene_modified);
    // Dropped on its own upper half: the row stays where it was.
    release();
    frame();
    EXPECT_FALSE(editor.hierarchy.dragging);
    EXPECT_EQ(order(), "a b c");
}

TEST_F(HierarchyGlTest, SelectedRowsAndAGroupMoveTogetherInTheirOrder) {
    build({"a", "b", "[g", "c", "]", "d", "e"});
    open_list(8 * s());
    // Rows from the top: a, b, g, c at 3S, the end row (P), d, e at 5S + P.
    click_row(0);
    click_row(2 * s(), KEY_CONTROL);
    click_row(4 * s() + p(), KEY_CONTROL);
    ASSERT_EQ(selected(), "a g d");
    int32_t x0, y0, x1, y1;
    row_point(0, &x0, &y0);
    row_point(5 * s() + p(), &x1, &y1, 0.8f);   // lower half of e
    drag(x0, y0, x1, y1);
    EXPECT_EQ(order(), "b e a g c ] d");
    EXPECT_EQ(selected(), "a g d");
    EXPECT_TRUE(hierarchy_nesting_valid(&editor.scene.rows, nullptr));

    // Back up, into the expanded group as its first members: g is not
    // selected now, so only b and d go.
    click_row(0);
    click_row(5 * s() + p(), KEY_CONTROL);   // d, now last
    ASSERT_EQ(selected(), "b d");
    row_point(0, &x0, &y0);
    row_point(3 * s(), &x1, &y1, 0.8f);   // lower half of g
    drag(x0, y0, x1, y1);
    EXPECT_EQ(order(), "e a g b d c ]");
}

TEST_F(HierarchyGlTest, RowsLightUpUnderThePointerAndDarkenWhilePressed) {
    build({"a", "[g", "b", "]"});
    open_list(8 * s());
    click_row(0);
    ASSERT_EQ(selected(), "a");
    // Far right in a's band, where neither icon nor name is drawn.
    int32_t probe_x = list_x(layout().list.z - 4), probe_y = list_y(s() / 2);
    move(1000, 600);
    int idle = brightness(shown_at(probe_x, probe_y));
    move(probe_x - 2, probe_y);
    int hover = brightness(shown_at(probe_x, probe_y));
    press();
    frame();
    int held = brightness(shown_at(probe_x, probe_y));
    release();
    frame();
    EXPECT_GT(hover, idle + 20);
    EXPECT_LT(held, idle - 20);
    EXPECT_EQ(selected(), "a");

    // The group's arrow gets the hover background too, at its corner where
    // the arrow icon leaves the slot clear.
    Vec4 list = layout().list;
    float a = 0.75f * s();
    int32_t corner_x = (int32_t)(list.x + 1), corner_y = list_y(s() + (s() - a) / 2 + 1);
    move(1000, 600);
    int arrow_idle = brightness(shown_at(corner_x, corner_y));
    move((int32_t)(list.x + a / 2), list_y(1.5f * s()));
    int arrow_hover = brightness(shown_at(corner_x, corner_y));
    EXPECT_GT(arrow_hover, arrow_idle + 20);
}

TEST_F(HierarchyGlTest, DropsGoPastCollapsedGroupsAndIntoExpandedOnes) {
    build({"x", "(closed", "m1", "]", "[open", "m2", "]", "y"});
    open_list(8 * s());
    // Shown: x, closed (members and end hidden), open, m2, end (P), y.
    EXPECT_FLOAT_EQ(content()->content_height, 5 * s() + p());

    int32_t x0, y0, x1, y1;
    click_row(0);
    row_point(0, &x0, &y0);
    row_point(s(), &x1, &y1, 0.8f);   // lower half of the collapsed group's row
    drag(x0, y0, x1, y1);
    EXPECT_EQ(order(), "closed m1 ] x open m2 ] y");
    EXPECT_FALSE(editor.hierarchy.dragging);

    // Now: closed, x, open, m2, end, y. Drag y onto the lower half of "open".
    click_row(4 * s() + p());
    ASSERT_EQ(selected(), "y");
    row_point(4 * s() + p(), &x0, &y0);
    row_point(2 * s(), &x1, &y1, 0.8f);
    drag(x0, y0, x1, y1);
    EXPECT_EQ(order(), "closed m1 ] x open y m2 ]");
    EXPECT_TRUE(hierarchy_nesting_valid(&editor.scene.rows, nullptr));
}

TEST_F(HierarchyGlTest, AGroupDroppedAmongItsOwnMembersStaysPut) {
    build({"a", "[g", "b", "c", "]", "d"});
    open_list(8 * s());
    click_row(s());
    int32_t x0, y0, x1, y1;
    row_point(s(), &x0, &y0);
    row_point(3 * s(), &x1, &y1, 0.2f);   // upper half of c
    drag(x0, y0, x1, y1);
    EXPECT_EQ(order(), "a g b c ] d");
}

TEST_F(HierarchyGlTest, TheMarkerShowsWhereTheDropGoes) {
    build({"a", "b", "c", "d"});
    open_list(8 * s());
    click_row(0);
    int32_t x0, y0, x1, y1;
    row_point(0, &x0, &y0);
    row_point(2 * s(), &x1, &y1, 0.25f);   // upper half of c: marker at c's top
    // The marker is drawn left of the arrow slot too, where no hover shows.
    int32_t mark_x = list_x(2), mark_y = list_y(2 * s());
    HarnessPixel idle = {};
    {
        editor_frame();
        final_pass_to_window();
        idle = harness_pixel(0, mark_x, editor.window_height - mark_y);
    }
    move(x0, y0);
    press();
    move(x1, y1);
    ASSERT_TRUE(editor.hierarchy.dragging);
    editor_frame();
    final_pass_to_window();
    HarnessPixel marked = harness_pixel(0, mark_x, editor.window_height - mark_y);
    EXPECT_TRUE(marked.r != idle.r || marked.g != idle.g || marked.b != idle.b);
    release();
    frame();
    EXPECT_EQ(order(), "b a c d");
    EXPECT_TRUE(editor.scene.scene_modified);
}

TEST_F(HierarchyGlTest, TheDraggedRowFollowsThePointer) {
    build({"a", "b"});
    open_list(8 * s());
    click_row(0);
    // An empty stretch of the panel right of the two buttons: nothing else
    // is drawn there, so any change is the dragged row's icon and name.
    Vec4 buttons = layout().show_hide;
    int32_t spot_x = (int32_t)(buttons.x + 3 * s()), spot_y = editor.window_height - (int32_t)(buttons.y + s() / 2);
    auto changed_pixels = [&](const std::vector<HarnessPixel>& before) {
        editor_frame();
        final_pass_to_window();
        int changed = 0, k = 0;
        for (int32_t dy = -(int32_t)s() / 2; dy < (int32_t)s() / 2; dy += 2) {
            for (int32_t dx = -(int32_t)s() / 2; dx < 3 * (int32_t)s(); dx += 2, k++) {
                HarnessPixel now = harness_pixel(0, spot_x + dx, editor.window_height - (spot_y + dy));
                if (now.r != before[k].r || now.g != before[k].g || now.b != before[k].b) changed++;
            }
        }
        return changed;
    };
    std::vector<HarnessPixel> idle;
    editor_frame();
    final_pass_to_window();
    for (int32_t dy = -(int32_t)s() / 2; dy < (int32_t)s() / 2; dy += 2) {
        for (int32_t dx = -(int32_t)s() / 2; dx < 3 * (int32_t)s(); dx += 2) {
            idle.push_back(harness_pixel(0, spot_x + dx, editor.window_height - (spot_y + dy)));
        }
    }
    int32_t x0, y0;
    row_point(0, &x0, &y0);
    move(x0, y0);
    press();
    move(spot_x, spot_y);
    ASSERT_TRUE(editor.hierarchy.dragging);
    EXPECT_GT(changed_pixels(idle), 20);
    // Released away from every row: nothing moves, and the preview is gone.
    release();
    frame();
    EXPECT_FALSE(editor.hierarchy.dragging);
    EXPECT_EQ(order(), "a b");
    EXPECT_EQ(changed_pixels(idle), 0);
}

TEST_F(HierarchyGlTest, ACollapsedGroupHidesItsNestedGroupsWhateverTheirFlags) {
    build({"[outer", "[inner", "a", "]", "(shut", "b", "]", "]", "c"});
    open_list(8 * s());
    // outer, inner, a, end, shut, end(outer) , c  (shut's members and end hidden)
    EXPECT_FLOAT_EQ(content()->content_height, 5 * s() + 2 * p());
    Vec4 list = layout().list;
    int32_t arrow_x = (int32_t)(list.x + 0.375f * s());
    click(arrow_x, list_y(s() / 2));
    EXPECT_FALSE(row("outer").expanded);
    EXPECT_TRUE(row("inner").expanded);
    EXPECT_FLOAT_EQ(content()->content_height, 2 * s());
    click_row(s());
    EXPECT_EQ(selected(), "c");
    click(arrow_x, list_y(s() / 2));
    EXPECT_TRUE(row("outer").expanded);
    EXPECT_FLOAT_EQ(content()->content_height, 5 * s() + 2 * p());
}

TEST_F(HierarchyGlTest, DeletingAGroupRemovesItsRowsAndMemberObjects) {
    build({"a", "[g", "b", "[h", "c", "]", "]", "d"});
    int64_t a_id = row("a").object_id, d_id = row("d").object_id;
    open_list(8 * s());
    click_row(s());
    ASSERT_EQ(selected(), "g");
    click_rect(layout().remove);
    EXPECT_EQ(order(), "a d");
    ASSERT_EQ(editor.scene.objects.count, 2);
    EXPECT_EQ(editor.scene.objects.data[0].id, a_id);
    EXPECT_EQ(editor.scene.objects.data[1].id, d_id);
    EXPECT_TRUE(editor.scene.scene_modified);
}

TEST_F(HierarchyGlTest, ShowHideOnAGroupShowsAllItsMembers) {
    build({"[g", "b", "[h", "c", "]", "]", "d"});
    open_list(8 * s());
    click_row(s());
    click_rect(layout().show_hide);
    ASSERT_FALSE(object("b")->visible);
    EXPECT_EQ(row("b").color.w, 0.5f);
    object("c")->visible = false;

    click_row(0);
    ASSERT_EQ(selected(), "g");
    click_rect(layout().show_hide);
    for (const char* name : {"b", "c"}) {
        EXPECT_TRUE(object(name)->visible) << name;
        EXPECT_EQ(row(name).color.w, 1.0f) << name;
    }
    EXPECT_TRUE(object("d")->visible);

    // New group: right after the last selected row, here the group's start
    // row, so it becomes the group's first member, empty.
    click_rect(layout().new_group);
    EXPECT_EQ(order(), "g new group ] b h c ] ] d");
}

TEST_F(HierarchyGlTest, RenamingThroughTheFieldShowsSavesAndExportsTheName) {
    build({"a", "[hall", "b", "]"});
    open_list(8 * s());
    click_row(s());
    click_rect(layout().name);
    ASSERT_TRUE(content()->name.focused);
    harness_key_down(KEY_CONTROL);
    harness_key_down(key_letter('A'));
    frame();
    harness_key_up(key_letter('A'));
    harness_key_up(KEY_CONTROL);
    frame();
    harness_text("lobby \xE2\x9C\x93");
    frame(2);
    EXPECT_EQ(text(editor.scene.rows.data[1].name), "lobby \xE2\x9C\x93");
    EXPECT_TRUE(editor.scene.scene_modified);

    // Another row selected: the field follows it and the old name stays.
    click_row(0);
    EXPECT_FALSE(content()->name.focused);
    EXPECT_EQ(text(text_field_text(&content()->name)), "a");
    EXPECT_EQ(text(editor.scene.rows.data[1].name), "lobby \xE2\x9C\x93");

    std::string folder = ::testing::TempDir();
    std::string scene_path = folder + "hierarchy_rename.scene", export_path = folder + "hierarchy_rename.txt";
    String path = string_copy(String{reinterpret_cast<const uint8_t*>(scene_path.data()), (int64_t)scene_path.size()});
    String out = string_copy(String{reinterpret_cast<const uint8_t*>(export_path.data()), (int64_t)export_path.size()});
    ASSERT_TRUE(scene_save(path));
    ASSERT_TRUE(scene_export(out));
    editor.scene.rows.data[1].name = S("other");
    ASSERT_EQ(scene_load(path), SCENE_LOAD_OK);
    EXPECT_EQ(text(editor.scene.rows.data[1].name), "lobby \xE2\x9C\x93");
    FILE* file = std::fopen(export_path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::string exported(1 << 16, '\0');
    exported.resize(std::fread(&exported[0], 1, exported.size(), file));
    std::fclose(file);
    EXPECT_NE(exported.find("name(\"lobby \xE2\x9C\x93\")"), std::string::npos) << exported;
    std::remove(scene_path.c_str());
    std::remove(export_path.c_str());
}

// The scene file stores names only for group rows: an object row's new name
// shows in the list for the session, and the file written for the scene is
// the same with or without it.
TEST_F(HierarchyGlTest, AnObjectRowsNameLastsTheSessionAndLeavesTheFileAlone) {
    build({"a", "[g", "b", "]"});
    open_list(8 * s());
    std::string folder = ::testing::TempDir();
    std::string before_path = folder + "hierarchy_object_name_before.scene";
    std::string after_path = folder + "hierarchy_object_name_after.scene";
    std::string export_path = folder + "hierarchy_object_name.txt";
    click_row(2 * s());
    ASSERT_EQ(selected(), "b");
    ASSERT_TRUE(scene_save(string_copy(view(before_path))));

    type_name("lamp");
    EXPECT_EQ(text(editor.scene.rows.data[2].name), "lamp");
    EXPECT_TRUE(editor.scene.scene_modified);
    click_row(0);
    click_row(2 * s());
    EXPECT_EQ(text(text_field_text(&content()->name)), "lamp");

    ASSERT_TRUE(scene_save(string_copy(view(after_path))));
    ASSERT_TRUE(scene_export(string_copy(view(export_path))));
    std::string before = file_text(before_path), after = file_text(after_path);
    EXPECT_FALSE(before.empty());
    EXPECT_EQ(before, after);
    EXPECT_EQ(file_text(export_path).find("lamp"), std::string::npos);
    ASSERT_EQ(scene_load(string_copy(view(after_path))), SCENE_LOAD_OK);
    EXPECT_EQ(text(editor.scene.rows.data[2].name), "data");
    EXPECT_EQ(text(editor.scene.rows.data[1].name), "g");
    std::remove(before_path.c_str());
    std::remove(after_path.c_str());
    std::remove(export_path.c_str());
}

TEST_F(HierarchyGlTest, RowsDeeperThanTheWalkTracksAreNotShown) {
    // 70 nested groups, as a file written elsewhere may hold: the list still
    // draws, and stops at the depth it can track.
    for (int i = 0; i < 70; i++) build({"[n"});
    build({"deep"});
    for (int i = 0; i < 70; i++) build({"]"});
    open_list(8 * s());
    frame();
    // Group starts at depths 1..64 and the end rows at member depths up to 64.
    EXPECT_FLOAT_EQ(content()->content_height, 64 * s() + 63 * p());

    // The same rows from a file.
    std::string scene_path = ::testing::TempDir() + "hierarchy_deep.scene";
    String path = string_copy(view(scene_path));
    ASSERT_TRUE(scene_save(path));
    editor.scene.rows.count = 0;
    frame();
    ASSERT_EQ(scene_load(path), SCENE_LOAD_OK);
    EXPECT_EQ(editor.scene.rows.count, 141);
    frame(2);
    EXPECT_FLOAT_EQ(content()->content_height, 64 * s() + 63 * p());
    std::remove(scene_path.c_str());
}

}  // namespace
