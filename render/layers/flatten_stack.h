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
