// Font descriptions on arbitrary bytes, without files or GPU: a success has
// glyph 0 plus one glyph per mapped code point, and the map finds only
// glyph indices that exist.
#include <cstdint>

#include "assets/assets.h"
#include "core/memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool pools_ready = false;
    if (!pools_ready) {
        pool_create(POOL_PERSISTENT, 64 << 20);
        pool_create(POOL_FRAME, 1 << 20);
        pools_ready = true;
    }
    pool_reset(POOL_PERSISTENT);
    pool_reset(POOL_FRAME);
    Font font{};
    String image{nullptr, 0};
    if (font_parse(String{data, (int64_t)size}, S("fuzz/"), &font, &image, false)) {
        if (font.glyphs.count < 1 || font.font_scale != 256) __builtin_trap();
        for (int64_t i = 0; i < font.glyph_map.capacity; i++) {
            uint32_t value = font.glyph_map.slots[i].value;
            if (value >= (uint64_t)font.glyphs.count) __builtin_trap();
        }
        if (image.length > 0 && (image.data < data || image.data + image.length > data + size)) __builtin_trap();
    }
    return 0;
}
