#include "ui/font.h"

#include <algorithm>
#include <cstring>

std::unique_ptr<mtxIEFont> mtxIEFont::Create(const std::string& family, int pixelHeight,
                                             int weight) {
    std::unique_ptr<mtxOs::FontFace> face =
        mtxOs::FontFace::Open(family, pixelHeight, weight, false);
    if (!face) return nullptr;
    std::unique_ptr<mtxIEFont> font(new mtxIEFont);
    font->face_ = std::move(face);
    font->ascent = font->face_->Metrics().ascent;
    font->descent = font->face_->Metrics().descent;
    font->atlas.assign(size_t(kAtlasSize) * kAtlasSize, 0x00FFFFFF);
    for (char32_t c = 0x20; c < 0x7F; ++c) font->Add(c);
    for (char32_t c = 0xA0; c <= 0xFF; ++c) font->Add(c);
    return font;
}

mtxIEFont::~mtxIEFont() {
    ReleaseTexture();
}

// Shelf packing: glyphs left to right in rows as tall as their tallest one,
// with a pixel of space so filtering never mixes neighbours.
int mtxIEFont::Add(char32_t c) {
    if (glyphs_.count(c)) return 1;
    const mtxOs::Glyph& g = face_->GetGlyph(c);
    Entry e;
    e.width = int16_t(g.width), e.height = int16_t(g.height);
    e.left = int16_t(g.left), e.top = int16_t(g.top), e.advance = int16_t(g.advance);
    if (g.width > 0 && g.height > 0) {
        if (shelfX_ + g.width + 1 > kAtlasSize) {
            shelfX_ = 1;
            shelfY_ += shelfHeight_ + 1;
            shelfHeight_ = 0;
        }
        if (g.width + 2 > kAtlasSize || shelfY_ + g.height + 1 > kAtlasSize) return 0;
        e.x = int16_t(shelfX_), e.y = int16_t(shelfY_);
        for (int row = 0; row < g.height; ++row) {
            uint32_t* out = &atlas[size_t(shelfY_ + row) * kAtlasSize + shelfX_];
            const uint8_t* in = &g.mask[size_t(row) * g.width];
            for (int col = 0; col < g.width; ++col) out[col] = (uint32_t(in[col]) << 24) | 0xFFFFFF;
        }
        shelfX_ += g.width + 1;
        shelfHeight_ = std::max(shelfHeight_, g.height);
        ++atlasVersion;
    }
    glyphs_[c] = e;
    return 1;
}

int mtxIEFont::Prepare(const std::string& utf8) {
    int all = 1;
    for (char32_t c : mtxOs::DecodeUtf8(utf8))
        if (!Add(c)) all = 0;
    return all;
}

const mtxIEFont::Entry* mtxIEFont::Find(char32_t c) const {
    auto it = glyphs_.find(c);
    return it == glyphs_.end() ? nullptr : &it->second;
}

void mtxIEFont::ReleaseTexture() {
    if (texture_) texture_->Release();
    texture_ = nullptr;
    textureDevice_ = nullptr;
    textureVersion = 0;
}

int mtxIEFont::UpdateTexture(IDirect3DDevice9* device) {
    if (!device) return 0;
    if (textureDevice_ != device) ReleaseTexture();
    if (!texture_) {
        // Managed: a lost device keeps it, so only a new device makes it again.
        if (FAILED(device->CreateTexture(kAtlasSize, kAtlasSize, 1, 0, D3DFMT_A8R8G8B8,
                                         D3DPOOL_MANAGED, &texture_, nullptr))) {
            texture_ = nullptr;
            return 0;
        }
        textureDevice_ = device;
    }
    if (textureVersion == atlasVersion) return 1;
    D3DLOCKED_RECT locked;
    if (FAILED(texture_->LockRect(0, &locked, nullptr, 0))) return 0;
    for (int y = 0; y < kAtlasSize; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch),
                    &atlas[size_t(y) * kAtlasSize], size_t(kAtlasSize) * 4);
    texture_->UnlockRect(0);
    textureVersion = atlasVersion;
    return 1;
}

int mtxIEFont::Width(const std::string& utf8) {
    std::u32string text = mtxOs::DecodeUtf8(utf8);
    return Width(text, text.size());
}

int mtxIEFont::Width(const std::u32string& text, size_t count) {
    int width = 0;
    count = std::min(count, text.size());
    for (size_t i = 0; i < count; ++i)
        if (const Entry* e = Find(text[i])) width += e->advance;
    return width;
}

int mtxIEFont::Draw(IDirect3DDevice9* device, int x, int y, const std::string& utf8,
                    uint32_t color) {
    if (!UpdateTexture(device)) return 0;
    struct Vertex {
        float x, y, z;
        uint32_t color;
        float u, v;
    };
    std::vector<Vertex> v;
    v.reserve(utf8.size() * 6);
    const float scale = 1.0f / float(kAtlasSize);
    int pen = x, baseline = y + ascent;
    for (char32_t c : mtxOs::DecodeUtf8(utf8)) {
        const Entry* e = Find(c);
        if (!e) continue;  // not prepared: drawn as nothing
        if (e->width > 0) {
            // Glyph pixels map one to one onto target pixels: edges half a pixel out.
            float l = float(pen + e->left) - 0.5f, t = float(baseline - e->top) - 0.5f;
            float r = l + e->width, b = t + e->height;
            float u0 = e->x * scale, v0 = e->y * scale;
            float u1 = (e->x + e->width) * scale, v1 = (e->y + e->height) * scale;
            Vertex quad[6] = {{l, t, 100, color, u0, v0}, {r, t, 100, color, u1, v0},
                              {l, b, 100, color, u0, v1}, {r, t, 100, color, u1, v0},
                              {r, b, 100, color, u1, v1}, {l, b, 100, color, u0, v1}};
            v.insert(v.end(), quad, quad + 6);
        }
        pen += e->advance;
    }
    if (v.empty()) return 1;
    device->SetTexture(0, texture_);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetPixelShader(nullptr);
    device->SetVertexShader(nullptr);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    HRESULT hr = device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, uint32_t(v.size() / 3), v.data(),
                                         sizeof(Vertex));
    device->SetTexture(0, nullptr);
    return SUCCEEDED(hr) ? 1 : 0;
}

int mtxIEFont::DrawAligned(IDirect3DDevice9* device, const RECT& r, const std::string& utf8,
                           uint32_t align, uint32_t color) {
    int width = Width(utf8), space = r.right - r.left;
    int x = r.left;
    if (width < space) {
        if (align == 1) x = r.right - width;
        if (align == 2) x = r.left + (space - width) / 2;
    }
    int y = r.top + (r.bottom - r.top - LineHeight()) / 2;
    return Draw(device, x, y, utf8, color);
}
