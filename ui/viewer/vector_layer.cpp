#include "ui/viewer/vector_layer.h"

#include <cstring>

#include "platform/clipboard.h"
#include "ui/image_editor.h"
#include "ui/strings.h"
#include "ui/viewer/viewer.h"

mtxIEVectorLayer::Menu::Menu(mtxImageEditor* owner, mtxIEVectorLayer* layer)
    : mtxIEMenu(owner, layer) {
    AddItem(kPaste, mtxIELoadString(242, "Paste").c_str());
}

mtxIEVectorLayer::mtxIEVectorLayer(mtxIEViewer* owner)
    : viewer(owner),
      editor(owner->editor),
      menu(std::make_unique<Menu>(editor, this)),
      lineMenu(std::make_unique<mtxIEMenu>(editor, this)),
      pointMenu(std::make_unique<mtxIEMenu>(editor, this)),
      clipboardFormat(mtxOs::RegisterClipboardFormat("daubry_line_object")),
      blendShader(editor ? editor->GetPixelShader(5164) : nullptr) {}

mtxIEVectorLayer::~mtxIEVectorLayer() = default;

int mtxIEVectorLayer::Process(uint32_t action, uint16_t) {
    if (action != kPaste) return 0;
    Paste(menu->position);
    return 1;
}

int mtxIEVectorLayer::ShowMenu(int x, int y) {
    return menu->Show(x, y);
}

namespace {

// The record as it lies on the clipboard; false for any other size or a
// point that lands out of range once moved by (dx, dy).
bool ReadRecord(const uint8_t* data, size_t size, int64_t dx, int64_t dy, mtxIELineObject& out) {
    if (!data || size < 4) return false;
    uint32_t shape = 0;
    std::memcpy(&shape, data, 4);
    int count = mtxIELineObject::PointCount(shape);
    if (size != 4 + size_t(count) * 8) return false;
    POINT points[4] = {};
    for (int i = 0; i < count; ++i) {
        int32_t xy[2];
        std::memcpy(xy, data + 4 + size_t(i) * 8, 8);
        int64_t x = xy[0] + dx, y = xy[1] + dy;
        const int64_t limit = mtxIEVectorLayer::kMaxCoordinate;
        if (x < -limit || x > limit || y < -limit || y > limit) return false;
        points[i] = {int(x), int(y)};
    }
    out = mtxIELineObject(shape, points);
    return true;
}

}  // namespace

int mtxIEVectorLayer::Paste(POINT at) {
    if (!editor || !clipboardFormat) return 0;
    POINT local = viewer->EditorToLocal(at);
    RECT picture = viewer->PictureRect();
    int64_t dx = int64_t(local.x) - picture.left + viewer->scrollX;
    int64_t dy = int64_t(local.y) - picture.top + viewer->scrollY;
    size_t size = 0;
    const uint8_t* data = editor->BeginClipboardRead(clipboardFormat, &size);
    if (!data) return 0;  // closed already
    mtxIELineObject object;
    bool read = ReadRecord(data, size, dx, dy, object);
    editor->EndClipboardRead();
    if (!read) return 0;
    for (mtxIELineObject& other : objects) other.selected = false;
    object.selected = true;
    objects.push_back(std::move(object));
    viewer->Invalidate();
    return 1;
}

int mtxIEVectorLayer::Draw(IDirect3DDevice9* device, POINT origin) const {
    int drawn = 1;
    for (const mtxIELineObject& object : objects)
        if (!object.Draw(device, origin, kLineColor)) drawn = 0;
    return drawn;
}
