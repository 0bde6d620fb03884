// Project files:
// - BM_SaveLog: a project whose log holds 100,000 stamps (shaped as the
//   engine shapes them, or with every seventh kept whole) saved to a file, with a small photo and 4
//   samples, so the time is the log's: serialising, deflating, the CRC and the atomic write;
// - BM_RecoveryCopy: what a recovery copy of the window's run costs every
//   10 s of filling, with a 4-megapixel photo, 32 samples and 100,000
//   stamps: on the user-interface thread, the copies of the photo (compared
//   first with the last capture's) and of the log (argument 0); on the
//   writing thread, the whole project saved (argument 1), or saved again
//   with the photo's and samples' PNG bytes of the last copy (argument 2);
// - BM_Reopen: a project filled on the test photo scaled to 1 and 4
//   megapixels (30,000 stamps placed, untimed) opened from its file and
//   drawn again on the headless device: reading, decoding, making the
//   samples, replaying the log and committing the tiles.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "fill/fill_session.h"
#include "fill/project_file.h"
#include "fill/project_session.h"
#include "fill/sample_collection.h"
#include "image/io/image_load.h"
#include "image/resample.h"
#include "render/image_editor_device.h"
#include "render/layers/photo_layer.h"
#include "tests/fill/stamp_log_support.h"

namespace fs = std::filesystem;

namespace {

std::string TempFile(const std::string& name) {
    return (fs::temp_directory_path() /
            ("daubry-bench-project-" + std::to_string(getpid()) + "-" + name))
        .string();
}

void Disc(int i, mtxImage& disc) {
    const int side = 64;
    disc.Create(side, side, 0);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            double r = std::hypot(x - 31.5, y - 31.5) / 32;
            uint32_t a = uint32_t(std::lround(std::clamp((1 - r) * 4, 0.0, 1.0) * 255));
            uint32_t shade = uint32_t(std::lround(255 * (1 - 0.5 * std::min(r, 1.0))));
            disc.At(x, y) = (a << 24) | ((shade * uint32_t(1 + i % 3) / 3) << 16) |
                            ((shade * uint32_t(1 + i % 4) / 4) << 8) | (shade / 2);
        }
}

void AddDiscs(mtxProject& project, int count) {
    for (int i = 0; i < count; ++i) {
        auto sample = std::make_unique<mtxProject::Sample>();
        sample->path = "disc" + std::to_string(i) + ".png";
        Disc(i, sample->picture);
        project.samples.push_back(std::move(sample));
    }
}

void BM_SaveLog(benchmark::State& state) {
    mtxProject project;
    project.photo.Create(64, 64, 0xFF808080u);
    AddDiscs(project, 4);
    project.log = stamp_log_test::RandomLog(int(state.range(0)), 4, 1, int(state.range(1)));
    std::string path = TempFile("save.daubry"), error;
    for (auto _ : state)
        if (!mtxProjectFile::Save(project, path, error)) state.SkipWithError(error.c_str());
    state.counters["stamps"] = double(project.log.Count());
    state.counters["whole"] = double(project.log.WholeCount());
    state.counters["file bytes"] = double(fs::file_size(path));
    state.counters["bytes/stamp"] = double(fs::file_size(path)) / double(project.log.Count());
    fs::remove(path);
}
// The same project made into bytes only: the save without the disk.
void BM_WriteLog(benchmark::State& state) {
    mtxProject project;
    project.photo.Create(64, 64, 0xFF808080u);
    AddDiscs(project, 4);
    project.log = stamp_log_test::RandomLog(int(state.range(0)), 4, 1, 0);
    std::vector<uint8_t> bytes;
    std::string error;
    for (auto _ : state)
        if (!mtxProjectFile::Write(project, bytes, error)) state.SkipWithError(error.c_str());
    state.counters["bytes"] = double(bytes.size());
}
BENCHMARK(BM_WriteLog)->Arg(100000)->Unit(benchmark::kMillisecond);

// The second argument: every n-th stamp kept whole (0: none, as the engine's).
BENCHMARK(BM_SaveLog)->Args({100000, 0})->Args({100000, 7})->Unit(benchmark::kMillisecond);

void BM_RecoveryCopy(benchmark::State& state) {
    mtxProject project;
    project.photo.Create(2048, 2048, 0);
    uint32_t seed = 1;
    for (int y = 0; y < 2048; ++y)
        for (int x = 0; x < 2048; ++x) {
            seed = seed * 1664525u + 1013904223u;
            // A photo-like picture: smooth with a little noise.
            project.photo.At(x, y) = 0xFF000000u | uint32_t((x / 8) << 16) |
                                     uint32_t((y / 8) << 8) |
                                     ((seed >> 28) + uint32_t((x + y) / 16 % 240));
        }
    AddDiscs(project, 32);
    project.log = stamp_log_test::RandomLog(100000, 32, 1, 0);
    std::string path = TempFile("recovery.daubry"), error;
    mtxImage last, copy;
    last.Create(2048, 2048, 0);
    last.Blit(project.photo, mtxRect{}, 0, 0);
    if (state.range(0) == 2 && !mtxProjectFile::Save(project, path, error))
        state.SkipWithError(error.c_str());
    for (auto _ : state) {
        if (state.range(0) == 0) {
            bool same = std::memcmp(last.data, project.photo.data, size_t(2048) * 2048 * 4) == 0;
            copy.Free();
            copy.Create(2048, 2048, 0);
            copy.Blit(project.photo, mtxRect{}, 0, 0);
            mtxStampLog log = project.log;
            benchmark::DoNotOptimize(same);
            benchmark::DoNotOptimize(log.Count());
        } else {
            if (state.range(0) == 1) {
                project.photoPng.clear();
                for (auto& sample : project.samples) sample->png.clear();
            }
            if (!mtxProjectFile::Save(project, path, error)) state.SkipWithError(error.c_str());
        }
    }
    if (state.range(0) > 0) state.counters["file bytes"] = double(fs::file_size(path));
    fs::remove(path);
}
BENCHMARK(BM_RecoveryCopy)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The device, a layer holding a picture, the samples and a session.
struct Scene {
    explicit Scene(mtxImageEditorDevice& device) : editor(device) {}
    mtxImageEditorDevice& editor;
    SampleCollection samples;
    mtxPhotoLayer picture;
    std::unique_ptr<mtxFillSession> session;

    bool Open(mtxImage& photo) {
        if (!editor.GetDevice() || !picture.Open(editor, photo)) return false;
        samples.Bind(editor);
        session = std::make_unique<mtxFillSession>(editor, samples, *picture.layer);
        return true;
    }
};

// A project filled on the coffee photo at megapixels, saved to path.
bool FillProject(mtxImageEditorDevice& editor, double megapixels, const std::string& path,
                 std::string& error) {
    mtxImage original, photo;
    if (!mtxImageLoad(original, std::string(DAUBRY_TEST_DATA) + "/photos/coffee.png", 0))
        return error = "the test photo cannot be read", false;
    double factor = std::sqrt(megapixels * 1e6 / (double(original.width) * original.height));
    photo.Create(int(std::lround(original.width * factor)),
                 int(std::lround(original.height * factor)), 0);
    ScaleImage(original, photo);
    mtxProject project;
    AddDiscs(project, 16);
    Scene scene(editor);
    if (!scene.Open(photo) || !mtxLoadProjectSamples(project, scene.samples, error))
        return error = "no headless device", false;
    scene.session->Seed(1);
    if (!scene.session->BeginPreparation()) return error = "preparation failed", false;
    while (!scene.session->PrepareSlice()) {
    }
    if (!scene.session->FinishPreparation()) return error = "preparation failed", false;
    for (int guard = 0; scene.session->stamps < 30000 && guard < 1000000; ++guard)
        scene.session->Step(1);
    project.photo.Create(photo.width, photo.height, 0);
    project.photo.Blit(scene.session->sourceCopy, mtxRect{}, 0, 0);
    project.options = mtxStampLog::Options::Of(scene.samples);
    project.log = scene.session->log;
    return mtxProjectFile::Save(project, path, error) == 1;
}

void BM_Reopen(benchmark::State& state) {
    std::string path = TempFile("reopen.daubry"), error;
    // The device is made once, as the program makes it at start.
    mtxImageEditorDevice editor;
    editor.CreateDevice(nullptr);
    if (!FillProject(editor, double(state.range(0)), path, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    uint64_t stamps = 0;
    for (auto _ : state) {
        mtxProject project;
        Scene scene(editor);
        if (!mtxProjectFile::Load(path, project, error) || !scene.Open(project.photo) ||
            !mtxLoadProjectSamples(project, scene.samples, error) ||
            !scene.session->SaveSourceCopy() || !scene.session->Replay(project.log) ||
            !scene.picture.layer->CommitTiles()) {
            state.SkipWithError("reopening failed");
            break;
        }
        stamps = project.log.Count();
    }
    state.counters["stamps"] = double(stamps);
    state.counters["file MB"] = double(fs::file_size(path)) / 1e6;
    fs::remove(path);
}
BENCHMARK(BM_Reopen)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
