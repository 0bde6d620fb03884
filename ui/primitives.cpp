#include "ui/primitives.h"

#include <algorithm>
#include <vector>

namespace {

using Vertex = mtxIEPrimitives::Vertex;

// Untextured: the fixed stage reads opaque white for the missing texture, so
// the vertex colour comes through.
bool Prepare(IDirect3DDevice9* device) {
    if (!device) return false;
    device->SetTexture(0, nullptr);
    device->SetPixelShader(nullptr);
    device->SetVertexShader(nullptr);
    device->SetFVF(mtxIEPrimitives::kFormat);
    return true;
}

int Draw(IDirect3DDevice9* device, D3DPRIMITIVETYPE type, uint32_t count, const Vertex* v) {
    if (!Prepare(device) || count == 0) return 0;
    return SUCCEEDED(device->DrawPrimitiveUP(type, count, v, sizeof(Vertex))) ? 1 : 0;
}

}  // namespace

// Pixel centres lie on integer coordinates, so areas are drawn from the
// pixel edges half a pixel outside them.
int mtxIEPrimitives::FillRect(IDirect3DDevice9* device, const RECT& r, uint32_t color) {
    if (!device) return 0;
    if (r.right <= r.left || r.bottom <= r.top) return 1;
    float l = float(r.left) - 0.5f, t = float(r.top) - 0.5f;
    float rt = float(r.right) - 0.5f, b = float(r.bottom) - 0.5f;
    Vertex v[4] = {
        {l, t, 100, color}, {rt, t, 100, color}, {l, b, 100, color}, {rt, b, 100, color}};
    return Draw(device, D3DPT_TRIANGLESTRIP, 2, v);
}

// Lines run through pixel centres; the last pixel of each segment is the
// first of the next, so the closed strip sets every border pixel once.
int mtxIEPrimitives::FrameRect(IDirect3DDevice9* device, const RECT& r, uint32_t color) {
    if (r.right <= r.left || r.bottom <= r.top) return device ? 1 : 0;
    if (!Prepare(device)) return 0;
    float l = float(r.left), t = float(r.top), rt = float(r.right - 1), b = float(r.bottom - 1);
    if (r.right - r.left == 1 || r.bottom - r.top == 1) return FillRect(device, r, color);
    Vertex v[4] = {
        {l, t, 100, color}, {rt, t, 100, color}, {rt, b, 100, color}, {l, b, 100, color}};
    const uint16_t index[5] = {0, 1, 2, 3, 0};
    return SUCCEEDED(device->DrawIndexedPrimitiveUP(D3DPT_LINESTRIP, 0, 4, 4, index, D3DFMT_INDEX16,
                                                    v, sizeof(Vertex)))
               ? 1
               : 0;
}

int mtxIEPrimitives::Line(IDirect3DDevice9* device, float x1, float y1, float x2, float y2,
                          uint32_t color) {
    if (!device) return 0;
    Vertex v[2] = {{x1, y1, 100, color}, {x2, y2, 100, color}};
    device->SetRenderState(D3DRS_ANTIALIASEDLINEENABLE, 1);
    int drawn = Draw(device, D3DPT_LINESTRIP, 1, v);
    device->SetRenderState(D3DRS_ANTIALIASEDLINEENABLE, 0);
    return drawn;
}

int mtxIEPrimitives::PolyLine(IDirect3DDevice9* device, const POINT* points, int count,
                              uint32_t color) {
    if (!device || !points || count < 2) return 0;
    std::vector<Vertex> v(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) v[i] = {float(points[i].x), float(points[i].y), 100, color};
    return Draw(device, D3DPT_LINESTRIP, uint32_t(count - 1), v.data());
}

int mtxIEPrimitives::FillPolygon(IDirect3DDevice9* device, const POINT* points, int count,
                                 uint32_t color) {
    if (!device || !points || count < 3) return 0;
    std::vector<Vertex> v(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        v[i] = {float(points[i].x) - 0.5f, float(points[i].y) - 0.5f, 100, color};
    return Draw(device, D3DPT_TRIANGLEFAN, uint32_t(count - 2), v.data());
}

int mtxIEPrimitives::ArrowGlyph(IDirect3DDevice9* device, const RECT& r, int direction,
                                uint32_t color) {
    if (!device || (direction != kArrowUp && direction != kArrowDown)) return 0;
    int width = r.right - r.left, height = r.bottom - r.top;
    int base = std::max(((width - 1) / 2) | 1, 7);
    int rows = (base + 1) / 2;
    int left = r.left + (width - base) / 2;
    int top = r.top + (height - rows) / 2;
    // Row k (from the point) covers base - 2 (rows - 1 - k) pixels, centred:
    // one quad per row keeps the edges exact and symmetric.
    std::vector<Vertex> v;
    v.reserve(size_t(rows) * 6);
    for (int k = 0; k < rows; ++k) {
        int y = direction == kArrowUp ? top + k : top + rows - 1 - k;
        int inset = rows - 1 - k;
        float l = float(left + inset) - 0.5f, rt = float(left + base - inset) - 0.5f;
        float t = float(y) - 0.5f, b = float(y) + 0.5f;
        Vertex quad[6] = {{l, t, 100, color},  {rt, t, 100, color}, {l, b, 100, color},
                          {rt, t, 100, color}, {rt, b, 100, color}, {l, b, 100, color}};
        v.insert(v.end(), quad, quad + 6);
    }
    return Draw(device, D3DPT_TRIANGLELIST, uint32_t(rows * 2), v.data());
}

int mtxIEPrimitives::TexturedRect(IDirect3DDevice9* device, IDirect3DTexture9* texture, int x,
                                  int y, int width, int height) {
    if (!device || !texture) return 0;
    float l = float(x) - 0.5f, t = float(y) - 0.5f;
    float r = l + float(width), b = t + float(height);
    struct Vertex {
        float x, y, z;
        uint32_t color;
        float u, v;
    } quad[4] = {{l, t, 100, 0xFFFFFFFF, 0, 0},
                 {r, t, 100, 0xFFFFFFFF, 1, 0},
                 {l, b, 100, 0xFFFFFFFF, 0, 1},
                 {r, b, 100, 0xFFFFFFFF, 1, 1}};
    device->SetTexture(0, texture);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    HRESULT drawn = device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
    device->SetTexture(0, nullptr);
    return SUCCEEDED(drawn) ? 1 : 0;
}
