// Undo and redo: the scene's bytes (objects, rows with their selection,
// settings) recorded after each completed user action, kept as differences
// against the newest state so a step costs what changed, not the scene.
// Relies on the scene file (serialise, load), file management (the
// unsaved-changes check) and the platform's input.
#pragma once

#include <cstdint>

#include "core/containers.h"

constexpr int64_t HISTORY_DEFAULT_BUDGET = 268435456;   // 256 MiB

// One recorded change: the bytes between a common prefix and a common
// suffix, before (`old_length`) and after (`new_length`), stored one after
// the other behind the record.
struct HistoryStep {
    int64_t prefix;
    int64_t suffix;
    int64_t old_length;
    int64_t new_length;
};

struct HistoryState {
    int64_t budget;              // bytes the steps may take; the oldest go first
    int64_t used;                // bytes the steps take now
    uint8_t* current;            // the scene's bytes at `position` (malloc)
    int64_t current_length;
    int64_t current_capacity;
    uint8_t* spare;              // the restore is built here, then swapped with `current`:
    int64_t spare_capacity;      // fresh pages per undo would cost more than the open
    HistoryStep** steps;         // oldest first (malloc)
    int64_t count;
    int64_t capacity;
    int64_t position;            // steps below it are done, the rest can be redone
    bool check_pending;          // something may have changed while a button or field was busy
    bool settle_next;            // compare once more next frame: widgets hand values over a frame late
    const void* focus_last_frame;   // the field that had the keyboard last frame (compared only)
    int64_t generation;          // how many times the history was cleared
    int64_t undone, redone;      // steps taken back and forward so far
    bool busy_last_frame;
    bool key_held_last_frame;
    bool modified_last_frame;
};

// Forgets every step and takes the scene as it is now as the start state.
// Opening a file, a new scene and a recovered scene call it.
void history_clear();
// Frees everything the history holds (shutdown).
void history_release();
// The per-frame hook, after the interface acted: records a step when the
// frame may have changed the scene and nothing is still under way (a mouse
// button held, a text field with the keyboard).
void history_frame();
// Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y; nothing while a text field had the
// keyboard last frame or a mouse button is held.
void history_keys();
// Compares the scene with the newest recorded state and records a step when
// they differ; true when a step was recorded.
bool history_check();
// One step back or forward; false when there is none (or it could not be
// restored, which has been shown).
bool history_undo();
bool history_redo();
// Makes the next history_frame compare (edits made outside user input).
void history_request_check();
// Bytes a step takes in memory, record included.
int64_t history_step_bytes(const HistoryStep* step);
