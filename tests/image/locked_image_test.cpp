// Every operation must reach the pixels only between Lock and Unlock, through the
// pitch the lock reports: device images keep their pixels elsewhere otherwise.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "image/distance_transform.h"
#include "image/image.h"
#include "image/image_stack.h"
#include "image/resample.h"

namespace {

// Pixels addressable only while locked, rows 3 pixels wider than the image.
class LockedImage : public mtxImage {
  public:
    LockedImage(int w, int h, uint32_t seed) : store_(size_t(w + 3) * h) {
        std::mt19937 random(seed);
        for (auto& p : store_) p = random();
        width = w;
        height = h;
        ownsData = 0;
    }
    ~LockedImage() override { EXPECT_EQ(depth_, 0); }
    int Lock() override {
        ++depth_;
        data = store_.data();
        pitch = (width + 3) * 4;
        return 1;
    }
    void Unlock() override {
        ASSERT_GT(depth_, 0);
        if (--depth_ == 0) data = nullptr, pitch = 0;
    }
    std::unique_ptr<mtxImage> CreateSameKind(int w, int h) const override {
        return std::make_unique<LockedImage>(w, h, 0);
    }
    // A memory copy of the current pixels.
    void CopyTo(mtxImage& out) {
        out.Assign(*this);
        EXPECT_EQ(depth_, 0);
    }
    int depth_ = 0;

  private:
    std::vector<mtxColor> store_;
};

void ExpectSame(mtxImage& a, LockedImage& b) {
    mtxImage copy;
    b.CopyTo(copy);
    ASSERT_EQ(copy.width, a.width);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) ASSERT_EQ(copy.At(x, y), a.At(x, y)) << x << "," << y;
}

}  // namespace

TEST(LockedImage, OperationsLockAndHonourThePitch) {
    LockedImage device(9, 7, 1), source(5, 4, 2);
    mtxImage memory, memorySource;
    device.CopyTo(memory);
    source.CopyTo(memorySource);
    EXPECT_EQ(device.data, nullptr);

    device.Blur(0.8f), memory.Blur(0.8f);
    ExpectSame(memory, device);
    device.Blit(source, {1, 1, 4, 3}, 2, 3), memory.Blit(memorySource, {1, 1, 4, 3}, 2, 3);
    ExpectSame(memory, device);
    device.BlendOver(source, 90, {}, -1, 2), memory.BlendOver(memorySource, 90, {}, -1, 2);
    ExpectSame(memory, device);
    device.Composite(source, {}, 4, 4), memory.Composite(memorySource, {}, 4, 4);
    ExpectSame(memory, device);
    device.Tint(10, 200), memory.Tint(10, 200);
    ExpectSame(memory, device);
    device.ToGray(), memory.ToGray();
    ExpectSame(memory, device);
    mtxColorHistogram h1, h2;
    device.Histogram(h1), memory.Histogram(h2);
    EXPECT_EQ(0, std::memcmp(&h1, &h2, sizeof h1));
    EXPECT_EQ(device.data, nullptr);
}

TEST(LockedImage, ResamplingAndDistancesLock) {
    LockedImage src(8, 6, 3), dst(5, 5, 4);
    mtxImage memorySrc, memoryDst;
    src.CopyTo(memorySrc);
    dst.CopyTo(memoryDst);
    ScaleImage(src, dst), ScaleImage(memorySrc, memoryDst);
    ExpectSame(memoryDst, dst);
    const float m[9] = {0.8f, 0.3f, 1, -0.3f, 0.8f, 2, 0, 0, 1};
    TransformImage(src, dst, m, {}, kSampleBicubic),
        TransformImage(memorySrc, memoryDst, m, {}, kSampleBicubic);
    ExpectSame(memoryDst, dst);
    TileImage(src, dst), TileImage(memorySrc, memoryDst);
    ExpectSame(memoryDst, dst);
    mtxDistanceTransform dt;
    mtxFloatField f1, f2;
    dt.FromAlpha(src, f1), dt.FromAlpha(memorySrc, f2);
    ASSERT_EQ(f1.width, 8);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(f1.At(x, y), f2.At(x, y));
}

TEST(LockedImage, LayerTextureIsOfTheSourceKind) {
    mtxImageStack stack;
    stack.AddLayer(-1, std::make_unique<LockedImage>(4, 3, 5));
    auto* texture = dynamic_cast<LockedImage*>(stack.GetLayer(0)->texture.get());
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->width, 4);
    EXPECT_EQ(texture->height, 3);
}
