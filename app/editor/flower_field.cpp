#include "app/editor/flower_field.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "base/application.h"
#include "image/image.h"
#include "platform/cpu.h"
#include "platform/window.h"
#include "render/create_texture.h"
#include "ui/image_editor.h"

namespace {

constexpr int kAtlasCell = 32, kFlowerKinds = 4, kStemCell = kFlowerKinds;
constexpr int kFlowerCount = 64;
constexpr float kHorizon = 0.36f;  // of the field's height, from the top

struct Vertex {
    float x, y, z;
    uint32_t color;
    float u, v;
};
constexpr uint32_t kVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct Rgb {
    float r, g, b;
};
Rgb Mix(Rgb a, Rgb b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
float Clamp01(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}
uint32_t Argb(Rgb c, float alpha = 1.0f) {
    auto byte = [](float v) { return uint32_t(Clamp01(v) * 255.0f + 0.5f); };
    return byte(alpha) << 24 | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

// Lattice noise that tiles every `period` cells: a hash per lattice point,
// blended smoothly between them.
float Hash(int x, int y) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return float((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}
float Noise(float x, float y, int period) {
    int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    float fx = x - float(x0), fy = y - float(y0);
    fx = fx * fx * (3 - 2 * fx), fy = fy * fy * (3 - 2 * fy);
    auto at = [&](int dx, int dy) {
        return Hash(((x0 + dx) % period + period) % period, ((y0 + dy) % period + period) % period);
    };
    float top = at(0, 0) + (at(1, 0) - at(0, 0)) * fx;
    float bottom = at(0, 1) + (at(1, 1) - at(0, 1)) * fx;
    return top + (bottom - top) * fy;
}

// Sky, distant hills and grass, to be stretched over the field.
std::unique_ptr<mtxImage> MeadowPicture() {
    const int n = 128;
    auto picture = std::make_unique<mtxImage>(n, n);
    mtxImage& image = *picture;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float u = (float(x) + 0.5f) / n, v = (float(y) + 0.5f) / n;
            float hill =
                kHorizon - 0.05f - 0.02f * std::sin(u * 6.0f) - 0.012f * std::sin(u * 15.0f + 1.0f);
            Rgb c;
            if (v < hill) {
                c = Mix({0.52f, 0.70f, 0.92f}, {0.86f, 0.91f, 0.96f}, v / hill);
            } else if (v < kHorizon) {
                c = Mix({0.50f, 0.64f, 0.58f}, {0.44f, 0.62f, 0.40f},
                        (v - hill) / (kHorizon - hill));
            } else {
                float t = (v - kHorizon) / (1.0f - kHorizon);
                float grain = Noise(u * 40.0f, v * 12.0f, 40) - 0.5f;
                c = Mix({0.50f, 0.70f, 0.32f}, {0.24f, 0.48f, 0.14f}, t);
                c = {c.r + 0.06f * grain, c.g + 0.08f * grain, c.b + 0.03f * grain};
            }
            image.At(x, y) = Argb(c);
        }
    return picture;
}

// Soft clouds that tile, in red (the shader reads red alone).
std::unique_ptr<mtxImage> CloudPicture() {
    const int n = 64;
    auto picture = std::make_unique<mtxImage>(n, n);
    mtxImage& image = *picture;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float fx = float(x) / n, fy = float(y) / n, sum = 0, weight = 0;
            for (int octave = 0, cells = 4; octave < 3; ++octave, cells *= 2) {
                float w = 1.0f / float(1 << octave);
                sum += w * Noise(fx * float(cells), fy * float(cells), cells);
                weight += w;
            }
            float cloud = Clamp01((sum / weight - 0.45f) * 3.0f);
            image.At(x, y) = Argb({cloud, cloud, cloud});
        }
    return picture;
}

// Four flowers of five petals and a stem, side by side in cells of 32 x 32
// with a transparent margin, so linear sampling never mixes two cells.
std::unique_ptr<mtxImage> FlowerAtlas() {
    const Rgb petals[kFlowerKinds] = {
        {0.98f, 0.97f, 0.94f}, {1.0f, 0.84f, 0.20f}, {0.93f, 0.36f, 0.46f}, {0.62f, 0.48f, 0.92f}};
    const Rgb hearts[kFlowerKinds] = {
        {0.96f, 0.74f, 0.16f}, {0.50f, 0.30f, 0.10f}, {0.98f, 0.86f, 0.40f}, {0.98f, 0.90f, 0.50f}};
    auto picture = std::make_unique<mtxImage>(kAtlasCell * (kFlowerKinds + 1), kAtlasCell);
    mtxImage& image = *picture;
    const float c = kAtlasCell / 2.0f;
    for (int y = 0; y < kAtlasCell; ++y)
        for (int x = 0; x < image.width; ++x) {
            int cell = x / kAtlasCell;
            float dx = float(x % kAtlasCell) + 0.5f - c, dy = float(y) + 0.5f - c;
            if (cell == kStemCell) {
                float alpha = Clamp01(2.0f - std::abs(dx));
                image.At(x, y) = Argb({0.22f, 0.50f, 0.16f}, alpha);
                continue;
            }
            float r = std::sqrt(dx * dx + dy * dy) / (c - 1.0f);
            float angle = std::atan2(dy, dx);
            float edge = 0.62f + 0.38f * std::abs(std::cos(2.5f * angle));
            float alpha = Clamp01((edge - r) * (c - 1.0f));
            Rgb petal = Mix(petals[cell], {0.0f, 0.0f, 0.0f}, 0.25f * r * r);
            Rgb colour = r < 0.24f ? hearts[cell] : petal;
            image.At(x, y) = Argb(colour, alpha);
        }
    return picture;
}

// Row-vector 4 x 4 product a x b.
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX out = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) out.m[i][j] += a.m[i][k] * b.m[k][j];
    return out;
}

void Quad(std::vector<Vertex>& out, float l, float t, float r, float b, float u0, float u1) {
    const Vertex lt = {l, t, 100, 0xFFFFFFFF, u0, 0}, rt = {r, t, 100, 0xFFFFFFFF, u1, 0};
    const Vertex lb = {l, b, 100, 0xFFFFFFFF, u0, 1}, rb = {r, b, 100, 0xFFFFFFFF, u1, 1};
    out.insert(out.end(), {lt, rt, lb, rt, rb, lb});
}

}  // namespace

mtxIEFlowerField::mtxIEFlowerField(mtxIECtrl* parent) : mtxIECtrl(parent) {
    // Planted once, the same every time: farther flowers stand higher and smaller.
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return float(seed >> 8) / float(1 << 24);
    };
    for (int i = 0; i < kFlowerCount; ++i) {
        float depth = next();
        depth *= depth;  // more of them far away
        flowers.push_back({next() * kFieldWidth, 1.0f - depth, 0.0f, int(next() * kFlowerKinds)});
        flowers.back().size = 10.0f + 26.0f * (1.0f - depth);
    }
    std::sort(flowers.begin(), flowers.end(),
              [](const Flower& a, const Flower& b) { return a.y < b.y; });
}

mtxIEFlowerField::~mtxIEFlowerField() {
    Stop();
    ReleaseTextures();
}

void mtxIEFlowerField::Start() {
    Stop();
    time = 0.0f;
    mtxApplication* app = mtxGetApp();
    timerId_ = app ? app->ids.Take() : 0;
    if (timerId_ && editor && editor->Handle())
        mtxOs::SetTimer(editor->Handle(), timerId_, kFrameMs);
}

void mtxIEFlowerField::Stop() {
    if (!timerId_) return;
    if (editor && editor->Handle()) mtxOs::KillTimer(editor->Handle(), timerId_);
    if (mtxApplication* app = mtxGetApp()) app->ids.Give(uint16_t(timerId_));
    timerId_ = 0;
}

void mtxIEFlowerField::Step(float seconds) {
    time += seconds;
    Invalidate();
}

void mtxIEFlowerField::OnTimer(uintptr_t id) {
    if (timerId_ && id == timerId_)
        Step(kFrameMs / 1000.0f);
    else
        mtxIECtrl::OnTimer(id);
}

void mtxIEFlowerField::OnDeviceLost() {
    ReleaseTextures();
    mtxIECtrl::OnDeviceLost();
}

void mtxIEFlowerField::ReleaseTextures() {
    for (IDirect3DTexture9** t : {&meadow_, &clouds_, &atlas_}) {
        if (*t) (*t)->Release();
        *t = nullptr;
    }
}

int mtxIEFlowerField::MakeTextures(IDirect3DDevice9* device) {
    if (meadow_ && clouds_ && atlas_) return 1;
    ReleaseTextures();
    meadow_ = mtxCreateTexture(device, *MeadowPicture());
    clouds_ = mtxCreateTexture(device, *CloudPicture());
    atlas_ = mtxCreateTexture(device, *FlowerAtlas());
    return meadow_ && clouds_ && atlas_ ? 1 : 0;
}

void mtxIEFlowerField::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    if (!device || !MakeTextures(device)) return;
    RECT r = {x, y, x + Width(), y + Height()};
    for (uint32_t stage = 0; stage < 2; ++stage) {
        device->SetSamplerState(stage, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(stage, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    }
    DrawMeadow(device, r);
    DrawFlowers(device, r);
    (void)clip;  // the dialog clips its children to their rectangles
    device->SetTexture(0, nullptr);
    device->SetTexture(1, nullptr);
    device->SetPixelShader(nullptr);
    device->SetVertexShader(nullptr);
}

void mtxIEFlowerField::DrawMeadow(IDirect3DDevice9* device, const RECT& r) {
    mtxIEPixelShader* shader = editor->GetPixelShader(kMeadowShader);
    // The clouds drift slowly to the right and a little down, and tile.
    const float aspect = float(r.bottom - r.top) / float(std::max<int>(1, r.right - r.left));
    const float c[2][4] = {{1.4f, 1.4f * aspect, 0, 0}, {-0.018f * time, -0.006f * time, 0, 0}};
    device->SetTexture(0, shader ? clouds_ : meadow_);
    device->SetTexture(1, meadow_);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, shader ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, shader ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP);
    device->SetSamplerState(1, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(1, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    device->SetPixelShader(shader ? shader->shader : nullptr);
    if (shader) device->SetPixelShaderConstantF(0, &c[0][0], 2);
    float l = float(r.left) - 0.5f, t = float(r.top) - 0.5f;
    float rr = float(r.right) - 0.5f, b = float(r.bottom) - 0.5f;
    Vertex quad[4] = {{l, t, 100, 0xFFFFFFFF, 0, 0},
                      {rr, t, 100, 0xFFFFFFFF, 1, 0},
                      {l, b, 100, 0xFFFFFFFF, 0, 1},
                      {rr, b, 100, 0xFFFFFFFF, 1, 1}};
    device->SetVertexShader(nullptr);
    device->SetFVF(kVertexFormat);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
    device->SetTexture(1, nullptr);
}

void mtxIEFlowerField::DrawFlowers(IDirect3DDevice9* device, const RECT& r) {
    mtxIEVertexShader* vertex = editor->GetVertexShader(kFlowerVertexShader);
    mtxIEPixelShader* pixel = editor->GetPixelShader(kFlowerShader);
    if (!vertex || !pixel) return;
    // Field units to the editor's pixels, then the frame's projection.
    const float scale = float(r.right - r.left) / kFieldWidth;
    const float height = float(r.bottom - r.top) / scale;
    const float horizon = kHorizon * height;
    D3DMATRIX place = {};
    place.m[0][0] = scale, place.m[1][1] = scale, place.m[2][2] = 1, place.m[3][3] = 1;
    place.m[3][0] = float(r.left) - 0.5f, place.m[3][1] = float(r.top) - 0.5f;
    D3DMATRIX projection = Multiply(place, editor->projection);
    const float sway[4] = {time * 1.7f, 7.0f, 0, 0};
    std::vector<Vertex> vertices;
    vertices.reserve(flowers.size() * 12);
    const float cell = 1.0f / float(kFlowerKinds + 1);
    for (const Flower& f : flowers) {
        // y runs from the horizon (0) to a little past the bottom (1).
        float base = horizon + 4.0f + f.y * (height - horizon + f.size * 0.5f);
        float head = base - f.size * 1.5f, half = f.size * 0.5f, stem = f.size * 0.09f;
        Quad(vertices, f.x - stem, head, f.x + stem, base, kStemCell * cell,
             (kStemCell + 1) * cell);
        Quad(vertices, f.x - half, head - half, f.x + half, head + half, float(f.kind) * cell,
             float(f.kind + 1) * cell);
    }
    device->SetTexture(0, atlas_);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    device->SetVertexShader(vertex->shader);
    device->SetPixelShader(pixel->shader);
    device->SetVertexShaderConstantF(0, &projection.m[0][0], 4);
    device->SetVertexShaderConstantF(4, sway, 1);
    device->SetFVF(kVertexFormat);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, uint32_t(vertices.size() / 3), vertices.data(),
                            sizeof(Vertex));
}
