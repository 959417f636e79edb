// Number scanning on arbitrary bytes: the cursor only moves forward and stays
// inside the data, scan_float agrees bit for bit with strtod on the text it
// consumed, however long, and printing what was read never leaves its
// buffers.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/containers.h"
#include "core/format.h"
#include "core/memory.h"

static bool pools_ready = false;

// The consumed text as strtod input: the sign, the digits, one point where
// the first one was (later points only end the integer part, which they
// already did). `out` holds at least length + 2 bytes.
static const char* as_strtod_text(const uint8_t* data, int64_t length, char* out) {
    int64_t used = 0;
    bool point = false, digit = false;
    for (int64_t i = 0; i < length; i++) {
        uint8_t c = data[i];
        if (c == '.') {
            if (!point) out[used++] = '.';
            point = true;
            continue;
        }
        if (c >= '0' && c <= '9') digit = true;
        out[used++] = (char)c;
    }
    if (!digit) out[used++] = '0';  // "-", "." and "-." are zeros
    out[used] = 0;
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!pools_ready) {
        pool_create(POOL_PERSISTENT, 1 << 20);
        pool_create(POOL_FRAME, 1 << 20);
        pools_ready = true;
    }
    pool_reset(POOL_FRAME);
    // A copy of exactly `size` bytes so that any read past the end is caught.
    uint8_t* copy = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    std::memcpy(copy, data, size);
    TextReader reader = reader_make(String{copy, (int64_t)size});
    char* text = static_cast<char*>(std::malloc(size + 2));
    while (reader.position < reader.length) {
        int64_t start = reader.position;
        bool floating = (copy[start] & 1) != 0;
        if (floating) {
            double value = scan_float(&reader);
            if (reader.position < start || reader.position > reader.length) std::abort();
            const char* expected_text = as_strtod_text(copy + start, reader.position - start, text);
            double expected = std::strtod(expected_text, nullptr);
            if (std::memcmp(&value, &expected, sizeof value) != 0) std::abort();
            StringBuilder builder = builder_init(POOL_FRAME);
            builder_put_float(&builder, value, number_format_file);
            builder_put_float(&builder, value * 1e250, number_format_default);
        } else {
            int64_t value = scan_integer(&reader);
            if (reader.position < start || reader.position > reader.length) std::abort();
            StringBuilder builder = builder_init(POOL_FRAME);
            NumberFormat format = {(int16_t)(2 + (uint64_t)value % 35), (int16_t)(value % 70), 0, 1, ' '};
            builder_put_integer(&builder, value, format);
        }
        if (reader.position == start) reader.position++;  // skip what no number starts with
    }
    std::free(text);
    std::free(copy);
    return 0;
}
