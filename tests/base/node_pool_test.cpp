#include "base/node_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <vector>

TEST(NodePool, NodesAreDistinctAlignedAndReused) {
    mtxPrivateHeap heap(17544);
    mtxNodePool<72, 16> pool(heap);
    std::vector<void*> nodes;
    for (int i = 0; i < 40; ++i) nodes.push_back(pool.Take());
    EXPECT_EQ(pool.BlockCount(), 3u);  // 16 a block
    EXPECT_EQ(heap.BlockCount(), 1u);  // all carved from the first 17544 bytes
    std::set<void*> distinct(nodes.begin(), nodes.end());
    EXPECT_EQ(distinct.size(), nodes.size());
    for (void* n : nodes) {
        EXPECT_EQ(reinterpret_cast<uintptr_t>(n) % alignof(std::max_align_t), 0u);
        std::memset(n, 0xAB, 72);  // every byte of a node is the caller's
    }
    // What goes back comes out again before the heap grows.
    void* last = nodes.back();
    pool.Give(last);
    EXPECT_EQ(pool.Take(), last);
    for (void* n : nodes) pool.Give(n);
    EXPECT_EQ(pool.InUse(), 0u);
    for (int i = 0; i < 48; ++i) pool.Take();
    EXPECT_EQ(pool.BlockCount(), 3u);
    pool.Take();
    EXPECT_EQ(pool.BlockCount(), 4u);
}

TEST(NodePool, RandomTakeAndGiveKeepsNodesApart) {
    mtxPrivateHeap heap;
    mtxNodePool<88, 64> pool(heap);
    std::mt19937 rng(5);
    std::vector<std::pair<unsigned char*, unsigned char>> live;
    for (int step = 0; step < 20000; ++step) {
        if (live.empty() || rng() % 3) {
            auto* n = static_cast<unsigned char*>(pool.Take());
            unsigned char mark = static_cast<unsigned char>(rng());
            std::memset(n, mark, 88);
            live.emplace_back(n, mark);
        } else {
            size_t i = rng() % live.size();
            for (int b = 0; b < 88; ++b) ASSERT_EQ(live[i].first[b], live[i].second);
            pool.Give(live[i].first);
            live[i] = live.back();
            live.pop_back();
        }
    }
    for (auto& [n, mark] : live)
        for (int b = 0; b < 88; ++b) ASSERT_EQ(n[b], mark);
    EXPECT_EQ(pool.InUse(), live.size());
}
