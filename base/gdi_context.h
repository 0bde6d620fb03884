#pragma once
#include <string>

#include "platform/gdi.h"

class mtxWnd;

// A device context pair: output goes to the output context, state changes to
// both (the output first when the two differ, then the attribute context when
// there is one); queries and text go to the output context. Either may be null.
class mtxGDC {
  public:
    mtxGDC() = default;
    mtxGDC(mtxOs::HDC output, mtxOs::HDC attributes) : output_(output), attributes_(attributes) {}
    virtual ~mtxGDC() { Release(); }
    mtxGDC(const mtxGDC&) = delete;
    mtxGDC& operator=(const mtxGDC&) = delete;

    // Deletes the output context.
    void Release();
    mtxOs::HDC Output() const { return output_; }
    mtxOs::HDC Attributes() const { return attributes_; }

    int SaveState();
    int RestoreState(int saved);
    mtxOs::HGDIOBJ SelectStockObject(int which);
    mtxOs::HGDIOBJ Select(mtxOs::HGDIOBJ object);
    mtxOs::COLORREF SetBkColor(mtxOs::COLORREF color);
    mtxOs::COLORREF SetTextColor(mtxOs::COLORREF color);
    int SetBkMode(int mode);
    int SetMapMode(int mode);
    int SetViewportOrg(int x, int y);
    int SetViewportExt(int x, int y);
    int SetWindowExt(int x, int y);

    int GetClipBox(mtxOs::RECT& out) const { return mtxOs::GetClipBox(output_, out); }
    bool PtVisible(int x, int y) const { return mtxOs::PtVisible(output_, x, y); }
    bool RectVisible(const mtxOs::RECT& r) const { return mtxOs::RectVisible(output_, r); }

    bool TextOut(int x, int y, const std::string& text) {
        return mtxOs::TextOut(output_, x, y, text);
    }
    bool ExtTextOut(int x, int y, uint32_t options, const mtxOs::RECT* r, const std::string& text) {
        return mtxOs::ExtTextOut(output_, x, y, options, r, text);
    }
    mtxOs::SIZE TabbedTextOut(int x, int y, const std::string& text, int tabWidth, int tabOrigin) {
        return mtxOs::TabbedTextOut(output_, x, y, text, tabWidth, tabOrigin);
    }
    int DrawText(const std::string& text, mtxOs::RECT& r, uint32_t format) {
        return mtxOs::DrawText(output_, text, r, format);
    }
    bool GrayString(int x, int y, const std::string& text) {
        return mtxOs::GrayString(output_, x, y, text);
    }
    bool FillRect(const mtxOs::RECT& r, mtxOs::HGDIOBJ brush) {
        return mtxOs::FillRect(output_, r, brush);
    }

  protected:
    // Applies f to the output context, then to a different attribute context.
    template <class F>
    auto Both(F f) {
        auto result = decltype(f(output_)){};
        if (output_ && output_ != attributes_) result = f(output_);
        if (attributes_) result = f(attributes_);
        return result;
    }

    mtxOs::HDC output_ = nullptr;
    mtxOs::HDC attributes_ = nullptr;
};

// Painting a window between BeginPaint and EndPaint. Buffered, the drawing goes
// to a memory bitmap the size of the client area that is copied to the window
// at the end, so the window never shows a half-drawn state.
class mtxGPaintDC : public mtxGDC {
  public:
    mtxGPaintDC(mtxWnd& wnd, bool buffered);
    ~mtxGPaintDC() override;
    const mtxOs::PAINTSTRUCT& Paint() const { return paint_; }

  private:
    mtxOs::HWND hwnd_;
    mtxOs::PAINTSTRUCT paint_;
    mtxOs::HDC windowDc_ = nullptr;
    mtxOs::HGDIOBJ buffer_ = nullptr;
    mtxOs::HGDIOBJ previous_ = nullptr;
    int width_ = 0, height_ = 0;
};
