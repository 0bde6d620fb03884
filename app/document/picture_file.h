#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class mtxImage;

// The formats the picture is saved in, by the save dialog's filter (from 1):
// 1 a Windows bitmap, 2 PNG, any other JPEG.
enum class mtxPictureFormat : uint32_t { kBmp = 1, kPng = 2, kJpeg = 3 };
mtxPictureFormat mtxPictureFormatOfFilter(uint32_t filterIndex);
// "bmp", "png" or "jpg".
const char* mtxPictureExtension(mtxPictureFormat format);
// The save dialog's filters, in the order of mtxPictureFormat.
std::vector<std::pair<std::string, std::string>> mtxPictureSaveFilters();

// The name the picture is written under: path as given when its extension is
// the format's (without regard to case), otherwise path with ".bmp", ".png"
// or ".jpg" appended ("photo.bmp" saved as JPEG becomes "photo.bmp.jpg").
std::string mtxSettledSaveName(const std::string& path, uint32_t filterIndex);

// Writes image to path in format so that the file holds either its old
// content or the whole new picture: the picture is encoded in memory, written
// to a new file in the same folder, synced and renamed over path. 1 on
// success; 0 with the file on disk as it was and *reason (when not null) a
// sentence saying why.
int mtxWritePictureFile(mtxImage& image, const std::string& path, mtxPictureFormat format,
                        std::string* reason = nullptr);
