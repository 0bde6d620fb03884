#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class mtxImage;

// Two painted planes of the photo's size that steer the Fine filling, one
// byte a pixel, rows top first, each optional:
// - protect: nonzero where no stamp may reach, so the background or the
//   photo shows there;
// - detail: kNeutral leaves the stamps' sizes alone; lighter asks for
//   smaller stamps (255: a quarter of the size), darker for larger ones (0:
//   four times the size), within the user's bounds.
// Whoever writes into a plane (a brush, a loaded file) calls MarkChanged with
// the rectangle it touched, which keeps the per-block counts the engine's
// quick tests read.
class mtxFillMaps {
  public:
    static constexpr uint8_t kNeutral = 128;
    static constexpr int kBlock = 16;           // pixels a side of the counted blocks
    static constexpr float kDetailOctaves = 2;  // size halvings from neutral to white
    enum Plane { kProtect, kDetail };

    // Both planes gone (the filling as if no map were painted).
    void Clear();
    // Makes a plane of width x height, all open or all neutral; the other
    // plane goes when it has another size. 1, or 0 for an empty size or when
    // memory runs out.
    int Create(Plane plane, int width, int height);
    void Drop(Plane plane);

    // A picture read as a plane, of the picture's size: protected where a
    // pixel is at least half opaque and darker than mid-grey; the detail is
    // the pixel's luma, drawn towards neutral as the pixel is transparent.
    // 1, or 0 when memory runs out.
    int FromPicture(Plane plane, const mtxImage& picture);

    bool Has(Plane plane) const { return !planes_[plane].empty(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The plane's bytes for painting, null without it. A brush stroke writes
    // here, then calls MarkChanged with the stroke's bounds.
    uint8_t* Data(Plane plane) { return Has(plane) ? planes_[plane].data() : nullptr; }
    const uint8_t* Data(Plane plane) const { return Has(plane) ? planes_[plane].data() : nullptr; }
    // Pixels x0..x1, y0..y1 (inclusive, clipped) of some plane were written.
    void MarkChanged(int x0, int y0, int x1, int y1);
    // Counts every change, so a reader can tell its copy is behind.
    uint64_t Revision() const { return revision_; }

    bool Protected(int x, int y) const {
        return Has(kProtect) && planes_[kProtect][Index(x, y)] != 0;
    }
    // Whether any pixel of x0..x1, y0..y1 (inclusive, clipped) is protected.
    bool AnyProtected(int x0, int y0, int x1, int y1) const;
    // Calls visit(x, y) for each protected pixel of x0..x1, y0..y1 (clipped)
    // until it returns true; true then.
    template <class Visit>
    bool FindProtected(int x0, int y0, int x1, int y1, Visit visit) const;

    // The factor the detail plane puts on stamp sizes at a pixel, 1/4..4; 1 without it.
    float SizeScale(int x, int y) const {
        return Has(kDetail) ? ScaleOf(planes_[kDetail][Index(x, y)]) : 1.0f;
    }
    static float ScaleOf(uint8_t level);
    // The smallest and largest factor of the whole plane (1 and 1 without it).
    void ScaleRange(float* smallest, float* largest) const;

  private:
    size_t Index(int x, int y) const { return size_t(y) * size_t(width_) + size_t(x); }
    bool Clip(int& x0, int& y0, int& x1, int& y1) const;
    int EnsureSize(int width, int height);

    int width_ = 0, height_ = 0;
    int blocksAcross_ = 0, blocksDown_ = 0;
    std::vector<uint8_t> planes_[2];
    std::vector<uint16_t> protectedIn_;  // protected pixels of each block
    uint64_t revision_ = 0;
};

template <class Visit>
bool mtxFillMaps::FindProtected(int x0, int y0, int x1, int y1, Visit visit) const {
    if (!Has(kProtect) || !Clip(x0, y0, x1, y1)) return false;
    for (int by = y0 / kBlock; by <= y1 / kBlock; ++by)
        for (int bx = x0 / kBlock; bx <= x1 / kBlock; ++bx) {
            if (protectedIn_[size_t(by) * size_t(blocksAcross_) + size_t(bx)] == 0) continue;
            const int top = std::max(y0, by * kBlock),
                      bottom = std::min(y1, by * kBlock + kBlock - 1);
            const int left = std::max(x0, bx * kBlock),
                      right = std::min(x1, bx * kBlock + kBlock - 1);
            for (int y = top; y <= bottom; ++y) {
                const uint8_t* row = &planes_[kProtect][Index(0, y)];
                for (int x = left; x <= right; ++x)
                    if (row[x] && visit(x, y)) return true;
            }
        }
    return false;
}
