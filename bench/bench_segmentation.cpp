// Segmentation of photographs: mcvSegmentGraph stage by stage against OpenCV's
// GraphSegmentation (sigma 0.8, k 300, minimum size 5), single thread.
//
// The photographs are mosaics of the sample photos at their own scale (mirrored tile by tile),
// so the pictures carry a photo's density of detail at every size. Peak memory is the rise of
// the process's resident high-water mark over what it held before the run (the picture itself
// is not counted), per pixel.
#include <benchmark/benchmark.h>

#include <bit>
#include <chrono>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/ximgproc/segmentation.hpp>
#include <string>

#include "base/cpu_info.h"
#include "fill/segment_graph.h"
#include "process_memory.h"

namespace {

struct Size {
    int width, height;
};
const std::map<int, Size> kSizes = {
    {1, {1152, 864}}, {4, {2304, 1728}}, {12, {4000, 3000}}, {24, {6000, 4000}}};

// The photograph of the given size as OpenCV's BGR picture.
const cv::Mat& Photo(int megapixels) {
    static std::map<int, cv::Mat> cache;
    cv::Mat& photo = cache[megapixels];
    if (!photo.empty()) return photo;
    std::vector<cv::Mat> tiles;
    for (const char* name : {"coffee", "astronaut", "chelsea"}) {
        cv::Mat tile = cv::imread(std::string(DAUBRY_TEST_DATA "/segmentation/") + name + ".jpg");
        if (tile.empty()) throw std::runtime_error(std::string("cannot read ") + name);
        cv::resize(tile, tile, cv::Size(512, 384), 0, 0, cv::INTER_AREA);
        tiles.push_back(tile);
    }
    Size size = kSizes.at(megapixels);
    photo.create(size.height, size.width, CV_8UC3);
    for (int ty = 0; ty * 384 < size.height; ++ty)
        for (int tx = 0; tx * 512 < size.width; ++tx) {
            cv::Mat tile;
            cv::flip(tiles[size_t(tx + 2 * ty) % tiles.size()], tile, (tx + ty) % 3 - 1);
            cv::Rect to(tx * 512, ty * 384, std::min(512, size.width - tx * 512),
                        std::min(384, size.height - ty * 384));
            tile(cv::Rect(0, 0, to.width, to.height)).copyTo(photo(to));
        }
    return photo;
}

std::unique_ptr<mtxImage> PhotoImage(int megapixels) {
    const cv::Mat& bgr = Photo(megapixels);
    cv::Mat bgra;
    cv::cvtColor(bgr, bgra, cv::COLOR_BGR2BGRA);  // the bytes of A8R8G8B8 in memory
    auto image = std::make_unique<mtxImage>(bgra.cols, bgra.rows);
    for (int y = 0; y < bgra.rows; ++y)
        std::memcpy(image->Row(y), bgra.ptr(y), size_t(bgra.cols) * 4);
    return image;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}
// Processor time of the process since the given std::clock() reading: other programs on a
// shared machine do not count.
double CpuSeconds(std::clock_t since) {
    return double(std::clock() - since) / CLOCKS_PER_SEC;
}

const char* const kStageNames[8] = {"1_edges", "2_sort",  "3_merge",  "4_small",
                                    "5_list",  "6_stats", "7_groups", "8_distance"};

void BM_SegmentGraph(benchmark::State& state) {
    int megapixels = int(state.range(0));
    auto picture = PhotoImage(megapixels);
    double pixels = double(picture->width) * picture->height;
    double stage[8] = {}, start = 0, peak = 0, regions = 0, groups = 0;
    for (auto _ : state) {
        long long base = ResetPeak();
        auto s = std::make_unique<mcvSegmentGraph>();
        s->budget = ~0ull;
        std::clock_t t = std::clock();
        s->StartSegmentation(*picture);
        start += CpuSeconds(t);
        for (int i = 0; i < 8; ++i) {
            t = std::clock();
            if (s->Advance()) state.SkipWithError("finished early");
            stage[i] += CpuSeconds(t);
        }
        if (!s->Advance()) state.SkipWithError("not finished");
        peak += double(StatusBytes("VmHWM:") - base);
        regions += double(s->regions.size());
        groups += double(s->groups.size());
    }
    auto avg = [&](double v) { return benchmark::Counter(v, benchmark::Counter::kAvgIterations); };
    // Stage times are processor seconds.
    state.counters["0_copy_blur_s"] = avg(start);
    for (int i = 0; i < 8; ++i) state.counters[std::string(kStageNames[i]) + "_s"] = avg(stage[i]);
    state.counters["peak_B_per_px"] = avg(peak / pixels);
    state.counters["regions"] = avg(regions);
    state.counters["groups"] = avg(groups);
    state.counters["Mpx_per_s"] =
        benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// The same run as the filling task drives it: slices of 100 ms.
void BM_SegmentGraphSliced(benchmark::State& state) {
    auto picture = PhotoImage(int(state.range(0)));
    mtxCpuInfo cpu;
    cpu.Detect();
    double calls = 0, longest = 0, longestStages = 0;
    for (auto _ : state) {
        mcvSegmentGraph s;
        s.budget = uint64_t(cpu.cyclesPerMicrosecond) * 100000;
        s.StartSegmentation(*picture);
        for (;;) {
            auto t = std::chrono::steady_clock::now();
            uint32_t before = s.stages;
            int done = s.Advance();
            if (Seconds(t) > longest) longest = Seconds(t), longestStages = before;
            ++calls;
            if (done) break;
        }
    }
    state.counters["calls"] = benchmark::Counter(calls, benchmark::Counter::kAvgIterations);
    state.counters["longest_call_s"] = longest;
    state.counters["longest_call_stage"] = std::popcount(uint32_t(longestStages)) + 1;
}

void BM_OpenCvGraphSegmentation(benchmark::State& state) {
    cv::setNumThreads(1);
    const cv::Mat& photo = Photo(int(state.range(0)));
    double pixels = double(photo.total()), peak = 0;
    for (auto _ : state) {
        long long base = ResetPeak();
        auto segmentation = cv::ximgproc::segmentation::createGraphSegmentation(0.8, 300, 5);
        cv::Mat labels;
        segmentation->processImage(photo, labels);
        peak += double(StatusBytes("VmHWM:") - base);
        benchmark::DoNotOptimize(labels.data);
    }
    state.counters["peak_B_per_px"] =
        benchmark::Counter(peak / pixels, benchmark::Counter::kAvgIterations);
    state.counters["Mpx_per_s"] =
        benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_SegmentGraph)
    ->Arg(1)
    ->Arg(4)
    ->Arg(12)
    ->Arg(24)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_SegmentGraphSliced)->Arg(12)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_OpenCvGraphSegmentation)
    ->Arg(1)
    ->Arg(4)
    ->Arg(12)
    ->Arg(24)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

BENCHMARK_MAIN();
