// The "%." formatter and the number routines behind it. Digits are produced
// by our own division loop (not printf) so that stored text does not depend
// on the C library; reading goes through a fast exact path or strtod.
// Relies on core/containers (StringBuilder, TextReader) and stdio for stdout.
#include "core/format.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const NumberFormat number_format_default = {10, 64, 4, 0, '0'};
const NumberFormat number_format_file = {10, 64, 12, 0, '0'};

// ---------------------------------------------------------------------------
// Output: bytes gather in a small local buffer and leave in one call, so a
// number costs one builder_put_bytes (or one fwrite) instead of one call per
// digit. The result is the same as writing byte by byte.
namespace {

struct Output {
    StringBuilder* builder;  // null: standard output
    int32_t used;
    uint8_t buffer[256];
};

void output_flush(Output* out) {
    if (out->used == 0) return;
    if (out->builder) builder_put_bytes(out->builder, out->buffer, out->used);
    else std::fwrite(out->buffer, 1, (size_t)out->used, stdout);
    out->used = 0;
}

// Console messages leave the process at once: stdio would hold them back in
// a pipe or a log file, and lose them in a crash.
void output_finish(Output* out) {
    output_flush(out);
    if (!out->builder) std::fflush(stdout);
}

inline void output_byte(Output* out, uint8_t byte) {
    if (out->used == (int32_t)sizeof(out->buffer)) output_flush(out);
    out->buffer[out->used++] = byte;
}

void output_repeat(Output* out, uint8_t byte, int64_t count) {
    for (int64_t i = 0; i < count; i++) output_byte(out, byte);
}

void output_bytes(Output* out, const uint8_t* bytes, int64_t count) {
    if (count <= 0) return;
    if (out->used + count <= (int64_t)sizeof(out->buffer)) {
        std::memcpy(out->buffer + out->used, bytes, (size_t)count);
        out->used += (int32_t)count;
        return;
    }
    output_flush(out);
    if (out->builder) builder_put_bytes(out->builder, bytes, count);
    else std::fwrite(bytes, 1, (size_t)count, stdout);
}

inline uint8_t digit_char(int digit) {
    return (uint8_t)(digit < 10 ? '0' + digit : 'a' + (digit - 10));
}

// ---------------------------------------------------------------------------
// Integers: 64 digits from the least significant up, leading zeros dropped,
// then cut to the last `width` digits or padded up to `width`.
void put_integer(Output* out, uint64_t magnitude, bool negative, NumberFormat format) {
    if (negative) output_byte(out, '-');
    uint8_t digits[64];  // least significant first
    int count = 0;       // digits computed; the rest of the 64 are zeros
    if (format.base >= 2) {
        uint64_t base = (uint64_t)format.base;
        while (magnitude != 0 && count < 64) {
            digits[count++] = (uint8_t)(magnitude % base);
            magnitude /= base;
        }
    }
    // Bases below 2 produce only zero digits.
    if (count == 0) digits[count++] = 0;
    int significant = count;
    int width = format.width;
    if (width < significant) {
        for (int i = width - 1; i >= 0; i--) output_byte(out, digit_char(digits[i]));
        return;
    }
    if (format.pad && width > significant) output_repeat(out, format.pad_char, width - significant);
    for (int i = significant - 1; i >= 0; i--) output_byte(out, digit_char(digits[i]));
}

// ---------------------------------------------------------------------------
// Floating point: integer digit count K from repeated multiplication, then
// digits by truncated division with a shrinking power, then one round-half-up
// on the digit after the last fraction digit. This is deliberately not
// printf's correct rounding: exported files have always used these digits.
void put_float(Output* out, double value, NumberFormat format) {
    if (value != value) {
        output_bytes(out, (const uint8_t*)"nan", 3);
        return;
    }
    if (value < 0) {
        output_byte(out, '-');
        value = -value;
    }
    if (value > 1.7976931348623157e308) {
        output_bytes(out, (const uint8_t*)"infinity", 8);
        return;
    }
    // A base below 2 would never finish counting integer digits.
    int base = format.base >= 2 ? format.base : 10;
    double b = (double)base;
    int width = format.width > 0 ? format.width : 0;
    int precision = format.precision > 0 ? format.precision : 0;

    int64_t k = 1;
    double d = 1.0;
    if (value >= b) {
        double p = b;
        int64_t factors = 1;
        while (value >= p * b) {
            p *= b;
            factors++;
        }
        k = factors + 1;
        d = p;
    }

    // A quotient outside 0..base-1 only comes from rounding in the division
    // chain; clamping keeps every printed byte a digit.
    auto next_digit = [&]() -> int {
        double q = value / d;
        int digit;
        if (!(q >= 0)) digit = 0;
        else if (q >= b) digit = base - 1;
        else digit = (int)q;
        value -= (double)digit * d;
        d /= b;
        return digit;
    };

    uint8_t digits[64];
    int count = 0;  // digits in the buffer; places past it read as zeros
    int64_t kept_int;
    if (k > 64 && base == 10) {
        // More integer digits than the 64-place buffer holds (1e64 and up):
        // the literal loop's lowest digits would be meaningless, so the value
        // is printed whole, with its shortest round-trip digits followed by
        // zeros. It reads back as exactly the same double.
        char scientific[40];
        std::to_chars_result written = std::to_chars(scientific, scientific + sizeof(scientific), value, std::chars_format::scientific);
        const char* c = scientific;
        for (; c < written.ptr && *c != 'e'; c++) {
            if (*c >= '0' && *c <= '9' && count < 64) digits[count++] = (uint8_t)(*c - '0');
        }
        int64_t exponent = 0;
        bool exponent_negative = false;
        for (c++; c < written.ptr; c++) {
            if (*c == '-') exponent_negative = true;
            else if (*c >= '0' && *c <= '9') exponent = exponent * 10 + (*c - '0');
        }
        kept_int = (exponent_negative ? -exponent : exponent) + 1;
    } else {
        // Integer digits above the width are generated and thrown away.
        if (k <= 64) {
            while (k > width) {
                next_digit();
                k--;
            }
        }
        kept_int = k;
        // Digits past the rounding digit never reach the output, so they are
        // not computed.
        int64_t wanted = kept_int + precision + 1;
        count = wanted < 64 ? (int)wanted : 64;
        for (int i = 0; i < count; i++) digits[i] = (uint8_t)next_digit();
    }

    int64_t kept = kept_int + precision;  // integer + fraction digits
    if (kept < count && digits[kept] >= (base + 1) / 2) {
        int64_t i = kept - 1;
        while (i >= 0 && digits[i] == base - 1) {
            digits[i] = 0;
            i--;
        }
        if (i >= 0) {
            digits[i]++;
        } else if (kept_int < width) {
            digits[0] = 1;
            for (int j = 1; j < count; j++) digits[j] = 0;
            kept_int++;
            kept++;
        }
    }
    auto digit_at = [&](int64_t i) -> int { return i < count ? digits[i] : 0; };

    int64_t last_nonzero = -1;  // last fraction digit that is not 0
    for (int64_t i = kept - 1; i >= kept_int; i--) {
        if (digit_at(i) != 0) {
            last_nonzero = i;
            break;
        }
    }
    if (format.pad && width > kept_int) output_repeat(out, format.pad_char, width - kept_int);
    uint8_t text[64];
    int used = 0;
    for (int64_t i = 0; i < kept_int; i++) {
        if (used == (int)sizeof(text)) {
            output_bytes(out, text, used);
            used = 0;
        }
        text[used++] = digit_char(digit_at(i));
    }
    output_bytes(out, text, used);
    if (!format.pad) {
        if (last_nonzero < 0) return;
        output_byte(out, '.');
        for (int64_t i = kept_int; i <= last_nonzero; i++) output_byte(out, digit_char(digit_at(i)));
        return;
    }
    output_byte(out, '.');
    for (int64_t i = kept_int; i < kept; i++) {
        output_byte(out, i <= last_nonzero ? digit_char(digit_at(i)) : format.pad_char);
    }
}

void put_value(Output* out, const FormatArg& value) {
    switch (value.tag) {
    case FORMAT_SIGNED: {
        int64_t v = value.value.i;
        uint64_t magnitude = v < 0 ? 0 - (uint64_t)v : (uint64_t)v;
        put_integer(out, magnitude, v < 0, value.format);
        break;
    }
    case FORMAT_UNSIGNED: put_integer(out, value.value.u, false, value.format); break;
    case FORMAT_FLOAT: put_float(out, value.value.f, value.format); break;
    case FORMAT_BYTE: output_byte(out, value.value.byte); break;
    case FORMAT_STRING: output_bytes(out, value.value.data, value.length); break;
    default: break;  // unknown tags print nothing but keep their place
    }
}

// "%%" is a percent sign; "%a".."%z" / "%A".."%Z" / "%0".."%9" pick a value by
// number; "%" with anything else (or at the very end) takes the running
// value. A pick past the end of the list prints nothing.
void format_output(Output* out, String format, FormatArgs values) {
    int64_t next = 0;
    int64_t i = 0;
    int64_t n = format.length;
    const uint8_t* f = format.data;
    while (i < n) {
        int64_t run = i;
        while (run < n && f[run] != '%') run++;
        output_bytes(out, f + i, run - i);
        i = run;
        if (i >= n) break;
        int64_t selected = next;
        if (i + 1 < n) {
            uint8_t c = f[i + 1];
            if (c == '%') {
                output_byte(out, '%');
                i += 2;
                continue;
            }
            if (c >= 'a' && c <= 'z') selected = c - 'a';
            else if (c >= 'A' && c <= 'Z') selected = c - 'A';
            else if (c >= '0' && c <= '9') selected = c - '0';
            i += 2;
        } else {
            i += 1;
        }
        if (selected >= 0 && selected < values.count) put_value(out, values.items[selected]);
        next = selected + 1;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Tagged values

FormatArg fmt_int(int64_t value, NumberFormat format) {
    FormatArg arg = {};
    arg.tag = FORMAT_SIGNED;
    arg.value.i = value;
    arg.format = format;
    return arg;
}

FormatArg fmt_uint(uint64_t value, NumberFormat format) {
    FormatArg arg = {};
    arg.tag = FORMAT_UNSIGNED;
    arg.value.u = value;
    arg.format = format;
    return arg;
}

FormatArg fmt_float(double value, NumberFormat format) {
    FormatArg arg = {};
    arg.tag = FORMAT_FLOAT;
    arg.value.f = value;
    arg.format = format;
    return arg;
}

FormatArg fmt_byte(uint8_t value) {
    FormatArg arg = {};
    arg.tag = FORMAT_BYTE;
    arg.value.byte = value;
    arg.format = number_format_default;
    return arg;
}

FormatArg fmt_string(String value) {
    FormatArg arg = {};
    arg.tag = FORMAT_STRING;
    arg.value.data = value.data;
    arg.length = value.length;
    arg.format = number_format_default;
    return arg;
}

// ---------------------------------------------------------------------------
// Entry points

void print(String string) {
    if (string.length <= 0) return;
    std::fwrite(string.data, 1, (size_t)string.length, stdout);
    std::fflush(stdout);
}

void format_print(String format, FormatArgs values) {
    Output out;
    out.builder = nullptr;
    out.used = 0;
    format_output(&out, format, values);
    output_finish(&out);
}

void format_to_builder(StringBuilder* builder, String format, FormatArgs values) {
    Output out;
    out.builder = builder;
    out.used = 0;
    format_output(&out, format, values);
    output_flush(&out);
}

void print_integer(int64_t value, NumberFormat format) {
    Output out;
    out.builder = nullptr;
    out.used = 0;
    put_value(&out, fmt_int(value, format));
    output_finish(&out);
}

void print_unsigned(uint64_t value, NumberFormat format) {
    Output out;
    out.builder = nullptr;
    out.used = 0;
    put_integer(&out, value, false, format);
    output_finish(&out);
}

void print_float(double value, NumberFormat format) {
    Output out;
    out.builder = nullptr;
    out.used = 0;
    put_float(&out, value, format);
    output_finish(&out);
}

void builder_put_integer(StringBuilder* builder, int64_t value, NumberFormat format) {
    Output out;
    out.builder = builder;
    out.used = 0;
    put_value(&out, fmt_int(value, format));
    output_flush(&out);
}

void builder_put_unsigned(StringBuilder* builder, uint64_t value, NumberFormat format) {
    Output out;
    out.builder = builder;
    out.used = 0;
    put_integer(&out, value, false, format);
    output_flush(&out);
}

void builder_put_float(StringBuilder* builder, double value, NumberFormat format) {
    Output out;
    out.builder = builder;
    out.used = 0;
    put_float(&out, value, format);
    output_flush(&out);
}

// ---------------------------------------------------------------------------
// Scanning

int64_t scan_integer(TextReader* reader) {
    int64_t position = reader->position;
    int64_t length = reader->length;
    const uint8_t* data = reader->data;
    if (position < 0 || position >= length) return 0;
    bool negative = false;
    if (data[position] == '-') {
        negative = true;
        position++;
        reader->position = position;
        if (position >= length) return 0;
    }
    if ((unsigned)(data[position] - '0') > 9) return 0;
    // Too many digits saturate at the int64 limits instead of wrapping.
    uint64_t limit = negative ? (uint64_t)INT64_MAX + 1 : (uint64_t)INT64_MAX;
    uint64_t value = 0;
    while (position < length && (unsigned)(data[position] - '0') <= 9) {
        uint64_t digit = (uint64_t)(data[position] - '0');
        if (value > (limit - digit) / 10) value = limit;
        else value = value * 10 + digit;
        position++;
    }
    reader->position = position;
    if (negative) return (int64_t)(0 - value);
    return (int64_t)value;
}

// Decimal text to the nearest double. Up to 19 significant digits whose
// value and power of ten are both exact doubles need one correctly rounded
// multiply or divide; everything else goes through strtod on a copy of the
// digits. Only the first 64 significant digits are kept (later ones still
// move the decimal point), which is far below double precision.
double scan_float(TextReader* reader) {
    static const double powers[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    int64_t position = reader->position;
    int64_t length = reader->length;
    const uint8_t* data = reader->data;
    if (position < 0 || position >= length) return 0.0;
    bool negative = false;
    if (data[position] == '-') {
        negative = true;
        position++;
    }
    // Every boundary between two rounding results (a double, or a midpoint
    // between neighbours) has at most 767 significant digits. Past the kept
    // ones a text can only lie strictly between two kept-digit values, so one
    // nonzero digit standing for all the later ones rounds the same way.
    constexpr int KEPT_DIGITS = 800;
    char digits[KEPT_DIGITS + 1];
    int stored = 0;         // significant digits kept in `digits`
    uint64_t mantissa = 0;  // value of the first 19 kept digits
    int64_t exponent = 0;   // value = digits x 10^exponent
    bool point = false;
    bool dropped_nonzero = false;
    while (position < length) {
        uint8_t c = data[position];
        unsigned digit = (unsigned)(c - '0');
        if (digit <= 9) {
            if (stored == 0 && digit == 0) {
                if (point) exponent--;  // leading zero: only shifts the point
            } else if (stored < KEPT_DIGITS) {
                if (stored < 19) mantissa = mantissa * 10 + digit;
                digits[stored++] = (char)c;
                if (point) exponent--;
            } else {
                dropped_nonzero |= digit != 0;
                if (!point) exponent++;
            }
        } else if (c == '.') {
            point = true;
        } else {
            break;
        }
        position++;
    }
    reader->position = position;
    double result;
    if (stored == 0) {
        result = 0.0;
    } else {
        if (dropped_nonzero) {
            digits[stored++] = '1';
            exponent--;
        }
        if (stored > 19) {
            // Trailing zeros do not count towards the fast path's limit.
            while (digits[stored - 1] == '0') {
                stored--;
                exponent++;
            }
            if (stored <= 19) {
                mantissa = 0;
                for (int i = 0; i < stored; i++) mantissa = mantissa * 10 + (uint64_t)(digits[i] - '0');
            }
        }
        if (stored <= 19 && mantissa <= (1ull << 53) && exponent >= -22 && exponent <= 22) {
            result = (double)mantissa;
            result = exponent < 0 ? result / powers[-exponent] : result * powers[exponent];
        } else {
            char text[KEPT_DIGITS + 1 + 32];
            std::memcpy(text, digits, (size_t)stored);
            int used = stored;
            used += std::snprintf(text + used, sizeof(text) - (size_t)used, "e%lld", (long long)exponent);
            text[used < (int)sizeof(text) ? used : (int)sizeof(text) - 1] = 0;
            result = std::strtod(text, nullptr);
        }
    }
    return negative ? -result : result;
}
