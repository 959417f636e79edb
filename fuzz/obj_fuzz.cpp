// OBJ reading on arbitrary bytes: the part before the first zero byte is the
// OBJ text, the rest is what every "mtllib" line reads (no file is opened).
// Every index must name a vertex, every range must lie inside the indices,
// and the ranges with the faces without a material cover every index.
#include <cstdint>
#include <cstring>

#include "assets/mesh.h"
#include "core/memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool pools_ready = false;
    if (!pools_ready) {
        pool_create(POOL_PERSISTENT, 1 << 20);
        pool_create(POOL_FRAME, 1 << 20);
        pools_ready = true;
    }
    pool_reset(POOL_FRAME);
    const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    int64_t obj_length = zero ? zero - data : (int64_t)size;
    String obj{data, obj_length};
    String mtl = zero ? String{zero + 1, (int64_t)size - obj_length - 1} : String{nullptr, 0};

    MeshBuild build;
    ScratchArena arena;
    if (mesh_build(&build, &arena, obj, S("fuzz/input.obj"), false, mtl)) {
        if (build.index_count % 3 != 0) __builtin_trap();
        for (int64_t i = 0; i < build.index_count; i++) {
            if (build.indices[i] >= (uint64_t)build.vertex_count) __builtin_trap();
        }
        uint64_t covered = 0;
        for (int64_t m = 0; m < build.material_count; m++) {
            const MaterialRange& range = build.ranges[m];
            if ((uint64_t)range.first_index + range.index_count > (uint64_t)build.index_count) __builtin_trap();
            if ((uint64_t)range.first_vertex + range.vertex_count > (uint64_t)build.vertex_count) __builtin_trap();
            covered += range.index_count;
        }
        // Faces without a material lead the list; with the ranges they are every face.
        if (covered + (uint64_t)build.default_index_count != (uint64_t)build.index_count) __builtin_trap();
        for (int64_t v = 0; v < build.vertex_count; v++) {
            const Vec3& p = build.vertices[v].position;
            if (p.x < build.bounds_min.x || p.x > build.bounds_max.x) {
                if (p.x == p.x) __builtin_trap();   // NaN positions are outside every box
            }
        }
    }
    scratch_release(&arena);
    return 0;
}
