#include "render/layers/layer_composer.h"

#include <algorithm>
#include <cmath>

#include "render/layers/device_draw.h"
#include "render/layers/viewer_layer.h"

mtxIEViewerComposer::mtxIEViewerComposer(mtxImageEditorDevice* owner) : editor(owner) {
    topBlend = editor->GetPixelShader(5164);
    normalBlend = editor->GetPixelShader(5150);
}

mtxIEViewerComposer::~mtxIEViewerComposer() {
    ReleaseDeviceResources();
}

void mtxIEViewerComposer::ReleaseDeviceResources() {
    for (IDirect3DTexture9** t : {&layerTarget, &resultTarget[0], &resultTarget[1]})
        if (*t) (*t)->Release(), *t = nullptr;
}

int mtxIEViewerComposer::MakeTargets() {
    IDirect3DDevice9* device = editor->GetDevice();
    if (!device) return 0;
    if (layerTarget && resultTarget[0] && resultTarget[1]) return 1;
    ReleaseDeviceResources();
    mtxDxScreenSize(&width, &height);
    for (IDirect3DTexture9** t : {&layerTarget, &resultTarget[0], &resultTarget[1]})
        if (FAILED(device->CreateTexture(uint32_t(width), uint32_t(height), 1,
                                         D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, t,
                                         nullptr))) {
            *t = nullptr;
            ReleaseDeviceResources();
            return 0;
        }
    return 1;
}

void mtxIEViewerComposer::BlendInto(IDirect3DSurface9* target, const RECT& rect,
                                    mtxIEPixelShader* blend, IDirect3DTexture9* below) {
    IDirect3DDevice9* device = editor->GetDevice();
    device->SetRenderTarget(0, target);
    D3DVIEWPORT9 viewport = {uint32_t(rect.left),
                             uint32_t(rect.top),
                             uint32_t(rect.right - rect.left),
                             uint32_t(rect.bottom - rect.top),
                             0.0f,
                             1.0f};
    device->SetViewport(&viewport);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(blend->shader);
    device->SetTexture(0, layerTarget);
    device->SetTexture(1, below);
    mtxViewDraw::DrawScreenRect(device, rect, width, height);
    device->SetTexture(0, nullptr);
    device->SetTexture(1, nullptr);
}

namespace {

bool MovesByWholePixels(const mtxIEViewerLayer& layer) {
    if (!layer.stackLayer) return true;
    const float* m = layer.stackLayer->transform;
    return m[0] == 1 && m[1] == 0 && m[3] == 0 && m[4] == 1 && m[6] == 0 && m[7] == 0 &&
           m[8] == 1 && m[2] == std::floor(m[2]) && m[5] == std::floor(m[5]);
}

}  // namespace

bool mtxIEViewerComposer::CanComposeDirectly(const std::vector<mtxIEViewerLayer*>& layers) {
    if (!allowDirect || drawTop || !normalBlend) return false;
    for (mtxIEViewerLayer* layer : layers)
        if (layer->blendShader != normalBlend) return false;
    return true;
}

// The normal blend is bg + a (src - bg) on colour with the result opaque over
// white: the device's SRCALPHA, INVSRCALPHA blending on red, green and blue,
// with the alpha of the white left as it is.
void mtxIEViewerComposer::ComposeDirectly(const std::vector<mtxIEViewerLayer*>& layers,
                                          const RECT& r, float originX, float originY) {
    IDirect3DDevice9* device = editor->GetDevice();
    device->Clear(1, &r, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0);
    uint32_t blending = 0;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blending);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED |
                                                       D3DCOLORWRITEENABLE_GREEN |
                                                       D3DCOLORWRITEENABLE_BLUE);
    // Texel centres land on pixel centres when every layer only moves by
    // whole pixels: then the nearest texel is what filtering would give, at
    // less cost.
    bool whole = originX == std::floor(originX) && originY == std::floor(originY);
    for (mtxIEViewerLayer* layer : layers) whole = whole && MovesByWholePixels(*layer);
    mtxViewDraw::SetSampling(device, 0, whole ? D3DTEXF_POINT : D3DTEXF_LINEAR, D3DTADDRESS_CLAMP);
    for (mtxIEViewerLayer* layer : layers) layer->Draw(originX, originY, r);
    mtxViewDraw::SetSampling(device, 0, D3DTEXF_POINT, D3DTADDRESS_WRAP);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, blending);
    device->SetTexture(0, nullptr);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
}

int mtxIEViewerComposer::Compose(const std::vector<mtxIEViewerLayer*>& layers, const RECT& rect,
                                 float originX, float originY) {
    IDirect3DDevice9* device = editor->GetDevice();
    if (!device || editor->lost || !topBlend || !MakeTargets()) return 0;
    for (mtxIEViewerLayer* layer : layers)
        if (!layer->blendShader) return 0;
    // Quads waiting in a layer's batch are drawn into its tiles before they show.
    for (mtxIEViewerLayer* layer : layers) layer->Flush();
    RECT r = rect;
    r.left = std::max(r.left, 0), r.top = std::max(r.top, 0);
    r.right = std::min(r.right, width), r.bottom = std::min(r.bottom, height);
    if (r.right <= r.left || r.bottom <= r.top) return 1;

    mtxViewDraw::TargetScope scope(editor);
    // Direct3D maps clip space onto the viewport, so with the viewport on r
    // the projection must take r, not the whole target, to clip space.
    const D3DMATRIX entryProjection = editor->projection;
    editor->projection = mtxImageEditorDevice::Projection(r.right - r.left, r.bottom - r.top);
    editor->projection.m[3][0] -= 2.0f * float(r.left) / float(r.right - r.left);
    editor->projection.m[3][1] += 2.0f * float(r.top) / float(r.bottom - r.top);
    device->SetTransform(D3DTS_PROJECTION, &editor->projection);
    D3DVIEWPORT9 viewport = {uint32_t(r.left),
                             uint32_t(r.top),
                             uint32_t(r.right - r.left),
                             uint32_t(r.bottom - r.top),
                             0.0f,
                             1.0f};
    if (CanComposeDirectly(layers)) {
        device->SetViewport(&viewport);
        ComposeDirectly(layers, r, originX, originY);
        editor->projection = entryProjection;
        return 1;
    }
    auto renderInto = [&](IDirect3DTexture9* texture) {
        mtxViewDraw::Level level(texture);
        device->SetRenderTarget(0, level.surface);
        device->SetViewport(&viewport);
    };

    renderInto(resultTarget[0]);
    device->Clear(1, &r, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0);
    current = 1;
    mtxViewDraw::SetSampling(device, 0, D3DTEXF_POINT, D3DTADDRESS_CLAMP);
    mtxViewDraw::SetSampling(device, 1, D3DTEXF_POINT, D3DTADDRESS_CLAMP);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);

    for (mtxIEViewerLayer* layer : layers) {
        renderInto(layerTarget);
        device->Clear(1, &r, D3DCLEAR_TARGET, 0, 1.0f, 0);
        mtxViewDraw::SetSampling(device, 0, D3DTEXF_LINEAR, D3DTADDRESS_CLAMP);
        layer->Draw(originX, originY, r);
        mtxViewDraw::SetSampling(device, 0, D3DTEXF_POINT, D3DTADDRESS_CLAMP);
        mtxViewDraw::Level level(resultTarget[current]);
        BlendInto(level.surface, r, layer->blendShader, resultTarget[1 - current]);
        current = 1 - current;
    }

    renderInto(layerTarget);
    device->Clear(1, &r, D3DCLEAR_TARGET, 0, 1.0f, 0);
    if (drawTop) {
        mtxViewDraw::SetSampling(device, 0, D3DTEXF_LINEAR, D3DTADDRESS_CLAMP);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_ALPHA);
        drawTop();
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        device->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED |
                                                           D3DCOLORWRITEENABLE_GREEN |
                                                           D3DCOLORWRITEENABLE_BLUE);
        drawTop();
        device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
        mtxViewDraw::SetSampling(device, 0, D3DTEXF_POINT, D3DTADDRESS_CLAMP);
    }
    BlendInto(scope.entry, r, topBlend, resultTarget[1 - current]);

    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    mtxViewDraw::SetSampling(device, 0, D3DTEXF_POINT, D3DTADDRESS_WRAP);
    mtxViewDraw::SetSampling(device, 1, D3DTEXF_POINT, D3DTADDRESS_WRAP);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    editor->projection = entryProjection;
    return 1;
}
