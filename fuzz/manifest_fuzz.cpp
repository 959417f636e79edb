// Resource list lines on arbitrary bytes: split as manifest_load splits them;
// every entry's name and path are views inside their line, and the path of
// a CR LF line does not keep the CR.
#include <cstdint>
#include <cstring>

#include "assets/assets.h"

static bool inside(String part, const uint8_t* line, int64_t length) {
    return part.length >= 0 && (part.length == 0 || (part.data >= line && part.data + part.length <= line + length));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int64_t position = 0, total = (int64_t)size;
    while (position < total) {
        const uint8_t* start = data + position;
        const uint8_t* feed = static_cast<const uint8_t*>(std::memchr(start, '\n', (size_t)(total - position)));
        int64_t length = feed ? feed - start : total - position;
        position += feed ? length + 1 : length;
        ManifestEntry entry;
        if (!manifest_parse_line(String{start, length}, &entry)) continue;
        if (entry.kind < MANIFEST_TEXTURE || entry.kind > MANIFEST_MESH) __builtin_trap();
        if (!inside(entry.name, start, length) || !inside(entry.path, start, length)) __builtin_trap();
        if (entry.path.length > 0 && entry.path.data[entry.path.length - 1] == '\r' &&
            entry.path.data + entry.path.length == start + length)
            __builtin_trap();
    }
    return 0;
}
