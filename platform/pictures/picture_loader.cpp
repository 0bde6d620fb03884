#include "platform/picture_loader.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/os_file.h"
#include "platform/pictures/picture_decoders.h"

namespace {

constexpr int64_t kMaxSide = 65535;
std::atomic<uint64_t> pictureLimit{uint64_t(1) << 28};

}  // namespace

uint32_t* mtxPicture::Allocate(int w, int h) {
    pixels.reset(static_cast<uint32_t*>(
        mtxAllocateZeroedPixels(static_cast<size_t>(w) * static_cast<size_t>(h) * 4)));
    if (!pixels) return nullptr;
    width = w;
    height = h;
    return pixels.get();
}

uint32_t* mtxPicture::AllocateDense(int w, int h) {
    pixels.reset(static_cast<uint32_t*>(
        mtxAllocatePixels(static_cast<size_t>(w) * static_cast<size_t>(h) * 4)));
    if (!pixels) return nullptr;
    width = w;
    height = h;
    return pixels.get();
}

void* mtxAllocatePixels(size_t bytes) {
    constexpr size_t kHugePage = size_t(2) << 20;
    // Up to 32 MiB malloc serves blocks from memory it keeps and reuses;
    // beyond, it maps fresh pages for every block.
    if (bytes <= 16 * kHugePage) return std::malloc(bytes ? bytes : 1);
    void* block = nullptr;
    if (posix_memalign(&block, kHugePage, bytes) != 0) return nullptr;
    madvise(block, bytes & ~(kHugePage - 1), MADV_HUGEPAGE);  // a hint; failure is harmless
    return block;
}

void* mtxAllocateZeroedPixels(size_t bytes) {
    // calloc takes a large block straight from the system (already zero,
    // so it writes nothing) and clears only the small ones it reuses.
    return std::calloc(bytes ? bytes : 1, 1);
}

void mtxSetPictureLimit(uint64_t pixels) {
    pictureLimit = pixels;
}
uint64_t mtxPictureLimit() {
    return pictureLimit;
}

int mtxPictureError(std::string* error, const char* codec, const std::string& text) {
    if (error) *error = std::string(codec) + ": " + text;
    return 0;
}

int mtxCheckPictureSize(const char* codec, int64_t width, int64_t height, std::string* error) {
    std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width <= 0 || height <= 0) return mtxPictureError(error, codec, "empty picture, " + size);
    if (width > kMaxSide || height > kMaxSide ||
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > pictureLimit)
        return mtxPictureError(error, codec, "header claims " + size + ", more than allowed");
    return 1;
}

const char* mtxPictureKind(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    if (size >= 2 && p[0] == 'B' && p[1] == 'M') return "BMP";
    if (size >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF) return "JPEG";
    if (size >= 6 && (std::memcmp(p, "GIF87a", 6) == 0 || std::memcmp(p, "GIF89a", 6) == 0))
        return "GIF";
    return nullptr;
}

int mtxDecodePicture(const void* data, size_t size, mtxPictureSink& sink, std::string* error) {
    const auto* p = static_cast<const uint8_t*>(data);
    const char* kind = mtxPictureKind(data, size);
    if (!kind) {
        if (error) *error = size ? "not a picture the loader knows (BMP, JPEG or GIF)" : "no data";
        return 0;
    }
    // A sink or a decoder that runs out of memory refuses the picture.
    try {
        if (kind[0] == 'B') return mtxDecodeBmp(p, size, sink, error);
        if (kind[0] == 'J') return mtxDecodeJpeg(p, size, sink, error);
        return mtxDecodeGif(p, size, sink, error);
    } catch (const std::bad_alloc&) {
        return mtxPictureError(error, kind, "out of memory");
    }
}

int mtxDecodePictureFile(const std::string& path, mtxPictureSink& sink, std::string* error) {
    mtxOs::OpenRequest request;
    request.closeOnExec = true;
    request.sequentialHint = true;
    int handle = mtxOs::Open(path, request);
    if (handle < 0) {
        if (error) *error = mtxOs::ErrorText(mtxOs::LastError()) + ": " + path;
        return 0;
    }
    struct Closer {
        int handle;
        ~Closer() { mtxOs::Close(handle); }
    } closer{handle};
    int64_t size = mtxOs::Size(handle);
    uint8_t head[8] = {};
    int64_t got = mtxOs::Read(handle, head, sizeof head);
    if (size < 0 || got < 0) {
        if (error) *error = mtxOs::ErrorText(mtxOs::LastError()) + ": " + path;
        return 0;
    }
    if (!mtxPictureKind(head, static_cast<size_t>(got)))
        return mtxDecodePicture(head, static_cast<size_t>(got), sink, error);
    if (static_cast<uint64_t>(size) > SIZE_MAX / 2) {
        if (error) *error = "file too large: " + path;
        return 0;
    }
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    if (!bytes) {
        if (error) *error = "out of memory reading " + path;
        return 0;
    }
    if (mtxOs::Seek(handle, 0, 0) != 0) {
        if (error) *error = mtxOs::ErrorText(mtxOs::LastError()) + ": " + path;
        return 0;
    }
    int64_t read = mtxOs::Read(handle, bytes.get(), static_cast<uint64_t>(size));
    if (read < 0) {
        if (error) *error = mtxOs::ErrorText(mtxOs::LastError()) + ": " + path;
        return 0;
    }
    return mtxDecodePicture(bytes.get(), static_cast<size_t>(read), sink, error);
}
