#include "fill/coverage_mask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "image/image.h"

namespace {

struct Quad {
    float corner[3][2];
    float u[2], v[2];
    float scale;
};

// A disc-shaped sample: opaque inside, fading alpha towards its rim.
std::vector<uint8_t> DiscAlpha(int w, int h) {
    std::vector<uint8_t> alpha(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double dx = (x + 0.5) / w - 0.5, dy = (y + 0.5) / h - 0.5;
            double r = std::sqrt(dx * dx + dy * dy) * 2;
            alpha[size_t(y) * w + x] = uint8_t(std::clamp(255 * (1.2 - r) / 0.4, 0.0, 255.0));
        }
    return alpha;
}

Quad RandomQuad(std::mt19937& rng, int w, int h) {
    std::uniform_real_distribution<float> pos(-20, float(w) + 20), side(4, 60), turn(0, 6.2832f);
    float x = pos(rng), y = pos(rng) * h / w, s = side(rng), a = turn(rng);
    float c = std::cos(a), sn = std::sin(a);
    auto at = [&](float px, float py, float out[2]) {
        out[0] = px * c - py * sn + x;
        out[1] = px * sn + py * c + y;
    };
    Quad q;
    at(-s / 2, -s / 2, q.corner[0]);
    at(s / 2, -s / 2, q.corner[1]);
    at(-s / 2, s / 2, q.corner[2]);
    q.u[0] = rng() % 2 ? 1.f : 0.f, q.u[1] = 1 - q.u[0];
    q.v[0] = rng() % 2 ? 1.f : 0.f, q.v[1] = 1 - q.v[0];
    q.scale = rng() % 3 ? 1.0f : 0.6f;
    return q;
}

// The definition, pixel by pixel: each pixel centre tested against every stamp.
double ExactCoverage(const mtxImage& photo, const std::vector<Quad>& quads,
                     const std::vector<uint8_t>& alpha, int aw, int ah,
                     const std::vector<uint8_t>& protect = {}) {
    std::vector<uint8_t> covered(size_t(photo.width) * photo.height);
    for (const Quad& q : quads) {
        double ax = q.corner[0][0], ay = q.corner[0][1];
        double ex = q.corner[1][0] - ax, ey = q.corner[1][1] - ay;
        double fx = q.corner[2][0] - ax, fy = q.corner[2][1] - ay;
        double det = ex * fy - ey * fx;
        // Every pixel of the quad's bounding box, widened by one.
        double xs[4] = {ax, ax + ex, ax + fx, ax + ex + fx},
               ys[4] = {ay, ay + ey, ay + fy, ay + ey + fy};
        int left = std::max(0, int(*std::min_element(xs, xs + 4)) - 1);
        int right = std::min(photo.width - 1, int(*std::max_element(xs, xs + 4)) + 1);
        int top = std::max(0, int(*std::min_element(ys, ys + 4)) - 1);
        int bottom = std::min(photo.height - 1, int(*std::max_element(ys, ys + 4)) + 1);
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x) {
                double px = x - ax, py = y - ay;
                double s = (px * fy - py * fx) / det, t = (ex * py - ey * px) / det;
                if (s < 0 || s >= 1 || t < 0 || t >= 1) continue;
                int tx = std::clamp(int((q.u[0] + s * (q.u[1] - q.u[0])) * aw), 0, aw - 1);
                int ty = std::clamp(int((q.v[0] + t * (q.v[1] - q.v[0])) * ah), 0, ah - 1);
                if (alpha[size_t(ty) * aw + tx] * q.scale >= 127.5)
                    covered[size_t(y) * photo.width + x] = 1;
            }
    }
    int64_t counting = 0, hit = 0;
    for (int y = 0; y < photo.height; ++y)
        for (int x = 0; x < photo.width; ++x)
            if (mtxAlpha(photo.At(x, y)) > 0 &&
                (protect.empty() || !protect[size_t(y) * photo.width + x])) {
                ++counting;
                hit += covered[size_t(y) * photo.width + x];
            }
    return double(hit) / double(counting);
}

// A photo whose left tenth is transparent, so those pixels never count.
void MakePhoto(mtxImage& photo, int w, int h) {
    photo.Create(w, h, 0xFF336699u);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w / 10; ++x) photo.At(x, y) = 0x00336699u;
}

double StampAll(mtxImage& photo, const std::vector<Quad>& quads, const std::vector<uint8_t>& alpha,
                int aw, int ah, int* cell) {
    mtxCoverageMask mask;
    EXPECT_EQ(mask.Reset(photo), 1);
    for (const Quad& q : quads) mask.Stamp(q.corner, q.u, q.v, alpha.data(), aw, ah, q.scale);
    *cell = mask.CellSize();
    return mask.Coverage();
}

}  // namespace

TEST(CoverageMask, EqualsTheExactCountAtOnePixelACell) {
    std::mt19937 rng(7);
    mtxImage photo;
    MakePhoto(photo, 300, 200);
    std::vector<uint8_t> alpha = DiscAlpha(32, 16);
    std::vector<Quad> quads;
    for (int i = 0; i < 60; ++i) quads.push_back(RandomQuad(rng, 300, 200));
    int cell = 0;
    double coverage = StampAll(photo, quads, alpha, 32, 16, &cell);
    EXPECT_EQ(cell, 1);
    EXPECT_DOUBLE_EQ(coverage, ExactCoverage(photo, quads, alpha, 32, 16));
    EXPECT_GT(coverage, 0.1);
}

TEST(CoverageMask, LargerCellsStayWithinOnePointOfTheExactCount) {
    std::mt19937 rng(11);
    mtxImage photo;
    MakePhoto(photo, 1500, 900);  // 1.35 million pixels: two-pixel cells
    std::vector<uint8_t> alpha = DiscAlpha(16, 16);
    std::vector<Quad> quads;
    for (int i = 0; i < 2500; ++i) quads.push_back(RandomQuad(rng, 1500, 900));
    int cell = 0;
    double coverage = StampAll(photo, quads, alpha, 16, 16, &cell);
    EXPECT_EQ(cell, 2);
    EXPECT_NEAR(coverage, ExactCoverage(photo, quads, alpha, 16, 16), 0.01);
}

TEST(CoverageMask, FullAndEmptyCases) {
    mtxImage photo;
    MakePhoto(photo, 40, 30);
    std::vector<uint8_t> opaque(4, 255);
    mtxCoverageMask mask;
    ASSERT_EQ(mask.Reset(photo), 1);
    float corner[3][2] = {{-0.5f, -0.5f}, {39.5f, -0.5f}, {-0.5f, 29.5f}};
    float u[2] = {0, 1}, v[2] = {0, 1};
    mask.Stamp(corner, u, v, opaque.data(), 2, 2, 0.4f);  // drawn below half alpha
    EXPECT_EQ(mask.Coverage(), 0.0);
    mask.Stamp(corner, u, v, opaque.data(), 2, 2, 1.0f);
    EXPECT_EQ(mask.Coverage(), 1.0);
    float degenerate[3][2] = {{5, 5}, {5, 5}, {5, 5}};
    mask.Stamp(degenerate, u, v, opaque.data(), 2, 2, 1.0f);  // no area, no fault
    mtxImage empty;
    EXPECT_EQ(mask.Reset(empty), 0);
    EXPECT_EQ(mask.Coverage(), 0.0);
}

namespace {

// Marks (value) the pixels of x0..x1, y0..y1 of a plane width pixels wide.
void Mark(std::vector<uint8_t>& plane, int width, int x0, int y0, int x1, int y1, uint8_t value) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) plane[size_t(y) * width + x] = value;
}

}  // namespace

// Protection painted and taken back between the stamps, in any order, counts
// as the exact count under the plane as it ends: protected pixels are never
// left to cover, and a mark taken back counts what the stamps left there.
TEST(CoverageMask, ProtectionChangedBetweenStampsEqualsTheExactCountUnderTheLastPlane) {
    std::mt19937 rng(3);
    mtxImage photo;
    MakePhoto(photo, 300, 200);
    std::vector<uint8_t> alpha = DiscAlpha(24, 24);
    std::vector<uint8_t> plane(300 * 200, 0);
    std::vector<Quad> quads;
    mtxCoverageMask mask;
    ASSERT_EQ(mask.Reset(photo, plane.data()), 1);
    std::uniform_int_distribution<int> px(0, 299), py(0, 199);
    for (int round = 0; round < 12; ++round) {
        for (int i = 0; i < 8; ++i) {
            quads.push_back(RandomQuad(rng, 300, 200));
            const Quad& q = quads.back();
            mask.Stamp(q.corner, q.u, q.v, alpha.data(), 24, 24, q.scale);
        }
        int x0 = px(rng), x1 = px(rng), y0 = py(rng), y1 = py(rng);
        if (x0 > x1) std::swap(x0, x1);
        if (y0 > y1) std::swap(y0, y1);
        Mark(plane, 300, x0, y0, x1, y1, round % 3 == 2 ? 0 : 255);  // some taken back
        mask.Protect(plane.data(), x0, y0, x1, y1);
        EXPECT_DOUBLE_EQ(mask.Coverage(), ExactCoverage(photo, quads, alpha, 24, 24, plane))
            << "round " << round;
    }
    // The plane dropped: every pixel counts again.
    mask.Protect(nullptr, 0, 0, 299, 199);
    EXPECT_DOUBLE_EQ(mask.Coverage(), ExactCoverage(photo, quads, alpha, 24, 24));
}

// A picture half protected reaches full coverage once the other half is covered.
TEST(CoverageMask, AHalfProtectedPhotoIsCoveredWhenItsOpenHalfIs) {
    for (int width : {200, 1500}) {  // one-pixel cells, and two-pixel cells
        mtxImage photo;
        photo.Create(width, 900, 0xFF336699u);
        std::vector<uint8_t> plane(size_t(width) * 900, 0);
        mtxCoverageMask mask;
        ASSERT_EQ(mask.Reset(photo), 1);
        Mark(plane, width, width / 2, 0, width - 1, 899, 255);
        mask.Protect(plane.data(), width / 2, 0, width - 1, 899);
        std::vector<uint8_t> opaque(4, 255);
        float u[2] = {0, 1}, v[2] = {0, 1};
        const float half = float(width / 2);
        float left[3][2] = {{0, 0}, {half, 0}, {0, 900}};
        mask.Stamp(left, u, v, opaque.data(), 2, 2, 1.0f);
        EXPECT_EQ(mask.Coverage(), 1.0) << width;
        // Protected the other way round: the uncovered half is all that counts.
        mask.Protect(nullptr, width / 2, 0, width - 1, 899);
        Mark(plane, width, 0, 0, width - 1, 899, 0);
        Mark(plane, width, 0, 0, width / 2 - 1, 899, 255);
        mask.Protect(plane.data(), 0, 0, width / 2 - 1, 899);
        EXPECT_EQ(mask.Coverage(), 0.0) << width;
    }
}
