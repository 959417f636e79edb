// OBJ reading on arbitrary bytes: the part before the first zero byte is the
// OBJ text, the rest is what every "mtllib" line reads (no file is opened).
// Every index must name a vertex, every range must lie inside the indices,
// and the ranges with the faces without a material cover every index. The
// text is read once by one thread with the general line reading only, and
// again in two parts on two threads, split at a line the input chooses,
// with the short path for plain lines: both must give the same build byte
// for byte.
#include <cstdint>
#include <cstring>

#include "assets/mesh.h"
#include "core/memory.h"

static bool same_bytes(const void* a, const void* b, int64_t size) {
    return size <= 0 || std::memcmp(a, b, (size_t)size) == 0;
}

static bool same_text(String a, String b) { return a.length == b.length && same_bytes(a.data, b.data, a.length); }

static bool same_build(const MeshBuild& a, const MeshBuild& b) {
    if (a.vertex_count != b.vertex_count || a.index_count != b.index_count || a.material_count != b.material_count ||
        a.default_index_count != b.default_index_count || a.dropped_faces != b.dropped_faces ||
        !same_bytes(&a.bounds_min, &b.bounds_min, sizeof(Vec3)) || !same_bytes(&a.bounds_max, &b.bounds_max, sizeof(Vec3)))
        return false;
    if (!same_bytes(a.vertices, b.vertices, a.vertex_count * (int64_t)sizeof(MeshVertex)) ||
        !same_bytes(a.indices, b.indices, a.index_count * 4))
        return false;
    for (int64_t m = 0; m < a.material_count; m++) {
        const MaterialRange& x = a.ranges[m];
        const MaterialRange& y = b.ranges[m];
        if (x.first_vertex != y.first_vertex || x.first_index != y.first_index || x.vertex_count != y.vertex_count ||
            x.index_count != y.index_count || !same_text(x.object_name, y.object_name) ||
            !same_text(x.material_name, y.material_name) || !same_text(a.materials[m].name, b.materials[m].name))
            return false;
    }
    return true;
}

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
    mesh_splitting = MeshSplitting{INT64_MAX, 96, false};
    mesh_plain_reading = false;
    bool built = mesh_build(&build, &arena, obj, S("fuzz/input.obj"), false, mtl);
    MeshBuild split;
    ScratchArena split_arena;
    mesh_splitting = MeshSplitting{0, 1 + (int32_t)(size * 37 % 255), true};
    mesh_plain_reading = true;
    bool split_built = mesh_build(&split, &split_arena, obj, S("fuzz/input.obj"), false, mtl);
    if (built != split_built || (built && !same_build(build, split))) __builtin_trap();
    scratch_release(&split_arena);
    if (built) {
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
