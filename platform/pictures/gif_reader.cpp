// GIF files through giflib: the first frame on the logical screen. The screen
// starts black, and transparent pixels stay black, opaque, as the system
// loader renders a GIF onto a bitmap.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <gif_lib.h>

#include "platform/pictures/picture_decoders.h"

namespace {

constexpr const char* kCodec = "GIF";
constexpr uint32_t kBlack = 0xFF000000u;

struct Input {
    const uint8_t* data;
    size_t size;
    size_t position;
};

int ReadInput(GifFileType* gif, GifByteType* buffer, int count) {
    auto* in = static_cast<Input*>(gif->UserData);
    size_t n = std::min(in->size - in->position, static_cast<size_t>(std::max(count, 0)));
    std::memcpy(buffer, in->data + in->position, n);
    in->position += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int ignored;
        DGifCloseFile(gif, &ignored);
    }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

int GifError(std::string* error, int code, const char* where) {
    const char* text = GifErrorString(code);
    return mtxPictureError(error, kCodec,
                           std::string(where) + ": " + (text ? text : "unknown error"));
}

}  // namespace

int mtxDecodeGif(const uint8_t* data, size_t size, mtxPictureSink& sink, std::string* error) {
    Input in{data, size, 0};
    int code = 0;
    GifPtr gif(DGifOpen(&in, ReadInput, &code));
    if (!gif) return GifError(error, code, "header");

    // Extensions up to the first image; the last graphic control block before
    // it names the transparent colour.
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif.get(), &type) != GIF_OK)
            return GifError(error, gif->Error, "record");
        if (type == TERMINATE_RECORD_TYPE) return mtxPictureError(error, kCodec, "no image");
        if (type == IMAGE_DESC_RECORD_TYPE) break;
        if (type != EXTENSION_RECORD_TYPE) return mtxPictureError(error, kCodec, "unknown record");
        int function = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif.get(), &function, &block) != GIF_OK)
            return GifError(error, gif->Error, "extension");
        if (function == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
            GraphicsControlBlock gcb;
            if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
                transparent = gcb.TransparentColor;
        }
        while (block) {
            if (DGifGetExtensionNext(gif.get(), &block) != GIF_OK)
                return GifError(error, gif->Error, "extension");
        }
    }
    if (DGifGetImageDesc(gif.get()) != GIF_OK) return GifError(error, gif->Error, "image");

    const GifImageDesc& frame = gif->Image;
    int width = gif->SWidth, height = gif->SHeight;
    if (width <= 0 || height <= 0) width = frame.Width, height = frame.Height;
    if (!mtxCheckPictureSize(kCodec, width, height, error)) return 0;
    // The frame is decoded whole even where it hangs over the screen.
    if (frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0)
        return mtxPictureError(error, kCodec, "empty first frame");
    if (!mtxCheckPictureSize(kCodec, frame.Width, frame.Height, error)) return 0;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!map) return mtxPictureError(error, kCodec, "no colour table");

    uint32_t colours[256];
    std::fill(colours, colours + 256, kBlack);
    int count = std::min(map->ColorCount, 256);
    for (int i = 0; i < count; ++i) {
        const GifColorType& c = map->Colors[i];
        colours[i] = kBlack | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
    }
    if (transparent >= 0 && transparent < 256) colours[transparent] = kBlack;

    // The frame goes line by line straight onto the screen, clipped to it:
    // memory grows with the lines the data delivers, never with a second
    // picture-sized buffer. The screen reads as zero until the frame is
    // complete; every colour is opaque, so a zero is a pixel outside it.
    uint32_t* out = sink.Allocate(width, height);
    if (!out) return mtxPictureError(error, kCodec, "out of memory");
    std::vector<GifPixelType> line(static_cast<size_t>(frame.Width));
    int visibleWidth = std::min(frame.Width, width - std::min(frame.Left, width));
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        int start = frame.Interlace ? kStart[pass] : 0, step = frame.Interlace ? kStep[pass] : 1;
        for (int y = start; y < frame.Height; y += step) {
            if (DGifGetLine(gif.get(), line.data(), frame.Width) != GIF_OK)
                return GifError(error, gif->Error, "image data");
            if (visibleWidth <= 0 || int64_t(frame.Top) + y >= height) continue;
            uint32_t* dst = out + size_t(frame.Top + y) * size_t(width) + size_t(frame.Left);
            for (int x = 0; x < visibleWidth; ++x) dst[x] = colours[line[size_t(x)]];
        }
    }
    size_t pixels = size_t(width) * size_t(height);
    for (size_t i = 0; i < pixels; ++i)
        if (!out[i]) out[i] = kBlack;
    return 1;
}
