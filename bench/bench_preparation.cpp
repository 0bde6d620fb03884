// The preparation of a photo for filling, mcvSegmentGraph from start to end, on a test photo
// scaled to 12 megapixels (4000 x 3000), on 1 and 2 threads, the distance field on the calling
// thread or in column blocks too (band_merges):
// - BM_Preparation: every stage in one call each (no time slices), wall seconds per stage;
// - BM_PreparationSliced: the run as the filling session drives it, in slices of 100 ms, with
//   the longest slice (what a Stop may wait for).
// On a machine busy with other work the threads do not get a processor each, and the wall time
// says little about what two idle cores give: main_thread_cpu_s (the calling thread, which also
// runs every serial part) and all_threads_cpu_s (every thread) are processor seconds.
// Peak memory is the rise of the process's resident high-water mark over what it held before the
// run (the photo itself is not counted), per pixel; process_peak_B_per_px counts everything the
// process held at its peak, photo included.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "base/cpu_info.h"
#include "fill/segment_graph.h"
#include "image/image.h"
#include "image/io/image_load.h"
#include "image/resample.h"
#include "process_memory.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// coffee.png, or the photo DAUBRY_BENCH_PHOTO names, scaled to 4000 x 3000, made once.
const mtxImage& Photo12() {
    static mtxImage scaled;
    if (!scaled.IsEmpty()) return scaled;
    mtxImage photo;
    const char* chosen = std::getenv("DAUBRY_BENCH_PHOTO");
    std::string path = chosen ? chosen : std::string(DAUBRY_TEST_DATA) + "/photos/coffee.png";
    if (!mtxImageLoad(photo, path, 0)) throw std::runtime_error("cannot read " + path);
    scaled.Create(4000, 3000, 0);
    if (ScaleImage(photo, scaled) != 1) throw std::runtime_error("cannot scale " + path);
    return scaled;
}

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](timeval t) { return double(t.tv_sec) + 1e-6 * double(t.tv_usec); };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void SetRate() {
    static bool done = false;
    if (done) return;
    mtxCpuInfo cpu;
    cpu.Detect();
    mtxImageConverter::SetCyclesPerMicrosecond(cpu.cyclesPerMicrosecond);
    done = true;
}

const char* const kStageNames[9] = {"0_copy_blur", "1_edges", "2_sort",   "3_merge",   "4_small",
                                    "5_list",      "6_stats", "7_groups", "8_distance"};

void BM_Preparation(benchmark::State& state) {
    SetRate();
    mtxImage& photo = const_cast<mtxImage&>(Photo12());
    double pixels = double(photo.width) * photo.height;
    double stage[9] = {}, peak = 0, processPeak = 0, mainCpu = 0, allCpu = 0;
    for (auto _ : state) {
        long long base = ResetPeak();
        double main0 = CpuSeconds(RUSAGE_THREAD), all0 = CpuSeconds(RUSAGE_SELF);
        auto s = std::make_unique<mcvSegmentGraph>();
        s->threads = uint32_t(state.range(0));
        s->bandMerges = state.range(1);
        s->budget = ~0ull;
        auto t = Clock::now();
        s->StartSegmentation(photo);
        stage[0] += SecondsSince(t);
        for (int i = 1; i < 9; ++i) {
            t = Clock::now();
            if (s->Advance()) state.SkipWithError("finished early");
            stage[i] += SecondsSince(t);
        }
        if (!s->Advance()) state.SkipWithError("not finished");
        mainCpu += CpuSeconds(RUSAGE_THREAD) - main0;
        allCpu += CpuSeconds(RUSAGE_SELF) - all0;
        long long high = StatusBytes("VmHWM:");
        peak += double(high - base);
        processPeak += double(high);
    }
    auto avg = [&](double v) { return benchmark::Counter(v, benchmark::Counter::kAvgIterations); };
    for (int i = 0; i < 9; ++i) state.counters[std::string(kStageNames[i]) + "_s"] = avg(stage[i]);
    state.counters["main_thread_cpu_s"] = avg(mainCpu);
    state.counters["all_threads_cpu_s"] = avg(allCpu);
    state.counters["peak_B_per_px"] = avg(peak / pixels);
    state.counters["process_peak_B_per_px"] = avg(processPeak / pixels);
}

void BM_PreparationSliced(benchmark::State& state) {
    SetRate();
    mtxImage& photo = const_cast<mtxImage&>(Photo12());
    double calls = 0, longest = 0;
    for (auto _ : state) {
        mcvSegmentGraph s;
        s.threads = uint32_t(state.range(0));
        s.bandMerges = state.range(1);
        s.SetTimeBudget(100);
        s.StartSegmentation(photo);
        for (;;) {
            auto t = Clock::now();
            int done = s.Advance();
            longest = std::max(longest, SecondsSince(t));
            ++calls;
            if (done) break;
        }
    }
    state.counters["calls"] = benchmark::Counter(calls, benchmark::Counter::kAvgIterations);
    state.counters["longest_call_s"] = longest;
}

}  // namespace

// threads, and whether the distance field runs in column blocks too.
BENCHMARK(BM_Preparation)
    ->ArgNames({"threads", "band_merges"})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_PreparationSliced)
    ->ArgNames({"threads", "band_merges"})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

BENCHMARK_MAIN();
