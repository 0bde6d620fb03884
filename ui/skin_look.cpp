#include "ui/skin_look.h"

#include "render/shader.h"
#include "ui/flat_look.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"
#include "ui/profile.h"

namespace {

struct Vertex {
    float x, y, z;
    uint32_t color;
    float u, v;
};

// r with texture coordinates 0..1 across it, pixel centres on the pixels.
int DrawQuad(IDirect3DDevice9* device, const RECT& r, uint32_t color) {
    float l = float(r.left) - 0.5f, t = float(r.top) - 0.5f;
    float rr = float(r.right) - 0.5f, b = float(r.bottom) - 0.5f;
    Vertex quad[4] = {{l, t, 100, color, 0, 0},
                      {rr, t, 100, color, 1, 0},
                      {l, b, 100, color, 0, 1},
                      {rr, b, 100, color, 1, 1}};
    device->SetVertexShader(nullptr);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    return SUCCEEDED(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex))) ? 1 : 0;
}

void SetColor(float* c, uint32_t argb) {
    c[0] = float((argb >> 16) & 0xFF) / 255.0f;
    c[1] = float((argb >> 8) & 0xFF) / 255.0f;
    c[2] = float(argb & 0xFF) / 255.0f;
    c[3] = float(argb >> 24) / 255.0f;
}

IDirect3DPixelShader9* ShaderOf(mtxImageEditor* editor, uint32_t id) {
    mtxIEPixelShader* shader = editor ? editor->GetPixelShader(id) : nullptr;
    return shader ? shader->shader : nullptr;
}

// One quad over r through a pixel shader of no texture with its constants.
int DrawWith(IDirect3DDevice9* device, IDirect3DPixelShader9* shader, const float* constants,
             uint32_t count, const RECT& r, uint32_t color) {
    device->SetTexture(0, nullptr);
    device->SetPixelShader(shader);
    device->SetPixelShaderConstantF(0, constants, count);
    int drawn = DrawQuad(device, r, color);
    device->SetPixelShader(nullptr);
    return drawn;
}

}  // namespace

namespace mtxIESkinLook {

int ButtonFace(mtxImageEditor* editor, const mtxIEProfile& profile, const Face& face) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    if (!device) return 0;
    IDirect3DPixelShader9* shader =
        ShaderOf(editor, face.tint ? kTintedButtonShader : kButtonShader);
    if (!shader) {
        mtxIEFlatLook::Face(device, profile, face.rect, face.pressed, face.hot);
        return 0;
    }
    const float w = float(face.rect.right - face.rect.left);
    const float h = float(face.rect.bottom - face.rect.top);
    float c[6][4] = {};
    c[0][0] = w, c[0][1] = h, c[0][2] = face.corner, c[0][3] = 3.0f;  // size, corner, bevel
    c[1][0] = 0.22f, c[1][1] = 0.7f, c[1][2] = 0.42f;    // reflection, shading, outline
    c[2][0] = -0.15f, c[2][1] = -0.25f, c[2][2] = 1.0f;  // towards the eye: above, a little left
    c[3][0] = face.pressed ? 1.0f : 0.0f;
    // Light greys from top to bottom; hovering lifts them, pressing sinks them.
    uint32_t top = 0xFFFBFBFC, bottom = 0xFFDCDFE3;
    if (face.hot) top = 0xFFFFFFFF, bottom = 0xFFE6E9ED;
    if (face.pressed) top = 0xFFD3D7DC, bottom = 0xFFE4E7EA;
    SetColor(c[4], top);
    SetColor(c[5], bottom);
    device->SetTexture(0, nullptr);
    device->SetPixelShader(shader);
    device->SetPixelShaderConstantF(0, &c[0][0], 6);
    int drawn = DrawQuad(device, face.rect, face.tint ? face.tint : 0xFFFFFFFF);
    device->SetPixelShader(nullptr);
    return drawn;
}

int ToolBarFace(mtxImageEditor* editor, const mtxIEProfile& profile, const RECT& r,
                uint32_t color) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    if (!device) return 0;
    IDirect3DPixelShader9* shader = ShaderOf(editor, kToolBarShader);
    if (!shader) {
        mtxIEPrimitives::FillRect(device, r, color);
        return 0;
    }
    const bool picture = profile.toolBarBackground.texture != nullptr;
    float c[4] = {float(r.bottom - r.top), 6.0f, 0.06f, picture ? 1.0f : 0.0f};
    device->SetTexture(0, profile.toolBarBackground.texture);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    device->SetPixelShader(shader);
    device->SetPixelShaderConstantF(0, c, 1);
    int drawn = DrawQuad(device, r, picture ? 0xFFFFFFFF : color);
    device->SetPixelShader(nullptr);
    device->SetTexture(0, nullptr);
    return drawn;
}

int DialogPanel(mtxImageEditor* editor, const RECT& r, bool tinted, uint32_t color) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    IDirect3DPixelShader9* shader = ShaderOf(editor, tinted ? kDialogShader : kPlainDialogShader);
    if (!device || !shader) return 0;
    RECT quad = {r.left - kDialogShadow, r.top - kDialogShadow, r.right + kDialogShadow,
                 r.bottom + kDialogShadow};
    float c[4] = {float(quad.right - quad.left), float(quad.bottom - quad.top), 0, 0};
    return DrawWith(device, shader, c, 1, quad, color);
}

int SysButtonFace(mtxImageEditor* editor, const mtxIEProfile& profile, const Face& face) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    IDirect3DPixelShader9* shader =
        ShaderOf(editor, face.hot ? kSysButtonEnvShader : kSysButtonShader);
    if (!device || !shader) return 0;
    float c[4] = {float(face.rect.right - face.rect.left), float(face.rect.bottom - face.rect.top),
                  2.0f, face.pressed ? 1.0f : 0.0f};  // size, bevel, pressed
    uint32_t color = face.pressed ? mtxIEFlatLook::Mix(profile.faceColor, profile.shadowColor, 60)
                                  : profile.faceColor;
    return DrawWith(device, shader, c, 1, face.rect, color);
}

int RadioFace(mtxImageEditor* editor, const RECT& r, bool checked) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    IDirect3DPixelShader9* shader = ShaderOf(editor, checked ? kRadioCheckedShader : kRadioShader);
    if (!device || !shader) return 0;
    float c[4] = {checked ? 1.0f : 0.0f, 0.35f, 0, 0};  // checked, bevel of the radius
    return DrawWith(device, shader, c, 1, r, kRadioFaceColor);
}

int SliderTrack(mtxImageEditor* editor, const mtxIEProfile& profile, const RECT& r) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    IDirect3DPixelShader9* shader = ShaderOf(editor, kSliderTrackShader);
    if (!device || !shader) return 0;
    float c[4] = {float(r.right - r.left), float(r.bottom - r.top), 4.0f, 0};  // size, groove
    return DrawWith(device, shader, c, 1, r,
                    mtxIEFlatLook::Mix(profile.faceColor, profile.shadowColor, 128));
}

}  // namespace mtxIESkinLook
