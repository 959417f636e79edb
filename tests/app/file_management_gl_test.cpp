// New, open, save, save as, export and quit, end to end: the real program
// frame by frame under real SDL events, files on disk in a scratch folder
// that is the working directory the dialog browses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "app/app.h"
#include "app/editor.h"
#include "app/editor_ui.h"
#include "app/panels.h"
#include "platform/platform.h"
#include "platform/platform_test_hooks.h"
#include "scene/file_dialog.h"
#include "scene/scene.h"
#include "support/editor_harness.h"
#include "support/scratch_editor.h"
#include "support/platform_harness.h"

namespace {

namespace fs = std::filesystem;

class FileManagement : public ScratchEditorTest {};

enum { YES, NO, CANCEL };

TEST_F(FileManagement, NewAsksOnlyOverUnsavedWork) {
    start();
    add_object();
    ASSERT_TRUE(editor.scene.scene_modified);
    ASSERT_TRUE(control('N'));
    ASSERT_EQ(panel_count(), 1);
    EXPECT_EQ(top_panel()->kind, PANEL_SAVE_PROMPT);
    EXPECT_EQ(panel_content<SavePrompt>(top_panel())->purpose, SAVE_PURPOSE_NEW);
    EXPECT_EQ(editor.scene.objects.count, 1);   // nothing happens before the answer
    ASSERT_TRUE(answer(NO));
    EXPECT_EQ(panel_count(), 0);
    EXPECT_EQ(editor.scene.objects.count, 0);
    EXPECT_EQ(editor.scene.rows.count, 0);
    EXPECT_FALSE(editor.scene.scene_modified);

    // Unmodified: emptied at once, ids go on counting.
    add_object();
    int64_t next_id = editor.scene.next_object_id;
    editor.scene.scene_modified = false;
    ASSERT_TRUE(control('N'));
    EXPECT_EQ(panel_count(), 0);
    EXPECT_EQ(editor.scene.objects.count, 0);
    EXPECT_EQ(editor.scene.next_object_id, next_id);

    // The toolbar's first button does the same.
    add_object();
    ASSERT_TRUE(click(24, (float)editor.window_height - 24));
    ASSERT_EQ(panel_count(), 1);
    ASSERT_TRUE(answer(CANCEL));
    EXPECT_EQ(editor.scene.objects.count, 1);
}

TEST_F(FileManagement, SaveWritesToTheSceneFileOrAsksWhere) {
    start();
    add_object();
    // A new scene: the dialog asks; a typed name and Enter write it.
    ASSERT_TRUE(control('S'));
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(dialog_title(), "save scene");
    EXPECT_EQ(dialog()->mode, FILE_DIALOG_SAVE);
    ASSERT_TRUE(type_and_enter("mine.scene"));
    EXPECT_EQ(panel_count(), 0);
    EXPECT_EQ(text(editor.scene.scene_path), "mine.scene");
    EXPECT_FALSE(editor.scene.scene_modified);
    std::string saved = read_file(folder + "/mine.scene");
    EXPECT_EQ(saved, serialized());
    EXPECT_EQ(std::string(platform_window_title()), "tarnisk \xE2\x80\x94 mine.scene");

    // The saved bytes load back into the same scene.
    scene_new();
    ASSERT_EQ(scene_load(S("mine.scene")), SCENE_LOAD_OK);
    EXPECT_EQ(editor.scene.objects.count, 1);
    EXPECT_EQ(serialized(), saved);

    // With a path: written at once, no dialog.
    add_object();
    ASSERT_TRUE(frames());
    EXPECT_EQ(std::string(platform_window_title()), "tarnisk \xE2\x80\x94 mine.scene *");
    ASSERT_TRUE(control('S'));
    EXPECT_EQ(panel_count(), 0);
    EXPECT_EQ(read_file(folder + "/mine.scene"), serialized());
    EXPECT_FALSE(editor.scene.scene_modified);
    EXPECT_EQ(std::string(platform_window_title()), "tarnisk \xE2\x80\x94 mine.scene");

    // Save as: asks even with a path, and the scene moves to the new file.
    ASSERT_TRUE(control('S', true));
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(dialog()->mode, FILE_DIALOG_SAVE);
    ASSERT_TRUE(type_and_enter("copy.scene"));
    EXPECT_EQ(text(editor.scene.scene_path), "copy.scene");
    EXPECT_EQ(read_file(folder + "/copy.scene"), read_file(folder + "/mine.scene"));
}

TEST_F(FileManagement, DialogBrowsesFoldersInByteOrder) {
    fs::create_directories(folder + "/a/b");
    fs::create_directories(folder + "/Zed");
    write_file(folder + "/b.scene", "x");
    write_file(folder + "/B.scene", "x");
    write_file(folder + "/a/inside.scene", "x");
    start();
    ASSERT_TRUE(control('O'));
    FileDialog* d = dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(dialog_title(), "open scene");
    // The root: no "..", upper case before lower case.
    ASSERT_EQ(d->folders.count, 2);
    EXPECT_EQ(text(d->folders.data[0]), "Zed");
    EXPECT_EQ(text(d->folders.data[1]), "a");
    ASSERT_EQ(d->files.count, 2);
    EXPECT_EQ(text(d->files.data[0]), "B.scene");
    EXPECT_EQ(text(d->files.data[1]), "b.scene");

    // A file click fills the name field.
    ASSERT_TRUE(click_row(3));
    EXPECT_EQ(name_field(), "b.scene");

    ASSERT_TRUE(click_row(1));   // "a"
    d = dialog();
    EXPECT_EQ(text(d->directory), "a");
    ASSERT_EQ(d->folders.count, 2);
    EXPECT_EQ(text(d->folders.data[0]), "..");
    EXPECT_EQ(text(d->folders.data[1]), "b");
    ASSERT_EQ(d->files.count, 1);
    ASSERT_TRUE(click_row(1));   // "b"
    EXPECT_EQ(text(dialog()->directory), "a/b");
    ASSERT_TRUE(click_row(0));   // ".."
    EXPECT_EQ(text(dialog()->directory), "a");
    ASSERT_TRUE(click_row(0));
    EXPECT_EQ(text(dialog()->directory), "");
    EXPECT_EQ(dialog()->folders.count, 2);   // no ".." at the root again

    // "cancel" closes and changes nothing.
    ASSERT_TRUE(dialog_button(false));
    EXPECT_EQ(panel_count(), 0);
    EXPECT_EQ(editor.scene.scene_path.length, 0);
}

TEST_F(FileManagement, WheelScrollsTheListSixteenPixelsANotch) {
    for (int i = 0; i < 60; i++) write_file(folder + "/file" + std::to_string(100 + i), "");
    start();
    ASSERT_TRUE(control('O'));
    ASSERT_NE(dialog(), nullptr);
    FileDialogLayout layout = file_dialog_layout(content_of(top_panel()));
    float x = layout.list.x + 40, y = layout.list.y + 40;
    wheel_at(x, y, -1);
    EXPECT_FLOAT_EQ(dialog()->scroll, 16);
    wheel_at(x, y, -2);
    EXPECT_FLOAT_EQ(dialog()->scroll, 48);
    wheel_at(x, y, 1);
    EXPECT_FLOAT_EQ(dialog()->scroll, 32);
    // The rows under the pointer follow the scroll: a click picks the row
    // that is shown there.
    ASSERT_TRUE(click_row(5));
    EXPECT_EQ(name_field(), "file105");
    // Never above the first row, nor past the last.
    wheel_at(x, y, 20);
    EXPECT_FLOAT_EQ(dialog()->scroll, 0);
    wheel_at(x, y, -200);
    EXPECT_FLOAT_EQ(dialog()->scroll, 60 * layout.row_height - layout.list.w);
}

TEST_F(FileManagement, EmptyOrFolderNameIsRefusedAndTheDialogStays) {
    fs::create_directories(folder + "/sub");
    start();
    add_object();
    ASSERT_TRUE(control('S'));
    ASSERT_NE(dialog(), nullptr);
    platform_clear_message_boxes();
    ASSERT_TRUE(dialog_button(true));
    ASSERT_EQ(platform_message_box_count(), 1);
    EXPECT_STREQ(platform_message_box(0)->title, "invalid file name");
    ASSERT_NE(dialog(), nullptr);
    ASSERT_TRUE(type_and_enter("sub"));
    ASSERT_EQ(platform_message_box_count(), 2);
    EXPECT_STREQ(platform_message_box(1)->text, "sub is a folder: type a file name");
    ASSERT_NE(dialog(), nullptr);
    EXPECT_TRUE(fs::is_directory(folder + "/sub"));
    EXPECT_TRUE(fs::is_empty(folder + "/sub"));
    EXPECT_EQ(editor.scene.scene_path.length, 0);
    EXPECT_TRUE(editor.scene.scene_modified);
    EXPECT_TRUE(editor.running);
    // Inside the folder, a name is taken.
    ASSERT_TRUE(click_row(0));
    ASSERT_EQ(text(dialog()->directory), "sub");
    EXPECT_EQ(name_field(), "sub");   // the refused name stays to be mended
    ASSERT_TRUE(control('A'));        // the keyboard is still on the name
    ASSERT_TRUE(type_and_enter("x.scene"));
    EXPECT_EQ(panel_count(), 0);
    EXPECT_EQ(text(editor.scene.scene_path), "sub/x.scene");
    EXPECT_TRUE(fs::is_regular_file(folder + "/sub/x.scene"));
}

TEST_F(FileManagement, ExportWritesTheTextThroughTheDialog) {
    start();
    add_object();
    // Toolbar button 4: after new, open and save.
    ASSERT_TRUE(click(3 * 48 + 24, (float)editor.window_height - 24));
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(dialog_title(), "export data");
    EXPECT_EQ(dialog()->mode, FILE_DIALOG_EXPORT);
    ASSERT_TRUE(type_and_enter("out.txt"));
    EXPECT_EQ(read_file(folder + "/out.txt"), "data(position(0 0 0) rotation(1 0 0 0) scale(1 1 1) spawn(2))\n");
    // Exporting is not saving.
    EXPECT_EQ(editor.scene.scene_path.length, 0);
    EXPECT_TRUE(editor.scene.scene_modified);
}

TEST_F(FileManagement, OpenOverUnsavedWorkAsksFirst) {
    start();
    add_object();
    ASSERT_TRUE(scene_save(S("first.scene")));
    scene_new();
    add_object();
    add_object();
    ASSERT_TRUE(scene_save(S("second.scene")));
    add_object();   // unsaved: three objects, the file has two

    ASSERT_TRUE(control('O'));
    ASSERT_EQ(panel_count(), 1);
    EXPECT_EQ(top_panel()->kind, PANEL_SAVE_PROMPT);
    EXPECT_EQ(panel_content<SavePrompt>(top_panel())->purpose, SAVE_PURPOSE_OPEN);
    ASSERT_TRUE(answer(CANCEL));
    EXPECT_EQ(panel_count(), 0);
    EXPECT_EQ(editor.scene.objects.count, 3);

    // "yes": saved to its file, then the open dialog.
    ASSERT_TRUE(control('O'));
    ASSERT_TRUE(answer(YES));
    EXPECT_EQ(read_file(folder + "/second.scene"), serialized());
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(dialog_title(), "open scene");
    ASSERT_TRUE(type_and_enter("first.scene"));
    EXPECT_EQ(text(editor.scene.scene_path), "first.scene");
    EXPECT_EQ(editor.scene.objects.count, 1);

    // "no": straight to the dialog, the unsaved object is given up only by
    // opening.
    add_object();
    ASSERT_TRUE(control('O'));
    ASSERT_TRUE(answer(NO));
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(editor.scene.objects.count, 2);
    ASSERT_TRUE(type_and_enter("second.scene"));
    EXPECT_EQ(editor.scene.objects.count, 3);

    // A never-saved scene: "yes" asks where, saves, then offers the open dialog.
    scene_new();
    add_object();
    ASSERT_TRUE(control('O'));
    ASSERT_TRUE(answer(YES));
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(dialog()->mode, FILE_DIALOG_SAVE_THEN_OPEN);
    ASSERT_TRUE(type_and_enter("third.scene"));
    EXPECT_TRUE(fs::is_regular_file(folder + "/third.scene"));
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(dialog_title(), "open scene");
}

TEST_F(FileManagement, QuitAnswers) {
    start();
    add_object();
    harness_push_quit();
    ASSERT_TRUE(frames());
    ASSERT_EQ(panel_count(), 1);
    EXPECT_EQ(panel_content<SavePrompt>(top_panel())->purpose, SAVE_PURPOSE_QUIT);
    EXPECT_EQ(text(save_prompt_text()), "do you want to save this scene?\n");
    ASSERT_TRUE(answer(CANCEL));
    EXPECT_TRUE(editor.running);
    EXPECT_EQ(panel_count(), 0);

    // "yes" on a never-saved scene asks where; the program ends once saved.
    harness_push_quit();
    ASSERT_TRUE(frames());
    ASSERT_TRUE(answer(YES));
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(dialog()->mode, FILE_DIALOG_SAVE_THEN_QUIT);
    EXPECT_TRUE(editor.running);
    harness_text("kept.scene");
    ASSERT_TRUE(frames());
    harness_key_down(KEY_ENTER);
    EXPECT_FALSE(frames());
    EXPECT_EQ(read_file(folder + "/kept.scene"), serialized());
}

TEST_F(FileManagement, QuitWithNoEndsWithoutSaving) {
    start();
    add_object();
    harness_push_quit();
    ASSERT_TRUE(frames());
    EXPECT_FALSE(answer(NO));
    EXPECT_FALSE(editor.running);
    EXPECT_TRUE(fs::is_empty(folder));
}

// A folder the program cannot write into (or, for a user who can write
// anywhere, a path through a file).
std::string unwritable_path(const std::string& folder) {
    std::string locked = folder + "/locked";
    fs::create_directories(locked);
    chmod(locked.c_str(), 0555);
    if (access(locked.c_str(), W_OK) != 0) return locked + "/scene.scene";
    write_file(folder + "/plain", "");
    return folder + "/plain/scene.scene";
}

TEST_F(FileManagement, FailedSaveKeepsTheProgramAndTheScene) {
    start();
    std::string path = unwritable_path(folder);
    add_object();
    editor.scene.scene_path = string_copy(string_from_cstring(path.c_str()));
    std::string before = serialized();
    platform_clear_message_boxes();

    harness_push_quit();
    ASSERT_TRUE(frames());
    ASSERT_TRUE(answer(YES));
    EXPECT_TRUE(editor.running);
    ASSERT_GE(platform_message_box_count(), 1);
    EXPECT_STREQ(platform_message_box(0)->title, "save failed");
    EXPECT_EQ(text(editor.scene.scene_path), path);
    EXPECT_TRUE(editor.scene.scene_modified);
    EXPECT_EQ(serialized(), before);

    // The same through the dialog's save-then-new: the scene stays.
    editor.scene.scene_path = String{nullptr, 0};
    ASSERT_TRUE(control('N'));
    ASSERT_TRUE(answer(YES));
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(dialog()->mode, FILE_DIALOG_SAVE_THEN_NEW);
    std::string relative = path.substr(folder.size() + 1);
    ASSERT_TRUE(type_and_enter(relative.c_str()));
    EXPECT_TRUE(editor.running);
    EXPECT_EQ(editor.scene.objects.count, 1);
    EXPECT_TRUE(editor.scene.scene_modified);
    EXPECT_EQ(editor.scene.scene_path.length, 0);
    EXPECT_EQ(platform_message_box_count(), 2);
    // Ctrl+S on a path that fails: no dialog, the box, the flag stays.
    editor.scene.scene_path = string_copy(string_from_cstring(path.c_str()));
    ASSERT_TRUE(control('S'));
    EXPECT_TRUE(editor.scene.scene_modified);
    EXPECT_EQ(platform_message_box_count(), 3);
}

TEST_F(FileManagement, UnchangedSceneWithAFileQuitsWithoutAsking) {
    start();
    add_object();
    ASSERT_TRUE(control('S'));
    ASSERT_TRUE(type_and_enter("done.scene"));
    harness_push_quit();
    EXPECT_FALSE(frames());
}

TEST_F(FileManagement, SceneFromTheCommandLine) {
    start({"samples/sample.scene"});
    EXPECT_EQ(text(editor.scene.scene_path), "samples/sample.scene");
    EXPECT_GT(editor.scene.objects.count, 5);
    EXPECT_FALSE(editor.scene.scene_modified);
    EXPECT_EQ(std::string(platform_window_title()), "tarnisk \xE2\x80\x94 sample.scene");
}

TEST_F(FileManagement, DamagedOrMissingSceneOnTheCommandLineStartsEmpty) {
    std::string damaged = folder + "/damaged.scene";
    write_file(damaged, "not a scene at all");
    start({damaged.c_str()});
    ASSERT_EQ(platform_message_box_count(), 1);
    EXPECT_STREQ(platform_message_box(0)->title, "invalid file");
    EXPECT_EQ(editor.scene.objects.count, 0);
    EXPECT_EQ(editor.scene.scene_path.length, 0);
    EXPECT_EQ(std::string(platform_window_title()), "tarnisk");
    harness_stop();
    started = false;

    std::string missing = folder + "/missing.scene";
    start({missing.c_str()});
    EXPECT_EQ(platform_message_box_count(), 1);
    EXPECT_EQ(editor.scene.objects.count, 0);
    harness_push_quit();
    EXPECT_FALSE(frames());   // empty and never saved: nothing to ask
}

// What scripts/run.sh starts when no scene is named.
TEST_F(FileManagement, SampleStartAsksWhereOnTheFirstSave) {
    std::string sample = read_file(std::string(TARNISK_DATA_DIR) + "/samples/sample.scene");
    start({"-template", "samples/sample.scene"});
    EXPECT_GT(editor.scene.objects.count, 5);
    EXPECT_EQ(editor.scene.scene_path.length, 0);
    EXPECT_FALSE(editor.scene.scene_modified);
    EXPECT_EQ(std::string(platform_window_title()), "tarnisk");
    ASSERT_TRUE(control('S'));
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(dialog_title(), "save scene");
    ASSERT_TRUE(type_and_enter("my.scene"));
    EXPECT_EQ(read_file(folder + "/my.scene"), sample);
    EXPECT_EQ(read_file(std::string(TARNISK_DATA_DIR) + "/samples/sample.scene"), sample);
    EXPECT_EQ(text(editor.scene.scene_path), "my.scene");
}

TEST_F(FileManagement, UntouchedSampleQuitsWithoutAskingAndAChangedOneAsks) {
    // The template is compared where the program runs: in the data folder.
    start({"-template", "samples/sample.scene"}, false);
    add_object();
    harness_push_quit();
    ASSERT_TRUE(frames());
    EXPECT_EQ(panel_count(), 1);
    harness_stop();
    started = false;

    start({"-template", "samples/sample.scene"}, false);
    harness_push_quit();
    EXPECT_FALSE(frames());
}

TEST_F(FileManagement, StatisticsKeyWorksWhileTheNameFieldHasTheKeyboard) {
    start();
    ASSERT_TRUE(control('O'));
    ASSERT_TRUE(dialog()->file_name.focused);
    ASSERT_TRUE(frames());
    ASSERT_FALSE(editor.viewport_keys);
    harness_key_down(KEY_F2);
    ASSERT_TRUE(frames());
    harness_key_up(KEY_F2);
    EXPECT_TRUE(editor.show_stats);
    ASSERT_TRUE(frames());
    harness_key_down(KEY_F2);
    ASSERT_TRUE(frames());
    EXPECT_FALSE(editor.show_stats);
}

// Redraws docs/editor.png for the README: the sample as scripts/run.sh opens
// it, the toolbar, and the open dialog inside the samples folder.
TEST_F(FileManagement, DISABLED_Screenshot) {
    start({"-template", "samples/sample.scene"}, false);
    editor.camera.position = Vec3{0, -11.5f, 7.5f};
    editor.camera.pitch = 56;
    ASSERT_TRUE(control('O'));
    ASSERT_NE(dialog(), nullptr);
    for (int64_t i = 0; i < dialog()->folders.count; i++) {
        if (text(dialog()->folders.data[i]) == "samples") { ASSERT_TRUE(click_row(i)); }
    }
    for (int64_t i = 0; i < dialog()->files.count; i++) {
        if (text(dialog()->files.data[i]) == "sample.scene") { ASSERT_TRUE(click_row(dialog()->folders.count + i)); }
    }
    harness_mouse_move(300, 12);   // over the save button
    ASSERT_TRUE(frames(3));
    std::string path = std::string(TARNISK_DATA_DIR) + "/../docs/editor.png";
    ASSERT_TRUE(harness_save_window_png(path.c_str()));
}

}  // namespace
