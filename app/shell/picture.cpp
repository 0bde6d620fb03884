#include "app/shell/picture.h"

#include <cstring>

#include "image/image.h"
#include "platform/png_stand_in.h"
#include "platform/resource_table.h"

int mtxLoadPictureResource(uint32_t id, mtxOs::Bitmap& out) {
    out = {};
    mtxImage image;
    if (image.Load(id, 0) && !image.IsEmpty()) {
        out.Resize(image.width, image.height, 0);
        for (int y = 0; y < image.height; ++y)
            std::memcpy(out.Row(y), image.Row(y), static_cast<size_t>(image.width) * 4);
        return 1;
    }
    // FIXME: the image loader cannot read PNG resources yet; decode them here
    // until it can, then drop this fallback and platform/png_stand_in.
    auto bytes = mtxFindResource("IMAGE", id);
    return mtxOs::DecodePngStandIn(bytes.data(), bytes.size(), out) ? 1 : 0;
}
