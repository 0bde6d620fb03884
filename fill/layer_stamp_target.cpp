#include "fill/layer_stamp_target.h"

#include "fill/sample_collection.h"
#include "render/image_editor_device.h"
#include "render/layers/viewer_layer.h"

int mtxLayerStampTarget::Width() const {
    return layer_.source ? layer_.source->width : 0;
}

int mtxLayerStampTarget::Height() const {
    return layer_.source ? layer_.source->height : 0;
}

int mtxLayerStampTarget::Draw(const mtxStamp& stamp, const SampleCollection& samples) {
    return drawing ? DrawNow(stamp, samples) : 1;
}

int mtxLayerStampTarget::DrawNow(const mtxStamp& stamp, const SampleCollection& samples) {
    mtxIEPixelShader* shader = editor_.GetPixelShader(stamp.shader);
    if (!editor_.GetDevice() || !shader || stamp.sample < 0 || stamp.sample >= samples.count)
        return 0;
    return layer_.DrawQuad(stamp.quad, shader, samples.samples[stamp.sample].texture, stamp.c0,
                           stamp.c1);
}

void mtxLayerStampTarget::Refresh() {
    if (!drawing) return;
    IDirect3DDevice9* device = editor_.GetDevice();
    if (device && device->TestCooperativeLevel() == D3D_OK) layer_.CommitTiles();
}
