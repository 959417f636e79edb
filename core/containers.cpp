// Strings, builder, reader, maps and whole-file reads over the pools.
#include "core/containers.h"

#include "platform/platform.h"

String string_copy_to(String string, int8_t pool) {
    if (string.length <= 0) return String{nullptr, 0};
    uint8_t* bytes = static_cast<uint8_t*>(pool_alloc(pool, string.length));
    if (!bytes) return String{nullptr, 0};
    std::memcpy(bytes, string.data, (size_t)string.length);
    return String{bytes, string.length};
}

String string_copy(String string) { return string_copy_to(string, POOL_PERSISTENT); }

String string_concat(String a, String b, int8_t pool) {
    int64_t length = a.length + b.length;
    if (length <= 0) return String{nullptr, 0};
    uint8_t* bytes = static_cast<uint8_t*>(pool_alloc(pool, length));
    if (!bytes) return String{nullptr, 0};
    if (a.length > 0) std::memcpy(bytes, a.data, (size_t)a.length);
    if (b.length > 0) std::memcpy(bytes + a.length, b.data, (size_t)b.length);
    return String{bytes, length};
}

bool string_equal(String a, String b) {
    if (a.length != b.length) return false;
    return a.length == 0 || std::memcmp(a.data, b.data, (size_t)a.length) == 0;
}

int string_compare(String a, String b) {
    int64_t common = a.length < b.length ? a.length : b.length;
    if (common > 0) {
        int c = std::memcmp(a.data, b.data, (size_t)common);
        if (c != 0) return c;
    }
    return a.length < b.length ? -1 : (a.length > b.length ? 1 : 0);
}

const char* string_to_cstring(String string, int8_t pool) {
    int64_t length = string.length > 0 ? string.length : 0;
    char* text = static_cast<char*>(pool_alloc(pool, length + 1));
    if (!text) return "";
    if (length) std::memcpy(text, string.data, (size_t)length);
    text[length] = 0;
    return text;
}

// ---------------------------------------------------------------------------
StringBuilder builder_init(int8_t pool) { return StringBuilder{nullptr, 0, 0, pool, 0}; }

// A builder whose pool refused to grow it keeps capacity -1 as a mark; later
// writes are dropped so that a failed export or save is detected, not written.
static bool builder_grow(StringBuilder* builder, int64_t needed) {
    if (builder->capacity < 0) return false;
    if (!builder->data) {
        int64_t capacity = 1;
        while (capacity < needed) capacity *= 2;
        builder->data = static_cast<uint8_t*>(pool_alloc(builder->pool, capacity));
        if (!builder->data) { builder->capacity = -1; return false; }
        builder->capacity = capacity;
        return true;
    }
    int64_t capacity = builder->capacity;
    while (capacity < needed) capacity *= 2;
    void* grown = pool_realloc(builder->pool, builder->data, builder->capacity, capacity);
    if (!grown) { builder->capacity = -1; return false; }
    builder->data = static_cast<uint8_t*>(grown);
    builder->capacity = capacity;
    return true;
}

void builder_put_char(StringBuilder* builder, uint8_t byte) {
    if (builder->cursor >= builder->capacity && !builder_grow(builder, builder->cursor + 1)) return;
    builder->data[builder->cursor++] = byte;
    if (builder->cursor > builder->length) builder->length = builder->cursor;
}

void builder_put_bytes(StringBuilder* builder, const void* bytes, int64_t count) {
    if (count <= 0) return;
    if (builder->cursor + count > builder->capacity && !builder_grow(builder, builder->cursor + count)) return;
    std::memcpy(builder->data + builder->cursor, bytes, (size_t)count);
    builder->cursor += count;
    if (builder->cursor > builder->length) builder->length = builder->cursor;
}

void builder_put_string(StringBuilder* builder, String string) { builder_put_bytes(builder, string.data, string.length); }

String builder_to_string(const StringBuilder* builder) { return String{builder->data, builder->data ? builder->length : 0}; }

bool builder_failed(const StringBuilder* builder) { return builder->capacity < 0; }

void string_assign_from_builder(String* target, const StringBuilder* builder) {
    int64_t length = builder->data ? builder->length : 0;
    if (length == 0) { target->length = 0; return; }
    uint8_t* bytes = const_cast<uint8_t*>(target->data);
    if (!bytes) {
        bytes = static_cast<uint8_t*>(pool_alloc(POOL_PERSISTENT, length));
    } else if (target->length < length) {
        bytes = static_cast<uint8_t*>(pool_realloc(POOL_PERSISTENT, bytes, target->length, length));
    }
    if (!bytes) return;  // pool full: the target keeps its old text
    std::memcpy(bytes, builder->data, (size_t)length);
    target->data = bytes;
    target->length = length;
}

// ---------------------------------------------------------------------------
TextReader reader_make(String string) {
    int64_t length = string.data ? string.length : 0;
    return TextReader{string.data, length, length, 0};
}

bool reader_at_end(const TextReader* reader) { return reader->position >= reader->length; }

bool reader_starts_with(const TextReader* reader, String string) {
    if (string.length > reader->length - reader->position) return false;
    return string.length == 0 || std::memcmp(reader->data + reader->position, string.data, (size_t)string.length) == 0;
}

int64_t reader_read_bytes(TextReader* reader, int64_t n, void* destination) {
    int64_t available = reader->capacity - reader->position;
    if (n > available) n = available;
    if (n <= 0) return 0;
    std::memcpy(destination, reader->data + reader->position, (size_t)n);
    reader->position += n;
    return n;
}

String reader_read_string(TextReader* reader, bool* ok) {
    uint8_t bytes[8] = {};
    int64_t got = reader_read_bytes(reader, 8, bytes);
    uint64_t length = 0;
    for (int i = 7; i >= 0; i--) length = (length << 8) | bytes[i];
    int64_t remaining = reader->capacity - reader->position;
    if (got != 8 || length > (uint64_t)remaining) {
        if (ok) *ok = false;
        reader->position = reader->capacity;
        return String{nullptr, 0};
    }
    String result{reader->data + reader->position, (int64_t)length};
    reader->position += (int64_t)length;
    return result;
}

bool text_next_line(String text, int64_t* position, String* line) {
    if (*position >= text.length) return false;
    const uint8_t* start = text.data + *position;
    int64_t remaining = text.length - *position;
    const uint8_t* feed = static_cast<const uint8_t*>(std::memchr(start, '\n', (size_t)remaining));
    int64_t length = feed ? feed - start : remaining;
    *position += feed ? length + 1 : length;
    if (length > 0 && start[length - 1] == '\r') length--;
    *line = String{start, length};
    return true;
}

// ---------------------------------------------------------------------------
String file_read_all(String path, int8_t pool) {
    FileHandle file = file_open(&path, FILE_READ);
    if (file_failed(file)) return String{nullptr, 0};
    int64_t size = file_size(file);
    if (size <= 0) { file_close(file); return String{nullptr, 0}; }
    PoolMark mark = pool_mark(pool);
    uint8_t* bytes = static_cast<uint8_t*>(pool_alloc(pool, size));
    if (!bytes) { pool_restore(mark); file_close(file); return String{nullptr, 0}; }
    int64_t got = file_read(file, size, bytes);
    file_close(file);
    if (got != size) { pool_restore(mark); return String{nullptr, 0}; }
    return String{bytes, size};
}

// ---------------------------------------------------------------------------
uint32_t hash_fnv1a(const void* bytes, int64_t length) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    uint32_t hash = 2166136261u;
    for (int64_t i = 0; i < length; i++) {
        hash ^= p[i];
        hash *= 16777619u;
    }
    return hash;
}

StringMap string_map_make(int8_t pool) { return StringMap{nullptr, 0, 0, 0, pool}; }

static bool string_map_grow(StringMap* map) {
    int64_t capacity = map->capacity * 2;
    StringMapSlot* slots = pool_alloc_array<StringMapSlot>(map->pool, capacity);
    if (!slots) return false;
    std::memset(static_cast<void*>(slots), 0, (size_t)capacity * sizeof(StringMapSlot));
    for (int64_t i = 0; i < map->capacity; i++) {
        StringMapSlot slot = map->slots[i];
        if (slot.key_length == 0) continue;
        uint64_t at = hash_fnv1a(slot.key, slot.key_length) & (uint64_t)(capacity - 1);
        while (slots[at].key_length != 0) at = (at + 1) & (uint64_t)(capacity - 1);
        slots[at] = slot;
    }
    map->slots = slots;
    map->capacity = capacity;
    map->probe_limit++;
    return true;
}

static bool slot_holds(const StringMapSlot& slot, String key) {
    return slot.key_length == key.length && std::memcmp(slot.key, key.data, (size_t)key.length) == 0;
}

bool map_insert(StringMap* map, String key, int64_t value) {
    if (key.length <= 0) return false;  // the empty key marks empty slots
    if (!map->slots) {
        StringMapSlot* slots = pool_alloc_array<StringMapSlot>(map->pool, 8);
        if (!slots) return false;
        std::memset(static_cast<void*>(slots), 0, 8 * sizeof(StringMapSlot));
        map->slots = slots;
        map->capacity = 8;
        map->probe_limit = 3;
        map->count = 0;
    }
    if (map->count > map->capacity / 2 && !string_map_grow(map)) return false;
    uint32_t hash = hash_fnv1a(key.data, key.length);
    uint64_t at = hash & (uint64_t)(map->capacity - 1);
    int64_t probes = 0;
    while (map->slots[at].key_length != 0 && !slot_holds(map->slots[at], key)) {
        if (++probes >= map->probe_limit) {
            if (!string_map_grow(map)) return false;
            at = hash & (uint64_t)(map->capacity - 1);
            probes = 0;
            continue;
        }
        at = (at + 1) & (uint64_t)(map->capacity - 1);
    }
    map->slots[at] = StringMapSlot{key.data, key.length, value};
    map->count++;
    return true;
}

bool map_lookup(const StringMap* map, String key, int64_t* value) {
    if (!map->slots || key.length <= 0) return false;
    uint64_t home = hash_fnv1a(key.data, key.length) & (uint64_t)(map->capacity - 1);
    uint64_t at = home;
    do {
        const StringMapSlot& slot = map->slots[at];
        if (slot.key_length == 0) return false;
        if (slot_holds(slot, key)) {
            if (value) *value = slot.value;
            return true;
        }
        at = (at + 1) & (uint64_t)(map->capacity - 1);
    } while (at != home);
    return false;
}

void map_clear(StringMap* map) {
    if (map->slots) std::memset(static_cast<void*>(map->slots), 0, (size_t)map->capacity * sizeof(StringMapSlot));
    map->count = 0;
}

IntMap int_map_make(int8_t pool) { return IntMap{nullptr, 0, 0, 0, 0, pool}; }

uint32_t int_map_hash(uint32_t key) {
    uint8_t bytes[4] = {(uint8_t)(key >> 24), (uint8_t)(key >> 16), (uint8_t)(key >> 8), (uint8_t)key};
    return hash_fnv1a(bytes, 4);
}

static bool int_map_grow(IntMap* map) {
    int64_t capacity = map->capacity * 2;
    IntMapSlot* slots = pool_alloc_array<IntMapSlot>(map->pool, capacity);
    if (!slots) return false;
    std::memset(static_cast<void*>(slots), 0, (size_t)capacity * sizeof(IntMapSlot));
    for (int64_t i = 0; i < map->capacity; i++) {
        IntMapSlot slot = map->slots[i];
        if (slot.value == 0) continue;
        uint64_t at = int_map_hash(slot.key) & (uint64_t)(capacity - 1);
        while (slots[at].value != 0) at = (at + 1) & (uint64_t)(capacity - 1);
        slots[at] = slot;
    }
    map->slots = slots;
    map->capacity = capacity;
    map->slot_count = capacity;
    map->probe_limit++;
    return true;
}

bool int_map_insert(IntMap* map, uint32_t key, uint32_t value) {
    if (value == 0) return false;
    if (!map->slots) {
        IntMapSlot* slots = pool_alloc_array<IntMapSlot>(map->pool, 8);
        if (!slots) return false;
        std::memset(static_cast<void*>(slots), 0, 8 * sizeof(IntMapSlot));
        map->slots = slots;
        map->capacity = map->slot_count = 8;
        map->probe_limit = 3;
        map->count = 0;
    }
    if (map->count > map->capacity / 2 && !int_map_grow(map)) return false;
    uint32_t hash = int_map_hash(key);
    uint64_t at = hash & (uint64_t)(map->capacity - 1);
    int64_t probes = 0;
    while (map->slots[at].value != 0) {
        if (++probes >= map->probe_limit) {
            if (!int_map_grow(map)) return false;
            at = hash & (uint64_t)(map->capacity - 1);
            probes = 0;
            continue;
        }
        at = (at + 1) & (uint64_t)(map->capacity - 1);
    }
    map->slots[at] = IntMapSlot{key, value};
    map->count++;
    return true;
}

bool int_map_lookup(const IntMap* map, uint32_t key, uint32_t* value) {
    if (!map->slots) return false;
    uint64_t home = int_map_hash(key) & (uint64_t)(map->capacity - 1);
    uint64_t at = home;
    do {
        const IntMapSlot& slot = map->slots[at];
        if (slot.value == 0) return false;
        if (slot.key == key) {
            if (value) *value = slot.value;
            return true;
        }
        at = (at + 1) & (uint64_t)(map->capacity - 1);
    } while (at != home);
    return false;
}

// ---------------------------------------------------------------------------
void merge_sort_strings(Array<String>* array, int8_t scratch_pool) {
    if (array->count < 2) return;
    PoolMark mark = pool_mark(scratch_pool);
    String* scratch = pool_alloc_array<String>(scratch_pool, array->count);
    if (scratch) merge_sort(array->data, array->count, scratch, [](const String& a, const String& b) { return string_compare(a, b) < 0; });
    pool_restore(mark);  // the scratch is the last block: give it back
}
