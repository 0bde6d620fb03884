#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "image/field.h"
#include "image/io/row_file.h"
#include "render/layers/relief_light.h"

class SampleCollection;
class mtxImage;
class mtxImageEditorDevice;
class mtxStampLog;
struct mtxProject;

// How the picture of a log is shown: where its layer lies at the photo's
// size (Move, Rotate) and the relief light over it. A drawing lays both over
// every picture it gives, as Save lays them over the layers, the move scaled
// with the picture and the light as it is.
struct mtxLogView {
    std::array<float, 9> transform = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    mtxReliefLight light;

    // The project's: the bottom layer's transform (the stamps' layer), its light.
    static mtxLogView Of(const mtxProject& project);
    // Neither moved nor lit: the picture is the drawing as it is.
    bool Plain() const;
};

// The largest picture drawn whole, as a time-lapse frame or a moved, turned
// or lit picture is: within the device's widest piece, of 268 megapixels.
constexpr uint64_t mtxLogWholePixels = uint64_t(1) << 28;

// The drawing of a log again in as many steps as wanted, so a window can show
// its progress and stop it: Open draws the photo (scaled to width x height)
// and the base of the log's last run that put one in, DrawUntil the stamps up
// to a share of the rest, Picture reads what is drawn so far back.
class mtxLogDrawing {
  public:
    mtxLogDrawing(mtxImageEditorDevice& editor, SampleCollection& samples);
    ~mtxLogDrawing();

    // 1, or 0 with why in error. With a part, only the picture's pixels in
    // it are drawn (its left and top multiples of the layer's tile step),
    // the same bytes as those pixels of the whole picture.
    // A view that is not plain is for the whole picture: no part.
    int Open(mtxImage& photo, const mtxStampLog& log, int width, int height, std::string& error,
             const mtxRect& part = {}, const mtxLogView& view = {});
    // Draws on until part / whole of the stamps after the base are drawn; at
    // most limit stamps in this call (0: no limit). 1, or 0 with why in error.
    int DrawUntil(uint64_t part, uint64_t whole, std::string& error, uint64_t limit = 0);
    // Whether part / whole of the stamps after the base are drawn.
    bool Reached(uint64_t part, uint64_t whole) const;
    // The share of the stamps after the base drawn so far (1 for none to draw).
    double Drawn() const;
    // The picture so far, shown through the view. 1, or 0 with why in error.
    int Picture(mtxImage& out, std::string& error);

  private:
    class Scene;
    uint64_t End(uint64_t part, uint64_t whole) const;
    std::unique_ptr<Scene> scene_;
    uint64_t first_ = 0, count_ = 0;
    mtxImageEditorDevice& editor_;
    SampleCollection& samples_;
};

// Draws the picture of a log again, on its own layer of the device, at
// width x height: the photo scaled to that size under the log's base, and
// every stamp enlarged by width / the photo's width, drawn from the samples'
// own pixels, shown through view. At the photo's size it is the picture
// filled live, and what Save writes of it, byte for byte. 1 with the
// picture in out, or 0 with why in error.
int mtxDrawLogPicture(mtxImageEditorDevice& editor, SampleCollection& samples, mtxImage& photo,
                      const mtxStampLog& log, int width, int height, mtxImage& out,
                      std::string& error, const mtxLogView& view = {});

// The same drawing in frames steps (at least 1): after each, the picture so
// far goes to frame with its index; frame k shows the stamps of the base's
// run and later up to (k + 1) / frames of them, so the last frame is the
// whole picture. frame returns 0 to stop, with why in error ("stopped"
// when it leaves error empty). 1 when every frame was given, or 0 with why
// in error.
int mtxDrawLogFrames(mtxImageEditorDevice& editor, SampleCollection& samples, mtxImage& photo,
                     const mtxStampLog& log, int width, int height, uint32_t frames,
                     const std::function<int(mtxImage& picture, uint32_t index)>& frame,
                     std::string& error, const mtxLogView& view = {});

// The widest piece of a picture drawn at once: whole tiles within the
// device's largest surface (16384 pixels a side).
constexpr int mtxLogPieceColumns = 130 * 126;

// Whether a picture of width x height is drawn in bands (within bandBytes of
// memory) rather than whole. A view that is not plain is drawn whole.
bool mtxDrawnInBands(int width, int height, uint64_t bandBytes, const mtxLogView& view);
// Whether a picture of width x height shown through view can be drawn: one
// not plain only whole (mtxLogWholePixels, mtxLogPieceColumns wide). 1, or
// 0 with the limit in why.
int mtxLogDrawable(int width, int height, const mtxLogView& view, std::string& why);

// The rows of a band of a picture width pixels wide that bytes of memory
// hold while it is drawn: a whole number of the layer's tile rows, at least
// one, at most height. A band wider than the device's largest surface is
// drawn in pieces side by side.
int mtxBandRows(int width, int height, uint64_t bytes);

// The picture of mtxDrawLogPicture drawn band by band, bandRows (a multiple
// of the layer's tile step) at a time, for pictures too large to hold: each
// band goes to band with its first row, top to bottom, and only one is held
// at a time. A band wider than pieceColumns (0: the device's largest
// surface; else a multiple of the tile step within it) is drawn in pieces
// side by side. The bands are the rows of the picture drawn whole, byte for
// byte. band returns 0 to stop, as frame does for mtxDrawLogFrames. 1 when
// every band was given, or 0 with why in error.
int mtxDrawLogBands(mtxImageEditorDevice& editor, SampleCollection& samples, mtxImage& photo,
                    const mtxStampLog& log, int width, int height, int bandRows,
                    const std::function<int(mtxImage& band, int top)>& band, std::string& error,
                    int pieceColumns = 0);

// The picture drawn in bands (bandBytes of memory) and written in format at
// path row by row (a JPEG at jpegQuality), each band encoded on a worker
// while the device draws the next; told, when given, hears of each band
// before it is written. The file replaces path only once complete. 1, or 0
// with why in error and nothing left at path.
int mtxSaveLogPictureInBands(mtxImageEditorDevice& editor, SampleCollection& samples,
                             mtxImage& photo, const mtxStampLog& log, int width, int height,
                             uint64_t bandBytes, const std::string& path, mtxRowFormat format,
                             int jpegQuality, std::string& error,
                             const std::function<void(int top, int rows)>& told = {});
