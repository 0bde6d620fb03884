#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "image/field.h"

// Exact-area antialiasing of closed outlines. Edges are collected in pixel
// coordinates (pixel (i, j) is the unit square from (i, j)); rendering sums,
// for every pixel inside the clip rectangle, the signed area of the outline
// over it (trapezoids swept by each edge, accumulated along the row) and turns
// that winding area into coverage by the fill rule. Edges outside the clip cost
// nothing but their walk; the clip is worked in bands so memory stays small.
class mtxPathRasterizer {
  public:
    enum FillRule : uint32_t { kNonZero = 0, kEvenOdd = 1 };

    // Forgets the edges and sets the rectangle that coverage is computed for.
    void Reset(const mtxRect& clip);
    // One directed edge. Non-finite coordinates are ignored.
    void AddLine(float x0, float y0, float x1, float y1);
    // A cubic Bezier as lines, at most tolerance pixels from the curve
    // (tolerances below 0.02 are taken as 0.02; at most 1024 lines a curve).
    void AddCubic(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3,
                  float tolerance);

    // Coverage 0..1 of one row: x runs from left, count pixels.
    using RowFunction = std::function<void(int y, int left, int count, const float* coverage)>;
    // Calls row for every row of the clip that the edges' bounds reach, top to
    // bottom, with coverage by rule.
    void Render(FillRule rule, const RowFunction& row);
    // The signed winding area of every pixel of the clip, row by row (before
    // any fill rule; positive inside outlines that run clockwise on the
    // screen): what Render's coverage is made from.
    void WindingAreas(std::vector<float>& out);

    size_t EdgeCount() const { return edges_.size(); }

  private:
    struct Edge {
        float x0, y0, x1, y1;
    };
    // Bounds of the edges within the clip: false when nothing can be covered.
    bool Span(mtxRect& out) const;
    void AccumulateBand(int left, int top, int width, int rows);
    void AddClippedLine(float x0, float y0, float x1, float y1, int width, int rows);
    void AddRowLine(float x0, float y0, float x1, float y1, int width);

    mtxRect clip_;
    std::vector<Edge> edges_;
    float minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
    std::vector<float> cells_;  // one band: rows x (width + 2)
    std::vector<float> coverage_;
    int stride_ = 0;
};
