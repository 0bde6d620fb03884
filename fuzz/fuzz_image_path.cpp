// Any byte string as path commands, transform and brush into a small image:
// no crash, no write outside the image, bounded time.
#include <cstdint>
#include <cstring>

#include "image/image_path.h"

namespace {

// Reads floats from the bytes; runs out as zeros.
struct Reader {
    const uint8_t* data;
    size_t size;
    uint8_t Byte() { return size ? (--size, *data++) : 0; }
    float Float() {
        uint8_t b[4] = {Byte(), Byte(), Byte(), Byte()};
        // Mostly small coordinates, sometimes any bit pattern (NaN, huge).
        if (b[0] & 0x80) {
            float f;
            std::memcpy(&f, b, 4);
            return f;
        }
        return float(int16_t(b[1] | b[2] << 8)) / 256.0f;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    Reader in{data, size};
    mtxImage image;
    image.Create(1 + in.Byte() % 64, 1 + in.Byte() % 64, 0x40102030);
    mtxImagePath path;
    path.tolerance = in.Float();
    path.pen.enabled = 1;
    path.pen.width = in.Float();
    path.pen.style = in.Byte() & 1;
    uint8_t flags = in.Byte();
    if (flags & 1) path.brush.SetFillRule(mtxPathRasterizer::kEvenOdd);
    if (flags & 2) {
        path.brush.gradient.AddStop(0, 0xFFFF0000);
        path.brush.gradient.AddStop(in.Float(), 0x800000FF, in.Byte() % 6, in.Float());
        path.brush.gradient.SetRadial(in.Float(), in.Float(), in.Float(), in.Float());
        path.brush.UseGradient();
    }
    if (flags & 4) {
        float m[3][3] = {
            {in.Float(), in.Float(), 0}, {in.Float(), in.Float(), 0}, {in.Float(), in.Float(), 1}};
        path.SetTransform(m);
    }
    while (in.size) {
        switch (in.Byte() % 4) {
            case 0:
                path.MoveTo(in.Float(), in.Float());
                break;
            case 1:
                path.LineTo(in.Float(), in.Float());
                break;
            case 2:
                path.BezierTo(in.Float(), in.Float(), in.Float(), in.Float(), in.Float(),
                              in.Float());
                break;
            default:
                path.Fill(image);
                path.Stroke(image, in.Byte());
        }
    }
    path.Fill(image);
    path.Stroke(image, 255);
    return 0;
}
