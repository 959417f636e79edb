// The least any start-up of the editor can cost on this machine: the same
// window and GL 3.3 context, the four shader files compiled, one triangle
// drawn with each into an RGBA16F target, one present. Relies only on the
// platform layer, so both runs open the window through the same code.
#include "bench/startup_floor.h"

#include <cstdio>
#include <vector>

#include "platform/platform.h"

static String read_whole(const char* path, std::vector<uint8_t>* bytes) {
    String name = string_from_cstring(path);
    FileHandle file = file_open(&name, 2);
    bytes->clear();
    if (!file_failed(file)) {
        int64_t size = file_size(file);
        if (size > 0) {
            bytes->resize((size_t)size);
            bytes->resize((size_t)file_read(file, size, bytes->data()));
        }
        file_close(file);
    }
    return String{bytes->data(), (int64_t)bytes->size()};
}

static struct {
    uint32_t programs[4];
    uint32_t frame_buffer, color, vertex_array, vertex_buffer, index_buffer;
} floor_objects;

bool startup_floor_present() {
    system_init(63);
    String title = S("tarnisk");
    if (!display_open(1024, 768, &title, 0x54, 1)) {
        system_release();
        return false;
    }
    int32_t width = 0, height = 0, refresh = 0;
    display_get_info(&width, &height, &refresh);

    static const char* const shader_files[4] = {"shaders/simple.glsl", "shaders/gamma.glsl", "shaders/picking.glsl",
                                                "shaders/color.glsl"};
    uint32_t* programs = floor_objects.programs;
    std::vector<uint8_t> source_bytes;
    uint8_t log[2048];
    bool compiled = true;
    for (int i = 0; i < 4; i++) {
        programs[i] = shader_create();
        String source = read_whole(shader_files[i], &source_bytes);
        ShaderResult result = shader_source(programs[i], &source, log, sizeof log);
        if (!result.success) {
            std::printf("floor: %s did not build: %.*s\n", shader_files[i], (int)result.log.length,
                        (const char*)result.log.data);
            compiled = false;
        }
    }

    uint32_t frame_buffer = floor_objects.frame_buffer = frame_buffer_create();
    uint32_t color = floor_objects.color = texture_create();
    texture_bind(1, color);
    texture_image_2d(1, 0, 29, width, height, 8, 0, nullptr);
    texture_parameter_filter(1, 3, 0);
    texture_parameter_filter(1, 4, 0);
    texture_unbind(1);
    frame_buffer_bind(0, frame_buffer);
    frame_buffer_texture(0, 3, 0, color, 0);
    const int32_t attachments[1] = {0};
    pipeline_draw_buffers(1, attachments);
    pipeline_viewport(0, 0, width, height);

    // Position, color and texture coordinate, laid out as the editor's batch.
    const float vertices[3][9] = {{-1, -1, 0, 1, 1, 1, 1, 0, 0}, {1, -1, 0, 1, 1, 1, 1, 1, 0}, {0, 1, 0, 1, 1, 1, 1, 0.5f, 1}};
    const uint32_t indices[3] = {0, 1, 2};
    uint32_t vertex_array = floor_objects.vertex_array = vertex_array_create();
    uint32_t vertex_buffer = floor_objects.vertex_buffer = buffer_create();
    uint32_t index_buffer = floor_objects.index_buffer = buffer_create();
    vertex_array_bind(vertex_array);
    buffer_bind(0, vertex_buffer);
    buffer_data(0, sizeof vertices, vertices, 0);
    for (uint32_t a = 0; a < 3; a++) attribute_enable(a, true);
    attribute_format(0, 3, 6, false, 36, 0);
    attribute_format(1, 4, 6, false, 36, 12);
    attribute_format(2, 2, 6, false, 36, 28);
    buffer_bind(1, index_buffer);
    buffer_data(1, sizeof indices, indices, 0);

    // Uniforms left at zero would collapse the triangle, and a driver may
    // then skip the work a real draw costs.
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float white[4] = {1, 1, 1, 1};
    const float full_uv[4] = {0, 0, 1, 1};
    String matrix_name = S("matrix_model_view_projection"), diffuse_name = S("diffuse"), uv_name = S("uv_rect"),
           gamma_name = S("gamma");
    for (int i = 0; i < 4; i++) {
        shader_bind(programs[i]);
        uniform_set_mat4(shader_get_uniform_location(programs[i], &matrix_name), identity);
        uniform_set_vec4(shader_get_uniform_location(programs[i], &diffuse_name), white);
        uniform_set_vec4(shader_get_uniform_location(programs[i], &uv_name), full_uv);
        uniform_set_float(shader_get_uniform_location(programs[i], &gamma_name), 2.2f);
        draw_elements(4, 2, 0, 3);
    }
    frame_buffer_unbind(0);
    pipeline_present();
    return compiled;
}

void startup_floor_close() {
    vertex_array_unbind();
    buffer_destroy(floor_objects.vertex_buffer);
    buffer_destroy(floor_objects.index_buffer);
    vertex_array_destroy(floor_objects.vertex_array);
    frame_buffer_destroy(floor_objects.frame_buffer);
    texture_destroy(floor_objects.color);
    for (uint32_t program : floor_objects.programs) shader_destroy(program);
    floor_objects = {};
    display_close();
    system_release();
}
