// Filling paths into images, single thread: a picture of many small curved
// shapes (paths per second) and one large shape (covered megapixels per
// second), each with a solid colour and with a gradient.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "image/image_path.h"

namespace {

constexpr float kPi = 3.14159265f;

// A five-petal flower of Beziers around (cx, cy).
void AddFlower(mtxImagePath& path, float cx, float cy, float radius, float turn) {
    path.MoveTo(cx, cy);
    for (int i = 0; i < 5; ++i) {
        float a = turn + 2 * kPi * float(i) / 5, da = kPi / 5;
        float tx = cx + radius * std::cos(a), ty = cy + radius * std::sin(a);
        path.BezierTo(cx + radius * std::cos(a - da), cy + radius * std::sin(a - da), tx, ty, tx,
                      ty);
        path.BezierTo(tx, ty, cx + radius * std::cos(a + da), cy + radius * std::sin(a + da), cx,
                      cy);
    }
}

void PathHeavyPicture(benchmark::State& state) {
    const bool gradient = state.range(0) != 0;
    mtxImage image(1024, 1024);
    mtxImagePath path;
    std::mt19937 random(5);
    std::uniform_real_distribution<float> place(0, 1024), size(6, 40), turn(0, 2 * kPi);
    path.brush.gradient.AddStop(0, 0xFFFFE080);
    path.brush.gradient.AddStop(1, 0xFFC02060);
    if (gradient) path.brush.UseGradient();
    int64_t paths = 0;
    for (auto _ : state) {
        path.Clear();
        float cx = place(random), cy = place(random), r = size(random);
        AddFlower(path, cx, cy, r, turn(random));
        if (gradient)
            path.brush.gradient.SetRadial(cx, cy, cx + r, cy);
        else
            path.brush.SetColor(0xFF000000 | random());
        path.Fill(image);
        ++paths;
    }
    state.counters["paths/s"] = benchmark::Counter(double(paths), benchmark::Counter::kIsRate);
}
BENCHMARK(PathHeavyPicture)->Arg(0)->Arg(1)->ArgNames({"gradient"});

void LargeDisc(benchmark::State& state) {
    const bool gradient = state.range(0) != 0;
    mtxImage image(2048, 2048);
    mtxImagePath path;
    const float r = 1000, k = 0.55228475f * r, cx = 1024, cy = 1024;
    path.MoveTo(cx + r, cy);
    path.BezierTo(cx + r, cy + k, cx + k, cy + r, cx, cy + r);
    path.BezierTo(cx - k, cy + r, cx - r, cy + k, cx - r, cy);
    path.BezierTo(cx - r, cy - k, cx - k, cy - r, cx, cy - r);
    path.BezierTo(cx + k, cy - r, cx + r, cy - k, cx + r, cy);
    path.brush.SetColor(0xC0408020);
    if (gradient) {
        path.brush.gradient.AddStop(0, 0xC0FFFFFF);
        path.brush.gradient.AddStop(1, 0xC0204080);
        path.brush.gradient.SetLinear(24, 24, 2024, 2024);
        path.brush.UseGradient();
    }
    for (auto _ : state) path.Fill(image);
    state.counters["MP/s"] = benchmark::Counter(double(state.iterations()) * kPi * r * r / 1e6,
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(LargeDisc)->Arg(0)->Arg(1)->ArgNames({"gradient"})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
