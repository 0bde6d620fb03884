#include "render/layers/photo_layer.h"

#include "image/image.h"
#include "render/image_dx.h"
#include "render/image_editor_device.h"

int mtxPhotoLayer::Open(mtxImageEditorDevice& editor, const mtxImage& photo) {
    if (!editor.GetDevice() && !editor.CreateDevice(nullptr)) return 0;
    if (!editor.GetDevice() || photo.IsEmpty()) return 0;
    editor.SetFrameStates();
    auto image = std::make_unique<mtxImageDx>(editor.GetDevice());
    if (!image->Assign(photo)) return 0;
    Open(editor, std::move(image));
    return 1;
}

void mtxPhotoLayer::Open(mtxImageEditorDevice& editor, std::unique_ptr<mtxImageDx> image) {
    stack.AddLayer(0, std::move(image));
    layer = std::make_unique<mtxIEViewerLayer>(&editor);
    layer->SetSource(stack.GetLayer(0));
}
