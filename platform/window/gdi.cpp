#include "platform/gdi.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "platform/font_face.h"
#include "platform/window/window_internal.h"

namespace mtxOs {

using namespace detail;

struct HGDIOBJ__ {
    enum Kind { kBitmap, kBrush, kFont } kind = kBrush;
    bool stock = false;
    Bitmap pixels;
    COLORREF color = 0;
    bool hollow = false;
    std::unique_ptr<FontFace> face;
    uint32_t style = 0;
    uint8_t charSet = 0, pitchAndFamily = 0;
};

struct HDC__ {
    struct State {
        COLORREF text = 0, bk = 0xFFFFFF;
        int bkMode = OPAQUE, mapMode = MM_TEXT;
        HGDIOBJ font = nullptr, brush = nullptr, bitmap = nullptr;
        POINT viewportOrg;
        SIZE viewportExt{1, 1}, windowExt{1, 1};
    };
    HWND hwnd = nullptr;  // null for a memory context
    bool memory = false;
    State state;
    std::vector<State> saved;
};

namespace {

uint32_t Argb(COLORREF c) {
    return 0xFF000000 | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

HGDIOBJ Stock(int which) {
    static HGDIOBJ objects[32] = {};
    if (which < 0 || which >= 32) return nullptr;
    if (objects[which]) return objects[which];
    auto* o = new HGDIOBJ__;
    o->stock = true;
    switch (which) {
        case WHITE_BRUSH:
            o->color = 0xFFFFFF;
            break;
        case LTGRAY_BRUSH:
            o->color = 0xC0C0C0;
            break;
        case GRAY_BRUSH:
            o->color = 0x808080;
            break;
        case BLACK_BRUSH:
            o->color = 0;
            break;
        case NULL_BRUSH:
            o->hollow = true;
            break;
        case SYSTEM_FONT:
        case DEFAULT_GUI_FONT:
            o->kind = HGDIOBJ__::kFont;
            o->face = FontFace::Open("Arial", 13, 400, false);
            if (!o->face) {
                delete o;
                return nullptr;
            }
            break;
        default:
            delete o;
            return nullptr;
    }
    objects[which] = o;
    return o;
}

// Where a context draws: the target bitmap, the pixel of logical (0, 0) and
// the clip rectangle, all in target pixels. False when there is nothing to draw on.
struct Surface {
    Bitmap* bitmap = nullptr;
    int x = 0, y = 0;
    RECT clip;
};

bool Resolve(HDC dc, Surface& s) {
    if (!dc) return false;
    if (dc->memory) {
        HGDIOBJ b = dc->state.bitmap;
        if (!b) return false;
        s.bitmap = &b->pixels;
        s.clip = {0, 0, b->pixels.width, b->pixels.height};
    } else {
        Window* w = Find(dc->hwnd);
        if (!w) return false;
        Window* top = w;
        while (top->parent) top = top->parent;
        int bar = top->top->menuBarHeight;
        s.bitmap = &top->top->canvas;
        RECT r = RectInTop(w);
        s.x = r.left;
        s.y = r.top + bar;
        s.clip = {r.left, r.top + bar, r.right, r.bottom + bar};
        for (Window* p = w->parent; p; p = p->parent) {
            RECT pr = RectInTop(p);
            s.clip = {std::max(s.clip.left, pr.left), std::max(s.clip.top, pr.top + bar),
                      std::min(s.clip.right, pr.right), std::min(s.clip.bottom, pr.bottom + bar)};
        }
        top->top->needsPresent = true;
    }
    s.x += dc->state.viewportOrg.x;
    s.y += dc->state.viewportOrg.y;
    s.clip.right = std::max(s.clip.left, std::min(s.clip.right, s.bitmap->width));
    s.clip.bottom = std::max(s.clip.top, std::min(s.clip.bottom, s.bitmap->height));
    return true;
}

FontFace* FontOf(HDC dc) {
    HGDIOBJ f = dc ? dc->state.font : nullptr;
    if (!f) f = Stock(DEFAULT_GUI_FONT);
    return f ? f->face.get() : nullptr;
}

void DrawTextLine(HDC dc, int x, int y, const std::string& text, COLORREF color,
                  const RECT* clip = nullptr) {
    Surface s;
    FontFace* f = FontOf(dc);
    if (!Resolve(dc, s) || !f) return;
    if (clip) {
        s.clip = {std::max<int>(s.clip.left, clip->left + s.x),
                  std::max<int>(s.clip.top, clip->top + s.y),
                  std::min<int>(s.clip.right, clip->right + s.x),
                  std::min<int>(s.clip.bottom, clip->bottom + s.y)};
        if (s.clip.left >= s.clip.right || s.clip.top >= s.clip.bottom) return;
    }
    const FontMetrics& m = f->Metrics();
    int px = s.x + x, py = s.y + y;
    if (dc->state.bkMode == OPAQUE) {
        int width = f->TextWidth(text);
        s.bitmap->Fill(std::max<int>(px, s.clip.left), std::max<int>(py, s.clip.top),
                       std::min<int>(px + width, s.clip.right),
                       std::min<int>(py + m.ascent + m.descent, s.clip.bottom), Argb(dc->state.bk));
    }
    f->Draw(*s.bitmap, px, py + m.ascent, text, Argb(color), s.clip.left, s.clip.top, s.clip.right,
            s.clip.bottom);
    HGDIOBJ font = dc->state.font;
    uint32_t style = font ? font->style : 0;
    int width = (style & 6) ? f->TextWidth(text) : 0;
    int thickness = std::max(1, m.underlineThickness);
    if (style & 2) {
        int uy = py + m.ascent + std::max(1, m.underlinePosition);
        s.bitmap->Fill(std::max<int>(px, s.clip.left), std::max<int>(uy, s.clip.top),
                       std::min<int>(px + width, s.clip.right),
                       std::min<int>(uy + thickness, s.clip.bottom), Argb(color));
    }
    if (style & 4) {
        int sy = py + m.ascent - std::max(1, m.xHeight / 2);
        s.bitmap->Fill(std::max<int>(px, s.clip.left), std::max<int>(sy, s.clip.top),
                       std::min<int>(px + width, s.clip.right),
                       std::min<int>(sy + thickness, s.clip.bottom), Argb(color));
    }
}

}  // namespace

namespace detail {

// The default handling of WM_ERASEBKGND: the class background, when it has one.
void EraseWithClassBackground(HWND hwnd, HDC dc) {
    Window* w = Find(hwnd);
    if (!w || !w->cls.background) return;
    RECT client;
    GetClientRect(hwnd, client);
    HGDIOBJ brush = CreateSolidBrush(GetSysColor(static_cast<int>(w->cls.background) - 1));
    FillRect(dc, client, brush);
    DeleteObject(brush);
}

}  // namespace detail

COLORREF GetSysColor(int index) {
    switch (index) {
        case 4:
            return RGB(240, 240, 240);  // COLOR_MENU
        case 5:
            return RGB(255, 255, 255);  // COLOR_WINDOW
        case 6:
            return RGB(100, 100, 100);  // COLOR_WINDOWFRAME
        case 8:
            return RGB(0, 0, 0);  // COLOR_WINDOWTEXT
        case 15:
            return RGB(240, 240, 240);  // COLOR_BTNFACE
        case 17:
            return RGB(109, 109, 109);  // COLOR_GRAYTEXT
        default:
            return RGB(255, 255, 255);
    }
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT& ps) {
    ps = {};
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    bool erase = w->erase;
    ps.paint = w->invalid ? w->invalidRect : RECT{};
    ValidateRect(hwnd, nullptr);
    HDC dc = GetDC(hwnd);
    ps.hdc = dc;
    if (erase) ps.erase = SendMessage(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
    return dc;
}

bool EndPaint(HWND hwnd, const PAINTSTRUCT& ps) {
    return ReleaseDC(hwnd, ps.hdc) == 1;
}

HDC GetDC(HWND hwnd) {
    if (!Find(hwnd)) return nullptr;
    auto* dc = new HDC__;
    dc->hwnd = hwnd;
    return dc;
}

int ReleaseDC(HWND, HDC dc) {
    delete dc;
    return dc ? 1 : 0;
}

HDC CreateCompatibleDC(HDC) {
    auto* dc = new HDC__;
    dc->memory = true;
    return dc;
}

bool DeleteDC(HDC dc) {
    delete dc;
    return dc != nullptr;
}

HGDIOBJ CreateCompatibleBitmap(HDC, int width, int height) {
    return CreateBitmap(width, height, nullptr);
}

HGDIOBJ CreateBitmap(int width, int height, const uint32_t* argb) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    auto* o = new HGDIOBJ__;
    o->kind = HGDIOBJ__::kBitmap;
    o->pixels.Resize(width, height, 0xFF000000);
    if (argb) std::copy_n(argb, o->pixels.pixels.size(), o->pixels.pixels.begin());
    return o;
}

const Bitmap* GetBitmapPixels(HGDIOBJ bitmap) {
    return bitmap && bitmap->kind == HGDIOBJ__::kBitmap ? &bitmap->pixels : nullptr;
}

HGDIOBJ CreateSolidBrush(COLORREF color) {
    auto* o = new HGDIOBJ__;
    o->color = color & 0xFFFFFF;
    return o;
}

HGDIOBJ CreateFont(int height, int weight, uint32_t style, const std::string& face, uint8_t charSet,
                   uint8_t pitchAndFamily) {
    std::string family = face.empty() ? "Arial" : face;
    int em = height < 0 ? -height : height == 0 ? 16 : height;
    auto font = FontFace::Open(family, em, weight ? weight : 400, style & 1);
    if (!font) return nullptr;
    if (height > 0) {
        // A positive height is the whole cell: shrink the em square to fit it.
        int cell = font->Metrics().ascent + font->Metrics().descent;
        if (cell > 0 && cell != height)
            if (auto fitted = FontFace::Open(family, std::max(1, em * height / cell),
                                             weight ? weight : 400, style & 1))
                font = std::move(fitted);
    }
    auto* o = new HGDIOBJ__;
    o->kind = HGDIOBJ__::kFont;
    o->face = std::move(font);
    o->style = style & 7;
    o->charSet = charSet;
    o->pitchAndFamily = pitchAndFamily;
    return o;
}

HGDIOBJ GetStockObject(int which) {
    return Stock(which);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    if (!dc || !object) return nullptr;
    HGDIOBJ* slot = object->kind == HGDIOBJ__::kFont     ? &dc->state.font
                    : object->kind == HGDIOBJ__::kBitmap ? &dc->state.bitmap
                                                         : &dc->state.brush;
    if (object->kind == HGDIOBJ__::kBitmap && !dc->memory) return nullptr;
    HGDIOBJ old = *slot;
    *slot = object;
    if (!old) old = object->kind == HGDIOBJ__::kFont ? Stock(SYSTEM_FONT) : Stock(WHITE_BRUSH);
    return old;
}

bool DeleteObject(HGDIOBJ object) {
    if (object && !object->stock) delete object;
    return true;
}

int SaveDC(HDC dc) {
    if (!dc) return 0;
    dc->saved.push_back(dc->state);
    return static_cast<int>(dc->saved.size());
}

bool RestoreDC(HDC dc, int saved) {
    if (!dc) return false;
    int n = static_cast<int>(dc->saved.size());
    int index = saved < 0 ? n + saved : saved - 1;
    if (index < 0 || index >= n) return false;
    dc->state = dc->saved[index];
    dc->saved.resize(index);
    return true;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
    if (!dc) return 0xFFFFFFFF;
    std::swap(dc->state.bk, color);
    return color;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    if (!dc) return 0xFFFFFFFF;
    std::swap(dc->state.text, color);
    return color;
}

int SetBkMode(HDC dc, int mode) {
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    std::swap(dc->state.bkMode, mode);
    return mode;
}

int SetMapMode(HDC dc, int mode) {
    // Only MM_TEXT exists; other modes are refused rather than drawn wrongly.
    if (!dc || mode != MM_TEXT) return 0;
    return std::exchange(dc->state.mapMode, mode);
}

bool SetViewportOrgEx(HDC dc, int x, int y, POINT* old) {
    if (!dc) return false;
    if (old) *old = dc->state.viewportOrg;
    dc->state.viewportOrg = {x, y};
    return true;
}

bool SetViewportExtEx(HDC dc, int x, int y, SIZE* old) {
    if (!dc) return false;
    if (old) *old = dc->state.viewportExt;
    dc->state.viewportExt = {x, y};  // ignored in MM_TEXT, as on the system
    return true;
}

bool SetWindowExtEx(HDC dc, int x, int y, SIZE* old) {
    if (!dc) return false;
    if (old) *old = dc->state.windowExt;
    dc->state.windowExt = {x, y};
    return true;
}

int GetClipBox(HDC dc, RECT& out) {
    Surface s;
    if (!Resolve(dc, s)) return 0;
    out = {s.clip.left - s.x, s.clip.top - s.y, s.clip.right - s.x, s.clip.bottom - s.y};
    return out.left < out.right && out.top < out.bottom ? 2 : 1;
}

bool PtVisible(HDC dc, int x, int y) {
    RECT c;
    return GetClipBox(dc, c) == 2 && x >= c.left && x < c.right && y >= c.top && y < c.bottom;
}

bool RectVisible(HDC dc, const RECT& r) {
    RECT c;
    return GetClipBox(dc, c) == 2 && r.left < c.right && r.right > c.left && r.top < c.bottom &&
           r.bottom > c.top;
}

bool FillRect(HDC dc, const RECT& r, HGDIOBJ brush) {
    Surface s;
    if (!brush || brush->kind != HGDIOBJ__::kBrush || !Resolve(dc, s)) return false;
    if (brush->hollow) return true;
    s.bitmap->Fill(std::max<int>(r.left + s.x, s.clip.left), std::max<int>(r.top + s.y, s.clip.top),
                   std::min<int>(r.right + s.x, s.clip.right),
                   std::min<int>(r.bottom + s.y, s.clip.bottom), Argb(brush->color));
    return true;
}

bool BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
            uint32_t rop) {
    Surface d, s;
    if (rop != SRCCOPY || !Resolve(dst, d) || !Resolve(src, s)) return false;
    int dx = x + d.x, dy = y + d.y, sx = srcX + s.x, sy = srcY + s.y;
    // Clip against the destination's clip rectangle, then copy.
    int left = std::max<int>(dx, d.clip.left), top = std::max<int>(dy, d.clip.top);
    int right = std::min<int>(dx + width, d.clip.right);
    int bottom = std::min<int>(dy + height, d.clip.bottom);
    if (left >= right || top >= bottom) return true;
    Bitmap copy;  // the source may be the destination
    copy.Resize(right - left, bottom - top, 0);
    copy.Copy(*s.bitmap, sx + (left - dx), sy + (top - dy), right - left, bottom - top, 0, 0);
    d.bitmap->Copy(copy, 0, 0, copy.width, copy.height, left, top);
    return true;
}

bool TextOut(HDC dc, int x, int y, const std::string& text) {
    if (!dc) return false;
    DrawTextLine(dc, x, y, text, dc->state.text);
    return true;
}

bool ExtTextOut(HDC dc, int x, int y, uint32_t options, const RECT* r, const std::string& text) {
    if (!dc) return false;
    if (r && (options & ETO_OPAQUE)) {
        HGDIOBJ brush = CreateSolidBrush(dc->state.bk);
        FillRect(dc, *r, brush);
        DeleteObject(brush);
    }
    DrawTextLine(dc, x, y, text, dc->state.text, r && (options & ETO_CLIPPED) ? r : nullptr);
    return true;
}

SIZE TabbedTextOut(HDC dc, int x, int y, const std::string& text, int tabWidth, int tabOrigin) {
    SIZE total;
    FontFace* f = FontOf(dc);
    if (!dc || !f) return total;
    if (tabWidth <= 0) tabWidth = 8 * std::max(1, f->Metrics().averageWidth);
    int pen = x;
    size_t start = 0;
    for (;;) {
        size_t tab = text.find('\t', start);
        std::string part = text.substr(start, tab == std::string::npos ? tab : tab - start);
        DrawTextLine(dc, pen, y, part, dc->state.text);
        pen += f->TextWidth(part);
        if (tab == std::string::npos) break;
        pen = tabOrigin + ((pen - tabOrigin) / tabWidth + 1) * tabWidth;
        start = tab + 1;
    }
    total.cx = pen - x;
    total.cy = f->Metrics().ascent + f->Metrics().descent;
    return total;
}

int DrawText(HDC dc, const std::string& text, RECT& r, uint32_t format) {
    FontFace* f = FontOf(dc);
    if (!dc || !f) return 0;
    int width = f->TextWidth(text), height = f->Metrics().ascent + f->Metrics().descent;
    if (format & DT_CALCRECT) {
        r.right = r.left + width;
        r.bottom = r.top + height;
        return height;
    }
    int x = r.left, y = r.top;
    if (format & DT_CENTER)
        x = (r.left + r.right - width) / 2;
    else if (format & DT_RIGHT)
        x = r.right - width;
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER))
        y = (r.top + r.bottom - height) / 2;
    else if ((format & DT_SINGLELINE) && (format & DT_BOTTOM))
        y = r.bottom - height;
    DrawTextLine(dc, x, y, text, dc->state.text);
    return height;
}

bool GrayString(HDC dc, int x, int y, const std::string& text) {
    if (!dc) return false;
    DrawTextLine(dc, x, y, text, GetSysColor(17));
    return true;
}

bool GetTextMetrics(HDC dc, TEXTMETRIC& out) {
    OUTLINETEXTMETRIC otm;
    if (!GetOutlineTextMetrics(dc, otm)) return false;
    out = otm.tm;
    return true;
}

uint32_t GetOutlineTextMetrics(HDC dc, OUTLINETEXTMETRIC& out) {
    FontFace* f = FontOf(dc);
    if (!dc || !f) return 0;
    const FontMetrics& m = f->Metrics();
    HGDIOBJ font = dc->state.font;
    out = {};
    out.tm.ascent = m.ascent;
    out.tm.descent = m.descent;
    out.tm.height = m.ascent + m.descent;
    out.tm.internalLeading = std::max(0, out.tm.height - m.emHeight);
    out.tm.externalLeading = m.lineGap;
    out.tm.aveCharWidth = m.averageWidth;
    out.tm.maxCharWidth = m.maxAdvance;
    out.tm.weight = m.weight;
    out.tm.italic = m.italic;
    out.tm.underlined = font && (font->style & 2);
    out.tm.struckOut = font && (font->style & 4);
    out.tm.charSet = font ? font->charSet : 0;
    out.tm.pitchAndFamily = font ? font->pitchAndFamily : 0;
    out.emSquare = m.unitsPerEm;
    double scale = static_cast<double>(m.emHeight) / std::max(1, m.unitsPerEm);
    out.ascent = static_cast<int32_t>(m.ascender * scale + 0.5);
    out.descent = static_cast<int32_t>(m.descender * scale - 0.5);
    out.lineGap = m.lineGap;
    out.capEmHeight = m.capHeight;
    out.xHeight = m.xHeight;
    out.underscoreSize = m.underlineThickness;
    out.underscorePosition = -m.underlinePosition;
    out.fontBox = {0, m.ascent, m.maxAdvance, -m.descent};
    out.faceName = f->FamilyName();
    return sizeof(OUTLINETEXTMETRIC);
}

bool GetTextExtentPoint32(HDC dc, const std::string& text, SIZE& out) {
    FontFace* f = FontOf(dc);
    if (!dc || !f) return false;
    out = {f->TextWidth(text), f->Metrics().ascent + f->Metrics().descent};
    return true;
}

bool GetCharABCWidths(HDC dc, uint32_t first, uint32_t last, ABC* out) {
    FontFace* f = FontOf(dc);
    if (!dc || !f || !out || last < first) return false;
    for (uint32_t c = first; c <= last; ++c) {
        const Glyph& g = f->GetGlyph(c);
        ABC& abc = out[c - first];
        if (g.boundsRight > g.boundsLeft) {
            abc = {g.boundsLeft, static_cast<uint32_t>(g.boundsRight - g.boundsLeft),
                   g.advance - g.boundsRight};
        } else {
            abc = {0, 0, g.advance};
        }
    }
    return true;
}

uint32_t GetGlyphOutline(HDC dc, char32_t c, uint32_t format, GLYPHMETRICS& metrics,
                         uint32_t bufferSize, void* buffer) {
    FontFace* f = FontOf(dc);
    if (!dc || !f || (format != GGO_METRICS && format != GGO_GRAY8_BITMAP)) return GDI_ERROR;
    const Glyph& g = f->GetGlyph(c);
    metrics.blackBoxX = std::max(1, g.width);
    metrics.blackBoxY = std::max(1, g.height);
    metrics.glyphOrigin = {g.left, g.top};
    metrics.cellIncX = static_cast<int16_t>(g.advance);
    metrics.cellIncY = 0;
    if (format == GGO_METRICS) return 0;
    // Rows are padded to four bytes; an empty glyph needs no bytes.
    uint32_t pitch = (static_cast<uint32_t>(g.width) + 3) & ~3u;
    uint32_t needed = pitch * static_cast<uint32_t>(g.height);
    if (!buffer || bufferSize == 0) return needed;
    if (bufferSize < needed) return GDI_ERROR;
    auto* out = static_cast<uint8_t*>(buffer);
    std::fill(out, out + needed, 0);
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
            out[y * pitch + x] = static_cast<uint8_t>(
                (g.mask[static_cast<size_t>(y) * g.width + x] * 64 + 127) / 255);
    return needed;
}

}  // namespace mtxOs
