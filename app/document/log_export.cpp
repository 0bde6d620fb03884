#include "app/document/log_export.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "app/document/picture_file.h"
#include "base/application.h"
#include "base/job_thread.h"
#include "fill/log_picture.h"
#include "fill/project_file.h"
#include "fill/project_session.h"
#include "image/codecs/apng_writer.h"
#include "image/image.h"
#include "image/io/row_file.h"
#include "platform/cpu.h"
#include "platform/os_file.h"
#include "platform/window.h"
#include "ui/image_editor.h"
#include "ui/progress_bar.h"

namespace {

// Stamps drawn between looks at the clock.
constexpr uint64_t kStampsPerLook = 64;

mtxRowFormat RowFormatOf(const std::string& path) {
    switch (mtxPictureFormatOfName(path, 0)) {
        case mtxPictureFormat::kBmp:
            return mtxRowFormat::kBmp;
        case mtxPictureFormat::kJpeg:
            return mtxRowFormat::kJpeg;
        default:
            return mtxRowFormat::kPng;
    }
}

}  // namespace

// A picture too large to draw at once: band by band, each band piece by
// piece, a band's rows compressed on the worker while the next is drawn,
// into a file that replaces the output only once complete.
struct mtxIELogExport::Bands {
    mtxRowFile file;
    int rows = 0, top = 0, left = 0;
    int count = 1, pieces = 1;  // bands, pieces a band
    bool ready = false;         // a band is drawn and waits for the worker
    bool completing = false;    // the last band went to the worker, which completes the file
    mtxImage piece, gathered, held;
    std::string failed;   // the worker's
    mtxJobThread worker;  // last: it ends before what its job uses goes
    ~Bands() { worker.Wait(); }
};

mtxIELogExport::mtxIELogExport(mtxImageEditor* host, const std::string& title,
                               std::unique_ptr<mtxProject> project, Request request)
    : mtxIEProgressDialog(host, title, this, kCancel),
      project_(std::move(project)),
      request_(std::move(request)),
      file_(1u << 22) {
    clock = [] { return uint64_t(mtxOs::Milliseconds()); };
    frameCount_ = request_.frames ? request_.frames : 1;
}

mtxIELogExport::~mtxIELogExport() {
    if (timerId_) {
        if (editor && editor->Handle()) mtxOs::KillTimer(editor->Handle(), timerId_);
        if (mtxApplication* app = mtxGetApp()) app->ids.Give(uint16_t(timerId_));
    }
    bands_.reset();
    drawing_.reset();
    // The collection writes its options to the settings as it goes: the
    // user's, not the project's.
    samples_.LoadOptions();
}

int mtxIELogExport::Start(std::string& error) {
    auto fail = [&](const std::string& why) {
        error = why;
        finished_ = true;
        Close();
        return 0;
    };
    if (!editor || !project_) return fail("nothing to draw");
    samples_.Bind(*editor);
    if (!mtxLoadProjectSamples(*project_, samples_, error)) return fail(error);
    drawing_ = std::make_unique<mtxLogDrawing>(*editor, samples_);
    const int width = request_.width, height = request_.height;
    const mtxLogView view = mtxLogView::Of(*project_);
    if (!mtxLogDrawable(width, height, view, error)) return fail(error);
    if (!request_.frames && mtxDrawnInBands(width, height, request_.bandBytes, view)) {
        if (!StartBands(error)) return fail(error);
    } else if (!drawing_->Open(project_->photo, project_->log, width, height, error, {}, view)) {
        return fail(error);
    }
    if (request_.frames) {
        uint16_t perSecond = uint16_t(std::lround(request_.fps * 1000));
        movie_ = std::make_unique<mtxApngWriter>(file_, request_.frames, 1000, perSecond);
    }
    if (mtxApplication* app = mtxGetApp()) timerId_ = app->ids.Take();
    if (timerId_ && editor->Handle()) mtxOs::SetTimer(editor->Handle(), timerId_, 1);
    return 1;
}

int mtxIELogExport::Advance() {
    if (finished_) return 0;
    std::string error, written;
    if (!DrawSlice(error, written)) {
        Finish(0, error);  // last: closing may delete this box at once
        return 0;
    }
    if (!written.empty()) {
        Finish(1, written);
        return 0;
    }
    bar->SetValue(int(100.0 * Progress()));
    bar->Invalidate();
    return 1;
}

double mtxIELogExport::Progress() const {
    if (!bands_) return drawing_->Drawn();
    const Bands& b = *bands_;
    if (b.completing) return 1;
    double pieces = double(b.top / b.rows) * b.pieces + double(b.left / mtxLogPieceColumns);
    if (!b.ready) pieces += drawing_->Drawn();
    return pieces / double(b.count * b.pieces);
}

int mtxIELogExport::StartBands(std::string& error) {
    const int width = request_.width, height = request_.height;
    bands_ = std::make_unique<Bands>();
    Bands& b = *bands_;
    b.rows = mtxBandRows(width, height, request_.bandBytes);
    b.count = (height + b.rows - 1) / b.rows;
    b.pieces = (width + mtxLogPieceColumns - 1) / mtxLogPieceColumns;
    if (!b.file.Begin(request_.path, RowFormatOf(request_.path), width, height,
                      request_.jpegQuality, error))
        return 0;
    b.worker.Start();
    return OpenPiece(error);
}

int mtxIELogExport::OpenPiece(std::string& error) {
    Bands& b = *bands_;
    const mtxRect part = {b.left, b.top, std::min(request_.width, b.left + mtxLogPieceColumns),
                          std::min(request_.height, b.top + b.rows)};
    return drawing_->Open(project_->photo, project_->log, request_.width, request_.height, error,
                          part);
}

int mtxIELogExport::DrawBandSlice(std::string& error, std::string& written) {
    Bands& b = *bands_;
    uint64_t start = clock();
    while (clock() - start < kSliceMs) {
        if (b.ready || b.completing) {
            // The band before is still being encoded, or the file completed:
            // wait within the slice.
            if (b.worker.Busy()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (!(b.completing ? Completed(error, written) : BandDone(error))) return 0;
            if (!written.empty()) return 1;
            continue;
        }
        if (!drawing_->DrawUntil(1, 1, error, kStampsPerLook)) return 0;
        if (!drawing_->Reached(1, 1)) continue;
        if (!drawing_->Picture(b.piece, error)) return 0;
        if (b.pieces > 1) {
            if (b.left == 0 && !b.gathered.Create(request_.width, b.piece.height, 0))
                return error = "not enough memory for the picture", 0;
            b.gathered.Blit(b.piece, mtxRect{}, b.left, 0);
        }
        b.left += mtxLogPieceColumns;
        if (b.left < request_.width) {
            if (!OpenPiece(error)) return 0;
        } else {
            b.ready = true;
        }
    }
    return 1;
}

// The band drawn goes to the worker; after the last, the worker completes
// the file too (a JPEG is coded whole then), and Completed puts it in place.
int mtxIELogExport::BandDone(std::string& error) {
    Bands& b = *bands_;
    b.worker.Wait();
    if (!b.failed.empty()) return error = b.failed, 0;
    if (!b.held.Assign(b.pieces > 1 ? b.gathered : b.piece))
        return error = "not enough memory for the picture", 0;
    b.ready = false;
    b.top += b.rows, b.left = 0;
    const bool last = b.top >= request_.height;
    // A failure leaves why in failed.
    b.worker.Hand([&b, last] {
        if (b.file.AddRows(b.held, b.failed) && last) b.file.Complete(b.failed);
    });
    if (!last) return OpenPiece(error);
    b.completing = true;
    return 1;
}

// Here rather than on the worker, so that a Cancel while the file was being
// completed still leaves no file.
int mtxIELogExport::Completed(std::string& error, std::string& written) {
    Bands& b = *bands_;
    if (!b.failed.empty()) return error = b.failed, 0;
    if (!b.file.Commit(error)) return 0;
    written = WrittenText();
    return 1;
}

std::string mtxIELogExport::WrittenText() const {
    char line[128];
    std::snprintf(line, sizeof line, "%d x %d pixels, %llu stamps", request_.width, request_.height,
                  (unsigned long long)project_->log.Count());
    std::string text = request_.path + ": " + line;
    if (request_.frames) text += ", " + std::to_string(request_.frames) + " frames";
    return text;
}

int mtxIELogExport::DrawSlice(std::string& error, std::string& written) {
    if (bands_) return DrawBandSlice(error, written);
    uint64_t start = clock();
    while (clock() - start < kSliceMs) {
        if (!drawing_->DrawUntil(frame_ + 1, frameCount_, error, kStampsPerLook)) return 0;
        if (!drawing_->Reached(frame_ + 1, frameCount_)) continue;
        if (!FrameDone(error, written)) return 0;
        if (!written.empty()) break;
    }
    return 1;
}

// The frame just drawn goes to the movie; after the last, the file is
// written and written says what it holds.
int mtxIELogExport::FrameDone(std::string& error, std::string& written) {
    mtxImage picture;
    if (!drawing_->Picture(picture, error)) return 0;
    if (movie_ && !movie_->AddFrame(picture))
        return error = "frame " + std::to_string(frame_ + 1) + " cannot be written", 0;
    if (++frame_ < frameCount_) return 1;
    if (!WriteFile(picture, error)) return 0;
    written = WrittenText();
    return 1;
}

int mtxIELogExport::WriteFile(mtxImage& picture, std::string& error) {
    if (!movie_) {
        mtxPictureFormat format = mtxPictureFormatOfName(request_.path, 0);
        return mtxWritePictureFile(picture, request_.path, format, &error, request_.jpegQuality);
    }
    if (!movie_->Finish()) return error = "the time-lapse cannot be written", 0;
    if (mtxOs::ReplaceFile(request_.path, file_.Data(), uint64_t(file_.GetLength()))) return 1;
    return error = mtxOs::ErrorText(mtxOs::LastError()), 0;
}

void mtxIELogExport::Finish(int written, const std::string& text) {
    if (finished_) return;
    finished_ = true;
    if (timerId_ && editor && editor->Handle()) mtxOs::KillTimer(editor->Handle(), timerId_);
    // Closed outside a message, the box is deleted at once: nothing of it
    // may be touched after Close.
    auto done = std::move(onDone);
    Close();
    if (done) done(written, text);
}

int mtxIELogExport::Process(uint32_t action, uint16_t) {
    if (action == kCancel) Finish(0, "");
    return 1;
}

void mtxIELogExport::OnTimer(uintptr_t id) {
    mtxIEProgressDialog::OnTimer(id);
    if (timerId_ && id == timerId_) Advance();
}
