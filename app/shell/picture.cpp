#include "app/shell/picture.h"

#include <cstring>

#include "image/image.h"
#include "image/io/image_load.h"

int mtxLoadPictureResource(uint32_t id, mtxOs::Bitmap& out) {
    out = {};
    mtxImage image;
    if (mtxImageLoad(image, id, 0) && !image.IsEmpty()) {
        out.Resize(image.width, image.height, 0);
        for (int y = 0; y < image.height; ++y)
            std::memcpy(out.Row(y), image.Row(y), static_cast<size_t>(image.width) * 4);
        return 1;
    }
    return 0;
}
