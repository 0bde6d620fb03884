#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/picture_loader.h"

// The decoders behind mtxDecodePicture, one per format. Each expects data to
// hold its format (the signature was sniffed already, but is checked again),
// and returns 1 on success, 0 with the reason in *error (when not null).
int mtxDecodeBmp(const uint8_t* data, size_t size, mtxPictureSink& sink, std::string* error);
int mtxDecodeJpeg(const uint8_t* data, size_t size, mtxPictureSink& sink, std::string* error);
int mtxDecodeGif(const uint8_t* data, size_t size, mtxPictureSink& sink, std::string* error);

// Checks a picture size against the limits. Returns 1 when width x height
// pixels may be allocated; 0 with "<codec>: header claims W x H pixels" (or a
// like message) in *error otherwise.
int mtxCheckPictureSize(const char* codec, int64_t width, int64_t height, std::string* error);

// Sets *error to "<codec>: <text>" (when error is not null); returns 0 so that
// a decoder can `return mtxPictureError(...)`.
int mtxPictureError(std::string* error, const char* codec, const std::string& text);

// The orientation (1 to 8, TIFF tag 274) recorded in the EXIF block of a JPEG
// APP1 segment, whose data starts with "Exif\0\0"; 1 when the segment holds
// none or is malformed.
int mtxExifOrientation(const uint8_t* data, size_t size);
