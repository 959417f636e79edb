// Theme files on arbitrary bytes: lines of any shape only ever write the
// theme's own fields (the bytes around the record stay untouched).
#include <cstdint>
#include <cstring>

#include "assets/assets.h"

struct Guarded {
    uint8_t before[64];
    Theme theme;
    uint8_t after[64];
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Guarded guarded;
    std::memset(guarded.before, 0xA5, sizeof(guarded.before));
    std::memset(guarded.after, 0x5A, sizeof(guarded.after));
    theme_defaults(&guarded.theme);
    theme_apply(&guarded.theme, String{data, (int64_t)size});
    for (uint8_t b : guarded.before) if (b != 0xA5) __builtin_trap();
    for (uint8_t b : guarded.after) if (b != 0x5A) __builtin_trap();
    if (guarded.theme.font != nullptr) __builtin_trap();   // derived values come only from theme_load
    return 0;
}
