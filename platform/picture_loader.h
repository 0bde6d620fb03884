#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

// The picture loader of the platform: decodes BMP, JPEG and GIF files held in
// memory into opaque pixels. Every decoder sniffs the bytes; the file name
// plays no part. Hostile input is refused with an error text naming the codec
// and what is wrong ("BMP: header claims 100000 x 100000 pixels"); no input
// makes a decoder read outside its buffer, allocate before it checked the
// sizes, or run for longer than the pixels it delivers.

// Where a decoder puts its pixels. Allocate is called at most once, after the
// headers were checked, with the final size of the picture; it returns a
// buffer of width x height words (rows top to bottom, pitch width x 4 bytes)
// that reads as zero and costs memory only as it is written (see
// mtxAllocateZeroedPixels), or null to refuse the picture. The decoder fills
// it completely before it reports success; one that fails after Allocate
// leaves the buffer partly written. Decoders write pixels as their data
// delivers them, so a header that claims a huge picture costs memory only
// once its data does.
class mtxPictureSink {
  public:
    virtual ~mtxPictureSink() = default;
    virtual uint32_t* Allocate(int width, int height) = 0;
    // Allocate for a decoder that writes every pixel in order, row after row
    // (JPEG): the buffer need not read as zero and may be backed by huge pages
    // (see mtxAllocatePixels), since its memory is committed at most a page
    // ahead of the rows written. The same as Allocate unless a sink says so.
    virtual uint32_t* AllocateDense(int width, int height) { return Allocate(width, height); }
};

// A decoded picture: pixels 0xFFRRGGBB (bytes blue, green, red, alpha), row 0
// on top, pitch width x 4 bytes.
struct mtxPicture : mtxPictureSink {
    struct FreeDeleter {
        void operator()(uint32_t* p) const { std::free(p); }
    };
    int width = 0;
    int height = 0;
    std::unique_ptr<uint32_t[], FreeDeleter> pixels;

    uint32_t* Allocate(int w, int h) override;
    uint32_t* AllocateDense(int w, int h) override;
};

// Decodes data (a BMP, JPEG or GIF file) into sink. JPEG pictures are turned
// upright by their EXIF orientation; of a GIF only the first frame is shown,
// with transparent pixels opaque black. Returns 1 on success; 0 on failure
// (also when memory runs short), with the reason in *error when error is not
// null.
int mtxDecodePicture(const void* data, size_t size, mtxPictureSink& sink, std::string* error);

// Reads the file at path and decodes it as mtxDecodePicture does. A file that
// does not start like a known picture is refused before it is read whole.
// Returns 1 on success; 0 on failure (missing file, unreadable, refused).
int mtxDecodePictureFile(const std::string& path, mtxPictureSink& sink, std::string* error);

// A block of bytes for picture pixels, released with std::free; null when
// memory is short. Large blocks are backed by huge pages where the system
// offers them: that spares most of the page faults of the first touch, which
// otherwise cost a big picture about as much as its decoding.
void* mtxAllocatePixels(size_t bytes);

// A block of bytes that reads as zero, released with std::free; null when
// memory is short. A large block comes fresh from the system in small pages,
// committed only as they are written (no huge pages: one stray pixel would
// commit two megabytes).
void* mtxAllocateZeroedPixels(size_t bytes);

// The kind of picture data holds by its first bytes, or null for none the
// loader knows: "BMP", "JPEG" or "GIF".
const char* mtxPictureKind(const void* data, size_t size);

// The largest picture the decoders accept, in pixels (each side is limited to
// 65535 besides). Pictures above it are refused before anything is allocated.
// The default, 2^28 pixels, is 1 GiB of pixels; fuzzing lowers it.
void mtxSetPictureLimit(uint64_t pixels);
uint64_t mtxPictureLimit();
