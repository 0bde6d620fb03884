#pragma once
// A slow, literal segmentation to check mcvSegmentGraph against: edge records sorted with a
// stable sort, find and join that walk the member list, one histogram per region, grouping by
// scanning the whole list, and one chamfer transform per colour group.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "image/distance_transform.h"
#include "image/image.h"
#include "tests/oracles/chamfer.h"

namespace segment_reference {

struct Node {
    uint32_t parent, next, rank, size;
};

struct Region {
    uint32_t root = 0, pixels = 0;
    float key[3] = {}, meanColor[3] = {};
    int32_t bounds[4] = {16777215, 16777215, -1, -1};
    int group = -1;
};

struct Result {
    std::vector<Node> nodes;  // rank holds the region index
    std::vector<Region> regions;
    std::vector<std::vector<uint32_t>> groups;
    std::vector<uint32_t> labels;
    std::vector<float> distance;
};

// Chamfer distance with the 5 x 5 mask of one mask image: pixels with inside set start far
// away, the others are sources at 0; the area beyond the picture is no source.
inline std::vector<float> Chamfer(const std::vector<uint8_t>& inside, int w, int h) {
    const int32_t weights[3] = {int32_t(std::lrint(double(1.0f) * 262144.0)),
                                int32_t(std::lrint(double(1.4f) * 262144.0)),
                                int32_t(std::lrint(double(2.1969f) * 262144.0))};
    std::vector<int32_t> d(size_t(w) * h);
    for (size_t i = 0; i < d.size(); ++i) d[i] = inside[i] ? 0x3FFFFFFF : 0;
    d = oracle::Chamfer(std::move(d), w, h, weights, 5);
    std::vector<float> out(d.size());
    for (size_t i = 0; i < d.size(); ++i) out[i] = float(d[i]) * float(1.0 / 262144.0);
    return out;
}

// The whole analysis of an already smoothed picture.
inline Result Segment(const mtxImage& work) {
    const uint32_t w = uint32_t(work.width), h = uint32_t(work.height), n = w * h;
    const float k = 300.0f;
    auto pixel = [&](uint32_t i) { return work.Row(int(i / w))[i % w]; };
    struct Edge {
        uint32_t a, b;
        float w;
    };
    std::vector<Edge> edges;
    auto weight = [&](uint32_t p, uint32_t q) {
        float s = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            float d = float(int((pixel(p) >> shift) & 255) - int((pixel(q) >> shift) & 255));
            s += d * d;
        }
        return std::sqrt(s);
    };
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint32_t p = y * w + x;
            if (x < w - 1) edges.push_back({p, p + 1, weight(p, p + 1)});
            if (y < h - 1) edges.push_back({p, p + w, weight(p, p + w)});
            if (x < w - 1 && y < h - 1) edges.push_back({p, p + w + 1, weight(p, p + w + 1)});
            if (x < w - 1 && y > 0) edges.push_back({p, p - w + 1, weight(p, p - w + 1)});
        }
    std::stable_sort(edges.begin(), edges.end(),
                     [](const Edge& l, const Edge& r) { return l.w < r.w; });

    Result r;
    std::vector<Node>& nodes = r.nodes;
    nodes.resize(n);
    for (uint32_t i = 0; i < n; ++i) nodes[i] = {i, i, 0, 1};
    std::vector<float> thresholds(n, k);
    auto find = [&](uint32_t x) {
        uint32_t root = x;
        while (nodes[root].parent != root) root = nodes[root].parent;
        nodes[x].parent = root;
        return root;
    };
    auto join = [&](uint32_t a, uint32_t b) {
        if (nodes[a].rank > nodes[b].rank) {
            uint32_t t = a;
            while (nodes[t].next != t) t = nodes[t].next;
            nodes[b].parent = t;
            nodes[t].next = b;
            nodes[a].size += nodes[b].size;
        } else {
            uint32_t t = b;
            while (nodes[t].next != t) t = nodes[t].next;
            nodes[a].parent = t;
            nodes[t].next = a;
            nodes[b].size += nodes[a].size;
            if (nodes[a].rank == nodes[b].rank) nodes[b].rank += 1;
        }
    };
    for (const Edge& e : edges) {
        uint32_t a = find(e.a), b = find(e.b);
        if (a != b && e.w <= thresholds[a] && e.w <= thresholds[b] && nodes[a].size < 10000 &&
            nodes[b].size < 10000) {
            join(a, b);
            a = find(a);
            thresholds[a] = e.w + k / float(nodes[a].size);
        }
    }
    for (const Edge& e : edges) {
        uint32_t a = find(e.a), b = find(e.b);
        if (a != b && (nodes[a].size < 5 || nodes[b].size < 5)) join(a, b);
    }
    for (uint32_t i = n; i-- > 0;)
        if (nodes[i].parent == i) r.regions.push_back(Region{.root = i});

    auto round = [](float v) { return std::nearbyint(v); };
    for (uint32_t ri = 0; ri < r.regions.size(); ++ri) {
        Region& g = r.regions[ri];
        uint32_t counts[3][256] = {};
        float total = 0;
        for (uint32_t m = g.root;; m = nodes[m].next) {
            nodes[m].rank = ri;
            ++g.pixels;
            int32_t x = int32_t(m % w), y = int32_t(m / w);
            g.bounds[0] = std::min(g.bounds[0], x);
            g.bounds[1] = std::min(g.bounds[1], y);
            g.bounds[2] = std::max(g.bounds[2], x);
            g.bounds[3] = std::max(g.bounds[3], y);
            mtxColor c = pixel(m);
            if (mtxAlpha(c)) {
                ++counts[0][mtxRed(c)];
                ++counts[1][mtxGreen(c)];
                ++counts[2][mtxBlue(c)];
                total += 1.0f;
            }
            if (nodes[m].next == m) break;
        }
        float rgb[3];
        for (int ch = 0; ch < 3; ++ch) {
            uint64_t sum = 0;
            for (int v = 0; v < 256; ++v) sum += uint64_t(v) * counts[ch][v];
            g.meanColor[ch] = total > 0 ? float(sum) / total / 255.0f : 0.0f;
            rgb[ch] = round(g.meanColor[ch] * 255.0f);
        }
        float y = round(0.299f * rgb[0] + 0.587f * rgb[1] + 0.114f * rgb[2]);
        float cb = round(128.0f - (0.1687f * rgb[0] + 0.3313f * rgb[1] - 0.5f * rgb[2]));
        float cr = round(128.0f + (0.5f * rgb[0] - 0.4187f * rgb[1] - 0.0813f * rgb[2]));
        auto clamp = [](float v) { return std::clamp(v, 0.0f, 255.0f); };
        g.key[0] = clamp(y) / 255.0f;
        g.key[1] = clamp(cb) / 255.0f;
        g.key[2] = clamp(cr) / 255.0f;
    }

    for (uint32_t i = 0; i < r.regions.size(); ++i) {
        if (r.regions[i].group >= 0) continue;
        int gi = int(r.groups.size());
        r.groups.push_back({i});
        r.regions[i].group = gi;
        for (uint32_t j = i + 1; j < r.regions.size(); ++j) {
            if (r.regions[j].group >= 0) continue;
            float d = 0;
            for (int ch = 0; ch < 3; ++ch) {
                float e = r.regions[j].key[ch] - r.regions[i].key[ch];
                d += e * e;
            }
            if (std::sqrt(d) < 0.2f) {
                r.groups.back().push_back(j);
                r.regions[j].group = gi;
            }
        }
    }
    r.labels.resize(n);
    for (uint32_t i = 0; i < n; ++i) r.labels[i] = uint32_t(r.regions[nodes[i].rank].group);

    // One chamfer transform of the label image per group, each pixel keeping the largest value.
    r.distance.assign(n, 0.0f);
    mtxImage labels{int(w), int(h)};
    for (uint32_t i = 0; i < n; ++i) labels.At(int(i % w), int(i / w)) = r.labels[i];
    mtxDistanceTransform chamfer;
    mtxFloatField scratch;
    for (uint32_t g = 0; g < r.groups.size(); ++g) {
        chamfer.FromColour(labels, g, scratch);
        for (uint32_t i = 0; i < n; ++i)
            r.distance[i] = std::max(r.distance[i], scratch.At(int(i % w), int(i / w)));
    }
    return r;
}

}  // namespace segment_reference
