// The machine behind the editor: window, input, GPU pipeline, images, files,
// clipboard, time, math and message boxes, as plain free functions.
// One backend (platform_sdl.cpp: SDL2 + OpenGL 3.3 core through libepoxy +
// stb_image) is chosen by the build. Numeric codes below are the editor's own;
// the backend maps each through one table (see docs/architecture.md).
#pragma once

#include <cstdint>

#include "core/types.h"

// ---------------------------------------------------------------------------
// Life and time
void system_init(uint32_t flags);             // flags: 63 = everything
void system_release();
int64_t system_performance_counter();
int64_t system_performance_frequency();
void system_sleep(int64_t milliseconds);      // <= 0 does not sleep

// ---------------------------------------------------------------------------
// Display. mode bits: 0x04 resizable, 0x10 windowed, 0x20 fullscreen,
// 0x40 swap without waiting for the display (no vsync).
bool display_open(int32_t width, int32_t height, const String* title, uint8_t mode, int32_t swap_interval_hint);
String display_error();                       // reason of the last failed display_open
void display_get_info(int32_t* width, int32_t* height, int32_t* refresh_rate);
void display_set_icon(int32_t width, int32_t height, const uint8_t* rgba_pixels);
void display_set_title(const String* title);  // UTF-8; cut at 255 bytes
bool display_is_closed();                     // once per close request
bool display_is_resized(int32_t* width, int32_t* height);
void display_close();

// ---------------------------------------------------------------------------
// Input, valid after input_poll (first in each frame).
// Keys: 1 any key, A..Z 2..27, 0..9 28..37, arrows 38 left 39 right 40 up
// 41 down, 42 Space, 43 Enter, 44 Backspace, 45 Tab, 46 Escape, 47 Control,
// 48 Shift, 49 Alt, 71 Insert, 74 Page Up, 75 Page Down, 76 Home, 77 End,
// 79 Delete, 84 keypad 0, 85..93 keypad 1..9, 94 keypad period, 95 keypad
// Enter (the text field's table fixes these), 97 F1 .. 98 F2 .. 108 F12.
// Control, Shift and Alt stand for either side. Mouse buttons: 2 primary,
// 4 secondary, 3 middle.
enum : int32_t {
    KEY_ANY = 1,
    KEY_A = 2, KEY_Z = 27,
    KEY_0 = 28, KEY_9 = 37,
    KEY_LEFT = 38, KEY_RIGHT = 39, KEY_UP = 40, KEY_DOWN = 41,
    KEY_SPACE = 42, KEY_ENTER = 43, KEY_BACKSPACE = 44, KEY_TAB = 45,
    KEY_ESCAPE = 46, KEY_CONTROL = 47, KEY_SHIFT = 48, KEY_ALT = 49,
    KEY_INSERT = 71, KEY_PAGE_UP = 74, KEY_PAGE_DOWN = 75, KEY_HOME = 76,
    KEY_END = 77, KEY_DELETE = 79,
    KEY_KEYPAD_0 = 84, KEY_KEYPAD_1 = 85, KEY_KEYPAD_9 = 93, KEY_KEYPAD_PERIOD = 94, KEY_KEYPAD_ENTER = 95,
    KEY_F1 = 97, KEY_F2 = 98, KEY_F12 = 108,
    KEY_COUNT = 128,
};
enum : int32_t { MOUSE_PRIMARY = 2, MOUSE_MIDDLE = 3, MOUSE_SECONDARY = 4 };
enum : uint32_t { MODIFIER_SHIFT = 1u << 0, MODIFIER_CONTROL = 1u << 1, MODIFIER_ALT = 1u << 2, MODIFIER_NUM_LOCK = 1u << 5 };

inline int32_t key_letter(char c) { return KEY_A + (c - 'A'); }
inline int32_t key_digit(int d) { return KEY_0 + d; }
inline int32_t key_keypad_digit(int d) { return KEY_KEYPAD_0 + d; }

void input_poll();
bool input_key_is_pressed(int32_t key);
bool input_key_is_held(int32_t key);
bool input_key_is_typed(int32_t key);         // press and auto-repeat
bool input_mouse_is_pressed(int32_t button);
bool input_mouse_is_held(int32_t button);
bool input_mouse_is_released(int32_t button);
void input_mouse_position(int32_t* x, int32_t* y);   // pixels from the top-left
void input_mouse_moved(int32_t* dx, int32_t* dy);    // this frame's motion
int32_t input_mouse_wheel();                         // signed steps this frame, up positive
void input_mouse_set_relative(bool on);
void input_text_enable(bool on);
String input_text_typed();                   // UTF-8 typed this frame; valid until the next poll
uint32_t input_key_modifiers();

// Clipboard: clipboard_set hands the text to the system; clipboard_get
// returns a view into the buffer given with clipboard_set_buffer (or an
// internal one), valid until the next clipboard call.
void clipboard_set_buffer(int64_t capacity, uint8_t* buffer);
void clipboard_set(const uint8_t* data, int64_t length);
String clipboard_get();

// ---------------------------------------------------------------------------
// Files. mode: 1 write (create / truncate), 2 read.
enum : int32_t { FILE_WRITE = 1, FILE_READ = 2 };
struct FileHandle { void* file; bool failed; };
FileHandle file_open(const String* path, int32_t mode);
bool file_failed(FileHandle handle);
int64_t file_size(FileHandle handle);
int64_t file_read(FileHandle handle, int64_t size, void* buffer);      // bytes read
int64_t file_write(FileHandle handle, int64_t size, const void* data); // bytes written
bool file_flush(FileHandle handle);          // true when the bytes reached the storage
bool file_close(FileHandle handle);          // false when closing reported an error
bool file_seek(FileHandle handle, int64_t offset);   // the next read starts `offset` bytes into the file
bool file_exists(const String* path);
// A folder (the empty path is the working directory).
bool directory_exists(const String* path);
bool file_rename(const String* from, const String* to);  // replaces `to` atomically
bool file_remove(const String* path);
// Writes `bytes` to `path` through a new file beside it, flushed to storage
// and renamed over it. Safe on any thread: no pool, no shared error text;
// on failure the reason goes into `reason` (capacity bytes, zero-terminated).
bool file_replace_from_any_thread(const char* path, const uint8_t* bytes, int64_t length, char* reason,
                                  int64_t capacity);
// Creates the folder and any missing folders above it; true when it exists afterwards.
bool directory_create(const String* path);
// Last modification of the file in nanoseconds since the epoch; -1 when it cannot be read.
int64_t file_modified_time(const String* path);
// The user's state folder for this program: $XDG_STATE_HOME/tarnisk, or
// $HOME/.local/state/tarnisk (in the pool); empty when neither is set.
String state_directory(int8_t pool);
String file_error();                          // reason of the last failed file call
// `path` with every symbolic link at its end followed (relative links from
// the link's folder; a dangling link gives the path it points to), copied
// into the pool; `path` itself when it is no link. False on a link loop, a
// name too long or a full pool (file_error tells which).
bool file_link_target(const String* path, String* target, int8_t pool);
// A new file of a name no other file has, in the folder of `path`, open for
// writing; its name goes into *name (in the pool). It takes the permission
// bits (and, where allowed, the owner) of an existing `path`, otherwise
// those any new file gets.
FileHandle file_create_beside(const String* path, String* name, int8_t pool);

// A second thread for work that splits in two. False when none could be
// started (the caller then does the work itself); every started thread is
// joined once.
struct ThreadHandle { uint64_t id; bool started; };
bool thread_start(ThreadHandle* thread, void (*run)(void*), void* data);
// Processors that no runnable thread is waiting for right now, besides the
// caller's own (0 when every one is busy); a guess, for deciding whether a
// second thread would run at all.
int32_t processors_spare();
void thread_join(ThreadHandle* thread);

// Sub-directory names ("." and ".." first) then file names, in the pool.
struct DirectoryContent {
    String* directories; int64_t directory_count;
    String* files; int64_t file_count;
};
bool directory_get_content(DirectoryContent* out, const String* path, int8_t pool);

// Message boxes: shown modally; under the test harness recorded instead
// (platform_test_hooks.h) and always printed to standard output.
void show_simple_message_box(int32_t flags, const String* title, const String* text);

// ---------------------------------------------------------------------------
// Images: RGBA, decoded into the block given with image_set_buffer.
// A failed load yields a 1x1 opaque magenta image and returns false.
struct Image { uint8_t* pixels; uint32_t width; uint32_t height; };
void image_set_buffer(int64_t size, uint8_t* block);
void image_set_buffer_position(int64_t position);
bool image_load(Image* out, const String* path, int32_t channels);
void image_set_flip(bool flip);

// ---------------------------------------------------------------------------
// GPU. Handles are unsigned, 0 = none. Codes:
//  texture target: 1 = 2D
//  texture format: 13 RGBA8, 14 RGBA16 (unsigned normalised), 29 RGBA16F
//  pixel format: 8 RGBA; pixel type: 0 unsigned byte, 1 unsigned short, 6 float
//  wrap axis: 0 s, 1 t; wrap mode: 0 repeat, 1 mirrored repeat, 2 clamp to edge
//  filter: 0 nearest, 1 linear, 2 nearest-mipmap-nearest, 3 linear-mipmap-nearest,
//          4 nearest-mipmap-linear, 5 linear-mipmap-linear
//  filter parameter: 3 minifying, 4 magnifying; float parameter 10: anisotropy
//  buffer target: 0 vertices, 1 indices; usage: 0 static, 3 stream/dynamic
//  draw mode: 4 triangles, 1 lines; index type: 2 = 32-bit; attribute type 6 = float
//  blend factors: 0 zero, 1 one, 3 source alpha, 9 one minus source alpha
//  clear mask: 1 color, 4 depth (5 both)
//  polygon mode faces: 2 both; mode: 0 fill, 1 line
//  render buffer format: 1 depth 24, 3 depth 32F
//  attachment: 0 depth, 3 color 0; draw buffers name color attachments by
//  number (0 = color 0, negative = none)
//  frame buffer target: 0 draw and read, 1 read
//  frame buffer status: 0 complete, 1 undefined, 2 incomplete attachment,
//  3 missing attachment, 4 incomplete draw buffer, 5 incomplete read buffer,
//  6 incomplete multisample, 7 incomplete layer targets, 8 unsupported, 9 other
// Without an open window every GPU call does nothing and creates return 0.
enum : int32_t { CLEAR_COLOR = 1, CLEAR_DEPTH = 4 };

void pipeline_viewport(int32_t x, int32_t y, int32_t width, int32_t height);
void pipeline_scissor_enable(bool on);
void pipeline_scissor(int32_t x, int32_t y, int32_t width, int32_t height);
void pipeline_blend_enable(bool on);
void pipeline_blend_factor(int32_t source, int32_t destination);
void pipeline_depth_enable(bool on);
void pipeline_cull_enable(bool on);
void pipeline_polygon_mode(int32_t faces, int32_t mode);
void pipeline_clear_color(float r, float g, float b, float a);
void pipeline_clear(int32_t mask);
void pipeline_draw_buffers(int32_t count, const int32_t* attachments);
void pipeline_read_pixels(int32_t x, int32_t y, int32_t width, int32_t height, int32_t format, int32_t type, void* destination);
void pipeline_present();

struct ShaderResult { bool success; String log; };
uint32_t shader_create();
// The whole program in one text: the backend prepends "#version 330 core"
// and "#define VERTEX" or "#define FRAGMENT" for each stage. The log is
// written into message_buffer (capacity bytes) and returned as a view of it.
ShaderResult shader_source(uint32_t program, const String* source, uint8_t* message_buffer, int64_t capacity);
void shader_bind(uint32_t program);
void shader_destroy(uint32_t program);
int32_t shader_get_uniform_location(uint32_t program, const String* name);
void uniform_set_int(int32_t location, int32_t value);
void uniform_set_float(int32_t location, float value);
void uniform_set_vec2(int32_t location, const float* v);
void uniform_set_vec3(int32_t location, const float* v);
void uniform_set_vec4(int32_t location, const float* v);
void uniform_set_mat3(int32_t location, const float* m);   // column-major
void uniform_set_mat4(int32_t location, const float* m);   // column-major

uint32_t texture_create();
void texture_bind(int32_t target, uint32_t texture);
void texture_unbind(int32_t target);
void texture_unit(int32_t unit);
void texture_image_2d(int32_t target, int32_t level, int32_t format, int32_t width, int32_t height,
                      int32_t pixel_format, int32_t pixel_type, const void* pixels);
void texture_parameter_wrap(int32_t target, int32_t axis, int32_t mode);
void texture_parameter_filter(int32_t target, int32_t which, int32_t filter);
void texture_parameterf(int32_t target, int32_t parameter, float value);
void texture_generate_mipmap(int32_t target);
void texture_destroy(uint32_t texture);

uint32_t buffer_create();
void buffer_bind(int32_t target, uint32_t buffer);
void buffer_data(int32_t target, int64_t size, const void* data, int32_t usage);
void buffer_destroy(uint32_t buffer);

uint32_t vertex_array_create();
void vertex_array_bind(uint32_t vertex_array);
void vertex_array_unbind();
void vertex_array_destroy(uint32_t vertex_array);
void attribute_enable(uint32_t index, bool on);
void attribute_format(uint32_t index, int32_t components, int32_t type, bool normalised, int32_t stride, int64_t offset);

void draw_elements(int32_t mode, int32_t index_type, int64_t first_index, int64_t index_count);

uint32_t frame_buffer_create();
void frame_buffer_bind(int32_t target, uint32_t frame_buffer);   // target 0 draw+read, 1 read
void frame_buffer_unbind(int32_t target);
void frame_buffer_texture(int32_t target, int32_t attachment, int32_t texture_target, uint32_t texture, int32_t level);
void frame_buffer_render_buffer(int32_t target, int32_t attachment, int32_t unused, uint32_t render_buffer);
int32_t frame_buffer_get_status(int32_t target);  // 0 complete; 1..8 as the editor's table
void frame_buffer_destroy(uint32_t frame_buffer);

uint32_t render_buffer_create();
void render_buffer_bind(uint32_t render_buffer);
void render_buffer_unbind();
void render_buffer_storage(int32_t format, int32_t width, int32_t height);
void render_buffer_destroy(uint32_t render_buffer);

// ---------------------------------------------------------------------------
// Math, double precision, radians.
double math_sin(double x);
double math_cos(double x);
double math_acos(double x);
double math_sqrt(double x);
double math_pow(double x, double y);
double math_floor(double x);
double math_mod(double x, double y);
double math_abs(double x);
