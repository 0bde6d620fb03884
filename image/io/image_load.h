#pragma once
#include <cstdint>
#include <string>

class mtxImage;

// Reads a picture into image: a resource of type "IMAGE" by id (below
// 0x10000) or a file. The PNG decoder is tried first on the raw bytes, then
// the platform's picture loader (BMP, JPEG, GIF). Nonzero on success; with
// probe set, only checks that the source can be read and leaves the image as
// it was. On failure 0, with the image unchanged and errno 2 when the source
// is missing or unreadable; *reason (when reason is not null) then holds a
// sentence for a person naming the codec and the fault ("PNG: CRC mismatch in
// IDAT", "BMP: header claims 100000 x 100000 pixels, more than allowed", "No
// such file or directory: <path>").
int mtxImageLoad(mtxImage& image, uint32_t resourceId, int probe, std::string* reason = nullptr);
int mtxImageLoad(mtxImage& image, const std::string& path, int probe,
                 std::string* reason = nullptr);

// The two paths of mtxImageLoad: the PNG decoder, and the picture loader.
// LoadPng gives a reason only for a source it recognised as PNG, or for one
// that no decoder of the program recognises; LoadPicture gives one for any
// failure.
int mtxImageLoadPng(mtxImage& image, uint32_t resourceId, int probe, std::string* reason = nullptr);
int mtxImageLoadPng(mtxImage& image, const std::string& path, int probe,
                    std::string* reason = nullptr);
int mtxImageLoadPicture(mtxImage& image, uint32_t resourceId, int probe,
                        std::string* reason = nullptr);
int mtxImageLoadPicture(mtxImage& image, const std::string& path, int probe,
                        std::string* reason = nullptr);
