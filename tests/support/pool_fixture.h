// Tests that allocate need the two pools; this fixture gives each test fresh
// ones (sizes of the real program unless a test asks for more).
#pragma once

#include <gtest/gtest.h>

#include "core/memory.h"

class PoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pool_create(POOL_PERSISTENT, persistent_capacity()));
        ASSERT_TRUE(pool_create(POOL_FRAME, POOL_FRAME_CAPACITY));
    }
    void TearDown() override {
        pool_release(POOL_PERSISTENT);
        pool_release(POOL_FRAME);
    }
    virtual int64_t persistent_capacity() const { return POOL_PERSISTENT_CAPACITY; }
};
