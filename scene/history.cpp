// Undo and redo by byte differences of the serialised scene. The tool bytes
// are written as zeros, so switching tools is no step and undo leaves the
// tools as they are. Steps live in malloc'd blocks outside the pools: their
// total is bounded by the budget, not by a pool's fixed capacity.
#include "scene/history.h"

#include <cstdlib>
#include <cstring>

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform.h"
#include "scene/file_dialog.h"
#include "scene/scene.h"

// The tool bytes sit this far before the end of the file: four tool bytes,
// four settings bytes and twelve floats follow their start.
constexpr int64_t TOOL_BYTES_FROM_END = 56;

static HistoryState& state() { return editor.history; }

int64_t history_step_bytes(const HistoryStep* step) {
    return (int64_t)sizeof(HistoryStep) + step->old_length + step->new_length;
}

static uint8_t* step_old(HistoryStep* step) { return reinterpret_cast<uint8_t*>(step + 1); }
static uint8_t* step_new(HistoryStep* step) { return step_old(step) + step->old_length; }

// The scene's bytes without tool state, in the frame pool or, when that is
// too small, in the scratch pool (the caller gives it back).
static String history_bytes() {
    SceneToolBytes tools{};
    String bytes = scene_serialize_state(&editor.scene, tools, POOL_FRAME);
    if (!bytes.data) bytes = scene_serialize_state(&editor.scene, tools, POOL_SCRATCH);
    return bytes;
}

static bool current_set(const uint8_t* bytes, int64_t length) {
    HistoryState& h = state();
    if (length > h.current_capacity) {
        uint8_t* grown = static_cast<uint8_t*>(std::realloc(h.current, (size_t)length));
        if (!grown) return false;
        h.current = grown;
        h.current_capacity = length;
    }
    if (length > 0) std::memmove(h.current, bytes, (size_t)length);
    h.current_length = length;
    return true;
}

static void steps_free(int64_t from, int64_t to) {
    HistoryState& h = state();
    for (int64_t i = from; i < to; i++) {
        h.used -= history_step_bytes(h.steps[i]);
        std::free(h.steps[i]);
        h.steps[i] = nullptr;
    }
}

static void drop_oldest(int64_t count) {
    HistoryState& h = state();
    steps_free(0, count);
    std::memmove(h.steps, h.steps + count, sizeof(HistoryStep*) * (size_t)(h.count - count));
    h.count -= count;
    h.position -= count;
}

void history_release() {
    HistoryState& h = state();
    steps_free(0, h.count);
    std::free(h.steps);
    std::free(h.current);
    std::free(h.spare);
    HistoryState kept = h;
    h = HistoryState{};
    h.budget = kept.budget;
    h.generation = kept.generation;
    h.undone = kept.undone;
    h.redone = kept.redone;
}

void history_clear() {
    history_release();
    HistoryState& h = state();
    h.generation++;
    if (h.budget == 0) h.budget = HISTORY_DEFAULT_BUDGET;
    PoolMark frame_mark = pool_mark(POOL_FRAME);
    PoolMark scratch_mark = pool_mark(POOL_SCRATCH);
    String bytes = history_bytes();
    if (bytes.data) current_set(bytes.data, bytes.length);
    else print(S("undo is off for this scene: not enough memory to record it\n"));
    pool_restore(scratch_mark);
    pool_restore(frame_mark);
    h.modified_last_frame = editor.scene.scene_modified;
}

static bool record(String bytes) {
    HistoryState& h = state();
    int64_t a = h.current_length, b = bytes.length;
    int64_t shorter = a < b ? a : b;
    // Whole blocks by memcmp first: a byte loop over a large scene costs
    // more than serialising it.
    constexpr int64_t BLOCK = 4096;
    int64_t prefix = 0;
    while (prefix + BLOCK <= shorter && std::memcmp(h.current + prefix, bytes.data + prefix, BLOCK) == 0) prefix += BLOCK;
    while (prefix < shorter && h.current[prefix] == bytes.data[prefix]) prefix++;
    if (prefix == shorter && a == b) return false;
    int64_t suffix = 0;
    int64_t most = shorter - prefix;
    while (suffix + BLOCK <= most &&
           std::memcmp(h.current + a - suffix - BLOCK, bytes.data + b - suffix - BLOCK, BLOCK) == 0) {
        suffix += BLOCK;
    }
    while (suffix < most && h.current[a - 1 - suffix] == bytes.data[b - 1 - suffix]) suffix++;

    HistoryStep head{prefix, suffix, a - prefix - suffix, b - prefix - suffix};
    HistoryStep* step = static_cast<HistoryStep*>(std::malloc((size_t)history_step_bytes(&head)));
    if (!step) {
        print(S("undo: not enough memory to record the last change\n"));
        return false;
    }
    *step = head;
    std::memcpy(step_old(step), h.current + prefix, (size_t)head.old_length);
    std::memcpy(step_new(step), bytes.data + prefix, (size_t)head.new_length);
    if (!current_set(bytes.data, bytes.length)) {
        std::free(step);
        print(S("undo: not enough memory to record the last change\n"));
        return false;
    }

    // A new change ends the steps that could have been redone.
    steps_free(h.position, h.count);
    h.count = h.position;
    if (h.count == h.capacity) {
        int64_t capacity = h.capacity ? h.capacity * 2 : 64;
        HistoryStep** grown = static_cast<HistoryStep**>(std::realloc(h.steps, sizeof(HistoryStep*) * (size_t)capacity));
        if (!grown) {
            std::free(step);
            return false;
        }
        h.steps = grown;
        h.capacity = capacity;
    }
    h.steps[h.count++] = step;
    h.position = h.count;
    h.used += history_step_bytes(step);
    int64_t drop = 0;
    int64_t used = h.used;
    while (used > h.budget && drop < h.count) used -= history_step_bytes(h.steps[drop++]);
    if (drop > 0) drop_oldest(drop);
    return true;
}

bool history_check() {
    HistoryState& h = state();
    if (!h.current) return false;
    PoolMark frame_mark = pool_mark(POOL_FRAME);
    PoolMark scratch_mark = pool_mark(POOL_SCRATCH);
    String bytes = history_bytes();
    bool recorded = bytes.data && record(bytes);
    pool_restore(scratch_mark);
    pool_restore(frame_mark);
    return recorded;
}

void history_request_check() { state().check_pending = true; }

// Replaces the scene with `bytes` as an open does, keeping the path, the
// tools and the camera; the modified flag then says whether the scene
// differs from its file.
static bool history_restore(uint8_t* bytes, int64_t length) {
    SceneState& scene = editor.scene;
    uint8_t* tools = bytes + length - TOOL_BYTES_FROM_END;
    tools[0] = scene.placement_mode ? 1 : 0;
    tools[1] = scene.pivot_per_object ? 1 : 0;
    tools[2] = scene.gizmo_mode;
    tools[3] = scene.placement_template.kind;
    String restored{bytes, length};
    SceneLoadResult result = scene_load_bytes(restored, scene.scene_path);
    if (result == SCENE_LOAD_OK) {
        // The restored bytes are what a save would write now: compared with
        // the file directly, without serialising the scene again.
        scene.scene_modified = scene_bytes_unsaved(restored);
    }
    std::memset(tools, 0, 4);
    if (result != SCENE_LOAD_OK) return false;
    state().modified_last_frame = scene.scene_modified;
    return true;
}

// Moves `current` across step `index`: back to its old bytes or forward to its new ones.
static bool history_apply(int64_t index, bool backward) {
    HistoryState& h = state();
    HistoryStep* step = h.steps[index];
    int64_t from_length = backward ? step->new_length : step->old_length;
    int64_t to_length = backward ? step->old_length : step->new_length;
    const uint8_t* to = backward ? step_old(step) : step_new(step);
    int64_t length = step->prefix + to_length + step->suffix;
    if (h.current_length != step->prefix + from_length + step->suffix) return false;
    if (length > h.spare_capacity) {
        std::free(h.spare);
        h.spare = static_cast<uint8_t*>(std::malloc((size_t)length));
        h.spare_capacity = h.spare ? length : 0;
        if (!h.spare) {
            print(S("undo: not enough memory to restore the scene\n"));
            return false;
        }
    }
    uint8_t* bytes = h.spare;
    std::memcpy(bytes, h.current, (size_t)step->prefix);
    std::memcpy(bytes + step->prefix, to, (size_t)to_length);
    std::memcpy(bytes + step->prefix + to_length, h.current + h.current_length - step->suffix, (size_t)step->suffix);
    bool restored = history_restore(bytes, length);
    if (restored) {
        int64_t capacity = h.spare_capacity;
        h.spare = h.current;
        h.spare_capacity = h.current_capacity;
        h.current = bytes;
        h.current_capacity = capacity;
        h.current_length = length;
    }
    return restored;
}

bool history_undo() {
    HistoryState& h = state();
    // A change not yet recorded is the step undo takes back first: a check
    // box's value, for one, reaches the scene a frame after its click, in
    // the frame the key may already come in.
    history_check();
    if (h.position == 0 || !history_apply(h.position - 1, true)) return false;
    h.position--;
    h.undone++;
    return true;
}

bool history_redo() {
    HistoryState& h = state();
    history_check();
    if (h.position >= h.count || !history_apply(h.position, false)) return false;
    h.position++;
    h.redone++;
    return true;
}

static bool mouse_held() {
    return input_mouse_is_held(MOUSE_PRIMARY) || input_mouse_is_held(MOUSE_MIDDLE) ||
           input_mouse_is_held(MOUSE_SECONDARY);
}

void history_keys() {
    if (!editor.viewport_keys || mouse_held() || !input_key_is_held(KEY_CONTROL)) return;
    bool shift = input_key_is_held(KEY_SHIFT);
    if (input_key_is_pressed(key_letter('Z'))) {
        if (shift) history_redo();
        else history_undo();
    } else if (input_key_is_pressed(key_letter('Y'))) {
        history_redo();
    }
}

void history_frame() {
    HistoryState& h = state();
    bool key_held = input_key_is_held(KEY_ANY);
    bool edge = h.busy_last_frame || input_key_is_pressed(KEY_ANY) || input_key_is_typed(KEY_ANY) ||
                (h.key_held_last_frame && !key_held) || input_mouse_wheel() != 0 ||
                input_text_typed().length > 0 || (editor.scene.scene_modified && !h.modified_last_frame);
    for (int32_t button = MOUSE_PRIMARY; button <= MOUSE_SECONDARY; button++) {
        edge = edge || input_mouse_is_pressed(button) || input_mouse_is_released(button);
    }
    h.key_held_last_frame = key_held;
    h.modified_last_frame = editor.scene.scene_modified;
    // Widgets hand their value to the scene at the start of the frame after
    // their input (a check box click, the last character typed), so the
    // frame after an edge is compared as well.
    bool settle = h.settle_next;
    h.settle_next = false;
    // A field that lets go of the keyboard ends its edit, even when the press
    // that took the keyboard away goes on as a drag or into another field.
    const void* focus = editor.text_focus_field;
    bool field_let_go = h.focus_last_frame != nullptr && focus != h.focus_last_frame;
    h.focus_last_frame = focus;
    // A drag or a field being typed in is one step once it lets go.
    bool busy = mouse_held() || editor.text_focus != 0;
    h.busy_last_frame = busy;
    if (busy) {
        if (field_let_go) {
            history_check();
            h.check_pending = true;
            return;
        }
        h.check_pending = h.check_pending || edge || settle;
        return;
    }
    if (!edge && !settle && !h.check_pending) return;
    if (edge) h.settle_next = true;
    h.check_pending = false;
    history_check();
}
