#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/bitmap.h"

// A scalable font at one pixel size, found through the system's font
// configuration ("Arial" resolves to a metric-compatible face where the
// original is missing). Glyph images are coverage masks; outlines and metrics
// are in whole pixels. Not thread-safe: use one face per thread.
namespace mtxOs {

struct FontMetrics {
    int ascent = 0;      // pixels above the baseline
    int descent = 0;     // pixels below the baseline (positive)
    int lineGap = 0;     // extra leading the font asks for
    int unitsPerEm = 0;  // design units of the outlines
    int emHeight = 0;    // the pixel size the face was opened at
    int averageWidth = 0;
    int maxAdvance = 0;
    int underlinePosition = 0;  // pixels below the baseline
    int underlineThickness = 1;
    int xHeight = 0;
    int capHeight = 0;
    int ascender = 0, descender = 0;  // typographic, in design units
    int weight = 400;
    bool italic = false;
};

struct Glyph {
    int advance = 0;        // pixels to the next pen position
    int left = 0, top = 0;  // mask origin relative to the pen on the baseline (top is up)
    int width = 0, height = 0;
    int boundsLeft = 0, boundsRight = 0;  // ink extent relative to the pen, 0 for blank glyphs
    std::vector<uint8_t> mask;            // width x height coverage 0..255, top row first
};

class FontFace {
  public:
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // The best face the system has for family (weight 100..900), sized so its
    // em square is pixelHeight pixels. Null when no font can be opened.
    static std::unique_ptr<FontFace> Open(const std::string& family, int pixelHeight, int weight,
                                          bool italic);

    const FontMetrics& Metrics() const { return metrics_; }
    const std::string& FamilyName() const { return family_; }
    const std::string& FilePath() const { return file_; }
    // The glyph of a code point (the font's missing-glyph box when it has none).
    const Glyph& GetGlyph(char32_t c);
    bool HasGlyph(char32_t c) const;
    // Advance width of UTF-8 text in pixels.
    int TextWidth(const std::string& utf8);
    // Draws UTF-8 text with its baseline at y, clipped to the clip rectangle.
    void Draw(Bitmap& target, int x, int baselineY, const std::string& utf8, uint32_t argb,
              int clipLeft, int clipTop, int clipRight, int clipBottom);

  private:
    FontFace() = default;
    struct Impl;
    std::unique_ptr<Impl> impl_;
    FontMetrics metrics_;
    std::string family_, file_;
};

// Decodes UTF-8 into code points; invalid bytes become U+FFFD.
std::u32string DecodeUtf8(const std::string& text);

}  // namespace mtxOs
