// Two bump pools own all dynamic memory: the persistent pool lives for the
// whole run, the frame pool is emptied at the top of every frame. Nothing is
// freed piece by piece. Only trivially destructible records belong in them.
#pragma once

#include <cstdint>

enum : int8_t { POOL_PERSISTENT = 0, POOL_FRAME = 1 };

constexpr int64_t POOL_PERSISTENT_CAPACITY = 67108864;  // 64 MiB
constexpr int64_t POOL_FRAME_CAPACITY = 16777216;       // 16 MiB

struct Pool {
    uint8_t* base;      // block from malloc, null before start-up
    int64_t capacity;   // bytes in the block
    int64_t used;       // bytes handed out, counted from base
};

// The record of pool `id` (0 or 1) inside the editor state; null otherwise.
Pool* pool_get(int8_t id);

// Allocates the block of pool `id` (malloc) with nothing used. False when
// the machine refused the memory.
bool pool_create(int8_t id, int64_t capacity);
void pool_release(int8_t id);
void pool_reset(int8_t id);   // empties the pool: used = 0

// Returns `size` bytes (8-byte aligned offset from base) or null when full.
void* pool_alloc(int8_t id, int64_t size);
// Grows a block, in place when it is the most recent one. Null when full.
void* pool_realloc(int8_t id, void* old_pointer, int64_t old_size, int64_t new_size);

// Allocation with the element count checked for overflow; null when it
// would overflow or the pool is full.
template <typename T>
T* pool_alloc_array(int8_t id, int64_t count) {
    if (count < 0 || (count > 0 && (uint64_t)count > (uint64_t)INT64_MAX / sizeof(T))) return nullptr;
    return static_cast<T*>(pool_alloc(id, count * (int64_t)sizeof(T)));
}

// Saves and restores a pool's fill level, for scratch work that ends with
// the routine that started it.
struct PoolMark { int8_t pool; int64_t used; };
PoolMark pool_mark(int8_t id);
void pool_restore(PoolMark mark);
