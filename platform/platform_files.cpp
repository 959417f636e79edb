// The parts of the platform that need no window: files through the C
// library, directory listing through std::filesystem, message-box recording,
// and math. SDL2 and OpenGL live in platform_sdl.cpp.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "core/containers.h"
#include "core/format.h"
#include "platform/platform.h"
#include "platform/platform_test_hooks.h"

static std::string path_text(const String* path) {
    if (!path || path->length <= 0 || !path->data) return std::string();
    return std::string(reinterpret_cast<const char*>(path->data), (size_t)path->length);
}

static char file_error_text[256];

static void remember_error(int error_number) {
    std::snprintf(file_error_text, sizeof file_error_text, "%s", std::strerror(error_number));
}

String file_error() { return string_from_cstring(file_error_text); }

FileHandle file_open(const String* path, int32_t mode) {
    std::string name = path_text(path);
    FileHandle handle{nullptr, true};
    if (name.empty()) {
        remember_error(ENOENT);
        return handle;
    }
    if (mode == FILE_READ) {
        std::error_code error;
        if (std::filesystem::is_directory(name, error)) {
            remember_error(EISDIR);
            return handle;
        }
    }
    FILE* file = std::fopen(name.c_str(), mode == FILE_WRITE ? "wb" : "rb");
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
    std::string name = path_text(path);
    if (name.empty()) return false;
    std::error_code error;
    return std::filesystem::is_regular_file(name, error);
}

bool file_rename(const String* from, const String* to) {
    if (std::rename(path_text(from).c_str(), path_text(to).c_str()) != 0) {
        remember_error(errno);
        return false;
    }
    return true;
}

bool file_remove(const String* path) { return std::remove(path_text(path).c_str()) == 0; }

bool directory_get_content(DirectoryContent* out, const String* path, int8_t pool) {
    *out = DirectoryContent{};
    std::string name = path_text(path);
    if (name.empty()) name = ".";
    std::vector<std::string> directories{".", ".."}, files;
    std::error_code error;
    std::filesystem::directory_iterator it(name, error), end;
    if (error) return false;
    for (; it != end; it.increment(error)) {
        if (error) break;
        std::error_code kind_error;
        std::string entry = it->path().filename().string();
        if (it->is_directory(kind_error)) directories.push_back(entry);
        else files.push_back(entry);
    }
    auto to_strings = [pool](const std::vector<std::string>& names, String** list, int64_t* count) {
        *list = pool_alloc_array<String>(pool, (int64_t)names.size());
        if (!*list) return false;
        for (size_t i = 0; i < names.size(); i++) {
            String view{reinterpret_cast<const uint8_t*>(names[i].data()), (int64_t)names[i].size()};
            (*list)[i] = string_copy_to(view, pool);
        }
        *count = (int64_t)names.size();
        return true;
    };
    return to_strings(directories, &out->directories, &out->directory_count) &&
           to_strings(files, &out->files, &out->file_count);
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
    std::string title_text = path_text(title), body = path_text(text);
    print(S("message: "));
    print(*title);
    print(S(": "));
    print(*text);
    print(S("\n"));
    if (headless_message_boxes) {
        RecordedMessageBox box{};
        std::snprintf(box.title, sizeof box.title, "%s", title_text.c_str());
        std::snprintf(box.text, sizeof box.text, "%s", body.c_str());
        recorded_boxes.push_back(box);
        return;
    }
    platform_show_message_box_window(title_text.c_str(), body.c_str());
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
