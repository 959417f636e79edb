// Texts the property tests compare: a field's text, and a number as the
// panels print it.
#pragma once

#include <string>

#include "core/format.h"
#include "ui/text_field.h"

inline std::string text_of(const TextField& field) {
    String text = text_field_text(&field);
    return std::string(reinterpret_cast<const char*>(text.data), (size_t)text.length);
}

inline std::string number_text(double value) {
    StringBuilder builder = builder_init(POOL_FRAME);
    builder_put_float(&builder, value, number_format_default);
    String s = builder_to_string(&builder);
    return std::string(reinterpret_cast<const char*>(s.data), (size_t)s.length);
}
