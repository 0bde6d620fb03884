#include "fill/log_picture.h"

#include <memory>

#include "fill/fill_session.h"
#include "fill/sample_collection.h"
#include "image/image_stack.h"
#include "image/resample.h"
#include "render/image_dx.h"
#include "render/image_editor_device.h"
#include "render/layers/flatten_stack.h"
#include "render/layers/viewer_layer.h"

int mtxDrawLogPicture(mtxImageEditorDevice& editor, SampleCollection& samples, mtxImage& photo,
                      const mtxStampLog& log, int width, int height, mtxImage& out,
                      std::string& error) {
    if (photo.IsEmpty() || width < 1 || height < 1) return error = "no photo to draw on", 0;
    mtxImage scaled;
    mtxImage* base = &photo;
    if (width != photo.width || height != photo.height) {
        if (!scaled.Create(width, height, 0) || !ScaleImage(photo, scaled))
            return error = "not enough memory for the picture", 0;
        base = &scaled;
    }
    auto image = std::make_unique<mtxImageDx>(editor.GetDevice());
    if (!image->Create(width, height, 0) || !image->Lock())
        return error = "not enough memory for the picture", 0;
    for (int y = 0; y < height; ++y) std::copy(base->Row(y), base->Row(y) + width, image->Row(y));
    image->Unlock();
    scaled.Free();

    mtxImageStack stack;
    stack.AddLayer(0, std::move(image));
    mtxIEViewerLayer layer(&editor);
    layer.SetSource(stack.GetLayer(0));
    mtxFillSession session(editor, samples, layer);
    float scale = float(double(width) / photo.width);
    if (!session.SaveSourceCopy() || !session.Replay(log, scale))
        return error = "cannot draw the stamps on the device", 0;
    if (!layer.CommitTiles() || !FlattenStack(stack, out))
        return error = "cannot read the picture back from the device", 0;
    return 1;
}
