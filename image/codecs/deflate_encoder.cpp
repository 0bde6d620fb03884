// The compressing half of mtxDeflate: greedy LZ77 over hash chains, one
// dynamic-Huffman block per symbol buffer (RFC 1951 3.2.7).
#include <algorithm>
#include <cstring>

#include "image/codecs/deflate.h"
#include "image/codecs/deflate_state.h"

namespace {

constexpr uint32_t kMaxMatch = 258;
constexpr uint32_t kMaxChain = 256;
constexpr uint32_t kChunkSize = 65536;
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

struct LengthCode {
    uint16_t symbol;
    uint8_t extraBits;
    uint16_t extraValue;
};

// Deflate length symbol, extra bit count and extra value for lengths 3..258.
struct LengthTable {
    LengthCode code[259];
    LengthTable() {
        static const uint16_t base[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                          15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                          67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const uint8_t extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                          2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        for (int s = 0; s < 29; ++s) {
            int last = s == 28 ? 258 : std::min(258, base[s] + (1 << extra[s]) - 1);
            if (s == 27) last = 257;  // 258 has a symbol of its own
            for (int len = base[s]; len <= last; ++len)
                code[len] = {static_cast<uint16_t>(257 + s), extra[s],
                             static_cast<uint16_t>(len - base[s])};
        }
    }
};
const LengthTable kLengths;

// Distance symbol 2k + b: k is the highest set bit of d - 1 and b the bit below it.
inline uint32_t DistanceSymbol(uint32_t d) {
    if (d <= 2) return d - 1;
    uint32_t v = d - 1;
    uint32_t k = 31 - static_cast<uint32_t>(__builtin_clz(v));
    return 2 * k + ((v >> (k - 1)) & 1);
}

inline uint32_t DistanceExtraBits(uint32_t symbol) {
    return symbol < 4 ? 0 : symbol / 2 - 1;
}
inline uint32_t DistanceBase(uint32_t symbol) {
    if (symbol < 4) return symbol + 1;
    uint32_t e = symbol / 2 - 1;
    return (1u << (e + 1)) + 1 + ((symbol & 1) << e);
}

inline uint32_t Hash(const uint8_t* p) {
    return ((p[0] & 31u) << 10) | ((p[1] & 31u) << 5) | (p[2] & 31u);
}

// The next older position of a chain, -1 at its end.
inline int32_t Previous(const uint16_t* prev, int32_t cand, uint32_t mask) {
    uint32_t gap = prev[static_cast<uint32_t>(cand) & mask];
    return gap ? cand - static_cast<int32_t>(gap) : -1;
}

inline uint32_t Hash4(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return (v * 2654435761u) >> 16;
}

// A match of len bytes at distance d < len overlaps the bytes it produces:
// past the current position only a run of one nonzero byte continues.
inline uint32_t OverlapLength(const uint8_t* here, uint32_t len, uint32_t d) {
    uint8_t b = here[0];
    if (b == 0) return d;
    uint32_t run = 1;
    while (run < len && here[run] == b) ++run;
    return run >= d ? run : d;
}

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// Bytes equal from a and b, at most limit (reads may run 7 bytes further).
inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
    uint32_t n = 0;
    while (n < limit) {
        uint64_t x = Load64(a + n) ^ Load64(b + n);
        if (x) {
            n += static_cast<uint32_t>(__builtin_ctzll(x)) >> 3;
            return n < limit ? n : limit;
        }
        n += 8;
    }
    return limit;
}

// Run-length description of code lengths (RFC 1951 3.2.7) without symbol 16:
// calls emit(symbol, extraBits, extraValue) for each code-length symbol.
template <typename Emit>
void DescribeLengths(const uint8_t* lengths, int count, Emit emit) {
    for (int i = 0; i < count;) {
        if (lengths[i]) {
            emit(lengths[i], 0, 0);
            ++i;
            continue;
        }
        int run = 1;
        while (i + run < count && lengths[i + run] == 0 && run < 138) ++run;
        if (run < 3) {
            for (int k = 0; k < run; ++k) emit(0, 0, 0);
        } else if (run <= 10) {
            emit(17, 3, run - 3);
        } else {
            emit(18, 7, run - 11);
        }
        i += run;
    }
}

}  // namespace

void mtxDeflate::PutBits(uint32_t bits, uint32_t count) {
    accumulator_ |= static_cast<uint64_t>(bits) << accumulatorBits_;
    accumulatorBits_ += count;
    if (accumulatorBits_ >= 32) {
        EncoderState& e = *enc_;
        uint32_t word = static_cast<uint32_t>(accumulator_);
        uint8_t* out = e.output.get() + e.outputCount;
        out[0] = static_cast<uint8_t>(word);
        out[1] = static_cast<uint8_t>(word >> 8);
        out[2] = static_cast<uint8_t>(word >> 16);
        out[3] = static_cast<uint8_t>(word >> 24);
        e.outputCount += 4;
        accumulator_ >>= 32;
        accumulatorBits_ -= 32;
        if (e.outputCount >= EncoderState::kOutputSize) FlushOutput();
    }
}

// Moves whole pending bytes out of the accumulator; with partial = 1 also
// the last incomplete byte, padded with zero bits.
void mtxDeflate::FlushBytes(int partial) {
    EncoderState& e = *enc_;
    while (accumulatorBits_ >= 8 || (partial && accumulatorBits_ > 0)) {
        e.output[e.outputCount++] = static_cast<uint8_t>(accumulator_);
        accumulator_ >>= 8;
        accumulatorBits_ = accumulatorBits_ >= 8 ? accumulatorBits_ - 8 : 0;
        if (e.outputCount >= EncoderState::kOutputSize) FlushOutput();
    }
}

int mtxDeflate::FlushOutput() {
    EncoderState& e = *enc_;
    if (e.outputCount && (!output_ || !output_->Write(e.output.get(), e.outputCount)))
        e.writeFailed = 1;
    e.outputCount = 0;
    return !e.writeFailed;
}

// Keeps at least kMinLookAhead bytes ahead of the current position while
// input remains, sliding the buffer down by one window when it is full.
void mtxDeflate::FillLookAhead() {
    EncoderState& e = *enc_;
    while (e.inputLeft > 0 && e.end - e.cur < EncoderState::kMinLookAhead) {
        if (e.end >= e.bufferSize) {
            const int32_t w = static_cast<int32_t>(e.window);
            std::memmove(e.buffer.get(), e.buffer.get() + w, e.end - w);
            e.cur -= w;
            e.end -= w;
            for (auto& h : e.head) h = h >= w ? h - w : -1;
            for (uint32_t i = 0; i < EncoderState::kHash4Size; ++i)
                e.head4[i] = e.head4[i] >= w ? e.head4[i] - w : -1;
        }
        uint32_t room = e.bufferSize - e.end;
        uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(room, e.inputLeft));
        uint32_t got = input_ ? input_->Read(e.buffer.get() + e.end, want) : 0;
        if (got == 0) {
            e.inputLeft = 0;  // the input ended sooner than its length said
            break;
        }
        uint32_t adler = mtxAdler32(s2_ << 16 | s1_, e.buffer.get() + e.end, got);
        s1_ = adler & 0xFFFF;
        s2_ = adler >> 16;
        e.end += got;
        e.inputLeft -= got;
    }
    // Hashes near the end of the input look at up to three bytes past it: zeros.
    std::memset(e.buffer.get() + e.end, 0, 4);
}

// Longest match for the bytes at cur, at most limit long (limit >= 3), over
// at most kMaxChain candidates of the hash chain, nearest first; only a
// strictly longer candidate replaces the best, so the nearest of equal
// lengths wins. Returns the length (0 when below 3) and sets distance.
//
// A match may overlap the bytes it produces only while it repeats one
// nonzero byte; otherwise it stops at the current position.
uint32_t mtxDeflate::FindMatchChain(uint32_t cur, uint32_t limit, uint32_t& distance) {
    EncoderState& e = *enc_;
    const uint8_t* buf = e.buffer.get();
    const uint8_t* here = buf + cur;
    const int32_t oldest = static_cast<int32_t>(cur) - static_cast<int32_t>(e.window);
    const uint32_t mask = e.window - 1;
    const uint16_t* prev = e.prev.get();
    const uint64_t first8 = Load64(here);
    uint32_t best = 2, bestDistance = 0;
    const int32_t stop = oldest > 0 ? oldest : 0;  // -1 ends a chain as well
    int32_t cand = e.head[Hash(here)];
    // Most candidates differ within their first 8 bytes; their length comes
    // from one comparison without branches, and the best is kept with
    // conditional moves, so the walk is not slowed by mispredictions. Once
    // the best is 8 or longer, a candidate must also match the 8 bytes that
    // end at the best length before it is compared in full.
    for (uint32_t chain = kMaxChain; chain > 0 && cand >= stop; --chain) {
        const uint8_t* there = buf + cand;
        const uint32_t d = cur - static_cast<uint32_t>(cand);
        uint64_t x = Load64(there) ^ first8;
        uint32_t len;
        if (best >= 8) {
            if (x != 0 || Load64(there + best - 7) != Load64(here + best - 7)) {
                cand = Previous(prev, cand, mask);
                continue;
            }
            len = 8 + MatchLength(there + 8, here + 8, limit - 8);
        } else {
            len = x ? static_cast<uint32_t>(__builtin_ctzll(x)) >> 3 : 8;
            if (len == 8 && limit > 8) len = 8 + MatchLength(there + 8, here + 8, limit - 8);
        }
        len = len < limit ? len : limit;
        if (len > d) len = OverlapLength(here, len, d);
        const bool better = len > best;
        best = better ? len : best;
        bestDistance = better ? d : bestDistance;
        if (best >= limit) break;
        cand = Previous(prev, cand, mask);
    }
    distance = bestDistance;
    return best >= 3 ? best : 0;
}

// The same result as FindMatchChain, found faster. Every position is also
// on a chain of its first four bytes, and knows its rank on its 3-byte chain
// (how many later positions joined that chain), so the candidates of four or
// more bytes among the 256 nearest of the 3-byte chain are visited directly.
// When none of them gives four bytes, the answer is the nearest 3-byte match,
// which ends a short walk of the 3-byte chain.
uint32_t mtxDeflate::FindMatch(uint32_t cur, uint32_t limit, uint32_t& distance) {
    EncoderState& e = *enc_;
    if (limit < 4 || plainSearch_) return FindMatchChain(cur, limit, distance);
    const uint8_t* buf = e.buffer.get();
    const uint8_t* here = buf + cur;
    const int32_t oldest = static_cast<int32_t>(cur) - static_cast<int32_t>(e.window);
    const int32_t stop = oldest > 0 ? oldest : 0;
    const uint32_t mask = e.window - 1;
    const uint32_t h = Hash(here);
    const uint32_t newest = e.count[h] - 1;  // sequence number of the chain's head
    uint32_t first4;
    std::memcpy(&first4, here, 4);

    uint32_t best = 3, bestDistance = 0;
    uint32_t steps = 0;
    for (int32_t q = e.head4[Hash4(here)]; q >= stop; q = Previous(e.prev4.get(), q, mask)) {
        if (++steps > 4 * kMaxChain) return FindMatchChain(cur, limit, distance);
        const uint32_t slot = static_cast<uint32_t>(q) & mask;
        if (e.hashAt[slot] != h) continue;                  // another 4-byte hash on the same chain
        if (newest - e.sequence[slot] >= kMaxChain) break;  // beyond the 256 nearest
        uint32_t head;
        std::memcpy(&head, buf + q, 4);
        if (head != first4) continue;
        // Only a candidate that also matches where the best one ended can beat it.
        if (best >= 8 ? Load64(buf + q + best - 7) != Load64(here + best - 7)
                      : buf[q + best] != here[best])
            continue;
        const uint32_t d = cur - static_cast<uint32_t>(q);
        uint32_t len = MatchLength(buf + q, here, limit);
        if (len > d) len = OverlapLength(here, len, d);
        if (len > best) {
            best = len;
            bestDistance = d;
            if (best >= limit) break;
        }
    }
    if (best >= 4) {
        distance = bestDistance;
        return best;
    }
    // No candidate reaches four bytes: the nearest one of three wins.
    const uint16_t* prev = e.prev.get();
    int32_t cand = e.head[h];
    for (uint32_t chain = kMaxChain; chain > 0 && cand >= stop; --chain) {
        const uint32_t d = cur - static_cast<uint32_t>(cand);
        const uint8_t* there = buf + cand;
        if (there[0] == here[0] && there[1] == here[1] && there[2] == here[2]) {
            uint32_t len = 3;
            if (len > d) len = OverlapLength(here, MatchLength(there, here, limit), d);
            if (len >= 3) {
                distance = d;
                return 3;
            }
        }
        cand = Previous(prev, cand, mask);
    }
    return 0;
}

// The LZ77 stage over at most left bytes: stops when they are consumed or the
// symbol buffer is nearly full.
void mtxDeflate::RunLz77(uint32_t& left) {
    EncoderState& e = *enc_;
    uint8_t* buf = e.buffer.get();
    uint16_t* sym = e.symbols.get();
    const uint32_t mask = e.window - 1;
    uint32_t n = e.symbolCount;
    while (left > 0 && n < EncoderState::kSymbolLimit) {
        if (e.end - e.cur < EncoderState::kMinLookAhead && e.inputLeft > 0) {
            FillLookAhead();
            buf = e.buffer.get();
        }
        uint32_t cur = e.cur;
        uint32_t ahead = std::min(left, e.end - cur);
        if (ahead == 0) {
            left = 0;  // the input file was shorter than announced
            break;
        }
        uint32_t distance = 0;
        uint32_t len = ahead >= 3 ? FindMatch(cur, std::min(ahead, kMaxMatch), distance) : 0;
        if (len == 0) len = 1;
        if (len == 1) {
            sym[n++] = buf[cur];
            ++e.literalFreq[buf[cur]];
        } else {
            sym[n++] = static_cast<uint16_t>(256 + len);
            sym[n++] = static_cast<uint16_t>(distance);
            ++e.literalFreq[kLengths.code[len].symbol];
            ++e.distanceFreq[DistanceSymbol(distance)];
        }
        for (uint32_t p = cur; p < cur + len; ++p) {
            uint32_t h = Hash(buf + p);
            int32_t older = e.head[h];
            uint32_t gap = p - static_cast<uint32_t>(older);
            e.prev[p & mask] = older >= 0 && gap <= e.window ? static_cast<uint16_t>(gap) : 0;
            e.head[h] = static_cast<int32_t>(p);
            e.hashAt[p & mask] = static_cast<uint16_t>(h);
            e.sequence[p & mask] = e.count[h]++;
            uint32_t h4 = Hash4(buf + p);
            older = e.head4[h4];
            gap = p - static_cast<uint32_t>(older);
            e.prev4[p & mask] = older >= 0 && gap <= e.window ? static_cast<uint16_t>(gap) : 0;
            e.head4[h4] = static_cast<int32_t>(p);
        }
        e.cur = cur + len;
        left -= len;
    }
    e.symbolCount = n;
}

void mtxDeflate::WriteBlock(int last) {
    EncoderState& e = *enc_;
    ++e.literalFreq[256];
    uint8_t litLen[288], distLen[32], clLen[19];
    uint16_t litCode[288], distCode[32], clCode[19];
    mtxHuffman::BuildLengths(e.literalFreq, 286, 15, litLen);
    mtxHuffman::BuildLengths(e.distanceFreq, 30, 15, distLen);
    if (std::none_of(distLen, distLen + 30, [](uint8_t v) { return v != 0; })) {
        e.distanceFreq[1] = 1;
        mtxHuffman::BuildLengths(e.distanceFreq, 30, 15, distLen);
    }
    mtxHuffman::AssignCodes(litLen, 286, litCode);
    mtxHuffman::AssignCodes(distLen, 30, distCode);

    int hlit = 285, hdist = 29;
    while (litLen[hlit] == 0) --hlit;
    while (hdist > 0 && distLen[hdist] == 0) --hdist;
    const int litCount = hlit + 1, distCount = hdist + 1;

    uint32_t clFreq[19] = {};
    auto count = [&](uint32_t s, uint32_t, uint32_t) { ++clFreq[s]; };
    DescribeLengths(litLen, litCount, count);
    DescribeLengths(distLen, distCount, count);
    // A code of one symbol is incomplete, which some decoders refuse for the
    // code-length code; a second symbol keeps it complete.
    if (std::count_if(clFreq, clFreq + 19, [](uint32_t f) { return f != 0; }) == 1)
        ++clFreq[clFreq[0] ? 1 : 0];
    mtxHuffman::BuildLengths(clFreq, 19, 7, clLen);
    mtxHuffman::AssignCodes(clLen, 19, clCode);
    int hclen = 18;
    while (hclen > 3 && clLen[kCodeLengthOrder[hclen]] == 0) --hclen;

    PutBits(last ? 1 : 0, 1);
    PutBits(2, 2);
    PutBits(static_cast<uint32_t>(hlit - 256), 5);
    PutBits(static_cast<uint32_t>(hdist), 5);
    PutBits(static_cast<uint32_t>(hclen + 1 - 4), 4);
    for (int i = 0; i <= hclen; ++i) PutBits(clLen[kCodeLengthOrder[i]], 3);
    auto write = [&](uint32_t s, uint32_t bits, uint32_t value) {
        PutBits(clCode[s], clLen[s]);
        if (bits) PutBits(value, bits);
    };
    DescribeLengths(litLen, litCount, write);
    DescribeLengths(distLen, distCount, write);

    const uint16_t* sym = e.symbols.get();
    for (uint32_t i = 0; i < e.symbolCount; ++i) {
        uint32_t s = sym[i];
        if (s < 256) {
            PutBits(litCode[s], litLen[s]);
            continue;
        }
        const LengthCode& lc = kLengths.code[s - 256];
        uint32_t d = sym[++i];
        uint32_t ds = DistanceSymbol(d);
        PutBits(litCode[lc.symbol] | static_cast<uint32_t>(lc.extraValue) << litLen[lc.symbol],
                litLen[lc.symbol] + lc.extraBits);
        PutBits(distCode[ds] | (d - DistanceBase(ds)) << distLen[ds],
                distLen[ds] + DistanceExtraBits(ds));
    }
    PutBits(litCode[256], litLen[256]);

    e.symbolCount = 0;
    std::memset(e.literalFreq, 0, sizeof e.literalFreq);
    std::memset(e.distanceFreq, 0, sizeof e.distanceFreq);
}

uint32_t mtxDeflate::Compress(int final) {
    if (mode_ != kCompressing || !enc_) BeginCompress();
    if (!enc_) return kFailed;
    EncoderState& e = *enc_;
    if (!(encoderFlags_ & 1)) {
        // RFC 1950 2.2: CM 8, CINFO log2(window) - 8, FLEVEL, FCHECK making
        // the header a multiple of 31. 32 KB and level 3 give 78 DA.
        uint32_t cinfo = 31 - static_cast<uint32_t>(__builtin_clz(windowSize_)) - 8;
        uint32_t header = (cinfo << 4 | 8) << 8 | (level_ << 6);
        header += 31 - header % 31;
        PutBits(header >> 8, 8);
        PutBits(header & 0xFF, 8);
        encoderFlags_ |= 1;
        s1_ = 1;
        s2_ = 0;
    }
    int64_t length = input_ ? input_->GetLength() : 0;
    int64_t position = input_ ? input_->GetPosition() : 0;
    uint64_t n = length > position ? static_cast<uint64_t>(length - position) : 0;
    e.inputLeft = n;
    uint64_t chunks = n > kChunkSize ? (n + kChunkSize - 1) / kChunkSize : 1;
    uint64_t chunkSize = (n + chunks - 1) / chunks;
    uint64_t remaining = n;
    for (uint64_t c = 0; c < chunks; ++c) {
        uint32_t left = static_cast<uint32_t>(std::min(chunkSize, remaining));
        remaining -= left;
        do {
            RunLz77(left);
            WriteBlock(final && left == 0 && remaining == 0);
        } while (left > 0);
        if (e.inputLeft == 0 && e.cur == e.end && remaining > 0) {
            // The input ended early: close the stream with what there was.
            if (final) WriteBlock(1);
            break;
        }
    }
    if (final) {
        FlushBytes(1);
        uint32_t adler = s2_ << 16 | s1_;
        for (int shift = 24; shift >= 0; shift -= 8) PutBits((adler >> shift) & 0xFF, 8);
    }
    FlushBytes(0);
    FlushOutput();
    return e.writeFailed ? kFailed : kOk;
}
