#pragma once

class mtxFile;
class mtxImage;

// The JPEG quality (1 to 100) pictures are saved at unless the user asks for
// another: 4:2:0 chroma, smaller than the PNG of a photo.
constexpr int mtxJpegDefaultQuality = 92;

// Writers of an image into a file the caller opened for writing: Windows
// bitmap, PNG, JPEG (at mtxJpegDefaultQuality, or quality clamped to 1 to
// 100; 4:4:4 chroma from 95 up). 1 on success; 0 when the image cannot be
// written or a write failed.
int mtxImageWriteBmp(mtxImage& image, mtxFile& file);
int mtxImageWritePng(mtxImage& image, mtxFile& file);
int mtxImageWriteJpeg(mtxImage& image, mtxFile& file);
int mtxImageWriteJpeg(mtxImage& image, mtxFile& file, int quality);
