#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "image/io/image_save.h"

class mtxImage;

// The formats the picture is saved in, by the save dialog's filter (from 1):
// 1 a Windows bitmap, 2 PNG, any other JPEG.
enum class mtxPictureFormat : uint32_t { kBmp = 1, kPng = 2, kJpeg = 3 };
mtxPictureFormat mtxPictureFormatOfFilter(uint32_t filterIndex);
// "bmp", "png" or "jpg".
const char* mtxPictureExtension(mtxPictureFormat format);
// The save dialog's filters, in the order of mtxPictureFormat.
std::vector<std::pair<std::string, std::string>> mtxPictureSaveFilters();
// The open dialog's filters: the pictures the loader reads, then every file.
std::vector<std::pair<std::string, std::string>> mtxPictureOpenFilters();

// The format a typed name asks for: its extension when it is one of the
// formats' (".bmp", ".png", ".jpg", ".jpeg", ".jpe", without regard to case),
// whatever the filter; otherwise the filter's format.
mtxPictureFormat mtxPictureFormatOfName(const std::string& path, uint32_t filterIndex);
// The save dialog's filter (from 1) of a format.
uint32_t mtxPictureFilterOf(mtxPictureFormat format);

// The name the picture is written under: path as given when it ends in one of
// the formats' extensions (which then decides the format), otherwise path
// with the filter's ".bmp", ".png" or ".jpg" appended.
std::string mtxSettledSaveName(const std::string& path, uint32_t filterIndex);

// Writes image to path in format (a JPEG at jpegQuality, 1 to 100) so that
// the file holds either its old content or the whole new picture: the picture
// is encoded in memory, written to a new file in the same folder, synced and
// renamed over path. 1 on success; 0 with the file on disk as it was and
// *reason (when not null) a sentence saying why.
int mtxWritePictureFile(mtxImage& image, const std::string& path, mtxPictureFormat format,
                        std::string* reason = nullptr, int jpegQuality = mtxJpegDefaultQuality);
