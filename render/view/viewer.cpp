#include "render/view/viewer.h"

#include <algorithm>

#include "ui/image_editor.h"
#include "ui/primitives.h"

mtxIEViewer::mtxIEViewer(mtxIECtrl* parent) : mtxIEWnd(parent), composer(editor) {
    flags |= kVisible;
    // FIXME: the vector-object layer (line objects, its Paste menu and the
    // line menus) goes on top of the image layers through composer.drawTop.
}

mtxIEViewer::~mtxIEViewer() {
    layers_.clear();
    composer.ReleaseDeviceResources();
}

mtxImageStack* mtxIEViewer::GetStack() const {
    return stack_;
}

void mtxIEViewer::SetStack(mtxImageStack* stack) {
    stack_ = stack;
    activeLayer = -1;
    syncPending_ = 1;
    TrySync();
    UpdateView();
}

// The stack is mirrored only while its busy flag is ours; when another user
// holds it, the next paint tries again.
void mtxIEViewer::TrySync() {
    if (!syncPending_) return;
    if (!stack_) {
        layers_.clear();
        stackWidth = stackHeight = 0;
        syncPending_ = 0;
        return;
    }
    if (!stack_->TryBeginUse()) return;
    SyncWithStack();
    stack_->EndUse();
}

int mtxIEViewer::SyncWithStack() {
    syncPending_ = 0;
    int count = stack_ ? stack_->LayerCount() : 0;
    stackWidth = stack_ ? stack_->width : 0;
    stackHeight = stack_ ? stack_->height : 0;
    for (int i = 0; i < count; ++i) {
        if (i >= LayerCount()) layers_.push_back(std::make_unique<mtxIEViewerLayer>(editor));
        layers_[size_t(i)]->SetSource(stack_->GetLayer(i));
    }
    while (LayerCount() > count) layers_.pop_back();
    if (activeLayer >= count) activeLayer = count - 1;
    UpdateView();
    return 1;
}

int mtxIEViewer::LayerCount() const {
    return int(layers_.size());
}

mtxIEViewerLayer* mtxIEViewer::GetLayer(int index) {
    if (index < 0 || index >= LayerCount()) return nullptr;
    return layers_[size_t(index)].get();
}

void mtxIEViewer::RemoveLayer(int index) {
    if (index < 0 || index >= LayerCount()) return;
    layers_.erase(layers_.begin() + index);
    if (activeLayer >= LayerCount()) activeLayer = LayerCount() - 1;
    Invalidate();
}

// The bars take room from the client area, and a bar shown on one axis can
// make the other axis need its bar too: two rounds settle it.
void mtxIEViewer::UpdateView() {
    int s = profile ? profile->scrollBarSize : 16;
    RECT client = GetClientRect();
    int fullWidth = client.right - client.left;
    int fullHeight = client.bottom - client.top;
    if (!mtxIsEmpty(BarRect(kVertical))) fullWidth += s;
    if (!mtxIsEmpty(BarRect(kHorizontal))) fullHeight += s;
    bool needH = false, needV = false;
    for (int round = 0; round < 2; ++round) {
        needH = stackWidth > fullWidth - (needV ? s : 0);
        needV = stackHeight > fullHeight - (needH ? s : 0);
    }
    ShowScrollBar(kHorizontal, needH);
    ShowScrollBar(kVertical, needV);
    client = GetClientRect();
    int width = client.right - client.left, height = client.bottom - client.top;

    // The range holds the picture's pixels, so the last position shows its
    // last column at the client area's right edge.
    ScrollInfo h;
    h.maximum = std::max(0, stackWidth - 1), h.page = width, h.position = needH ? scrollX : 0;
    SetScrollInfo(kHorizontal, kAll, h);
    ScrollInfo v;
    v.maximum = std::max(0, stackHeight - 1), v.page = height, v.position = needV ? scrollY : 0;
    SetScrollInfo(kVertical, kAll, v);
    scrollX = needH ? GetScrollInfo(kHorizontal).position : 0;
    scrollY = needV ? GetScrollInfo(kVertical).position : 0;

    offsetX = stackWidth < width ? (width - stackWidth) / 2 : 0;
    offsetY = stackHeight < height ? (height - stackHeight) / 2 : 0;
    Invalidate();
}

void mtxIEViewer::SetRect(const RECT& r) {
    bool resized = r.right - r.left != Width() || r.bottom - r.top != Height();
    mtxIEWnd::SetRect(r);
    if (resized) UpdateView();
}

POINT mtxIEViewer::PictureOrigin() {
    RECT client = GetClientRect();
    return {client.left + offsetX - scrollX, client.top + offsetY - scrollY};
}

RECT mtxIEViewer::PictureRect() {
    if (!stack_ || stackWidth <= 0 || stackHeight <= 0) return {};
    POINT o = PictureOrigin();
    RECT r = mtxIntersect(RECT{o.x, o.y, o.x + stackWidth, o.y + stackHeight}, GetClientRect());
    return mtxIsEmpty(r) ? RECT{} : r;
}

int mtxIEViewer::ScrollTo(int bar, int code) {
    ScrollInfo info = GetScrollInfo(bar);
    int position = info.position;
    switch (code) {
        case kLineBack:
            position -= 1;
            break;
        case kLineForward:
            position += 1;
            break;
        case kPageUp:
            position -= info.page;
            break;
        case kPageDown:
            position += info.page;
            break;
        case kTrack:
            position = info.trackPosition;
            break;
        default:  // the end of a scroll, or an unknown code: the view stays
            return info.position;
    }
    int top = std::max(info.minimum, info.maximum - std::max(info.page, 1) + 1);
    position = std::clamp(position, info.minimum, top);
    if (position != info.position) {
        info.position = position;
        SetScrollInfo(bar, kPosition, info);
    }
    return position;
}

void mtxIEViewer::OnHScroll(int code) {
    scrollX = ScrollTo(kHorizontal, code);
    UpdateView();
}

void mtxIEViewer::OnVScroll(int code) {
    scrollY = ScrollTo(kVertical, code);
    UpdateView();
}

// Before a paint: what changed in memory goes up again, and every tile that
// shows inside the painted part of the picture has its texture.
void mtxIEViewer::KeepTilesCurrent(const RECT& part) {
    POINT o = PictureOrigin();
    mtxRect visible = {part.left - o.x, part.top - o.y, part.right - o.x, part.bottom - o.y};
    for (auto& layer : layers_) {
        if (!layer->UploadChanges()) paintFailed = 1;
        if (!layer->UploadVisible(visible)) paintFailed = 1;
    }
}

void mtxIEViewer::Draw(int x, int y, const RECT& clip) {
    TrySync();
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    // The frame and the bars first; the children go over the picture.
    std::vector<mtxIECtrl*> held;
    held.swap(children);
    mtxIEWnd::Draw(x, y, clip);
    held.swap(children);

    RECT client = mtxIntersect(mtxOffset(GetClientRect(), x, y), clip);
    if (mtxIsEmpty(client)) return;
    mtxIEPrimitives::FillRect(device, client, backgroundColor);
    paintFailed = 0;
    RECT part = mtxIntersect(PictureRect(), mtxOffset(client, -x, -y));
    if (!layers_.empty() && !mtxIsEmpty(part) && device && !editor->lost) {
        KeepTilesCurrent(part);
        std::vector<mtxIEViewerLayer*> layers;
        for (auto& layer : layers_) layers.push_back(layer.get());
        POINT o = PictureOrigin();
        if (!composer.Compose(layers, mtxOffset(part, x, y), float(x + o.x), float(y + o.y)))
            paintFailed = 1;
    }
    editor->SetClip(client);
    DrawChildren(x, y, client);
    editor->SetClip(clip);
}

void mtxIEViewer::OnDeviceLost() {
    composer.ReleaseDeviceResources();
    for (auto& layer : layers_) layer->ReleaseDeviceResources();
    mtxIEWnd::OnDeviceLost();
}

void mtxIEViewer::OnDeviceReset() {
    composer.RestoreDeviceResources();
    for (auto& layer : layers_) layer->RestoreDeviceResources();
    mtxIEWnd::OnDeviceReset();
    Invalidate();
}
