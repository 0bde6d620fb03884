#pragma once
#include <string>

#include "image/image.h"
#include "image/image_stack.h"
#include "render/layers/relief_light.h"

class mtxImageEditorDevice;

// The picture as the viewer shows a stack, which is what Save writes and what
// an export draws at its own size: the layers flattened through their
// transforms (FlattenStack) and, with the light on, its shade laid over them.
// shade, when given, is the light's shade of this very stack, already
// rendered for the screen; otherwise it is rendered on editor's device.
// 1 with the picture in out; 0 with why in error when the stack cannot be
// flattened or the shade is neither given nor can be rendered.
int mtxComposeShown(mtxImageStack& stack, const mtxReliefLight& light, mtxImageEditorDevice* editor,
                    mtxImage& out, std::string& error, mtxImage* shade = nullptr);
