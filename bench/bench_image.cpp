// Speed of the whole-picture image operations, single thread, in megapixels per
// second, beside OpenCV's closest operations where OpenCV is installed.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "image/distance_transform.h"
#include "image/image.h"
#include "image/resample.h"
#include "image/simd.h"

#if DAUBRY_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

// 1, 4 and 16 megapixels.
constexpr int kSides[] = {1024, 2048, 4096};

void Sizes(benchmark::internal::Benchmark* b) {
    for (int side : kSides) b->Arg(side);
    b->Unit(benchmark::kMillisecond);
}

// A photograph-like picture: smooth colour waves with noise, and an alpha that
// cuts it into blobs (the distance transform's mask: alpha above 100).
void Paint(mtxImage& image, uint32_t seed) {
    std::mt19937 random(seed);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            float fx = float(x) / 97.0f, fy = float(y) / 89.0f;
            float v = std::sin(fx) * std::cos(fy) + 0.5f * std::sin(fx * 2.3f + fy * 1.7f);
            uint32_t noise = random() & 0x0F0F0F;
            uint32_t alpha = v > -0.2f ? 255 : 0;
            uint32_t r = uint32_t(127 + 80 * v), g = uint32_t(127 - 60 * v),
                     b = uint32_t(x ^ y) & 0xFF;
            image.At(x, y) = (mtxArgb(alpha, r, g, b) ^ noise);
        }
}

void SetRate(benchmark::State& state, int64_t pixels) {
    state.counters["MP/s"] = benchmark::Counter(double(pixels) * 1e-6 * double(state.iterations()),
                                                benchmark::Counter::kIsRate);
}

void BM_Blur(benchmark::State& state, mtxSimd::Level level) {
    const int side = int(state.range(0));
    mtxImage image(side, side);
    Paint(image, 1);
    mtxSimd::Force(level);
    for (auto _ : state) {
        image.Blur(0.8f);
        benchmark::DoNotOptimize(image.data);
    }
    mtxSimd::Reset();
    SetRate(state, int64_t(side) * side);
}
BENCHMARK_CAPTURE(BM_Blur, best, mtxSimd::Best())->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Blur, portable, mtxSimd::Level::kPortable)->Apply(Sizes);

void BM_BlendOver(benchmark::State& state) {
    const int side = int(state.range(0));
    mtxImage dst(side, side), src(side, side);
    Paint(dst, 1);
    Paint(src, 2);
    for (auto _ : state) {
        dst.BlendOver(src, 200, {}, 0, 0);
        benchmark::DoNotOptimize(dst.data);
    }
    SetRate(state, int64_t(side) * side);
}
BENCHMARK(BM_BlendOver)->Apply(Sizes);

void BM_ScaleDownBy4(benchmark::State& state) {
    const int side = int(state.range(0));
    mtxImage src(side, side), dst(side / 4, side / 4);
    Paint(src, 1);
    for (auto _ : state) {
        ScaleImage(src, dst);
        benchmark::DoNotOptimize(dst.data);
    }
    SetRate(state, int64_t(side) * side);  // source pixels
}
BENCHMARK(BM_ScaleDownBy4)->Apply(Sizes);

void BM_TransformRotate(benchmark::State& state) {
    const int side = int(state.range(0));
    mtxImage src(side, side), dst(side, side);
    Paint(src, 1);
    // 30 degrees about the centre, bicubic (the mode the viewer flattens with).
    const float c = std::cos(0.5235988f), s = std::sin(0.5235988f), h = float(side) / 2;
    const float m[9] = {c, -s, h - c * h + s * h, s, c, h - s * h - c * h, 0, 0, 1};
    for (auto _ : state) {
        TransformImage(src, dst, m, {}, 2);
        benchmark::DoNotOptimize(dst.data);
    }
    SetRate(state, int64_t(side) * side);
}
BENCHMARK(BM_TransformRotate)->Apply(Sizes);

void BM_Chamfer5(benchmark::State& state) {
    const int side = int(state.range(0));
    mtxImage image(side, side);
    Paint(image, 1);
    mtxDistanceTransform dt;
    mtxFloatField field;
    for (auto _ : state) {
        dt.FromAlpha(image, field);
        benchmark::DoNotOptimize(field.data);
    }
    SetRate(state, int64_t(side) * side);
}
BENCHMARK(BM_Chamfer5)->Apply(Sizes);

#if DAUBRY_HAVE_OPENCV
void BM_OpenCvGaussianBlur(benchmark::State& state) {
    cv::setNumThreads(1);
    const int side = int(state.range(0));
    mtxImage image(side, side);
    Paint(image, 1);
    cv::Mat src(side, side, CV_8UC4, image.data, size_t(image.pitch)), dst;
    for (auto _ : state) {
        cv::GaussianBlur(src, dst, cv::Size(0, 0), 0.8, 0.8, cv::BORDER_REPLICATE);
        benchmark::DoNotOptimize(dst.data);
    }
    SetRate(state, int64_t(side) * side);
}
BENCHMARK(BM_OpenCvGaussianBlur)->Apply(Sizes);

void BM_OpenCvDistanceTransform(benchmark::State& state) {
    cv::setNumThreads(1);
    const int side = int(state.range(0));
    mtxImage image(side, side);
    Paint(image, 1);
    // The same mask: zero (a source) where alpha is 100 or less.
    cv::Mat mask(side, side, CV_8UC1), dst;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            mask.at<uint8_t>(y, x) = (image.At(x, y) >> 24) > 100 ? 255 : 0;
    for (auto _ : state) {
        cv::distanceTransform(mask, dst, cv::DIST_L2, cv::DIST_MASK_5, CV_32F);
        benchmark::DoNotOptimize(dst.data);
    }
    SetRate(state, int64_t(side) * side);
}
BENCHMARK(BM_OpenCvDistanceTransform)->Apply(Sizes);
#endif

}  // namespace

BENCHMARK_MAIN();
