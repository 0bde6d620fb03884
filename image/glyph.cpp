#include "image/glyph.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// A memory context with the font selected, released on leaving.
class GlyphContext {
  public:
    explicit GlyphContext(mtxOs::HGDIOBJ font) : dc_(mtxOs::CreateCompatibleDC(nullptr)) {
        if (!font) font = own_ = mtxOs::CreateFont(-18, 400, 0, "Arial", 0, 17);
        if (dc_ && font) selected_ = mtxOs::SelectObject(dc_, font) != nullptr;
    }
    ~GlyphContext() {
        if (dc_) mtxOs::DeleteDC(dc_);
        mtxOs::DeleteObject(own_);
    }
    GlyphContext(const GlyphContext&) = delete;
    GlyphContext& operator=(const GlyphContext&) = delete;

    mtxOs::HDC Get() const { return selected_ ? dc_ : nullptr; }

  private:
    mtxOs::HDC dc_ = nullptr;
    mtxOs::HGDIOBJ own_ = nullptr;
    bool selected_ = false;
};

}  // namespace

int DrawGlyph(mtxImage& image, char32_t c, int x, int y, mtxOs::HGDIOBJ font) {
    GlyphContext context(font);
    mtxOs::HDC dc = context.Get();
    if (!dc) return 0;
    mtxOs::TEXTMETRIC tm;
    if (!mtxOs::GetTextMetrics(dc, tm)) return 0;
    mtxOs::GLYPHMETRICS gm;
    uint32_t size = mtxOs::GetGlyphOutline(dc, c, mtxOs::GGO_GRAY8_BITMAP, gm, 0, nullptr);
    if (size == mtxOs::GDI_ERROR) return 0;
    if (size == 0) return 1;
    void* buffer = std::realloc(image.auxiliary, size);
    if (!buffer) return 0;
    image.auxiliary = buffer;
    std::memset(buffer, 0, size);
    if (mtxOs::GetGlyphOutline(dc, c, mtxOs::GGO_GRAY8_BITMAP, gm, size, buffer) ==
        mtxOs::GDI_ERROR)
        return 0;
    // Rows of the grey bitmap are padded to four bytes.
    const int64_t pitch = (int64_t(gm.blackBoxX) + 3) & ~int64_t(3);
    const int64_t rows = std::min<int64_t>(gm.blackBoxY, pitch ? size / pitch : 0);
    const int64_t left = int64_t(x) + gm.glyphOrigin.x;
    const int64_t top = int64_t(y) + tm.ascent - gm.glyphOrigin.y;
    if (!image.Lock()) return 0;
    const auto* levels = static_cast<const uint8_t*>(buffer);
    for (int64_t v = 0; v < rows; ++v) {
        const int64_t py = top + v;
        if (py < 0 || py >= image.height) continue;
        mtxColor* row = image.Row(int(py));
        for (int64_t u = 0; u < int64_t(gm.blackBoxX); ++u) {
            const int64_t px = left + u;
            if (px < 0 || px >= image.width) continue;
            uint32_t level = std::min<uint32_t>(levels[v * pitch + u], 64);
            row[px] = ((level * 255 / 65) << 24) | 0x00FFFFFF;
        }
    }
    image.Unlock();
    return 1;
}
