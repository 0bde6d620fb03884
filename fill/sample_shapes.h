#pragma once
#include <cstdint>
#include <vector>

class SampleCollection;

// What the filling needs to know of each sample's pixels on the CPU: its alpha
// (where a stamp covers), the spread of its light (so a stamp's mean
// brightness can be set exactly) and whether its centre is opaque. Read once
// from the sample's texture and kept while the texture stays the same; tests
// may set a shape directly.
class mtxSampleShapes {
  public:
    struct Shape {
        const void* texture = nullptr;  // the texture the shape was read from
        int width = 0, height = 0;
        std::vector<uint8_t> alpha;  // width x height, rows top first
        // Alpha-weighted share of the sample at each luma level 0..255; sums to 1.
        float luma[256] = {};
        bool opaqueCentre = false;  // a stamp covers the cell at its centre
        // Texels with alpha above 0 above and left of each corner,
        // (width + 1) x (height + 1): where a stamp leaves any mark, in
        // constant time per rectangle.
        std::vector<uint32_t> marks;

        // Whether any texel of x0..x1, y0..y1 (inclusive, clipped) has alpha.
        bool AnyAlpha(int x0, int y0, int x1, int y1) const;
    };

    // The shape of sample index of samples, read from its texture when it
    // changed; null when the index is out of range or the texture cannot be
    // read. It stays valid until that sample's shape is read or set again.
    const Shape* Get(const SampleCollection& samples, int32_t index);
    // The same without reading a texture: null unless the shape is known.
    const Shape* Known(const SampleCollection& samples, int32_t index) const;
    // While set, Get reads no texture: a shape not known is null. Steps taken
    // on a thread without the device set it.
    bool knownOnly = false;
    // Sets the shape of sample index from straight-alpha pixels 0xAARRGGBB
    // (width x height, rows top first), for samples without a texture.
    void Set(int32_t index, const void* texture, const uint32_t* pixels, int width, int height);

    // The brightness factor f for which the sample's light, scaled by f and
    // clipped at full, averages to target (0..1); 0 for a dark target.
    static float BrightnessFor(const Shape& shape, float target);

  private:
    std::vector<Shape> shapes_;
};
