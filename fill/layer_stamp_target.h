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

  private:
    mtxImageEditorDevice& editor_;
    mtxIEViewerLayer& layer_;
};
