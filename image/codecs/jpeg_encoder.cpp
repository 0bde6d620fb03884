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

using Component = mtxImageCodecJpeg::Component;

// Block (h, v) of a component within MCU (mx, my).
inline mtxImageCodecJpeg::Block& BlockAt(const Component& component, uint32_t mx, uint32_t my,
                                         uint32_t h, uint32_t v) {
    size_t row = size_t(my) * component.vertical + v;
    return component.blocks[row * component.blocksAcross + size_t(mx) * component.horizontal + h];
}

// The 8 x 8 samples of a component's block (h, v) from its plane of the MCU
// (pitch values a row): each the mean of its box of pixels, which for
// subsampled chroma is 2 x 2 (the format leaves the filter to the encoder).
inline void SampleBlock(const double* plane, int pitch, uint32_t h, uint32_t v,
                        const Component& component, double* samples) {
    const int boxWidth = static_cast<int>(component.boxWidth);
    const int boxHeight = static_cast<int>(component.boxHeight);
    const int left = static_cast<int>(h) * 8 * boxWidth, top = static_cast<int>(v) * 8 * boxHeight;
    if (boxWidth == 1 && boxHeight == 1) {
        for (int y = 0; y < 8; ++y)
            std::memcpy(samples + y * 8, plane + (top + y) * pitch + left, 8 * sizeof(double));
        return;
    }
    const double share = 1.0 / (boxWidth * boxHeight);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const double* box = plane + (top + y * boxHeight) * pitch + left + x * boxWidth;
            double sum = 0;
            for (int j = 0; j < boxHeight; ++j)
                for (int i = 0; i < boxWidth; ++i) sum += box[j * pitch + i];
            samples[y * 8 + x] = sum * share;
        }
    }
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
    // Y's sampling factor both ways; Cb and Cr take 1.
    const uint32_t luma = SubsamplesChroma(quality) ? 2 : 1;
    frame.width = static_cast<uint32_t>(image->width);
    frame.height = static_cast<uint32_t>(image->height);
    frame.componentCount = 3;
    frame.maxHorizontal = frame.maxVertical = luma;
    frame.mcuWidth = 8 * frame.maxHorizontal;
    frame.mcuHeight = 8 * frame.maxVertical;
    frame.mcusAcross = (frame.width + frame.mcuWidth - 1) / frame.mcuWidth;
    frame.mcusDown = (frame.height + frame.mcuHeight - 1) / frame.mcuHeight;
    size_t mcus = size_t(frame.mcusAcross) * frame.mcusDown;
    size_t blocks = mcus * (luma * luma + 2);
    blockStore.reset(static_cast<Block*>(mtxAllocatePixels(blocks * sizeof(Block))));
    if (!blockStore) return 0;
    Block* next = blockStore.get();
    for (uint32_t c = 0; c < 3; ++c) {
        Component& component = frame.components[c];
        component.frame = &frame;
        component.id = c + 1;
        component.horizontal = component.vertical = c == 0 ? luma : 1;
        component.boxWidth = frame.maxHorizontal / component.horizontal;
        component.boxHeight = frame.maxVertical / component.vertical;
        component.blocksAcross = frame.mcusAcross * component.horizontal;
        component.blocksDown = frame.mcusDown * component.vertical;
        component.blocks = next;
        next += size_t(component.blocksAcross) * component.blocksDown;
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
    const int mcuWidth = static_cast<int>(frame.mcuWidth);
    const int mcuHeight = static_cast<int>(frame.mcuHeight);
    float quantisers[3][64];
    for (uint32_t c = 0; c < 3; ++c)
        for (int i = 0; i < 64; ++i)
            quantisers[c][i] = static_cast<float>(frame.components[c].quantisation[i]);
    const mtxColor* rows[16];
    uint32_t mcu = 0;
    for (uint32_t my = 0; my < frame.mcusDown; ++my) {
        // The working image holds one MCU row of the source at a time,
        // converted to YCbCr; rows below the picture repeat its last row.
        working.Create(width, mcuHeight, 0);
        for (int y = 0; y < mcuHeight; ++y) {
            int source = std::min<int>(static_cast<int>(my) * mcuHeight + y, height - 1);
            std::memcpy(working.Row(y), image->Row(source), size_t(width) * 4);
        }
        working.ToYCbCr();
        for (int y = 0; y < mcuHeight; ++y) rows[y] = working.Row(y);
        for (uint32_t mx = 0; mx < frame.mcusAcross; ++mx, ++mcu) {
            if (restartInterval && mcu && mcu % restartInterval == 0)
                for (uint32_t c = 0; c < scan.componentCount; ++c) scan.members[c].lastDc = 0;

            // The MCU's level-shifted pixels, a plane per component; columns
            // beyond the right edge repeat the last pixel of the row.
            double planes[3][256];
            int x0 = static_cast<int>(mx) * mcuWidth;
            for (int y = 0; y < mcuHeight; ++y) {
                for (int x = 0; x < mcuWidth; ++x) {
                    mtxColor p = rows[y][std::min(x0 + x, width - 1)];
                    int i = y * mcuWidth + x;
                    planes[0][i] = static_cast<double>(mtxRed(p)) - 128;
                    planes[1][i] = static_cast<double>(mtxGreen(p)) - 128;
                    planes[2][i] = static_cast<double>(mtxBlue(p)) - 128;
                }
            }
            for (uint32_t c = 0; c < 3; ++c) {
                Component& component = frame.components[c];
                Scan::Member& member = scan.members[c];
                for (uint32_t v = 0; v < component.vertical; ++v) {
                    for (uint32_t h = 0; h < component.horizontal; ++h) {
                        double samples[64];
                        SampleBlock(planes[c], mcuWidth, h, v, component, samples);
                        ForwardDct(samples);
                        int16_t* z = BlockAt(component, mx, my, h, v).coefficients;
                        QuantiseBlock(samples, quantisers[c], z);
                        CountBlock(z, member.lastDc, scan.dc[member.dcTable],
                                   scan.ac[member.acTable]);
                    }
                }
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
            // Per component its blocks of the MCU, left to right, top to
            // bottom (T.81 A.2.3).
            for (uint32_t c = 0; c < scan.componentCount; ++c) {
                Scan::Member& member = scan.members[c];
                const Component& component = *member.component;
                for (uint32_t v = 0; v < component.vertical; ++v)
                    for (uint32_t h = 0; h < component.horizontal; ++h)
                        CodeBlock(BlockAt(component, mx, my, h, v).coefficients, member,
                                  scan.dc[member.dcTable], scan.ac[member.acTable]);
            }
        }
    }
}

void mtxImageEncoderJpeg::CodeBlock(const int16_t* z, Scan::Member& member, const HuffmanTable& dc,
                                    const HuffmanTable& ac) {
    int diff = z[0] - member.lastDc;
    member.lastDc = z[0];
    uint32_t size = Category(diff);
    PutBits(uint32_t(dc.code[size]) << size | ExtraBits(diff, size), dc.size[size] + size);
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
        PutBits(uint32_t(ac.code[symbol]) << size | ExtraBits(v, size), ac.size[symbol] + size);
        last = k;
    }
    if (last != 63) PutBits(ac.code[0x00], ac.size[0x00]);
}
