#pragma once
#include "image/file.h"

// A file held in memory: growable in steps, or fixed (grow step 0) over a
// buffer of fixed capacity such as an attached resource. A fixed file refuses
// writes and lengths beyond its capacity. Offsets stop at 0x7FFFFFFF.
class mtxFileMemory : public mtxFile {
  public:
    explicit mtxFileMemory(uint32_t growStep = 4096) : growStep_(growStep) {}
    ~mtxFileMemory() override;

    // Serves size bytes at buffer without taking ownership. With grow step 0
    // the bytes are the content; otherwise the file starts empty over them and
    // moves to a buffer of its own when it must grow.
    void Attach(void* buffer, uint32_t size, uint32_t growStep);

    int64_t GetPosition() override { return position_; }
    int64_t Seek(int64_t offset, int origin) override;
    int SetLength(int64_t length) override;
    int64_t GetLength() override { return length_; }
    uint32_t Read(void* buffer, uint32_t count) override;
    int Write(const void* buffer, uint32_t count) override;
    void Abort() override { Close(); }
    int Flush() override { return 0; }
    int Close() override;
    // command 0: read view of up to count bytes (0xFFFFFFFF: all) from the
    //            position, which moves past them; returns the bytes in view.
    // command 1: write view of count bytes at the position (grown if needed);
    //            returns the bytes in view; the position does not move.
    // command 2: commits count bytes written through a write view; returns 0.
    // command 3: 1 when the file can grow.
    uint32_t MapBuffer(int command, uint32_t count, uint8_t** start, uint8_t** end) override;

    const uint8_t* Data() const { return buffer_; }

  protected:
    // All memory of the file goes through these, so a subclass can keep the
    // content elsewhere.
    virtual void* AllocBuffer(uint32_t bytes);
    virtual void* ReallocBuffer(void* block, uint32_t bytes);
    virtual void* CopyBytes(void* destination, const void* source, uint32_t count);
    virtual void FreeBuffer(void* block);
    // 1 when the capacity is at least size afterwards.
    virtual int GrowBuffer(uint32_t size);

  private:
    void ZeroGap(uint32_t from, uint32_t to);

    uint32_t growStep_;
    uint32_t position_ = 0;
    uint32_t capacity_ = 0;
    uint32_t length_ = 0;
    uint8_t* buffer_ = nullptr;
    int ownsBuffer_ = 1;
};
