#pragma once
#include <algorithm>
#include <cstring>

#include "image/file.h"

// A disk file read and written through one buffer of N bytes. Bytes written
// stay pending in the buffer until a write-back: the buffer filling up, a
// switch to reading, Flush, or destruction. Close alone does not write them.
//
// Two departures from the plain algorithm keep data safe: a write after a
// backward Seek inside the buffer keeps the pending bytes beyond it, and a
// failed write-back makes Write and Flush return 0 instead of losing bytes
// silently.
template <uint32_t N>
class mtxFileStream : public mtxFile {
  public:
    mtxFileStream() = default;
    ~mtxFileStream() override {
        if (mode_ == kWriting) {
            WriteBack();
            mtxFile::Flush();
        }
    }

    int64_t GetPosition() override { return static_cast<int64_t>(position_); }

    int Open(const std::string& path, uint32_t mode) override {
        if (!mtxFile::Open(path, mode)) return 0;
        mode_ = kReading;
        position_ = bufferStart_ = 0;
        count_ = 0;
        failed_ = false;
        return 1;
    }

    // Moves the logical position only; the next Read or Write revalidates the
    // buffer. From the end, pending bytes are not counted.
    int64_t Seek(int64_t offset, int origin) override {
        int64_t base = origin == 1   ? static_cast<int64_t>(position_)
                       : origin == 2 ? GetLength()
                                     : 0;
        int64_t target = base + offset;
        if (base < 0 || target < 0) return -1;
        position_ = static_cast<uint64_t>(target);
        return target;
    }

    // At most N bytes per call; fewer at the end of the file.
    uint32_t Read(void* buffer, uint32_t count) override {
        if (count == 0) return 0;
        if (mode_ == kWriting) {
            Flush();
            mode_ = kReading;
            Refill();
        }
        int64_t d = static_cast<int64_t>(position_) - static_cast<int64_t>(bufferStart_);
        if (d < 0 || static_cast<int64_t>(count_) - d < static_cast<int64_t>(count)) {
            Refill();
            d = 0;
        }
        int64_t available = static_cast<int64_t>(count_) - d;
        uint32_t n = static_cast<uint32_t>(std::clamp<int64_t>(available, 0, count));
        if (n) std::memcpy(buffer, buffer_ + d, n);
        position_ += n;
        return n;
    }

    int Write(const void* data, uint32_t count) override {
        if (count == 0) return 0;
        const auto* src = static_cast<const uint8_t*>(data);
        if (mode_ != kWriting) {
            Flush();
            mode_ = kWriting;
            count_ = 0;  // the bytes read are already on disk
            WriteBack();
        }
        int64_t d = static_cast<int64_t>(position_) - static_cast<int64_t>(bufferStart_);
        if (d < 0 || static_cast<uint64_t>(d) + count > N) {
            WriteBack();
            d = 0;
        }
        if (count > N) {
            uint32_t blocks = (count - (N + 1)) / N + 1;
            for (uint32_t k = 0; k < blocks; ++k, src += N, count -= N) {
                std::memcpy(buffer_, src, N);
                position_ += N;
                count_ = N;
                WriteBack();
            }
        }
        std::memcpy(buffer_ + d, src, count);
        position_ += count;
        count_ = std::max<uint32_t>(count_, static_cast<uint32_t>(position_ - bufferStart_));
        return failed_ ? 0 : 1;
    }

    // Writes pending bytes and asks the system to flush. 0 when a write or the
    // system's flush failed.
    int Flush() override {
        if (mode_ == kWriting) WriteBack();
        if (!mtxFile::Flush() && IsOpen()) failed_ = true;
        return failed_ ? 0 : 1;
    }

    // Bytes written but not yet on disk.
    uint32_t PendingBytes() const { return mode_ == kWriting ? count_ : 0; }

  private:
    enum Mode { kReading = 0, kWriting = 1 };

    void Refill() {
        if (mode_ == kWriting) {
            WriteBack();
            return;
        }
        bufferStart_ = position_;
        count_ = 0;
        if (mtxFile::Seek(static_cast<int64_t>(position_), 0) >= 0)
            count_ = mtxFile::Read(buffer_, N);
    }

    // Writes the pending bytes, then loads the buffer with what the file holds
    // from the logical position on, so partial overwrites keep their neighbours.
    void WriteBack() {
        if (count_ != 0) {
            if (mtxFile::Seek(static_cast<int64_t>(bufferStart_), 0) < 0 ||
                !mtxFile::Write(buffer_, count_))
                failed_ = true;
        }
        uint32_t loaded = 0;
        int64_t length = mtxFile::GetLength();
        if (length > static_cast<int64_t>(position_) &&
            mtxFile::Seek(static_cast<int64_t>(position_), 0) >= 0)
            loaded = mtxFile::Read(buffer_, N);
        // Bytes past the end of the file read back as zeros, as a gap left by
        // a Seek past the end does.
        std::memset(buffer_ + loaded, 0, N - loaded);
        bufferStart_ = position_;
        count_ = 0;
    }

    uint64_t position_ = 0;
    int mode_ = kReading;
    uint8_t buffer_[N] = {};
    uint64_t bufferStart_ = 0;
    uint32_t count_ = 0;  // reading: valid bytes; writing: bytes up to the position, pending
    bool failed_ = false;
};

using mtxFileStream64K = mtxFileStream<65536>;
