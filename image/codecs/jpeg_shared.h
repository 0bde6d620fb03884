#pragma once
#include <cstdint>

// What the parts of the JPEG writer share: marker codes, the zig-zag order,
// the example quantisation tables of ITU-T T.81 Annex K.1, the forward DCT and
// the Huffman table builder of Annex K.2.
namespace mtxJpeg {

// Marker codes (T.81 Table B.1); each is written after a 0xFF byte.
constexpr uint8_t kSOF0 = 0xC0, kDHT = 0xC4, kRST0 = 0xD0, kSOI = 0xD8, kEOI = 0xD9;
constexpr uint8_t kSOS = 0xDA, kDQT = 0xDB, kDRI = 0xDD, kAPP0 = 0xE0;

// kZigZag[k] is the natural (row-major) index of the k-th coefficient in
// zig-zag order (T.81 Figure A.6).
extern const uint8_t kZigZag[64];

// T.81 Tables K.1 (luminance) and K.2 (chrominance), natural order.
extern const uint8_t kLuminanceTable[64];
extern const uint8_t kChrominanceTable[64];

// The two-dimensional DCT of T.81 A.3.3 on 8 x 8 level-shifted samples in
// natural order, in place, in double precision: a separable fast
// factorisation (Arai, Agui and Nakajima) whose outputs are scaled by a
// per-coefficient table, so that block[v * 8 + u] ends as the standard
// F(u, v) = 1/4 C(u) C(v) sum s(x, y) cos((2x+1)u pi/16) cos((2y+1)v pi/16).
void ForwardDct(double block[64]);

// Size category of a DC difference or AC coefficient (T.81 Tables F.1, F.2):
// the number of bits of |value|; 0 for 0.
inline uint32_t Category(int value) {
    uint32_t magnitude = static_cast<uint32_t>(value < 0 ? -value : value);
    return magnitude ? 32 - static_cast<uint32_t>(__builtin_clz(magnitude)) : 0;
}

// One Huffman table: the statistics of its symbols, the code-length counts
// and values written to DHT, and the code of each symbol.
struct HuffmanTable {
    uint32_t freq[257];    // occurrences of each symbol; freq[256] = 1 is reserved
    uint8_t bits[17];      // BITS[1..16]: number of codes of each length
    uint8_t huffval[256];  // HUFFVAL: symbols by increasing code length
    uint32_t count;        // number of codes, the sum of BITS
    uint16_t code[256];    // EHUFCO per symbol
    uint8_t size[256];     // EHUFSI per symbol; 0 for symbols without a code

    // Zeroes the statistics and sets the reserved symbol's count.
    void Clear();
    // Builds BITS and HUFFVAL from freq by T.81 K.2 (Figures K.1 to K.4), then
    // the codes by Annex C. freq is left as it was.
    void Optimise();
    // Codes for given BITS and HUFFVAL (T.81 C.1 to C.3); 0 when they do not
    // form a valid code (lengths overflow, a repeated value).
    int AssignCodes();
};

}  // namespace mtxJpeg
