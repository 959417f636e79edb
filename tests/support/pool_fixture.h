// Tests that allocate need the pools; this fixture gives each test fresh
// ones (sizes of the real program unless a test asks for more), the scene
// arenas and the scratch pool included.
#pragma once

#include <gtest/gtest.h>

#include "core/memory.h"
#include "scene/scene.h"

class PoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pool_create(POOL_PERSISTENT, persistent_capacity()));
        ASSERT_TRUE(pool_create(POOL_FRAME, POOL_FRAME_CAPACITY));
        ASSERT_TRUE(scene_memory_create());
    }
    void TearDown() override {
        pool_release(POOL_PERSISTENT);
        pool_release(POOL_FRAME);
        scene_memory_release();
    }
    virtual int64_t persistent_capacity() const { return POOL_PERSISTENT_CAPACITY; }
};
