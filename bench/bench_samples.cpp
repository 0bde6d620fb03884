// Adding 128 samples of 256 x 256 pixels to a collection, from PNG files to textures on the
// headless device (llvmpipe where there is no GPU): loading, opaque radius, texture, mean colour
// and key. The files are written once, before the timing.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "fill/message_sink.h"
#include "fill/sample_collection.h"
#include "image/file_stream.h"
#include "image/image.h"
#include "image/io/image_save.h"
#include "render/image_editor_device.h"

namespace {

constexpr int kSide = 256;
constexpr int kSamples = 128;

// A flower-like sample: a soft-edged disc with a colour gradient and a little noise.
void WriteSample(const std::string& path, uint32_t seed) {
    std::mt19937 random(seed);
    mtxImage image(kSide, kSide);
    double radius = 60 + random() % 60;
    uint32_t r0 = random() % 256, g0 = random() % 256, b0 = random() % 256;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            double d = std::hypot(x - 127.5, y - 127.5);
            double a = std::clamp((radius - d) / 8.0, 0.0, 1.0) * 255.0;
            uint32_t noise = random() % 16;
            image.At(x, y) = mtxArgb(uint32_t(a), (r0 + x / 2 + noise) & 0xFF,
                                     (g0 + y / 2 + noise) & 0xFF, (b0 + noise) & 0xFF);
        }
    mtxFileStream<65536> file;
    if (!file.Open(path, mtxFile::kWrite | mtxFile::kCreate) || !mtxImageWritePng(image, file))
        throw std::runtime_error("cannot write " + path);
}

struct Fixture {
    Fixture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "daubry-bench-XXXXXX");
        if (!mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
        folder = pattern;
        for (int i = 0; i < kSamples; ++i) {
            paths.push_back(folder + "/sample" + std::to_string(i) + ".png");
            WriteSample(paths.back(), uint32_t(i));
        }
        if (!editor.CreateDevice(nullptr)) throw std::runtime_error("no headless device");
    }
    ~Fixture() { std::filesystem::remove_all(folder); }

    std::string folder;
    std::vector<std::string> paths;
    mtxImageEditorDevice editor;
};

void AddSamples(benchmark::State& state) {
    Fixture fixture;
    mtxMessagePrinter messages;
    for (auto _ : state) {
        SampleCollection collection;
        collection.Bind(fixture.editor, &messages);
        for (const std::string& path : fixture.paths) collection.AddSample(path);
        if (collection.count != kSamples) state.SkipWithError("a sample was not added");
        collection.ClearSamples();
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(AddSamples)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
