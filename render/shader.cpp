// Shader programs and uniforms: loading from text, the name -> location
// table, setters on the current program, matrix upload and color_to_linear.
// Relies on the platform's shader calls, the containers and the formatter.
#include "render/shader.h"

#include "app/editor.h"
#include "core/format.h"
#include "platform/platform.h"

static const String slot_names[UNIFORM_SLOT_COUNT] = {
    S("matrix_model_view_projection"),
    S("uv_rect"),
    S("diffuse"),
    S("diffuse_map"),
    S("gamma"),
    S("matrix_model"),
    S("matrix_model_view"),
    S("matrix_view"),
    S("matrix_projection"),
    S("matrix_normal"),
};

// ---------------------------------------------------------------------------
// Loading

void shader_program_load(ShaderProgram* program, String name, String source, const String* names, int64_t name_count) {
    program->name = name;
    program->source = source;
    program->uniform_names = names;
    program->uniform_name_count = name_count;
    program->program = shader_create();

    uint8_t message[4096] = {};
    ShaderResult result = shader_source(program->program, &source, message, sizeof message);
    if (!result.success) {
        print(S("failed to compile shader '"));
        print(name);
        print(S("':\n"));
        print(result.log);
    }

    program->uniforms = string_map_make(POOL_PERSISTENT);
    for (int64_t i = 0; i < name_count; i++) {
        int32_t location = shader_get_uniform_location(program->program, &names[i]);
        if (!map_insert(&program->uniforms, names[i], (int64_t)(uint32_t)location)) {
            format_print(S("out of memory: uniform '%.' of shader '%.' not recorded\n"),
                         {fmt_string(names[i]), fmt_string(name)});
        }
    }
    for (int32_t slot = 0; slot < UNIFORM_SLOT_COUNT; slot++) {
        program->slots[slot] = uniform_location(program, slot_names[slot]);
    }
}

int32_t uniform_location(const ShaderProgram* program, String name) {
    if (!program) return -1;
    int64_t value = 0;
    if (!map_lookup(&program->uniforms, name, &value)) return -1;
    return (int32_t)(uint32_t)value;
}

void shader_program_use(ShaderProgram* program) {
    shader_bind(program->program);
    editor.render.current_program = program;
}

void shaders_load_all() {
    static const String five[] = {S("matrix_model_view_projection"), S("uv_rect"), S("diffuse"), S("diffuse_map"),
                                  S("gamma")};
    static const String picking[] = {S("matrix_model_view_projection"), S("diffuse")};
    static const String color[] = {S("matrix_model_view_projection"), S("diffuse_map"), S("gamma")};
    struct ProgramFile {
        ShaderProgram* program;
        String name;
        String path;
        const String* names;
        int64_t count;
    };
    RenderState& render = editor.render;
    const ProgramFile files[] = {
        {&render.simple, S("simple"), S("shaders/simple.glsl"), five, 5},
        {&render.gamma, S("gamma"), S("shaders/gamma.glsl"), five, 5},
        {&render.picking, S("picking"), S("shaders/picking.glsl"), picking, 2},
        {&render.color, S("color"), S("shaders/color.glsl"), color, 3},
    };
    for (const ProgramFile& file : files) {
        String source = file_read_all(file.path, POOL_PERSISTENT);
        shader_program_load(file.program, file.name, source, file.names, file.count);
    }
}

// ---------------------------------------------------------------------------
// Setters

static int32_t current_location(String name) { return uniform_location(editor.render.current_program, name); }

static int32_t slot_location(UniformSlot slot) {
    const ShaderProgram* program = editor.render.current_program;
    return program ? program->slots[slot] : -1;
}

void set_uniform_float(String name, float value) { uniform_set_float(current_location(name), value); }
void set_uniform_int(String name, int32_t value) { uniform_set_int(current_location(name), value); }
void set_uniform_vec4(String name, Vec4 value) { uniform_set_vec4(current_location(name), &value.x); }
void set_uniform_mat4(String name, const Mat4& value) { uniform_set_mat4(current_location(name), value.m); }
void set_uniform_mat3(String name, const Mat3& value) { uniform_set_mat3(current_location(name), value.m); }

void shader_set_float(UniformSlot slot, float value) { uniform_set_float(slot_location(slot), value); }
void shader_set_int(UniformSlot slot, int32_t value) { uniform_set_int(slot_location(slot), value); }
void shader_set_vec4(UniformSlot slot, Vec4 value) { uniform_set_vec4(slot_location(slot), &value.x); }
void shader_set_mat4(UniformSlot slot, const Mat4& value) { uniform_set_mat4(slot_location(slot), value.m); }

void bind_diffuse_texture(uint32_t texture) {
    texture_unit(0);
    texture_bind(1, texture);
    shader_set_int(UNIFORM_DIFFUSE_MAP, 0);
}

void set_matrices(const Mat4& model) {
    const ShaderProgram* program = editor.render.current_program;
    if (!program) return;
    const int32_t* slots = program->slots;
    // Every draw runs through here (one per interface rectangle), so only the
    // matrices that the program reads are computed: a location of -1 would be
    // ignored by the platform anyway.
    Mat4 model_view = mat4_multiply(editor.view_matrix, model);
    if (slots[UNIFORM_MODEL] != -1) uniform_set_mat4(slots[UNIFORM_MODEL], model.m);
    if (slots[UNIFORM_MODEL_VIEW] != -1) uniform_set_mat4(slots[UNIFORM_MODEL_VIEW], model_view.m);
    if (slots[UNIFORM_MODEL_VIEW_PROJECTION] != -1) {
        Mat4 model_view_projection = mat4_multiply(editor.projection_matrix, model_view);
        uniform_set_mat4(slots[UNIFORM_MODEL_VIEW_PROJECTION], model_view_projection.m);
    }
    if (slots[UNIFORM_VIEW] != -1) uniform_set_mat4(slots[UNIFORM_VIEW], editor.view_matrix.m);
    if (slots[UNIFORM_PROJECTION] != -1) uniform_set_mat4(slots[UNIFORM_PROJECTION], editor.projection_matrix.m);
    if (slots[UNIFORM_NORMAL] != -1) {
        Mat3 normal = mat3_normal(mat3_from_mat4(model_view));
        uniform_set_mat3(slots[UNIFORM_NORMAL], normal.m);
    }
}

Vec4 color_to_linear(Vec4 color, double gamma) {
    return Vec4{(float)math_pow(color.x, gamma), (float)math_pow(color.y, gamma), (float)math_pow(color.z, gamma),
                color.w};
}
