// Bump pools own all dynamic memory: the persistent pool lives for the whole
// run, the frame pool is emptied at the top of every frame, the two scene
// arenas hold the open scene and the one being built, the scratch pool holds
// one large operation at a time. Nothing is freed piece by piece. Only
// trivially destructible records belong in them.
#pragma once

#include <cstdint>

enum : int8_t {
    POOL_PERSISTENT = 0,
    POOL_FRAME = 1,
    POOL_SCENE_A = 2,   // the scene arenas: one holds the open scene, the
    POOL_SCENE_B = 3,   // other is where the next one is built
    POOL_SCRATCH = 4,   // files and copies too large for the frame pool
    POOL_COUNT = 5,
};

constexpr int64_t POOL_PERSISTENT_CAPACITY = 67108864;  // 64 MiB
constexpr int64_t POOL_FRAME_CAPACITY = 16777216;       // 16 MiB
// Address space a growing pool asks for; less is taken when the system
// refuses that much. Only the pages in use cost memory.
constexpr int64_t POOL_GROWING_RESERVE = INT64_C(1) << 36;  // 64 GiB
// Growing pools make pages usable in steps of this size (a large page).
constexpr int64_t POOL_COMMIT_STEP = INT64_C(1) << 21;     // 2 MiB

struct Pool {
    uint8_t* base;      // block from malloc (fixed) or reserved range (growing); null before start-up
    int64_t capacity;   // bytes in the block or the reserved range
    int64_t used;       // bytes handed out, counted from base
    int64_t committed;  // bytes from base that may be touched; the capacity for a fixed pool
    bool growing;       // pages are made usable as `used` grows and can be given back
};

// The record of pool `id` (0 .. POOL_COUNT-1) inside the editor state; null
// otherwise.
Pool* pool_get(int8_t id);

// Allocates the block of pool `id` (malloc) with nothing used. False when
// the machine refused the memory.
bool pool_create(int8_t id, int64_t capacity);
// Reserves up to `reserve` bytes of address space for pool `id` and makes
// pages usable only as allocations reach them; a refused page fails the
// allocation like a full pool. False when no address space could be had.
bool pool_create_growing(int8_t id, int64_t reserve);
void pool_release(int8_t id);
void pool_reset(int8_t id);   // empties the pool: used = 0
// Growing pools: the pages past `used` go back to the system (a later
// allocation takes fresh zero pages). Fixed pools: nothing happens.
void pool_give_back(int8_t id);
// The same, keeping the first `keep` bytes of pages whatever is used.
void pool_trim(int8_t id, int64_t keep);
// pool_reset followed by pool_give_back.
void pool_empty(int8_t id);

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
