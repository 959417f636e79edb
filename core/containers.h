// Growable arrays in a chosen pool, string helpers, the string builder with
// its write cursor, the text reader with its read cursor, the two hash maps
// (FNV-1a, open addressing) and the stable merge sort. Memory comes from the
// pools (core/memory.h) and is never freed; emptying is setting count to 0.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/memory.h"
#include "core/types.h"

// ---------------------------------------------------------------------------
// Arrays. Growth: capacity 1 on first use, then doubling through pool_realloc.
// A full pool leaves the array unchanged and the push reports -1.
template <typename T>
struct Array {
    T* data;           // null until the first push
    int64_t count;     // elements in use
    int64_t capacity;  // elements that fit in data
    int8_t pool;       // pool the array grows in
};

template <typename T>
Array<T> array_make(int8_t pool) {
    return Array<T>{nullptr, 0, 0, pool};
}

template <typename T>
bool array_reserve_one(Array<T>* array) {
    static_assert(std::is_trivially_copyable_v<T>, "arrays hold plain records only");
    if (!array->data) {
        T* data = pool_alloc_array<T>(array->pool, 1);
        if (!data) return false;
        array->data = data;
        array->capacity = 1;
        array->count = 0;
    } else if (array->count == array->capacity) {
        int64_t old_size = array->capacity * (int64_t)sizeof(T);
        T* data = static_cast<T*>(pool_realloc(array->pool, array->data, old_size, old_size * 2));
        if (!data) return false;
        array->data = data;
        array->capacity *= 2;
    }
    return true;
}

// Appends; returns the new element's index, or -1 when the pool is full.
template <typename T>
int64_t array_push(Array<T>* array, const T& element) {
    T copy = element;  // the element may live inside the array being grown
    if (!array_reserve_one(array)) return -1;
    array->data[array->count] = copy;
    return array->count++;
}

// Inserts before `index`; negative inserts first, past the end appends.
// Returns the index used, or -1 when the pool is full.
template <typename T>
int64_t array_insert(Array<T>* array, int64_t index, const T& element) {
    T copy = element;
    if (!array_reserve_one(array)) return -1;
    if (index < 0) index = 0;
    if (index > array->count) index = array->count;
    std::memmove(array->data + index + 1, array->data + index, (size_t)(array->count - index) * sizeof(T));
    array->data[index] = copy;
    array->count++;
    return index;
}

// Removes the element at `index`; outside 0..count-1 does nothing.
template <typename T>
void array_remove(Array<T>* array, int64_t index) {
    if (index < 0 || index >= array->count) return;
    std::memmove(array->data + index, array->data + index + 1, (size_t)(array->count - index - 1) * sizeof(T));
    array->count--;
}

// Makes room for `count` elements in total (one allocation, for bulk loads).
template <typename T>
bool array_reserve(Array<T>* array, int64_t capacity) {
    if (capacity <= array->capacity) return true;
    if ((uint64_t)capacity > (uint64_t)INT64_MAX / sizeof(T)) return false;
    T* data;
    if (!array->data) data = pool_alloc_array<T>(array->pool, capacity);
    else data = static_cast<T*>(pool_realloc(array->pool, array->data, array->capacity * (int64_t)sizeof(T), capacity * (int64_t)sizeof(T)));
    if (!data) return false;
    array->data = data;
    array->capacity = capacity;
    return true;
}

// ---------------------------------------------------------------------------
// Strings
String string_copy(String string);                            // into POOL_PERSISTENT
String string_copy_to(String string, int8_t pool);
String string_concat(String a, String b, int8_t pool);
bool string_equal(String a, String b);
int string_compare(String a, String b);                       // byte order: <0, 0, >0
// Zero-terminated copy in the pool, for the C library and the platform.
const char* string_to_cstring(String string, int8_t pool);

struct StringBuilder {
    uint8_t* data;      // null until the first byte
    int64_t length;     // largest cursor position reached
    int64_t capacity;
    int8_t pool;
    int64_t cursor;     // where the next byte goes
};

StringBuilder builder_init(int8_t pool);
void builder_put_char(StringBuilder* builder, uint8_t byte);
void builder_put_bytes(StringBuilder* builder, const void* bytes, int64_t count);
void builder_put_string(StringBuilder* builder, String string);
String builder_to_string(const StringBuilder* builder);
// False when an earlier write could not grow the builder (pool full).
bool builder_failed(const StringBuilder* builder);
void string_assign_from_builder(String* target, const StringBuilder* builder);

struct TextReader {
    const uint8_t* data;
    int64_t length;
    int64_t capacity;
    int64_t position;
};

TextReader reader_make(String string);
bool reader_at_end(const TextReader* reader);
bool reader_starts_with(const TextReader* reader, String string);
int64_t reader_read_bytes(TextReader* reader, int64_t n, void* destination);
// An 8-byte little-endian length then that many bytes. A length that does not
// fit in the remaining bytes gives an empty string, sets *ok to false and
// leaves the position at the end of the data.
String reader_read_string(TextReader* reader, bool* ok = nullptr);

// The next line of `text` from `*position` (which moves past its line feed),
// without the line feed and without a carriage return before it, so files
// saved with CR LF read like LF files. False once the text is used up.
bool text_next_line(String text, int64_t* position, String* line);

// ---------------------------------------------------------------------------
// Whole files: read into the pool; empty result when missing or unreadable.
String file_read_all(String path, int8_t pool);

// ---------------------------------------------------------------------------
// Maps
uint32_t hash_fnv1a(const void* bytes, int64_t length);

struct StringMapSlot { const uint8_t* key; int64_t key_length; int64_t value; };
struct StringMap {
    StringMapSlot* slots;
    int64_t capacity;     // slot count, a power of two
    int64_t count;        // insertions, for the growth rule
    int64_t probe_limit;
    int8_t pool;
};

StringMap string_map_make(int8_t pool);
// False only when the pool is full (the map keeps its old content).
bool map_insert(StringMap* map, String key, int64_t value);
bool map_lookup(const StringMap* map, String key, int64_t* value);
void map_clear(StringMap* map);   // zeroes every slot, count 0

struct IntMapSlot { uint32_t key; uint32_t value; };
struct IntMap {
    IntMapSlot* slots;
    int64_t slot_count;
    int64_t capacity;
    int64_t probe_limit;
    int64_t count;
    int8_t pool;
};

IntMap int_map_make(int8_t pool);
uint32_t int_map_hash(uint32_t key);
// Keys are not compared: a key inserted twice takes two slots. Values are
// never 0 (0 marks an empty slot).
bool int_map_insert(IntMap* map, uint32_t key, uint32_t value);
bool int_map_lookup(const IntMap* map, uint32_t key, uint32_t* value);

// ---------------------------------------------------------------------------
// Stable ascending merge sort (bottom-up with a natural first run). `less`
// must be a strict order; scratch holds as many elements as the array.
template <typename T, typename Less>
void merge_sort(T* items, int64_t count, T* scratch, Less less) {
    if (count < 2) return;
    int64_t run = 1;
    while (run < count && !less(items[run], items[run - 1])) run++;
    if (run >= count) return;
    while (run < count) {
        int64_t block = run;
        if (run + block > count) block = count - run;
        merge_sort(items + run, block, scratch, less);
        std::memcpy(static_cast<void*>(scratch), items, (size_t)(run + block) * sizeof(T));
        int64_t a = 0, b = run, out = 0, a_end = run, b_end = run + block;
        while (a < a_end && b < b_end) {
            if (less(scratch[b], scratch[a])) items[out++] = scratch[b++];
            else items[out++] = scratch[a++];
        }
        while (a < a_end) items[out++] = scratch[a++];
        while (b < b_end) items[out++] = scratch[b++];
        run += block;
    }
}

void merge_sort_strings(Array<String>* array, int8_t scratch_pool);
