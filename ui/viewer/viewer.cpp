#include "ui/viewer/viewer.h"

#include <algorithm>

#include "platform/window_messages.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"

mtxIEViewer::mtxIEViewer(mtxIECtrl* parent) : mtxIEWnd(parent), composer(editor) {
    flags |= kVisible;
}

mtxIEViewer::~mtxIEViewer() {
    // The tools below the viewer work on its layers: they go first.
    while (!children.empty()) RemoveChild(children.back());
    overlay_.reset();
    layers_.clear();
    composer.ReleaseDeviceResources();
    // The vector layer and its objects go with the members, after the image layers.
}

mtxImageStack* mtxIEViewer::GetStack() const {
    return stack_;
}

// A stack in use elsewhere is not taken: the viewer shows no picture then.
void mtxIEViewer::SetStack(mtxImageStack* stack) {
    ++pictureSerial;
    activeLayer = -1;
    scrollX = scrollY = 0;  // a new picture shows from its top-left corner
    overlay_.reset();
    stack_ = nullptr;
    if (stack && stack->TryBeginUse()) {
        stack_ = stack;
        SyncWithStack();
        stack->EndUse();
    } else {
        SyncWithStack();
    }
    UpdateView();
}

int mtxIEViewer::SyncWithStack() {
    int count = stack_ ? stack_->LayerCount() : 0;
    stackWidth = stack_ ? stack_->width : 0;
    stackHeight = stack_ ? stack_->height : 0;
    const mtxIEViewerLayer* bottom = GetLayer(0);
    const mtxImage* bottomImage = bottom ? bottom->source : nullptr;
    for (int i = 0; i < count; ++i) {
        if (i >= LayerCount()) layers_.push_back(std::make_unique<mtxIEViewerLayer>(editor));
        layers_[size_t(i)]->SetSource(stack_->GetLayer(i));
    }
    while (LayerCount() > count) layers_.pop_back();
    if (GetLayer(0) != bottom || (bottom && bottom->source != bottomImage)) ++pictureSerial;
    if (activeLayer >= count) activeLayer = count - 1;
    UpdateView();
    return 1;
}

void mtxIEViewer::SetOverlay(mtxImageStack::Layer* layer) {
    if (!layer) {
        overlay_.reset();
    } else {
        if (!overlay_) overlay_ = std::make_unique<mtxIEViewerLayer>(editor);
        overlay_->SetSource(layer);
    }
    Invalidate();
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
    if (index == 0) ++pictureSerial;
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

// The tools are the viewer's children: with one, the press is the tool's.
int mtxIEViewer::OnClientRButtonDown(int x, int y, uint32_t keys) {
    if (!children.empty()) return mtxIEWnd::OnClientRButtonDown(x, y, keys);
    if (!HasFocus()) SetFocus();
    POINT at = LocalToEditor(POINT{x, y});
    vectorLayer.ShowMenu(at.x, at.y);
    return 1;
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

int mtxIEViewer::OnMouseWheel(int x, int y, int delta, uint32_t keys) {
    if (mtxIECtrl::OnMouseWheel(x, y, delta, keys)) return 1;
    if ((keys & mtxOs::MK_CONTROL) || delta == 0) return 0;
    const int before = scrollY;
    scrollY -= int(int64_t(delta) * kWheelStep / mtxOs::WHEEL_DELTA);
    UpdateView();  // keeps the position inside the picture
    return scrollY != before;
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
    if (overlay_ && !overlay_->UploadVisible(visible)) paintFailed = 1;
}

namespace {

// Calls draw for each part of outer that lies outside hole: at most four
// bands (above, below, left, right).
template <class F>
void ForEachBand(const RECT& outer, const RECT& hole, F draw) {
    RECT h = mtxIntersect(outer, hole);
    if (mtxIsEmpty(h)) {
        if (!mtxIsEmpty(outer)) draw(outer);
        return;
    }
    const RECT bands[4] = {{outer.left, outer.top, outer.right, h.top},
                           {outer.left, h.bottom, outer.right, outer.bottom},
                           {outer.left, h.top, h.left, h.bottom},
                           {h.right, h.top, outer.right, h.bottom}};
    for (const RECT& band : bands)
        if (!mtxIsEmpty(band)) draw(band);
}

}  // namespace

// Every pixel is written once: the frame and bars around the client area,
// the background around the picture, the picture, then the children over it.
void mtxIEViewer::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    RECT whole = mtxIntersect(RECT{x, y, x + Width(), y + Height()}, clip);
    RECT clientArea = mtxOffset(GetClientRect(), x, y);
    std::vector<mtxIECtrl*> held;
    held.swap(children);
    ForEachBand(whole, clientArea, [&](const RECT& band) {
        editor->SetClip(band);
        mtxIEWnd::Draw(x, y, band);
    });
    held.swap(children);

    RECT client = mtxIntersect(clientArea, clip);
    if (mtxIsEmpty(client)) {
        editor->SetClip(clip);
        return;
    }
    RECT picture = mtxIntersect(mtxOffset(PictureRect(), x, y), client);
    editor->SetClip(client);
    ForEachBand(client, picture, [&](const RECT& band) {
        mtxIEPrimitives::FillRect(device, band, backgroundColor);
    });
    paintFailed = 0;
    if (!layers_.empty() && !mtxIsEmpty(picture) && device && !editor->lost) {
        KeepTilesCurrent(mtxOffset(picture, -x, -y));
        std::vector<mtxIEViewerLayer*> layers;
        for (auto& layer : layers_) layers.push_back(layer.get());
        if (overlay_) layers.push_back(overlay_.get());
        POINT o = PictureOrigin();
        // The vector layer's objects go on top through the composer's two
        // passes; without objects the composer keeps its one-pass path.
        if (!vectorLayer.objects.empty())
            composer.drawTop = [&] { vectorLayer.Draw(device, POINT{x + o.x, y + o.y}); };
        int composed = composer.Compose(layers, picture, float(x + o.x), float(y + o.y));
        composer.drawTop = nullptr;
        if (!composed) {
            paintFailed = 1;
            mtxIEPrimitives::FillRect(device, picture, backgroundColor);
        }
    } else if (!mtxIsEmpty(picture)) {
        mtxIEPrimitives::FillRect(device, picture, backgroundColor);
    }
    editor->SetClip(client);
    DrawChildren(x, y, client);
    editor->SetClip(clip);
}

void mtxIEViewer::InvalidatePicture(const mtxRect& pixels) {
    POINT o = PictureOrigin();
    RECT r = {o.x + pixels.left, o.y + pixels.top, o.x + pixels.right, o.y + pixels.bottom};
    r = mtxIntersect(r, PictureRect());
    if (!mtxIsEmpty(r)) InvalidateRect(r);
}

void mtxIEViewer::OnDeviceLost() {
    composer.ReleaseDeviceResources();
    for (auto& layer : layers_) layer->ReleaseDeviceResources();
    if (overlay_) overlay_->ReleaseDeviceResources();
    mtxIEWnd::OnDeviceLost();
}

void mtxIEViewer::OnDeviceReset() {
    composer.RestoreDeviceResources();
    for (auto& layer : layers_) layer->RestoreDeviceResources();
    mtxIEWnd::OnDeviceReset();
    Invalidate();
}
