#include "tests/oracles/jpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <vector>

namespace oracle {
namespace {

struct JpegError {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void JpegErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

}  // namespace

bool DecodeJpeg(const std::string& bytes, Pixels& out, bool smoothChroma) {
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
    cinfo.do_fancy_upsampling = smoothChroma ? TRUE : FALSE;
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

std::string JpegSamplingFactors(const std::string& bytes) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JpegErrorExit;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return {};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    std::string factors;
    for (int c = 0; c < cinfo.num_components; ++c) {
        if (c) factors += ",";
        factors += std::to_string(cinfo.comp_info[c].h_samp_factor) + "x" +
                   std::to_string(cinfo.comp_info[c].v_samp_factor);
    }
    jpeg_destroy_decompress(&cinfo);
    return factors;
}

std::string EncodeJpeg(const uint32_t* pixels, int width, int height, size_t stride,
                       const JpegOptions& options) {
    jpeg_compress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JpegErrorExit;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    const bool cmyk = options.space == JCS_CMYK || options.space == JCS_YCCK;
    const bool grey = options.space == JCS_GRAYSCALE;
    // Colour pictures go in as they are held (blue, green, red, unused), so
    // libjpeg does the whole conversion.
    cinfo.input_components = cmyk ? 4 : grey ? 1 : 4;
    cinfo.in_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, options.space);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.fullChroma)
        for (int c = 0; c < cinfo.num_components; ++c)
            cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    cinfo.optimize_coding = options.optimise ? TRUE : FALSE;
    if (options.floatDct) cinfo.dct_method = JDCT_FLOAT;
    if (options.progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    if (!options.app1.empty())
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1,
                          reinterpret_cast<const JOCTET*>(options.app1.data()),
                          static_cast<unsigned>(options.app1.size()));
    std::vector<unsigned char> row(size_t(width) * 4);
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint32_t* source = pixels + size_t(cinfo.next_scanline) * stride;
        JSAMPROW rows[1] = {row.data()};
        if (!cmyk && !grey) {
            rows[0] = reinterpret_cast<JSAMPROW>(const_cast<uint32_t*>(source));
            jpeg_write_scanlines(&cinfo, rows, 1);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            uint32_t c = source[x];
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
            } else {
                row[x] = static_cast<unsigned char>((r * 299 + g * 587 + b * 114 + 500) / 1000);
            }
        }
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string bytes(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    return bytes;
}

std::string EncodeJpeg(const Pixels& p, const JpegOptions& options) {
    return EncodeJpeg(p.data.data(), p.width, p.height, size_t(p.width), options);
}

}  // namespace oracle
