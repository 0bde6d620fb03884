#include "png_oracle.h"

#include <zlib.h>

#include <random>
#include <vector>

#include "image/codecs/png_decoder.h"
#include "image/codecs/png_encoder.h"
#include "image/file_memory.h"
#include "tests/oracles/png.h"

namespace png_oracle {

std::string Encode(const mtxImage& image) {
    std::vector<uint8_t> rgba(size_t(image.width) * size_t(image.height) * 4);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            uint32_t p = image.At(x, y);
            uint8_t* o = &rgba[(size_t(y) * size_t(image.width) + size_t(x)) * 4];
            o[0] = uint8_t(p >> 16), o[1] = uint8_t(p >> 8), o[2] = uint8_t(p),
            o[3] = uint8_t(p >> 24);
        }
    return oracle::EncodePng(rgba.data(), uint32_t(image.width), uint32_t(image.height));
}

int OurDecode(const std::string& bytes, mtxImage& image) {
    mtxFileMemory file;
    if (!bytes.empty()) file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    file.Seek(0, 0);
    mtxImageDecoderPng decoder(&file, &image);
    return decoder.Decode(0);
}

std::string OurEncode(mtxImage& image) {
    mtxFileMemory file;
    mtxImageEncoderPng encoder(&file, &image);
    if (encoder.Encode() != 0) return {};
    return std::string(reinterpret_cast<const char*>(file.Data()), file.GetLength());
}

std::string Chunk(const char* type, const std::string& data) {
    std::string out;
    uint32_t n = static_cast<uint32_t>(data.size());
    for (int s = 24; s >= 0; s -= 8) out += static_cast<char>(n >> s);
    out += std::string(type, 4) + data;
    uint32_t crc =
        static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(out.data() + 4), n + 4));
    for (int s = 24; s >= 0; s -= 8) out += static_cast<char>(crc >> s);
    return out;
}

std::string IdatStream(const std::string& bytes) {
    std::string out;
    for (size_t at = 8; at + 12 <= bytes.size();) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + at);
        size_t length = size_t(p[0]) << 24 | size_t(p[1]) << 16 | size_t(p[2]) << 8 | p[3];
        if (bytes.compare(at + 4, 4, "IDAT") == 0) out += bytes.substr(at + 8, length);
        at += length + 12;
    }
    return out;
}

void Fill(mtxImage& image, uint32_t seed, int smooth) {
    std::mt19937 rng(seed);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            uint32_t noise = rng();
            image.At(x, y) =
                smooth ? mtxArgb(255 - (x & 7), (x * 3 + y) & 255, (y * 5) & 255, (x ^ y) & 255) ^
                             (noise & 0x00030103)
                       : noise;
        }
    }
}

}  // namespace png_oracle
