#include "image/io/row_file.h"

#include <algorithm>
#include <cerrno>

#include "image/codecs/bmp_writer.h"
#include "image/codecs/jpeg_encoder.h"
#include "image/codecs/png_encoder.h"
#include "platform/os_file.h"

mtxRowFile::mtxRowFile() = default;
mtxRowFile::~mtxRowFile() = default;

int mtxRowFile::Begin(const std::string& path, mtxRowFormat format, int width, int height,
                      int jpegQuality, std::string& error) {
    if (width < 1 || height < 1) return error = "the picture is empty", 0;
    // What the format cannot hold is refused before a file is made.
    if (format == mtxRowFormat::kJpeg && (width > 65535 || height > 65535))
        return error = "a JPEG file holds at most 65535 pixels a side", 0;
    if (format == mtxRowFormat::kBmp && uint64_t(width) * uint64_t(height) * 4 + 54 > 0xFFFFFFFFu)
        return error = "a BMP file holds at most 1073 megapixels", 0;
    if (!file_.Begin(path)) return SystemError(error);
    errno = 0;
    switch (format) {
        case mtxRowFormat::kPng:
            png_ = std::make_unique<mtxImageEncoderPng>(&file_, nullptr, 0);
            if (png_->Begin(uint32_t(width), uint32_t(height))) return SystemError(error);
            return 1;
        case mtxRowFormat::kJpeg:
            if (!scratch_.Begin(path)) return SystemError(error);
            jpeg_ = std::make_unique<mtxImageEncoderJpeg>(&file_, nullptr, 1);
            jpeg_->spill = &scratch_;
            jpeg_->quality = float(std::clamp(jpegQuality, 1, 100));
            if (jpeg_->Begin(uint32_t(width), uint32_t(height))) return SystemError(error);
            return 1;
        default:
            bmp_ = std::make_unique<mtxBmpRowWriter>(file_);
            if (!bmp_->Begin(width, height)) return SystemError(error);
            return 1;
    }
}

int mtxRowFile::AddRows(const mtxImage& rows, std::string& error) {
    errno = 0;
    int ok = png_    ? png_->AddRows(rows) == 0
             : jpeg_ ? jpeg_->AddRows(rows) == 0
             : bmp_  ? bmp_->AddRows(rows)
                     : 0;
    return ok ? 1 : SystemError(error);
}

int mtxRowFile::Finish(std::string& error) {
    return Complete(error) && Commit(error);
}

int mtxRowFile::Complete(std::string& error) {
    errno = 0;
    int ok = png_ ? png_->Finish() == 0 : jpeg_ ? jpeg_->Finish() == 0 : bmp_ ? bmp_->Finish() : 0;
    if (!ok) return SystemError(error);
    png_.reset(), jpeg_.reset(), bmp_.reset();
    completed_ = true;
    return 1;
}

int mtxRowFile::Commit(std::string& error) {
    errno = 0;
    if (!completed_ || !file_.Commit()) return SystemError(error);
    completed_ = false;
    return 1;
}

int mtxRowFile::SystemError(std::string& error) {
    // A failure without the system's reason is memory short, or rows that do
    // not make the picture.
    const int code = mtxOs::LastError();
    error = code ? mtxOs::ErrorText(code) : "the picture cannot be written in this format";
    png_.reset(), jpeg_.reset(), bmp_.reset();
    completed_ = false;
    return 0;
}
