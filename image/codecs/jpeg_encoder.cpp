#include "image/codecs/jpeg_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "image/file.h"
#include "platform/picture_loader.h"

using namespace mtxJpeg;

namespace {

// The low `size` bits that follow a Huffman code for value (T.81 F.1.2.1):
// the value itself when positive, value - 1 (its ones' complement) when
// negative.
inline uint32_t ExtraBits(int value, uint32_t size) {
    return static_cast<uint32_t>(value < 0 ? value - 1 : value) & ((1u << size) - 1);
}

// Divides the coefficients of a block by their quantisers and rounds half
// away from zero, then stores them in zig-zag order. The coefficients are the
// DCT's values as floats; the loops run over whole blocks so that the
// compiler can use vector division.
inline void QuantiseBlock(const double* coefficients, const float* quantisers, int16_t* z) {
    int16_t natural[64];
    for (int i = 0; i < 64; ++i) {
        float q = static_cast<float>(coefficients[i]) / quantisers[i];
        int n = static_cast<int>(q);  // truncates towards zero
        float rest = q - static_cast<float>(n);
        n += (rest >= 0.5f) - (rest <= -0.5f);
        natural[i] = static_cast<int16_t>(n);
    }
    for (int k = 0; k < 64; ++k) z[k] = natural[kZigZag[k]];
}

// Bit k set when the zig-zag coefficient k (1 to 63) is not 0.
inline uint64_t NonzeroAc(const int16_t* z) {
    uint64_t mask = 0;
    for (int k = 1; k < 64; ++k) mask |= uint64_t(z[k] != 0) << k;
    return mask;
}

// Counts the symbols of one block as F.1.2 codes them: the DC difference's
// category, then per nonzero AC coefficient a ZRL for every 16 zeros before
// it and its run/size, and an EOB when the block ends in zeros.
inline void CountBlock(const int16_t* z, int& lastDc, HuffmanTable& dc, HuffmanTable& ac) {
    ++dc.freq[Category(z[0] - lastDc)];
    lastDc = z[0];
    uint64_t mask = NonzeroAc(z);
    int last = 0;
    while (mask) {
        int k = __builtin_ctzll(mask);
        mask &= mask - 1;
        int run = k - last - 1;
        for (; run > 15; run -= 16) ++ac.freq[0xF0];
        ++ac.freq[(run << 4) | Category(z[k])];
        last = k;
    }
    if (last != 63) ++ac.freq[0x00];
}

}  // namespace

int mtxImageEncoderJpeg::Encode() {
    if (!file || !image) return kFailure;
    mtxFieldLock<mtxImage> lock(*image);
    if (!lock || image->IsEmpty()) return kFailure;
    if (image->width > 65535 || image->height > 65535) return kFailure;
    if (!SetUpFrame()) return kFailure;
    SetUpQuantisation();
    restartInterval = 2 * frame.mcusAcross;

    scans.assign(1, Scan());
    Scan& scan = scans.front();
    scan.componentCount = frame.componentCount;
    for (uint32_t c = 0; c < frame.componentCount; ++c) {
        uint32_t table = c == 0 ? 0 : 1;
        scan.members[c] = {&frame.components[c], table, table, 0};
        scan.used[table] = true;
    }
    for (int t = 0; t < 2; ++t) scan.dc[t].Clear(), scan.ac[t].Clear();

    Transform();
    for (int t = 0; t < 2; ++t) {
        if (!scan.used[t]) continue;
        scan.dc[t].Optimise();
        scan.ac[t].Optimise();
    }

    outputPosition = 0;
    if (file->Seek(0, 0) != 0) return kFailure;
    WriteHeaders();
    Code();
    WriteEndOfImage();
    if (WriteFailed() || !mtxCommitWrites(*file)) return kFailure;
    return 0;
}

int mtxImageEncoderJpeg::SetUpFrame() {
    frame.width = static_cast<uint32_t>(image->width);
    frame.height = static_cast<uint32_t>(image->height);
    frame.componentCount = 3;
    frame.maxHorizontal = frame.maxVertical = 1;
    frame.mcuWidth = 8 * frame.maxHorizontal;
    frame.mcuHeight = 8 * frame.maxVertical;
    frame.mcusAcross = (frame.width + frame.mcuWidth - 1) / frame.mcuWidth;
    frame.mcusDown = (frame.height + frame.mcuHeight - 1) / frame.mcuHeight;
    size_t perComponent = size_t(frame.mcusAcross) * frame.mcusDown;
    blockStore.reset(static_cast<Block*>(mtxAllocatePixels(3 * perComponent * sizeof(Block))));
    if (!blockStore) return 0;
    for (uint32_t c = 0; c < 3; ++c) {
        Component& component = frame.components[c];
        component.frame = &frame;
        component.id = c + 1;
        component.horizontal = component.vertical = 1;
        component.boxWidth = frame.maxHorizontal / component.horizontal;
        component.boxHeight = frame.maxVertical / component.vertical;
        component.blocksAcross = frame.mcusAcross * component.horizontal;
        component.blocksDown = frame.mcusDown * component.vertical;
        component.blocks = blockStore.get() + c * perComponent;
    }
    return 1;
}

void mtxImageEncoderJpeg::SetUpQuantisation() {
    // Quality 100 gives 1/64, 50 gives 1, 0 gives 64.
    double scale = std::pow(2.0, (50.0 - quality) * 6.0 / 50.0);
    for (uint32_t c = 0; c < frame.componentCount; ++c) {
        const uint8_t* base = c == 0 ? kLuminanceTable : kChrominanceTable;
        for (int i = 0; i < 64; ++i)
            frame.components[c].quantisation[i] =
                static_cast<uint32_t>(std::clamp(std::rint(base[i] * scale), 1.0, 255.0));
    }
}

void mtxImageEncoderJpeg::Transform() {
    Scan& scan = scans.front();
    const int width = image->width, height = image->height;
    float quantisers[3][64];
    for (uint32_t c = 0; c < 3; ++c)
        for (int i = 0; i < 64; ++i)
            quantisers[c][i] = static_cast<float>(frame.components[c].quantisation[i]);
    const mtxColor* rows[8];
    uint32_t mcu = 0;
    for (uint32_t my = 0; my < frame.mcusDown; ++my) {
        // The working image holds one MCU row of the source at a time,
        // converted to YCbCr; rows below the picture repeat its last row.
        working.Create(width, 8, 0);
        for (int y = 0; y < 8; ++y) {
            int source = std::min<int>(static_cast<int>(my) * 8 + y, height - 1);
            std::memcpy(working.Row(y), image->Row(source), size_t(width) * 4);
        }
        working.ToYCbCr();
        for (int y = 0; y < 8; ++y) rows[y] = working.Row(y);
        for (uint32_t mx = 0; mx < frame.mcusAcross; ++mx, ++mcu) {
            if (restartInterval && mcu && mcu % restartInterval == 0)
                for (uint32_t c = 0; c < scan.componentCount; ++c) scan.members[c].lastDc = 0;

            // Columns beyond the right edge repeat the last pixel of the row.
            double samples[3][64];
            int x0 = static_cast<int>(mx) * 8;
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) {
                    mtxColor p = rows[y][std::min(x0 + x, width - 1)];
                    samples[0][y * 8 + x] = static_cast<double>(mtxRed(p)) - 128;
                    samples[1][y * 8 + x] = static_cast<double>(mtxGreen(p)) - 128;
                    samples[2][y * 8 + x] = static_cast<double>(mtxBlue(p)) - 128;
                }
            }
            for (uint32_t c = 0; c < 3; ++c) {
                Component& component = frame.components[c];
                ForwardDct(samples[c]);
                int16_t* z =
                    component.blocks[size_t(my) * component.blocksAcross + mx].coefficients;
                QuantiseBlock(samples[c], quantisers[c], z);
                Scan::Member& member = scan.members[c];
                CountBlock(z, member.lastDc, scan.dc[member.dcTable], scan.ac[member.acTable]);
            }
        }
    }
}

void mtxImageEncoderJpeg::Code() {
    Scan& scan = scans.front();
    for (uint32_t c = 0; c < scan.componentCount; ++c) scan.members[c].lastDc = 0;
    uint32_t mcu = 0, restarts = 0;
    for (uint32_t my = 0; my < frame.mcusDown; ++my) {
        for (uint32_t mx = 0; mx < frame.mcusAcross; ++mx, ++mcu) {
            if (restartInterval && mcu && mcu % restartInterval == 0) {
                PutRestart(restarts++);
                for (uint32_t c = 0; c < scan.componentCount; ++c) scan.members[c].lastDc = 0;
            }
            for (uint32_t c = 0; c < scan.componentCount; ++c) {
                Scan::Member& member = scan.members[c];
                const Component& component = *member.component;
                const int16_t* z =
                    component.blocks[size_t(my) * component.blocksAcross + mx].coefficients;
                const HuffmanTable& dc = scan.dc[member.dcTable];
                const HuffmanTable& ac = scan.ac[member.acTable];

                int diff = z[0] - member.lastDc;
                member.lastDc = z[0];
                uint32_t size = Category(diff);
                PutBits(uint32_t(dc.code[size]) << size | ExtraBits(diff, size),
                        dc.size[size] + size);
                uint64_t mask = NonzeroAc(z);
                int last = 0;
                while (mask) {
                    int k = __builtin_ctzll(mask);
                    mask &= mask - 1;
                    int run = k - last - 1;
                    for (; run > 15; run -= 16) PutBits(ac.code[0xF0], ac.size[0xF0]);
                    int v = z[k];
                    size = Category(v);
                    uint32_t symbol = static_cast<uint32_t>(run << 4) | size;
                    PutBits(uint32_t(ac.code[symbol]) << size | ExtraBits(v, size),
                            ac.size[symbol] + size);
                    last = k;
                }
                if (last != 63) PutBits(ac.code[0x00], ac.size[0x00]);
            }
        }
    }
}
