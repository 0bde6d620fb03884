#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "image/image.h"

namespace {

void FillRandom(mtxImage& image, std::mt19937& random) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) image.At(x, y) = random();
}

// Where each source pixel of rect lands, by the plain rule: the rect is cut to
// the source, its top-left goes to (x, y), and whatever falls outside the
// destination is dropped. Calls put(dx, dy, sx, sy) for every landing pixel.
template <class F>
void ForEachLanding(const mtxImage& src, mtxRect rect, int x, int y, const mtxImage& dst, F put) {
    if (rect.IsEmpty()) rect = {0, 0, src.width, src.height};
    int left = std::max(rect.left, 0), top = std::max(rect.top, 0);
    int right = std::min(rect.right, src.width), bottom = std::min(rect.bottom, src.height);
    for (int sy = top; sy < bottom; ++sy)
        for (int sx = left; sx < right; ++sx) {
            int dx = x + sx - left, dy = y + sy - top;
            if (dx >= 0 && dy >= 0 && dx < dst.width && dy < dst.height) put(dx, dy, sx, sy);
        }
}

mtxRect RandomRect(std::mt19937& random) {
    std::uniform_int_distribution<int> pick(-4, 14);
    mtxRect r{pick(random), pick(random), pick(random), pick(random)};
    if (random() % 4 == 0) r = {};
    return r;
}

}  // namespace

TEST(ImageBlend, BlitAtMinusThreeStartsAtTheFourthColumn) {
    mtxImage src(6, 1), dst;
    for (int x = 0; x < 6; ++x) src.At(x, 0) = 100 + x;
    dst.Create(4, 1, 7);
    dst.Blit(src, {}, -3, 0);
    EXPECT_EQ(dst.At(0, 0), 103u);
    EXPECT_EQ(dst.At(1, 0), 104u);
    EXPECT_EQ(dst.At(2, 0), 105u);
    EXPECT_EQ(dst.At(3, 0), 7u);
}

TEST(ImageBlend, BlitClipsLikeThePlainRule) {
    std::mt19937 random(11);
    for (int round = 0; round < 500; ++round) {
        mtxImage src(1 + random() % 10, 1 + random() % 10),
            dst(1 + random() % 10, 1 + random() % 10);
        FillRandom(src, random);
        FillRandom(dst, random);
        mtxImage expected;
        expected.Assign(dst);
        mtxRect rect = RandomRect(random);
        int x = int(random() % 24) - 12, y = int(random() % 24) - 12;
        ForEachLanding(src, rect, x, y, dst, [&](int dx, int dy, int sx, int sy) {
            expected.At(dx, dy) = src.At(sx, sy);
        });
        dst.Blit(src, rect, x, y);
        for (int j = 0; j < dst.height; ++j)
            for (int i = 0; i < dst.width; ++i)
                ASSERT_EQ(dst.At(i, j), expected.At(i, j)) << round << " at " << i << "," << j;
    }
}

TEST(ImageBlend, BlitWithinOneImageActsAsThroughACopy) {
    std::mt19937 random(5);
    for (int round = 0; round < 100; ++round) {
        mtxImage image(12, 12), copy;
        FillRandom(image, random);
        copy.Assign(image);
        mtxRect rect = RandomRect(random);
        int x = int(random() % 10) - 3, y = int(random() % 10) - 3;
        mtxImage expected;
        expected.Assign(image);
        expected.Blit(copy, rect, x, y);
        image.Blit(image, rect, x, y);
        for (int j = 0; j < 12; ++j)
            for (int i = 0; i < 12; ++i) ASSERT_EQ(image.At(i, j), expected.At(i, j));
    }
}

TEST(ImageBlend, BlendOverAtOpacityZeroChangesNothing) {
    std::mt19937 random(3);
    mtxImage src(8, 8), dst(8, 8), before;
    FillRandom(src, random);
    FillRandom(dst, random);
    before.Assign(dst);
    dst.BlendOver(src, 0, {}, 0, 0);
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 8; ++i) ASSERT_EQ(dst.At(i, j), before.At(i, j));
}

TEST(ImageBlend, BlendOverMatchesItsFormula) {
    std::mt19937 random(9);
    for (int round = 0; round < 200; ++round) {
        mtxImage src(1 + random() % 9, 1 + random() % 9), dst(1 + random() % 9, 1 + random() % 9);
        FillRandom(src, random);
        FillRandom(dst, random);
        mtxImage expected;
        expected.Assign(dst);
        uint8_t opacity = uint8_t(random());
        mtxRect rect = RandomRect(random);
        int x = int(random() % 16) - 8, y = int(random() % 16) - 8;
        ForEachLanding(src, rect, x, y, dst, [&](int dx, int dy, int sx, int sy) {
            mtxColor s = src.At(sx, sy), d = dst.At(dx, dy);
            double a = double(float(mtxAlpha(s)) * float(opacity) / 255.0f);
            auto mix = [&](uint32_t sc, uint32_t dc) {
                return uint32_t(std::nearbyint((a * sc + (255 - a) * dc) / 255));
            };
            uint32_t al = uint32_t(std::nearbyint(255 - (255.0 - mtxAlpha(d)) * (255 - a) / 255));
            expected.At(dx, dy) =
                mtxArgb(al, mix(mtxRed(s), mtxRed(d)), mix(mtxGreen(s), mtxGreen(d)),
                        mix(mtxBlue(s), mtxBlue(d)));
        });
        dst.BlendOver(src, opacity, rect, x, y);
        // Single precision may land the other side of a .5 the double oracle sees.
        for (int j = 0; j < dst.height; ++j)
            for (int i = 0; i < dst.width; ++i) {
                mtxColor got = dst.At(i, j), want = expected.At(i, j);
                for (int shift = 0; shift < 32; shift += 8)
                    ASSERT_LE(std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)),
                              1);
            }
    }
}

TEST(ImageBlend, CompositeOfOpaqueCopiesAndOfClearKeeps) {
    mtxImage src(2, 1), dst(2, 1);
    src.At(0, 0) = 0xFF123456u;
    src.At(1, 0) = 0x00ABCDEFu;
    dst.At(0, 0) = 0x40FFFFFFu;
    dst.At(1, 0) = 0x40102030u;
    dst.Composite(src, {}, 0, 0);
    EXPECT_EQ(dst.At(0, 0), 0xFF123456u);
    EXPECT_EQ(dst.At(1, 0), 0x40102030u);
    // Half alpha: (200 x 128 + 100 x 127) / 255 = 150.196; alpha (255 x 128 + 0) / 255.
    src.Free();
    src.Create(1, 1, 0x80C8C8C8u);
    dst.Free();
    dst.Create(1, 1, 0x00646464u);
    dst.Composite(src, {}, 0, 0);
    EXPECT_EQ(dst.At(0, 0), 0x80969696u);
}
