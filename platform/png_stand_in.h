#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/bitmap.h"

// FIXME: a stand-in until the program's own PNG decoder loads image resources
// (mtxImage::Load of a resource id). Only the splash and icon pictures use it;
// delete it once that loader reads PNG.
namespace mtxOs {

// Decodes a PNG file held in memory to 0xAARRGGBB pixels (straight alpha).
// False, with out empty, for anything that is not a readable PNG.
bool DecodePngStandIn(const uint8_t* data, size_t size, Bitmap& out);

}  // namespace mtxOs
