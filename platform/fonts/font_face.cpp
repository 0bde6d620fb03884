#include "platform/font_face.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <mutex>
#include <unordered_map>

// Fontconfig and the desktop bus library it may load keep a few blocks to the
// end of the process without a pointer to them; those are theirs, not ours, so
// the leak checker of sanitized builds is told to let them be.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}

namespace mtxOs {

namespace {

// Fontconfig's configuration is loaded once per process and is safe to query
// from several threads once loaded.
std::mutex gFontConfigLock;

bool FindFontFile(const std::string& family, int weight, bool italic, std::string& file,
                  int& index) {
    std::lock_guard guard(gFontConfigLock);
    if (!FcInit()) return false;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(
        pattern, FC_FAMILY,
        reinterpret_cast<const FcChar8*>(family.empty() ? "sans-serif" : family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::clamp(weight, 1, 1000)));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* path = nullptr;
    bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
    if (found) {
        file = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    }
    FcPatternDestroy(match);
    return found;
}

int Pixels26(FT_Pos v) {
    return static_cast<int>((v + 32) >> 6);
}

}  // namespace

struct FontFace::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::unordered_map<char32_t, Glyph> cache;
    ~Impl() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

FontFace::~FontFace() = default;

std::unique_ptr<FontFace> FontFace::Open(const std::string& family, int pixelHeight, int weight,
                                         bool italic) {
    std::string file;
    int index = 0;
    if (pixelHeight <= 0 || !FindFontFile(family, weight, italic, file, index)) return nullptr;
    std::unique_ptr<FontFace> font(new FontFace);
    font->impl_ = std::make_unique<Impl>();
    Impl& impl = *font->impl_;
    if (FT_Init_FreeType(&impl.library) != 0) return nullptr;
    if (FT_New_Face(impl.library, file.c_str(), index, &impl.face) != 0) return nullptr;
    if (FT_Set_Pixel_Sizes(impl.face, 0, static_cast<FT_UInt>(pixelHeight)) != 0) return nullptr;
    font->file_ = file;
    font->family_ = impl.face->family_name ? impl.face->family_name : family;

    FT_Face face = impl.face;
    const FT_Size_Metrics& sm = face->size->metrics;
    FontMetrics& m = font->metrics_;
    m.ascent = Pixels26(sm.ascender);
    m.descent = -Pixels26(sm.descender);
    m.lineGap = std::max(0, Pixels26(sm.height) - m.ascent - m.descent);
    m.maxAdvance = Pixels26(sm.max_advance);
    m.unitsPerEm = face->units_per_EM;
    m.emHeight = pixelHeight;
    m.ascender = face->ascender;
    m.descender = face->descender;
    double scale = static_cast<double>(pixelHeight) / std::max<int>(face->units_per_EM, 1);
    m.underlinePosition = static_cast<int>(std::lround(-face->underline_position * scale));
    m.underlineThickness =
        std::max(1, static_cast<int>(std::lround(face->underline_thickness * scale)));
    m.italic = italic || (face->style_flags & FT_STYLE_FLAG_ITALIC);
    m.weight = (face->style_flags & FT_STYLE_FLAG_BOLD) ? 700 : 400;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
        m.averageWidth = static_cast<int>(std::lround(os2->xAvgCharWidth * scale));
        m.weight = os2->usWeightClass;
        if (os2->version >= 2) {
            m.xHeight = static_cast<int>(std::lround(os2->sxHeight * scale));
            m.capHeight = static_cast<int>(std::lround(os2->sCapHeight * scale));
        }
    }
    if (m.averageWidth == 0) m.averageWidth = font->GetGlyph(U'x').advance;
    return font;
}

bool FontFace::HasGlyph(char32_t c) const {
    return FT_Get_Char_Index(impl_->face, c) != 0;
}

const Glyph& FontFace::GetGlyph(char32_t c) {
    auto it = impl_->cache.find(c);
    if (it != impl_->cache.end()) return it->second;
    Glyph& g = impl_->cache[c];
    FT_Face face = impl_->face;
    if (FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) return g;
    FT_GlyphSlot slot = face->glyph;
    g.advance = Pixels26(slot->advance.x);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY) return g;
    g.width = static_cast<int>(bm.width);
    g.height = static_cast<int>(bm.rows);
    g.mask.resize(static_cast<size_t>(g.width) * g.height);
    for (int y = 0; y < g.height; ++y)
        std::copy_n(bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch, g.width,
                    g.mask.data() + static_cast<size_t>(y) * g.width);
    if (g.width > 0) {
        g.boundsLeft = g.left;
        g.boundsRight = g.left + g.width;
    }
    return g;
}

int FontFace::TextWidth(const std::string& utf8) {
    int width = 0;
    for (char32_t c : DecodeUtf8(utf8)) width += GetGlyph(c).advance;
    return width;
}

void FontFace::Draw(Bitmap& target, int x, int baselineY, const std::string& utf8, uint32_t argb,
                    int clipLeft, int clipTop, int clipRight, int clipBottom) {
    for (char32_t c : DecodeUtf8(utf8)) {
        const Glyph& g = GetGlyph(c);
        if (!g.mask.empty())
            target.BlendMask(x + g.left, baselineY - g.top, g.mask.data(), g.width, g.height,
                             g.width, 255, argb, clipLeft, clipTop, clipRight, clipBottom);
        x += g.advance;
    }
}

std::u32string DecodeUtf8(const std::string& text) {
    std::u32string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        if (extra < 0) {
            out += U'\uFFFD';
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? b : b & (0x3F >> extra);
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if (!ok) {
            out += U'\uFFFD';
            ++i;
            continue;
        }
        out += c;
        i += extra + 1;
    }
    return out;
}

}  // namespace mtxOs
