#include "image/codecs/jpeg_symbols.h"

#include <new>

#include "image/file.h"

namespace {

constexpr uint32_t kChunkBytes = uint32_t(mtxJpegSymbols::kChunkWords * sizeof(uint32_t));

}  // namespace

int mtxJpegSymbols::Close() {
    if (pendingBits_ && !PutWord(uint32_t(pending_ << (32 - pendingBits_)))) return 0;
    pendingBits_ = 0;
    readChunk_ = readWord_ = 0;
    available_ = 0;
    availableBits_ = 0;
    if (spilled_ && spill_->Seek(0, 0) != 0) failed_ = true;
    return failed_ ? 0 : 1;
}

void mtxJpegSymbols::Clear() {
    chunks_.clear();
    readBuffer_.reset();
    fill_ = kChunkWords;
    spilled_ = 0;
    readChunk_ = readWord_ = 0;
    pending_ = available_ = 0;
    pendingBits_ = availableBits_ = 0;
    failed_ = false;
}

int mtxJpegSymbols::AddChunk() {
    if (spill_ && chunks_.size() == heldChunks_) return Spill();
    std::unique_ptr<uint32_t[]> chunk(new (std::nothrow) uint32_t[kChunkWords]);
    if (!chunk) return failed_ = true, 0;
    // The vector's own growth is small beside the chunks, but may fail too.
    try {
        chunks_.push_back(std::move(chunk));
    } catch (const std::bad_alloc&) {
        return failed_ = true, 0;
    }
    fill_ = 0;
    return 1;
}

// Every held chunk is full: they go to the file, and the first is used again.
int mtxJpegSymbols::Spill() {
    if (spilled_ == 0 && spill_->Seek(0, 0) != 0) return failed_ = true, 0;
    for (const auto& chunk : chunks_)
        if (!spill_->Write(chunk.get(), kChunkBytes)) return failed_ = true, 0;
    spilled_ += chunks_.size();
    chunks_.resize(1);
    fill_ = 0;
    return 1;
}

const uint32_t* mtxJpegSymbols::ReadChunk() {
    if (readChunk_ >= spilled_) return chunks_[readChunk_ - spilled_].get();
    if (readWord_ == 0) {
        if (!readBuffer_) readBuffer_.reset(new (std::nothrow) uint32_t[kChunkWords]);
        auto* bytes = reinterpret_cast<uint8_t*>(readBuffer_.get());
        uint32_t got = 0;
        while (bytes && got < kChunkBytes) {
            uint32_t n = spill_->Read(bytes + got, kChunkBytes - got);
            if (n == 0) break;
            got += n;
        }
        if (got < kChunkBytes) return failed_ = true, nullptr;
    }
    return readBuffer_.get();
}

uint32_t mtxJpegSymbols::NextWord() {
    const size_t total = spilled_ + chunks_.size();
    if (failed_ || readChunk_ >= total) return 0;
    const size_t words = readChunk_ + 1 == total ? fill_ : kChunkWords;
    if (readWord_ >= words) return 0;
    const uint32_t* chunk = ReadChunk();
    if (!chunk) return 0;
    uint32_t word = chunk[readWord_++];
    if (readWord_ == kChunkWords) ++readChunk_, readWord_ = 0;
    return word;
}
