// The OBJ/MTL importer's inner steps, callable on text in memory without a
// GPU: the tests, the fuzz targets and the benchmark use them; the editor
// goes through mesh_import (assets/assets.h). Relies on core/ and math/.
#pragma once

#include <cstdint>

#include "assets/assets.h"
#include "core/containers.h"

// The scratch memory of one import: the growing arrays of the build, each
// in a span of its own, and bump blocks for library texts and names. Freed
// whole by scratch_release; a cleared record holds nothing.
struct ScratchSpan {
    uint8_t* base;
    int64_t capacity;
};
enum : int32_t { SCRATCH_SPANS = 24, SCRATCH_BUMP_BLOCKS = 64 };
struct ScratchArena {
    ScratchSpan spans[SCRATCH_SPANS];
    ScratchSpan bump[SCRATCH_BUMP_BLOCKS];
    int32_t bump_count;
    int64_t bump_used;        // in the last bump block
    int64_t bytes_refused;    // the last request the machine refused
    uint32_t large_start;     // spans (a bit per slot) first mapped at 2 MB
};

void scratch_release(ScratchArena* arena);

// A material as the MTL file describes it. Colors already carry the 2.2
// power; names are views into the library text.
struct ParsedMaterial {
    String name;
    Vec4 ambient, diffuse, specular, emissive;
    Vec4 diffuse_raw;          // "Kd" as written, alpha 1
    float shininess;           // "Ns"
    float dissolve;            // "d"
    String diffuse_map;        // "map_Ka" / "map_Kd" texture name
    String specular_map;       // "map_Ks"
    String emissive_map;       // "map_Ke"
};

// The "newmtl" lines of a library: the array size mtl_parse needs.
int64_t mtl_count_materials(String text);
// Appends the materials of one library to `materials` from index *count on
// (at most `capacity` in all); false when more would not fit, keeping those
// that did. Names are views into `text`.
bool mtl_parse(String text, ParsedMaterial* materials, int64_t capacity, int64_t* count);

// The CPU side of an import, all in the arena.
struct MeshBuild {
    MeshVertex* vertices;
    int64_t vertex_count;
    uint32_t* indices;
    int64_t index_count;
    ParsedMaterial* materials;
    MaterialRange* ranges;     // one per material; names are views
    int64_t material_count;
    Vec3 bounds_min, bounds_max;
    int64_t default_index_count;   // the first indices, of faces without a material
    int64_t dropped_faces;     // out-of-range positions or fewer than three corners
    bool out_of_memory;        // the arena could not be sized for the model
    int64_t bytes_needed;      // arena size the model asked for
};

// Parses `text` (an OBJ file held by the caller) and builds vertices,
// indices and ranges. `obj_path` gives the directory for
// "mtllib"; with `read_libraries` false no file is touched ("mtllib" lines
// then use `library_text`, when not empty, as every library's content).
// Messages ("failed to load material: ", "failed to find material ") go to
// the console. The arena is filled here; the caller releases it. False only
// when memory ran out.
bool mesh_build(MeshBuild* build, ScratchArena* arena, String text, String obj_path, bool read_libraries,
                String library_text = String{nullptr, 0});

// Texts of at least `minimum_bytes` are read by two threads when a
// processor is spare (or always, with `even_when_busy`): the first takes
// head_share/256 of the text, the second the rest, and the result is the
// same as one thread's. Tests move the split to check just that.
struct MeshSplitting {
    int64_t minimum_bytes;
    int32_t head_share;
    bool even_when_busy;
};
extern MeshSplitting mesh_splitting;

// Lines of the common forms ("v x y z", "f a/b/c ...") are read by a short
// path that falls back to the general reading for anything else. The tests
// and the fuzz target switch it off to check that both give the same build.
extern bool mesh_plain_reading;

// Reads the OBJ file in blocks and builds it in the arena. Returns 0 when
// done, 1 when the file cannot be opened, 2 when memory ran out (or the model
// is past 32-bit vertex numbers: bytes_needed is then -1).
int32_t mesh_build_file(MeshBuild* build, ScratchArena* arena, String path);
