#include "render/layers/device_draw.h"

namespace mtxViewDraw {

TargetScope::TargetScope(mtxImageEditorDevice* editor) : editor_(editor) {
    IDirect3DDevice9* device = editor->GetDevice();
    device->GetRenderTarget(0, &entry);
    device->GetViewport(&viewport_);
    projection_ = editor->projection;
}

TargetScope::~TargetScope() {
    IDirect3DDevice9* device = editor_->GetDevice();
    if (entry) {
        device->SetRenderTarget(0, entry);
        entry->Release();
    }
    device->SetViewport(&viewport_);
    device->SetTransform(D3DTS_PROJECTION, &projection_);
}

void SetProjection(mtxImageEditorDevice* editor, int width, int height) {
    D3DMATRIX m = mtxImageEditorDevice::Projection(width, height);
    editor->GetDevice()->SetTransform(D3DTS_PROJECTION, &m);
}

void DrawTexturedSquare(IDirect3DDevice9* device, int edge) {
    struct {
        float x, y, z, u, v;
    } quad[4];
    const float l = -0.5f, r = float(edge) - 0.5f;
    for (int i = 0; i < 4; ++i)
        quad[i] = {(i & 1) ? r : l, (i & 2) ? r : l, 100.0f, (i & 1) ? 1.0f : 0.0f,
                   (i & 2) ? 1.0f : 0.0f};
    device->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]);
}

void DrawScreenRect(IDirect3DDevice9* device, const RECT& rect, int width, int height) {
    Vertex quad[4];
    for (int i = 0; i < 4; ++i) {
        float x = float((i & 1) ? rect.right : rect.left);
        float y = float((i & 2) ? rect.bottom : rect.top);
        quad[i] = {x - 0.5f, y - 0.5f, 100.0f, 0xFFFFFFFFu, x / float(width), y / float(height)};
    }
    device->SetFVF(kVertexFormat);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
}

void SetSampling(IDirect3DDevice9* device, uint32_t stage, uint32_t filter, uint32_t address) {
    device->SetSamplerState(stage, D3DSAMP_MINFILTER, filter);
    device->SetSamplerState(stage, D3DSAMP_MAGFILTER, filter);
    device->SetSamplerState(stage, D3DSAMP_ADDRESSU, address);
    device->SetSamplerState(stage, D3DSAMP_ADDRESSV, address);
}

}  // namespace mtxViewDraw
