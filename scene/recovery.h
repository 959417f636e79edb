// Autosave and crash recovery: while the scene is modified its bytes are
// written at an interval to a recovery file in the user's state folder; a
// recovery file newer than its scene is offered back at start-up. Relies on
// the scene file (serialise, atomic write, load), the save question panel
// and the platform's files and clock.
#pragma once

#include <cstdint>

#include "core/containers.h"

constexpr int64_t RECOVERY_DEFAULT_INTERVAL = 30;   // seconds

struct RecoveryState {
    int64_t interval;            // seconds between writes; 0: off ("-autosave N")
    int64_t due;                 // counter value of the next write; 0 while nothing waits
    bool written_kept;           // the writer's buffer holds what `written` holds
    // The recovery file this run wrote last (removed once it is not needed).
    char written[4096];
    int64_t written_length;
    // The file the recovery question is about, and the scene path it belongs to.
    char offered[4096];
    int64_t offered_length;
    char offered_scene[4096];
    int64_t offered_scene_length;
    int64_t question_key;        // panel key of the open question; -1 none
    bool failure_reported;       // one console line per run of failed writes
};

// Where the recovery file of the scene at `scene_path` (empty: "untitled")
// lives; empty when the user has no state folder.
String recovery_path_for(String scene_path, int8_t pool);
// Start-up, after the scene from the command line was opened: asks the
// recovery question when a recovery file newer than the scene exists.
void recovery_startup();
// The per-frame hook: writes the recovery file when due, removes it once the
// scene is saved, new, undone to its file or the program quits.
void recovery_frame();
// Serialises the scene now and hands the bytes to the writer thread (the
// frame hook when due). False when nothing was started: a write still under
// way, or a failure (reported once on the console).
bool recovery_write();
// Waits for the write under way; true when there was one and it succeeded.
bool recovery_wait();
// Waits for the writer and frees its buffer (shutdown).
void recovery_release();
// The recovery question's text: "recover unsaved changes of NAME?".
String recovery_question_text();
// The answer: "yes" loads the recovered scene under the original path, marked
// modified; "no" deletes the recovery file.
void recovery_answer(bool yes);
