// Pools and containers: growth, placement, map probing and the stable sort.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "core/containers.h"
#include "core/memory.h"
#include "support/pool_fixture.h"

class PoolsTest : public PoolTest {};

TEST_F(PoolsTest, AllocationsAreAlignedAndPacked) {
    Pool* frame = pool_get(POOL_FRAME);
    uint8_t* a = static_cast<uint8_t*>(pool_alloc(POOL_FRAME, 3));
    uint8_t* b = static_cast<uint8_t*>(pool_alloc(POOL_FRAME, 3));
    EXPECT_EQ(a, frame->base);
    EXPECT_EQ(b - a, 8);
    uint8_t* empty = static_cast<uint8_t*>(pool_alloc(POOL_FRAME, 0));
    EXPECT_EQ(empty - a, 16);
    EXPECT_EQ(frame->used % 8, 0);
}

TEST_F(PoolsTest, ExactFillSucceedsAndOneMoreByteFails) {
    Pool* frame = pool_get(POOL_FRAME);
    EXPECT_NE(pool_alloc(POOL_FRAME, frame->capacity), nullptr);
    EXPECT_EQ(pool_alloc(POOL_FRAME, 1), nullptr);
    pool_reset(POOL_FRAME);
    EXPECT_EQ(pool_alloc(POOL_FRAME, 8), frame->base);  // next frame starts at the base again
    EXPECT_EQ(pool_alloc(POOL_FRAME, -1), nullptr);
}

TEST_F(PoolsTest, ReallocGrowsTheLastBlockInPlaceAndCopiesOlderOnes) {
    uint8_t* first = static_cast<uint8_t*>(pool_alloc(POOL_FRAME, 4));
    std::memcpy(first, "abcd", 4);
    EXPECT_EQ(pool_realloc(POOL_FRAME, first, 4, 16), first);

    uint8_t* second = static_cast<uint8_t*>(pool_alloc(POOL_FRAME, 8));
    (void)second;
    uint8_t* moved = static_cast<uint8_t*>(pool_realloc(POOL_FRAME, first, 16, 32));
    ASSERT_NE(moved, first);
    EXPECT_EQ(std::memcmp(moved, "abcd", 4), 0);
    EXPECT_EQ(std::memcmp(first, "abcd", 4), 0);  // the abandoned copy is left alone
}

TEST_F(PoolsTest, RefusedInPlaceGrowthKeepsThePoolUsable) {
    Pool* frame = pool_get(POOL_FRAME);
    void* block = pool_alloc(POOL_FRAME, 64);
    int64_t used = frame->used;
    EXPECT_EQ(pool_realloc(POOL_FRAME, block, 64, frame->capacity * 2), nullptr);
    EXPECT_EQ(frame->used, used);
    EXPECT_NE(pool_alloc(POOL_FRAME, 8), nullptr);
}

TEST_F(PoolsTest, UnknownPoolPrintsAndFails) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(pool_alloc(POOL_COUNT, 8), nullptr);
    EXPECT_EQ(pool_alloc(-1, 8), nullptr);
    EXPECT_EQ(pool_realloc(9, nullptr, 0, 8), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "pool_alloc: unknown pool 5\npool_alloc: unknown pool -1\npool_realloc: unknown pool 9\n");
}

TEST_F(PoolsTest, MarkAndRestoreGiveScratchBack) {
    PoolMark mark = pool_mark(POOL_PERSISTENT);
    pool_alloc(POOL_PERSISTENT, 1000);
    pool_restore(mark);
    EXPECT_EQ(pool_get(POOL_PERSISTENT)->used, mark.used);
}

class ContainersTest : public PoolTest {};

TEST_F(ContainersTest, ArrayGrowsByDoublingFromOne) {
    Array<int32_t> array = array_make<int32_t>(POOL_FRAME);
    array_push(&array, 1);
    EXPECT_EQ(array.capacity, 1);
    array_push(&array, 2);
    EXPECT_EQ(array.capacity, 2);
    array_push(&array, 3);
    EXPECT_EQ(array.capacity, 4);
    EXPECT_EQ(array.count, 3);
}

TEST_F(ContainersTest, ArrayInsertAndRemoveClampAndShift) {
    Array<int32_t> array = array_make<int32_t>(POOL_FRAME);
    for (int32_t v : {1, 2, 3}) array_push(&array, v);
    array_insert(&array, -1, 0);
    array_insert(&array, 100, 4);
    array_insert(&array, 2, 9);
    ASSERT_EQ(array.count, 6);
    int32_t expected[] = {0, 1, 9, 2, 3, 4};
    for (int i = 0; i < 6; i++) EXPECT_EQ(array.data[i], expected[i]);

    array_remove(&array, 2);
    array_remove(&array, array.count);  // outside: nothing
    array_remove(&array, -1);
    array_remove(&array, array.count - 1);
    ASSERT_EQ(array.count, 4);
    EXPECT_EQ(array.data[3], 3);
}

TEST_F(ContainersTest, PushOfAnElementOfTheSameArraySurvivesGrowth) {
    Array<int64_t> array = array_make<int64_t>(POOL_FRAME);
    array_push(&array, int64_t{42});
    pool_alloc(POOL_FRAME, 8);  // force the growth to move the block
    array_push(&array, array.data[0]);
    EXPECT_EQ(array.data[1], 42);
}

TEST_F(ContainersTest, FullPoolLeavesArrayIntact) {
    Array<int64_t> array = array_make<int64_t>(POOL_FRAME);
    array_push(&array, int64_t{7});
    Pool* frame = pool_get(POOL_FRAME);
    pool_alloc(POOL_FRAME, frame->capacity - frame->used);
    EXPECT_EQ(array_push(&array, int64_t{8}), -1);
    EXPECT_EQ(array.count, 1);
    EXPECT_EQ(array.data[0], 7);
}

TEST_F(ContainersTest, StringsCopyConcatCompare) {
    String a = string_copy(S("abc"));
    EXPECT_TRUE(string_equal(a, S("abc")));
    EXPECT_FALSE(string_equal(a, S("abd")));
    EXPECT_FALSE(string_equal(a, S("ab")));
    EXPECT_TRUE(string_equal(string_concat(a, S("def"), POOL_FRAME), S("abcdef")));
    EXPECT_LT(string_compare(S("ab"), S("abc")), 0);
    EXPECT_GT(string_compare(S("b"), S("abc")), 0);
    EXPECT_EQ(string_compare(S(""), S("")), 0);
    EXPECT_STREQ(string_to_cstring(S("xy"), POOL_FRAME), "xy");
}

TEST_F(ContainersTest, BuilderCursorOverwritesAndAssignReusesBuffer) {
    StringBuilder builder = builder_init(POOL_FRAME);
    builder_put_string(&builder, S("hello"));
    builder.cursor = 1;
    builder_put_char(&builder, 'a');
    EXPECT_TRUE(string_equal(builder_to_string(&builder), S("hallo")));

    String target{};
    string_assign_from_builder(&target, &builder);
    const uint8_t* buffer = target.data;
    EXPECT_TRUE(string_equal(target, S("hallo")));
    StringBuilder shorter = builder_init(POOL_FRAME);
    builder_put_string(&shorter, S("hi"));
    string_assign_from_builder(&target, &shorter);
    EXPECT_EQ(target.data, buffer);
    EXPECT_TRUE(string_equal(target, S("hi")));
    StringBuilder empty = builder_init(POOL_FRAME);
    string_assign_from_builder(&target, &empty);
    EXPECT_EQ(target.length, 0);
}

TEST_F(ContainersTest, BuilderReportsAFullPool) {
    StringBuilder builder = builder_init(POOL_FRAME);
    Pool* frame = pool_get(POOL_FRAME);
    pool_alloc(POOL_FRAME, frame->capacity - 16);
    for (int i = 0; i < 64; i++) builder_put_char(&builder, 'x');
    EXPECT_TRUE(builder_failed(&builder));
    EXPECT_LE(builder.length, 16);
}

TEST_F(ContainersTest, ReaderNeverReadsPastTheEnd) {
    uint8_t bytes[] = {'a', 'b', 'c'};
    TextReader reader = reader_make(String{bytes, 3});
    reader.position = 3;
    EXPECT_TRUE(reader_starts_with(&reader, S("")));
    reader.position = 1;
    EXPECT_FALSE(reader_starts_with(&reader, S("bcd")));
    EXPECT_TRUE(reader_starts_with(&reader, S("bc")));
    reader.position = 0;
    uint8_t out[8] = {};
    EXPECT_EQ(reader_read_bytes(&reader, 8, out), 3);
    EXPECT_EQ(reader.position, 3);
}

TEST_F(ContainersTest, ReadStringRefusesLengthsBeyondTheData) {
    uint8_t good[] = {2, 0, 0, 0, 0, 0, 0, 0, 'h', 'i', 9};
    TextReader reader = reader_make(String{good, sizeof good});
    bool ok = true;
    EXPECT_TRUE(string_equal(reader_read_string(&reader, &ok), S("hi")));
    EXPECT_TRUE(ok);
    EXPECT_EQ(reader.position, 10);

    uint8_t bad[] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f, 'x'};
    reader = reader_make(String{bad, sizeof bad});
    String s = reader_read_string(&reader, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(s.length, 0);
    EXPECT_EQ(reader.position, (int64_t)sizeof bad);
}

TEST_F(ContainersTest, StringMapReplacesGrowsAndFinds) {
    StringMap map = string_map_make(POOL_FRAME);
    int64_t value = 0;
    EXPECT_FALSE(map_lookup(&map, S("a"), &value));
    map_insert(&map, S("a"), 1);
    map_insert(&map, S("a"), 2);
    EXPECT_TRUE(map_lookup(&map, S("a"), &value));
    EXPECT_EQ(value, 2);
    int used = 0;
    for (int64_t i = 0; i < map.capacity; i++) used += map.slots[i].key_length != 0;
    EXPECT_EQ(used, 1);

    map = string_map_make(POOL_FRAME);
    const char* keys[] = {"k1", "k2", "k3", "k4", "k5", "k6"};
    for (int i = 0; i < 5; i++) map_insert(&map, string_from_cstring(keys[i]), i + 1);
    EXPECT_EQ(map.capacity, 8);  // count 5 is checked at the next insertion
    map_insert(&map, string_from_cstring(keys[5]), 6);
    EXPECT_GE(map.capacity, 16);
    for (int i = 0; i < 6; i++) {
        ASSERT_TRUE(map_lookup(&map, string_from_cstring(keys[i]), &value));
        EXPECT_EQ(value, i + 1);
    }
    EXPECT_FALSE(map_insert(&map, S(""), 3));
}

TEST_F(ContainersTest, StringMapHoldsThousandsOfKeys) {
    StringMap map = string_map_make(POOL_PERSISTENT);
    static char names[5000][12];
    for (int i = 0; i < 5000; i++) {
        snprintf(names[i], sizeof names[i], "name%d", i);
        ASSERT_TRUE(map_insert(&map, string_from_cstring(names[i]), i));
    }
    for (int i = 0; i < 5000; i++) {
        int64_t value = -1;
        ASSERT_TRUE(map_lookup(&map, string_from_cstring(names[i]), &value));
        EXPECT_EQ(value, i);
    }
    map_clear(&map);
    EXPECT_FALSE(map_lookup(&map, S("name1"), nullptr));
}

TEST_F(ContainersTest, HashIsFnv1a) {
    EXPECT_EQ(hash_fnv1a("", 0), 2166136261u);
    EXPECT_EQ(hash_fnv1a("a", 1), 0xe40c292cu);
}

TEST_F(ContainersTest, IntMapKeepsDuplicateKeysAndFindsNearest) {
    IntMap map = int_map_make(POOL_FRAME);
    uint32_t value = 0;
    EXPECT_FALSE(int_map_lookup(&map, 65, &value));
    for (uint32_t key = 32; key < 300; key++) ASSERT_TRUE(int_map_insert(&map, key, key + 1000));
    for (uint32_t key = 32; key < 300; key++) {
        ASSERT_TRUE(int_map_lookup(&map, key, &value));
        EXPECT_EQ(value, key + 1000);
    }
    EXPECT_FALSE(int_map_lookup(&map, 5, &value));
    EXPECT_FALSE(int_map_insert(&map, 7, 0));  // 0 marks empty slots
}

TEST_F(ContainersTest, MergeSortOrdersStringsByBytes) {
    Array<String> names = array_make<String>(POOL_FRAME);
    for (String s : {S("b"), S("ab"), S("a"), S("abc")}) array_push(&names, s);
    merge_sort_strings(&names, POOL_FRAME);
    EXPECT_TRUE(string_equal(names.data[0], S("a")));
    EXPECT_TRUE(string_equal(names.data[1], S("ab")));
    EXPECT_TRUE(string_equal(names.data[2], S("abc")));
    EXPECT_TRUE(string_equal(names.data[3], S("b")));
}

TEST_F(ContainersTest, MergeSortIsStableOnRandomInput) {
    struct Item { int64_t key; int64_t order; };
    std::mt19937 random(7);
    for (int round = 0; round < 50; round++) {
        int count = (int)(random() % 300);
        Item items[300], scratch[300];
        for (int i = 0; i < count; i++) items[i] = Item{(int64_t)(random() % 10) - 5, i};
        merge_sort(items, count, scratch, [](const Item& a, const Item& b) { return a.key < b.key; });
        for (int i = 1; i < count; i++) {
            ASSERT_LE(items[i - 1].key, items[i].key);
            if (items[i - 1].key == items[i].key) {
                ASSERT_LT(items[i - 1].order, items[i].order);
            }
        }
    }
}

TEST(TextLines, SplitsOnLineFeedsAndDropsOneCarriageReturn) {
    String text = S("a\r\nbc\n\r\n\nlast\r");
    int64_t position = 0;
    String line;
    const char* expected[] = {"a", "bc", "", "", "last"};
    int count = 0;
    while (text_next_line(text, &position, &line)) {
        ASSERT_LT(count, 5);
        EXPECT_TRUE(string_equal(line, string_from_cstring(expected[count]))) << count;
        count++;
    }
    EXPECT_EQ(count, 5);
    position = 0;
    EXPECT_FALSE(text_next_line(String{nullptr, 0}, &position, &line));
}
