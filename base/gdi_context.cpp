#include "base/gdi_context.h"

#include "base/wnd.h"

using namespace mtxOs;

void mtxGDC::Release() {
    if (output_) DeleteDC(output_);
    if (attributes_ == output_) attributes_ = nullptr;
    output_ = nullptr;
}

int mtxGDC::SaveState() {
    return Both([](HDC dc) { return SaveDC(dc); });
}

int mtxGDC::RestoreState(int saved) {
    return Both([saved](HDC dc) { return RestoreDC(dc, saved) ? 1 : 0; });
}

HGDIOBJ mtxGDC::SelectStockObject(int which) {
    return Select(GetStockObject(which));
}

HGDIOBJ mtxGDC::Select(HGDIOBJ object) {
    return Both([object](HDC dc) { return SelectObject(dc, object); });
}

COLORREF mtxGDC::SetBkColor(COLORREF color) {
    return Both([color](HDC dc) { return mtxOs::SetBkColor(dc, color); });
}

COLORREF mtxGDC::SetTextColor(COLORREF color) {
    return Both([color](HDC dc) { return mtxOs::SetTextColor(dc, color); });
}

int mtxGDC::SetBkMode(int mode) {
    return Both([mode](HDC dc) { return mtxOs::SetBkMode(dc, mode); });
}

int mtxGDC::SetMapMode(int mode) {
    return Both([mode](HDC dc) { return mtxOs::SetMapMode(dc, mode); });
}

int mtxGDC::SetViewportOrg(int x, int y) {
    return Both([=](HDC dc) { return SetViewportOrgEx(dc, x, y, nullptr) ? 1 : 0; });
}

int mtxGDC::SetViewportExt(int x, int y) {
    return Both([=](HDC dc) { return SetViewportExtEx(dc, x, y, nullptr) ? 1 : 0; });
}

int mtxGDC::SetWindowExt(int x, int y) {
    return Both([=](HDC dc) { return SetWindowExtEx(dc, x, y, nullptr) ? 1 : 0; });
}

mtxGPaintDC::mtxGPaintDC(mtxWnd& wnd, bool buffered) : hwnd_(wnd.Handle()) {
    windowDc_ = BeginPaint(hwnd_, paint_);
    output_ = attributes_ = windowDc_;
    RECT client;
    if (!buffered || !windowDc_ || !GetClientRect(hwnd_, client)) return;
    width_ = client.right;
    height_ = client.bottom;
    buffer_ = CreateCompatibleBitmap(windowDc_, width_, height_);
    if (!buffer_) return;  // too big or empty: draw straight to the window
    output_ = attributes_ = CreateCompatibleDC(windowDc_);
    previous_ = SelectObject(output_, buffer_);
}

mtxGPaintDC::~mtxGPaintDC() {
    if (buffer_) {
        BitBlt(windowDc_, 0, 0, width_, height_, output_, 0, 0, SRCCOPY);
        DeleteDC(output_);
        DeleteObject(buffer_);
    }
    output_ = attributes_ = nullptr;  // the paint context is ended, not deleted
    EndPaint(hwnd_, paint_);
}
