// The filling run as `daubry fill` makes it, headless (llvmpipe where there is
// no GPU), with default options and 32 drawn samples of 128 x 128:
// - BM_Steps: stamps per second of mtxFillSession::Step on a test photo
//   scaled to 1 and 4 megapixels, from the empty (white) picture, the device
//   finished at the end (the tiles committed);
// - BM_Coverage: on the 4-megapixel photo, the seconds from the start
//   (loading the samples and preparing the photo included) to 50, 80, 90 and
//   95% coverage, with the likeness (mean CIE76 difference at sigma 8 against
//   the photo) at each. The likeness measurement and its commit are not timed.
// Both in the Classic mode. In the Fine mode:
// - BM_Fine: on the photo scaled to 1 and 4 megapixels, the whole run from the
//   start (the samples loaded and the photo prepared) to its end (the photo
//   covered), with stamps per second, the seconds to 50, 90, 99 and 100%
//   coverage, the stamp sizes' median and the likeness at the end.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "fill/fill_session.h"
#include "fill/sample_collection.h"
#include "image/color_difference.h"
#include "image/file_memory.h"
#include "image/image.h"
#include "image/io/image_load.h"
#include "image/io/image_save.h"
#include "image/resample.h"
#include "render/image_editor_device.h"
#include "render/layers/flatten_stack.h"
#include "render/layers/photo_layer.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSampleCount = 32, kSampleSide = 128;
constexpr const char* kPhotos[] = {"coffee.png", "astronaut.png"};

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Sample i: a disc (even i) or a flower of 3 to 9 petals (odd i), with a soft
// edge and a shaded interior so the recolouring has light to keep.
void DrawSample(int i, mtxImage& picture) {
    picture.Create(kSampleSide, kSampleSide, 0);
    const float half = kSampleSide / 2.0f;
    const int petals = 3 + (i / 2) % 7;
    const float turn = float(i) * 0.7f;
    const uint32_t hue[3] = {uint32_t(90 + 37 * i) % 256, uint32_t(160 + 53 * i) % 256,
                             uint32_t(40 + 71 * i) % 256};
    for (int y = 0; y < kSampleSide; ++y) {
        mtxColor* row = picture.Row(y);
        for (int x = 0; x < kSampleSide; ++x) {
            float dx = (float(x) + 0.5f - half) / half, dy = (float(y) + 0.5f - half) / half;
            float r = std::sqrt(dx * dx + dy * dy);
            float edge = 0.95f;
            if (i % 2) {
                float a = std::atan2(dy, dx) + turn;
                edge = 0.35f + 0.6f * std::fabs(std::cos(0.5f * float(petals) * a));
            }
            // About one pixel of soft edge.
            float alpha = std::clamp((edge - r) * half + 0.5f, 0.0f, 1.0f);
            float light = 1.0f - 0.5f * std::min(r / edge, 1.0f);
            row[x] = mtxArgb(uint32_t(std::lround(alpha * 255)), uint32_t(float(hue[0]) * light),
                             uint32_t(float(hue[1]) * light), uint32_t(float(hue[2]) * light));
        }
    }
}

// A folder of the drawn samples as PNG files, removed at the end.
class SampleFolder {
  public:
    SampleFolder() {
        path_ = fs::temp_directory_path() / ("daubry-bench-fill-" + std::to_string(getpid()));
        fs::create_directories(path_);
        for (int i = 0; i < kSampleCount; ++i) {
            mtxImage picture;
            DrawSample(i, picture);
            mtxFileMemory file(1u << 16);
            if (!mtxImageWritePng(picture, file)) continue;
            std::ofstream(File(i), std::ios::binary)
                .write(reinterpret_cast<const char*>(file.Data()),
                       std::streamsize(file.GetLength()));
        }
    }
    ~SampleFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string File(int i) const {
        std::string name = "s";
        name += std::to_string(i);
        name += ".png";
        return (path_ / name).string();
    }

  private:
    fs::path path_;
};

// The photo scaled up to about megapixels, keeping its aspect ratio.
bool LoadPhoto(const char* name, double megapixels, mtxImage& scaled) {
    mtxImage photo;
    if (!mtxImageLoad(photo, std::string(DAUBRY_TEST_DATA) + "/photos/" + name, 0)) return false;
    double factor = std::sqrt(megapixels * 1e6 / (double(photo.width) * photo.height));
    scaled.Create(int(std::lround(photo.width * factor)), int(std::lround(photo.height * factor)),
                  0);
    return ScaleImage(photo, scaled) == 1;
}

// The device, the result layer holding the photo, the samples and the session.
struct FillScene {
    mtxImageEditorDevice editor;
    SampleCollection samples;
    mtxPhotoLayer picture;
    std::unique_ptr<mtxFillSession> session;

    // The device and the photo on it; the samples and the session not yet.
    bool Open(const mtxImage& photo) {
        if (!picture.Open(editor, photo)) return false;
        session = std::make_unique<mtxFillSession>(editor, samples, *picture.layer);
        session->Seed(1);
        return true;
    }

    // Loads the samples and prepares the photo, as `daubry fill` does.
    bool Prepare(const SampleFolder& folder, uint32_t mode = SampleCollection::kModeClassic) {
        samples.Bind(editor);
        samples.fillMode = mode;
        for (int i = 0; i < kSampleCount; ++i) samples.AddSample(folder.File(i));
        if (samples.count != kSampleCount) return false;
        if (!session->BeginPreparation()) return false;
        while (!session->PrepareSlice()) {
        }
        return session->Analysed() && session->FinishPreparation();
    }

    // The likeness of the picture as it stands: the tiles committed, the
    // stack flattened, compared with the photo at sigma 8.
    double Likeness() {
        mtxImage flat;
        if (!picture.layer->CommitTiles() || !FlattenStack(picture.stack, flat)) return -1;
        return mtxMeanColorDifference(flat, session->sourceCopy, 8.0f);
    }
};

// Steps from the empty picture; the argument is the photo's megapixels.
void BM_Steps(benchmark::State& state, const char* photoName) {
    mtxImage photo;
    if (!LoadPhoto(photoName, double(state.range(0)), photo)) {
        state.SkipWithError("the test photo cannot be read");
        return;
    }
    SampleFolder folder;
    FillScene scene;
    if (!scene.Open(photo)) {
        state.SkipWithError("no headless device or shaders");
        return;
    }
    auto start = Clock::now();
    if (!scene.Prepare(folder)) {
        state.SkipWithError("the samples or the preparation failed");
        return;
    }
    double prepare = SecondsSince(start);
    const int64_t steps = 20000;
    double seconds = 0;
    for (auto _ : state) {
        start = Clock::now();
        for (int64_t i = 0; i < steps; ++i) scene.session->Step(1);
        // Waits for the device to draw everything.
        if (!scene.picture.layer->CommitTiles()) state.SkipWithError("CommitTiles failed");
        seconds = SecondsSince(start);
    }
    state.counters["pixels"] = double(photo.width) * photo.height;
    state.counters["prepare s"] = prepare;
    state.counters["stamps"] = double(scene.session->stamps);
    state.counters["stamps/s"] = double(scene.session->stamps) / seconds;
    state.counters["steps/s"] = double(scene.session->steps) / seconds;
    state.counters["coverage %"] = scene.session->Coverage() * 100;
}
BENCHMARK_CAPTURE(BM_Steps, coffee, kPhotos[0])
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_Steps, astronaut, kPhotos[1])
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

// The time to each coverage on the 4-megapixel photo, white background.
void BM_Coverage(benchmark::State& state, const char* photoName) {
    mtxImage photo;
    if (!LoadPhoto(photoName, 4.0, photo)) {
        state.SkipWithError("the test photo cannot be read");
        return;
    }
    SampleFolder folder;
    constexpr int kMarks = 4;
    const double marks[kMarks] = {50, 80, 90, 95};
    const char* names[kMarks] = {"50%", "80%", "90%", "95%"};
    // The run ends at the last mark, when 10000 steps in a row place nothing
    // (as `daubry fill` does), or after this long.
    const double kGiveUp = 600;
    for (auto _ : state) {
        FillScene scene;
        if (!scene.Open(photo)) {
            state.SkipWithError("no headless device or shaders");
            return;
        }
        auto start = Clock::now();
        double untimed = 0;  // the likeness measurements
        if (!scene.Prepare(folder)) {
            state.SkipWithError("the samples or the preparation failed");
            return;
        }
        state.counters["prepare s"] = SecondsSince(start);
        int mark = 0, fruitless = 0;
        while (mark < kMarks && fruitless < 10000 && SecondsSince(start) - untimed < kGiveUp) {
            if (scene.session->Step(1) == mtxPlaceResult::kPlaced)
                fruitless = 0;
            else
                ++fruitless;
            if (scene.session->Coverage() * 100 < marks[mark]) continue;
            double seconds = SecondsSince(start) - untimed;
            auto measured = Clock::now();
            state.counters[std::string(names[mark]) + " s"] = seconds;
            state.counters[std::string(names[mark]) + " stamps"] = double(scene.session->stamps);
            state.counters[std::string(names[mark]) + " likeness"] = scene.Likeness();
            untimed += SecondsSince(measured);
            ++mark;
        }
        state.counters["coverage %"] = scene.session->Coverage() * 100;
        state.counters["stamps"] = double(scene.session->stamps);
        state.counters["run s"] = SecondsSince(start) - untimed;
    }
}
BENCHMARK_CAPTURE(BM_Coverage, coffee, kPhotos[0])
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_Coverage, astronaut, kPhotos[1])
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

// The Fine mode's whole run; the argument is the photo's megapixels.
void BM_Fine(benchmark::State& state, const char* photoName) {
    mtxImage photo;
    if (!LoadPhoto(photoName, double(state.range(0)), photo)) {
        state.SkipWithError("the test photo cannot be read");
        return;
    }
    SampleFolder folder;
    const int marks[] = {50, 90, 99, 100};
    for (auto _ : state) {
        FillScene scene;
        if (!scene.Open(photo)) {
            state.SkipWithError("no headless device or shaders");
            return;
        }
        auto start = Clock::now();
        if (!scene.Prepare(folder, SampleCollection::kModeFine)) {
            state.SkipWithError("the samples or the preparation failed");
            return;
        }
        state.counters["prepare s"] = SecondsSince(start);
        auto filling = Clock::now();
        size_t mark = 0;
        std::vector<int32_t> sizes;
        mtxStamp stamp;
        for (;;) {
            mtxPlaceResult result = scene.session->Step(1, &stamp);
            if (result == mtxPlaceResult::kFinished) break;
            if (result != mtxPlaceResult::kPlaced) continue;
            sizes.push_back(stamp.size);
            while (mark < std::size(marks) && scene.session->Coverage() * 100 >= marks[mark])
                state.counters[std::to_string(marks[mark++]) + "% s"] = SecondsSince(start);
        }
        if (!scene.picture.layer->CommitTiles()) state.SkipWithError("CommitTiles failed");
        double seconds = SecondsSince(filling);
        state.counters["run s"] = SecondsSince(start);
        state.counters["stamps"] = double(sizes.size());
        state.counters["stamps/s"] = double(sizes.size()) / seconds;
        std::nth_element(sizes.begin(), sizes.begin() + long(sizes.size() / 2), sizes.end());
        state.counters["size p50"] = sizes.empty() ? 0 : sizes[sizes.size() / 2];
        state.counters["likeness"] = scene.Likeness();
    }
}
BENCHMARK_CAPTURE(BM_Fine, coffee, kPhotos[0])
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
