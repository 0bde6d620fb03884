#include "render/layers/relief_light.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/registry.h"
#include "render/create_texture.h"
#include "render/layers/device_draw.h"

namespace {

constexpr int kEdge = 128;        // the textures, as the viewer's tiles have them
constexpr int kStep = kEdge - 2;  // pixels a texture lights: the rest is border

void PutWord(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

uint32_t GetWord(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The device objects of one rendering, released together.
struct Work {
    explicit Work(mtxImageEditorDevice* e) : editor(e) {}
    ~Work() {
        if (heights) heights->Release();
        if (memory) memory->Release();
        editor->ReleaseTexture(mtxImageEditorDevice::kPoolNormal, normal);
        editor->ReleaseTexture(mtxImageEditorDevice::kPoolColor, lit);
    }
    Work(const Work&) = delete;
    Work& operator=(const Work&) = delete;
    mtxImageEditorDevice* editor;
    IDirect3DTexture9* heights = nullptr;  // managed, refilled per piece
    IDirect3DTexture9* normal = nullptr;
    IDirect3DTexture9* lit = nullptr;
    IDirect3DSurface9* memory = nullptr;  // where lit is read back
};

// Heights of the picture's pixels (x0 - 1, y0 - 1) on, edge pixels repeated
// past the picture, so the normals of the piece's own pixels see true
// neighbours.
void FillHeights(mtxImage& picture, int x0, int y0, mtxImage& heights) {
    for (int j = 0; j < kEdge; ++j) {
        int y = std::clamp(y0 - 1 + j, 0, picture.height - 1);
        const mtxColor* from = picture.Row(y);
        mtxColor* to = heights.Row(j);
        for (int i = 0; i < kEdge; ++i)
            to[i] = mtxReliefHeight(from[std::clamp(x0 - 1 + i, 0, picture.width - 1)]);
    }
}

void Render(IDirect3DDevice9* device, mtxImageEditorDevice* editor, IDirect3DTexture9* target,
            IDirect3DTexture9* input, mtxIEPixelShader* shader) {
    mtxViewDraw::Level level(target);
    device->SetRenderTarget(0, level.surface);
    mtxViewDraw::SetProjection(editor, kEdge, kEdge);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(shader->shader);
    device->SetTexture(0, input);
    mtxViewDraw::DrawTexturedSquare(device, kEdge);
    device->SetTexture(0, nullptr);
}

// Copies the lit texture's pixels of the piece into shade.
int ReadPiece(IDirect3DDevice9* device, Work& work, int x0, int y0, mtxImage& shade) {
    mtxViewDraw::Level level(work.lit);
    if (FAILED(device->GetRenderTargetData(level.surface, work.memory))) return 0;
    D3DLOCKED_RECT locked;
    if (FAILED(work.memory->LockRect(&locked, nullptr, 0))) return 0;
    int w = std::min(kStep, shade.width - x0), h = std::min(kStep, shade.height - y0);
    for (int j = 0; j < h; ++j)
        std::memcpy(shade.Row(y0 + j) + x0,
                    static_cast<const uint8_t*>(locked.pBits) + ptrdiff_t(j + 1) * locked.Pitch + 4,
                    size_t(w) * 4);
    work.memory->UnlockRect();
    return 1;
}

}  // namespace

void mtxReliefLight::Direction(float out[3]) const {
    const double rad = 3.14159265358979323846 / 180.0;
    double a = angle * rad, e = kElevation * rad;
    out[0] = float(std::cos(e) * std::cos(a));
    out[1] = float(-std::cos(e) * std::sin(a));  // the picture's y runs down
    out[2] = float(std::sin(e));
}

std::vector<uint8_t> mtxReliefLight::Encode() const {
    std::vector<uint8_t> out;
    PutWord(out, on ? 1u : 0u);
    PutWord(out, uint32_t(angle));
    PutWord(out, uint32_t(strength));
    return out;
}

int mtxReliefLight::Decode(const uint8_t* bytes, size_t size, mtxReliefLight& out) {
    if (!bytes || size != kEncodedSize) return 0;
    uint32_t o = GetWord(bytes), a = GetWord(bytes + 4), s = GetWord(bytes + 8);
    if (o > 1 || a > 359 || s > 100) return 0;
    out.on = o == 1, out.angle = int(a), out.strength = int(s);
    return 1;
}

void mtxReliefLight::Read(mtxRegistry& settings) {
    uint32_t v = 0;
    if (settings.GetInt(kSection, "on", v) && v <= 1) on = v == 1;
    if (settings.GetInt(kSection, "ang", v) && v <= 359) angle = int(v);
    if (settings.GetInt(kSection, "str", v) && v <= 100) strength = int(v);
}

void mtxReliefLight::Write(mtxRegistry& settings) const {
    settings.SetInt(kSection, "on", on ? 1u : 0u);
    settings.SetInt(kSection, "ang", uint32_t(angle));
    settings.SetInt(kSection, "str", uint32_t(strength));
}

uint32_t mtxReliefHeight(mtxColor pixel) {
    uint32_t h = 77u * ((pixel >> 16) & 0xFF) + 150u * ((pixel >> 8) & 0xFF) + 29u * (pixel & 0xFF);
    return 0xFF000000u | (h & 0xFF00u) | (h & 0xFFu);
}

int mtxRenderReliefLight(mtxImageEditorDevice* editor, mtxImage& picture,
                         const mtxReliefLight& light, mtxImage& shade) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    mtxIEPixelShader* toNormal = editor ? editor->GetPixelShader(5200) : nullptr;
    mtxIEPixelShader* lighting = editor ? editor->GetPixelShader(5201) : nullptr;
    if (!device || editor->lost || !toNormal || !lighting) return 0;
    if (picture.width <= 0 || picture.height <= 0 || !picture.Lock()) return 0;
    struct Unlock {
        mtxImage& image;
        ~Unlock() { image.Unlock(); }
    } unlockPicture{picture};
    if (!shade.Create(picture.width, picture.height, 0) || !shade.Lock()) return 0;
    struct Unlock unlockShade {
        shade
    };

    Work work(editor);
    mtxImage heights;
    if (!heights.Create(kEdge, kEdge, 0)) return 0;
    work.heights = mtxCreateTexture(device, heights);
    work.normal = editor->AcquireTexture(mtxImageEditorDevice::kPoolNormal);
    work.lit = editor->AcquireTexture(mtxImageEditorDevice::kPoolColor);
    if (!work.heights || !work.normal || !work.lit ||
        FAILED(device->CreateOffscreenPlainSurface(kEdge, kEdge, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                   &work.memory, nullptr)))
        return 0;

    mtxViewDraw::TargetScope scope(editor);
    uint32_t blending = 0;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blending);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    mtxViewDraw::SetSampling(device, 0, D3DTEXF_POINT, D3DTADDRESS_CLAMP);
    float c0[4] = {0, 0, 0, light.Gain()};
    light.Direction(c0);
    int result = 1;
    for (int y0 = 0; y0 < picture.height && result; y0 += kStep)
        for (int x0 = 0; x0 < picture.width && result; x0 += kStep) {
            FillHeights(picture, x0, y0, heights);
            D3DLOCKED_RECT locked;
            if (FAILED(work.heights->LockRect(0, &locked, nullptr, 0))) {
                result = 0;
                break;
            }
            for (int j = 0; j < kEdge; ++j)
                std::memcpy(static_cast<uint8_t*>(locked.pBits) + ptrdiff_t(j) * locked.Pitch,
                            heights.Row(j), kEdge * 4);
            work.heights->UnlockRect(0);
            Render(device, editor, work.normal, work.heights, toNormal);
            device->SetPixelShaderConstantF(0, c0, 1);
            Render(device, editor, work.lit, work.normal, lighting);
            result = ReadPiece(device, work, x0, y0, shade);
        }
    device->SetPixelShader(nullptr);
    mtxViewDraw::SetSampling(device, 0, D3DTEXF_POINT, D3DTADDRESS_WRAP);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, blending);
    return result;
}
