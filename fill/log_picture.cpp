#include "fill/log_picture.h"

#include <algorithm>
#include <memory>

#include "base/job_thread.h"
#include "fill/fill_session.h"
#include "fill/project_file.h"
#include "fill/sample_collection.h"
#include "image/image_stack.h"
#include "image/resample.h"
#include "render/image_dx.h"
#include "render/image_editor_device.h"
#include "render/layers/layer_transform.h"
#include "render/layers/photo_layer.h"
#include "render/layers/shown_picture.h"
#include "render/layers/viewer_layer.h"

namespace {

constexpr int kPieceColumns = mtxLogPieceColumns;
static_assert(kPieceColumns % mtxIEViewerLayer::kTileStep == 0, "pieces of whole tiles");

}  // namespace

mtxLogView mtxLogView::Of(const mtxProject& project) {
    mtxLogView view;
    if (!project.transforms.empty()) view.transform = project.transforms[0];
    view.light = project.light;
    return view;
}

bool mtxLogView::Plain() const {
    return transform == mtxLogView{}.transform && !light.on;
}

// A layer of the picture's size holding the scaled photo, and a session on it.
class mtxLogDrawing::Scene {
  public:
    Scene(mtxImageEditorDevice& editor, SampleCollection& samples)
        : editor_(editor), samples_(samples) {}

    // The picture's pixels in part (all of them when part is empty).
    int Open(mtxImage& photo, int width, int height, mtxRect part, const mtxLogView& view,
             std::string& error) {
        if (photo.IsEmpty() || width < 1 || height < 1) return error = "no photo to draw on", 0;
        if (part.IsEmpty()) part = {0, 0, width, height};
        const int columns = part.right - part.left, rows = part.bottom - part.top;
        auto image = std::make_unique<mtxImageDx>(editor_.GetDevice());
        if (!image->Create(columns, rows, 0)) return error = "not enough memory for the picture", 0;
        if (width == photo.width && height == photo.height) {
            if (!image->Lock()) return error = "not enough memory for the picture", 0;
            for (int y = 0; y < rows; ++y) {
                const mtxColor* from = photo.Row(part.top + y) + part.left;
                std::copy(from, from + columns, image->Row(y));
            }
            image->Unlock();
        } else if (!ScaleImagePart(photo, *image, width, height, part.left, part.top)) {
            return error = "not enough memory for the picture", 0;
        }
        picture_.Open(editor_, std::move(image));
        mtxIEViewerLayer& layer = *picture_.layer;
        layer.bandLeft = part.left;
        layer.bandTop = part.top;
        session_ = std::make_unique<mtxFillSession>(editor_, samples_, layer);
        scale = float(double(width) / photo.width);
        mtxLayerTransform::Scaled(view.transform.data(), double(width) / photo.width,
                                  double(height) / photo.height, transform_);
        light_ = view.light;
        if (!session_->SaveSourceCopy()) return error = "not enough memory for the picture", 0;
        return 1;
    }

    // The layer lies where the view has it only while it is composed: the
    // stamps are drawn in its own coordinates.
    int Picture(mtxImage& out, std::string& error) {
        if (!picture_.layer->CommitTiles())
            return error = "cannot read the picture back from the device", 0;
        float* m = picture_.stack.GetLayer(0)->transform;
        std::copy(transform_, transform_ + 9, m);
        int composed = mtxComposeShown(picture_.stack, light_, &editor_, out, error);
        std::copy(kIdentity, kIdentity + 9, m);
        return composed;
    }

    mtxFillSession& Session() { return *session_; }
    float scale = 1;

  private:
    mtxImageEditorDevice& editor_;
    SampleCollection& samples_;
    mtxPhotoLayer picture_;
    std::unique_ptr<mtxFillSession> session_;
    static constexpr float kIdentity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    float transform_[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    mtxReliefLight light_;
};

mtxLogDrawing::mtxLogDrawing(mtxImageEditorDevice& editor, SampleCollection& samples)
    : editor_(editor), samples_(samples) {}

mtxLogDrawing::~mtxLogDrawing() = default;

int mtxLogDrawing::Open(mtxImage& photo, const mtxStampLog& log, int width, int height,
                        std::string& error, const mtxRect& part, const mtxLogView& view) {
    scene_.reset();  // its memory is free before the next piece takes its own
    const int step = mtxIEViewerLayer::kTileStep;
    if (!part.IsEmpty() && (part.left < 0 || part.top < 0 || part.right > width ||
                            part.bottom > height || part.left % step || part.top % step))
        return error = "a piece outside the picture", 0;
    // A layer moved or lit reaches, or shades, beyond its piece.
    if (!part.IsEmpty() && !view.Plain()) return error = "a moved or lit picture is drawn whole", 0;
    scene_ = std::make_unique<Scene>(editor_, samples_);
    if (!scene_->Open(photo, width, height, part, view, error)) return scene_.reset(), 0;
    mtxFillSession& session = scene_->Session();
    if (!session.BeginReplay(log)) return error = "cannot draw the stamps on the device", 0;
    first_ = session.Replayed();
    count_ = session.log.Count() - first_;
    return 1;
}

uint64_t mtxLogDrawing::End(uint64_t part, uint64_t whole) const {
    return first_ + count_ * std::min(part, whole) / whole;
}

bool mtxLogDrawing::Reached(uint64_t part, uint64_t whole) const {
    return scene_ && whole && scene_->Session().Replayed() >= End(part, whole);
}

int mtxLogDrawing::DrawUntil(uint64_t part, uint64_t whole, std::string& error, uint64_t limit) {
    if (!scene_ || whole == 0) return error = "nothing to draw on", 0;
    mtxFillSession& session = scene_->Session();
    uint64_t end = End(part, whole);
    if (limit) end = std::min(end, session.Replayed() + limit);
    if (!session.ReplayUntil(end, scene_->scale))
        return error = "cannot draw the stamps on the device", 0;
    return 1;
}

double mtxLogDrawing::Drawn() const {
    if (!scene_ || count_ == 0) return 1;
    return double(scene_->Session().Replayed() - first_) / double(count_);
}

int mtxLogDrawing::Picture(mtxImage& out, std::string& error) {
    if (!scene_) return error = "nothing drawn", 0;
    return scene_->Picture(out, error);
}

int mtxDrawLogPicture(mtxImageEditorDevice& editor, SampleCollection& samples, mtxImage& photo,
                      const mtxStampLog& log, int width, int height, mtxImage& out,
                      std::string& error, const mtxLogView& view) {
    mtxLogDrawing drawing(editor, samples);
    return drawing.Open(photo, log, width, height, error, {}, view) &&
           drawing.DrawUntil(1, 1, error) && drawing.Picture(out, error);
}

int mtxDrawLogFrames(mtxImageEditorDevice& editor, SampleCollection& samples, mtxImage& photo,
                     const mtxStampLog& log, int width, int height, uint32_t frames,
                     const std::function<int(mtxImage& picture, uint32_t index)>& frame,
                     std::string& error, const mtxLogView& view) {
    if (frames < 1) return error = "no frames asked for", 0;
    mtxLogDrawing drawing(editor, samples);
    if (!drawing.Open(photo, log, width, height, error, {}, view)) return 0;
    for (uint32_t k = 0; k < frames; ++k) {
        mtxImage picture;
        if (!drawing.DrawUntil(k + 1, frames, error) || !drawing.Picture(picture, error)) return 0;
        if (!frame(picture, k)) return error.empty() ? (error = "stopped", 0) : 0;
    }
    return 1;
}

int mtxBandRows(int width, int height, uint64_t bytes) {
    const uint64_t step = mtxIEViewerLayer::kTileStep;
    const uint64_t pieces = (uint64_t(std::max(width, 1)) + kPieceColumns - 1) / kPieceColumns;
    // A piece's pixels are held about five times over: the layer's image,
    // its tiles' textures, the saved copy, the scaled photo while it is
    // copied in, the flattened piece read back; a band of several pieces is
    // gathered in one more image.
    const uint64_t piece = std::min<uint64_t>(uint64_t(std::max(width, 1)), kPieceColumns);
    const uint64_t perRow = 20 * piece + (pieces > 1 ? 4 * uint64_t(width) : 0);
    uint64_t rows = bytes / perRow;
    rows = std::max(step, rows / step * step);
    return int(std::min<uint64_t>(rows, uint64_t(std::max(height, 1))));
}

bool mtxDrawnInBands(int width, int height, uint64_t bandBytes, const mtxLogView& view) {
    if (!view.Plain()) return false;
    return width > kPieceColumns || mtxBandRows(width, height, bandBytes) < height;
}

int mtxLogDrawable(int width, int height, const mtxLogView& view, std::string& why) {
    if (view.Plain()) return 1;
    if (width > kPieceColumns)
        return why = "a moved or lit picture is drawn whole, 16380 pixels wide at most", 0;
    if (uint64_t(width) * uint64_t(height) > mtxLogWholePixels)
        return why = "a moved or lit picture is drawn whole, of 268 megapixels at most", 0;
    return 1;
}

int mtxDrawLogBands(mtxImageEditorDevice& editor, SampleCollection& samples, mtxImage& photo,
                    const mtxStampLog& log, int width, int height, int bandRows,
                    const std::function<int(mtxImage& band, int top)>& band, std::string& error,
                    int pieceColumns) {
    const int step = mtxIEViewerLayer::kTileStep;
    if (pieceColumns == 0) pieceColumns = kPieceColumns;
    if (bandRows < step || bandRows % step || pieceColumns < step || pieceColumns % step ||
        pieceColumns > kPieceColumns)
        return error = "bands and pieces must be whole tiles", 0;
    mtxLogDrawing drawing(editor, samples);
    mtxImage gathered;
    for (int top = 0; top < height; top += bandRows) {
        const int rows = std::min(bandRows, height - top);
        if (width > pieceColumns && !gathered.Create(width, rows, 0))
            return error = "not enough memory for the picture", 0;
        mtxImage piece;
        for (int left = 0; left < width; left += pieceColumns) {
            const mtxRect part = {left, top, std::min(width, left + pieceColumns), top + rows};
            if (!drawing.Open(photo, log, width, height, error, part) ||
                !drawing.DrawUntil(1, 1, error) || !drawing.Picture(piece, error))
                return 0;
            if (width > pieceColumns) gathered.Blit(piece, mtxRect{}, left, 0);
        }
        if (!band(width > pieceColumns ? gathered : piece, top))
            return error.empty() ? (error = "stopped", 0) : 0;
    }
    return 1;
}

int mtxSaveLogPictureInBands(mtxImageEditorDevice& editor, SampleCollection& samples,
                             mtxImage& photo, const mtxStampLog& log, int width, int height,
                             uint64_t bandBytes, const std::string& path, mtxRowFormat format,
                             int jpegQuality, std::string& error,
                             const std::function<void(int top, int rows)>& told) {
    mtxRowFile file;
    if (!file.Begin(path, format, width, height, jpegQuality, error))
        return error = path + ": " + error, 0;
    // Each band is encoded on the worker while the device draws the next.
    std::string failed;
    mtxImage held;
    mtxJobThread worker;
    worker.Start();
    auto band = [&](mtxImage& rows, int top) {
        worker.Wait();
        if (!failed.empty()) return error = failed, 0;
        if (told) told(top, rows.height);
        if (!held.Assign(rows)) return error = "not enough memory for the picture", 0;
        worker.Hand([&] {
            if (!file.AddRows(held, failed)) failed = path + ": " + failed;
        });
        return 1;
    };
    int drawn = mtxDrawLogBands(editor, samples, photo, log, width, height,
                                mtxBandRows(width, height, bandBytes), band, error);
    worker.Wait();
    if (!drawn) return 0;
    if (!failed.empty()) return error = failed, 0;
    if (!file.Finish(error)) return error = path + ": " + error, 0;
    return 1;
}
