#pragma once
#include "fill/fill_engine.h"

class mtxIEViewerLayer;
class mtxImageEditorDevice;

// The result layer on the device as the engine's target: each stamp is one
// quad drawn through the layer's DrawQuad with the sample's texture on stage
// 0 and the recolouring or plain shader.
class mtxLayerStampTarget : public mtxStampTarget {
  public:
    mtxLayerStampTarget(mtxImageEditorDevice& editor, mtxIEViewerLayer& layer)
        : editor_(editor), layer_(layer) {}

    int Width() const override;
    int Height() const override;
    int Draw(const mtxStamp& stamp, const SampleCollection& samples) override;
    // Commits the drawn tiles into the layer's image while the device is usable.
    void Refresh() override;

    // Draws whatever drawing says.
    int DrawNow(const mtxStamp& stamp, const SampleCollection& samples);

    // Off while the engine places stamps on a thread without the device:
    // Draw then draws nothing and succeeds, and Refresh does nothing (the
    // thread that draws the stamps commits them).
    bool drawing = true;

  private:
    mtxImageEditorDevice& editor_;
    mtxIEViewerLayer& layer_;
};
