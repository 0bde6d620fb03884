#include "ui/profile.h"

#include <algorithm>

#include "image/image.h"
#include "image/io/image_load.h"
#include "render/create_texture.h"
#include "ui/ctrl.h"

void mtxIEProfile::SliceSkin(const mtxImage& image, std::vector<RECT>& pieces) {
    pieces.clear();
    if (image.IsEmpty()) return;
    const int w = image.width, h = image.height;
    const mtxColor separator = image.At(0, 0);
    auto isSeparator = [&](int x, int y) { return image.At(x, y) == separator; };
    int y = 0;
    while (y < h) {
        if (isSeparator(0, y)) {
            ++y;
            continue;
        }
        int x = 0;
        while (x < w) {
            if (isSeparator(x, y)) {
                ++x;
                continue;
            }
            int x0 = x;
            while (x < w && !isSeparator(x, y)) ++x;
            int y1 = y;
            while (y1 < h && !isSeparator(x0, y1)) ++y1;
            pieces.push_back({x0, y, x, y1});
        }
        // The rest of the band: rows that start with a piece's colour.
        ++y;
        while (y < h && !isSeparator(0, y)) ++y;
    }
}

namespace {

// Loads one skin picture; with minPieces > 0 it is sliced and must give at
// least that many non-empty pieces.
int LoadSkin(IDirect3DDevice9* device, uint32_t id, size_t minPieces, mtxIEProfile::Skin& skin) {
    mtxImage image(0, 0);
    if (!mtxImageLoad(image, id, 0) || image.IsEmpty()) return 0;
    if (minPieces) {
        mtxIEProfile::SliceSkin(image, skin.pieces);
        if (skin.pieces.size() < minPieces) return 0;
    }
    skin.texture = mtxCreateTexture(device, image);
    skin.width = image.width;
    skin.height = image.height;
    return skin.texture ? 1 : 0;
}

void Release(mtxIEProfile::Skin& skin) {
    if (skin.texture) skin.texture->Release();
    skin = {};
}

}  // namespace

int mtxIEProfile::LoadSkins(IDirect3DDevice9* device) {
    ReleaseSkins();
    if (!device) return 0;
    bool ok = LoadSkin(device, kDialogSkinId, kDialogPieces, dialogSkin) &&
              LoadSkin(device, kCheckSkinId, kCheckPieces, checkSkin) &&
              LoadSkin(device, kToolBarBackgroundId, 0, toolBarBackground) &&
              LoadSkin(device, kToolIconsId, kToolIcons, toolIcons);
    if (!ok) ReleaseSkins();
    return ok ? 1 : 0;
}

void mtxIEProfile::ReleaseSkins() {
    Release(dialogSkin);
    Release(checkSkin);
    Release(toolBarBackground);
    Release(toolIcons);
}

int mtxIEProfile::DrawPiece(IDirect3DDevice9* device, const Skin& skin, const RECT& piece,
                            const RECT& dst, uint32_t color) {
    if (!device || !skin.texture || mtxIsEmpty(dst)) return 0;
    // Pixel centres on texel centres: positions are shifted by half a pixel
    // like every primitive of the toolkit.
    float l = float(dst.left) - 0.5f, t = float(dst.top) - 0.5f;
    float r = float(dst.right) - 0.5f, b = float(dst.bottom) - 0.5f;
    float u0 = float(piece.left) / float(skin.width), u1 = float(piece.right) / float(skin.width);
    float v0 = float(piece.top) / float(skin.height), v1 = float(piece.bottom) / float(skin.height);
    struct Vertex {
        float x, y, z;
        uint32_t color;
        float u, v;
    } quad[4] = {{l, t, 100, color, u0, v0},
                 {r, t, 100, color, u1, v0},
                 {l, b, 100, color, u0, v1},
                 {r, b, 100, color, u1, v1}};
    device->SetPixelShader(nullptr);
    device->SetTexture(0, skin.texture);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    HRESULT drawn = device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
    device->SetTexture(0, nullptr);
    return SUCCEEDED(drawn) ? 1 : 0;
}

int mtxIEProfile::DrawNine(IDirect3DDevice9* device, const Skin& skin, int first, const RECT& r) {
    if (int(skin.pieces.size()) < first + 9) return 0;
    const RECT* p = &skin.pieces[first];
    // Corner sizes from the corner pieces, shrunk to fit a small rectangle.
    int left = std::min<int>(p[0].right - p[0].left, (r.right - r.left) / 2);
    int right = std::min<int>(p[2].right - p[2].left, (r.right - r.left) - left);
    int top = std::min<int>(p[0].bottom - p[0].top, (r.bottom - r.top) / 2);
    int bottom = std::min<int>(p[6].bottom - p[6].top, (r.bottom - r.top) - top);
    const int xs[4] = {r.left, r.left + left, r.right - right, r.right};
    const int ys[4] = {r.top, r.top + top, r.bottom - bottom, r.bottom};
    int drawn = 1;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            RECT dst = {xs[col], ys[row], xs[col + 1], ys[row + 1]};
            if (!mtxIsEmpty(dst)) drawn &= DrawPiece(device, skin, p[row * 3 + col], dst);
        }
    return drawn;
}

int mtxIEProfile::DrawDialogFrame(IDirect3DDevice9* device, const RECT& r) const {
    return DrawNine(device, dialogSkin, kFrameTopLeft, r);
}

int mtxIEProfile::DrawTitleBar(IDirect3DDevice9* device, const RECT& r) const {
    if (int(dialogSkin.pieces.size()) < kDialogPieces) return 0;
    const RECT& left = dialogSkin.pieces[kTitleLeft];
    const RECT& right = dialogSkin.pieces[kTitleRight];
    int lw = std::min<int>(left.right - left.left, (r.right - r.left) / 2);
    int rw = std::min<int>(right.right - right.left, (r.right - r.left) - lw);
    return DrawPiece(device, dialogSkin, left, {r.left, r.top, r.left + lw, r.bottom}) &
           DrawPiece(device, dialogSkin, dialogSkin.pieces[kTitleMiddle],
                     {r.left + lw, r.top, r.right - rw, r.bottom}) &
           DrawPiece(device, dialogSkin, right, {r.right - rw, r.top, r.right, r.bottom});
}

int mtxIEProfile::DrawCheckBox(IDirect3DDevice9* device, int x, int y, bool checked,
                               bool pressed) const {
    if (int(checkSkin.pieces.size()) < kCheckPieces) return 0;
    const RECT& piece = checkSkin.pieces[(checked ? 1 : 0) + (pressed ? 2 : 0)];
    return DrawPiece(device, checkSkin, piece,
                     {x, y, x + piece.right - piece.left, y + piece.bottom - piece.top});
}

int mtxIEProfile::DrawToolIcon(IDirect3DDevice9* device, int icon, const RECT& box,
                               bool enabled) const {
    if (icon < 0 || icon >= int(toolIcons.pieces.size())) return 0;
    const RECT& piece = toolIcons.pieces[icon];
    int x = (box.left + box.right - (piece.right - piece.left)) / 2;
    int y = (box.top + box.bottom - (piece.bottom - piece.top)) / 2;
    return DrawPiece(device, toolIcons, piece,
                     {x, y, x + piece.right - piece.left, y + piece.bottom - piece.top},
                     enabled ? 0xFFFFFFFF : 0x60FFFFFF);
}
