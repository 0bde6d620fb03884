#include "tests/oracles/png.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <fstream>
#include <iterator>

namespace oracle {
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

bool DecodePng(const std::string& bytes, PngPicture& out) {
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
    // Every byte is written by the decoder; a picture reused across calls
    // keeps its memory.
    out.rgba.resize(size_t(out.width) * out.height * 4);
    rows.resize(out.height);
    for (uint32_t y = 0; y < out.height; ++y) rows[y] = out.rgba.data() + size_t(y) * out.width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

Pixels ReadPng(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    PngPicture picture;
    Pixels p;
    if (!in.good() && !in.eof()) return p;
    if (!DecodePng(bytes, picture)) return p;
    p.width = int(picture.width), p.height = int(picture.height);
    p.data.resize(size_t(picture.width) * picture.height);
    for (size_t i = 0; i < p.data.size(); ++i) {
        const uint8_t* s = &picture.rgba[i * 4];
        p.data[i] = uint32_t(s[3]) << 24 | uint32_t(s[0]) << 16 | uint32_t(s[1]) << 8 | s[2];
    }
    return p;
}

std::string EncodePng(const uint8_t* rgba, uint32_t width, uint32_t height) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Quiet);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, WriteToString, NoFlush);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (uint32_t y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(rgba + size_t(y) * width * 4));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace oracle
