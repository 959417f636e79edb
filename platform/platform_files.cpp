// The parts of the platform that need no window: files through the C
// library, directory listing through std::filesystem, threads through
// pthreads, message-box recording, and math. SDL2 and OpenGL live in platform_sdl.cpp.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <new>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/containers.h"
#include "core/format.h"
#include "platform/platform.h"
#include "platform/platform_test_hooks.h"

// Paths reach the C library zero-terminated; a path longer than the buffer
// is refused rather than cut.
struct PathText { char text[4096]; bool ok; };

static PathText path_text(const String* path) {
    PathText result{};
    if (!path || path->length <= 0 || !path->data || path->length >= (int64_t)sizeof result.text) return result;
    std::memcpy(result.text, path->data, (size_t)path->length);
    result.text[path->length] = 0;
    result.ok = true;
    return result;
}

static char file_error_text[256];

static void remember_error(int error_number) {
    std::snprintf(file_error_text, sizeof file_error_text, "%s", std::strerror(error_number));
}

String file_error() { return string_from_cstring(file_error_text); }

FileHandle file_open(const String* path, int32_t mode) {
    PathText name = path_text(path);
    FileHandle handle{nullptr, true};
    if (!name.ok) {
        remember_error(path && path->length > 0 ? ENAMETOOLONG : ENOENT);
        return handle;
    }
    if (mode == FILE_READ) {
        std::error_code error;
        if (std::filesystem::is_directory(name.text, error)) {
            remember_error(EISDIR);
            return handle;
        }
    }
    FILE* file = std::fopen(name.text, mode == FILE_WRITE ? "wb" : "rb");
    if (!file) {
        remember_error(errno);
        return handle;
    }
    handle.file = file;
    handle.failed = false;
    return handle;
}

bool file_failed(FileHandle handle) { return handle.failed || !handle.file; }

int64_t file_size(FileHandle handle) {
    if (file_failed(handle)) return 0;
    FILE* file = static_cast<FILE*>(handle.file);
    long at = std::ftell(file);
    if (std::fseek(file, 0, SEEK_END) != 0) return 0;
    long size = std::ftell(file);
    std::fseek(file, at, SEEK_SET);
    return size < 0 ? 0 : (int64_t)size;
}

int64_t file_read(FileHandle handle, int64_t size, void* buffer) {
    if (file_failed(handle) || size <= 0) return 0;
    size_t got = std::fread(buffer, 1, (size_t)size, static_cast<FILE*>(handle.file));
    if (got != (size_t)size && std::ferror(static_cast<FILE*>(handle.file))) remember_error(errno);
    return (int64_t)got;
}

bool file_seek(FileHandle handle, int64_t offset) {
    if (file_failed(handle) || offset < 0) return false;
    if (fseeko(static_cast<FILE*>(handle.file), (off_t)offset, SEEK_SET) == 0) return true;
    remember_error(errno);
    return false;
}

bool thread_start(ThreadHandle* thread, void (*run)(void*), void* data) {
    struct Start {
        void (*run)(void*);
        void* data;
        static void* enter(void* start) {
            Start* s = static_cast<Start*>(start);
            s->run(s->data);
            delete s;
            return nullptr;
        }
    };
    *thread = ThreadHandle{};
    Start* start = new (std::nothrow) Start{run, data};
    if (!start) return false;
    pthread_t id;
    if (pthread_create(&id, nullptr, &Start::enter, start) != 0) {
        delete start;
        return false;
    }
    static_assert(sizeof(pthread_t) <= sizeof(uint64_t));
    thread->id = (uint64_t)id;
    thread->started = true;
    return true;
}

int32_t processors_spare() {
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    if (online <= 1) return 0;
    // The fourth field of /proc/loadavg is "runnable/total"; the runnable
    // count includes the caller.
    int running = 0;
    if (FILE* load = std::fopen("/proc/loadavg", "r")) {
        double a, b, c;
        if (std::fscanf(load, "%lf %lf %lf %d/", &a, &b, &c, &running) != 4) running = 0;
        std::fclose(load);
    }
    if (running <= 0) return (int32_t)online - 1;
    return online > running ? (int32_t)(online - running) : 0;
}

void thread_join(ThreadHandle* thread) {
    if (!thread->started) return;
    pthread_join((pthread_t)thread->id, nullptr);
    thread->started = false;
}

int64_t file_write(FileHandle handle, int64_t size, const void* data) {
    if (file_failed(handle) || size <= 0) return 0;
    size_t put = std::fwrite(data, 1, (size_t)size, static_cast<FILE*>(handle.file));
    if (put != (size_t)size) remember_error(errno ? errno : EIO);
    return (int64_t)put;
}

bool file_flush(FileHandle handle) {
    if (file_failed(handle)) return false;
    FILE* file = static_cast<FILE*>(handle.file);
    if (std::fflush(file) != 0) {
        remember_error(errno);
        return false;
    }
    if (fsync(fileno(file)) != 0) {
        remember_error(errno);
        return false;
    }
    return true;
}

bool file_close(FileHandle handle) {
    if (!handle.file) return false;
    if (std::fclose(static_cast<FILE*>(handle.file)) != 0) {
        remember_error(errno);
        return false;
    }
    return true;
}

bool file_exists(const String* path) {
    PathText name = path_text(path);
    if (!name.ok) return false;
    std::error_code error;
    return std::filesystem::is_regular_file(name.text, error);
}

bool directory_exists(const String* path) {
    if (!path || path->length == 0) return true;
    PathText name = path_text(path);
    if (!name.ok) return false;
    std::error_code error;
    return std::filesystem::is_directory(name.text, error);
}

bool file_rename(const String* from, const String* to) {
    PathText from_text = path_text(from), to_text = path_text(to);
    if (!from_text.ok || !to_text.ok) {
        remember_error(ENAMETOOLONG);
        return false;
    }
    if (std::rename(from_text.text, to_text.text) != 0) {
        remember_error(errno);
        return false;
    }
    return true;
}

bool file_remove(const String* path) {
    PathText name = path_text(path);
    return name.ok && std::remove(name.text) == 0;
}

bool file_replace_from_any_thread(const char* path, const uint8_t* bytes, int64_t length, char* reason,
                                  int64_t capacity) {
    char temporary[4200];
    std::snprintf(temporary, sizeof temporary, "%s.saving-XXXXXX", path);
    int descriptor = mkstemp(temporary);
    int failure = descriptor < 0 ? errno : 0;
    if (descriptor >= 0) {
        int64_t done = 0;
        while (done < length && failure == 0) {
            ssize_t wrote = write(descriptor, bytes + done, (size_t)(length - done));
            if (wrote < 0 && errno != EINTR) failure = errno;
            if (wrote > 0) done += wrote;
        }
        if (failure == 0 && fsync(descriptor) != 0) failure = errno;
        if (close(descriptor) != 0 && failure == 0) failure = errno;
        if (failure == 0 && std::rename(temporary, path) != 0) failure = errno;
        if (failure != 0) unlink(temporary);
    }
    if (failure != 0 && reason && capacity > 0) {
        char text[256];
        // The GNU strerror_r may return its own static text instead of filling the buffer.
        const char* message = strerror_r(failure, text, sizeof text);
        std::snprintf(reason, (size_t)capacity, "%s", message);
    }
    return failure == 0;
}

bool directory_create(const String* path) {
    PathText name = path_text(path);
    if (!name.ok) return false;
    std::error_code error;
    std::filesystem::create_directories(name.text, error);
    if (error) remember_error(error.value());
    return std::filesystem::is_directory(name.text, error);
}

int64_t file_modified_time(const String* path) {
    PathText name = path_text(path);
    struct stat info;
    if (!name.ok || stat(name.text, &info) != 0) return -1;
    return (int64_t)info.st_mtim.tv_sec * 1000000000 + (int64_t)info.st_mtim.tv_nsec;
}

String state_directory(int8_t pool) {
    // An empty or relative value is to be ignored, as if it were unset.
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* tail = "/tarnisk";
    if (!state || state[0] != '/') {
        state = std::getenv("HOME");
        tail = "/.local/state/tarnisk";
    }
    if (!state || state[0] == 0) return String{nullptr, 0};
    return string_concat(string_from_cstring(state), string_from_cstring(tail), pool);
}

bool file_link_target(const String* path, String* target, int8_t pool) {
    *target = String{nullptr, 0};
    PathText name = path_text(path);
    if (!name.ok) {
        remember_error(path && path->length > 0 ? ENAMETOOLONG : ENOENT);
        return false;
    }
    namespace fs = std::filesystem;
    fs::path at(name.text);
    // The kernel's own limit on links followed in one lookup.
    for (int hops = 0; hops <= 40; hops++) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(at, error))) {
            if (hops == 0) {
                *target = *path;
                return true;
            }
            *target = string_copy_to(string_from_cstring(at.c_str()), pool);
            if (!target->data) remember_error(ENOMEM);
            return target->data != nullptr;
        }
        fs::path next = fs::read_symlink(at, error);
        if (error) {
            remember_error(error.value());
            return false;
        }
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    remember_error(ELOOP);
    return false;
}

FileHandle file_create_beside(const String* path, String* name, int8_t pool) {
    FileHandle handle{nullptr, true};
    *name = String{nullptr, 0};
    PathText target = path_text(path);
    if (!target.ok) {
        remember_error(path && path->length > 0 ? ENAMETOOLONG : ENOENT);
        return handle;
    }
    struct stat existing{};
    bool keep_mode = stat(target.text, &existing) == 0 && S_ISREG(existing.st_mode);
    // O_EXCL never opens a file that is already there, so a file of the user's
    // that happens to carry the name is left alone and another name is tried.
    static uint64_t sequence;
    char text[sizeof target.text + 32];
    for (int attempt = 0; attempt < 100; attempt++) {
        timespec now{};
        timespec_get(&now, TIME_UTC);
        uint64_t mix = ((uint64_t)getpid() << 32) ^ (uint64_t)now.tv_nsec ^ (++sequence * 0x9E3779B97F4A7C15ull);
        mix ^= mix >> 29;
        std::snprintf(text, sizeof text, "%s.saving-%08x", target.text, (unsigned)(mix & 0xFFFFFFFFu));
        if (std::strlen(text) >= sizeof target.text) {
            remember_error(ENAMETOOLONG);
            return handle;
        }
        int descriptor = open(text, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0) {
            if (errno == EEXIST) continue;
            remember_error(errno);
            return handle;
        }
        if (keep_mode) {
            // Owner first: a change of owner clears the set-id bits the mode restores.
            // Either may be refused (another user's file, a file system
            // without modes); the save goes on with what the new file has.
            if (existing.st_uid != geteuid() || existing.st_gid != getegid()) {
                if (fchown(descriptor, existing.st_uid, existing.st_gid) != 0) errno = 0;
            }
            if (fchmod(descriptor, existing.st_mode & 07777) != 0) errno = 0;
        }
        FILE* file = fdopen(descriptor, "wb");
        if (file) *name = string_copy_to(string_from_cstring(text), pool);
        if (!file || !name->data) {
            remember_error(file ? ENOMEM : errno);
            if (file) std::fclose(file);
            else close(descriptor);
            unlink(text);
            *name = String{nullptr, 0};
            return handle;
        }
        handle.file = file;
        handle.failed = false;
        return handle;
    }
    remember_error(EEXIST);
    return handle;
}

bool directory_get_content(DirectoryContent* out, const String* path, int8_t pool) {
    *out = DirectoryContent{};
    PathText name = path_text(path);
    if (!name.ok) {
        if (path && path->length > 0) return false;
        std::strcpy(name.text, ".");  // the empty path is the working directory
    }
    Array<String> directories = array_make<String>(pool), files = array_make<String>(pool);
    array_push(&directories, string_copy_to(S("."), pool));
    array_push(&directories, string_copy_to(S(".."), pool));
    std::error_code error;
    std::filesystem::directory_iterator it(name.text, error), end;
    if (error) return false;
    for (; it != end; it.increment(error)) {
        if (error) break;
        std::error_code kind_error;
        // The name's text lives in the path object: keep that object alive
        // until the copy is made (a temporary's text is gone after the line).
        std::filesystem::path entry = it->path().filename();
        String copy = string_copy_to(string_from_cstring(entry.c_str()), pool);
        if (it->is_directory(kind_error)) array_push(&directories, copy);
        else array_push(&files, copy);
    }
    out->directories = directories.data;
    out->directory_count = directories.count;
    out->files = files.data;
    out->file_count = files.count;
    return true;
}

// ---------------------------------------------------------------------------
// Message boxes. The window backend shows them; here they are recorded when
// headless (tests), and always printed.
static bool headless_message_boxes;
static std::vector<RecordedMessageBox> recorded_boxes;

void platform_set_headless_message_boxes(bool on) { headless_message_boxes = on; }
int64_t platform_message_box_count() { return (int64_t)recorded_boxes.size(); }
const RecordedMessageBox* platform_message_box(int64_t index) {
    if (index < 0 || index >= (int64_t)recorded_boxes.size()) return nullptr;
    return &recorded_boxes[(size_t)index];
}
void platform_clear_message_boxes() { recorded_boxes.clear(); }

void platform_show_message_box_window(const char* title, const char* text);  // platform_sdl.cpp

void show_simple_message_box(int32_t flags, const String* title, const String* text) {
    (void)flags;
    print(S("message: "));
    print(*title);
    print(S(": "));
    print(*text);
    print(S("\n"));
    if (headless_message_boxes) {
        RecordedMessageBox box{};
        std::snprintf(box.title, sizeof box.title, "%.*s", (int)title->length, reinterpret_cast<const char*>(title->data));
        std::snprintf(box.text, sizeof box.text, "%.*s", (int)text->length, reinterpret_cast<const char*>(text->data));
        recorded_boxes.push_back(box);
        return;
    }
    const char* title_text = string_to_cstring(*title, POOL_FRAME);
    const char* body = string_to_cstring(*text, POOL_FRAME);
    platform_show_message_box_window(title_text, body);
}

// ---------------------------------------------------------------------------
double math_sin(double x) { return std::sin(x); }
double math_cos(double x) { return std::cos(x); }
double math_acos(double x) { return std::acos(x); }
double math_sqrt(double x) { return std::sqrt(x); }
double math_pow(double x, double y) { return std::pow(x, y); }
double math_floor(double x) { return std::floor(x); }
double math_mod(double x, double y) { return std::fmod(x, y); }
double math_abs(double x) { return std::fabs(x); }
