#include "ui/image_editor.h"

#include <algorithm>
#include <new>

#include "platform/clipboard.h"
#include "platform/cpu.h"
#include "platform/gdi.h"
#include "platform/window.h"
#include "ui/cursor.h"

using namespace mtxOs;

namespace {

template <class T>
bool Erase(std::vector<T*>& list, const T* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

bool IsPress(mtxIECtrl::Mouse event) {
    return event == mtxIECtrl::kLButtonDown || event == mtxIECtrl::kLButtonDblClk ||
           event == mtxIECtrl::kRButtonDown || event == mtxIECtrl::kRButtonDblClk;
}

}  // namespace

mtxImageEditor::mtxImageEditor() : canvas(std::make_unique<mtxIECanvas>(this)) {}

// Controls go while the editor is whole: each one's destructor asks it to
// forget the control. Dialogs and listed controls belong to the editor.
mtxImageEditor::~mtxImageEditor() {
    DestroyTask(task_);  // it closes its dialog, so before the dialogs go
    DeleteDeferred();
    while (!modal.empty()) delete modal.back();
    while (!controls.empty()) delete controls.back();
    canvas.reset();
    DeleteDeferred();
    controlFont.reset();  // its texture before the device
    defaultProfile.ReleaseSkins();
}

int mtxImageEditor::CreateHeadless(int width, int height) {
    mtxWnd::Create(nullptr, nullptr, WS_POPUP, "", 0, 0, width, height, 0, nullptr);
    if (!CreateDevice(nullptr)) return 0;
    SetUp(width, height);
    return 1;
}

int mtxImageEditor::Create(mtxWnd* parent, int x, int y, int width, int height) {
    if (!mtxImageEditorDevice::Create(parent, x, y, width, height)) return 0;
    SetUp(width, height);
    return 1;
}

LRESULT mtxImageEditor::OnDestroy(WPARAM wParam, LPARAM lParam) {
    if (GetDevice()) {
        OnDeviceLost();  // controls, pools and the shared texture let go
        if (controlFont) controlFont->ReleaseTexture();
        GetProfile()->ReleaseSkins();
        defaultProfile.ReleaseSkins();
        if (cursor) cursor->ReleaseTexture();
        pixelShaders.clear();
        vertexShaders.clear();
    }
    return mtxImageEditorDevice::OnDestroy(wParam, lParam);
}

void mtxImageEditor::SetUp(int width, int height) {
    mtxDxScreenSize(&screenWidth, &screenHeight);
    controlFont = mtxIEFont::Create("Arial", 13, 400);
    GetProfile()->font = controlFont.get();
    defaultProfile.font = controlFont.get();
    if (controlFont) {
        GetProfile()->lineHeight = controlFont->LineHeight();
        defaultProfile.lineHeight = controlFont->LineHeight();
        controlFont->UpdateTexture(GetDevice());
    }
    // Without the skin pictures the controls keep the flat look.
    GetProfile()->LoadSkins(GetDevice());
    if (GetProfile() != &defaultProfile) defaultProfile.LoadSkins(GetDevice());
    clientRect = {0, 0, width, height};
    canvas->SetRect(clientRect);
    CreateContent();
    AddDirty(clientRect);
}

LRESULT mtxImageEditor::WindowProc(uint32_t message, WPARAM wParam, LPARAM lParam) {
    ++dispatchDepth_;
    LRESULT result = mtxImageEditorDevice::WindowProc(message, wParam, lParam);
    if (--dispatchDepth_ == 0) DeleteDeferred();
    return result;
}

LRESULT mtxImageEditor::OnCommand(WPARAM wParam, LPARAM lParam) {
    uint32_t action = uint32_t(wParam & 0xFFFF);
    uint16_t value = uint16_t((wParam >> 16) & 0xFFFF);
    LRESULT result = 0;
    if (lParam == 0) {
        if (auto life = menuTargetLife.lock()) result = menuTarget->Process(action, 0);
    } else {
        PostedAction posted = {nullptr, {}};
        {
            std::lock_guard<std::mutex> lock(postedLock_);
            auto it = posted_.find(lParam);
            if (it != posted_.end()) posted = it->second, posted_.erase(it);
        }
        // The token is held while the processor runs, and a gone one is skipped.
        if (auto life = posted.life.lock()) result = posted.target->Process(action, value);
    }
    PaintIfDirty();
    return result;
}

LRESULT mtxImageEditor::OnSize(WPARAM, LPARAM lParam) {
    int width = int(lParam & 0xFFFF), height = int((lParam >> 16) & 0xFFFF);
    clientRect = {0, 0, width, height};
    canvas->SetRect(clientRect);
    AddDirty(clientRect);
    PaintIfDirty();
    return 0;
}

LRESULT mtxImageEditor::OnTimer(WPARAM wParam, LPARAM) {
    // A handler may close dialogs: only roots still registered are called.
    for (mtxIECtrl* root : Roots())
        if (IsRoot(root)) root->OnTimer(uintptr_t(wParam));
    PaintIfDirty();
    return 0;
}

LRESULT mtxImageEditor::OnChar(WPARAM wParam, LPARAM lParam) {
    if (focus && AcceptsInput(focus)) focus->OnChar(uint32_t(wParam), uint32_t(lParam));
    PaintIfDirty();
    return 0;
}

LRESULT mtxImageEditor::OnKeyDown(WPARAM wParam, LPARAM lParam) {
    if (focus && AcceptsInput(focus))
        focus->OnKeyDown(uint32_t(wParam), uint32_t(lParam & 0xFFFF), uint32_t(lParam >> 16));
    PaintIfDirty();
    return 0;
}

LRESULT mtxImageEditor::OnKillFocus(WPARAM, LPARAM) {
    if (focus) focus->OnKillFocus();
    PaintIfDirty();
    return 0;
}

LRESULT mtxImageEditor::OnSetCursor(WPARAM, LPARAM) {
    POINT p = CursorPos();
    mtxIECtrl* target = InputTarget(p.x, p.y);
    if (!target) return 0;
    POINT q = target->parent ? target->parent->EditorToLocal(p) : p;
    return target->OnSetCursor(q.x, q.y);
}

LRESULT mtxImageEditor::OnMouse(uint32_t message, WPARAM wParam, LPARAM lParam) {
    int x = int16_t(lParam & 0xFFFF), y = int16_t((lParam >> 16) & 0xFFFF);
    uint32_t keys = uint32_t(wParam);
    switch (message) {
        case WM_MOUSEMOVE:
            return RouteMouse(mtxIECtrl::kMouseMove, x, y, keys);
        case WM_LBUTTONDOWN:
            return RouteMouse(mtxIECtrl::kLButtonDown, x, y, keys);
        case WM_LBUTTONUP:
            return RouteMouse(mtxIECtrl::kLButtonUp, x, y, keys);
        case WM_LBUTTONDBLCLK:
            return RouteMouse(mtxIECtrl::kLButtonDblClk, x, y, keys);
        case WM_RBUTTONDOWN:
            return RouteMouse(mtxIECtrl::kRButtonDown, x, y, keys);
        case WM_RBUTTONUP:
            return RouteMouse(mtxIECtrl::kRButtonUp, x, y, keys);
        case WM_RBUTTONDBLCLK:
            return RouteMouse(mtxIECtrl::kRButtonDblClk, x, y, keys);
        case WM_MOUSEWHEEL:
            return RouteWheel(int16_t(mtxOs::HiWord(wParam)), keys & 0xFFFF, lParam);
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != hwnd_ || !hwnd_) OnCaptureChanged();
            return 0;
        default:
            return 0;
    }
}

int mtxImageEditor::RouteMouse(mtxIECtrl::Mouse event, int x, int y, uint32_t keys) {
    if (cursor) cursor->MoveTo(this, x, y);
    // A double click whose first click opened or closed a dialog is not a
    // double click for whatever lies there now (OK twice must not close the
    // dialog below); its button release goes too.
    bool doubleClick = event == mtxIECtrl::kLButtonDblClk || event == mtxIECtrl::kRButtonDblClk;
    if (doubleClick && modalChanges_ != modalChangesAtPress_) {
        swallowButtonUp_ = 1;
        modalChangesAtPress_ = modalChanges_;
        return 0;
    }
    if (IsPress(event)) modalChangesAtPress_ = modalChanges_;
    if ((event == mtxIECtrl::kLButtonUp || event == mtxIECtrl::kRButtonUp) && swallowButtonUp_) {
        swallowButtonUp_ = 0;
        return 0;
    }
    int result = 0;
    if (mtxIECtrl* target = InputTarget(x, y)) {
        POINT p = target->parent ? target->parent->EditorToLocal(POINT{x, y}) : POINT{x, y};
        result = target->Dispatch(event, p.x, p.y, keys);
    }
    PaintIfDirty();
    return result;
}

int mtxImageEditor::RouteWheel(int delta, uint32_t keys, LPARAM screenPoint) {
    // The wheel's point is on the screen, as the window system gives it.
    POINT p{mtxOs::XFromLParam(screenPoint), mtxOs::YFromLParam(screenPoint)};
    if (!hwnd_ || !mtxOs::ScreenToClient(hwnd_, p)) return 0;
    int result = 0;
    if (mtxIECtrl* target = InputTarget(p.x, p.y)) {
        POINT q = target->parent ? target->parent->EditorToLocal(p) : p;
        result = target->OnMouseWheel(q.x, q.y, delta, keys);
    }
    PaintIfDirty();
    return result;
}

void mtxImageEditor::OnCaptureChanged() {
    if (mtxIECtrl* holder = capture) {
        capture = nullptr;
        holder->OnCaptureLost();
    }
    PaintIfDirty();
}

mtxIECtrl* mtxImageEditor::InputTarget(int x, int y) {
    if (capture) return capture;
    if (focus && focus->IsShown() && AcceptsInput(focus)) {
        POINT p = focus->parent ? focus->parent->EditorToLocal(POINT{x, y}) : POINT{x, y};
        if (focus->HitTest(p.x, p.y)) return focus;
    }
    // Pop-ups lie over every dialog: a list opened from the top dialog
    // takes the clicks on it.
    for (mtxIECtrl* control : controls)
        if (control->IsVisible() && control->HitTest(x, y)) return control;
    if (!modal.empty()) return modal.back();
    return canvas.get();
}

bool mtxImageEditor::AcceptsInput(const mtxIECtrl* control) const {
    if (modal.empty()) return true;
    if (modal.back()->Contains(control)) return true;
    // Pop-ups are listed controls; one opened from the dialog works with it.
    for (const mtxIECtrl* listed : controls)
        if (listed->Contains(control)) return true;
    return false;
}

void mtxImageEditor::SetCapture(mtxIECtrl* control) {
    if (capture == control) return;
    mtxIECtrl* old = capture;
    capture = control;
    if (old) old->OnCaptureLost();
    if (control && hwnd_ && GetCapture() != hwnd_) mtxOs::SetCapture(hwnd_);
}

void mtxImageEditor::ReleaseCapture(mtxIECtrl* control) {
    if (!capture || (control && control != capture)) return;
    capture = nullptr;
    if (hwnd_ && GetCapture() == hwnd_) mtxOs::ReleaseCapture();
}

void mtxImageEditor::SetFocusControl(mtxIECtrl* control) {
    if (hwnd_ && GetFocus() != hwnd_) mtxOs::SetFocus(hwnd_);
    if (control) control->flags |= mtxIECtrl::kFocus;
    if (focus == control) return;
    mtxIECtrl* old = focus;
    focus = control;
    if (control) control->Invalidate();
    if (!old) return;
    old->OnKillFocus();
    for (mtxIECtrl* above = old->parent; above; above = above->parent)
        above->OnDescendantFocusLost();
}

void mtxImageEditor::ForgetControl(mtxIECtrl* control, bool dying) {
    if (!control) return;
    // A dying control's own handlers are gone; the ones below it still live.
    auto mayCall = [&](mtxIECtrl* c) { return !dying || c != control; };
    if (capture && control->Contains(capture)) {
        mtxIECtrl* holder = capture;
        ReleaseCapture(nullptr);
        if (mayCall(holder)) holder->OnCaptureLost();
    }
    if (focus && control->Contains(focus)) {
        mtxIECtrl* old = focus;
        focus = nullptr;
        old->flags &= ~mtxIECtrl::kFocus;
        if (mayCall(old)) old->Invalidate();
    }
    if (hover && control->Contains(hover)) hover = nullptr;
    if (!dying) return;
    if (Erase(modal, control)) ++modalChanges_;
    Erase(controls, control);
    Erase(deferred_, control);
}

void mtxImageEditor::AddControl(mtxIECtrl* control) {
    if (control && !IsRoot(control)) controls.push_back(control);
}

void mtxImageEditor::RemoveControl(mtxIECtrl* control) {
    if (!control) return;
    ForgetControl(control, false);
    if (Erase(controls, control) && control->IsVisible()) control->Invalidate();
}

void mtxImageEditor::PushModal(mtxIECtrl* control) {
    if (!control || IsRoot(control)) return;
    modal.push_back(control);
    ++modalChanges_;
    ReleaseCapture(nullptr);
    if (control->IsVisible()) control->Invalidate();
}

void mtxImageEditor::CloseModal(mtxIECtrl* control, bool destroy) {
    if (!control) return;
    if (Erase(modal, control)) ++modalChanges_;
    control->Show(0);
    if (destroy) DeferDelete(control);
}

void mtxImageEditor::DeferDelete(mtxIECtrl* control) {
    if (!control || std::find(deferred_.begin(), deferred_.end(), control) != deferred_.end())
        return;
    if (Erase(modal, control)) ++modalChanges_;
    Erase(controls, control);
    ForgetControl(control, false);
    deferred_.push_back(control);
    if (dispatchDepth_ == 0 && !painting_) DeleteDeferred();
}

void mtxImageEditor::DeleteDeferred() {
    while (!deferred_.empty()) {
        mtxIECtrl* control = deferred_.back();
        deferred_.pop_back();
        delete control;
    }
}

void mtxImageEditor::RegisterTask(mtxIEActionProcessor* task) {
    if (task == task_) return;
    DestroyTask(task_);
    task_ = task;
}

void mtxImageEditor::DestroyTask(mtxIEActionProcessor* task) {
    if (!task || task != task_) return;
    task_ = nullptr;  // before the destructor runs, which may call ForgetTask
    delete task;
}

void mtxImageEditor::ForgetTask(mtxIEActionProcessor* task) {
    if (task && task == task_) task_ = nullptr;
}

void mtxImageEditor::PostCommand(mtxIEActionProcessor* target, uint32_t action, uint16_t value) {
    if (!target) return;
    intptr_t ticket;
    {
        std::lock_guard<std::mutex> lock(postedLock_);
        ticket = nextTicket_++;
        posted_[ticket] = {target, target->LifeToken()};
    }
    WPARAM wParam = (action & 0xFFFF) | (WPARAM(value) << 16);
    if (hwnd_ && PostMessage(hwnd_, WM_COMMAND, wParam, ticket)) return;
    std::lock_guard<std::mutex> lock(postedLock_);
    posted_.erase(ticket);
}

LRESULT mtxImageEditor::SendCommand(mtxIEActionProcessor* target, uint32_t action, uint16_t value) {
    if (!target) return 0;
    intptr_t ticket;
    {
        std::lock_guard<std::mutex> lock(postedLock_);
        ticket = nextTicket_++;
        posted_[ticket] = {target, target->LifeToken()};
    }
    WPARAM wParam = (action & 0xFFFF) | (WPARAM(value) << 16);
    if (hwnd_) return SendMessage(hwnd_, WM_COMMAND, wParam, ticket);
    return OnCommand(wParam, ticket);
}

uint8_t* mtxImageEditor::BeginClipboardWrite(uint32_t format, size_t size) {
    if (!hwnd_ || format == 0 || !OpenClipboard(hwnd_)) return nullptr;
    if (!EmptyClipboard()) {
        CloseClipboard();
        return nullptr;
    }
    try {
        clipboardData.assign(size, 0);
    } catch (const std::bad_alloc&) {
        clipboardData = {};
        CloseClipboard();
        return nullptr;
    }
    clipboardFormat = format;
    return clipboardData.data();
}

int mtxImageEditor::EndClipboardWrite() {
    int ok = clipboardFormat && SetClipboardData(clipboardFormat, std::move(clipboardData)) ? 1 : 0;
    clipboardData = {};
    CloseClipboard();
    return ok;
}

const uint8_t* mtxImageEditor::BeginClipboardRead(uint32_t format, size_t* size) {
    if (size) *size = 0;
    if (!hwnd_ || !OpenClipboard(hwnd_)) return nullptr;
    if (!GetClipboardData(format, clipboardData)) {
        CloseClipboard();
        return nullptr;
    }
    if (size) *size = clipboardData.size();
    // A block of 0 bytes is still there: point at something.
    if (clipboardData.empty()) clipboardData.reserve(1);
    return clipboardData.data();
}

void mtxImageEditor::EndClipboardRead() {
    clipboardData = {};
    CloseClipboard();
}

LRESULT mtxImageEditor::OnDestroyClipboard(WPARAM, LPARAM) {
    bool own = (clipboardFormat >= 512 && clipboardFormat <= 767) || clipboardFormat >= 0xC000;
    if (own && !clipboardData.empty()) clipboardData = {};
    return 1;
}

RECT mtxImageEditor::FitRect(const RECT& r) const {
    RECT out = r;
    if (out.right > clientRect.right) out = mtxOffset(out, clientRect.right - out.right, 0);
    if (out.bottom > clientRect.bottom) out = mtxOffset(out, 0, clientRect.bottom - out.bottom);
    if (out.left < clientRect.left) out = mtxOffset(out, clientRect.left - out.left, 0);
    if (out.top < clientRect.top) out = mtxOffset(out, 0, clientRect.top - out.top);
    return out;
}

RECT mtxImageEditor::CenterRect(int width, int height) const {
    int x = clientRect.left + (clientRect.right - clientRect.left - width) / 2;
    int y = clientRect.top + (clientRect.bottom - clientRect.top - height) / 2;
    return FitRect(RECT{x, y, x + width, y + height});
}

void mtxImageEditor::AddDirty(const RECT& r) {
    if (mtxIsEmpty(r)) return;
    bool tracked = mtxIsEmpty(dirtyRect) || !dirtyParts.empty();
    dirtyRect = mtxUnion(dirtyRect, r);
    if (!tracked) return;
    // Parts that overlap or touch become one, so the parts stay apart.
    RECT part = r;
    for (size_t i = 0; i < dirtyParts.size();) {
        const RECT& other = dirtyParts[i];
        if (other.left <= part.right && part.left <= other.right && other.top <= part.bottom &&
            part.top <= other.bottom) {
            part = mtxUnion(part, other);
            dirtyParts.erase(dirtyParts.begin() + std::ptrdiff_t(i));
            i = 0;
        } else {
            ++i;
        }
    }
    dirtyParts.push_back(part);
    if (dirtyParts.size() > kMaxDirtyParts) dirtyParts.clear();
}

std::vector<RECT> mtxImageEditor::FrameParts(const RECT& r) const {
    std::vector<RECT> parts;
    int64_t area = 0;
    for (const RECT& part : dirtyParts) {
        RECT clipped = mtxIntersect(part, r);
        if (mtxIsEmpty(clipped)) continue;
        parts.push_back(clipped);
        area += int64_t(clipped.right - clipped.left) * (clipped.bottom - clipped.top);
    }
    // Each part costs a pass over every control in it: worth it only when
    // the parts leave most of r alone.
    int64_t whole = int64_t(r.right - r.left) * (r.bottom - r.top);
    if (parts.empty() || area * 2 > whole) return {r};
    return parts;
}

void mtxImageEditor::SetClip(const RECT& r) {
    IDirect3DDevice9* device = GetDevice();
    if (!device) return;
    RECT c = mtxIntersect(r, clientRect);
    if (mtxIsEmpty(c)) c = {0, 0, 0, 0};
    device->SetScissorRect(&c);
}

void mtxImageEditor::SetCursorEx(mtxIECursorEx* picture) {
    if (cursor == picture) return;
    if (cursor) cursor->Invalidate(this);
    cursor = picture;
    if (cursor) cursor->Invalidate(this);
}

void mtxImageEditor::Paint() {
    // A frame asked for while drawing is the one extra frame below.
    if (painting_) return;
    painting_ = 1;
    for (int pass = 0; pass < 2; ++pass)
        if (!Frame() || mtxIsEmpty(dirtyRect)) break;
    painting_ = 0;
    // What a control invalidates in every draw waits for the next paint
    // message, so input keeps flowing.
    if (!mtxIsEmpty(dirtyRect) && hwnd_) InvalidateRect(hwnd_, &dirtyRect, false);
    if (dispatchDepth_ == 0) DeleteDeferred();
}

int mtxImageEditor::Frame() {
    frameTime = mtxOs::Milliseconds();
    IDirect3DDevice9* device = GetDevice();
    if (!device) return 0;
    if (lost && !RecoverDevice()) return 0;
    if (hwnd_) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd_, ps);
        AddDirty(ps.paint);
        EndPaint(hwnd_, ps);
    }
    IDirect3DSurface9* back = nullptr;
    if (FAILED(device->GetBackBuffer(0, 0, 0, &back))) return 0;
    D3DSURFACE_DESC desc = {};
    back->GetDesc(&desc);
    device->SetRenderTarget(0, back);
    back->Release();
    RECT target = {0, 0, int32_t(desc.Width), int32_t(desc.Height)};
    RECT r = mtxIntersect(mtxIntersect(dirtyRect, clientRect), target);
    std::vector<RECT> parts = FrameParts(r);
    dirtyRect = {};
    dirtyParts.clear();
    if (mtxIsEmpty(r)) return 1;

    // The atlas texture exists already; this only uploads glyphs added since.
    if (controlFont) controlFont->UpdateTexture(device);
    SetProjection(int(desc.Width), int(desc.Height));
    SetFrameStates();
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 1);
    for (const RECT& part : parts) DrawPart(part);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 0);
    ++frameCount;
    PresentRect(&r);
    frameMs = mtxOs::Milliseconds() - frameTime;
    return 1;
}

void mtxImageEditor::DrawPart(const RECT& r) {
    IDirect3DDevice9* device = GetDevice();
    SetClip(r);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFFFFFF, 1.0f, 0);
    device->BeginScene();
    DrawRoot(canvas.get(), r);
    // Dialogs, then the pop-ups, which open from the top dialog as often as
    // from the bars and must show over it.
    for (mtxIECtrl* control : std::vector<mtxIECtrl*>(modal)) DrawRoot(control, r);
    for (mtxIECtrl* control : std::vector<mtxIECtrl*>(controls)) DrawRoot(control, r);
    DrawFocus(r);
    if (cursor) {
        SetClip(r);
        cursor->Draw(this);
    }
    device->EndScene();
}

void mtxImageEditor::DrawRoot(mtxIECtrl* control, const RECT& r) {
    if (!control || !control->IsVisible() || control == focus) return;
    RECT clip = mtxIntersect(control->rect, r);
    if (mtxIsEmpty(clip)) return;
    SetClip(clip);
    control->Draw(control->rect.left, control->rect.top, clip);
}

// The focus control lies on top of everything, clipped by its ancestors.
void mtxImageEditor::DrawFocus(const RECT& r) {
    if (!focus || !focus->IsShown()) return;
    RECT clip = r;
    for (mtxIECtrl* c = focus; c; c = c->parent) clip = mtxIntersect(clip, c->EditorRect());
    if (mtxIsEmpty(clip)) return;
    SetClip(clip);
    POINT origin = focus->LocalToEditor(POINT{0, 0});
    focus->Draw(origin.x, origin.y, clip);
}

std::vector<mtxIECtrl*> mtxImageEditor::Roots() const {
    std::vector<mtxIECtrl*> roots;
    if (canvas) roots.push_back(canvas.get());
    roots.insert(roots.end(), controls.begin(), controls.end());
    roots.insert(roots.end(), modal.begin(), modal.end());
    return roots;
}

bool mtxImageEditor::IsRoot(const mtxIECtrl* control) const {
    if (control == canvas.get()) return true;
    return std::find(controls.begin(), controls.end(), control) != controls.end() ||
           std::find(modal.begin(), modal.end(), control) != modal.end();
}

void mtxImageEditor::ReleaseDeviceResources() {
    for (mtxIECtrl* root : Roots()) root->OnDeviceLost();
}

void mtxImageEditor::RestoreDeviceResources() {
    for (mtxIECtrl* root : Roots()) root->OnDeviceReset();
    AddDirty(clientRect);
}
