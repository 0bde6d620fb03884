#pragma once
#include <cstdint>

// A textured quad drawn into a layer (DrawQuad): the rectangle (left, top) to
// (right, bottom), its texture coordinates at the left and right edges (u) and
// at the top and bottom edges (v), and a projective 3 x 3 transform for row
// vectors into layer pixels: (x, y, 1) x transform = (X, Y, W), and the corner
// lands on (X / W, Y / W). Layer pixel (i, j) has its centre at (i, j).
struct mtxIEViewerQuad {
    float left = 0.0f, top = 0.0f, right = 1.0f, bottom = 1.0f;
    float u[2] = {0.0f, 1.0f};
    float v[2] = {0.0f, 1.0f};
    float transform[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

    // Corner i of the triangle strip (0 left top, 1 right top, 2 left bottom,
    // 3 right bottom) in layer pixels. 0 when it lies at infinity or is not a
    // number.
    int Corner(int i, float* x, float* y) const;
};
