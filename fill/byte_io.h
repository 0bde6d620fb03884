#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Little-endian numbers into a growing byte vector, for the program's own
// files.
class mtxByteWriter {
  public:
    explicit mtxByteWriter(std::vector<uint8_t>& out) : out_(out) {}

    void U8(uint8_t v) { out_.push_back(v); }
    void U16(uint16_t v) { Little(v, 2); }
    void U32(uint32_t v) { Little(v, 4); }
    void U64(uint64_t v) { Little(v, 8); }
    void F32(float v) { U32(std::bit_cast<uint32_t>(v)); }
    void Bytes(const void* data, size_t size) {
        auto* p = static_cast<const uint8_t*>(data);
        out_.insert(out_.end(), p, p + size);
    }
    // A length (u32) and the bytes.
    void Text(const std::string& text) {
        U32(uint32_t(text.size()));
        Bytes(text.data(), text.size());
    }
    size_t Size() const { return out_.size(); }
    // Overwrites four bytes at offset (a length known only afterwards).
    void PatchU32(size_t offset, uint32_t v) {
        for (int i = 0; i < 4; ++i) out_[offset + size_t(i)] = uint8_t(v >> (8 * i));
    }

  private:
    void Little(uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out_.push_back(uint8_t(v >> (8 * i)));
    }
    std::vector<uint8_t>& out_;
};

// Reads what mtxByteWriter wrote from a bounded buffer. Reading past the end
// gives zeros and sets failed, so a reader checks once after a group of
// fields instead of after each one.
class mtxByteReader {
  public:
    mtxByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t U8() { return uint8_t(Little(1)); }
    uint16_t U16() { return uint16_t(Little(2)); }
    uint32_t U32() { return uint32_t(Little(4)); }
    uint64_t U64() { return Little(8); }
    float F32() { return std::bit_cast<float>(U32()); }
    // size bytes in place, or null (and failed) when fewer remain.
    const uint8_t* Take(size_t size) {
        if (failed || size > size_ - at_) {
            failed = true;
            return nullptr;
        }
        const uint8_t* p = data_ + at_;
        at_ += size;
        return p;
    }
    // A length-prefixed text of at most limit bytes.
    bool Text(std::string& text, size_t limit) {
        uint32_t n = U32();
        if (failed || n > limit) return failed = true, false;
        const uint8_t* p = Take(n);
        if (!p) return false;
        text.assign(reinterpret_cast<const char*>(p), n);
        return true;
    }
    size_t Left() const { return size_ - at_; }
    size_t Position() const { return at_; }

    bool failed = false;

  private:
    uint64_t Little(int bytes) {
        const uint8_t* p = Take(size_t(bytes));
        uint64_t v = 0;
        if (p)
            for (int i = 0; i < bytes; ++i) v |= uint64_t(p[i]) << (8 * i);
        return v;
    }
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};
