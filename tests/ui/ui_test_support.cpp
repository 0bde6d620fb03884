#include "tests/ui/ui_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "ui/primitives.h"

namespace ui_test {
using namespace mtxOs;

Editor::Editor(int width, int height) {
    mtxOs::SetHeadless(true);
    EXPECT_EQ(CreateHeadless(width, height), 1) << "no headless OpenGL 3.3 device (EGL, llvmpipe)";
}

void Mouse(mtxImageEditor& editor, uint32_t message, int x, int y, uint32_t keys) {
    mtxOs::LPARAM l = mtxOs::LPARAM(uint16_t(x)) | (mtxOs::LPARAM(uint16_t(y)) << 16);
    mtxOs::SendMessage(editor.Handle(), message, keys, l);
}

void Click(mtxImageEditor& editor, int x, int y) {
    Mouse(editor, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
    Mouse(editor, WM_LBUTTONUP, x, y);
}

intptr_t Wheel(mtxImageEditor& editor, int x, int y, int delta, uint32_t keys) {
    POINT p{x, y};
    mtxOs::ClientToScreen(editor.Handle(), p);
    mtxOs::WPARAM w = (mtxOs::WPARAM(uint16_t(int16_t(delta))) << 16) | keys;
    return mtxOs::SendMessage(editor.Handle(), WM_MOUSEWHEEL, w, mtxOs::MakeLParam(p.x, p.y));
}

Pixels ReadBack(mtxImageEditor& editor) {
    Pixels out;
    IDirect3DDevice9* device = editor.GetDevice();
    if (!device) return out;
    IDirect3DSurface9* back = nullptr;
    device->GetBackBuffer(0, 0, 0, &back);
    D3DSURFACE_DESC desc = {};
    back->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                        &copy, nullptr);
    EXPECT_EQ(device->GetRenderTargetData(back, copy), D3D_OK);
    D3DLOCKED_RECT locked;
    copy->LockRect(&locked, nullptr, 0);
    out.width = int(desc.Width), out.height = int(desc.Height);
    out.words.resize(size_t(out.width) * out.height);
    for (int y = 0; y < out.height; ++y)
        std::memcpy(&out.words[size_t(y) * out.width],
                    static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                    size_t(out.width) * 4);
    copy->UnlockRect();
    copy->Release();
    back->Release();
    return out;
}

Spy::Spy(mtxIECtrl* parent, RECT r, uint32_t c, std::vector<std::string>* l, const char* n)
    : mtxIECtrl(parent), color(c), log(l), name(n) {
    SetRect(r);
    Show(1);
}

Spy::Spy(mtxImageEditor* editor, RECT r, uint32_t c, std::vector<std::string>* l, const char* n)
    : mtxIECtrl(editor), color(c), log(l), name(n) {
    SetRect(r);
    Show(1);
}

Spy::~Spy() {
    if (destroyed) *destroyed = true;
}

void Spy::Log(const std::string& what) const {
    if (log) log->push_back(name + ":" + what);
}

static std::string At(int x, int y) {
    return "(" + std::to_string(x) + "," + std::to_string(y) + ")";
}

int Spy::OnLButtonDown(int x, int y, uint32_t keys) {
    Log("down" + At(x, y));
    return mtxIECtrl::OnLButtonDown(x, y, keys);
}
int Spy::OnLButtonUp(int x, int y, uint32_t keys) {
    Log("up" + At(x, y));
    return mtxIECtrl::OnLButtonUp(x, y, keys);
}
int Spy::OnLButtonDblClk(int x, int y, uint32_t keys) {
    Log("dbl" + At(x, y));
    return mtxIECtrl::OnLButtonDblClk(x, y, keys);
}
int Spy::OnMouseMove(int x, int y, uint32_t keys) {
    Log("move" + At(x, y));
    return mtxIECtrl::OnMouseMove(x, y, keys);
}
int Spy::OnMouseWheel(int x, int y, int delta, uint32_t keys) {
    Log("wheel" + At(x, y) + "," + std::to_string(delta) + "," + std::to_string(keys));
    return usesWheel ? 1 : mtxIECtrl::OnMouseWheel(x, y, delta, keys);
}
void Spy::OnCaptureLost() {
    Log("capturelost");
}
void Spy::OnKillFocus() {
    Log("killfocus");
    mtxIECtrl::OnKillFocus();
}
void Spy::OnTimer(uintptr_t id) {
    Log("timer" + std::to_string(id));
    mtxIECtrl::OnTimer(id);
}
void Spy::OnChar(uint32_t c, uint32_t) {
    Log("char" + std::to_string(c));
}
void Spy::OnDeviceLost() {
    ++losses;
    mtxIECtrl::OnDeviceLost();
}
void Spy::OnDeviceReset() {
    ++resets;
    mtxIECtrl::OnDeviceReset();
}

void Spy::Draw(int x, int y, const RECT& clip) {
    ++draws;
    clips.push_back(clip);
    mtxIEPrimitives::FillRect(editor->GetDevice(), RECT{x, y, x + Width(), y + Height()}, color);
    if (invalidateInDraw > 0) {
        --invalidateInDraw;
        Invalidate();
    } else if (invalidateInDraw < 0) {
        Invalidate();  // forever
    }
    mtxIECtrl::Draw(x, y, clip);
}

void PumpPosted() {
    mtxOs::MSG msg;
    while (mtxOs::PeekMessage(msg, true)) mtxOs::DispatchMessage(msg);
}

void Key(mtxImageEditor& editor, uint32_t vk) {
    mtxOs::SendMessage(editor.Handle(), WM_KEYDOWN, vk, 1);
}

void Type(mtxImageEditor& editor, const std::string& text) {
    for (unsigned char c : text) mtxOs::SendMessage(editor.Handle(), WM_CHAR, c, 1);
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16})
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    return true;
}

std::string Str(const RECT& r) {
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + "}";
}

}  // namespace ui_test
