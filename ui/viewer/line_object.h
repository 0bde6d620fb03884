#pragma once
#include <cstdint>
#include <vector>

#include "platform/device.h"

// A vector line object of the viewer's vector layer: a shape code and its
// control points in picture pixels, and whether it is selected. The editing
// tools that make and change such objects come later; this record holds what
// the clipboard carries and draws it.
class mtxIELineObject {
  public:
    static constexpr uint32_t kBezier = 3;  // a cubic Bezier through four points

    // The number of points a shape carries: four for a Bezier, two otherwise.
    static int PointCount(uint32_t shape) { return shape == kBezier ? 4 : 2; }

    mtxIELineObject() = default;
    // points holds PointCount(shape) entries.
    mtxIELineObject(uint32_t shape, const POINT* points);

    // The line as drawn: the flattened curve for a Bezier, the straight
    // segment for every other shape (the other curve shapes come with the
    // editing tools).
    std::vector<POINT> Outline() const;
    // The pixels the outline passes through: right and bottom exclusive.
    RECT Bounds() const { return BoundsOf(Outline()); }
    // Draws the outline as an anti-aliased poly-line with picture pixel (0, 0)
    // at origin (target pixels), and, when selected, the selection rectangle:
    // a closed strip from the bounds' (left, top) to (right - 1, bottom - 1).
    // 0 without a device or when the device refuses a draw.
    int Draw(IDirect3DDevice9* device, POINT origin, uint32_t color) const;

    uint32_t shape = 0;
    std::vector<POINT> points;  // two, or four for a Bezier
    bool selected = false;

  private:
    static RECT BoundsOf(const std::vector<POINT>& outline);
};
