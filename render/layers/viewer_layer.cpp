#include "render/layers/viewer_layer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/layers/device_draw.h"
#include "render/layers/layer_transform.h"
#include "render/layers/viewer_tile.h"

namespace {

// floor(a / b) for b > 0, so pixel -1 lies in column -1, not 0.
int FloorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// A float pixel coordinate as an int, kept far from overflow.
int Whole(float value, bool up) {
    float v = std::clamp(up ? std::ceil(value) : std::floor(value), -1.0e9f, 1.0e9f);
    return int(v);
}

}  // namespace

mtxIEViewerLayer::mtxIEViewerLayer(mtxImageEditorDevice* owner) : editor(owner) {
    blendShader = editor->GetPixelShader(5150);
    viewVertex = editor->GetVertexShader(5250);
    viewPixel = editor->GetPixelShader(5251);
    extraShaders[0] = editor->GetPixelShader(5050);
    extraShaders[1] = editor->GetPixelShader(5052);
    plainVertex_ = editor->GetVertexShader(5066);
    sampleOver_ = editor->GetPixelShader(5067);
    heightToNormal_ = editor->GetPixelShader(5200);
}

mtxIEViewerLayer::~mtxIEViewerLayer() = default;

void mtxIEViewerLayer::ReleaseDeviceResources() {
    // Committed first: textures of the default pool do not survive a reset,
    // and what was drawn into them must not go with them.
    CommitTiles();
    for (auto& tile : tiles) tile->ReleaseTextures();
}

void mtxIEViewerLayer::SetSource(mtxImageStack::Layer* layer) {
    // The viewer shows its stack again after every change of the stack; a
    // layer that still shows the same image keeps its tiles and what was
    // drawn into them.
    if (layer && layer == stackLayer && layer->source.get() == source && source && !tiles.empty() &&
        columns == (source->width + kTileStep - 1) / kTileStep &&
        rows == (source->height + kTileStep - 1) / kTileStep) {
        textureImage = layer->texture.get();
        return;
    }
    tiles.clear();
    stackLayer = layer;
    source = layer ? layer->source.get() : nullptr;
    textureImage = layer ? layer->texture.get() : nullptr;
    int width = source ? source->width : 0, height = source ? source->height : 0;
    columns = width > 0 ? (width + kTileStep - 1) / kTileStep : 0;
    rows = height > 0 ? (height + kTileStep - 1) / kTileStep : 0;
    tiles.reserve(size_t(columns) * size_t(rows));
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            int x = column * kTileStep, y = row * kTileStep;
            tiles.push_back(std::make_unique<Tile>(this, x, y, std::min(kTileStep, width - x),
                                                   std::min(kTileStep, height - y)));
        }
}

mtxIEViewerLayer::Tile* mtxIEViewerLayer::GetTile(int column, int row) {
    if (column < 0 || row < 0 || column >= columns || row >= rows) return nullptr;
    return tiles[size_t(row) * size_t(columns) + size_t(column)].get();
}

int mtxIEViewerLayer::DirtyTileCount() const {
    int count = 0;
    for (const auto& tile : tiles) count += tile->dirty ? 1 : 0;
    return count;
}

int mtxIEViewerLayer::DrawQuad(const mtxIEViewerQuad& quad, mtxIEPixelShader* pixelShader,
                               const float c0[4], const float c1[4]) {
    IDirect3DDevice9* device = editor->GetDevice();
    if (!device || editor->lost || !pixelShader || !plainVertex_ || !sampleOver_) return 0;
    float x[4], y[4];
    for (int i = 0; i < 4; ++i)
        if (!quad.Corner(i, &x[i], &y[i])) return 0;
    if (tiles.empty()) return 1;

    // The tiles whose pixels the quad's bounding box reaches.
    int left = Whole(*std::min_element(x, x + 4), false);
    int right = Whole(*std::max_element(x, x + 4), true);
    int top = Whole(*std::min_element(y, y + 4), false);
    int bottom = Whole(*std::max_element(y, y + 4), true);
    int column0 = FloorDiv(left - bandLeft, kTileStep);
    int column1 = FloorDiv(right - bandLeft, kTileStep);
    int row0 = FloorDiv(top - bandTop, kTileStep), row1 = FloorDiv(bottom - bandTop, kTileStep);
    if (column1 < 0 || row1 < 0 || column0 >= columns || row0 >= rows) return 1;
    column0 = std::max(column0, 0), row0 = std::max(row0, 0);
    column1 = std::min(column1, columns - 1), row1 = std::min(row1, rows - 1);

    mtxViewDraw::TargetScope scope(editor);
    int result = 1;
    for (int row = row0; row <= row1; ++row)
        for (int column = column0; column <= column1; ++column)
            if (!DrawIntoTile(*GetTile(column, row), x, y, quad, pixelShader, c0, c1)) result = 0;
    device->SetVertexShader(nullptr);
    device->SetTexture(2, nullptr);
    device->SetTexture(3, nullptr);
    return result;
}

RECT mtxIEViewerLayer::Reach(const float x[4], const float y[4], float ox, float oy) {
    // A texel more on each side than the corners span: rasterising and
    // linear filtering never reach beyond it.
    auto low = [](float v) { return std::clamp(int(std::floor(v)) - 1, 0, kTextureEdge); };
    auto high = [](float v) { return std::clamp(int(std::ceil(v)) + 2, 0, kTextureEdge); };
    RECT r;
    r.left = low(*std::min_element(x, x + 4) - ox);
    r.top = low(*std::min_element(y, y + 4) - oy);
    r.right = std::max<int32_t>(high(*std::max_element(x, x + 4) - ox), r.left);
    r.bottom = std::max<int32_t>(high(*std::max_element(y, y + 4) - oy), r.top);
    return r;
}

int mtxIEViewerLayer::DrawIntoTile(Tile& tile, const float x[4], const float y[4],
                                   const mtxIEViewerQuad& quad, mtxIEPixelShader* pixelShader,
                                   const float c0[4], const float c1[4]) {
    IDirect3DDevice9* device = editor->GetDevice();
    if (!tile.color && !tile.Upload(Tile::kSource)) {
        // A tile that holds no picture must never be committed.
        editor->ReleaseTexture(mtxImageEditorDevice::kPoolColor, tile.color);
        tile.color = nullptr;
        repaintWanted = 1;
        return 0;
    }
    IDirect3DTexture9* scratch = editor->AcquireTexture(mtxImageEditorDevice::kPoolColor);
    IDirect3DTexture9* blended = editor->AcquireTexture(mtxImageEditorDevice::kPoolColor);
    if (!scratch || !blended) {
        editor->ReleaseTexture(mtxImageEditorDevice::kPoolColor, scratch);
        editor->ReleaseTexture(mtxImageEditorDevice::kPoolColor, blended);
        repaintWanted = 1;
        return 0;
    }
    const D3DMATRIX projection = mtxImageEditorDevice::Projection(kTextureEdge, kTextureEdge);
    const float ox = float(bandLeft + tile.x - 1), oy = float(bandTop + tile.y - 1);
    // Both passes touch only the texels the quad may reach: outside them the
    // scratch stays transparent, where the blend would give the tile back.
    const RECT reach = Reach(x, y, ox, oy);

    // Pass 1: the quad alone into the cleared scratch texture. Its corners are
    // taken relative to texel (0, 0), which shows pixel (x - 1, y - 1).
    mtxViewDraw::SetSampling(device, 0, D3DTEXF_LINEAR, D3DTADDRESS_CLAMP);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    {
        mtxViewDraw::Level level(scratch);
        device->SetRenderTarget(0, level.surface);
    }
    device->SetScissorRect(&reach);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 1);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    mtxViewDraw::Vertex strip[4];
    for (int i = 0; i < 4; ++i)
        strip[i] = {x[i] - ox, y[i] - oy, 100.0f, 0xFFFFFFFFu, quad.u[i & 1], quad.v[i >> 1]};
    device->SetFVF(mtxViewDraw::kVertexFormat);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(pixelShader->shader);
    device->SetPixelShaderConstantF(0, c0, 1);
    device->SetPixelShaderConstantF(1, c1, 1);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(mtxViewDraw::Vertex));

    // Pass 2: blended = lerp(tile, (scratch.rgb, 1), scratch.a), texel for
    // texel, where the quad reaches; elsewhere blended is the tile's copy.
    mtxViewDraw::SetSampling(device, 0, D3DTEXF_POINT, D3DTADDRESS_WRAP);
    mtxViewDraw::SetSampling(device, 2, D3DTEXF_POINT, D3DTADDRESS_WRAP);
    mtxViewDraw::SetSampling(device, 3, D3DTEXF_POINT, D3DTADDRESS_WRAP);
    {
        mtxViewDraw::Level level(blended);
        mtxViewDraw::Level from(tile.color);
        if (FAILED(device->StretchRect(from.surface, nullptr, level.surface, nullptr,
                                       D3DTEXF_POINT))) {
            device->SetRenderState(D3DRS_SCISSORTESTENABLE, 0);
            editor->ReleaseTexture(mtxImageEditorDevice::kPoolColor, scratch);
            editor->ReleaseTexture(mtxImageEditorDevice::kPoolColor, blended);
            repaintWanted = 1;
            return 0;
        }
        device->SetRenderTarget(0, level.surface);
    }
    device->SetScissorRect(&reach);
    device->SetTexture(2, tile.color);
    device->SetTexture(3, scratch);
    device->SetVertexShader(plainVertex_->shader);
    float constants[8][4] = {};
    std::memcpy(constants, projection.m, sizeof projection.m);
    for (int i = 0; i < 4; ++i) constants[4 + i][i] = 1.0f;
    device->SetVertexShaderConstantF(0, &constants[0][0], 8);
    device->SetPixelShader(sampleOver_->shader);
    const float l = -0.5f, r = float(kTextureEdge) - 0.5f;
    mtxViewDraw::Vertex full[4];
    for (int i = 0; i < 4; ++i)
        full[i] = {(i & 1) ? r : l, (i & 2) ? r : l, 100.0f,
                   0xFFFFFFFFu,     float(i & 1),    float(i >> 1)};
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, full, sizeof(mtxViewDraw::Vertex));
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 0);

    device->SetTexture(2, nullptr);
    device->SetTexture(3, nullptr);
    editor->ReleaseTexture(mtxImageEditorDevice::kPoolColor, scratch);
    editor->ReleaseTexture(mtxImageEditorDevice::kPoolColor, tile.color);
    tile.color = blended;
    tile.dirty = 1;
    return 1;
}

int mtxIEViewerLayer::ReadBackTile(Tile& tile) {
    IDirect3DDevice9* device = editor->GetDevice();
    if (!readBack_) {
        readBack_ = std::make_unique<mtxImageDx>(device);
        if (!readBack_->Create(kTextureEdge, kTextureEdge, 0)) {
            readBack_.reset();
            return 0;
        }
    }
    mtxViewDraw::Level level(tile.color);
    IDirect3DSurface9* memory = readBack_->GetSurface();
    if (!level.surface || FAILED(device->GetRenderTargetData(level.surface, memory))) return 0;
    if (!readBack_->Lock()) return 0;
    // Only the tile's own pixels: its border copies a neighbour's pixels as
    // they were at upload, and that neighbour may have been drawn into since.
    for (int j = 0; j < tile.height; ++j)
        std::memcpy(source->Row(tile.y + j) + tile.x, readBack_->Row(1 + j) + 1,
                    size_t(tile.width) * sizeof(mtxColor));
    readBack_->Unlock();
    return 1;
}

int mtxIEViewerLayer::CommitTiles() {
    if (!source || !editor->GetDevice()) return 0;
    if (DirtyTileCount() == 0) return 1;
    if (!source->Lock()) return 0;
    int result = 1;
    for (auto& tile : tiles) {
        if (!tile->dirty || !tile->color) continue;
        if (ReadBackTile(*tile))
            tile->dirty = 0;
        else
            result = 0;
    }
    source->Unlock();
    return result;
}

int mtxIEViewerLayer::UploadChanges() {
    if (!stackLayer) return 1;
    int result = 1;
    for (const auto& change : stackLayer->viewerData) {
        Tile* tile = GetTile(change.column, change.row);
        if (!tile) continue;
        if (!tile->Upload(int(change.kind))) {
            result = 0;
            continue;
        }
        if (change.kind == Tile::kSource) tile->dirty = 0;
    }
    stackLayer->viewerData.clear();
    return result;
}

int mtxIEViewerLayer::UploadVisible(const mtxRect& visible) {
    if (!stackLayer) return 1;
    IDirect3DDevice9* device = editor->GetDevice();
    if (!device) return 0;
    uint32_t zwrite = 0, blend = 0;
    device->GetRenderState(D3DRS_ZWRITEENABLE, &zwrite);
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    int result = 1;
    for (auto& tile : tiles) {
        if (tile->color) continue;
        mtxRect box = mtxLayerTransform::MapBounds(stackLayer->transform, tile->x, tile->y,
                                                   tile->width, tile->height);
        if (box.right <= visible.left || box.left >= visible.right || box.bottom <= visible.top ||
            box.top >= visible.bottom)
            continue;
        if (!tile->Upload(Tile::kSource)) result = 0;
    }
    device->SetRenderState(D3DRS_ZWRITEENABLE, zwrite);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
    return result;
}

int mtxIEViewerLayer::MakeNormalTextures() {
    int result = 1;
    for (auto& tile : tiles)
        if (tile->color && !tile->MakeNormalTexture(heightToNormal_)) result = 0;
    return result;
}

void mtxIEViewerLayer::Draw(float originX, float originY) {
    IDirect3DDevice9* device = editor->GetDevice();
    if (!device || !stackLayer || !viewVertex || !viewPixel) return;
    const float* m = stackLayer->transform;
    device->SetVertexShader(viewVertex->shader);
    device->SetPixelShader(viewPixel->shader);
    float vs[5][4] = {{200.0f, 200.0f, -200.0f, 1.0f}};
    std::memcpy(&vs[1][0], editor->projection.m, sizeof editor->projection.m);
    device->SetVertexShaderConstantF(0, &vs[0][0], 5);
    // The viewing shaders of this program do not read these; they carry the
    // stack's centre in layer pixels for shaders that would.
    float inverse[9];
    float ps[3][4] = {{0, 0, 0, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}};
    if (mtxLayerTransform::Invert(m, inverse)) {
        float cx = 0, cy = 0;
        mtxLayerTransform::Map(inverse, stackLayer->stack ? stackLayer->stack->centreX : 0.0f,
                               stackLayer->stack ? stackLayer->stack->centreY : 0.0f, &cx, &cy);
        ps[0][0] = cx, ps[0][1] = cy;
    }
    device->SetPixelShaderConstantF(0, &ps[0][0], 3);
    device->SetFVF(mtxViewDraw::kVertexFormat);
    const float edge = float(kTextureEdge);
    // The viewing shader weighs the texture's alpha by the vertex alpha: the
    // layer's opacity, as the flattened picture weighs it.
    const uint32_t color = (uint32_t(stackLayer->Opacity()) << 24) | 0x00FFFFFFu;
    for (auto& tile : tiles) {
        if (!tile->color) continue;
        device->SetTexture(0, tile->color);
        mtxViewDraw::Vertex strip[4];
        for (int i = 0; i < 4; ++i) {
            // The transform works on pixel corners (a pixel's centre at +0.5,
            // as for TransformImage); the device puts centres on integers.
            float px = float(tile->x + ((i & 1) ? tile->width : 0));
            float py = float(tile->y + ((i & 2) ? tile->height : 0));
            float sx = 0, sy = 0;
            mtxLayerTransform::Map(m, px, py, &sx, &sy);
            strip[i] = {sx - 0.5f + originX,
                        sy - 0.5f + originY,
                        100.0f,
                        color,
                        float(1 + ((i & 1) ? tile->width : 0)) / edge,
                        float(1 + ((i & 2) ? tile->height : 0)) / edge};
        }
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(mtxViewDraw::Vertex));
    }
    device->SetTexture(0, nullptr);
}
