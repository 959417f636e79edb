// Bump pools. The two records live in the editor state so that one global
// holds everything the program owns.
#include "core/memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/mman.h>

#include "app/editor.h"
#include "core/format.h"

Pool* pool_get(int8_t id) {
    if (id != POOL_PERSISTENT && id != POOL_FRAME) return nullptr;
    return &editor.pools[id];
}

static Pool* pool_known(int8_t id, String who) {
    Pool* pool = pool_get(id);
    if (!pool) {
        print(who);
        print_integer(id, number_format_default);
        print(S("\n"));
    }
    return pool;
}

bool pool_create(int8_t id, int64_t capacity) {
    Pool* pool = pool_get(id);
    if (!pool) return false;
    pool->base = static_cast<uint8_t*>(std::malloc((size_t)capacity));
    pool->capacity = pool->base ? capacity : 0;
    pool->used = 0;
    if (pool->base) {
        // Large pages for the pools: a scene load or a big import walks tens
        // of megabytes of fresh records, and with small pages much of that
        // time goes to page-table misses. Only a hint; refused is fine.
        uintptr_t start = ((uintptr_t)pool->base + 4095) & ~(uintptr_t)4095;
        uintptr_t end = ((uintptr_t)pool->base + (uintptr_t)capacity) & ~(uintptr_t)4095;
        if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    }
    return pool->base != nullptr;
}

void pool_release(int8_t id) {
    Pool* pool = pool_get(id);
    if (!pool) return;
    if (pool->base) std::free(pool->base);
    *pool = Pool{};
}

void pool_reset(int8_t id) {
    if (Pool* pool = pool_get(id)) pool->used = 0;
}

static void* pool_bump(Pool* pool, int64_t size) {
    pool->used = (pool->used + 7) & ~(int64_t)7;
    if (size < 0 || size > pool->capacity - pool->used) return nullptr;
    uint8_t* result = pool->base + pool->used;
    pool->used += size;
    return result;
}

void* pool_alloc(int8_t id, int64_t size) {
    Pool* pool = pool_known(id, S("pool_alloc: unknown pool "));
    if (!pool || !pool->base) return nullptr;
    return pool_bump(pool, size);
}

void* pool_realloc(int8_t id, void* old_pointer, int64_t old_size, int64_t new_size) {
    Pool* pool = pool_known(id, S("pool_realloc: unknown pool "));
    if (!pool || !pool->base) return nullptr;
    uint8_t* old_bytes = static_cast<uint8_t*>(old_pointer);
    if (old_bytes && old_bytes + old_size == pool->base + pool->used) {
        // The most recent block grows in place. Unlike a plain bump, a
        // refusal leaves `used` as it was so the block stays valid.
        if (new_size - old_size > pool->capacity - pool->used) return nullptr;
        pool->used += new_size - old_size;
        return old_pointer;
    }
    void* fresh = pool_bump(pool, new_size);
    if (!fresh) return nullptr;
    if (old_bytes && old_size > 0) std::memcpy(fresh, old_bytes, (size_t)old_size);
    return fresh;
}

PoolMark pool_mark(int8_t id) {
    Pool* pool = pool_get(id);
    return PoolMark{id, pool ? pool->used : 0};
}

void pool_restore(PoolMark mark) {
    if (Pool* pool = pool_get(mark.pool)) pool->used = mark.used;
}
