#include "image/codecs/jpeg_shared.h"

#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

namespace mtxJpeg {

namespace {

// Walks the anti-diagonals of the block, alternating direction (T.81 A.6).
constexpr std::array<uint8_t, 64> MakeZigZag() {
    std::array<uint8_t, 64> order{};
    int k = 0;
    for (int sum = 0; sum < 15; ++sum) {
        for (int i = 0; i <= sum; ++i) {
            // Even diagonals run upwards (row falls), odd ones downwards.
            int row = sum % 2 == 0 ? sum - i : i;
            int col = sum - row;
            if (row < 8 && col < 8) order[k++] = static_cast<uint8_t>(row * 8 + col);
        }
    }
    return order;
}

constexpr std::array<uint8_t, 64> kZigZagArray = MakeZigZag();

// Constants of the factorisation and the output scaling, exact to double.
struct DctConstants {
    double c4, c6, c2MinusC6, c2PlusC6;
    double scale[64];
    DctConstants() {
        const double pi = std::numbers::pi;
        c4 = std::cos(pi / 4);
        c6 = std::cos(3 * pi / 8);
        c2MinusC6 = std::cos(pi / 8) - c6;
        c2PlusC6 = std::cos(pi / 8) + c6;
        // The factorisation yields 8 s(u) s(v) F(u, v), with s(0) = 1 and
        // s(k) = sqrt(2) cos(k pi / 16).
        double s[8];
        s[0] = 1;
        for (int k = 1; k < 8; ++k) s[k] = std::sqrt(2.0) * std::cos(k * pi / 16);
        for (int v = 0; v < 8; ++v)
            for (int u = 0; u < 8; ++u) scale[v * 8 + u] = 1 / (8 * s[u] * s[v]);
    }
};

const DctConstants kDct;

// One 8-point pass over p[0], p[stride], ..., p[7 * stride].
inline void Dct8(double* p, int stride) {
    double d0 = p[0], d1 = p[stride], d2 = p[2 * stride], d3 = p[3 * stride];
    double d4 = p[4 * stride], d5 = p[5 * stride], d6 = p[6 * stride], d7 = p[7 * stride];
    double t0 = d0 + d7, t7 = d0 - d7, t1 = d1 + d6, t6 = d1 - d6;
    double t2 = d2 + d5, t5 = d2 - d5, t3 = d3 + d4, t4 = d3 - d4;

    // Even part.
    double t10 = t0 + t3, t13 = t0 - t3, t11 = t1 + t2, t12 = t1 - t2;
    p[0] = t10 + t11;
    p[4 * stride] = t10 - t11;
    double z1 = (t12 + t13) * kDct.c4;
    p[2 * stride] = t13 + z1;
    p[6 * stride] = t13 - z1;

    // Odd part.
    double o10 = t4 + t5, o11 = t5 + t6, o12 = t6 + t7;
    double z5 = (o10 - o12) * kDct.c6;
    double z2 = kDct.c2MinusC6 * o10 + z5;
    double z4 = kDct.c2PlusC6 * o12 + z5;
    double z3 = o11 * kDct.c4;
    double z11 = t7 + z3, z13 = t7 - z3;
    p[5 * stride] = z13 + z2;
    p[3 * stride] = z13 - z2;
    p[1 * stride] = z11 + z4;
    p[7 * stride] = z11 - z4;
}

}  // namespace

const uint8_t kZigZag[64] = {
#define Z(i) kZigZagArray[i]
    Z(0),  Z(1),  Z(2),  Z(3),  Z(4),  Z(5),  Z(6),  Z(7),  Z(8),  Z(9),  Z(10), Z(11), Z(12),
    Z(13), Z(14), Z(15), Z(16), Z(17), Z(18), Z(19), Z(20), Z(21), Z(22), Z(23), Z(24), Z(25),
    Z(26), Z(27), Z(28), Z(29), Z(30), Z(31), Z(32), Z(33), Z(34), Z(35), Z(36), Z(37), Z(38),
    Z(39), Z(40), Z(41), Z(42), Z(43), Z(44), Z(45), Z(46), Z(47), Z(48), Z(49), Z(50), Z(51),
    Z(52), Z(53), Z(54), Z(55), Z(56), Z(57), Z(58), Z(59), Z(60), Z(61), Z(62), Z(63),
#undef Z
};

const uint8_t kLuminanceTable[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,   //
    12, 12, 14, 19, 26,  58,  60,  55,   //
    14, 13, 16, 24, 40,  57,  69,  56,   //
    14, 17, 22, 29, 51,  87,  80,  62,   //
    18, 22, 37, 56, 68,  109, 103, 77,   //
    24, 35, 55, 64, 81,  104, 113, 92,   //
    49, 64, 78, 87, 103, 121, 120, 101,  //
    72, 92, 95, 98, 112, 100, 103, 99,
};

const uint8_t kChrominanceTable[64] = {
    17, 18, 24, 47, 99, 99, 99, 99,  //
    18, 21, 26, 66, 99, 99, 99, 99,  //
    24, 26, 56, 99, 99, 99, 99, 99,  //
    47, 66, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,
};

void ForwardDct(double block[64]) {
    for (int row = 0; row < 8; ++row) Dct8(block + row * 8, 1);
    for (int col = 0; col < 8; ++col) Dct8(block + col, 8);
    for (int i = 0; i < 64; ++i) block[i] *= kDct.scale[i];
}

void HuffmanTable::Clear() {
    std::memset(freq, 0, sizeof freq);
    // One code point is kept for a symbol that never occurs, so that no real
    // code consists of 1 bits only (T.81 K.2).
    freq[256] = 1;
}

void HuffmanTable::Optimise() {
    // Figure K.1: code sizes by merging the two least frequent entries, the
    // larger symbol value winning ties ("<=" below), and chaining the merged
    // symbols through `others`.
    int codesize[257] = {};
    int others[257];
    for (int& o : others) o = -1;
    uint64_t freq[257];  // merged counts may pass 32 bits
    for (int v = 0; v <= 256; ++v) freq[v] = this->freq[v];
    for (;;) {
        int v1 = -1, v2 = -1;
        uint64_t least = UINT64_MAX;
        for (int v = 0; v <= 256; ++v)
            if (freq[v] && freq[v] <= least) least = freq[v], v1 = v;
        least = UINT64_MAX;
        for (int v = 0; v <= 256; ++v)
            if (freq[v] && freq[v] <= least && v != v1) least = freq[v], v2 = v;
        if (v2 < 0) break;
        freq[v1] += freq[v2];
        freq[v2] = 0;
        for (++codesize[v1]; others[v1] >= 0; ++codesize[v1]) v1 = others[v1];
        others[v1] = v2;
        for (++codesize[v2]; others[v2] >= 0; ++codesize[v2]) v2 = others[v2];
    }

    // Figure K.2: how many codes of each size. A chain of 257 symbols can in
    // principle grow a code of 256 bits, so the array is sized for it.
    int count[258] = {};
    for (int v = 0; v <= 256; ++v)
        if (codesize[v]) ++count[codesize[v]];

    // Figure K.3: move codes longer than 16 bits up the tree: two codes of
    // length i become one of length i - 1 and two of length j + 1, where j is
    // the longest length shorter than i - 1 that has a code.
    for (int i = 257; i > 16;) {
        if (count[i] > 0) {
            int j = i - 2;
            while (count[j] == 0) --j;
            count[i] -= 2;
            count[i - 1] += 1;
            count[j + 1] += 2;
            count[j] -= 1;
        } else {
            --i;
        }
    }
    // Remove the reserved code point, one of the longest codes.
    int longest = 16;
    while (longest > 0 && count[longest] == 0) --longest;
    if (longest > 0) --count[longest];

    // Figure K.4: symbols sorted by code size, the reserved one left out.
    this->count = 0;
    for (int size = 1; size <= 256; ++size)
        for (int v = 0; v < 256; ++v)
            if (codesize[v] == size) huffval[this->count++] = static_cast<uint8_t>(v);
    bits[0] = 0;
    for (int i = 1; i <= 16; ++i) bits[i] = static_cast<uint8_t>(count[i]);
    AssignCodes();
}

int HuffmanTable::AssignCodes() {
    std::memset(size, 0, sizeof size);
    uint32_t total = 0;
    for (int i = 1; i <= 16; ++i) total += bits[i];
    if (total > 256) return 0;
    count = total;
    // C.1 to C.3: codes of each length are consecutive, each length's first
    // code the previous length's next code shifted left.
    uint32_t next = 0, k = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int n = 0; n < bits[length]; ++n, ++k, ++next) {
            uint8_t symbol = huffval[k];
            if (size[symbol]) return 0;
            code[symbol] = static_cast<uint16_t>(next);
            size[symbol] = static_cast<uint8_t>(length);
        }
        if (next > (1u << length)) return 0;
        next <<= 1;
    }
    return 1;
}

}  // namespace mtxJpeg
