// The byte-view string every module passes around. Not terminated, not
// owning: the bytes live in a pool or in constant storage.
#pragma once

#include <cstdint>
#include <cstring>

struct String {
    const uint8_t* data;   // first byte, may be null when length is 0
    int64_t length;        // bytes
};

// A view of a string literal (without its terminating zero).
template <int64_t N>
constexpr String S(const char (&literal)[N]) {
    return String{reinterpret_cast<const uint8_t*>(literal), N - 1};
}

// A view of a zero-terminated C string (length up to the zero byte).
inline String string_from_cstring(const char* text) {
    return String{reinterpret_cast<const uint8_t*>(text), text ? (int64_t)std::strlen(text) : 0};
}
