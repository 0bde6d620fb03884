// Deflate and PNG speed beside zlib and libpng, on photographs scaled to
// about 1, 4 and 16 megapixels and on a text corpus (the program's own
// sources). Counters: MB/s or MP/s, and compressed sizes.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "image/codecs/deflate.h"
#include "image/codecs/png_decoder.h"
#include "image/codecs/png_encoder.h"
#include "image/codecs/png_rows.h"
#include "image/file_memory.h"
#include "tests/oracles/png.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::unique_ptr<mtxImage> LoadPhoto(const char* name) {
    std::string bytes = ReadAll(std::string(DAUBRY_TEST_DATA) + "/photos/" + name);
    mtxFileMemory file;
    file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    auto image = std::make_unique<mtxImage>();
    mtxImageDecoderPng decoder(&file, image.get());
    if (decoder.Decode(0) != 1) return nullptr;
    return image;
}

// The photo scaled bilinearly to about megapixels, with a little fixed noise
// per sample so the enlargement keeps a photograph's grain.
std::unique_ptr<mtxImage> Scaled(const mtxImage& src, double megapixels) {
    double aspect = double(src.width) / src.height;
    int h = static_cast<int>(std::lround(std::sqrt(megapixels * 1e6 / aspect)));
    int w = static_cast<int>(std::lround(h * aspect));
    auto out = std::make_unique<mtxImage>(w, h);
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
        double fy = (y + 0.5) * src.height / h - 0.5;
        int y0 = std::max(0, static_cast<int>(std::floor(fy)));
        int y1 = std::min(src.height - 1, y0 + 1);
        double ty = std::clamp(fy - y0, 0.0, 1.0);
        for (int x = 0; x < w; ++x) {
            double fx = (x + 0.5) * src.width / w - 0.5;
            int x0 = std::max(0, static_cast<int>(std::floor(fx)));
            int x1 = std::min(src.width - 1, x0 + 1);
            double tx = std::clamp(fx - x0, 0.0, 1.0);
            uint32_t p = 0xFF000000u;
            for (int c = 0; c < 24; c += 8) {
                auto ch = [&](int xx, int yy) { return double((src.At(xx, yy) >> c) & 255); };
                double v = (ch(x0, y0) * (1 - tx) + ch(x1, y0) * tx) * (1 - ty) +
                           (ch(x0, y1) * (1 - tx) + ch(x1, y1) * tx) * ty;
                seed = seed * 1664525u + 1013904223u;
                v += double(seed >> 29) - 3.5;  // -3.5 .. +3.5
                p |= uint32_t(std::clamp(std::lround(v), 0l, 255l)) << c;
            }
            out->At(x, y) = p;
        }
    }
    return out;
}

struct Pictures {
    std::map<int, std::unique_ptr<mtxImage>> image;  // by megapixels
    std::map<int, Bytes> rgba;                       // the same as RGBA bytes
    std::map<int, std::string> libpngFile;           // written by libpng, default settings
    Bytes filtered4;                                 // PNG-filtered rows of the 4 MP picture
    Bytes text;
};

Bytes ToRgba(const mtxImage& image) {
    Bytes out(size_t(image.width) * image.height * 4);
    for (int y = 0; y < image.height; ++y)
        mtxPngRows::ToRgba(image.Row(y), image.width, out.data() + size_t(y) * image.width * 4);
    return out;
}

// Rows filtered as the PNG encoder filters them.
Bytes Filtered(const mtxImage& image) {
    uint32_t n = uint32_t(image.width) * 4;
    Bytes out, raw(n), prev(n, 0), best(n), cand(n);
    for (int y = 0; y < image.height; ++y) {
        mtxPngRows::ToRgba(image.Row(y), image.width, raw.data());
        uint8_t bestFilter = 0;
        best = raw;
        uint32_t bestScore = mtxPngRows::Score(best.data(), n);
        for (uint8_t f = 1; f <= (y ? 4 : 1); ++f) {
            mtxPngRows::ApplyFilter(f, raw.data(), prev.data(), cand.data(), n, 4);
            uint32_t s = mtxPngRows::Score(cand.data(), n);
            if (s > bestScore) bestScore = s, bestFilter = f, best.swap(cand);
        }
        out.push_back(bestFilter);
        out.insert(out.end(), best.begin(), best.end());
        prev.swap(raw);
    }
    return out;
}

Bytes SourceText() {
    std::string root = std::string(DAUBRY_TEST_DATA) + "/../..";
    std::string all;
    for (const char* dir : {"image", "app", "platform", "fill", "render", "ui"}) {
        std::error_code ec;
        for (auto& e : std::filesystem::recursive_directory_iterator(root + "/" + dir, ec)) {
            auto ext = e.path().extension();
            if (ext == ".cpp" || ext == ".h") all += ReadAll(e.path().string());
        }
    }
    Bytes out;
    while (!all.empty() && out.size() < (4u << 20)) out.insert(out.end(), all.begin(), all.end());
    out.resize(std::min<size_t>(out.size(), 4u << 20));
    return out;
}

Pictures& Data() {
    static Pictures* p = [] {
        auto* d = new Pictures;
        auto photo = LoadPhoto("astronaut.png");
        for (int mp : {1, 4, 16}) {
            d->image[mp] = Scaled(*photo, mp);
            d->rgba[mp] = ToRgba(*d->image[mp]);
            d->libpngFile[mp] = oracle::EncodePng(d->rgba[mp].data(), uint32_t(d->image[mp]->width),
                                                  uint32_t(d->image[mp]->height));
        }
        d->filtered4 = Filtered(*d->image[4]);
        d->text = SourceText();
        return d;
    }();
    return *p;
}

const Bytes& Corpus(int which) {
    return which == 0 ? Data().filtered4 : Data().text;
}
const char* CorpusName(int which) {
    return which == 0 ? "photo 4 MP filtered" : "text";
}

Bytes OurDeflate(const Bytes& data) {
    mtxFileMemory in, out(1 << 20);
    in.Attach(const_cast<uint8_t*>(data.data()), static_cast<uint32_t>(data.size()), 0);
    mtxCompressorZLIB<15, 3> z;
    z.SetInput(&in);
    z.SetOutput(&out);
    z.BeginCompress();
    z.Compress(1);
    return Bytes(out.Data(), out.Data() + out.GetLength());
}

Bytes ZlibDeflate(const Bytes& data, int level) {
    uLongf n = compressBound(static_cast<uLong>(data.size()));
    Bytes out(n);
    compress2(out.data(), &n, data.data(), static_cast<uLong>(data.size()), level);
    out.resize(n);
    return out;
}

void SizeCounters(benchmark::State& state, const Bytes& in, size_t out) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
    state.counters["in_bytes"] = double(in.size());
    state.counters["out_bytes"] = double(out);
    state.counters["ratio_pct"] = 100.0 * double(out) / double(in.size());
    state.SetLabel(CorpusName(int(state.range(0))));
}

void Compress_Ours(benchmark::State& state) {
    const Bytes& data = Corpus(int(state.range(0)));
    size_t size = 0;
    for (auto _ : state) size = OurDeflate(data).size();
    SizeCounters(state, data, size);
}

void Compress_Zlib(benchmark::State& state) {
    const Bytes& data = Corpus(int(state.range(0)));
    size_t size = 0;
    for (auto _ : state) size = ZlibDeflate(data, int(state.range(1))).size();
    SizeCounters(state, data, size);
}

// Both inflaters read the same stream, written by zlib at level 6.
void Inflate_Ours(benchmark::State& state) {
    const Bytes& data = Corpus(int(state.range(0)));
    Bytes stream = ZlibDeflate(data, 6);
    Bytes out(data.size() + 1);
    for (auto _ : state) {
        mtxFileMemory in, sink;
        in.Attach(stream.data(), static_cast<uint32_t>(stream.size()), 0);
        sink.Attach(out.data(), static_cast<uint32_t>(out.size()), 0);
        sink.SetLength(0);
        mtxCompressorZLIB<15, 3> z;
        z.SetInput(&in);
        z.SetOutput(&sink);
        if (z.Decompress() != 0) state.SkipWithError("decompress failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
    state.SetLabel(CorpusName(int(state.range(0))));
}

void Inflate_Zlib(benchmark::State& state) {
    const Bytes& data = Corpus(int(state.range(0)));
    Bytes stream = ZlibDeflate(data, 6);
    Bytes out(data.size() + 1);
    for (auto _ : state) {
        uLongf n = static_cast<uLongf>(out.size());
        if (uncompress(out.data(), &n, stream.data(), static_cast<uLong>(stream.size())) != Z_OK)
            state.SkipWithError("uncompress failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
    state.SetLabel(CorpusName(int(state.range(0))));
}

void PixelCounters(benchmark::State& state, const mtxImage& image, size_t fileBytes) {
    double pixels = double(image.width) * image.height;
    state.counters["MP_per_s"] =
        benchmark::Counter(pixels * 1e-6 * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["file_bytes"] = double(fileBytes);
    state.SetLabel(std::to_string(image.width) + "x" + std::to_string(image.height));
}

void PngEncode_Ours(benchmark::State& state) {
    mtxImage& image = *Data().image[int(state.range(0))];
    size_t size = 0;
    for (auto _ : state) {
        mtxFileMemory file(1 << 20);
        mtxImageEncoderPng encoder(&file, &image);
        encoder.Encode();
        size = size_t(file.GetLength());
    }
    PixelCounters(state, image, size);
}

void PngEncode_Libpng(benchmark::State& state) {
    int mp = int(state.range(0));
    mtxImage& image = *Data().image[mp];
    size_t size = 0;
    for (auto _ : state)
        size =
            oracle::EncodePng(Data().rgba[mp].data(), uint32_t(image.width), uint32_t(image.height))
                .size();
    PixelCounters(state, image, size);
}

// Both decoders read the file libpng wrote with its default settings.
void PngDecode_Ours(benchmark::State& state) {
    int mp = int(state.range(0));
    const std::string& bytes = Data().libpngFile[mp];
    mtxImage image;
    for (auto _ : state) {
        mtxFileMemory file;
        file.Attach(const_cast<char*>(bytes.data()), static_cast<uint32_t>(bytes.size()), 0);
        mtxImageDecoderPng decoder(&file, &image);
        if (decoder.Decode(0) != 1) state.SkipWithError("decode failed");
    }
    PixelCounters(state, *Data().image[mp], bytes.size());
}

void PngDecode_Libpng(benchmark::State& state) {
    int mp = int(state.range(0));
    const std::string& bytes = Data().libpngFile[mp];
    oracle::PngPicture picture;
    for (auto _ : state)
        if (!oracle::DecodePng(bytes, picture)) state.SkipWithError("decode failed");
    PixelCounters(state, *Data().image[mp], bytes.size());
}

BENCHMARK(Compress_Ours)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(Compress_Zlib)
    ->Args({0, 6})
    ->Args({0, 9})
    ->Args({1, 6})
    ->Args({1, 9})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2);
BENCHMARK(Inflate_Ours)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(Inflate_Zlib)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(PngEncode_Ours)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(PngEncode_Libpng)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(PngDecode_Ours)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(PngDecode_Libpng)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

BENCHMARK_MAIN();
