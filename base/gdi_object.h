#pragma once
#include <cstdint>
#include <string>

#include "platform/gdi.h"

// One graphics object (font, brush, bitmap), owned: deleted with the wrapper.
class mtxGObject {
  public:
    mtxGObject() = default;
    explicit mtxGObject(mtxOs::HGDIOBJ handle) : handle_(handle) {}
    virtual ~mtxGObject() { Delete(); }
    mtxGObject(const mtxGObject&) = delete;
    mtxGObject& operator=(const mtxGObject&) = delete;

    // Deletes the object; deleting nothing succeeds. Returns 1 on success.
    int Delete();
    void Attach(mtxOs::HGDIOBJ handle) {
        Delete();
        handle_ = handle;
    }
    mtxOs::HGDIOBJ Handle() const { return handle_; }

  protected:
    mtxOs::HGDIOBJ handle_ = nullptr;
};

// A font with its outline text metrics and face name.
class mtxGFont : public mtxGObject {
  public:
    static constexpr uint32_t kItalic = 1, kUnderline = 2, kStrikeOut = 4;
    static constexpr size_t kFaceNameUnits = 64;

    // Creates the font (face "Arial" when none is given) and reads its
    // metrics; 0 when no font could be made.
    int Create(int height, int weight, uint32_t style, const char* face = nullptr,
               uint8_t charSet = 0, uint8_t pitchAndFamily = 0);

    const mtxOs::OUTLINETEXTMETRIC& Metrics() const { return metrics_; }
    const std::string& FaceName() const { return faceName_; }

    // Measured in a memory context of its own; each returns 0 on failure.
    int TextExtent(const std::string& text, mtxOs::SIZE& out) const;
    int AbcWidths(uint32_t first, uint32_t last, mtxOs::ABC* out) const;
    // As GetGlyphOutline: bytes written or needed, GDI_ERROR on failure.
    uint32_t GlyphOutline(char32_t c, uint32_t format, mtxOs::GLYPHMETRICS& metrics,
                          uint32_t bufferSize, void* buffer) const;

  private:
    mtxOs::OUTLINETEXTMETRIC metrics_;
    std::string faceName_;
};
