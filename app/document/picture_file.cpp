#include "app/document/picture_file.h"

#include <algorithm>
#include <new>

#include "image/file_memory.h"
#include "image/image.h"
#include "image/io/image_save.h"
#include "platform/os_file.h"
#include "platform/path.h"

mtxPictureFormat mtxPictureFormatOfFilter(uint32_t filterIndex) {
    if (filterIndex == 1) return mtxPictureFormat::kBmp;
    if (filterIndex == 2) return mtxPictureFormat::kPng;
    return mtxPictureFormat::kJpeg;
}

const char* mtxPictureExtension(mtxPictureFormat format) {
    switch (format) {
        case mtxPictureFormat::kBmp:
            return "bmp";
        case mtxPictureFormat::kPng:
            return "png";
        default:
            return "jpg";
    }
}

std::vector<std::pair<std::string, std::string>> mtxPictureSaveFilters() {
    return {{"Windows Bitmap(*.bmp)", "*.bmp"},
            {"Portable Network Graphics(*.png)", "*.png"},
            {"JPEG-JFIF(*.jpg)", "*.jpg"}};
}

namespace {

// The format a file name's own extension names; 0 when it names none.
int FormatOfExtension(const std::string& path, mtxPictureFormat& format) {
    std::string file = path.substr(path.find_last_of('/') + 1);
    if (file.empty()) return 0;
    mtxPath name(file);
    static const std::pair<const char*, mtxPictureFormat> kKnown[] = {
        {"bmp", mtxPictureFormat::kBmp},  {"png", mtxPictureFormat::kPng},
        {"jpg", mtxPictureFormat::kJpeg}, {"jpeg", mtxPictureFormat::kJpeg},
        {"jpe", mtxPictureFormat::kJpeg},
    };
    for (const auto& [extension, known] : kKnown)
        if (name.HasExtension(extension)) {
            format = known;
            return 1;
        }
    return 0;
}

}  // namespace

mtxPictureFormat mtxPictureFormatOfName(const std::string& path, uint32_t filterIndex) {
    mtxPictureFormat format;
    return FormatOfExtension(path, format) ? format : mtxPictureFormatOfFilter(filterIndex);
}

uint32_t mtxPictureFilterOf(mtxPictureFormat format) {
    return static_cast<uint32_t>(format);
}

std::vector<std::pair<std::string, std::string>> mtxPictureOpenFilters() {
    return {{"Pictures (bmp, jpg, png, gif)", "*.bmp;*.dib;*.jpg;*.jpeg;*.jpe;*.png;*.gif"},
            {"All files", "*"}};
}

std::string mtxSettledSaveName(const std::string& path, uint32_t filterIndex) {
    mtxPictureFormat format;
    if (FormatOfExtension(path, format)) return path;
    return path + "." + mtxPictureExtension(mtxPictureFormatOfFilter(filterIndex));
}

namespace {

int Fail(std::string* reason, const std::string& text) {
    if (reason) *reason = text;
    return 0;
}

int Encode(mtxImage& image, mtxPictureFormat format, int jpegQuality, mtxFileMemory& file) {
    switch (format) {
        case mtxPictureFormat::kBmp:
            return mtxImageWriteBmp(image, file);
        case mtxPictureFormat::kPng:
            return mtxImageWritePng(image, file);
        default:
            return mtxImageWriteJpeg(image, file, jpegQuality);
    }
}

}  // namespace

int mtxWritePictureFile(mtxImage& image, const std::string& path, mtxPictureFormat format,
                        std::string* reason, int jpegQuality) {
    if (image.width <= 0 || image.height <= 0) return Fail(reason, "the picture is empty");
    if (mtxOs::IsDirectory(path)) return Fail(reason, "it is a folder");
    try {
        // In memory first: a writer that fails half-way never reaches the disk.
        // Grown in steps of about the picture's size in bytes over 4, so a
        // large picture is not copied over and over as its file grows.
        uint64_t step = std::clamp<uint64_t>(uint64_t(image.width) * uint64_t(image.height),
                                             uint64_t(1) << 20, uint64_t(1) << 28);
        mtxFileMemory bytes{uint32_t(step)};
        if (!Encode(image, format, jpegQuality, bytes))
            return Fail(reason, std::string("the picture could not be encoded as ") +
                                    mtxPictureExtension(format) + " (too large for the format?)");
        if (!mtxOs::ReplaceFile(path, bytes.Data(), uint64_t(bytes.GetLength())))
            return Fail(reason, mtxOs::ErrorText(mtxOs::LastError()));
    } catch (const std::bad_alloc&) {
        return Fail(reason, "there is not enough memory to encode the picture");
    }
    return 1;
}
