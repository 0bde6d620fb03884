#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "fill/sample_collection.h"
#include "image/file_memory.h"
#include "ui/action_processor.h"
#include "ui/progress_dialog.h"

class mtxApngWriter;
class mtxImage;
class mtxLogDrawing;
struct mtxProject;

// The picture of a run drawn again from its stamp log, at a size of the
// user's choosing or as a time-lapse of it growing, and written to a file.
// The drawing needs the window's device, so it runs on the interface thread
// a slice at a time from a timer, behind a progress box; Cancel, or a
// failure, leaves no file. Like any dialog, the editor owns it.
class mtxIELogExport : public mtxIEProgressDialog, public mtxIEActionProcessor {
  public:
    enum Action : uint32_t { kCancel = 1 };
    struct Request {
        std::string path;  // the picture's format by its extension; frames: an animated PNG
        int width = 0, height = 0;
        uint32_t frames = 0;  // 0: one picture; else a time-lapse of that many frames
        double fps = 10;
        int jpegQuality = 92;
        // Memory the drawing may take: a larger picture, or one wider than
        // a piece of the device, is drawn in bands and written row by row.
        uint64_t bandBytes = uint64_t(512) << 20;
    };
    // A slice draws stamps for about this long, so the window keeps answering.
    static constexpr uint64_t kSliceMs = 40;

    mtxIELogExport(mtxImageEditor* editor, const std::string& title,
                   std::unique_ptr<mtxProject> project, Request request);
    ~mtxIELogExport() override;

    // Loads the samples, draws the photo and starts the timer. 1, or 0 with
    // why in error and the box closed (onDone is not called).
    int Start(std::string& error);
    // One slice: stamps for about kSliceMs, each frame it completes, the
    // file once the last is drawn. 1 while work remains; at 0 the box is
    // closed, and, outside a message, already deleted.
    int Advance();

    // kCancel ends the work without a file; the box closes as for Advance.
    int Process(uint32_t action, uint16_t value) override;
    void OnTimer(uintptr_t id) override;

    // Told once when the work ends: 1 with the file written and a line
    // saying what it holds, or 0 with why ("" when cancelled).
    std::function<void(int written, const std::string& text)> onDone;
    std::function<uint64_t()> clock;  // milliseconds

  private:
    int DrawSlice(std::string& error, std::string& written);
    // The picture in bands: the next piece opened, a slice of it drawn.
    int StartBands(std::string& error);
    int OpenPiece(std::string& error);
    int DrawBandSlice(std::string& error, std::string& written);
    int BandDone(std::string& error);
    int Completed(std::string& error, std::string& written);
    double Progress() const;
    std::string WrittenText() const;
    int FrameDone(std::string& error, std::string& written);
    int WriteFile(mtxImage& picture, std::string& error);
    void Finish(int written, const std::string& text);

    std::unique_ptr<mtxProject> project_;
    Request request_;
    SampleCollection samples_;
    std::unique_ptr<mtxLogDrawing> drawing_;
    mtxFileMemory file_;
    std::unique_ptr<mtxApngWriter> movie_;
    uint32_t frame_ = 0, frameCount_ = 1;
    uintptr_t timerId_ = 0;
    bool finished_ = false;

    struct Bands;
    std::unique_ptr<Bands> bands_;  // goes first: its worker may still use the rest
};
