// Autosave and crash recovery. The recovery file carries the scene's own
// file bytes, so recovering is an open of it; its name holds the scene's
// file name and a hash of the whole path, so two scenes of one name in
// different folders never overwrite each other's recovery.
#include "scene/recovery.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "app/editor.h"
#include "app/panels.h"
#include "core/format.h"
#include "platform/platform.h"
#include "scene/file_dialog.h"
#include "scene/history.h"
#include "scene/scene.h"

static RecoveryState& state() { return editor.recovery; }

static uint64_t bytes_hash(String bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (int64_t i = 0; i < bytes.length; i++) hash = (hash ^ bytes.data[i]) * 1099511628211ull;
    return hash;
}

static String kept(const char* text, int64_t length) { return String{(const uint8_t*)text, length}; }

static bool keep(char* buffer, int64_t* length, String text) {
    if (text.length >= 4096) return false;
    if (text.length > 0) std::memcpy(buffer, text.data, (size_t)text.length);
    *length = text.length > 0 ? text.length : 0;
    return true;
}

String recovery_path_for(String scene_path, int8_t pool) {
    String folder = state_directory(pool);
    if (folder.length == 0) return String{nullptr, 0};
    StringBuilder builder = builder_init(pool);
    builder_put_string(&builder, folder);
    builder_put_char(&builder, '/');
    if (scene_path.length == 0) {
        builder_put_string(&builder, S("untitled"));
    } else {
        int64_t start = 0;
        for (int64_t i = 0; i < scene_path.length; i++) {
            if (scene_path.data[i] == '/') start = i + 1;
        }
        builder_put_string(&builder, String{scene_path.data + start, scene_path.length - start});
        format_to_builder(&builder, S(".%."), {fmt_uint(bytes_hash(scene_path), NumberFormat{16, 16, 0, 1, '0'})});
    }
    builder_put_string(&builder, S(".recovery"));
    return builder_failed(&builder) ? String{nullptr, 0} : builder_to_string(&builder);
}

static void worker_collect();

static void discard_written() {
    worker_collect();
    RecoveryState& r = state();
    if (r.written_length == 0) return;
    String path = kept(r.written, r.written_length);
    file_remove(&path);
    r.written_length = 0;
    r.written_kept = false;
}

void recovery_startup() {
    RecoveryState& r = state();
    r.question_key = -1;
    // Offered even with autosave off: the file may come from an earlier run.
    String scene_path = editor.scene.scene_path;
    String path = recovery_path_for(scene_path, POOL_FRAME);
    if (path.length == 0 || !file_exists(&path)) return;
    int64_t recovered = file_modified_time(&path);
    int64_t saved = scene_path.length > 0 ? file_modified_time(&scene_path) : -1;
    // A recovery older than the scene's file predates a later save.
    if (saved >= 0 && recovered <= saved) return;
    if (!keep(r.offered, &r.offered_length, path) || !keep(r.offered_scene, &r.offered_scene_length, scene_path)) return;
    int64_t index = save_prompt_open(SAVE_PURPOSE_RECOVER);
    if (index >= 0) r.question_key = editor.panels.list.data[index].key;
}

String recovery_question_text() {
    RecoveryState& r = state();
    String name = r.offered_scene_length > 0 ? kept(r.offered_scene, r.offered_scene_length) : S("untitled");
    StringBuilder builder = builder_init(POOL_FRAME);
    format_to_builder(&builder, S("recover unsaved changes of %.?"), {fmt_string(name)});
    return builder_to_string(&builder);
}

void recovery_answer(bool yes) {
    RecoveryState& r = state();
    r.question_key = -1;
    String path = kept(r.offered, r.offered_length);
    if (!yes) {
        file_remove(&path);
        return;
    }
    // A damaged file is refused by the open with its message and stays on
    // disk for the user.
    if (scene_load(path) != SCENE_LOAD_OK) return;
    SceneState& scene = editor.scene;
    scene.scene_path = r.offered_scene_length > 0 ? string_copy(kept(r.offered_scene, r.offered_scene_length))
                                                  : String{nullptr, 0};
    scene.scene_modified = true;
    history_clear();
    // The recovered bytes are now the scene's; the next write replaces the file.
    keep(r.written, &r.written_length, path);
}

// The write itself (flush to storage included) runs on a worker thread: on
// a large scene it takes many frames' time. The frame only serialises and
// copies the bytes here. One write at a time; a due write waits for the
// previous one.
struct AutosaveWorker {
    std::thread thread;
    std::atomic<bool> running;
    uint8_t* bytes;
    int64_t length;
    int64_t capacity;
    char path[4096];
    bool written;
    char reason[256];
};
static AutosaveWorker worker;

static void worker_run() {
    worker.written = file_replace_from_any_thread(worker.path, worker.bytes, worker.length, worker.reason,
                                                  (int64_t)sizeof worker.reason);
    worker.running.store(false, std::memory_order_release);
}

// Takes the finished write's result: the file it made is the run's recovery file.
static void worker_collect() {
    if (!worker.thread.joinable()) return;
    worker.thread.join();
    RecoveryState& r = state();
    String path = string_from_cstring(worker.path);
    if (worker.written) {
        // A save under a new name leaves the old recovery file behind.
        if (!string_equal(path, kept(r.written, r.written_length))) discard_written();
        keep(r.written, &r.written_length, path);
        r.written_kept = true;
        r.failure_reported = false;
    } else if (!r.failure_reported) {
        format_print(S("autosave failed: %.: %.\n"), {fmt_string(path), fmt_string(string_from_cstring(worker.reason))});
        r.failure_reported = true;
    }
}

bool recovery_wait() {
    bool had_write = worker.thread.joinable();
    worker_collect();
    return had_write && worker.written;
}

void recovery_release() {
    worker_collect();
    std::free(worker.bytes);
    worker.bytes = nullptr;
    worker.capacity = 0;
}

static void report_failure(String path, String reason) {
    RecoveryState& r = state();
    if (r.failure_reported) return;
    format_print(S("autosave failed: %.: %.\n"), {fmt_string(path), fmt_string(reason)});
    r.failure_reported = true;
}

bool recovery_write() {
    RecoveryState& r = state();
    if (worker.running.load(std::memory_order_acquire)) return false;
    worker_collect();
    PoolMark frame_mark = pool_mark(POOL_FRAME);
    PoolMark scratch_mark = pool_mark(POOL_SCRATCH);
    String path = recovery_path_for(editor.scene.scene_path, POOL_FRAME);
    String bytes = scene_serialize();
    if (!bytes.data) bytes = scene_serialize_state(&editor.scene, scene_tool_bytes(&editor.scene), POOL_SCRATCH);
    bool started = false;
    String folder = state_directory(POOL_FRAME);
    if (path.length == 0 || path.length >= (int64_t)sizeof worker.path) {
        report_failure(path, S("no usable state folder (HOME is not set)"));
    } else if (!bytes.data) {
        report_failure(path, S("not enough memory to build the scene file"));
    } else if (r.written_kept && string_equal(path, kept(r.written, r.written_length)) &&
               bytes.length == worker.length && std::memcmp(bytes.data, worker.bytes, (size_t)bytes.length) == 0) {
        started = true;   // that file already holds these bytes (the writer's buffer keeps them)
    } else if (!directory_create(&folder)) {
        report_failure(path, file_error());
    } else {
        if (bytes.length > worker.capacity) {
            std::free(worker.bytes);
            worker.bytes = static_cast<uint8_t*>(std::malloc((size_t)bytes.length));
            worker.capacity = worker.bytes ? bytes.length : 0;
        }
        if (!worker.bytes) {
            report_failure(path, S("not enough memory to build the scene file"));
        } else {
            std::memcpy(worker.bytes, bytes.data, (size_t)bytes.length);
            worker.length = bytes.length;
            std::memcpy(worker.path, path.data, (size_t)path.length);
            worker.path[path.length] = 0;
            worker.running.store(true, std::memory_order_release);
            worker.thread = std::thread(worker_run);
            started = true;
        }
    }
    pool_restore(scratch_mark);
    pool_restore(frame_mark);
    return started;
}

static bool question_open() {
    RecoveryState& r = state();
    if (r.question_key >= 0 && panel_find(r.question_key) < 0) r.question_key = -1;
    return r.question_key >= 0;
}

void recovery_frame() {
    RecoveryState& r = state();
    if (!worker.running.load(std::memory_order_acquire)) worker_collect();
    // A quit that went ahead, and a scene equal to its file, need no recovery.
    if (!editor.running || !editor.scene.scene_modified) {
        discard_written();
        r.due = 0;
        return;
    }
    // The offered file must not be overwritten before the user answered.
    if (r.interval == 0 || question_open()) return;
    int64_t now = system_performance_counter();
    int64_t frequency = editor.counter_frequency > 0 ? editor.counter_frequency : system_performance_frequency();
    if (r.due == 0) {
        r.due = now + r.interval * frequency;
        return;
    }
    if (now < r.due) return;
    recovery_write();
    r.due = now + r.interval * frequency;
}
