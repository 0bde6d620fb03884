// The decompressing half of mtxDeflate: RFC 1950 header and trailer, RFC 1951
// stored, fixed and dynamic blocks, table-driven Huffman decoding.
#include <algorithm>
#include <cstring>

#include "image/codecs/deflate.h"
#include "image/codecs/deflate_state.h"

using namespace mtxHuffman;

namespace {

constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

// The tables of the fixed-Huffman block type (RFC 1951 3.2.6), built once.
struct FixedTables {
    uint32_t literal[kLiteralTableSize];
    uint32_t distance[kDistanceTableSize];
    FixedTables() {
        uint8_t lengths[288];
        std::fill(lengths, lengths + 144, 8);
        std::fill(lengths + 144, lengths + 256, 9);
        std::fill(lengths + 256, lengths + 280, 7);
        std::fill(lengths + 280, lengths + 288, 8);
        BuildTable(lengths, 288, kLiteralLength, literal);
        std::fill(lengths, lengths + 32, 5);
        BuildTable(lengths, 32, kDistance, distance);
    }
};

const FixedTables& Fixed() {
    static const FixedTables tables;
    return tables;
}

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

}  // namespace

// Reads more input into the decoder's buffer. 0 at the end of the input.
int mtxDeflate::RefillInput() {
    DecoderState& d = *dec_;
    if (d.inputEnded) return 0;
    uint32_t keep = d.inEnd - d.inPos;
    std::memmove(d.input, d.input + d.inPos, keep);
    d.inPos = 0;
    d.inEnd = keep;
    uint32_t got = input_ ? input_->Read(d.input + keep, DecoderState::kInputSize - keep) : 0;
    if (got == 0) d.inputEnded = 1;
    d.inEnd += got;
    return got != 0;
}

// Tops the bit buffer up to at least 56 bits. Past the end of the input it
// adds zero phantom bytes; Truncated() tells when one was consumed.
inline void mtxDeflate::Refill() {
    DecoderState& d = *dec_;
    if (d.inEnd - d.inPos >= 8) {
        // Whole bytes are counted; the partial byte loaded above them is the
        // same byte the next refill loads again, so OR-ing it twice is harmless.
        bitBuffer_ |= Load64(d.input + d.inPos) << bitCount_;
        d.inPos += (63 - bitCount_) >> 3;
        bitCount_ |= 56;
        return;
    }
    while (bitCount_ <= 56) {
        if (d.inPos == d.inEnd && !RefillInput()) {
            ++phantom_;
            bitCount_ += 8;
            continue;
        }
        if (d.inEnd - d.inPos >= 8) {
            Refill();
            return;
        }
        bitBuffer_ |= static_cast<uint64_t>(d.input[d.inPos++]) << bitCount_;
        bitCount_ += 8;
    }
}

inline uint32_t mtxDeflate::TakeBits(uint32_t count) {
    uint32_t v = static_cast<uint32_t>(bitBuffer_ & ((1ull << count) - 1));
    bitBuffer_ >>= count;
    bitCount_ -= count;
    return v;
}

// RFC 1950 2.2: CM 8, a window no larger than 32 KB, no preset dictionary,
// and CMF*256 + FLG a multiple of 31. 0 when the header is wrong or missing.
int mtxDeflate::ReadHeader() {
    flags_ |= kFlagHeader;
    s1_ = 1;
    s2_ = 0;
    Refill();
    uint32_t cmf = TakeBits(8), flg = TakeBits(8);
    if (Truncated()) {
        state_ = kStateError;
        return 0;
    }
    if ((cmf & 15) == 8 && (cmf >> 4) <= 7 && !(flg & 0x20) && (cmf << 8 | flg) % 31 == 0) return 1;
    return Corrupt("bad zlib header");
}

int mtxDeflate::ReadDynamicTables() {
    DecoderState& d = *dec_;
    Refill();
    uint32_t nlit = TakeBits(5) + 257, ndist = TakeBits(5) + 1, nclen = TakeBits(4) + 4;
    if (nlit > 286 || ndist > 30) return Corrupt("bad code lengths");
    uint8_t lengths[286 + 30] = {};
    uint8_t clLengths[19] = {};
    // Up to 57 bits: more than one refill guarantees.
    for (uint32_t i = 0; i < nclen; ++i) {
        if (i % 8 == 0) Refill();
        clLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(TakeBits(3));
    }
    if (Truncated()) return 0;
    if (!BuildTable(clLengths, 19, kCodeLength, d.codeLength)) return Corrupt("bad code lengths");
    uint32_t total = nlit + ndist;
    for (uint32_t i = 0; i < total;) {
        Refill();
        if (Truncated()) return 0;
        uint32_t e = d.codeLength[bitBuffer_ & ((1u << kCodeLengthBits) - 1)];
        if (EntryKind(e) != kLiteral) return Corrupt("bad code lengths");
        TakeBits(EntryLength(e));
        uint32_t s = EntryValue(e);
        if (s < 16) {
            lengths[i++] = static_cast<uint8_t>(s);
            continue;
        }
        uint32_t repeat;
        uint8_t value = 0;
        if (s == 16) {
            if (i == 0) return Corrupt("bad code lengths");  // nothing to repeat
            value = lengths[i - 1];
            repeat = 3 + TakeBits(2);
        } else if (s == 17) {
            repeat = 3 + TakeBits(3);
        } else {
            repeat = 11 + TakeBits(7);
        }
        if (repeat > total - i) return Corrupt("bad code lengths");
        std::memset(lengths + i, value, repeat);
        i += repeat;
    }
    if (Truncated()) return 0;
    if (lengths[256] == 0) return Corrupt("bad code lengths");  // a block needs its end code
    if (BuildTable(lengths, static_cast<int>(nlit), kLiteralLength, d.literal) &&
        BuildTable(lengths + nlit, static_cast<int>(ndist), kDistance, d.distance))
        return 1;
    return Corrupt("bad code lengths");
}

// Reads a block header and prepares its tables. 0 when it is invalid or the
// input ended.
int mtxDeflate::ReadBlockHeader() {
    Refill();
    if (Truncated()) return 0;
    uint32_t final = TakeBits(1), type = TakeBits(2);
    if (final) flags_ |= kFlagFinal;
    flags_ |= kFlagBlockHeader;
    if (type == 0) {
        flags_ &= ~kFlagCompressed;
        TakeBits(bitCount_ & 7);  // to the byte boundary
        uint32_t len = TakeBits(16), nlen = TakeBits(16);
        if (Truncated()) return 0;
        // A damaged NLEN stops Inflate; Decompress notes it and reads the
        // block as LEN says.
        if ((len ^ 0xFFFF) != nlen) {
            status_ = kFailed;
            Corrupt("bad stored block length");
            if (pulling_) return 0;
        }
        storedLeft_ = len;
        state_ = kStateStored;
        return 1;
    }
    if (type == 3) return Corrupt("invalid block type");
    flags_ |= kFlagCompressed;
    if (type == 1) {
        std::memcpy(dec_->literal, Fixed().literal, sizeof dec_->literal);
        std::memcpy(dec_->distance, Fixed().distance, sizeof dec_->distance);
    } else if (!ReadDynamicTables()) {
        return 0;
    }
    state_ = kStateHuffman;
    return 1;
}

// Copies stored bytes, first the whole bytes still in the bit buffer, then
// straight from the input buffer.
void mtxDeflate::CopyStored(uint32_t limit) {
    DecoderState& d = *dec_;
    uint8_t* win = window_.get();
    while (storedLeft_ > 0 && writePos_ < limit && bitCount_ >= 8 + 8 * phantom_) {
        win[writePos_++] = static_cast<uint8_t>(TakeBits(8));
        --storedLeft_;
    }
    while (storedLeft_ > 0 && writePos_ < limit) {
        if (phantom_ > 0) {
            state_ = kStateError;  // only phantom bytes left: the input ended
            return;
        }
        bitBuffer_ = 0;  // drop the look-ahead bytes beyond the counted ones
        bitCount_ = 0;
        if (d.inPos == d.inEnd && !RefillInput()) {
            state_ = kStateError;
            return;
        }
        uint32_t n = std::min({storedLeft_, limit - writePos_, d.inEnd - d.inPos});
        std::memcpy(win + writePos_, d.input + d.inPos, n);
        d.inPos += n;
        writePos_ += n;
        storedLeft_ -= n;
    }
    if (storedLeft_ == 0) state_ = kStateBlockHeader;
}

// Decodes symbols until the window holds limit bytes or the block ends. The
// bit buffer and input position live in locals for the loop: byte stores to
// the window could alias the members, which would force them through memory
// after every byte.
void mtxDeflate::DecodeHuffman(uint32_t limit) {
    DecoderState& d = *dec_;
    const uint32_t* lit = d.literal;
    const uint32_t* dist = d.distance;
    uint8_t* win = window_.get();
    uint32_t pos = writePos_;
    uint64_t bits = bitBuffer_;
    uint32_t count = bitCount_;
    uint32_t inPos = d.inPos, inEnd = d.inEnd;
    constexpr uint64_t litMask = (1u << kLiteralBits) - 1, distMask = (1u << kDistanceBits) - 1;
    auto consume = [&](uint32_t n) {
        bits >>= n;
        count -= n;
    };
    auto take = [&](uint32_t n) {
        uint32_t v = static_cast<uint32_t>(bits & ((1ull << n) - 1));
        consume(n);
        return v;
    };
    while (pos < limit) {
        if (inEnd - inPos >= 8) {
            // Whole bytes are counted; the partial byte loaded above them is
            // loaded again by the next refill, and OR-ing it twice is harmless.
            bits |= Load64(d.input + inPos) << count;
            inPos += (63 - count) >> 3;
            count |= 56;
        } else {
            // Near the end of the input buffer: the members' slow refill.
            bitBuffer_ = bits;
            bitCount_ = count;
            d.inPos = inPos;
            Refill();
            bits = bitBuffer_;
            count = bitCount_;
            inPos = d.inPos;
            inEnd = d.inEnd;
            if (phantom_ && Truncated()) {
                state_ = kStateError;
                break;
            }
        }
        uint32_t e = lit[bits & litMask];
        if (EntryKind(e) == kSubtable)
            e = lit[EntryValue(e) + ((bits >> kLiteralBits) & ((1u << EntryExtra(e)) - 1))];
        uint32_t kind = EntryKind(e);
        consume(EntryLength(e));
        if (kind == kLiteral) {
            win[pos++] = static_cast<uint8_t>(EntryValue(e));
            // Up to three more literals from the bits already loaded: a refill
            // leaves at least 56 bits, a literal takes at most 15 and one
            // found in the primary table at most kLiteralBits. The window's
            // slack takes the few bytes this may run past limit.
            for (int more = 0; more < 3; ++more) {
                uint32_t e2 = lit[bits & litMask];
                if (EntryKind(e2) != kLiteral) break;
                consume(EntryLength(e2));
                win[pos++] = static_cast<uint8_t>(EntryValue(e2));
            }
            continue;
        }
        if (kind != kBase) {
            state_ = kind == kEnd ? kStateBlockHeader : kStateError;
            if (kind != kEnd) Corrupt("invalid literal/length code");
            break;
        }
        uint32_t length = EntryValue(e) + take(EntryExtra(e));
        uint32_t de = dist[bits & distMask];
        if (EntryKind(de) == kSubtable)
            de = dist[EntryValue(de) + ((bits >> kDistanceBits) & ((1u << EntryExtra(de)) - 1))];
        if (EntryKind(de) != kBase) {
            state_ = kStateError;
            Corrupt("invalid distance code");
            break;
        }
        consume(EntryLength(de));
        uint32_t distance = EntryValue(de) + take(EntryExtra(de));
        if (distance > pos) {
            state_ = kStateError;  // reaches before the start of the data
            Corrupt("distance too far back");
            break;
        }
        uint8_t* to = win + pos;
        const uint8_t* from = to - distance;
        pos += length;
        if (distance >= 8) {
            // Eight bytes at a time; the window's slack takes the overshoot.
            for (uint32_t i = 0; i < length; i += 8) std::memcpy(to + i, from + i, 8);
        } else if (distance == 1) {
            std::memset(to, *from, length);
        } else {
            for (uint32_t i = 0; i < length; ++i) to[i] = from[i];
        }
    }
    bitBuffer_ = bits;
    bitCount_ = count;
    d.inPos = inPos;
    writePos_ = pos;
    if (state_ == kStateHuffman && Truncated()) state_ = kStateError;
}

// Decodes until the window holds limit bytes, the stream is done, or fails.
void mtxDeflate::DecodeUntil(uint32_t limit) {
    while (writePos_ < limit) {
        switch (state_) {
            case kStateBlockHeader:
                if (flags_ & kFlagFinal) {
                    state_ = kStateDone;
                    flags_ |= kFlagComplete;
                    return;
                }
                if (!ReadBlockHeader()) state_ = kStateError;
                break;
            case kStateStored:
                CopyStored(limit);
                break;
            case kStateHuffman:
                DecodeHuffman(limit);
                break;
            case kStateDone:
            case kStateError:
                return;
        }
    }
    // A final block that ended exactly at the limit is complete as well.
    if (state_ == kStateBlockHeader && (flags_ & kFlagFinal)) {
        state_ = kStateDone;
        flags_ |= kFlagComplete;
    }
}

// Keeps the last 32 KB of output as history at the start of the window. Only
// called when every decoded byte has been delivered.
void mtxDeflate::Slide() {
    uint8_t* win = window_.get();
    if (writePos_ <= kHistory) return;
    std::memmove(win, win + writePos_ - kHistory, kHistory);
    writePos_ = deliverPos_ = kHistory;
}

uint32_t mtxDeflate::Inflate(void* buffer, uint32_t count) {
    if (mode_ != kDecompressing || !dec_) BeginDecompress();
    if (!dec_) return 0;
    pulling_ = true;
    if (!(flags_ & kFlagHeader) && !ReadHeader()) state_ = kStateError;
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t delivered = 0;
    while (delivered < count) {
        if (deliverPos_ < writePos_) {
            uint32_t n = std::min(count - delivered, writePos_ - deliverPos_);
            std::memcpy(out + delivered, window_.get() + deliverPos_, n);
            deliverPos_ += n;
            delivered += n;
            continue;
        }
        if (state_ == kStateDone || state_ == kStateError) break;
        if (writePos_ + kDecodeBatch > kHistory + kDecodeBatch) Slide();
        DecodeUntil(writePos_ + kDecodeBatch);
    }
    return delivered;
}

int mtxDeflate::CheckTrailer() {
    TakeBits(bitCount_ & 7);
    Refill();
    uint32_t stored = 0;
    for (int i = 0; i < 4; ++i) stored = stored << 8 | TakeBits(8);
    if (Truncated()) return 0;
    return stored == (s2_ << 16 | s1_);
}

uint32_t mtxDeflate::Decompress() {
    BeginDecompress();
    pulling_ = false;
    if (!dec_) return kFailed;
    if (!ReadHeader()) status_ = kFailed;  // noted; decoding goes on
    while (state_ != kStateDone && state_ != kStateError) {
        if (writePos_ > kHistory) Slide();
        uint32_t start = writePos_;
        DecodeUntil(writePos_ + kDecodeBatch);
        uint32_t n = writePos_ - start;
        if (n) {
            const uint8_t* bytes = window_.get() + start;
            uint32_t adler = mtxAdler32(s2_ << 16 | s1_, bytes, n);
            s1_ = adler & 0xFFFF;
            s2_ = adler >> 16;
            if (!output_ || !output_->Write(bytes, n)) status_ = kFailed;
        }
        deliverPos_ = writePos_;
    }
    if (state_ == kStateError || !CheckTrailer()) status_ = kFailed;
    return status_;
}
