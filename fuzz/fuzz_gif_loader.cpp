// The GIF path of the picture loader (giflib) on any bytes: refuse or decode, never crash, hang or
// leak.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/pictures/picture_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool limited = (mtxSetPictureLimit(uint64_t(1) << 22), true);
    (void)limited;
    mtxPicture picture;
    std::string error;
    mtxDecodeGif(data, size, picture, &error);
    return 0;
}
