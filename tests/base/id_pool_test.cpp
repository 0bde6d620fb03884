#include "base/id_pool.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(IdPool, HandsOutLowestFirstAndReusesGivenIds) {
    auto pool = std::make_unique<mtxIdPool>();
    EXPECT_EQ(pool->Take(), 1);
    EXPECT_EQ(pool->Take(), 2);
    EXPECT_EQ(pool->Take(), 3);
    pool->Give(2);
    EXPECT_EQ(pool->Take(), 2);
    EXPECT_EQ(pool->Take(), 4);
    pool->Give(0);  // never handed out: ignored
    EXPECT_EQ(pool->Take(), 5);
}

TEST(IdPool, ExhaustsAt65535) {
    auto pool = std::make_unique<mtxIdPool>();
    for (unsigned expected = 1; expected <= 65535; ++expected) ASSERT_EQ(pool->Take(), expected);
    EXPECT_EQ(pool->Take(), 0);
    pool->Give(65535);
    pool->Give(64);
    EXPECT_EQ(pool->Take(), 64);
    EXPECT_EQ(pool->Take(), 65535);
    EXPECT_EQ(pool->Take(), 0);
}

}  // namespace
