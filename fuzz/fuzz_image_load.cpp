// mtxImage::Load on any file: the PNG decoder, then the picture loader.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "image/image.h"
#include "image/io/image_load.h"
#include "platform/picture_loader.h"

namespace {

// The file each input is written to, removed when the fuzzer exits.
struct InputFile {
    std::string path = "/tmp/daubry-fuzz-load-" + std::to_string(getpid());
    ~InputFile() { unlink(path.c_str()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool limited = (mtxSetPictureLimit(uint64_t(1) << 22), true);
    (void)limited;
    static const InputFile input;
    const std::string& path = input.path;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    mtxImage image;
    if (mtxImageLoad(image, path, 0)) {
        // Whatever loaded is a whole picture.
        volatile uint32_t sum = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) sum = sum + image.At(x, y);
    }
    return 0;
}
