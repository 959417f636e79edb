// Scene file management: a new scene, saving to the scene's own file or
// asking where, and the small file dialog that browses the working directory
// to open, save or export. The dialog is a floating panel; its content is the
// FileDialog record below. Relies on the scene file and export, the panels
// (app/panels), the widgets and text field (ui/) and the platform's folders.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "math/math.h"
#include "ui/text_field.h"
#include "ui/widgets.h"

// What "ok" does.
enum : uint8_t {
    FILE_DIALOG_OPEN = 0,
    FILE_DIALOG_SAVE = 1,
    FILE_DIALOG_SAVE_THEN_QUIT = 2,
    FILE_DIALOG_SAVE_THEN_NEW = 3,
    FILE_DIALOG_EXPORT = 4,
    FILE_DIALOG_SAVE_THEN_OPEN = 5,   // open over unsaved work: save, then choose the file to open
};

// Why the save question was asked: what follows a "yes" that saved, or a "no".
enum : uint8_t {
    SAVE_PURPOSE_NEW = 0,
    SAVE_PURPOSE_QUIT = 1,
    SAVE_PURPOSE_OPEN = 2,
    SAVE_PURPOSE_RECOVER = 3,   // not a save: the recovery question at start-up (yes / no)
};

// Content of a file dialog panel. Names and the current directory live in
// the dialog's own byte buffers (reused from one listing to the next), so
// browsing does not keep taking memory.
struct FileDialog {
    bool close_request;            // first byte: the panels remove the dialog
    uint8_t mode;                  // FILE_DIALOG_*
    String directory;              // relative to the working directory; empty at the root
    Array<String> folders;         // ".." first below the root, then sorted by bytes
    Array<String> files;           // sorted by bytes
    Array<uint8_t> name_bytes;     // what `folders` and `files` view
    Array<uint8_t> directory_bytes;// what `directory` views
    float scroll;                  // pixels the list is moved up by
    TextField file_name;           // single line; Enter acts as "ok"
    ButtonState ok, cancel;
};

// Empties the objects and rows, clears the path and the modified flag. The
// settings and the id counter stay (ids are never reused within a run).
void scene_new();

// Opens a dialog panel (title such as "open scene") listing the root.
// Returns the panel's index, -1 when it could not be made.
int64_t file_dialog_open(String title, uint8_t mode);
// Lists `directory` (empty: the root) into the dialog, sorted, scroll at 0.
// A folder that cannot be read lists nothing (but ".." below the root).
void file_dialog_list(FileDialog* dialog, String directory);
// One frame of the dialog inside `rect` (the panel's content area).
void file_dialog_update(FileDialog* dialog, Vec4 rect);
// The path "ok" acts on: the current directory, "/", and the name (without a
// trailing line break), in the frame pool.
String file_dialog_path(const FileDialog* dialog);
// Where the list, the name field and the buttons sit inside `rect`.
struct FileDialogLayout {
    Vec4 list, field, ok, cancel;
    float row_height;
};
FileDialogLayout file_dialog_layout(Vec4 rect);

// With a path: saves to it and returns whether that worked. Without one:
// opens the "save scene" dialog whose "ok" also carries out `purpose` when
// asked from the save question (plain save otherwise) and returns false.
bool scene_save_or_ask(bool from_prompt, uint8_t purpose);
// Compares what would be saved with the scene's file (or the template a
// never-saved scene started from), sets scene_modified to the result and
// returns it: an edit undone by hand is no unsaved change.
bool scene_has_unsaved_changes();
// Whether `bytes` (what a save would write now) differ from that file; with
// no file to compare, whether the scene has objects.
bool scene_bytes_unsaved(String bytes);
// What a "no", or a "yes" that saved, goes on to do.
void save_purpose_carry_out(uint8_t purpose);
