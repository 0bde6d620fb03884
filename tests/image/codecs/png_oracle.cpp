#include "png_oracle.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>
#include <random>

#include "image/codecs/png_decoder.h"
#include "image/codecs/png_encoder.h"
#include "image/file_memory.h"

namespace png_oracle {
namespace {

struct Source {
    const std::string* bytes;
    size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n) {
    auto* s = static_cast<Source*>(png_get_io_ptr(png));
    if (s->at + n > s->bytes->size()) png_error(png, "read past end");
    std::memcpy(out, s->bytes->data() + s->at, n);
    s->at += n;
}

void Quiet(png_structp, png_const_charp) {}

void WriteToString(png_structp png, png_bytep data, png_size_t n) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), n);
}
void NoFlush(png_structp) {}

}  // namespace

bool Decode(const std::string& bytes, Picture& out) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Quiet);
    png_infop info = png_create_info_struct(png);
    Source source{&bytes, 0};
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &source, ReadFromMemory);
    png_read_info(png, info);
    out.width = png_get_image_width(png, info);
    out.height = png_get_image_height(png, info);
    out.colorType = png_get_color_type(png, info);
    out.hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out.rgba.assign(size_t(out.width) * out.height * 4, 0);
    rows.resize(out.height);
    for (uint32_t y = 0; y < out.height; ++y) rows[y] = out.rgba.data() + size_t(y) * out.width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

std::string Encode(const mtxImage& image) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Quiet);
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> row(size_t(image.width) * 4);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, WriteToString, NoFlush);
    png_set_IHDR(png, info, uint32_t(image.width), uint32_t(image.height), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            uint32_t p = image.At(x, y);
            uint8_t* o = &row[size_t(x) * 4];
            o[0] = uint8_t(p >> 16), o[1] = uint8_t(p >> 8), o[2] = uint8_t(p),
            o[3] = uint8_t(p >> 24);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
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
