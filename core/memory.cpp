// Bump pools. The records live in the editor state so that one global holds
// everything the program owns. Fixed pools are one malloc block; growing
// pools are a reserved range whose pages are made usable as they fill.
#include "core/memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/mman.h>

#include "app/editor.h"
#include "core/format.h"

Pool* pool_get(int8_t id) {
    if (id < 0 || id >= POOL_COUNT) return nullptr;
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

static int64_t round_up(int64_t value, int64_t step) { return (value + step - 1) / step * step; }

// Large pages: a scene load or a big import walks tens of megabytes of
// fresh records, and with small pages much of that time goes to page-table
// misses. Only a hint; refused is fine.
static void advise_large_pages(uint8_t* from, int64_t size) {
    uintptr_t start = ((uintptr_t)from + 4095) & ~(uintptr_t)4095;
    uintptr_t end = ((uintptr_t)from + (uintptr_t)size) & ~(uintptr_t)4095;
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

bool pool_create(int8_t id, int64_t capacity) {
    Pool* pool = pool_get(id);
    if (!pool) return false;
    *pool = Pool{};
    pool->base = static_cast<uint8_t*>(std::malloc((size_t)capacity));
    pool->capacity = pool->base ? capacity : 0;
    pool->committed = pool->capacity;
    if (pool->base) advise_large_pages(pool->base, capacity);
    return pool->base != nullptr;
}

// A range that costs no memory until it is made usable: no access, and not
// counted against the system's commit limit.
static void* map_reserved(void* at, int64_t size) {
    int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | (at ? MAP_FIXED : 0);
    void* result = mmap(at, (size_t)size, PROT_NONE, flags, -1, 0);
    return result == MAP_FAILED ? nullptr : result;
}

bool pool_create_growing(int8_t id, int64_t reserve) {
    Pool* pool = pool_get(id);
    if (!pool) return false;
    *pool = Pool{};
    reserve = round_up(reserve > POOL_COMMIT_STEP ? reserve : POOL_COMMIT_STEP, POOL_COMMIT_STEP);
    // A limit on address space (ulimit -v) may refuse the full range; half
    // of it still serves any real scene.
    for (int64_t size = reserve; size >= POOL_COMMIT_STEP; size /= 2) {
        // One step more than asked, so the base can sit on a large-page
        // boundary; the cut-off ends go back at once.
        uint8_t* range = static_cast<uint8_t*>(map_reserved(nullptr, size + POOL_COMMIT_STEP));
        if (!range) continue;
        uint8_t* base = reinterpret_cast<uint8_t*>(round_up((int64_t)(uintptr_t)range, POOL_COMMIT_STEP));
        if (base > range) munmap(range, (size_t)(base - range));
        uint8_t* end = range + size + POOL_COMMIT_STEP;
        if (end > base + size) munmap(base + size, (size_t)(end - (base + size)));
        pool->base = base;
        pool->capacity = size;
        pool->growing = true;
        return true;
    }
    return false;
}

void pool_release(int8_t id) {
    Pool* pool = pool_get(id);
    if (!pool) return;
    if (pool->base) {
        if (pool->growing) munmap(pool->base, (size_t)pool->capacity);
        else std::free(pool->base);
    }
    *pool = Pool{};
}

void pool_reset(int8_t id) {
    if (Pool* pool = pool_get(id)) pool->used = 0;
}

void pool_give_back(int8_t id) { pool_trim(id, 0); }

void pool_trim(int8_t id, int64_t keep) {
    Pool* pool = pool_get(id);
    if (!pool || !pool->base || !pool->growing) return;
    keep = round_up(keep > pool->used ? keep : pool->used, POOL_COMMIT_STEP);
    if (keep >= pool->committed) return;
    // Mapping the range anew drops its pages and its commit charge at once;
    // should that be refused, the pages still go (the range stays usable).
    if (map_reserved(pool->base + keep, pool->committed - keep)) pool->committed = keep;
    else madvise(pool->base + keep, (size_t)(pool->committed - keep), MADV_DONTNEED);
}

void pool_empty(int8_t id) {
    pool_reset(id);
    pool_give_back(id);
}

// Makes the pages up to `needed` bytes from base usable. False when the
// range is used up or the system refuses the memory.
static bool pool_commit(Pool* pool, int64_t needed) {
    if (needed <= pool->committed) return true;
    if (!pool->growing || needed > pool->capacity) return false;
    int64_t target = round_up(needed, POOL_COMMIT_STEP);
    if (target > pool->capacity) target = pool->capacity;
    if (mprotect(pool->base + pool->committed, (size_t)(target - pool->committed), PROT_READ | PROT_WRITE) != 0) {
        return false;
    }
    advise_large_pages(pool->base + pool->committed, target - pool->committed);
    pool->committed = target;
    return true;
}

static void* pool_bump(Pool* pool, int64_t size) {
    pool->used = (pool->used + 7) & ~(int64_t)7;
    if (size < 0 || size > pool->capacity - pool->used) return nullptr;
    if (!pool_commit(pool, pool->used + size)) return nullptr;
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
        if (!pool_commit(pool, pool->used + new_size - old_size)) return nullptr;
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
