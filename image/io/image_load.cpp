// Loading an image from a resource or a file: the PNG decoder first, on the
// raw bytes, then the platform's picture loader (BMP, JPEG, GIF). The choice
// is made by the bytes, never by the file name.
#include "image/io/image_load.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <typeinfo>

#include "image/codecs/png_decoder.h"
#include "image/file_memory.h"
#include "image/file_stream.h"
#include "image/image.h"
#include "platform/picture_loader.h"
#include "platform/resource_table.h"

namespace {

constexpr const char* kImageResource = "IMAGE";

constexpr const char* kUnknownPicture = "not a picture Daubry can read (PNG, BMP, JPEG or GIF)";

// Pixels of the picture loader in a malloc block, which a memory image can
// take over as its own buffer (fields free their buffers with free()).
struct MallocSink : mtxPictureSink {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0;

    ~MallocSink() override { std::free(pixels); }
    uint32_t* Allocate(int w, int h) override {
        return Take(mtxAllocateZeroedPixels(size_t(w) * size_t(h) * 4), w, h);
    }
    uint32_t* AllocateDense(int w, int h) override {
        return Take(mtxAllocatePixels(size_t(w) * size_t(h) * 4), w, h);
    }
    uint32_t* Take(void* block, int w, int h) {
        std::free(pixels);
        pixels = static_cast<uint32_t*>(block);
        width = w, height = h;
        return pixels;
    }
};

// The reason of a failed Load: the PNG decoder's for a PNG source (and for
// a source no decoder knows), else the picture loader's.
void SetReason(std::string* reason, const std::string& png, const std::string& picture) {
    if (reason) *reason = png.empty() ? picture : png;
}

}  // namespace

int mtxImageLoad(mtxImage& image, uint32_t resourceId, int probe, std::string* reason) {
    image.isYCbCr = 0;
    std::string png, picture;
    if (int result = mtxImageLoadPng(image, resourceId, probe, &png)) return result;
    if (int result = mtxImageLoadPicture(image, resourceId, probe, &picture)) return result;
    SetReason(reason, png, picture);
    return 0;
}

int mtxImageLoad(mtxImage& image, const std::string& path, int probe, std::string* reason) {
    image.isYCbCr = 0;
    std::string png, picture;
    if (int result = mtxImageLoadPng(image, path, probe, &png)) return result;
    if (int result = mtxImageLoadPicture(image, path, probe, &picture)) return result;
    SetReason(reason, png, picture);
    return 0;
}

namespace {

// Moves the pixels of a freshly decoded image into image: a memory image
// takes the buffer over, any other kind is created at the size and filled.
int TakeImage(mtxImage& image, mtxImage& decoded) {
    if (typeid(image) == typeid(mtxImage) && decoded.ownsData) {
        image.Base::Free();  // keeps the auxiliary buffer, as Create does
        image.data = decoded.data;
        image.width = decoded.width;
        image.height = decoded.height;
        image.pitch = decoded.pitch;
        image.ownsData = 1;
        decoded.data = nullptr;
        decoded.Base::Free();
        return 1;
    }
    if (!image.Create(decoded.width, decoded.height, 0)) return 0;
    mtxFieldLock<mtxImage> lock(image);
    if (!lock || (!image.data && decoded.data)) return 0;
    for (int y = 0; y < decoded.height; ++y)
        std::memcpy(image.Row(y), decoded.Row(y), size_t(decoded.width) * 4);
    return 1;
}

// Runs the PNG decoder over file. The picture is decoded into an image of
// its own first, so that a file that fails halfway leaves this one as it was.
// The bytes of an embedded picture; empty, with errno set to the system's
// "file not found" (2), when there is none.
std::span<const unsigned char> ImageResource(uint32_t resourceId) {
    std::span<const unsigned char> bytes = mtxFindResource(kImageResource, resourceId);
    if (bytes.empty()) errno = ENOENT;
    return bytes;
}

// A source without the PNG signature gets a reason only when the picture
// loader will not know it either.
void NotPng(mtxFile& file, std::string* reason) {
    uint8_t head[8] = {};
    uint32_t got = file.Seek(0, 0) == 0 ? file.Read(head, sizeof head) : 0;
    if (reason && !mtxPictureKind(head, got)) *reason = kUnknownPicture;
}

int DecodePng(mtxImage& image, mtxFile& file, int probe, std::string* reason) {
    mtxImage decoded;
    mtxImageDecoderPng decoder(&file, &decoded, 0);
    if (probe) {
        if (decoder.CheckSignature() == 1) return 1;
        NotPng(file, reason);
        return 0;
    }
    decoder.maxPixels = mtxPictureLimit();
    int result = decoder.Decode(0);
    if (result == mtxImageDecoderPng::kNotPng) {
        NotPng(file, reason);
        return 0;
    }
    if (result != mtxImageDecoderPng::kEndReached) {
        if (reason) *reason = decoder.reason;
        return 0;
    }
    if (TakeImage(image, decoded)) return 1;
    if (reason) *reason = "PNG: out of memory";
    return 0;
}

}  // namespace

int mtxImageLoadPng(mtxImage& image, uint32_t resourceId, int probe, std::string* reason) {
    std::span<const unsigned char> bytes = ImageResource(resourceId);
    if (bytes.empty()) return 0;
    // The resource is read in place; a fixed memory file never writes.
    mtxFileMemory file(0);
    file.Attach(const_cast<unsigned char*>(bytes.data()), static_cast<uint32_t>(bytes.size()), 0);
    try {
        return DecodePng(image, file, probe, reason);
    } catch (const std::bad_alloc&) {
        if (reason) *reason = "PNG: out of memory";
        return 0;
    }
}

int mtxImageLoadPng(mtxImage& image, const std::string& path, int probe, std::string* reason) {
    mtxFileStream<65536> file;
    if (!file.Open(path, mtxFile::kRead)) return 0;  // the picture loader says why
    try {
        return DecodePng(image, file, probe, reason);
    } catch (const std::bad_alloc&) {
        if (reason) *reason = "PNG: out of memory";
        return 0;
    }
}

namespace {

// Moves the decoded pixels into image: a memory image takes the block over,
// any other kind (a device surface) is created at the size and filled.
int TakePixels(mtxImage& image, MallocSink& sink) {
    if (typeid(image) == typeid(mtxImage)) {
        image.Base::Free();  // keeps the auxiliary buffer, as Create does
        image.data = sink.pixels;
        image.width = sink.width;
        image.height = sink.height;
        image.pitch = sink.width * 4;
        image.ownsData = 1;
        sink.pixels = nullptr;
        return 1;
    }
    if (!image.Create(sink.width, sink.height, 0)) return 0;
    mtxFieldLock<mtxImage> lock(image);
    if (!lock || !image.data) return 0;
    for (int y = 0; y < sink.height; ++y)
        std::memcpy(image.Row(y), sink.pixels + size_t(y) * size_t(sink.width),
                    size_t(sink.width) * 4);
    return 1;
}

}  // namespace

int mtxImageLoadPicture(mtxImage& image, uint32_t resourceId, int probe, std::string* reason) {
    std::span<const unsigned char> bytes = ImageResource(resourceId);
    if (bytes.empty()) {
        if (reason) *reason = "no picture resource " + std::to_string(resourceId);
        return 0;
    }
    MallocSink sink;
    if (!mtxDecodePicture(bytes.data(), bytes.size(), sink, reason)) return 0;
    if (probe) return 1;
    if (TakePixels(image, sink)) return 1;
    if (reason) *reason = "out of memory for the picture";
    return 0;
}

int mtxImageLoadPicture(mtxImage& image, const std::string& path, int probe, std::string* reason) {
    MallocSink sink;
    if (!mtxDecodePictureFile(path, sink, reason)) {
        errno = ENOENT;
        return 0;
    }
    if (probe) return 1;
    if (TakePixels(image, sink)) return 1;
    if (reason) *reason = "out of memory for the picture";
    return 0;
}
