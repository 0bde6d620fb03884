#pragma once
// Helpers for the layer tests: an editor that tells its layers about device
// loss, device images from pixel lists, and the CPU reference of one stamp.
#include <cstdint>
#include <memory>
#include <vector>

#include "image/image_stack.h"
#include "render/image_dx.h"
#include "render/image_editor_device.h"
#include "render/layers/viewer_layer.h"
#include "tests/support/image_pixels.h"

namespace view_test {

// An editor (headless device) whose loss and reset reach the listed layers.
class LayerEditor : public mtxImageEditorDevice {
  public:
    std::vector<mtxIEViewerLayer*> layers;

  protected:
    void ReleaseDeviceResources() override {
        for (mtxIEViewerLayer* layer : layers) layer->ReleaseDeviceResources();
    }
    void RestoreDeviceResources() override {
        for (mtxIEViewerLayer* layer : layers) layer->RestoreDeviceResources();
    }
};

// The editor shared by a test program; the test fails when it has no device.
LayerEditor& Editor();

std::unique_ptr<mtxImageDx> MakeImage(int width, int height, const std::vector<uint32_t>& pixels);
using testing_support::PixelsOf;

// A square sample of edge pixels and its texture (managed pool).
struct Sample {
    int edge = 0;
    std::vector<uint32_t> pixels;
    IDirect3DTexture9* texture = nullptr;
    explicit Sample(int edge, uint32_t seed);
    ~Sample();
};

// A stamp as the filling engine makes it: a size x size square centred on the
// origin, turned by angle (radians) and moved to (x, y), with row vectors.
mtxIEViewerQuad Stamp(float x, float y, float size, float angle);

// Draws a stamp with shader 5372 (the sample's colours, alpha x alpha) into layer.
int DrawStamp(mtxIEViewerLayer& layer, const Sample& sample, const mtxIEViewerQuad& quad,
              float alpha);

// What DrawStamp does, on the CPU: for every pixel whose centre lies at least
// margin pixels inside the quad, the sample read bilinearly with clamping,
// alpha scaled and rounded to 8 bits, then laid over the picture by that
// alpha and rounded again (the device blends before rounding, so it may
// differ by one). Returns the pixels; inside[i] says
// which ones the stamp decides, outside[i] which lie at least margin pixels
// outside it (and so must not change).
std::vector<uint32_t> ReferenceStamp(const std::vector<uint32_t>& picture, int width, int height,
                                     const Sample& sample, const mtxIEViewerQuad& quad, float alpha,
                                     float margin, std::vector<uint8_t>* inside,
                                     std::vector<uint8_t>* outside);

}  // namespace view_test
