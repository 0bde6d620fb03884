#pragma once
#include <cstdint>

#include "image/image.h"

// Scaling and affine transformation of images. Colours are handled as four
// floats (the channel bytes / 255); results are scaled back by 255, rounded to
// nearest (ties to even) and packed. Destinations must already have their size;
// the destination pixels are replaced, never blended. Every function returns 1.

// Sampling modes of TransformImage; any other value writes transparent black.
enum : uint32_t { kSampleNearest = 0, kSampleBilinear = 1, kSampleBicubic = 2 };

// Fills clip (empty = the whole destination) of destination from source seen
// through matrix: nine floats, row-major (a, b, c; d, e, f; 0, 0, 1), mapping
// source to destination coordinates (x' = a x + b y + c, y' = d x + e y + f).
// A pixel (i, j) covers the unit square from (i, j); its centre is (i + .5, j + .5).
// A matrix whose 2 x 2 part holds only 0 and +-1 copies (nearest). A destination
// pixel whose preimage is larger than a source pixel is sampled by area (the mean
// of bilinear samples over it). Pixels whose centre maps outside the source come
// out transparent black (bilinear fades within half a pixel of the edge); so does
// all of clip when the matrix cannot be inverted.
int TransformImage(mtxImage& source, mtxImage& destination, const float matrix[9],
                   const mtxRect& clip, uint32_t mode);

// Fits the whole source into the whole destination. Enlargement is bicubic; a
// shrinking axis is box-filtered (each destination pixel the mean of the source
// pixels it covers).
int ScaleImage(mtxImage& source, mtxImage& destination);
// The part of the source scaled to fullWidth x fullHeight whose top left
// pixel is (left, top), destination's size, the same bytes ScaleImage gives
// those pixels: a piece of a picture too large to hold whole. 0 when the part
// reaches outside.
int ScaleImagePart(mtxImage& source, mtxImage& destination, int fullWidth, int fullHeight, int left,
                   int top);

// flags 0: ScaleImage. 4: scale to the destination's height (or the source's,
// when smaller) keeping the aspect ratio, then tile. 8: likewise by width.
// 12: tile the source as it is. Other bits are ignored.
int ResizeImage(mtxImage& source, mtxImage& destination, uint32_t flags);

// destination (x, y) = source (x mod w, y mod h). An empty source changes nothing.
int TileImage(mtxImage& source, mtxImage& destination);

// The channel bytes of c as red, green, blue, alpha, each / 255.
void mtxColorToFloats(mtxColor c, float out[4]);
