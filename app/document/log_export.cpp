#include "app/document/log_export.h"

#include <cmath>
#include <cstdio>

#include "app/document/picture_file.h"
#include "base/application.h"
#include "fill/log_picture.h"
#include "fill/project_file.h"
#include "fill/project_session.h"
#include "image/codecs/apng_writer.h"
#include "image/image.h"
#include "platform/cpu.h"
#include "platform/os_file.h"
#include "platform/window.h"
#include "ui/image_editor.h"
#include "ui/progress_bar.h"

namespace {

// Stamps drawn between looks at the clock.
constexpr uint64_t kStampsPerLook = 64;

}  // namespace

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
    if (!drawing_->Open(project_->photo, project_->log, request_.width, request_.height, error))
        return fail(error);
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
    bar->SetValue(int(100.0 * drawing_->Drawn()));
    bar->Invalidate();
    return 1;
}

int mtxIELogExport::DrawSlice(std::string& error, std::string& written) {
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
    char line[128];
    std::snprintf(line, sizeof line, "%d x %d pixels, %llu stamps", request_.width, request_.height,
                  (unsigned long long)project_->log.Count());
    written = request_.path + ": " + line;
    if (request_.frames) written += ", " + std::to_string(request_.frames) + " frames";
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
