#pragma once
// Reference libraries used as oracles by the codec tests: libjpeg-turbo reads
// and writes JPEG, libpng reads PNG, giflib writes GIF. Header-only so each
// test program takes what it uses.
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

// GCC 12 models setjmp's second return as able to follow the final fclose and
// warns of a use after free that cannot happen; the readers below close their
// file exactly once on each path.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 12
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
#endif

namespace oracle {

// Pixels 0xAARRGGBB, rows top to bottom, no padding.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> data;
    uint32_t At(int x, int y) const { return data[size_t(y) * size_t(width) + size_t(x)]; }
};

// The stored samples, without gamma correction: grey becomes RGB, 16-bit
// samples keep their high byte, a missing alpha is 255.
inline Pixels ReadPng(const std::string& path) {
    Pixels p;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return p;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    // Read on failure after the jump, so kept out of registers.
    FILE* volatile file = f;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return Pixels();
    }
    png_init_io(png, f);
    png_read_png(png, info,
                 PNG_TRANSFORM_EXPAND | PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_GRAY_TO_RGB,
                 nullptr);
    int width = static_cast<int>(png_get_image_width(png, info));
    int height = static_cast<int>(png_get_image_height(png, info));
    int channels = png_get_channels(png, info);
    png_bytepp rows = png_get_rows(png, info);
    p.width = width, p.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const png_byte* s = rows[y] + x * channels;
            uint32_t a = channels == 4 ? s[3] : 255;
            p.data.push_back(a << 24 | uint32_t(s[0]) << 16 | uint32_t(s[1]) << 8 | s[2]);
        }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return p;
}

struct JpegError {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

inline void JpegErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

// Decodes a JPEG with libjpeg to BGRA; false when libjpeg refuses it.
inline bool DecodeJpeg(const std::string& bytes, Pixels& out) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JpegErrorExit;
    std::vector<uint32_t>* data = &out.data;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&cinfo);
    data->resize(size_t(cinfo.output_width) * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(data->data() + size_t(cinfo.output_scanline) *
                                                                     cinfo.output_width);
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

struct JpegOptions {
    J_COLOR_SPACE space = JCS_YCbCr;  // colour space in the file
    int quality = 95;
    bool progressive = false;
    std::string app1;  // written as an APP1 segment when not empty
};

// Encodes BGRA pixels with libjpeg. For CMYK and YCCK files the input is
// turned into Adobe's inverted CMYK (K from the darkest channel).
inline std::string EncodeJpeg(const Pixels& p, const JpegOptions& options = {}) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(p.width);
    cinfo.image_height = static_cast<JDIMENSION>(p.height);
    bool cmyk = options.space == JCS_CMYK || options.space == JCS_YCCK;
    bool grey = options.space == JCS_GRAYSCALE;
    cinfo.input_components = cmyk ? 4 : grey ? 1 : 3;
    cinfo.in_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, options.space);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    if (!options.app1.empty())
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1,
                          reinterpret_cast<const JOCTET*>(options.app1.data()),
                          static_cast<unsigned>(options.app1.size()));
    std::vector<unsigned char> row(size_t(p.width) * 4);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < p.width; ++x) {
            uint32_t c = p.At(x, static_cast<int>(cinfo.next_scanline));
            int r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
            if (cmyk) {
                int k = 255 - std::max({r, g, b});
                // Inverted: 255 means no ink.
                int ck = k == 255 ? 0 : (255 - r - k) * 255 / (255 - k);
                int mk = k == 255 ? 0 : (255 - g - k) * 255 / (255 - k);
                int yk = k == 255 ? 0 : (255 - b - k) * 255 / (255 - k);
                row[x * 4 + 0] = static_cast<unsigned char>(255 - ck);
                row[x * 4 + 1] = static_cast<unsigned char>(255 - mk);
                row[x * 4 + 2] = static_cast<unsigned char>(255 - yk);
                row[x * 4 + 3] = static_cast<unsigned char>(255 - k);
            } else if (grey) {
                row[x] = static_cast<unsigned char>((r * 299 + g * 587 + b * 114 + 500) / 1000);
            } else {
                row[x * 3 + 0] = static_cast<unsigned char>(r);
                row[x * 3 + 1] = static_cast<unsigned char>(g);
                row[x * 3 + 2] = static_cast<unsigned char>(b);
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string bytes(reinterpret_cast<char*>(buffer), size);
    free(buffer);
    return bytes;
}

// Peak signal-to-noise ratio over red, green and blue; infinity when equal.
inline double Psnr(const Pixels& a, const Pixels& b) {
    double sum = 0;
    for (size_t i = 0; i < a.data.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            double d = double((a.data[i] >> shift) & 255) - double((b.data[i] >> shift) & 255);
            sum += d * d;
        }
    double mse = sum / (3.0 * double(a.data.size()));
    return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

// Largest difference of any red, green or blue value.
inline int MaxDifference(const Pixels& a, const Pixels& b) {
    int worst = 0;
    for (size_t i = 0; i < a.data.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8)
            worst = std::max(
                worst, std::abs(int((a.data[i] >> shift) & 255) - int((b.data[i] >> shift) & 255)));
    return worst;
}

}  // namespace oracle

#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 12
#pragma GCC diagnostic pop
#endif
