#include "image/codecs/jpeg_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/file.h"

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

// Counts the symbols of one block as F.1.2 codes them and keeps them with
// their extra bits: the DC difference's category, then per nonzero AC
// coefficient a ZRL for every 16 zeros before it and its run/size, and an EOB
// when the block ends in zeros. 0 when memory is short.
inline int KeepBlock(const int16_t* z, int& lastDc, HuffmanTable& dc, HuffmanTable& ac,
                     mtxJpegSymbols& symbols) {
    const int diff = z[0] - lastDc;
    lastDc = z[0];
    uint32_t size = Category(diff);
    ++dc.freq[size];
    int ok = symbols.Put(size, ExtraBits(diff, size));
    uint64_t mask = NonzeroAc(z);
    int last = 0;
    while (mask) {
        int k = __builtin_ctzll(mask);
        mask &= mask - 1;
        int run = k - last - 1;
        for (; run > 15; run -= 16) {
            ++ac.freq[0xF0];
            ok &= symbols.Put(0xF0, 0);
        }
        size = Category(z[k]);
        const uint32_t symbol = static_cast<uint32_t>(run << 4) | size;
        ++ac.freq[symbol];
        ok &= symbols.Put(symbol, ExtraBits(z[k], size));
        last = k;
    }
    if (last != 63) {
        ++ac.freq[0x00];
        ok &= symbols.Put(0x00, 0);
    }
    return ok;
}

using Component = mtxImageCodecJpeg::Component;

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
    if (Begin(uint32_t(image->width), uint32_t(image->height))) return kFailure;
    if (AddRows(*image)) return kFailure;
    return Finish();
}

int mtxImageEncoderJpeg::Begin(uint32_t width, uint32_t height) {
    if (!file || width < 1 || height < 1 || width > 65535 || height > 65535) return kFailure;
    SetUpFrame(width, height);
    SetUpQuantisation();
    SetUpScan();
    restartInterval = 2 * frame.mcusAcross;
    symbols_.Clear();
    symbols_.SpillTo(spill);
    rowsAdded_ = rowsHeld_ = mcu_ = 0;
    failed_ = !working.Create(int(width), int(frame.mcuHeight), 0);
    return failed_ ? kFailure : 0;
}

int mtxImageEncoderJpeg::AddRows(const mtxImage& rows) {
    if (failed_ || rows.width < 0 || uint32_t(rows.width) != frame.width ||
        uint64_t(rows.height) > frame.height - rowsAdded_)
        return failed_ = true, kFailure;
    const size_t rowBytes = size_t(frame.width) * 4;
    for (int y = 0; y < rows.height; ++y) {
        std::memcpy(working.Row(int(rowsHeld_)), rows.Row(y), rowBytes);
        ++rowsAdded_;
        if (++rowsHeld_ == frame.mcuHeight && !TransformRow()) return failed_ = true, kFailure;
    }
    return 0;
}

int mtxImageEncoderJpeg::Finish() {
    if (failed_ || rowsAdded_ != frame.height) return failed_ = true, kFailure;
    // Rows below the picture repeat its last row.
    if (rowsHeld_) {
        const mtxColor* last = working.Row(int(rowsHeld_) - 1);
        while (rowsHeld_ < frame.mcuHeight)
            std::memcpy(working.Row(int(rowsHeld_++)), last, size_t(frame.width) * 4);
        if (!TransformRow()) return failed_ = true, kFailure;
    }
    working.Free();
    failed_ = true;  // a second Finish has nothing to write
    if (!symbols_.Close()) return symbols_.Clear(), kFailure;
    Scan& scan = scans.front();
    for (int t = 0; t < 2; ++t) {
        if (!scan.used[t]) continue;
        scan.dc[t].Optimise();
        scan.ac[t].Optimise();
    }
    outputPosition = 0;
    if (file->Seek(0, 0) != 0) return symbols_.Clear(), kFailure;
    WriteHeaders();
    Code();
    WriteEndOfImage();
    const bool lost = symbols_.Failed();
    symbols_.Clear();
    if (lost || WriteFailed() || !mtxCommitWrites(*file)) return kFailure;
    return 0;
}

void mtxImageEncoderJpeg::SetUpFrame(uint32_t width, uint32_t height) {
    // Y's sampling factor both ways; Cb and Cr take 1.
    const uint32_t luma = SubsamplesChroma(quality) ? 2 : 1;
    frame.width = width;
    frame.height = height;
    frame.componentCount = 3;
    frame.maxHorizontal = frame.maxVertical = luma;
    frame.mcuWidth = 8 * frame.maxHorizontal;
    frame.mcuHeight = 8 * frame.maxVertical;
    frame.mcusAcross = (frame.width + frame.mcuWidth - 1) / frame.mcuWidth;
    frame.mcusDown = (frame.height + frame.mcuHeight - 1) / frame.mcuHeight;
    for (uint32_t c = 0; c < 3; ++c) {
        Component& component = frame.components[c];
        component.frame = &frame;
        component.id = c + 1;
        component.horizontal = component.vertical = c == 0 ? luma : 1;
        component.boxWidth = frame.maxHorizontal / component.horizontal;
        component.boxHeight = frame.maxVertical / component.vertical;
        component.blocksAcross = frame.mcusAcross * component.horizontal;
        component.blocksDown = frame.mcusDown * component.vertical;
    }
}

void mtxImageEncoderJpeg::SetUpQuantisation() {
    // Quality 100 gives 1/64, 50 gives 1, 0 gives 64.
    double scale = std::pow(2.0, (50.0 - quality) * 6.0 / 50.0);
    for (uint32_t c = 0; c < frame.componentCount; ++c) {
        const uint8_t* base = c == 0 ? kLuminanceTable : kChrominanceTable;
        for (int i = 0; i < 64; ++i) {
            frame.components[c].quantisation[i] =
                static_cast<uint32_t>(std::clamp(std::rint(base[i] * scale), 1.0, 255.0));
            quantisers_[c][i] = static_cast<float>(frame.components[c].quantisation[i]);
        }
    }
}

void mtxImageEncoderJpeg::SetUpScan() {
    scans.assign(1, Scan());
    Scan& scan = scans.front();
    scan.componentCount = frame.componentCount;
    for (uint32_t c = 0; c < frame.componentCount; ++c) {
        uint32_t table = c == 0 ? 0 : 1;
        scan.members[c] = {&frame.components[c], table, table, 0};
        scan.used[table] = true;
    }
    for (int t = 0; t < 2; ++t) scan.dc[t].Clear(), scan.ac[t].Clear();
}

int mtxImageEncoderJpeg::TransformRow() {
    Scan& scan = scans.front();
    const int width = static_cast<int>(frame.width);
    const int mcuWidth = static_cast<int>(frame.mcuWidth);
    const int mcuHeight = static_cast<int>(frame.mcuHeight);
    working.isYCbCr = 0;
    working.ToYCbCr();
    rowsHeld_ = 0;
    int ok = 1;
    for (uint32_t mx = 0; mx < frame.mcusAcross; ++mx, ++mcu_) {
        if (restartInterval && mcu_ && mcu_ % restartInterval == 0)
            for (uint32_t c = 0; c < scan.componentCount; ++c) scan.members[c].lastDc = 0;

        // The MCU's level-shifted pixels, a plane per component; columns
        // beyond the right edge repeat the last pixel of the row.
        double planes[3][256];
        int x0 = static_cast<int>(mx) * mcuWidth;
        for (int y = 0; y < mcuHeight; ++y) {
            const mtxColor* row = working.Row(y);
            for (int x = 0; x < mcuWidth; ++x) {
                mtxColor p = row[std::min(x0 + x, width - 1)];
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
                    int16_t z[64];
                    QuantiseBlock(samples, quantisers_[c], z);
                    ok &= KeepBlock(z, member.lastDc, scan.dc[member.dcTable],
                                    scan.ac[member.acTable], symbols_);
                }
            }
        }
    }
    return ok;
}

void mtxImageEncoderJpeg::Code() {
    const Scan& scan = scans.front();
    const uint32_t mcus = frame.mcusAcross * frame.mcusDown;
    uint32_t restarts = 0;
    for (uint32_t mcu = 0; mcu < mcus; ++mcu) {
        if (restartInterval && mcu && mcu % restartInterval == 0) PutRestart(restarts++);
        // Per component its blocks of the MCU, left to right, top to bottom
        // (T.81 A.2.3), in the order they were kept.
        for (uint32_t c = 0; c < scan.componentCount; ++c) {
            const Scan::Member& member = scan.members[c];
            const uint32_t blocks = member.component->horizontal * member.component->vertical;
            for (uint32_t b = 0; b < blocks; ++b)
                CodeBlock(scan.dc[member.dcTable], scan.ac[member.acTable]);
        }
    }
}

void mtxImageEncoderJpeg::CodeBlock(const HuffmanTable& dc, const HuffmanTable& ac) {
    // The DC symbol is the category, the count of its extra bits.
    uint32_t size = symbols_.Get(8);
    PutBits(uint32_t(dc.code[size]) << size | symbols_.Get(size), dc.size[size] + size);
    // AC symbols up to the EOB, or until the last coefficient is coded.
    for (uint32_t k = 0; k < 63;) {
        const uint32_t symbol = symbols_.Get(8);
        size = symbol & 15;
        PutBits(uint32_t(ac.code[symbol]) << size | symbols_.Get(size), ac.size[symbol] + size);
        if (symbol == 0x00) break;
        k += (symbol >> 4) + 1;
    }
}
