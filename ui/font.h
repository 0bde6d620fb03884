#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/device.h"
#include "platform/font_face.h"

// A font of the toolkit: glyphs are rasterised once into an atlas whose
// pixels in memory are the truth; the device texture is only a copy of them,
// made and refreshed outside of drawing (Prepare, or the first draw after new
// glyphs) and made again whenever it is missing. A string is one draw.
class mtxIEFont {
  public:
    static constexpr int kAtlasSize = 512;

    // Opens the face and rasterises printable ASCII and Latin-1. Null when the
    // system has no usable font.
    static std::unique_ptr<mtxIEFont> Create(const std::string& family, int pixelHeight,
                                             int weight);
    ~mtxIEFont();

    // Rasterises the glyphs of text that the atlas lacks (never call it while
    // a frame draws). Returns 0 when the atlas is full; the glyphs that did
    // not fit are drawn as nothing.
    int Prepare(const std::string& utf8);
    // Makes the texture or brings it up to date with the atlas. 1 when the
    // texture can be drawn with.
    int UpdateTexture(IDirect3DDevice9* device);
    void ReleaseTexture();

    int LineHeight() const { return ascent + descent; }
    int Width(const std::string& utf8);
    // Advance of the first count code points.
    int Width(const std::u32string& text, size_t count);
    // Draws one line with its top at y; returns 1 when drawn.
    int Draw(IDirect3DDevice9* device, int x, int y, const std::string& utf8, uint32_t color);
    // Draws one line in r: vertically centred, aligned left (0), right (1) or
    // centred (2); text wider than r starts at its left edge.
    int DrawAligned(IDirect3DDevice9* device, const RECT& r, const std::string& utf8,
                    uint32_t align, uint32_t color);

    struct Entry {
        int16_t x = 0, y = 0, width = 0, height = 0;  // in the atlas
        int16_t left = 0, top = 0, advance = 0;       // from the pen on the baseline
    };
    const Entry* Find(char32_t c) const;

    int ascent = 0, descent = 0;
    std::vector<uint32_t> atlas;  // kAtlasSize^2 A8R8G8B8: white with coverage as alpha
    uint64_t atlasVersion = 1, textureVersion = 0;

  private:
    mtxIEFont() = default;
    int Add(char32_t c);

    std::unique_ptr<mtxOs::FontFace> face_;
    std::unordered_map<char32_t, Entry> glyphs_;
    int shelfX_ = 1, shelfY_ = 1, shelfHeight_ = 0;
    IDirect3DTexture9* texture_ = nullptr;
    IDirect3DDevice9* textureDevice_ = nullptr;
};
