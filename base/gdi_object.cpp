#include "base/gdi_object.h"

#include "platform/text.h"

using namespace mtxOs;

namespace {

// A memory context with the font selected and the text map mode, released on return.
class Measuring {
  public:
    explicit Measuring(HGDIOBJ font) : dc_(CreateCompatibleDC(nullptr)) {
        SetMapMode(dc_, MM_TEXT);
        if (font) SelectObject(dc_, font);
    }
    ~Measuring() { DeleteDC(dc_); }
    HDC dc() const { return dc_; }

  private:
    HDC dc_;
};

}  // namespace

int mtxGObject::Delete() {
    DeleteObject(handle_);
    handle_ = nullptr;
    return 1;
}

int mtxGFont::Create(int height, int weight, uint32_t style, const char* face, uint8_t charSet,
                     uint8_t pitchAndFamily) {
    Delete();
    std::string name = face && *face ? face : "Arial";
    handle_ = CreateFont(height, weight, style, name, charSet, pitchAndFamily);
    if (!handle_) return 0;
    Measuring m(handle_);
    if (!GetOutlineTextMetrics(m.dc(), metrics_)) return 0;
    std::u16string units = mtxUtf8ToUtf16(metrics_.faceName);
    if (units.size() > kFaceNameUnits) units.resize(kFaceNameUnits);
    faceName_ = mtxUtf16ToUtf8(units);
    return 1;
}

int mtxGFont::TextExtent(const std::string& text, SIZE& out) const {
    if (!handle_) return 0;
    Measuring m(handle_);
    return GetTextExtentPoint32(m.dc(), text, out) ? 1 : 0;
}

int mtxGFont::AbcWidths(uint32_t first, uint32_t last, ABC* out) const {
    if (!handle_) return 0;
    Measuring m(handle_);
    return GetCharABCWidths(m.dc(), first, last, out) ? 1 : 0;
}

uint32_t mtxGFont::GlyphOutline(char32_t c, uint32_t format, GLYPHMETRICS& metrics,
                                uint32_t bufferSize, void* buffer) const {
    if (!handle_) return GDI_ERROR;
    Measuring m(handle_);
    return GetGlyphOutline(m.dc(), c, format, metrics, bufferSize, buffer);
}
