// A fixture for tests that drive the real program with files on disk: a
// scratch folder made the working directory, clicks and Control shortcuts as
// real SDL events, and the file dialog's and the question's buttons.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "app/editor.h"
#include "app/panels.h"
#include "platform/platform.h"
#include "scene/file_dialog.h"
#include "scene/scene.h"
#include "support/editor_harness.h"
#include "support/platform_harness.h"


inline std::string text(String s) { return std::string(reinterpret_cast<const char*>(s.data), (size_t)s.length); }

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

class ScratchEditorTest : public ::testing::Test {
protected:
    std::string folder;
    bool started = false;

    void SetUp() override {
        if (!harness_has_display()) GTEST_SKIP() << "no DISPLAY: run under xvfb-run";
        char name[] = "/tmp/tarnisk-files-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder = name;
    }
    void TearDown() override {
        if (started) harness_stop();
        if (chdir("/") != 0) {}
        std::error_code error;
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
        std::filesystem::remove_all(folder, error);
    }
    // Starts the program (from the data folder, so relative arguments name
    // bundled files), then makes the scratch folder the working directory.
    void start(std::initializer_list<const char*> arguments = {}, bool in_scratch_folder = true) {
        started = harness_start(arguments);
        ASSERT_TRUE(started);
        if (in_scratch_folder) { ASSERT_EQ(chdir(folder.c_str()), 0); }
        harness_mouse_move(700, 700);   // away from the toolbar and the dialogs
        ASSERT_TRUE(harness_frames(2));
    }
    bool frames(int count = 1) { return harness_frames(count); }

    // Interface coordinates (y up) to the harness's top-left ones.
    int32_t top(float y) const { return editor.window_height - (int32_t)y; }
    bool click(float x, float y) {
        harness_mouse_move((int32_t)x, top(y));
        frames();
        harness_mouse_down(MOUSE_PRIMARY, (int32_t)x, top(y));
        frames();
        harness_mouse_up(MOUSE_PRIMARY, (int32_t)x, top(y));
        bool running = frames();
        harness_mouse_move(700, 700);
        return running && frames();
    }
    bool control(char letter, bool shift = false) {
        harness_key_down(KEY_CONTROL);
        if (shift) harness_key_down(KEY_SHIFT);
        harness_key_down(key_letter(letter));
        bool running = frames();
        harness_key_up(key_letter(letter));
        if (shift) harness_key_up(KEY_SHIFT);
        harness_key_up(KEY_CONTROL);
        return running && frames();
    }
    bool type_and_enter(const char* name) {
        harness_text(name);
        frames();
        harness_key_down(KEY_ENTER);
        bool running = frames();
        harness_key_up(KEY_ENTER);
        return running && frames();
    }

    int64_t panel_count() const { return editor.panels.list.count; }
    Panel* top_panel() { return panel_count() ? &editor.panels.list.data[panel_count() - 1] : nullptr; }
    Vec4 content_of(const Panel* panel) const {
        return Vec4{panel->position.x, panel->position.y, panel->size.x,
                    panel->size.y - (float)editor.theme.scale};
    }
    FileDialog* dialog() {
        Panel* panel = top_panel();
        return panel && panel->kind == PANEL_FILE_DIALOG ? panel_content<FileDialog>(panel) : nullptr;
    }
    std::string dialog_title() { return top_panel() ? text(top_panel()->title) : ""; }

    // The question's buttons: "yes", "no", "cancel" along its bottom.
    bool answer(int which) {
        Panel* panel = top_panel();
        if (!panel || panel->kind != PANEL_SAVE_PROMPT) return false;
        Vec4 r = content_of(panel);
        float s = (float)editor.theme.scale, p = (float)editor.theme.offset;
        float xs[3] = {r.x + p + 2 * s, r.x + 2 * p + 6 * s, r.x + r.z - p - 2 * s};
        return click(xs[which], r.y + p + s / 2);
    }
    bool dialog_button(bool ok) {
        FileDialogLayout layout = file_dialog_layout(content_of(top_panel()));
        Vec4 b = ok ? layout.ok : layout.cancel;
        return click(b.x + b.z / 2, b.y + b.w / 2);
    }
    // Row `i` of the topmost dialog's list (folders, then files).
    bool click_row(int64_t i) {
        FileDialogLayout layout = file_dialog_layout(content_of(top_panel()));
        float y = layout.list.y + layout.list.w + dialog()->scroll - ((float)i + 0.5f) * layout.row_height;
        return click(layout.list.x + 30, y);
    }
    std::string name_field() { return text(text_field_text(&dialog()->file_name)); }

    // Wheel notches with the pointer at (x, y). Tests run side by side on one
    // X server share its pointer, so a stray motion may land in the same poll;
    // the frame is then taken again from the same scroll.
    void wheel_at(float x, float y, int32_t steps) {
        float before = dialog()->scroll;
        for (int attempt = 0; attempt < 20; attempt++) {
            dialog()->scroll = before;
            harness_mouse_move((int32_t)x, top(y));
            harness_mouse_wheel(steps);
            ASSERT_TRUE(frames());
            if (editor.mouse_x == (float)(int32_t)x && editor.mouse_y == (float)(editor.window_height - top(y))) return;
        }
        FAIL() << "the pointer never stayed at " << x << ", " << y;
    }

    void add_object() {
        int64_t id = scene_create_object(OBJECT_DATA, transform_default());
        ASSERT_GE(id, 0);
        scene_find_object(id)->data = S(" spawn(2)");
    }
    std::string serialized() { return text(scene_serialize()); }
};
