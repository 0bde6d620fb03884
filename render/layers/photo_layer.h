#pragma once
#include <memory>

#include "image/image_stack.h"
#include "render/layers/viewer_layer.h"

class mtxImage;
class mtxImageDx;
class mtxImageEditorDevice;

// A picture on its own layer of the device, for drawing into it headless (a
// filling session, a drawing of a log again, batch work, benchmarks): a
// stack of one layer holding the picture in an image of the editor's device,
// and the viewer layer whose tiles draw into it. Opened once.
class mtxPhotoLayer {
  public:
    // A copy of photo, on the editor's device (started when it has none,
    // then put in its frame states). 1, or 0 when there is no device or no
    // memory for the image.
    int Open(mtxImageEditorDevice& editor, const mtxImage& photo);
    // image (of the editor's device) as the layer, as it is.
    void Open(mtxImageEditorDevice& editor, std::unique_ptr<mtxImageDx> image);

    mtxImageStack stack;
    std::unique_ptr<mtxIEViewerLayer> layer;
};
