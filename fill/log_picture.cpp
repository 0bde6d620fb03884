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

namespace {

// A layer of the picture's size holding the scaled photo, and a session on it.
class LogScene {
  public:
    LogScene(mtxImageEditorDevice& editor, SampleCollection& samples)
        : editor_(editor), samples_(samples) {}

    int Open(mtxImage& photo, int width, int height, std::string& error) {
        if (photo.IsEmpty() || width < 1 || height < 1) return error = "no photo to draw on", 0;
        mtxImage scaled;
        mtxImage* base = &photo;
        if (width != photo.width || height != photo.height) {
            if (!scaled.Create(width, height, 0) || !ScaleImage(photo, scaled))
                return error = "not enough memory for the picture", 0;
            base = &scaled;
        }
        auto image = std::make_unique<mtxImageDx>(editor_.GetDevice());
        if (!image->Create(width, height, 0) || !image->Lock())
            return error = "not enough memory for the picture", 0;
        for (int y = 0; y < height; ++y)
            std::copy(base->Row(y), base->Row(y) + width, image->Row(y));
        image->Unlock();
        stack_.AddLayer(0, std::move(image));
        layer_ = std::make_unique<mtxIEViewerLayer>(&editor_);
        layer_->SetSource(stack_.GetLayer(0));
        session_ = std::make_unique<mtxFillSession>(editor_, samples_, *layer_);
        scale = float(double(width) / photo.width);
        if (!session_->SaveSourceCopy()) return error = "not enough memory for the picture", 0;
        return 1;
    }

    int Picture(mtxImage& out, std::string& error) {
        if (!layer_->CommitTiles() || !FlattenStack(stack_, out))
            return error = "cannot read the picture back from the device", 0;
        return 1;
    }

    mtxFillSession& Session() { return *session_; }
    float scale = 1;

  private:
    mtxImageEditorDevice& editor_;
    SampleCollection& samples_;
    mtxImageStack stack_;
    std::unique_ptr<mtxIEViewerLayer> layer_;
    std::unique_ptr<mtxFillSession> session_;
};

}  // namespace

int mtxDrawLogPicture(mtxImageEditorDevice& editor, SampleCollection& samples, mtxImage& photo,
                      const mtxStampLog& log, int width, int height, mtxImage& out,
                      std::string& error) {
    LogScene scene(editor, samples);
    if (!scene.Open(photo, width, height, error)) return 0;
    if (!scene.Session().Replay(log, scene.scale))
        return error = "cannot draw the stamps on the device", 0;
    return scene.Picture(out, error);
}

int mtxDrawLogFrames(mtxImageEditorDevice& editor, SampleCollection& samples, mtxImage& photo,
                     const mtxStampLog& log, int width, int height, uint32_t frames,
                     const std::function<int(mtxImage& picture, uint32_t index)>& frame,
                     std::string& error) {
    LogScene scene(editor, samples);
    if (frames < 1) return error = "no frames asked for", 0;
    if (!scene.Open(photo, width, height, error)) return 0;
    mtxFillSession& session = scene.Session();
    if (!session.BeginReplay(log)) return error = "cannot draw the stamps on the device", 0;
    const uint64_t first = session.Replayed(), count = log.Count() - first;
    for (uint32_t k = 0; k < frames; ++k) {
        uint64_t end = first + count * (k + 1) / frames;
        if (!session.ReplayUntil(end, scene.scale))
            return error = "cannot draw the stamps on the device", 0;
        mtxImage picture;
        if (!scene.Picture(picture, error)) return 0;
        if (!frame(picture, k)) return error = "stopped", 0;
    }
    return 1;
}
