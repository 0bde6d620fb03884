// JPEG files through libjpeg-turbo: baseline, extended and progressive; grey,
// YCbCr, RGB, CMYK and YCCK, all delivered as opaque BGRA, turned upright by
// the EXIF orientation. A file cut short yields what could be decoded, the
// rest mid-grey, as libjpeg itself shows missing data.
#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/pictures/picture_decoders.h"

namespace {

constexpr const char* kCodec = "JPEG";
// More scans than any encoder writes; a file with many more is a decoding
// bomb (each scan walks the whole picture).
constexpr int kMaxScans = 500;
constexpr uint32_t kMissing = 0xFF808080u;

// What libjpeg may allocate for one file. A progressive file keeps the
// coefficients of the whole picture (2 bytes for each sample of every
// component) until its last scan; real photographs hold tens of times fewer
// bytes than that, so a file that asks for over a thousand times its size on
// top of a fixed allowance is refused: its header claims far more than its
// data can describe. Without a backing store, libjpeg's memory manager stops
// with JERR_NO_BACKING_STORE where a buffer would exceed the limit.
long MemoryLimit(size_t fileSize) {
    constexpr uint64_t kAllowance = uint64_t(32) << 20, kPerByte = 1000,
                       kCeiling = uint64_t(2) << 30;
    uint64_t limit = kAllowance + std::min<uint64_t>(fileSize, kCeiling / kPerByte) * kPerByte;
    return static_cast<long>(std::min(limit, kCeiling));
}

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    bool endOfData;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (!err->message[0]) (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings are counted, not printed; the premature end of the data is noted
// so that decoding stops instead of inventing the rest row by row.
void EmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    ++cinfo->err->num_warnings;
    if (cinfo->err->msg_code == JWRN_JPEG_EOF) err->endOfData = true;
}

void ProgressMonitor(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        std::snprintf(err->message, sizeof err->message, "more than %d scans", kMaxScans);
        ErrorExit(cinfo);
    }
}

// Where each decoded source row goes: destination index of pixel 0 of row sy
// and the step from one source pixel to the next, for orientation o of a
// picture stored as w x h (TIFF 6.0, tag 274).
struct Placement {
    ptrdiff_t base;
    ptrdiff_t step;
};

Placement Place(int o, ptrdiff_t w, ptrdiff_t h, ptrdiff_t sy) {
    ptrdiff_t ow = o >= 5 ? h : w;  // width of the upright picture
    switch (o) {
        case 2:
            return {sy * ow + w - 1, -1};  // mirrored left to right
        case 3:
            return {(h - 1 - sy) * ow + w - 1, -1};  // turned by 180 degrees
        case 4:
            return {(h - 1 - sy) * ow, 1};  // mirrored top to bottom
        case 5:
            return {sy, ow};  // transposed
        case 6:
            return {h - 1 - sy, ow};  // to be turned clockwise
        case 7:
            return {(w - 1) * ow + h - 1 - sy, -ow};  // transversed
        case 8:
            return {(w - 1) * ow + sy, -ow};  // to be turned anticlockwise
        default:
            return {sy * ow, 1};
    }
}

struct Decoder {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
    const uint8_t* data;
    size_t size;
    mtxPictureSink* sink;
    bool sizeRefused;
    bool outOfMemory;
};

// Adobe writes CMYK inverted (0 is full ink) and says so in its APP14 marker;
// plain CMYK counts ink upwards.
void CmykToBgra(const uint8_t* cmyk, uint32_t* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x, cmyk += 4) {
        uint32_t c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        uint32_t r = (c * k + 127) / 255, g = (m * k + 127) / 255, b = (y * k + 127) / 255;
        out[x] = 0xFF000000u | r << 16 | g << 8 | b;
    }
}

int FindOrientation(j_decompress_ptr cinfo) {
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 &&
            std::memcmp(m->data, "Exif\0\0", 6) == 0)
            return mtxExifOrientation(m->data, m->data_length);
    return 1;
}

// Everything that may longjmp lives here, with no objects that need
// destruction in its frame.
int Run(Decoder& d) {
    j_decompress_ptr cinfo = &d.cinfo;
    cinfo->err = jpeg_std_error(&d.err.pub);
    d.err.pub.error_exit = ErrorExit;
    d.err.pub.emit_message = EmitMessage;
    d.err.endOfData = false;
    d.err.message[0] = 0;
    if (setjmp(d.err.jump)) {
        jpeg_destroy_decompress(cinfo);
        return 0;
    }
    jpeg_create_decompress(cinfo);
    cinfo->mem->max_memory_to_use = MemoryLimit(d.size);
    d.progress.progress_monitor = ProgressMonitor;
    cinfo->progress = &d.progress;
    jpeg_mem_src(cinfo, d.data, static_cast<unsigned long>(d.size));
    jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(cinfo, TRUE);

    int w = static_cast<int>(cinfo->image_width), h = static_cast<int>(cinfo->image_height);
    if (!mtxCheckPictureSize(kCodec, w, h, nullptr)) {
        d.sizeRefused = true;
        jpeg_destroy_decompress(cinfo);
        return 0;
    }
    bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    int orientation = FindOrientation(cinfo);
    jpeg_start_decompress(cinfo);
    bool endBeforeRows = d.err.endOfData;

    int ow = orientation >= 5 ? h : w, oh = orientation >= 5 ? w : h;
    // Every pixel is written, row by row as the data arrive (the rows after a
    // premature end included): a first touch of fresh small pages would cost a
    // big picture as much time as its decoding.
    uint32_t* out = d.sink->AllocateDense(ow, oh);
    if (!out) {
        d.outOfMemory = true;
        jpeg_destroy_decompress(cinfo);
        return 0;
    }
    // Upright BGRA rows go straight into the picture; the rest through a
    // strip of rows that is converted or placed afterwards.
    bool direct = orientation == 1 && !cmyk;
    constexpr int kStrip = 16;
    JSAMPARRAY strip = nullptr;
    uint32_t* converted = nullptr;
    if (!direct) {
        strip = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                            static_cast<JDIMENSION>(w) * 4, kStrip);
        if (cmyk)
            converted = static_cast<uint32_t*>((*cinfo->mem->alloc_large)(
                reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, size_t(w) * 4));
    }
    JSAMPROW rows[kStrip];
    bool cut = false;
    while (cinfo->output_scanline < cinfo->output_height && !cut) {
        int first = static_cast<int>(cinfo->output_scanline);
        int want = h - first < kStrip ? h - first : kStrip;
        for (int i = 0; i < want; ++i)
            rows[i] =
                direct ? reinterpret_cast<JSAMPROW>(out + size_t(first + i) * size_t(w)) : strip[i];
        int got = static_cast<int>(jpeg_read_scanlines(cinfo, rows, static_cast<JDIMENSION>(want)));
        if (got <= 0) break;
        if (!direct) {
            for (int i = 0; i < got; ++i) {
                const uint32_t* src = reinterpret_cast<const uint32_t*>(strip[i]);
                if (cmyk) {
                    CmykToBgra(strip[i], converted, w, cinfo->saw_Adobe_marker);
                    src = converted;
                }
                Placement p = Place(orientation, w, h, first + i);
                uint32_t* dst = out + p.base;
                for (int x = 0; x < w; ++x, dst += p.step) *dst = src[x];
            }
        }
        cut = d.err.endOfData && !endBeforeRows;
    }
    // Rows after a premature end of the data were never decoded.
    for (int sy = static_cast<int>(cinfo->output_scanline); sy < h; ++sy) {
        Placement p = Place(orientation, w, h, sy);
        uint32_t* dst = out + p.base;
        for (int x = 0; x < w; ++x, dst += p.step) *dst = kMissing;
    }
    // The trailer after the last row (EOI, or junk) is not needed.
    jpeg_destroy_decompress(cinfo);
    return 1;
}

}  // namespace

int mtxExifOrientation(const uint8_t* data, size_t size) {
    // "Exif\0\0", then a TIFF header: byte order, 42, offset of IFD0.
    if (size < 6 + 8 || std::memcmp(data, "Exif\0\0", 6) != 0) return 1;
    const uint8_t* tiff = data + 6;
    size_t n = size - 6;
    bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 1;
    auto u16 = [&](size_t at) -> uint32_t {
        return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
    };
    auto u32 = [&](size_t at) -> uint32_t {
        return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    };
    if (u16(2) != 42) return 1;
    size_t ifd = u32(4);
    if (ifd > n || n - ifd < 2) return 1;
    uint32_t count = u16(ifd);
    for (uint32_t i = 0; i < count; ++i) {
        size_t entry = ifd + 2 + size_t(i) * 12;
        if (entry + 12 > n) break;
        if (u16(entry) != 0x0112) continue;
        // SHORT, one value, held in the first two bytes of the value field.
        if (u16(entry + 2) != 3 || u32(entry + 4) != 1) return 1;
        uint32_t value = u16(entry + 8);
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

int mtxDecodeJpeg(const uint8_t* data, size_t size, mtxPictureSink& sink, std::string* error) {
    if (size < 3 || data[0] != 0xFF || data[1] != 0xD8)
        return mtxPictureError(error, kCodec, "no start-of-image marker");
    Decoder d{};
    d.data = data;
    d.size = size;
    d.sink = &sink;
    if (Run(d)) return 1;
    if (d.sizeRefused)
        return mtxCheckPictureSize(kCodec, d.cinfo.image_width, d.cinfo.image_height, error);
    if (d.outOfMemory) return mtxPictureError(error, kCodec, "out of memory");
    if (d.err.pub.msg_code == JERR_NO_BACKING_STORE)
        return mtxPictureError(
            error, kCodec,
            std::to_string(d.cinfo.image_width) + " x " + std::to_string(d.cinfo.image_height) +
                " pixels need more than " + std::to_string(MemoryLimit(size) >> 20) +
                " MB of coefficients, too much for a file of " + std::to_string(size) + " bytes");
    // libjpeg stops on a frame header of no width or height while it reads it.
    if (d.err.pub.msg_code == JERR_EMPTY_IMAGE)
        return mtxPictureError(
            error, kCodec,
            d.cinfo.image_width == 0 ? "image is 0 pixels wide" : "image is 0 pixels high");
    if (d.err.pub.msg_code == JERR_OUT_OF_MEMORY)
        return mtxPictureError(error, kCodec, "out of memory");
    return mtxPictureError(error, kCodec, d.err.message[0] ? d.err.message : "cannot decode");
}
