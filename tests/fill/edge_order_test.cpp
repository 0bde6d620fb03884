#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "fill/edge_order.h"

namespace {

struct Edge {
    uint32_t a, b;
    float w;
};

// The edges as records in build order, sorted by weight with a stable sort.
std::vector<Edge> Reference(const std::vector<uint32_t>& px, uint32_t w, uint32_t h) {
    std::vector<Edge> edges;
    auto weight = [&](uint32_t p, uint32_t q) {
        float s = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            float d = float(int((px[p] >> shift) & 255) - int((px[q] >> shift) & 255));
            s += d * d;
        }
        return std::sqrt(s);
    };
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint32_t p = y * w + x;
            if (x + 1 < w) edges.push_back({p, p + 1, weight(p, p + 1)});
            if (y + 1 < h) edges.push_back({p, p + w, weight(p, p + w)});
            if (x + 1 < w && y + 1 < h) edges.push_back({p, p + w + 1, weight(p, p + w + 1)});
            if (x + 1 < w && y > 0) edges.push_back({p, p - w + 1, weight(p, p - w + 1)});
        }
    std::stable_sort(edges.begin(), edges.end(), [](auto& l, auto& r) { return l.w < r.w; });
    return edges;
}

void ExpectSortedLike(uint32_t w, uint32_t h, uint32_t slice, std::mt19937& random) {
    std::vector<uint32_t> px(size_t(w) * h);
    // Few distinct colours, so equal weights are common and their order is tested.
    for (auto& p : px) p = (random() % 4) * 0x203040u | (random() % 2) << 24;
    mcvEdgeOrder order;
    order.Begin(px.data(), w, h, int32_t(w * 4));
    uint32_t count = 0;
    for (uint32_t p = 0; p < w * h; p += slice) count += order.Count(p, std::min(w * h, p + slice));
    order.Prepare(count);
    for (uint32_t p = 0; p < w * h; p += slice) order.Scatter(p, std::min(w * h, p + slice));
    std::vector<Edge> expected = Reference(px, w, h);
    ASSERT_EQ(count, expected.size());
    uint32_t key = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id = order.Edges()[i];
        ASSERT_EQ(order.From(id), expected[i].a) << "edge " << i;
        ASSERT_EQ(order.To(id), expected[i].b) << "edge " << i;
        key = order.KeyAt(i, key);
        ASSERT_EQ(key, order.KeyAt(i));
        ASSERT_EQ(std::sqrt(float(key)), expected[i].w);
    }
}

TEST(EdgeOrder, SortsLikeAStableSortOfTheEdgeRecords) {
    std::mt19937 random(5);
    for (auto [w, h] : {std::pair{1u, 1u}, {1u, 9u}, {9u, 1u}, {2u, 2u}, {13u, 7u}, {40u, 31u}})
        for (uint32_t slice : {1u, 3u, 1000u}) ExpectSortedLike(w, h, slice, random);
}

TEST(EdgeOrder, SquaredDistancesHaveDistinctRoots) {
    // The key orders edges exactly as the float weight only if no two keys share a root.
    for (uint32_t k = 1; k < mcvEdgeOrder::kKeys; ++k)
        ASSERT_LT(std::sqrt(float(k - 1)), std::sqrt(float(k))) << k;
}

TEST(EdgeOrder, AlphaTakesNoPart) {
    EXPECT_EQ(mcvEdgeOrder::Key(0x00102030u, 0xFF102030u), 0u);
    EXPECT_EQ(mcvEdgeOrder::Key(0xFF000000u, 0xFFFFFFFFu), 3u * 255u * 255u);
}

}  // namespace
