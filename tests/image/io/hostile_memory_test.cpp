// Memory while loading files whose headers claim far more than their data
// holds: the peak must grow with the file, not with the header. Each load
// runs in a child process that measures the rise of its own peak resident
// memory (VmHWM) over what it held before the load.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "image/image.h"
#include "image/io/image_load.h"
#include "tests/oracles/jpeg.h"
#include "tests/oracles/png.h"
#include "tests/support/test_support.h"

// Under AddressSanitizer the figure must be about our allocations, not the
// sanitizer's bookkeeping: freed blocks wait in a quarantine (256 MB by
// default) instead of being reused, and freeing a block writes one shadow byte
// for each eight of it (128 MB for a refused 1 GiB picture that was never
// touched). A small quarantine and no heap poisoning leave the loader's own
// memory; the other test programs run the same code with full poisoning.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=8:poison_heap=0";
}

namespace {

using testing_support::TempDir;

constexpr int64_t kAllowance = int64_t(64) << 20;
constexpr int64_t kPerByte = 2000;

void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 255);
    s += static_cast<char>(v >> 8 & 255);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}
void Put32Big(std::string& s, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>(v >> shift & 255);
}

std::string PngChunk(const char* type, const std::string& data) {
    std::string out;
    Put32Big(out, static_cast<uint32_t>(data.size()));
    out += std::string(type, 4) + data;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.data() + 4),
                      static_cast<uInt>(data.size() + 4));
    Put32Big(out, static_cast<uint32_t>(crc));
    return out;
}

// Signature and IHDR of a 16384 x 16384 RGBA picture, then an IDAT holding the
// first bytes of a zlib stream of its rows; the file ends there.
std::string HostilePng(int interlace) {
    std::string ihdr;
    Put32Big(ihdr, 16384);
    Put32Big(ihdr, 16384);
    ihdr += {8, 6, 0, 0, static_cast<char>(interlace)};
    std::string rows(size_t(1) << 20, '\0');
    uLongf n = compressBound(static_cast<uLong>(rows.size()));
    std::string z(n, '\0');
    compress2(reinterpret_cast<Bytef*>(z.data()), &n, reinterpret_cast<const Bytef*>(rows.data()),
              static_cast<uLong>(rows.size()), 9);
    return "\x89PNG\r\n\x1a\n" + PngChunk("IHDR", ihdr) + PngChunk("IDAT", z.substr(0, 40));
}

// A 16384 x 16384 PNG of the given bit depth, colour type and interlace
// whose image data are rows of zero bytes (filter None), deflated.
std::string ZeroRowsPng(uint8_t depth, uint8_t colour, uint8_t interlace, size_t rowBytes) {
    std::string ihdr;
    Put32Big(ihdr, 16384);
    Put32Big(ihdr, 16384);
    ihdr += {char(depth), char(colour), 0, 0, char(interlace)};
    std::string rows(rowBytes, '\0');
    uLongf n = compressBound(static_cast<uLong>(rows.size()));
    std::string z(n, '\0');
    compress2(reinterpret_cast<Bytef*>(z.data()), &n, reinterpret_cast<const Bytef*>(rows.data()),
              static_cast<uLong>(rows.size()), 9);
    z.resize(n);
    return "\x89PNG\r\n\x1a\n" + PngChunk("IHDR", ihdr) + PngChunk("IDAT", z) +
           PngChunk("IEND", "");
}

// An interlaced 16384 x 16384 RGBA picture whose data hold its first pass
// whole (every eighth row, every eighth pixel) and end there.
std::string FirstPassOnlyPng() {
    return ZeroRowsPng(8, 6, 1, size_t(2048) * (1 + 2048 * 4));
}

// A 1-bit grey 16384 x 16384 picture whose data end one row short of the
// last: a few kilobytes that would convert to a gigabyte of pixels.
std::string OneBitPng() {
    return ZeroRowsPng(1, 0, 0, size_t(16383) * (1 + 16384 / 8));
}

// A grey picture of 1 x 100,000,000 pixels whose data hold its first row:
// under 70 bytes in all.
std::string TallPng() {
    std::string ihdr;
    Put32Big(ihdr, 1);
    Put32Big(ihdr, 100000000);
    ihdr += {8, 0, 0, 0, 0};
    const std::string row("\0\x80", 2);
    uLongf n = compressBound(2);
    std::string z(n, '\0');
    compress2(reinterpret_cast<Bytef*>(z.data()), &n, reinterpret_cast<const Bytef*>(row.data()), 2,
              9);
    z.resize(n);
    return "\x89PNG\r\n\x1a\n" + PngChunk("IHDR", ihdr) + PngChunk("IDAT", z) +
           PngChunk("IEND", "");
}

// An RLE8 bitmap of 65535 x 4096 pixels whose stream sets a few pixels,
// skips ahead and ends with the file, without its end-of-bitmap code.
std::string HostileRleBitmap() {
    std::string rle = {3, 1, 0, 0, 0, 2, 100, 100, 5, 2, 0, 0, 2, 3};
    std::string bmp = "BM";
    Put32(bmp, static_cast<uint32_t>(14 + 40 + 1024 + rle.size()));
    Put32(bmp, 0);
    Put32(bmp, 14 + 40 + 1024);
    Put32(bmp, 40);
    Put32(bmp, 65535);
    Put32(bmp, 4096);
    Put16(bmp, 1);
    Put16(bmp, 8);
    Put32(bmp, 1);  // RLE8
    for (int i = 0; i < 5; ++i) Put32(bmp, 0);
    for (int i = 0; i < 256; ++i) Put32(bmp, uint32_t(i) * 0x010101u);
    return bmp + rle;
}

// A GIF screen of width x height with a frame of frameWidth x frameHeight
// whose LZW data is cut short (or, for a 1 x 1 frame, complete).
std::string HostileGif(int width, int height, int frameWidth, int frameHeight) {
    std::string gif = "GIF89a";
    Put16(gif, static_cast<uint32_t>(width));
    Put16(gif, static_cast<uint32_t>(height));
    gif += {static_cast<char>(0x80), 0, 0};          // a global table of 2 colours
    gif += {0, 0, 0, static_cast<char>(255), 0, 0};  // black, red
    gif += ',';
    Put16(gif, 0);
    Put16(gif, 0);
    Put16(gif, static_cast<uint32_t>(frameWidth));
    Put16(gif, static_cast<uint32_t>(frameHeight));
    gif += '\0';
    // Minimum code size 2; clear, index 1, end of information: one pixel.
    gif += {2, 2, 0x4C, 0x01, 0, ';'};
    if (frameWidth * frameHeight > 1) gif.resize(gif.size() - 3);  // cut inside the data
    return gif;
}

// A progressive JPEG of 16 x 16 pixels whose frame header then claims
// 16384 x 16384.
std::string HostileProgressiveJpeg() {
    oracle::Pixels pixels;
    pixels.width = pixels.height = 16;
    for (int i = 0; i < 256; ++i) pixels.data.push_back(0xFF000000u | uint32_t(i) * 0x010203u);
    oracle::JpegOptions options;
    options.progressive = true;
    std::string jpeg = oracle::EncodeJpeg(pixels, options);
    size_t sof = jpeg.find("\xFF\xC2");
    if (sof == std::string::npos) return {};
    // Marker, length, precision, then height and width, big-endian.
    for (size_t at : {sof + 5, sof + 7}) {
        jpeg[at] = 0x40;
        jpeg[at + 1] = 0;
    }
    return jpeg;
}

// 24-bit bitmap of width x height with every byte present: a picture whose
// memory its data justifies.
std::string PlainBitmap(int width, int height) {
    uint32_t stride = (uint32_t(width) * 3 + 3) & ~3u;
    std::string bmp = "BM";
    Put32(bmp, 54 + stride * uint32_t(height));
    Put32(bmp, 0);
    Put32(bmp, 54);
    Put32(bmp, 40);
    Put32(bmp, static_cast<uint32_t>(width));
    Put32(bmp, static_cast<uint32_t>(height));
    Put16(bmp, 1);
    Put16(bmp, 24);
    for (int i = 0; i < 6; ++i) Put32(bmp, 0);
    bmp.append(size_t(stride) * size_t(height), '\x5A');
    return bmp;
}

int64_t StatusValue(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, std::strlen(key), key) == 0)
            return std::stoll(line.substr(std::strlen(key))) * 1024;
    return -1;
}

struct Measured {
    int loaded = -1;
    int64_t rise = -1;  // bytes of peak resident memory the load added
    std::string reason;
};

// Loads path with mtxImage::Load in a child process. The child resets its
// peak to its present resident size where the kernel allows
// (/proc/self/clear_refs "5"), takes its resident size as the baseline and
// reports the peak's rise after the load; where the reset is refused the
// inherited peak only makes the figure larger.
Measured LoadInChild(const std::string& path) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        int clear = open("/proc/self/clear_refs", O_WRONLY);
        if (clear >= 0) {
            (void)!write(clear, "5", 1);
            close(clear);
        }
        int64_t base = StatusValue("VmRSS:");
        std::string reason;
        int loaded;
        int64_t peak;
        {
            mtxImage image;
            loaded = mtxImageLoad(image, path, 0, &reason);
            peak = StatusValue("VmHWM:");
        }
        std::string report =
            std::to_string(loaded) + " " + std::to_string(peak - base) + " " + reason;
        (void)!write(fds[1], report.data(), report.size());
        _exit(0);
    }
    close(fds[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    Measured m;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return m;
    size_t a = report.find(' '), b = report.find(' ', a + 1);
    if (a == std::string::npos || b == std::string::npos) return m;
    m.loaded = std::stoi(report.substr(0, a));
    m.rise = std::stoll(report.substr(a + 1, b - a - 1));
    m.reason = report.substr(b + 1);
    return m;
}

struct Hostile {
    const char* name;
    std::string bytes;
    const char* reason;  // how the reason starts
};

}  // namespace

TEST(HostileMemory, MeasuresWhatALoadReallyHolds) {
    // The measurement itself: a 2048 x 2048 bitmap must show at least its
    // 16 MB of pixels, or the bound below would prove nothing.
    TempDir dir;
    std::string path = dir.File("plain.bmp");
    std::ofstream(path, std::ios::binary) << PlainBitmap(2048, 2048);
    Measured m = LoadInChild(path);
    ASSERT_EQ(m.loaded, 1) << m.reason;
    EXPECT_GE(m.rise, int64_t(16) << 20);
}

TEST(HostileMemory, PeakGrowsWithTheFileNotWithTheHeader) {
    std::vector<Hostile> files = {
        {"png", HostilePng(0), "PNG: file ends before IEND"},
        {"tall png", TallPng(), "PNG: image data end at row 1 of 100000000"},
        {"1-bit png", OneBitPng(), "PNG: image data end at row 16383 of 16384"},
        {"first pass png", FirstPassOnlyPng(),
         "PNG: image data end at row 0 of 16384 (pass 2 of 7)"},
        {"interlaced png", HostilePng(1), "PNG: file ends before IEND"},
        {"rle bitmap", HostileRleBitmap(), "BMP:"},
        {"gif screen", HostileGif(65535, 65535, 1, 1), "GIF:"},
        {"gif frame", HostileGif(16384, 16384, 16384, 16384), "GIF:"},
        {"progressive jpeg", HostileProgressiveJpeg(), "JPEG:"},
    };
    TempDir dir;
    for (const Hostile& file : files) {
        SCOPED_TRACE(file.name);
        ASSERT_FALSE(file.bytes.empty());
        std::string path = dir.File("hostile");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << file.bytes;
        Measured m = LoadInChild(path);
        int64_t bound = kAllowance + kPerByte * int64_t(file.bytes.size());
        std::printf("%-17s %5zu bytes: peak rose by %7.1f MB (bound %.1f MB): %s\n", file.name,
                    file.bytes.size(), double(m.rise) / (1 << 20), double(bound) / (1 << 20),
                    m.reason.c_str());
        ASSERT_GE(m.rise, 0) << "the child did not report";
        EXPECT_LT(m.rise, bound);
        // Each of these is refused, with a reason that names its codec and
        // what is wrong: memory never ran short.
        EXPECT_EQ(m.loaded, 0);
        EXPECT_EQ(m.reason.compare(0, std::strlen(file.reason), file.reason), 0) << m.reason;
        EXPECT_EQ(m.reason.find("out of memory"), std::string::npos) << m.reason;
    }
}
