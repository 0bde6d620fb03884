#pragma once
#include <cstdint>
#include <vector>

#include "fill/large_array.h"

class mtxImage;

// The photo's mean colour over any rectangle of cells in constant time: a
// summed-area table of the red, green and blue sums and the count of the
// pixels with alpha above 0, one entry per square cell of cell x cell pixels.
// The sums wrap modulo 2^32; a rectangle's sum is exact while it stays below
// 2^32, which holds for every rectangle of fewer than 16 million pixels.
class mtxPhotoMeans {
  public:
    struct Sums {
        uint32_t red = 0, green = 0, blue = 0;
        uint32_t count = 0;   // pixels with alpha above 0
        uint32_t pixels = 0;  // pixels in the rectangle
    };

    // Builds the table of photo for cells of side cell. Pixels that protect
    // (one byte a photo pixel, nonzero; may be null) marks count as pixels
    // without alpha. 1, or 0 for an empty photo or when memory runs out.
    int Reset(const mtxImage& photo, int cell, const uint8_t* protect = nullptr);
    // The same in steps, so a large photo does not hold its caller: Begin
    // makes room (1, or 0 as Reset), then each AddRows adds up to rows rows of
    // cells from photo, which must stay as it is until then; 1 once the table
    // is whole. Queries wait for that.
    int Begin(const mtxImage& photo, int cell, const uint8_t* protect = nullptr);
    int AddRows(int rows);
    // Makes room for the table of a photo of that size and cells of side
    // cell, as Begin would, and with touch maps its memory in now: a large
    // table faults its pages in far slower than it is built. Room of the
    // same layout is kept. 1, or 0 when memory runs out.
    int Reserve(int pictureWidth, int pictureHeight, int cell, bool touch);
    bool Complete() const { return table_ && width_ > 0 && built_ == height_; }
    // The sums over the cells x0..x1, y0..y1 (inclusive, clipped to the photo).
    Sums Query(int x0, int y0, int x1, int y1) const;

    int Width() const { return width_; }    // in cells
    int Height() const { return height_; }  // in cells
    int Cell() const { return cell_; }

  private:
    uint32_t PixelsAcross(int first, int last, int extent) const;

    size_t Stride() const { return size_t(width_ + 1) * 4; }
    void SumCellRow(int cy, uint32_t* sums) const;

    int width_ = 0, height_ = 0, cell_ = 1;
    int pictureWidth_ = 0, pictureHeight_ = 0;
    const mtxImage* photo_ = nullptr;       // while the table is being built
    const uint8_t* protect_ = nullptr;      // the same
    int built_ = 0;                         // rows of cells in the table
    int tableWidth_ = 0, tableHeight_ = 0;  // the layout of the room made
    // (width + 1) x (height + 1) x 4, in zero pages from the system: a large
    // photo's table is not written twice.
    mcvLargeArray<uint32_t> table_;
    std::vector<uint32_t> rowSums_;  // one row of cells while building
};
