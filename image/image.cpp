#include "image/image.h"

#include <algorithm>
#include <cmath>

mtxImage::mtxImage() {
    format = kFormatA8R8G8B8;
}

mtxImage::mtxImage(int w, int h) : mtxImage() {
    Create(w, h, 0xFF000000u);
}

mtxImage::mtxImage(mtxColor* buffer, int w, int h, int p) : mtxImage() {
    Attach(buffer, w, h, p);
}

mtxImage::~mtxImage() {
    std::free(auxiliary);
}

void mtxImage::Free() {
    Base::Free();
    isYCbCr = 0;
    std::free(auxiliary);
    auxiliary = nullptr;
}

int mtxImage::Assign(const Base& other) {
    const mtxImage* image = dynamic_cast<const mtxImage*>(&other);
    int32_t ycbcr = image ? image->isYCbCr : 0;
    int result = Base::Assign(other);
    isYCbCr = result ? ycbcr : 0;
    return result;
}

std::unique_ptr<mtxImage> mtxImage::CreateSameKind(int w, int h) const {
    auto image = std::make_unique<mtxImage>();
    if (!image->Create(w, h, 0xFF000000u)) return nullptr;
    return image;
}
