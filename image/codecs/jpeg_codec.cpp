#include "image/codecs/jpeg_codec.h"

#include <cstring>

#include "image/file.h"

using namespace mtxJpeg;

void mtxImageCodecJpeg::PutRaw(const uint8_t* bytes, size_t count) {
    while (count) {
        if (out_ == outEnd_) FlushOutput();
        size_t n = std::min<size_t>(count, static_cast<size_t>(outEnd_ - out_));
        std::memcpy(out_, bytes, n);
        out_ += n, bytes += n, count -= n;
    }
}

void mtxImageCodecJpeg::PutSegment(uint8_t code, const uint8_t* body, size_t count) {
    // The length counts itself but not the marker.
    uint8_t head[4] = {0xFF, code, uint8_t((count + 2) >> 8), uint8_t(count + 2)};
    PutRaw(head, 4);
    PutRaw(body, count);
}

int mtxImageCodecJpeg::FlushOutput() {
    uint32_t count = static_cast<uint32_t>(out_ - output_.get());
    if (count) {
        if (!file || !file->Write(output_.get(), count)) writeFailed_ = true;
        outputPosition += count;
    }
    out_ = output_.get();
    return writeFailed_ ? 0 : 1;
}

void mtxImageCodecJpeg::PadBits() {
    if (bitCount_ % 8) {
        uint32_t pad = 8 - bitCount_ % 8;
        PutBits((1u << pad) - 1, pad);
    }
    if (outEnd_ - out_ < 8) FlushOutput();
    while (bitCount_ >= 8) {
        bitCount_ -= 8;
        PutStuffed(static_cast<uint8_t>(bitBuffer_ >> bitCount_));
    }
}

void mtxImageCodecJpeg::PutRestart(uint32_t index) {
    PadBits();
    PutMarker(static_cast<uint8_t>(kRST0 + index % 8));
}

void mtxImageCodecJpeg::WriteHeaders() {
    PutMarker(kSOI);

    // JFIF 1.1, no density unit, aspect 1:1, no thumbnail.
    static const uint8_t kJfif[14] = {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    PutSegment(kAPP0, kJfif, sizeof kJfif);

    // One DQT segment with a table per component, numbered by component,
    // entries in zig-zag order with 8-bit precision.
    uint8_t dqt[65 * 3];
    size_t n = 0;
    for (uint32_t c = 0; c < frame.componentCount; ++c) {
        dqt[n++] = static_cast<uint8_t>(c);
        for (int k = 0; k < 64; ++k)
            dqt[n++] = static_cast<uint8_t>(frame.components[c].quantisation[kZigZag[k]]);
    }
    PutSegment(kDQT, dqt, n);

    if (restartInterval) {
        uint8_t dri[2] = {uint8_t(restartInterval >> 8), uint8_t(restartInterval)};
        PutSegment(kDRI, dri, 2);
    }

    uint8_t sof[6 + 3 * 3];
    n = 0;
    sof[n++] = 8;  // sample precision
    sof[n++] = uint8_t(frame.height >> 8), sof[n++] = uint8_t(frame.height);
    sof[n++] = uint8_t(frame.width >> 8), sof[n++] = uint8_t(frame.width);
    sof[n++] = static_cast<uint8_t>(frame.componentCount);
    for (uint32_t c = 0; c < frame.componentCount; ++c) {
        const Component& component = frame.components[c];
        sof[n++] = static_cast<uint8_t>(component.id);
        sof[n++] = static_cast<uint8_t>(component.horizontal << 4 | component.vertical);
        sof[n++] = static_cast<uint8_t>(c);  // quantisation table number
    }
    PutSegment(static_cast<uint8_t>(frame.marker), sof, n);

    const Scan& scan = scans.front();
    // One DHT segment: per table number in use, its DC then its AC table.
    uint8_t dht[2 * 2 * (17 + 256)];
    n = 0;
    for (int t = 0; t < 2; ++t) {
        if (!scan.used[t]) continue;
        for (int tableClass = 0; tableClass < 2; ++tableClass) {
            const HuffmanTable& table = tableClass ? scan.ac[t] : scan.dc[t];
            dht[n++] = static_cast<uint8_t>(tableClass << 4 | t);
            std::memcpy(dht + n, table.bits + 1, 16);
            n += 16;
            std::memcpy(dht + n, table.huffval, table.count);
            n += table.count;
        }
    }
    PutSegment(kDHT, dht, n);

    uint8_t sos[1 + 2 * 3 + 3];
    n = 0;
    sos[n++] = static_cast<uint8_t>(scan.componentCount);
    for (uint32_t c = 0; c < scan.componentCount; ++c) {
        sos[n++] = static_cast<uint8_t>(scan.members[c].component->id);
        sos[n++] = static_cast<uint8_t>(scan.members[c].dcTable << 4 | scan.members[c].acTable);
    }
    sos[n++] = 0;   // Ss
    sos[n++] = 63;  // Se
    sos[n++] = 0;   // Ah, Al
    PutSegment(kSOS, sos, n);
}

void mtxImageCodecJpeg::WriteEndOfImage() {
    PadBits();
    PutMarker(kEOI);
    FlushOutput();
}
