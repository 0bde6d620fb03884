#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "fill/label_distance.h"
#include "image/distance_transform.h"
#include "image/simd.h"
#include "tests/fill/segment_reference.h"

namespace {

mcvLabelDistance::Weights ChamferWeights() {
    int32_t w[3];
    mtxDistanceTransform().FixedWeights(w);
    return {w[0], w[1], w[2]};
}
const mcvLabelDistance::Weights kWeights = ChamferWeights();

// The field of all labels at once, computed with the two row sweeps.
std::vector<float> Sweep(const std::vector<uint32_t>& labels, int w, int h) {
    std::vector<int32_t> work(labels.size());
    std::vector<float> out(labels.size());
    mcvLabelDistance d(labels.data(), w * 4, work.data(), uint32_t(w), uint32_t(h), kWeights);
    for (int y = 0; y < h; ++y) d.ForwardRow(uint32_t(y));
    for (int y = h - 1; y >= 0; --y) d.BackwardRow(uint32_t(y), out.data() + size_t(y) * w);
    return out;
}

// One chamfer transform per label, each pixel keeping the value of its own label's transform.
std::vector<float> PerLabel(const std::vector<uint32_t>& labels, int w, int h, uint32_t count) {
    std::vector<float> out(labels.size(), 0.0f);
    std::vector<uint8_t> inside(labels.size());
    for (uint32_t g = 0; g < count; ++g) {
        for (size_t i = 0; i < labels.size(); ++i) inside[i] = labels[i] == g;
        std::vector<float> d = segment_reference::Chamfer(inside, w, h);
        for (size_t i = 0; i < labels.size(); ++i) out[i] = std::max(out[i], d[i]);
    }
    return out;
}

// The same through the image model's transform of one label at a time.
std::vector<float> PerLabelTransform(const std::vector<uint32_t>& labels, int w, int h,
                                     uint32_t count) {
    mtxImage image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.At(x, y) = labels[size_t(y) * w + x];
    std::vector<float> out(labels.size(), 0.0f);
    mtxDistanceTransform chamfer;
    mtxFloatField field;
    for (uint32_t g = 0; g < count; ++g) {
        chamfer.FromColour(image, g, field);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                out[size_t(y) * w + x] = std::max(out[size_t(y) * w + x], field.At(x, y));
    }
    return out;
}

// Blobs of labels: random seeds grown into patches, so areas have insides, borders and thin
// parts, and many touch the picture's sides.
std::vector<uint32_t> Blobs(int w, int h, uint32_t count, std::mt19937& random) {
    std::vector<uint32_t> labels(size_t(w) * h);
    std::vector<std::array<int, 3>> seeds;
    for (uint32_t i = 0; i < count * 2; ++i)
        seeds.push_back({int(random() % w), int(random() % h), int(random() % count)});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int best = 1 << 30;
            for (auto& s : seeds) {
                int d = (x - s[0]) * (x - s[0]) + 3 * (y - s[1]) * (y - s[1]);
                if (d < best) best = d, labels[size_t(y) * w + x] = uint32_t(s[2]);
            }
            if (random() % 17 == 0) labels[size_t(y) * w + x] = random() % count;
        }
    return labels;
}

// On every instruction set the processor offers (pictures from 12 pixels wide have an interior
// that the wide path takes eight pixels at a time).
TEST(LabelDistance, EqualsOneTransformPerLabel) {
    std::mt19937 random(1234);
    for (int round = 0; round < 120; ++round) {
        mtxSimd::Force(round % 2 ? mtxSimd::Level::kPortable : mtxSimd::Best());
        int w = 1 + int(random() % 40), h = 1 + int(random() % 40);
        if (round % 10 == 0) w = 1;
        if (round % 10 == 1) h = 1;
        if (round % 10 == 2) w = 2;
        uint32_t count = 1 + random() % 6;
        std::vector<uint32_t> labels = Blobs(w, h, count, random);
        std::vector<float> fast = Sweep(labels, w, h), slow = PerLabel(labels, w, h, count);
        for (size_t i = 0; i < labels.size(); ++i)
            ASSERT_EQ(fast[i], slow[i]) << w << "x" << h << " pixel " << i;
        ASSERT_EQ(fast, PerLabelTransform(labels, w, h, count)) << w << "x" << h;
    }
    mtxSimd::Reset();
}

TEST(LabelDistance, PurelyRandomLabelsAndStripes) {
    std::mt19937 random(99);
    for (auto [w, h] : {std::pair{1, 30}, {30, 1}, {2, 2}, {5, 5}, {17, 3}, {3, 17}, {64, 64}}) {
        std::vector<uint32_t> labels(size_t(w) * h);
        for (auto& l : labels) l = random() % 3;
        ASSERT_EQ(Sweep(labels, w, h), PerLabel(labels, w, h, 3)) << w << "x" << h;
        ASSERT_EQ(Sweep(labels, w, h), PerLabelTransform(labels, w, h, 3)) << w << "x" << h;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) labels[size_t(y) * w + x] = uint32_t(x / 3 + y / 4) % 2;
        ASSERT_EQ(Sweep(labels, w, h), PerLabel(labels, w, h, 2)) << w << "x" << h;
    }
}

TEST(LabelDistance, SingleSourceGivesTheMaskWeights) {
    const int w = 9, h = 9;
    std::vector<uint32_t> labels(size_t(w) * h, 0);
    labels[4 * w + 4] = 1;
    std::vector<float> d = Sweep(labels, w, h);
    auto at = [&](int x, int y) { return d[size_t(y) * w + x]; };
    EXPECT_FLOAT_EQ(at(5, 4), 1.0f);
    EXPECT_NEAR(at(5, 5), 1.4f, 1e-5);
    EXPECT_NEAR(at(6, 5), 2.1969f, 1e-5);
    EXPECT_FLOAT_EQ(at(4, 6), 2.0f);
    // The lone pixel of label 1 sees only sources around it.
    EXPECT_FLOAT_EQ(at(4, 4), 1.0f);
}

}  // namespace
