#pragma once
#include <cstdint>
#include <vector>

#include "image/gradient.h"
#include "image/image.h"
#include "image/path_rasterizer.h"

// What fills a path: a list of paint entries, each blended in turn over the
// same outline, and the gradient that gradient entries use (its points are in
// image pixels; the path's transform does not move it). A new brush holds one
// entry: opaque black under the non-zero rule. Colours blend over the image
// with straight (unassociated) alpha, so a transparent image takes the colour
// with the coverage as its alpha.
class mtxImageBrush {
  public:
    // One paint entry (six words).
    struct Entry {
        uint32_t kind = kSolid;
        mtxColor color = 0xFF000000;  // the colour of a solid entry
        uint32_t fillRule = mtxPathRasterizer::kNonZero;
        uint32_t opacity = 255;  // scales the entry's alpha
        uint32_t reserved[2] = {};
    };
    enum : uint32_t { kSolid = 0, kGradient = 1 };

    mtxImageBrush();
    // One solid entry of this colour; the fill rule is kept.
    void SetColor(mtxColor color);
    // One entry that paints the gradient; the fill rule is kept.
    void UseGradient();
    // Sets the rule of every entry.
    void SetFillRule(uint32_t rule);

    std::vector<Entry> entries;
    mtxImageGradient gradient;
};

// What strokes a path. Disabled at construction.
class mtxImagePen {
  public:
    enum : uint32_t { kStyleButt = 0, kStyleRound = 1 };

    uint32_t enabled = 0;
    float width = 0.0f;           // lines are at least one pixel wide
    uint32_t style = kStyleButt;  // kStyleRound adds round caps and joins
    mtxImageBrush brush;
};

// A vector path of lines and cubic Beziers, filled with exact-area
// antialiasing or stroked, in image pixel coordinates through a 3 x 3
// transform.
class mtxImagePath {
  public:
    struct Point {
        float x = 0, y = 0;
        uint32_t kind = kMoveTo;
    };
    enum : uint32_t { kMoveTo = 0, kLineTo = 1, kBezierControl = 2, kBezierEnd = 3 };

    // The outline handed to the rasteriser: points in 26.6 fixed point (image
    // pixels x 64), contour end indices, a tag per point (1 on the curve, 2 a
    // cubic control point).
    struct Outline {
        std::vector<uint16_t> contourEnds;
        std::vector<int32_t> xs, ys;
        std::vector<uint8_t> tags;
        int32_t currentX = 0, currentY = 0;
    };
    enum : uint8_t { kTagOn = 1, kTagCubic = 2 };
    // Outline points are indexed by 16 bits; larger paths are split.
    static constexpr size_t kMaxOutlinePoints = 65535;
    // Transformed coordinates beyond this many pixels do not fit 26.6.
    static constexpr float kMaxCoordinate = 16777216.0f;

    mtxImagePath();

    // Starts a contour; a move-to right after a move-to replaces it.
    void MoveTo(float x, float y);
    void ResetPath() { MoveTo(0, 0); }
    void LineTo(float x, float y);
    // A cubic Bezier from the last point; nothing when all three points equal
    // the last point.
    void BezierTo(float cx1, float cy1, float cx2, float cy2, float x, float y);
    // A closed polygon: MoveTo the first point, LineTo the others.
    void AddPolygon(const Point* points, int count);
    // Forgets every point.
    void Clear();

    // x' = m[0][0] x + m[1][0] y + m[2][0], y' = m[0][1] x + m[1][1] y + m[2][1].
    void SetTransform(const float m[3][3]);
    void SetTranslate(float dx, float dy);

    // Fills the path into the image with the brush. 1 when done (an empty path
    // or one outside the image draws nothing and succeeds); 0 without drawing
    // when a transformed point is not a number or lies beyond the 26.6 range.
    int Fill(mtxImage& image);
    // When the pen is enabled, draws each line-to from the current point as a
    // line of the pen's width and style, its alpha scaled by value (0..255);
    // Bezier points are not stroked. 1 when done, 0 for points as in Fill.
    int Stroke(mtxImage& image, uint32_t value);

    // The outline pieces of the path as Fill builds them (each at most
    // kMaxOutlinePoints points). 0 for points as in Fill.
    int BuildOutlines(std::vector<Outline>& out) const;

    const std::vector<Point>& Points() const { return points_; }

    float tolerance = 0.0f;  // flattening tolerance in pixels; tiny values are floored
    float transform[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    mtxImageBrush brush;
    mtxImagePen pen;

  private:
    bool Transform(const Point& p, float& x, float& y) const;
    void AddOutline(const Outline& outline);
    void Paint(mtxImage& image, const mtxImageBrush& brush, uint32_t opacity);
    void AddStrokeSegment(float x0, float y0, float x1, float y1, float half, bool round);
    void AddDisc(float cx, float cy, float radius);

    std::vector<Point> points_;
    mtxPathRasterizer rasterizer_;
};
