// The editor's own formatter: "%." takes the next value, "%a".."%z" pick a
// value by letter, "%%" is a percent sign. Numbers are printed and scanned by
// our own digit routines so that stored text is the same on every machine.
// Console output goes to standard output, flushed after each call.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "core/containers.h"
#include "core/types.h"

struct NumberFormat {
    int16_t base;       // radix of the digits
    int16_t width;      // most integer digits printed; field width when padded
    int16_t precision;  // fraction digits computed for floating point
    uint8_t pad;        // padding on / off
    uint8_t pad_char;
};

extern const NumberFormat number_format_default;  // 10, 64, 4, off, '0'
extern const NumberFormat number_format_file;     // 10, 64, 12, off, '0'

enum : uint8_t {
    FORMAT_SIGNED = 0,
    FORMAT_UNSIGNED = 1,
    FORMAT_FLOAT = 2,
    FORMAT_BYTE = 4,
    FORMAT_STRING = 5,
};

struct FormatArg {
    uint8_t tag;
    union {
        int64_t i;
        uint64_t u;
        double f;
        uint8_t byte;
        const uint8_t* data;
    } value;
    int64_t length;       // strings only
    NumberFormat format;
};

struct FormatArgs {
    const FormatArg* items;
    int64_t count;
};

// Tagged values, used as format_print(S("a %. b\n"), {fmt_int(3)}).
FormatArg fmt_int(int64_t value, NumberFormat format = number_format_default);
FormatArg fmt_uint(uint64_t value, NumberFormat format = number_format_default);
FormatArg fmt_float(double value, NumberFormat format = number_format_default);
FormatArg fmt_byte(uint8_t value);
FormatArg fmt_string(String value);

void print(String string);
void format_print(String format, FormatArgs values);
void format_to_builder(StringBuilder* builder, String format, FormatArgs values);

inline void format_print(String format, std::initializer_list<FormatArg> values) {
    format_print(format, FormatArgs{values.begin(), (int64_t)values.size()});
}
inline void format_to_builder(StringBuilder* builder, String format, std::initializer_list<FormatArg> values) {
    format_to_builder(builder, format, FormatArgs{values.begin(), (int64_t)values.size()});
}

void print_integer(int64_t value, NumberFormat format);
void print_unsigned(uint64_t value, NumberFormat format);
void print_float(double value, NumberFormat format);
void builder_put_integer(StringBuilder* builder, int64_t value, NumberFormat format);
void builder_put_unsigned(StringBuilder* builder, uint64_t value, NumberFormat format);
void builder_put_float(StringBuilder* builder, double value, NumberFormat format);

// Read one number at the reader's position and advance it.
int64_t scan_integer(TextReader* reader);
double scan_float(TextReader* reader);
