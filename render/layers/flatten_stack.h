#pragma once
#include "image/image.h"
#include "image/image_stack.h"

// The picture for saving, from the images in memory (commit the layers' tiles
// first): destination becomes the stack's size, filled with its fill colour,
// and every layer, from the bottom, is drawn through its transform (bicubic)
// and laid over it with its opacity. The over operator weighs what lies below
// by its own alpha, so a layer over a transparent destination keeps its
// colours. Blend modes and the vector layer do not enter. Returns 1, also for
// an empty stack; 0 when the destination or the work image cannot be made.
int FlattenStack(mtxImageStack& stack, mtxImage& destination);

// Lays overlay (the destination's size; anything else is refused with 0) over
// destination as FlattenStack lays a layer of full opacity at the identity:
// the relief light's shade goes over the flattened picture so. 1 on success.
int LayImageOver(mtxImage& destination, mtxImage& overlay);
