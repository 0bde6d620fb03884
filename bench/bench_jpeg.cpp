// Speed of the JPEG writer and of loading a JPEG file into an image, beside
// libjpeg-turbo in the same program:
//   Encode: quality 100, 4:4:4, optimised Huffman tables (both passes); the
//           peer with its float DCT at the same settings. Then ours at the
//           saving default (quality 92, 4:2:0).
//   Load:   mtxImage::Load of a camera-like JPEG file (4:2:0, quality 90),
//           PNG probe and file reading included; the peer decodes the same
//           bytes from memory with tjDecompress2.
#include <benchmark/benchmark.h>

#include <turbojpeg.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "image/codecs/jpeg_encoder.h"
#include "image/file_memory.h"
#include "image/image.h"
#include "image/io/image_load.h"
#include "image/io/image_save.h"
#include "tests/oracles/jpeg.h"
#include "tests/oracles/png.h"

namespace {

// About 1, 4 and 16 megapixels at 4:3.
constexpr int kWidths[] = {1152, 2304, 4608};

void Sizes(benchmark::internal::Benchmark* b) {
    for (int w : kWidths) b->Arg(w);
    b->Unit(benchmark::kMillisecond);
}

// The coffee photograph, scaled up bilinearly with a little sensor noise so
// that it compresses like a photograph of that size.
const mtxImage& Photo(int width) {
    static std::map<int, std::unique_ptr<mtxImage>> cache;
    auto& slot = cache[width];
    if (slot) return *slot;
    const oracle::Pixels src =
        oracle::ReadPng(std::string(DAUBRY_TEST_DATA) + "/photos/coffee.png");
    const int sw = src.width, sh = src.height;
    int height = width * 3 / 4;
    slot = std::make_unique<mtxImage>(width, height);
    std::mt19937 random(1);
    for (int y = 0; y < height; ++y) {
        float fy = std::min(float(y) * float(sh - 1) / float(height - 1), float(sh - 1) - 0.001f);
        int y0 = int(fy);
        float ty = fy - float(y0);
        for (int x = 0; x < width; ++x) {
            float fx =
                std::min(float(x) * float(sw - 1) / float(width - 1), float(sw - 1) - 0.001f);
            int x0 = int(fx);
            float tx = fx - float(x0);
            uint32_t out = 0xFF000000u;
            for (int shift = 0; shift < 24; shift += 8) {
                auto c = [&](int xx, int yy) {
                    return float((src.data[size_t(yy) * sw + size_t(xx)] >> shift) & 255);
                };
                float v = (c(x0, y0) * (1 - tx) + c(x0 + 1, y0) * tx) * (1 - ty) +
                          (c(x0, y0 + 1) * (1 - tx) + c(x0 + 1, y0 + 1) * tx) * ty;
                v += float(int(random() % 7) - 3);
                out |= uint32_t(std::clamp(v, 0.0f, 255.0f)) << shift;
            }
            slot->At(x, y) = out;
        }
    }
    return *slot;
}

// libjpeg-turbo at the settings of a comparison: full-resolution chroma,
// optimised tables and the float DCT as our writer, or a camera's defaults.
std::string TurboEncode(const mtxImage& image, int quality, bool full, bool optimise) {
    oracle::JpegOptions options;
    options.quality = quality;
    options.fullChroma = full;
    options.optimise = optimise;
    options.floatDct = true;
    return oracle::EncodeJpeg(reinterpret_cast<const uint32_t*>(image.Row(0)), image.width,
                              image.height, size_t(image.pitch) / 4, options);
}

void SetRate(benchmark::State& state, const mtxImage& image) {
    state.counters["MP/s"] = benchmark::Counter(
        double(image.width) * double(image.height) * 1e-6 * double(state.iterations()),
        benchmark::Counter::kIsRate);
}

void EncodeOurs(benchmark::State& state, float quality) {
    mtxImage& image = const_cast<mtxImage&>(Photo(int(state.range(0))));
    size_t bytes = 0;
    for (auto _ : state) {
        mtxFileMemory file(1 << 24);
        mtxImageEncoderJpeg encoder(&file, &image, 1);
        encoder.quality = quality;
        if (encoder.Encode() != 0) state.SkipWithError("encode failed");
        bytes = size_t(file.GetLength());
    }
    SetRate(state, image);
    state.counters["bytes"] = double(bytes);
}

void BM_EncodeOurs(benchmark::State& state) {
    EncodeOurs(state, 100);
}

void BM_EncodeOursSubsampled(benchmark::State& state) {
    EncodeOurs(state, mtxJpegDefaultQuality);
}

void BM_EncodeLibjpegTurbo(benchmark::State& state) {
    const mtxImage& image = Photo(int(state.range(0)));
    size_t bytes = 0;
    for (auto _ : state) bytes = TurboEncode(image, 100, true, true).size();
    SetRate(state, image);
    state.counters["bytes"] = double(bytes);
}

// The camera-like file of a size, on disk and in memory.
struct JpegFile {
    std::string path, bytes;
    ~JpegFile() {
        if (!path.empty()) unlink(path.c_str());
    }
};

const JpegFile& File(int width) {
    static std::map<int, JpegFile> files;
    JpegFile& f = files[width];
    if (!f.bytes.empty()) return f;
    f.bytes = TurboEncode(Photo(width), 90, false, false);
    f.path = "/tmp/daubry-bench-" + std::to_string(getpid()) + "-" + std::to_string(width) + ".jpg";
    std::ofstream(f.path, std::ios::binary) << f.bytes;
    return f;
}

void BM_LoadOurs(benchmark::State& state) {
    const JpegFile& f = File(int(state.range(0)));
    for (auto _ : state) {
        mtxImage image;
        if (!mtxImageLoad(image, f.path, 0)) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(image.data);
    }
    SetRate(state, Photo(int(state.range(0))));
}

void BM_DecodeLibjpegTurbo(benchmark::State& state) {
    const JpegFile& f = File(int(state.range(0)));
    const mtxImage& photo = Photo(int(state.range(0)));
    tjhandle handle = tjInitDecompress();
    std::vector<uint32_t> out(size_t(photo.width) * size_t(photo.height));
    for (auto _ : state) {
        if (tjDecompress2(handle, reinterpret_cast<const unsigned char*>(f.bytes.data()),
                          static_cast<unsigned long>(f.bytes.size()),
                          reinterpret_cast<unsigned char*>(out.data()), photo.width, 0,
                          photo.height, TJPF_BGRX, 0) != 0)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.data());
    }
    tjDestroy(handle);
    SetRate(state, photo);
}

}  // namespace

BENCHMARK(BM_EncodeOurs)->Apply(Sizes);
BENCHMARK(BM_EncodeOursSubsampled)->Apply(Sizes);
BENCHMARK(BM_EncodeLibjpegTurbo)->Apply(Sizes);
BENCHMARK(BM_LoadOurs)->Apply(Sizes);
BENCHMARK(BM_DecodeLibjpegTurbo)->Apply(Sizes);

BENCHMARK_MAIN();
