// Shader programs: one text file per program, a table from uniform name to
// location filled once at load, the uniform setters that act on the current
// program, the matrix upload of every draw and the display-to-linear color
// conversion. Relies on the platform's shader calls and the containers.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "math/math.h"

// The uniforms the draw code sets on every draw. Their locations are read
// from the program's table once at load, so the hot paths (batch flush,
// mesh parts) never hash a name; the result is the same as uniform_location.
enum UniformSlot : int32_t {
    UNIFORM_MODEL_VIEW_PROJECTION,  // "matrix_model_view_projection"
    UNIFORM_UV_RECT,                // "uv_rect"
    UNIFORM_DIFFUSE,                // "diffuse"
    UNIFORM_DIFFUSE_MAP,            // "diffuse_map"
    UNIFORM_GAMMA,                  // "gamma"
    UNIFORM_MODEL,                  // "matrix_model"
    UNIFORM_MODEL_VIEW,             // "matrix_model_view"
    UNIFORM_VIEW,                   // "matrix_view"
    UNIFORM_PROJECTION,             // "matrix_projection"
    UNIFORM_NORMAL,                 // "matrix_normal"
    UNIFORM_SLOT_COUNT,
};

struct ShaderProgram {
    uint32_t program;               // platform handle, kept even when compiling failed
    StringMap uniforms;             // uniform name -> location (low 32 bits), POOL_PERSISTENT
    String name;                    // "simple", "gamma", "picking", "color": for messages
    String source;                  // the whole text of the shader file
    const String* uniform_names;    // the names looked up at load; they live as long as the program
    int64_t uniform_name_count;
    int32_t slots[UNIFORM_SLOT_COUNT];  // uniform_location of each UniformSlot name, -1 when absent
};

// Compiles `source` as one program and fills the uniform table from `names`
// (the table keeps the views: the names must outlive the program). A failed
// compile prints "failed to compile shader '<name>':" and the log, and the
// program stays usable (it draws nothing).
void shader_program_load(ShaderProgram* program, String name, String source, const String* names, int64_t name_count);
// The stored location, -1 when the name is not in the program's table.
int32_t uniform_location(const ShaderProgram* program, String name);
// shader_bind and current_program together: uniform calls that follow go to it.
void shader_program_use(ShaderProgram* program);

// Start-up: "simple", "gamma", "picking" and "color" from "shaders/*.glsl"
// (relative to the working directory), each with its uniform list. A missing
// file gives an empty source, which fails to compile and is reported.
void shaders_load_all();

// Setters by name on current_program. A name the program lacks arrives at
// the platform as location -1, which it ignores.
void set_uniform_float(String name, float value);
void set_uniform_int(String name, int32_t value);
void set_uniform_vec4(String name, Vec4 value);
void set_uniform_mat4(String name, const Mat4& value);
void set_uniform_mat3(String name, const Mat3& value);

// The same by slot, for the draw code's own uniforms.
void shader_set_float(UniformSlot slot, float value);
void shader_set_int(UniformSlot slot, int32_t value);
void shader_set_vec4(UniformSlot slot, Vec4 value);
void shader_set_mat4(UniformSlot slot, const Mat4& value);

// Texture unit 0 gets `texture`; "diffuse_map" = 0.
void bind_diffuse_texture(uint32_t texture);
// Model, model-view, model-view-projection, view, projection and normal
// matrices from `model` and the editor's view and projection matrices.
void set_matrices(const Mat4& model);

// (r^gamma, g^gamma, b^gamma, a): display-space color to the linear values
// that the scene image holds.
Vec4 color_to_linear(Vec4 color, double gamma);
