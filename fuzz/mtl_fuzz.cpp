// MTL reading on arbitrary bytes: sized by the counting pass, the parse
// never writes past it, and every name it returns is a view into the input.
#include <cstdint>
#include <cstdlib>

#include "assets/mesh.h"
#include "core/memory.h"

static bool inside(String name, const uint8_t* data, size_t size) {
    return name.length == 0 || (name.data >= data && name.data + name.length <= data + size);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    String text{data, (int64_t)size};
    int64_t capacity = mtl_count_materials(text);
    ParsedMaterial* materials = static_cast<ParsedMaterial*>(std::malloc((size_t)(capacity + 1) * sizeof(ParsedMaterial)));
    int64_t count = 0;
    if (!mtl_parse(text, materials, capacity, &count)) __builtin_trap();   // the count was exact
    if (count != capacity) __builtin_trap();
    for (int64_t i = 0; i < count; i++) {
        const ParsedMaterial& m = materials[i];
        if (!inside(m.name, data, size) || !inside(m.diffuse_map, data, size) || !inside(m.specular_map, data, size) ||
            !inside(m.emissive_map, data, size))
            __builtin_trap();
    }
    // A smaller array keeps what fits and says so.
    if (capacity > 0) {
        count = 0;
        if (mtl_parse(text, materials, capacity - 1, &count) || count != capacity - 1) __builtin_trap();
    }
    std::free(materials);
    return 0;
}
