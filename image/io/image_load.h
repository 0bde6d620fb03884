#pragma once
#include <cstdint>
#include <string>

class mtxImage;

// Reads a picture into image: a resource of type "IMAGE" by id (below
// 0x10000) or a file. The PNG decoder is tried first on the raw bytes, then
// the platform's picture loader (BMP, JPEG, GIF). Nonzero on success; with
// probe set, only checks that the source can be read and leaves the image as
// it was. On failure 0, with the image unchanged and errno 2 when the source
// is missing or unreadable.
int mtxImageLoad(mtxImage& image, uint32_t resourceId, int probe);
int mtxImageLoad(mtxImage& image, const std::string& path, int probe);

// The two paths of mtxImageLoad: the PNG decoder, and the picture loader.
int mtxImageLoadPng(mtxImage& image, uint32_t resourceId, int probe);
int mtxImageLoadPng(mtxImage& image, const std::string& path, int probe);
int mtxImageLoadPicture(mtxImage& image, uint32_t resourceId, int probe);
int mtxImageLoadPicture(mtxImage& image, const std::string& path, int probe);
