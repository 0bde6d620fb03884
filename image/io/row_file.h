#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "image/replacing_file.h"
#include "image/scratch_file.h"

class mtxBmpRowWriter;
class mtxImage;
class mtxImageEncoderJpeg;
class mtxImageEncoderPng;

// The formats a picture is written in row by row.
enum class mtxRowFormat : uint32_t { kBmp = 1, kPng = 2, kJpeg = 3 };

// A picture too large to hold written row by row as a PNG, JPEG or BMP file
// that replaces the file at a path only once complete: Begin starts the new
// file beside the path, AddRows takes the next rows top to bottom (an image
// as wide as the picture; any thread, one call at a time), Finish completes
// the file and renames it over the path. A file given up (destroyed before
// Finish, or any step failed) leaves nothing behind. A JPEG is written at
// Finish, its tables made for the whole picture: until then its symbols go
// to a scratch file beside the path.
//
//   mtxRowFile file;
//   if (!file.Begin(path, mtxRowFormat::kJpeg, width, height, 92, error)) ...
//   for each band: if (!file.AddRows(band, error)) ...
//   if (!file.Finish(error)) ...
//
// Finish is Complete, the writing of what the encoder still holds (the
// longer step), then Commit, the rename; a caller may run them apart.
class mtxRowFile {
  public:
    mtxRowFile();
    ~mtxRowFile();

    // Each 1, or 0 with why in error (without the path): the system's reason
    // for a failed write, or a picture the format cannot hold.
    int Begin(const std::string& path, mtxRowFormat format, int width, int height, int jpegQuality,
              std::string& error);
    int AddRows(const mtxImage& rows, std::string& error);
    int Finish(std::string& error);
    int Complete(std::string& error);
    int Commit(std::string& error);

  private:
    int SystemError(std::string& error);

    mtxReplacingFile file_;
    mtxScratchFile scratch_;  // a JPEG's symbols until its tables are made
    std::unique_ptr<mtxImageEncoderPng> png_;
    std::unique_ptr<mtxImageEncoderJpeg> jpeg_;
    std::unique_ptr<mtxBmpRowWriter> bmp_;
    bool completed_ = false;
};
