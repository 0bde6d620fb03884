// Any byte string through the PNG decoder: refused or decoded, never a crash.
#include <cstdint>

#include "image/codecs/png_decoder.h"
#include "image/file_memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    mtxFileMemory file;
    file.Attach(const_cast<uint8_t*>(data), static_cast<uint32_t>(size), 0);
    mtxImage image;
    mtxImageDecoderPng decoder(&file, &image);
    // Keep claimed sizes within the fuzzer's memory limit.
    decoder.maxPixels = 1u << 22;
    // A thumbnail target makes the decoder read amTn chunks as well.
    mtxImage thumbnail;
    decoder.thumbNail.target = &thumbnail;
    decoder.Decode(0);
    return 0;
}
