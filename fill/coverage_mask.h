#pragma once
#include <cstdint>
#include <vector>

class mtxImage;

// How much of a photo the stamps have covered: the share of the photo's pixels
// with alpha above 0 on which some stamp lay with alpha of at least one half.
// The mask samples the picture at the centres of square cells (one pixel each
// up to a million pixels, larger cells above, so a step costs a bounded
// amount), and each stamp is tested at the cell centres under its quad.
class mtxCoverageMask {
  public:
    static constexpr int64_t kMaxCells = 1 << 20;
    // The side of the cells for a photo of this many pixels.
    static int CellFor(int64_t pixels);

    // The cells of photo, and which of them count (photo alpha above 0 at the
    // centre, and no mark there in protect, one byte a photo pixel, which may
    // be null). 1, or 0 for an empty photo or when memory runs out.
    int Reset(const mtxImage& photo, const uint8_t* protect = nullptr);

    // One stamp: the quad's corners in picture pixels, in the order (left,
    // top), (right, top), (left, bottom) (the fourth follows), the texture
    // coordinates at the left/right and top/bottom edges, the sample's alpha
    // (width x height bytes, rows top first) and the factor the stamp's alpha
    // is drawn with (the photo's alpha at the stamp, 0..1).
    void Stamp(const float corner[3][2], const float u[2], const float v[2], const uint8_t* alpha,
               int width, int height, float alphaScale);

    // The protect plane changed inside the photo's pixels x0..x1, y0..y1
    // (inclusive, clipped): the cells whose centre lies there count again
    // unless marked in protect (null: none is). A cell keeps whether stamps
    // covered it, so taking a mark back counts what lay there.
    void Protect(const uint8_t* protect, int x0, int y0, int x1, int y1);

    // The covered share of the counting cells, 0..1 (0 with none).
    double Coverage() const;
    int CellSize() const { return cell_; }

  private:
    enum Bits : uint8_t { kOpaque = 1, kCovered = 2, kProtected = 4 };
    static bool Counts(uint8_t state) { return (state & (kOpaque | kProtected)) == kOpaque; }

    int width_ = 0, height_ = 0;  // in cells
    int photoWidth_ = 0, photoHeight_ = 0;
    int cell_ = 1;                // cell side in pixels
    std::vector<uint8_t> state_;  // Bits of each cell
    int64_t counting_ = 0, covered_ = 0;
};
