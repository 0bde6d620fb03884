#include "image/image.h"

// FIXME: loading arrives with the codecs; until then nothing can be loaded.
int mtxImage::Load(uint32_t /*resourceId*/, int /*probe*/) {
    isYCbCr = 0;
    return 0;
}

// FIXME: loading arrives with the codecs; until then nothing can be loaded.
int mtxImage::Load(const std::string& /*path*/, int /*probe*/) {
    isYCbCr = 0;
    return 0;
}
