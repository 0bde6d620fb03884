// The three writers on files that fail: whatever byte the failure strikes,
// and whether the file refuses at once or only when it is flushed, the writer
// reports 0.
#include <signal.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "image/file_memory.h"
#include "image/file_stream.h"
#include "image/image.h"
#include "image/io/image_save.h"
#include "tests/support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

// A memory file that takes the first `room` bytes and refuses every write
// that would go beyond them (keeping the part that fits, as a disk does).
class FailingFile : public mtxFileMemory {
  public:
    explicit FailingFile(uint64_t room) : mtxFileMemory(1 << 16), room_(room) {}
    int Write(const void* buffer, uint32_t count) override {
        int64_t at = GetPosition();
        if (at < 0 || uint64_t(at) + count <= room_) return mtxFileMemory::Write(buffer, count);
        if (uint64_t(at) < room_) mtxFileMemory::Write(buffer, uint32_t(room_ - uint64_t(at)));
        return 0;
    }

  private:
    uint64_t room_;
};

struct Writer {
    const char* name;
    std::function<int(mtxImage&, mtxFile&)> write;
};

const Writer kWriters[] = {
    {"bmp", [](mtxImage& i, mtxFile& f) { return mtxImageWriteBmp(i, f); }},
    {"png", [](mtxImage& i, mtxFile& f) { return mtxImageWritePng(i, f); }},
    // At full chroma, for an output as large as the others'.
    {"jpeg", [](mtxImage& i, mtxFile& f) { return mtxImageWriteJpeg(i, f, 100); }},
};

// Noise, so that no writer compresses it much: outputs of about 40 to 80 KB,
// more than one buffer of a stream.
mtxImage& Picture() {
    static mtxImage* image = [] {
        auto* p = new mtxImage(160, 120);
        std::mt19937 random(7);
        for (int y = 0; y < p->height; ++y)
            for (int x = 0; x < p->width; ++x) p->At(x, y) = random() | 0xFF000000u;
        return p;
    }();
    return *image;
}

std::string Written(const Writer& w) {
    mtxFileMemory file(1 << 16);
    EXPECT_EQ(w.write(Picture(), file), 1) << w.name;
    return std::string(reinterpret_cast<const char*>(file.Data()), size_t(file.GetLength()));
}

// Failure points across an output of `size` bytes: every one of the first and
// last bytes, and evenly spread ones between.
std::vector<uint64_t> FailurePoints(uint64_t size) {
    std::vector<uint64_t> points;
    for (uint64_t k = 0; k < size; ++k)
        if (k < 64 || k + 24 >= size || k % 1021 == 0) points.push_back(k);
    return points;
}

// Limits the size of files this process writes; a write beyond it fails with
// EFBIG instead of raising SIGXFSZ. Restored when the object goes.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(uint64_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = rlim_t(bytes);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit old_{};
    sighandler_t oldHandler_;
};

TEST(ImageSave, AFileThatRefusesAnyByteFailsTheWriter) {
    for (const Writer& w : kWriters) {
        const std::string whole = Written(w);
        ASSERT_GT(whole.size(), 30000u) << w.name;
        for (uint64_t k : FailurePoints(whole.size())) {
            FailingFile file(k);
            ASSERT_EQ(w.write(Picture(), file), 0) << w.name << " failing at byte " << k;
        }
        // The same file with room for everything: the writer succeeds.
        FailingFile roomy(whole.size());
        EXPECT_EQ(w.write(Picture(), roomy), 1) << w.name;
        EXPECT_EQ(roomy.GetLength(), int64_t(whole.size())) << w.name;
    }
}

// Real files through the system, plain and buffered: the stream keeps up to
// 64 KB pending, so a failure in its last bytes shows only when the writer
// flushes.
TEST(ImageSave, ADiskFileFailingAtAnyByteFailsTheWriter) {
    TempDir dir;
    const std::string path = dir.File("out");
    for (const Writer& w : kWriters) {
        const std::string whole = Written(w);
        std::vector<uint64_t> points = {0, 1, 53, 54, 4096, 65535, 65536, 65537};
        for (uint64_t k = whole.size() - 20; k < whole.size(); ++k) points.push_back(k);
        for (uint64_t k = 0; k < whole.size(); k += whole.size() / 7) points.push_back(k);
        for (uint64_t k : points) {
            if (k >= whole.size()) continue;
            for (int buffered = 0; buffered < 2; ++buffered) {
                int result = -1;
                {
                    FileSizeLimit limit(k);
                    mtxFileStream64K stream;
                    mtxFile plain;
                    mtxFile& file = buffered ? static_cast<mtxFile&>(stream) : plain;
                    ASSERT_EQ(file.Open(path, mtxFile::kCreate | mtxFile::kWrite), 1);
                    result = w.write(Picture(), file);
                }
                EXPECT_EQ(result, 0)
                    << w.name << (buffered ? " stream" : " file") << " failing at byte " << k;
            }
        }
        for (int buffered = 0; buffered < 2; ++buffered) {
            FileSizeLimit limit(whole.size());
            int result = -1;
            {
                mtxFileStream64K stream;
                mtxFile plain;
                mtxFile& file = buffered ? static_cast<mtxFile&>(stream) : plain;
                ASSERT_EQ(file.Open(path, mtxFile::kCreate | mtxFile::kWrite), 1);
                result = w.write(Picture(), file);
                // What the writer reported as written is on disk before the
                // file object goes.
                EXPECT_EQ(ReadFile(path), whole) << w.name;
            }
            EXPECT_EQ(result, 1) << w.name << (buffered ? " stream" : " file");
        }
    }
}

TEST(ImageSave, AFullDeviceFailsTheWriterAndANullOneDoesNot) {
    for (const Writer& w : kWriters) {
        for (int buffered = 0; buffered < 2; ++buffered) {
            for (const char* device : {"/dev/full", "/dev/null"}) {
                mtxFileStream64K stream;
                mtxFile plain;
                mtxFile& file = buffered ? static_cast<mtxFile&>(stream) : plain;
                ASSERT_EQ(file.Open(device, mtxFile::kWrite), 1) << device;
                EXPECT_EQ(w.write(Picture(), file), std::strcmp(device, "/dev/null") == 0)
                    << w.name << (buffered ? " stream on " : " file on ") << device;
            }
        }
    }
}

}  // namespace
