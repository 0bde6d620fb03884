#include "image/codecs/deflate_huffman.h"

#include <algorithm>
#include <cstring>

namespace mtxHuffman {
namespace {

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                      15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                      67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistanceBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

uint32_t Entry(uint32_t kind, uint32_t length, uint32_t extra, uint32_t value) {
    return length | kind << 5 | extra << 8 | value << 16;
}

// The table entry of a symbol, without its code length.
uint32_t SymbolEntry(int symbol, Alphabet alphabet) {
    switch (alphabet) {
        case kLiteralLength:
            if (symbol < 256) return Entry(kLiteral, 0, 0, symbol);
            if (symbol == 256) return Entry(kEnd, 0, 0, 0);
            if (symbol <= 285)
                return Entry(kBase, 0, kLengthExtra[symbol - 257], kLengthBase[symbol - 257]);
            return Entry(kInvalid, 0, 0, 0);
        case kDistance:
            if (symbol < 30) return Entry(kBase, 0, kDistanceExtra[symbol], kDistanceBase[symbol]);
            return Entry(kInvalid, 0, 0, 0);
        case kCodeLength:
            return Entry(kLiteral, 0, 0, symbol);
    }
    return Entry(kInvalid, 0, 0, 0);
}

uint32_t Reverse(uint32_t code, int length) {
    uint32_t r = 0;
    for (int i = 0; i < length; ++i, code >>= 1) r = (r << 1) | (code & 1);
    return r;
}

}  // namespace

void BuildLengths(const uint32_t* frequencies, int count, int limit, uint8_t* lengths) {
    // Figure K.1: merge the two least frequent sets until one is left. Among
    // equal frequencies the higher symbol index is taken.
    uint64_t freq[288];
    int codeSize[288];
    int others[288];
    int used = 0, lastUsed = -1;
    for (int i = 0; i < count; ++i) {
        freq[i] = frequencies[i];
        codeSize[i] = 0;
        others[i] = -1;
        lengths[i] = 0;
        if (freq[i]) ++used, lastUsed = i;
    }
    if (used == 0) return;
    if (used == 1) {
        lengths[lastUsed] = 1;
        return;
    }
    for (;;) {
        int v1 = -1, v2 = -1;
        for (int i = 0; i < count; ++i) {
            if (!freq[i]) continue;
            if (v1 < 0 || freq[i] <= freq[v1]) {
                v2 = v1;
                v1 = i;
            } else if (v2 < 0 || freq[i] <= freq[v2]) {
                v2 = i;
            }
        }
        if (v2 < 0) break;
        freq[v1] += freq[v2];
        freq[v2] = 0;
        ++codeSize[v1];
        while (others[v1] >= 0) ++codeSize[v1 = others[v1]];
        others[v1] = v2;
        ++codeSize[v2];
        while (others[v2] >= 0) ++codeSize[v2 = others[v2]];
    }
    // Figure K.2: count the codes per size, then figure K.3: move codes
    // longer than the limit up the tree, keeping the code complete.
    int bits[290] = {};
    int maxSize = 0;
    for (int i = 0; i < count; ++i) {
        if (codeSize[i]) ++bits[codeSize[i]];
        maxSize = std::max(maxSize, codeSize[i]);
    }
    for (int i = maxSize; i > limit; --i) {
        while (bits[i] > 0) {
            int j = i - 2;
            while (j > 0 && bits[j] == 0) --j;
            bits[i] -= 2;
            bits[i - 1] += 1;
            bits[j + 1] += 2;
            bits[j] -= 1;
        }
    }
    // Symbols in order of their merged size, then index, take the adjusted
    // sizes from the shortest up.
    int order[288];
    int n = 0;
    for (int i = 0; i < count; ++i)
        if (codeSize[i]) order[n++] = i;
    std::stable_sort(order, order + n, [&](int a, int b) { return codeSize[a] < codeSize[b]; });
    int k = 0;
    for (int size = 1; size <= limit; ++size)
        for (int c = 0; c < bits[size] && k < n; ++c)
            lengths[order[k++]] = static_cast<uint8_t>(size);
}

void AssignCodes(const uint8_t* lengths, int count, uint16_t* codes) {
    uint32_t perLength[16] = {}, next[16] = {};
    for (int i = 0; i < count; ++i) ++perLength[lengths[i]];
    perLength[0] = 0;
    uint32_t code = 0;
    for (int len = 1; len < 16; ++len) {
        code = (code + perLength[len - 1]) << 1;
        next[len] = code;
    }
    for (int i = 0; i < count; ++i) {
        int len = lengths[i];
        codes[i] = len ? static_cast<uint16_t>(Reverse(next[len]++, len)) : 0;
    }
}

int BuildTable(const uint8_t* lengths, int count, Alphabet alphabet, uint32_t* table) {
    const int primaryBits = alphabet == kLiteralLength ? kLiteralBits
                            : alphabet == kDistance    ? kDistanceBits
                                                       : kCodeLengthBits;
    const uint32_t primarySize = 1u << primaryBits, primaryMask = primarySize - 1;
    int perLength[16] = {};
    for (int i = 0; i < count; ++i) ++perLength[lengths[i] & 15];
    perLength[0] = 0;
    // Kraft: more codes of a length than the shorter ones leave room for is
    // not a prefix code.
    int left = 1;
    for (int len = 1; len < 16; ++len) {
        left = (left << 1) - perLength[len];
        if (left < 0) return 0;
    }
    uint32_t next[16] = {};
    uint32_t code = 0;
    for (int len = 1; len < 16; ++len) {
        code = (code + perLength[len - 1]) << 1;
        next[len] = code;
    }
    const uint32_t invalid = Entry(kInvalid, 0, 0, 0);
    std::fill(table, table + primarySize, invalid);

    // First pass: each primary slot that long codes share gets a subtable
    // wide enough for the longest of them.
    uint8_t subBits[1 << kLiteralBits] = {};
    uint32_t codes[288];
    uint32_t scan[16];
    std::memcpy(scan, next, sizeof scan);
    for (int s = 0; s < count; ++s) {
        int len = lengths[s];
        if (!len) continue;
        codes[s] = Reverse(scan[len]++, len);
        if (len > primaryBits) {
            uint32_t slot = codes[s] & primaryMask;
            subBits[slot] =
                std::max<uint8_t>(subBits[slot], static_cast<uint8_t>(len - primaryBits));
        }
    }
    uint32_t used = primarySize;
    for (uint32_t slot = 0; slot < primarySize; ++slot) {
        if (!subBits[slot]) continue;
        table[slot] = Entry(kSubtable, primaryBits, subBits[slot], used);
        std::fill(table + used, table + used + (1u << subBits[slot]), invalid);
        used += 1u << subBits[slot];
    }
    // Second pass: every code fills the entries whose low bits are its code.
    for (int s = 0; s < count; ++s) {
        int len = lengths[s];
        if (!len) continue;
        uint32_t entry = SymbolEntry(s, alphabet) | static_cast<uint32_t>(len);
        if (len <= primaryBits) {
            for (uint32_t i = codes[s]; i < primarySize; i += 1u << len) {
                if (EntryKind(table[i]) != kSubtable) table[i] = entry;
            }
        } else {
            uint32_t slot = codes[s] & primaryMask;
            uint32_t base = EntryValue(table[slot]), size = 1u << subBits[slot];
            for (uint32_t i = codes[s] >> primaryBits; i < size; i += 1u << (len - primaryBits))
                table[base + i] = entry;
        }
    }
    return 1;
}

}  // namespace mtxHuffman
