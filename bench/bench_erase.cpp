// Erasing stamps from a filled picture, headless (llvmpipe where there is no
// GPU): a test photo scaled to 4 megapixels, filled in the Classic mode with
// 8 drawn samples to about 60,000 stamps, then in each iteration 100 stamps
// erased and the pixels under them drawn again from the log
// (mtxFillSession::EraseStamps), then the tiles committed into the picture
// ("erase ms" and "commit ms" give the two parts):
// - BM_EraseStroke: the 100 topmost stamps whose points lie nearest a random
//   place, as an eraser's drag takes them;
// - BM_EraseScattered: 100 stamps anywhere, so nearly every tile is drawn into.
// Finding the stamps is not timed; "find ms" gives what StampsNear took.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "fill/fill_session.h"
#include "fill/sample_collection.h"
#include "image/image.h"
#include "image/io/image_load.h"
#include "image/resample.h"
#include "render/image_editor_device.h"
#include "render/layers/photo_layer.h"

namespace {

using Clock = std::chrono::steady_clock;

void DrawSample(int i, mtxImage& picture) {
    const int side = 64;
    picture.Create(side, side, 0);
    const float half = side / 2.0f;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            float dx = (float(x) + 0.5f - half) / half, dy = (float(y) + 0.5f - half) / half;
            float r = std::sqrt(dx * dx + dy * dy);
            float alpha = std::clamp((0.95f - r) * half + 0.5f, 0.0f, 1.0f);
            uint32_t light = uint32_t(255 * (1.0f - 0.5f * std::min(r, 1.0f)));
            picture.At(x, y) = mtxArgb(uint32_t(std::lround(alpha * 255)), light,
                                       (light * uint32_t(3 + i)) / 12, light / 2);
        }
}

struct Scene {
    mtxImageEditorDevice editor;
    SampleCollection samples;
    mtxPhotoLayer picture;
    std::unique_ptr<mtxFillSession> session;

    bool Fill(uint64_t stamps) {
        mtxImage loaded, photo;
        if (!mtxImageLoad(loaded, std::string(DAUBRY_TEST_DATA) + "/photos/coffee.png", 0))
            return false;
        const double factor = std::sqrt(4e6 / (double(loaded.width) * loaded.height));
        photo.Create(int(std::lround(loaded.width * factor)),
                     int(std::lround(loaded.height * factor)), 0);
        if (!ScaleImage(loaded, photo)) return false;
        if (!picture.Open(editor, photo)) return false;
        samples.Bind(editor);
        samples.fillMode = SampleCollection::kModeClassic;
        samples.sizeMin = 8, samples.sizeMax = 60;
        for (int i = 0; i < 8; ++i) {
            mtxImage picture;
            DrawSample(i, picture);
            if (!samples.AddSamplePicture(picture, "s" + std::to_string(i) + ".png")) return false;
        }
        session = std::make_unique<mtxFillSession>(editor, samples, *picture.layer);
        session->Seed(1);
        if (!session->BeginPreparation()) return false;
        while (!session->PrepareSlice()) {
        }
        if (!session->FinishPreparation()) return false;
        session->OpenBatch();
        for (int guard = 0; session->stamps < stamps && guard < 10000000; ++guard) session->Step(1);
        return session->CloseBatch() && picture.layer->CommitTiles();
    }
};

void Erase(benchmark::State& state, bool stroke) {
    Scene scene;
    if (!scene.Fill(60000)) {
        state.SkipWithError("no headless device, or the photo could not be filled");
        return;
    }
    mtxFillSession& session = *scene.session;
    const mtxImage& photo = session.sourceCopy;
    std::mt19937 random(4);
    double find = 0, erase = 0, commit = 0;
    int64_t erased = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto start = Clock::now();
        std::vector<uint64_t> list;
        if (stroke) {
            const float x = float(random() % uint32_t(photo.width));
            const float y = float(random() % uint32_t(photo.height));
            for (float radius = 16; list.size() < 100 && radius < 4096; radius *= 1.5f)
                list = session.StampsNear(x, y, radius);
        } else {
            while (list.size() < 100) {
                const uint64_t i = random() % session.log.Count();
                if (!session.log.Erased(i) && std::find(list.begin(), list.end(), i) == list.end())
                    list.push_back(i);
            }
        }
        list.resize(std::min<size_t>(list.size(), 100));
        find += std::chrono::duration<double>(Clock::now() - start).count();
        state.ResumeTiming();
        start = Clock::now();
        const int64_t n = session.EraseStamps(list);
        const auto drawn = Clock::now();
        session.Commit();
        erase += std::chrono::duration<double>(drawn - start).count();
        commit += std::chrono::duration<double>(Clock::now() - drawn).count();
        if (n < 0) state.SkipWithError("the stamps could not be drawn again");
        erased += n;
    }
    state.counters["stamps"] = double(session.log.Count());
    state.counters["erased/iter"] = double(erased) / double(state.iterations());
    state.counters["find ms"] = 1000 * find / double(state.iterations());
    state.counters["erase ms"] = 1000 * erase / double(state.iterations());
    state.counters["commit ms"] = 1000 * commit / double(state.iterations());
    state.counters["pixels"] = double(photo.width) * photo.height;
}

void BM_EraseStroke(benchmark::State& state) {
    Erase(state, true);
}
BENCHMARK(BM_EraseStroke)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void BM_EraseScattered(benchmark::State& state) {
    Erase(state, false);
}
BENCHMARK(BM_EraseScattered)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
