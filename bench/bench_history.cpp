// The change history's cost at the end of a filling run, when every tile of
// the picture changed: recording the change (before and after of every tile,
// deflated) and walking it back. zlib deflating the same tiles is the peer.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "app/document/change_history.h"
#include "image/file_memory.h"

#if DAUBRY_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

// A photograph-like picture: smooth colour waves with a little noise.
void Paint(mtxImage& image, uint32_t seed) {
    std::mt19937 random(seed);
    float phase = float(seed % 7);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            float fx = float(x) / 97.0f + phase, fy = float(y) / 89.0f;
            float v = std::sin(fx) * std::cos(fy) + 0.5f * std::sin(fx * 2.3f + fy * 1.7f);
            uint32_t noise = random() & 0x070707;
            uint32_t r = uint32_t(127 + 80 * v), g = uint32_t(127 - 60 * v),
                     b = uint32_t(x ^ y) & 0xFF;
            image.Row(y)[x] = mtxArgb(255, r, g, b) ^ noise;
        }
}

void Megapixels(benchmark::State& state, int side) {
    state.counters["MP/s"] = benchmark::Counter(double(side) * side / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void BM_RecordWholeLayer(benchmark::State& state) {
    int side = int(state.range(0));
    mtxImageStack stack;
    stack.AddLayer(0, std::make_unique<mtxImage>(side, side));
    mtxImage& image = *stack.GetLayer(0)->source;
    mtxImage before(side, side), after(side, side);
    Paint(before, 1);
    Paint(after, 2);
    for (auto _ : state) {
        state.PauseTiming();
        mtxChangeHistory history(mtxChangeHistory::kDefaultBudget,
                                 std::make_unique<mtxFileMemory>(1 << 24));
        image.Blit(before, mtxRect{}, 0, 0);
        state.ResumeTiming();
        history.BeginChange(stack, 0, "Fill");
        image.Blit(after, mtxRect{}, 0, 0);
        if (!history.EndChange(stack)) state.SkipWithError("not recorded");
    }
    Megapixels(state, side);
}
// Wall time: the tiles are deflated on several threads.
BENCHMARK(BM_RecordWholeLayer)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond)->UseRealTime();

// A short filling run on a 12 MP picture: a dozen tiles changed. What is left
// is the copy at the start and the comparison of every tile at the end.
void BM_RecordFewTiles(benchmark::State& state) {
    constexpr int kWidth = 4096, kHeight = 3072;
    mtxImageStack stack;
    stack.AddLayer(0, std::make_unique<mtxImage>(kWidth, kHeight));
    mtxImage& image = *stack.GetLayer(0)->source;
    Paint(image, 1);
    mtxImage stamp(3 * 128, 4 * 128);
    Paint(stamp, 2);
    for (auto _ : state) {
        mtxChangeHistory history(mtxChangeHistory::kDefaultBudget,
                                 std::make_unique<mtxFileMemory>(1 << 24));
        history.BeginChange(stack, 0, "Fill");
        image.Blit(stamp, mtxRect{}, 1000, 1000);
        if (!history.EndChange(stack)) state.SkipWithError("not recorded");
        state.PauseTiming();
        history.Undo(stack);
        stack.GetLayer(0)->viewerData.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RecordFewTiles)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UndoWholeLayer(benchmark::State& state) {
    int side = int(state.range(0));
    mtxImageStack stack;
    stack.AddLayer(0, std::make_unique<mtxImage>(side, side));
    mtxImage& image = *stack.GetLayer(0)->source;
    Paint(image, 1);
    mtxImage after(side, side);
    Paint(after, 2);
    mtxChangeHistory history(mtxChangeHistory::kDefaultBudget,
                             std::make_unique<mtxFileMemory>(1 << 24));
    history.BeginChange(stack, 0, "Fill");
    image.Blit(after, mtxRect{}, 0, 0);
    history.EndChange(stack);
    for (auto _ : state) {
        if (!history.Undo(stack) || !history.Redo(stack)) state.SkipWithError("walk failed");
        stack.GetLayer(0)->viewerData.clear();
    }
    state.counters["MP/s"] =
        benchmark::Counter(2.0 * side * side / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_UndoWholeLayer)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond);

#if DAUBRY_HAVE_ZLIB
// zlib at its default level deflating each 128 x 128 tile before and after.
void BM_ZlibTilesPeer(benchmark::State& state) {
    int side = int(state.range(0));
    mtxImage before(side, side), after(side, side);
    Paint(before, 1);
    Paint(after, 2);
    std::vector<uint8_t> tile(128 * 128 * 4), out(compressBound(uLong(tile.size())));
    for (auto _ : state) {
        for (mtxImage* image : {&before, &after})
            for (int ty = 0; ty < side; ty += 128)
                for (int tx = 0; tx < side; tx += 128) {
                    for (int y = 0; y < 128; ++y)
                        std::memcpy(tile.data() + y * 512, image->Row(ty + y) + tx, 512);
                    uLongf n = uLongf(out.size());
                    compress2(out.data(), &n, tile.data(), uLong(tile.size()),
                              Z_DEFAULT_COMPRESSION);
                    benchmark::DoNotOptimize(n);
                }
    }
    Megapixels(state, side);
}
BENCHMARK(BM_ZlibTilesPeer)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
