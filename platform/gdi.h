#pragma once
#include <cstdint>
#include <string>

#include "platform/bitmap.h"
#include "platform/window.h"

// Device contexts, bitmaps, brushes and fonts: what the program's native
// windows paint with. A context draws into a window's area of its top-level
// window, or into a memory bitmap selected into it. Colours are COLORREF
// (0x00BBGGRR). Only the text map mode (MM_TEXT) exists: one logical unit is
// one pixel, with the viewport origin as offset.
namespace mtxOs {

typedef struct HDC__* HDC;
typedef struct HGDIOBJ__* HGDIOBJ;
using COLORREF = uint32_t;

constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
    return r | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
}

struct SIZE {
    int32_t cx = 0, cy = 0;
};

struct PAINTSTRUCT {
    HDC hdc = nullptr;
    bool erase = false;
    RECT paint;
};

struct TEXTMETRIC {
    int32_t height = 0, ascent = 0, descent = 0, internalLeading = 0, externalLeading = 0;
    int32_t aveCharWidth = 0, maxCharWidth = 0, weight = 0;
    uint8_t italic = 0, underlined = 0, struckOut = 0, pitchAndFamily = 0, charSet = 0;
};

// The outline text metrics the program reads (a subset of the system's).
struct OUTLINETEXTMETRIC {
    TEXTMETRIC tm;
    uint32_t emSquare = 0;
    int32_t ascent = 0, descent = 0;  // typographic, in pixels
    uint32_t lineGap = 0;
    uint32_t capEmHeight = 0, xHeight = 0;
    int32_t underscoreSize = 0, underscorePosition = 0;
    RECT fontBox;
    std::string faceName;
};

struct ABC {
    int32_t a = 0;
    uint32_t b = 0;
    int32_t c = 0;
};

struct GLYPHMETRICS {
    uint32_t blackBoxX = 0, blackBoxY = 0;
    POINT glyphOrigin;  // upper left of the black box relative to the pen, y up
    int16_t cellIncX = 0, cellIncY = 0;
};

constexpr uint32_t GGO_METRICS = 0;
constexpr uint32_t GGO_GRAY8_BITMAP =
    6;  // one byte per pixel, levels 0..64, rows of 4-byte multiples
constexpr uint32_t GDI_ERROR = 0xFFFFFFFF;

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr int MM_TEXT = 1;
constexpr uint32_t SRCCOPY = 0x00CC0020;
constexpr uint32_t ETO_OPAQUE = 0x0002;
constexpr uint32_t ETO_CLIPPED = 0x0004;
constexpr uint32_t DT_LEFT = 0x0000;
constexpr uint32_t DT_CENTER = 0x0001;
constexpr uint32_t DT_RIGHT = 0x0002;
constexpr uint32_t DT_VCENTER = 0x0004;
constexpr uint32_t DT_BOTTOM = 0x0008;
constexpr uint32_t DT_SINGLELINE = 0x0020;
constexpr uint32_t DT_CALCRECT = 0x0400;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;

// The colour of a system colour index (COLOR_WINDOW = 5, COLOR_BTNFACE = 15, ...).
COLORREF GetSysColor(int index);

HDC BeginPaint(HWND hwnd, PAINTSTRUCT& ps);
bool EndPaint(HWND hwnd, const PAINTSTRUCT& ps);
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
// A memory context; its drawing goes to the bitmap selected into it.
HDC CreateCompatibleDC(HDC dc);
bool DeleteDC(HDC dc);

// Bitmaps: width x height pixels, null on failure (sizes over 16384 refused).
HGDIOBJ CreateCompatibleBitmap(HDC dc, int width, int height);
HGDIOBJ CreateBitmap(int width, int height, const uint32_t* argb);
// The pixels of a bitmap object, null for other objects.
const Bitmap* GetBitmapPixels(HGDIOBJ bitmap);
HGDIOBJ CreateSolidBrush(COLORREF color);
// A font: height < 0 is the em height in pixels, > 0 the cell height, 0 a
// default; style bit 0 italic, bit 1 underline, bit 2 strike-out. Null when no
// font can be found.
HGDIOBJ CreateFont(int height, int weight, uint32_t style, const std::string& face, uint8_t charSet,
                   uint8_t pitchAndFamily);
HGDIOBJ GetStockObject(int which);
// Returns the object selected before, null on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Deleting null succeeds and does nothing; stock objects are never deleted.
bool DeleteObject(HGDIOBJ object);

int SaveDC(HDC dc);                 // 0 on failure
bool RestoreDC(HDC dc, int saved);  // negative: relative to the latest save
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF SetTextColor(HDC dc, COLORREF color);
int SetBkMode(HDC dc, int mode);
int SetMapMode(HDC dc, int mode);
bool SetViewportOrgEx(HDC dc, int x, int y, POINT* old);
bool SetViewportExtEx(HDC dc, int x, int y, SIZE* old);
bool SetWindowExtEx(HDC dc, int x, int y, SIZE* old);

int GetClipBox(HDC dc, RECT& out);  // 1 empty, 2 simple region, 0 error
bool PtVisible(HDC dc, int x, int y);
bool RectVisible(HDC dc, const RECT& r);

bool FillRect(HDC dc, const RECT& r, HGDIOBJ brush);
bool BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
            uint32_t rop);
bool TextOut(HDC dc, int x, int y, const std::string& text);
bool ExtTextOut(HDC dc, int x, int y, uint32_t options, const RECT* r, const std::string& text);
// Tabs every tabWidth pixels from tabOrigin (8 average characters when 0).
SIZE TabbedTextOut(HDC dc, int x, int y, const std::string& text, int tabWidth, int tabOrigin);
int DrawText(HDC dc, const std::string& text, RECT& r, uint32_t format);  // height drawn
// Text in the grey of disabled items.
bool GrayString(HDC dc, int x, int y, const std::string& text);

bool GetTextMetrics(HDC dc, TEXTMETRIC& out);
// Bytes the structure takes (its size), 0 without a font.
uint32_t GetOutlineTextMetrics(HDC dc, OUTLINETEXTMETRIC& out);
bool GetTextExtentPoint32(HDC dc, const std::string& text, SIZE& out);
bool GetCharABCWidths(HDC dc, uint32_t first, uint32_t last, ABC* out);
// GGO_GRAY8_BITMAP fills buffer (when big enough) with levels 0..64; returns
// the bytes needed, GDI_ERROR on failure. GGO_METRICS fills only metrics.
uint32_t GetGlyphOutline(HDC dc, char32_t c, uint32_t format, GLYPHMETRICS& metrics,
                         uint32_t bufferSize, void* buffer);

}  // namespace mtxOs
