#pragma once
#include <cstdint>

// Huffman codes of deflate (RFC 1951 3.2.2): code lengths built for the
// encoder, codes assigned canonically, and lookup tables for the decoder.
namespace mtxHuffman {

// Code lengths for count symbols from their frequencies, no code longer than
// limit, by the procedure of ITU-T T.81 Annex K.2 (figures K.1 to K.3) with
// limit in place of 16 and without JPEG's reserved all-ones code. Unused
// symbols get length 0; a single used symbol gets length 1.
void BuildLengths(const uint32_t* frequencies, int count, int limit, uint8_t* lengths);

// Canonical codes (RFC 1951 3.2.2) from lengths, bit-reversed so they can be
// written least significant bit first.
void AssignCodes(const uint8_t* lengths, int count, uint16_t* codes);

// Decoder table entries: the low 5 bits hold the code length to consume, bits
// 5-7 the kind, bits 8-11 the extra bits (or a subtable's index bits), bits
// 16-31 the value (literal, base length or distance, subtable offset).
enum Kind : uint32_t { kLiteral = 0, kBase = 1, kEnd = 2, kSubtable = 3, kInvalid = 4 };
inline uint32_t EntryLength(uint32_t e) {
    return e & 31;
}
inline uint32_t EntryKind(uint32_t e) {
    return (e >> 5) & 7;
}
inline uint32_t EntryExtra(uint32_t e) {
    return (e >> 8) & 15;
}
inline uint32_t EntryValue(uint32_t e) {
    return e >> 16;
}

enum Alphabet { kLiteralLength, kDistance, kCodeLength };
constexpr int kLiteralBits = 10, kDistanceBits = 8, kCodeLengthBits = 7;
// Room for the primary table plus the largest possible set of subtables.
constexpr int kLiteralTableSize = (1 << kLiteralBits) + 288 * (1 << (15 - kLiteralBits));
constexpr int kDistanceTableSize = (1 << kDistanceBits) + 32 * (1 << (15 - kDistanceBits));
constexpr int kCodeLengthTableSize = 1 << kCodeLengthBits;

// Fills table for count code lengths (each 0..15) of the given alphabet.
// Returns 0 for an over-subscribed code; codes that are incomplete leave
// their unused entries kInvalid, which the decoder refuses when met.
int BuildTable(const uint8_t* lengths, int count, Alphabet alphabet, uint32_t* table);

}  // namespace mtxHuffman
