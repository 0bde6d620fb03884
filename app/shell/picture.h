#pragma once
#include <cstdint>

#include "platform/bitmap.h"

// A picture resource of the program ("IMAGE" type) as 0xAARRGGBB pixels; 0
// when it is missing or cannot be read.
int mtxLoadPictureResource(uint32_t id, mtxOs::Bitmap& out);
