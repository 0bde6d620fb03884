#pragma once
#include "image/field.h"

// A stack layer's 3 x 3 transform: nine floats, row-major (a, b, c; d, e, f;
// g, h, i), taking layer coordinates to stack coordinates as TransformImage
// does: x' = (a x + b y + c) / (g x + h y + i), likewise y'. Coordinates are
// those of pixel corners (pixel (i, j) covers the unit square from (i, j)).
namespace mtxLayerTransform {

// (x, y) mapped; a point at infinity stays where it is.
void Map(const float m[9], float x, float y, float* outX, float* outY);
// The inverse by cofactors; 0 (out untouched) when the determinant is 0.
int Invert(const float m[9], float out[9]);
// The whole-pixel bounding box of the rectangle (x, y, width, height) mapped.
mtxRect MapBounds(const float m[9], int x, int y, int width, int height);
// m for the stack and its layers drawn sx times wider and sy times taller:
// what m maps (x, y) to, scaled, is what out maps (sx x, sy y) to. A move
// grows with the picture; a turn stays the same turn.
void Scaled(const float m[9], double sx, double sy, float out[9]);

}  // namespace mtxLayerTransform
