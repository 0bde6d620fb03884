#pragma once

class mtxFile;
class mtxImage;

// Writers of an image into a file the caller opened for writing: Windows
// bitmap, PNG, JPEG (quality 100). 1 on success; 0 when the image cannot be
// written or a write failed.
int mtxImageWriteBmp(mtxImage& image, mtxFile& file);
int mtxImageWritePng(mtxImage& image, mtxFile& file);
int mtxImageWriteJpeg(mtxImage& image, mtxFile& file);
