#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fill/large_array.h"

class mtxImage;

// What the picture looks like to the filling, kept on the CPU: for each
// square cell of the photo, whether a stamp covers its centre and the colour
// that stamp was given. Stamps are recoloured so that their mean is that
// colour, so the canvas blurred at a stamp's scale stands for the picture
// blurred the same way. Cells whose centre pixel has no alpha do not count.
class mtxStampCanvas {
  public:
    // A sample's alpha of at least this covers a cell. Above one half, so a
    // cell covered here is covered in the drawn picture too, whatever the
    // texture filtering does at the edge.
    static constexpr uint8_t kCovering = 160;

    // Whether a sample with this alpha (width x height bytes) covers the pixel
    // at texel position (x, y): each texel a filter may mix there, and the
    // next ones, reach kCovering, so the device's filtering and rounding
    // cannot leave the pixel less than half covered.
    static bool Covers(const uint8_t* alpha, int width, int height, double x, double y);

    struct Sums {
        uint32_t red = 0, green = 0, blue = 0;
        uint32_t covered = 0, uncovered = 0;
    };

    // The cells of photo, none covered; cells whose centre pixel protect
    // marks (one byte a photo pixel, nonzero; may be null) do not count. 1,
    // or 0 for an empty photo or when memory runs out.
    int Reset(const mtxImage& photo, int cell, const uint8_t* protect = nullptr);
    // The same in steps: Begin makes room (1, or 0 as Reset), then each
    // AddRows marks up to rows rows of cells of photo, which must stay as it
    // is until then; 1 once every row is marked. Stamps wait for that.
    int Begin(const mtxImage& photo, int cell, const uint8_t* protect = nullptr);
    int AddRows(int rows);
    // Makes room for the cells of a photo of that size, as Begin would, and
    // with touch maps its memory in now. Room of the same layout is kept. 1,
    // or 0 when memory runs out.
    int Reserve(int pictureWidth, int pictureHeight, int cell, bool touch);

    // Paints one stamp: the quad's corners in picture pixels, in the order
    // (left, top), (right, top), (left, bottom), the texture coordinates at
    // its left/right and top/bottom edges, the sample's alpha (width x height
    // bytes) and the stamp's colour 0xRRGGBB.
    void Paint(const float corner[3][2], const float u[2], const float v[2], const uint8_t* alpha,
               int width, int height, uint32_t rgb);

    // Sums over the cells x0..x1, y0..y1 (inclusive, clipped).
    Sums Query(int x0, int y0, int x1, int y1) const;
    // Whether cell (cx, cy) counts and no stamp covers it.
    bool Uncovered(int cx, int cy) const { return state_[Index(cx, cy)] == kOpen; }
    // The counting cells no stamp covers, in raster order.
    void CollectUncovered(std::vector<uint32_t>& cells) const;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Cell() const { return cell_; }
    int64_t UncoveredCount() const { return counting_ - covered_; }

  private:
    enum : uint8_t { kOutside = 0, kOpen = 1, kCovered = 2 };
    size_t Index(int cx, int cy) const { return size_t(cy) * size_t(width_) + size_t(cx); }

    int width_ = 0, height_ = 0, cell_ = 1;
    size_t Cells() const { return size_t(width_) * size_t(height_); }
    bool Fits(int pictureWidth, int pictureHeight, int cell) const;
    int roomWidth_ = 0, roomHeight_ = 0;  // the layout of the room made

    // Zero pages from the system: a large photo's cells start as kOutside
    // without being written twice.
    mcvLargeArray<uint8_t> state_;
    mcvLargeArray<uint32_t> color_;  // 0xRRGGBB of the stamp on top
    int64_t counting_ = 0, covered_ = 0;
    const mtxImage* photo_ = nullptr;   // while the rows are being marked
    const uint8_t* protect_ = nullptr;  // the same
    int marked_ = 0;                    // rows of cells marked
};
