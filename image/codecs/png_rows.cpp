#include "image/codecs/png_rows.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace mtxPngRows {
namespace {

inline uint32_t Pixel(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

// Samples of 1, 2 or 4 bits, most significant first within a byte.
inline uint32_t SmallSample(const uint8_t* row, uint32_t x, uint32_t depth) {
    uint32_t bit = x * depth;
    return (row[bit >> 3] >> (8 - depth - (bit & 7))) & ((1u << depth) - 1);
}

inline uint16_t Sample16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

inline uint32_t Grey8(uint32_t pixel) {
    return static_cast<uint32_t>(std::clamp(std::floor(GreyLevel(pixel) + 0.5), 0.0, 255.0));
}

// Grey of 1, 2 or 4 bits, most significant first within a byte.
void PackSmallGrey(const uint32_t* pixels, uint32_t count, uint32_t depth, uint8_t* out) {
    const uint32_t perByte = 8 / depth;
    uint32_t byte = 0, filled = 0;
    for (uint32_t x = 0; x < count; ++x) {
        byte = byte << depth | Grey8(pixels[x]) >> (8 - depth);
        if (++filled == perByte) {
            *out++ = static_cast<uint8_t>(byte);
            byte = filled = 0;
        }
    }
    if (filled) *out = static_cast<uint8_t>(byte << (depth * (perByte - filled)));
}

}  // namespace

void ApplyFilter(uint8_t filter, const uint8_t* raw, const uint8_t* prev, uint8_t* out,
                 uint32_t bytes, uint32_t bpp) {
    if (bytes == 0) return;  // an empty row may come with no buffers at all
    uint32_t first = bpp < bytes ? bpp : bytes;
    switch (filter) {
        case kSub:
            std::memcpy(out, raw, first);
            for (uint32_t i = bpp; i < bytes; ++i)
                out[i] = static_cast<uint8_t>(raw[i] - raw[i - bpp]);
            break;
        case kUp:
            for (uint32_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(raw[i] - prev[i]);
            break;
        case kAverage:
            for (uint32_t i = 0; i < first; ++i)
                out[i] = static_cast<uint8_t>(raw[i] - (prev[i] >> 1));
            for (uint32_t i = bpp; i < bytes; ++i)
                out[i] = static_cast<uint8_t>(raw[i] - ((raw[i - bpp] + prev[i]) >> 1));
            break;
        case kPaeth:
            for (uint32_t i = 0; i < first; ++i) out[i] = static_cast<uint8_t>(raw[i] - prev[i]);
            for (uint32_t i = bpp; i < bytes; ++i)
                out[i] = static_cast<uint8_t>(raw[i] -
                                              PaethPredictor(raw[i - bpp], prev[i], prev[i - bpp]));
            break;
        default:
            std::memcpy(out, raw, bytes);
            break;
    }
}

uint32_t Score(const uint8_t* row, uint32_t bytes) {
    uint32_t score = 0;
    for (uint32_t i = 4; i < bytes; ++i) {
        uint8_t v = row[i];
        score += (v == row[i - 1]) & (v == row[i - 2]) & (v == row[i - 3]) & (v == row[i - 4]);
    }
    return score;
}

void Convert(const Format& f, const uint8_t* row, uint32_t count, uint32_t* out) {
    const uint32_t depth = f.bitDepth;
    switch (f.colorType) {
        case 0:
            if (depth < 8) {
                const uint32_t max = (1u << depth) - 1;
                for (uint32_t x = 0; x < count; ++x) {
                    uint32_t v = SmallSample(row, x, depth), g = v * 255 / max;
                    out[x] = f.hasKey && v == f.key[0] ? 0 : Pixel(255, g, g, g);
                }
            } else if (depth == 8) {
                for (uint32_t x = 0; x < count; ++x) {
                    uint32_t g = row[x];
                    out[x] = f.hasKey && g == f.key[0] ? 0 : Pixel(255, g, g, g);
                }
            } else {
                for (uint32_t x = 0; x < count; ++x) {
                    uint32_t g = row[2 * x];
                    out[x] =
                        f.hasKey && Sample16(row + 2 * x) == f.key[0] ? 0 : Pixel(255, g, g, g);
                }
            }
            break;
        case 2:
            if (depth == 8) {
                for (uint32_t x = 0; x < count; ++x, row += 3) {
                    bool keyed =
                        f.hasKey && row[0] == f.key[0] && row[1] == f.key[1] && row[2] == f.key[2];
                    out[x] = keyed ? 0 : Pixel(255, row[0], row[1], row[2]);
                }
            } else {
                for (uint32_t x = 0; x < count; ++x, row += 6) {
                    bool keyed = f.hasKey && Sample16(row) == f.key[0] &&
                                 Sample16(row + 2) == f.key[1] && Sample16(row + 4) == f.key[2];
                    out[x] = keyed ? 0 : Pixel(255, row[0], row[2], row[4]);
                }
            }
            break;
        case 3:
            if (depth == 8) {
                for (uint32_t x = 0; x < count; ++x) out[x] = f.palette[row[x]];
            } else {
                for (uint32_t x = 0; x < count; ++x) out[x] = f.palette[SmallSample(row, x, depth)];
            }
            break;
        case 4:
            if (depth == 8) {
                for (uint32_t x = 0; x < count; ++x, row += 2)
                    out[x] = Pixel(row[1], row[0], row[0], row[0]);
            } else {
                for (uint32_t x = 0; x < count; ++x, row += 4)
                    out[x] = Pixel(row[2], row[0], row[0], row[0]);
            }
            break;
        case 6:
            if (depth == 8) {
                for (uint32_t x = 0; x < count; ++x, row += 4)
                    out[x] = Pixel(row[3], row[0], row[1], row[2]);
            } else {
                for (uint32_t x = 0; x < count; ++x, row += 8)
                    out[x] = Pixel(row[6], row[0], row[2], row[4]);
            }
            break;
        default:
            break;
    }
}

void ToRgba(const uint32_t* pixels, uint32_t count, uint8_t* out) {
    for (uint32_t x = 0; x < count; ++x, out += 4) {
        uint32_t p = pixels[x];
        out[0] = static_cast<uint8_t>(p >> 16);
        out[1] = static_cast<uint8_t>(p >> 8);
        out[2] = static_cast<uint8_t>(p);
        out[3] = static_cast<uint8_t>(p >> 24);
    }
}

double GreyLevel(uint32_t pixel) {
    return 0.299 * ((pixel >> 16) & 0xFF) + 0.587 * ((pixel >> 8) & 0xFF) + 0.114 * (pixel & 0xFF);
}

bool CanWrite(uint32_t colorType, uint32_t bitDepth) {
    switch (colorType) {
        case 0:
            return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 ||
                   bitDepth == 16;
        case 2:
        case 4:
        case 6:
            return bitDepth == 8 || bitDepth == 16;
        default:
            return false;
    }
}

bool FromPixels(const Format& f, const uint32_t* pixels, uint32_t count, uint8_t* out) {
    if (!CanWrite(f.colorType, f.bitDepth)) return false;
    if (f.colorType == 6 && f.bitDepth == 8) {
        ToRgba(pixels, count, out);  // what the program writes: kept on its fast path
        return true;
    }
    if (f.bitDepth < 8) {
        PackSmallGrey(pixels, count, f.bitDepth, out);
        return true;
    }
    const bool wide = f.bitDepth == 16;
    auto put = [&](uint32_t sample) {
        *out++ = static_cast<uint8_t>(sample);
        if (wide) *out++ = 0;
    };
    for (uint32_t x = 0; x < count; ++x) {
        const uint32_t p = pixels[x];
        switch (f.colorType) {
            case 0:
                put(Grey8(p));
                break;
            case 2:
                put(p >> 16 & 0xFF), put(p >> 8 & 0xFF), put(p & 0xFF);
                break;
            case 4:
                put(Grey8(p)), put(p >> 24);
                break;
            default:
                put(p >> 16 & 0xFF), put(p >> 8 & 0xFF), put(p & 0xFF), put(p >> 24);
                break;
        }
    }
    return true;
}

}  // namespace mtxPngRows
