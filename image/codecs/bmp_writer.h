#pragma once
#include "image/file.h"
#include "image/image.h"

// Writes image to file as a Windows bitmap: a 14-byte file header, a 40-byte
// BITMAPINFOHEADER, then 32-bit pixels in the image's own byte order (blue,
// green, red, alpha; alpha unchanged), the last row first, no padding, no
// colour table. The file is written from offset 0 and flushed. Returns 1 when
// every byte was written; 0 when a write or the flush failed, the image cannot be locked, or the
// file would not fit the 32-bit size field (nothing is written then).
int mtxWriteBmp(mtxImage& image, mtxFile& file);
