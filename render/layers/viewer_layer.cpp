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
    heightToNormal_ = editor->GetPixelShader(5200);
    oneStamp_[0] = editor->GetPixelShader(5357), manyStamps_[0] = editor->GetPixelShader(5373);
    oneStamp_[1] = editor->GetPixelShader(5372), manyStamps_[1] = editor->GetPixelShader(5374);
    stampsVertex_ = editor->GetVertexShader(5375);
}

mtxIEViewerLayer::~mtxIEViewerLayer() = default;

void mtxIEViewerLayer::ReleaseDeviceResources() {
    Flush();
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
    waiting_.clear();
    batchOpen_ = false;
    clipped_ = false;
    pieces_.clear(), pieceTile_.clear(), tilePiece_.clear();
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

// A sample laid over the tile by its alpha: colour = lerp(tile, sample,
// sample.a), alpha = lerp(tile.a, 1, sample.a), blended as it is drawn. The
// caller's blending comes back at the end.
mtxIEViewerLayer::SampleOver::SampleOver(IDirect3DDevice9* device) : device_(device) {
    for (int i = 0; i < 4; ++i) device->GetRenderState(kStates[i], &saved_[i]);
    mtxViewDraw::SetSampling(device, 0, D3DTEXF_LINEAR, D3DTADDRESS_CLAMP);
    device->SetFVF(mtxViewDraw::kVertexFormat);
    device->SetVertexShader(nullptr);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLENDALPHA, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLENDALPHA, D3DBLEND_INVSRCALPHA);
}

mtxIEViewerLayer::SampleOver::~SampleOver() {
    device_->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, 0);
    device_->SetRenderState(D3DRS_SRCBLENDALPHA, D3DBLEND_ONE);
    device_->SetRenderState(D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO);
    for (int i = 0; i < 4; ++i) device_->SetRenderState(kStates[i], saved_[i]);
    device_->SetPixelShader(nullptr);
    mtxViewDraw::SetSampling(device_, 0, D3DTEXF_POINT, D3DTADDRESS_WRAP);
}

// Clipping.

namespace {

bool Overlap(const mtxRect& a, const mtxRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

mtxRect Intersection(const mtxRect& a, const mtxRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

mtxRect Union(const mtxRect& a, const mtxRect& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

// Joins overlapping rectangles into the rectangle holding both until none
// overlap (a join may reach a third).
void JoinOverlapping(std::vector<mtxRect>& rects) {
    for (bool joined = true; joined;) {
        joined = false;
        for (size_t i = 0; i < rects.size(); ++i)
            for (size_t j = i + 1; j < rects.size();) {
                if (!Overlap(rects[i], rects[j])) {
                    ++j;
                    continue;
                }
                rects[i] = Union(rects[i], rects[j]);
                rects[j] = rects.back();
                rects.pop_back();
                joined = true;
            }
    }
}

}  // namespace

void mtxIEViewerLayer::SetClip(const std::vector<mtxRect>& pixels) {
    Flush();
    clipped_ = true;
    pieces_.clear();
    pieceTile_.clear();
    tilePiece_.assign(tiles.size() + 1, 0);
    std::vector<std::vector<mtxRect>> byTile(tiles.size());
    for (const mtxRect& rect : pixels) {
        if (rect.IsEmpty()) continue;
        const int c0 = std::max(0, FloorDiv(rect.left - bandLeft, kTileStep));
        const int c1 = std::min(columns - 1, FloorDiv(rect.right - 1 - bandLeft, kTileStep));
        const int r0 = std::max(0, FloorDiv(rect.top - bandTop, kTileStep));
        const int r1 = std::min(rows - 1, FloorDiv(rect.bottom - 1 - bandTop, kTileStep));
        for (int row = r0; row <= r1; ++row)
            for (int column = c0; column <= c1; ++column) {
                const Tile& tile = *tiles[size_t(row) * size_t(columns) + size_t(column)];
                const mtxRect own = {bandLeft + tile.x, bandTop + tile.y,
                                     bandLeft + tile.x + tile.width,
                                     bandTop + tile.y + tile.height};
                const mtxRect piece = Intersection(rect, own);
                if (!piece.IsEmpty())
                    byTile[size_t(row) * size_t(columns) + size_t(column)].push_back(piece);
            }
    }
    for (size_t k = 0; k < byTile.size(); ++k) {
        JoinOverlapping(byTile[k]);
        tilePiece_[k] = uint32_t(pieces_.size());
        pieces_.insert(pieces_.end(), byTile[k].begin(), byTile[k].end());
        pieceTile_.insert(pieceTile_.end(), byTile[k].size(), int(k));
    }
    tilePiece_[byTile.size()] = uint32_t(pieces_.size());
}

void mtxIEViewerLayer::ClearClip() {
    Flush();
    clipped_ = false;
    pieces_.clear();
    pieceTile_.clear();
    tilePiece_.clear();
}

template <class Visit>
void mtxIEViewerLayer::ForEachPart(int tile, const mtxRect& pixels, Visit visit) const {
    if (!clipped_) {
        visit(-1);
        return;
    }
    for (uint32_t p = tilePiece_[size_t(tile)]; p < tilePiece_[size_t(tile) + 1]; ++p)
        if (Overlap(pieces_[p], pixels) && !visit(int(p))) return;
}

bool mtxIEViewerLayer::ClipReaches(const mtxRect& pixels) const {
    if (!clipped_) return true;
    if (pixels.IsEmpty() || tiles.empty()) return false;
    const int c0 = std::max(0, FloorDiv(pixels.left - bandLeft, kTileStep));
    const int c1 = std::min(columns - 1, FloorDiv(pixels.right - 1 - bandLeft, kTileStep));
    const int r0 = std::max(0, FloorDiv(pixels.top - bandTop, kTileStep));
    const int r1 = std::min(rows - 1, FloorDiv(pixels.bottom - 1 - bandTop, kTileStep));
    bool reached = false;
    for (int row = r0; row <= r1 && !reached; ++row)
        for (int column = c0; column <= c1 && !reached; ++column)
            ForEachPart(row * columns + column, pixels, [&](int) { return !(reached = true); });
    return reached;
}

void mtxIEViewerLayer::ScissorTo(const Tile& tile, int piece) {
    if (piece < 0) return;
    IDirect3DDevice9* device = editor->GetDevice();
    // Texel (0, 0) shows pixel (x - 1, y - 1).
    const mtxRect& p = pieces_[size_t(piece)];
    const int ox = bandLeft + tile.x - 1, oy = bandTop + tile.y - 1;
    const RECT texels = {p.left - ox, p.top - oy, p.right - ox, p.bottom - oy};
    device->SetScissorRect(&texels);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 1);
}

int mtxIEViewerLayer::UploadClip() {
    Flush();
    int result = 1;
    for (size_t p = 0; p < pieces_.size(); ++p) {
        Tile& tile = *tiles[size_t(pieceTile_[p])];
        const mtxRect& piece = pieces_[p];
        const mtxRect own = {piece.left - bandLeft, piece.top - bandTop, piece.right - bandLeft,
                             piece.bottom - bandTop};
        if (!tile.UploadPart(own)) result = 0;
    }
    return result;
}

// Drawing.

int mtxIEViewerLayer::DrawQuad(const mtxIEViewerQuad& quad, mtxIEPixelShader* pixelShader,
                               const float c0[4], const float c1[4]) {
    IDirect3DDevice9* device = editor->GetDevice();
    if (!device || editor->lost || !pixelShader) return 0;
    // What waits in a batch was placed before this quad and lies below it.
    int result = Flush();
    Waiting placed = {};
    if (!Place(quad, pixelShader, nullptr, c0, c1, placed)) return 0;
    if (placed.column0 > placed.column1 || placed.row0 > placed.row1) return result;

    mtxViewDraw::TargetScope scope(editor);
    SampleOver over(device);
    for (int row = placed.row0; row <= placed.row1; ++row)
        for (int column = placed.column0; column <= placed.column1; ++column) {
            Tile& tile = *GetTile(column, row);
            bool bound = false;
            ForEachPart(row * columns + column, placed.pixels, [&](int piece) {
                if (!bound && !(bound = BindTile(tile))) return result = 0, false;
                ScissorTo(tile, piece);
                if (!DrawIntoTile(tile, placed)) result = 0;
                return true;
            });
        }
    return result;
}

int mtxIEViewerLayer::DrawQuad(const mtxIEViewerQuad& quad, mtxIEPixelShader* pixelShader,
                               IDirect3DTexture9* texture, const float c0[4], const float c1[4]) {
    IDirect3DDevice9* device = editor->GetDevice();
    if (!device || editor->lost || !pixelShader) return 0;
    if (!batchOpen_) {
        int flushed = Flush();
        device->SetTexture(0, texture);
        return DrawQuad(quad, pixelShader, c0, c1) && flushed;
    }
    Waiting waiting;
    if (!Place(quad, pixelShader, texture, c0, c1, waiting)) return 0;
    if (waiting.column0 > waiting.column1 || waiting.row0 > waiting.row1) return 1;
    if (clipped_ && !ClipReaches(waiting.pixels)) return 1;
    waiting_.push_back(waiting);
    if (waiting_.size() >= batchLimit_) return Flush();
    return 1;
}

int mtxIEViewerLayer::Place(const mtxIEViewerQuad& quad, mtxIEPixelShader* pixelShader,
                            IDirect3DTexture9* texture, const float c0[4], const float c1[4],
                            Waiting& out) const {
    for (int i = 0; i < 4; ++i)
        if (!quad.Corner(i, &out.x[i], &out.y[i])) return 0;
    std::copy(quad.u, quad.u + 2, out.u);
    std::copy(quad.v, quad.v + 2, out.v);
    std::copy(c0, c0 + 4, out.c0);
    std::copy(c1, c1 + 4, out.c1);
    out.shader = pixelShader, out.texture = texture;
    out.column0 = out.row0 = 0, out.column1 = out.row1 = -1;
    if (tiles.empty()) return 1;

    // The tiles whose pixels the quad's bounding box reaches.
    const float* x = out.x;
    const float* y = out.y;
    int left = Whole(*std::min_element(x, x + 4), false);
    int right = Whole(*std::max_element(x, x + 4), true);
    int top = Whole(*std::min_element(y, y + 4), false);
    int bottom = Whole(*std::max_element(y, y + 4), true);
    // The quad covers the pixels whose centres (on whole coordinates) it
    // holds: within the box, its far edges included.
    out.pixels = {left, top, right + 1, bottom + 1};
    int column0 = FloorDiv(left - bandLeft, kTileStep);
    int column1 = FloorDiv(right - bandLeft, kTileStep);
    int row0 = FloorDiv(top - bandTop, kTileStep), row1 = FloorDiv(bottom - bandTop, kTileStep);
    if (column1 < 0 || row1 < 0 || column0 >= columns || row0 >= rows) return 1;
    out.column0 = std::max(column0, 0), out.row0 = std::max(row0, 0);
    out.column1 = std::min(column1, columns - 1), out.row1 = std::min(row1, rows - 1);
    return 1;
}

void mtxIEViewerLayer::OpenBatch(size_t limit) {
    batchOpen_ = true;
    batchLimit_ = std::max<size_t>(limit, 1);
}

int mtxIEViewerLayer::CloseBatch() {
    batchOpen_ = false;
    return Flush();
}

// Each tile is bound once for every waiting quad that reaches it, and gets
// them in the order they were placed. Tiles do not share texels, so the
// picture is the one the quads drawn one by one would give.
int mtxIEViewerLayer::Flush() {
    if (waiting_.empty()) return 1;
    IDirect3DDevice9* device = editor->GetDevice();
    if (!device) return waiting_.clear(), 0;
    std::vector<std::pair<int, uint32_t>>& order = flushOrder_;
    order.clear();
    // Keyed by tile, or by clip piece (whose order is their tiles' order).
    for (uint32_t i = 0; i < waiting_.size(); ++i) {
        const Waiting& w = waiting_[i];
        for (int row = w.row0; row <= w.row1; ++row)
            for (int column = w.column0; column <= w.column1; ++column) {
                const int tile = row * columns + column;
                ForEachPart(tile, w.pixels, [&](int piece) {
                    order.emplace_back(piece < 0 ? tile : piece, i);
                    return true;
                });
            }
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    mtxViewDraw::TargetScope scope(editor);
    device->BeginScene();
    int result = 1;
    {
        SampleOver over(device);
        IDirect3DTexture9* bound = nullptr;
        int boundTile = -1;
        bool ready = false;
        for (size_t i = 0; i < order.size();) {
            const int key = order[i].first;
            const int index = clipped_ ? pieceTile_[size_t(key)] : key;
            Tile& tile = *tiles[size_t(index)];
            if (index != boundTile) {
                boundTile = index;
                ready = BindTile(tile);
                if (!ready) result = 0;
            }
            size_t end = i;
            while (end < order.size() && order[end].first == key) ++end;
            if (!ready) {
                i = end;
                continue;
            }
            ScissorTo(tile, clipped_ ? key : -1);
            while (i < end) {
                const size_t next = DrawStamps(tile, i, end);
                if (next > i) {
                    i = next;
                    bound = nullptr;  // stage 0 holds one of the run's textures
                    continue;
                }
                const Waiting& w = waiting_[order[i++].second];
                if (w.texture != bound) device->SetTexture(0, bound = w.texture);
                if (!DrawIntoTile(tile, w)) result = 0;
            }
        }
        device->SetTexture(0, nullptr);
        for (int stage = 1; stage < stagesUsed_; ++stage) {
            device->SetTexture(uint32_t(stage), nullptr);
            mtxViewDraw::SetSampling(device, uint32_t(stage), D3DTEXF_POINT, D3DTADDRESS_WRAP);
        }
        stagesUsed_ = 0;
    }
    device->EndScene();
    waiting_.clear();
    return result;
}

int mtxIEViewerLayer::BindTile(Tile& tile) {
    IDirect3DDevice9* device = editor->GetDevice();
    if (!tile.color && !tile.Upload(Tile::kSource)) {
        // A tile that holds no picture must never be committed.
        editor->ReleaseTexture(mtxImageEditorDevice::kPoolColor, tile.color);
        tile.color = nullptr;
        repaintWanted = 1;
        return 0;
    }
    const D3DMATRIX projection = mtxImageEditorDevice::Projection(kTextureEdge, kTextureEdge);
    {
        mtxViewDraw::Level level(tile.color);
        device->SetRenderTarget(0, level.surface);
    }
    device->SetTransform(D3DTS_PROJECTION, &projection);
    return 1;
}

int mtxIEViewerLayer::DrawIntoTile(Tile& tile, const Waiting& quad) {
    IDirect3DDevice9* device = editor->GetDevice();
    // The quad's corners are taken relative to texel (0, 0), which shows
    // pixel (x - 1, y - 1).
    const float ox = float(bandLeft + tile.x - 1), oy = float(bandTop + tile.y - 1);
    mtxViewDraw::Vertex strip[4];
    for (int i = 0; i < 4; ++i)
        strip[i] = {quad.x[i] - ox, quad.y[i] - oy, 100.0f,
                    0xFFFFFFFFu,    quad.u[i & 1],  quad.v[i >> 1]};
    device->SetPixelShader(quad.shader->shader);
    device->SetPixelShaderConstantF(0, quad.c0, 1);
    device->SetPixelShaderConstantF(1, quad.c1, 1);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(mtxViewDraw::Vertex));
    tile.dirty = 1;
    return 1;
}

mtxIEPixelShader* mtxIEViewerLayer::StampsShader(const mtxIEPixelShader* shader) const {
    if (!shader || !stampsVertex_) return nullptr;
    for (int i = 0; i < 2; ++i)
        if (shader == oneStamp_[i]) return manyStamps_[i];
    return nullptr;
}

// The quads go as triangle lists holding the triangles their strips make,
// vertices in the same order, so each pixel gets what one draw per quad gives.
size_t mtxIEViewerLayer::DrawStamps(Tile& tile, size_t from, size_t end) {
    const Waiting& first = waiting_[flushOrder_[from].second];
    mtxIEPixelShader* many = StampsShader(first.shader);
    if (!many) return from;
    IDirect3DTexture9* textures[kStampStages] = {};
    int stages = 0;
    // A GPU samples the stages a draw chooses among only as a whole: there
    // the draw ends where the sample changes.
    IDirect3DDevice9* device = editor->GetDevice();
    const int maxStages =
        int(std::min<uint32_t>(kStampStages, std::max(1u, device->SamplersChosenPerPixel())));
    const float ox = float(bandLeft + tile.x - 1), oy = float(bandTop + tile.y - 1);
    std::vector<StampVertex>& out = stampVertices_;
    out.clear();
    size_t i = from;
    for (; i < end; ++i) {
        const Waiting& w = waiting_[flushOrder_[i].second];
        if (w.shader != first.shader) break;
        const int stage = int(std::find(textures, textures + stages, w.texture) - textures);
        if (stage == stages) {
            if (stages == maxStages) break;
            textures[stages++] = w.texture;
        }
        StampVertex corner[4];
        for (int k = 0; k < 4; ++k) {
            StampVertex& v = corner[k];
            v = {w.x[k] - ox, w.y[k] - oy, 100.0f, w.u[k & 1], w.v[k >> 1], {}, {}, float(stage)};
            std::copy(w.c0, w.c0 + 4, v.c0);
            std::copy(w.c1, w.c1 + 4, v.c1);
        }
        for (int k : {0, 1, 2, 2, 1, 3}) out.push_back(corner[k]);
    }
    for (int stage = 0; stage < stages; ++stage) {
        device->SetTexture(uint32_t(stage), textures[stage]);
        if (stage >= stagesUsed_)
            mtxViewDraw::SetSampling(device, uint32_t(stage), D3DTEXF_LINEAR, D3DTADDRESS_CLAMP);
    }
    stagesUsed_ = std::max(stagesUsed_, stages);
    const D3DMATRIX projection = mtxImageEditorDevice::Projection(kTextureEdge, kTextureEdge);
    device->SetVertexShader(stampsVertex_->shader);
    device->SetVertexShaderConstantF(0, &projection.m[0][0], 4);
    device->SetPixelShader(many->shader);
    device->SetFVF(kStampFormat);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, uint32_t(2 * (i - from)), out.data(),
                            sizeof(StampVertex));
    device->SetVertexShader(nullptr);
    device->SetFVF(mtxViewDraw::kVertexFormat);
    tile.dirty = 1;
    return i;
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
    Flush();
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
    // An upload replaces what was drawn before it, waiting quads included.
    Flush();
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
    int result = Flush();
    for (auto& tile : tiles)
        if (tile->color && !tile->MakeNormalTexture(heightToNormal_)) result = 0;
    return result;
}

namespace {

// Whether the quad's pixels may fall in r: its corners' bounds, a pixel
// wider for the rounding of their centres, meet r.
bool Reaches(const mtxViewDraw::Vertex (&strip)[4], const RECT& r) {
    float left = strip[0].x, right = left, top = strip[0].y, bottom = top;
    for (const mtxViewDraw::Vertex& v : strip) {
        left = std::min(left, v.x), right = std::max(right, v.x);
        top = std::min(top, v.y), bottom = std::max(bottom, v.y);
    }
    return right + 1 >= float(r.left) && left - 1 <= float(r.right) && bottom + 1 >= float(r.top) &&
           top - 1 <= float(r.bottom);
}

}  // namespace

void mtxIEViewerLayer::Draw(float originX, float originY, const RECT& area) {
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
        // A frame of many dirty parts composes the view once a part: the
        // tiles outside the part are left out before they cost a draw.
        if (!Reaches(strip, area)) continue;
        device->SetTexture(0, tile->color);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(mtxViewDraw::Vertex));
    }
    device->SetTexture(0, nullptr);
}
