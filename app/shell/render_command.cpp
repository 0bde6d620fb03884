#include "app/shell/render_command.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "base/job_thread.h"
#include "fill/log_picture.h"
#include "fill/message_sink.h"
#include "fill/project_file.h"
#include "fill/project_session.h"
#include "fill/sample_collection.h"
#include "image/codecs/apng_writer.h"
#include "image/file_memory.h"
#include "image/image.h"
#include "image/io/image_save.h"
#include "platform/os_file.h"
#include "render/image_editor_device.h"

namespace {

enum Exit { kDone = 0, kUsage = 1, kInput = 2, kOutput = 3 };

// Memory a band of the picture may take while it is drawn: pictures larger
// than one band are drawn band by band and written row by row.
constexpr uint64_t kBandBytes = uint64_t(512) << 20;

struct RenderArguments {
    std::string project, output;
    double scale = 1;  // or, with width, width / the photo's width
    int width = 0;
    std::string timelapse, framesDir;  // an animated PNG, a folder of numbered PNG files
    uint32_t frames = 0;
    double fps = 10;
    uint64_t bandBytes = kBandBytes;
    bool quiet = false, help = false;
};

constexpr uint32_t kMaxFrames = 10000;
// Frames compressed at once while the device draws: compressing takes about
// twice as long as drawing.
constexpr uint32_t kFrameWorkers = 2;

constexpr double kMaxScale = 16;
constexpr uint64_t kMaxPixels = uint64_t(1) << 32;

constexpr const char* kUsageText = R"(Usage: daubry render PROJECT.daubry -o OUT [options]
       daubry render PROJECT.daubry --timelapse OUT.png --frames N [options]

Draws the picture of a project that 'daubry fill --project' saved (or the
window) again from its stamps, and saves it as OUT (.png, .jpg or .bmp, by
its extension).

  -o, --output FILE  where the picture goes
  --scale K          K times the photo's size (up to 16), drawn with the
                     samples' own pixels
  --width W          W pixels wide, the height in proportion
  --timelapse FILE   an animated PNG of the picture growing, in --frames N
                     frames (the last is the picture), --fps F a second
                     (default 10)
  --frames-dir DIR   the same frames as numbered PNG files in DIR
  --memory MB        memory the drawing may take (default 512): a larger
                     picture is drawn in bands and written row by row,
                     unless its layer was moved or turned or the light is
                     on: such a picture is drawn whole (268 megapixels and
                     16380 pixels wide at most)
  -q, --quiet        no progress
  -h, --help         this text

The picture is the one the window saves: where the layer lies (Move, Rotate;
a move grows with the picture) and the light over it come from the project.

Exit codes: 0 done, 1 usage, 2 project problem, 3 output problem.
)";

int ParseRenderArguments(const std::vector<std::string>& args, RenderArguments& out,
                         std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            out.help = true;
            return 1;
        } else if (a == "-o" || a == "--output") {
            if (i + 1 >= args.size()) return error = a + " needs a value", 0;
            out.output = args[++i];
        } else if (a == "--scale" || a == "--width") {
            if (i + 1 >= args.size()) return error = a + " needs a value", 0;
            const std::string& v = args[++i];
            char* end = nullptr;
            double value = std::strtod(v.c_str(), &end);
            bool whole = a == "--width" ? value == std::floor(value) : true;
            if (v.empty() || *end || !std::isfinite(value) || !whole || value <= 0 ||
                (a == "--scale" && value > kMaxScale) || (a == "--width" && value > 1 << 20))
                return error = a +
                               (a == "--scale" ? " takes a factor above 0 up to 16"
                                               : " takes a width in pixels") +
                               ", not '" + v + "'",
                       0;
            if (a == "--scale")
                out.scale = value, out.width = 0;
            else
                out.width = int(value), out.scale = 1;
        } else if (a == "--timelapse" || a == "--frames-dir") {
            if (i + 1 >= args.size()) return error = a + " needs a value", 0;
            (a == "--timelapse" ? out.timelapse : out.framesDir) = args[++i];
        } else if (a == "--frames" || a == "--fps") {
            if (i + 1 >= args.size()) return error = a + " needs a value", 0;
            const std::string& v = args[++i];
            char* end = nullptr;
            double value = std::strtod(v.c_str(), &end);
            bool fine = !v.empty() && !*end && std::isfinite(value);
            if (a == "--frames") {
                if (!fine || value != std::floor(value) || value < 1 || value > kMaxFrames)
                    return error = "--frames takes a count from 1 to 10000, not '" + v + "'", 0;
                out.frames = uint32_t(value);
            } else {
                if (!fine || value < 0.02 || value > 60)
                    return error = "--fps takes frames per second from 0.02 to 60, not '" + v + "'",
                           0;
                out.fps = value;
            }
        } else if (a == "--memory") {
            if (i + 1 >= args.size()) return error = a + " needs a value", 0;
            const std::string& v = args[++i];
            char* end = nullptr;
            double value = std::strtod(v.c_str(), &end);
            if (v.empty() || *end || !(value >= 1 && value <= 65536) || value != std::floor(value))
                return error = "--memory takes megabytes from 1 to 65536, not '" + v + "'", 0;
            out.bandBytes = uint64_t(value) << 20;
        } else if (a == "-q" || a == "--quiet") {
            out.quiet = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return error = "unknown option " + a, 0;
        } else if (!out.project.empty()) {
            return error = "one project at a time, not '" + a + "' as well", 0;
        } else {
            out.project = a;
        }
    }
    if (out.project.empty()) return error = "no project given", 0;
    bool movie = !out.timelapse.empty() || !out.framesDir.empty();
    if (movie != (out.frames > 0))
        return error = movie ? "--timelapse and --frames-dir need --frames N"
                             : "--frames goes with --timelapse or --frames-dir",
               0;
    if (out.output.empty() && !movie)
        return error = "no output file given (-o FILE, or --timelapse FILE)", 0;
    return 1;
}

using Writer = int (*)(mtxImage&, mtxFile&);

Writer WriterFor(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".png") return mtxImageWritePng;
    if (ext == ".jpg" || ext == ".jpeg") return mtxImageWriteJpeg;
    if (ext == ".bmp") return mtxImageWriteBmp;
    return nullptr;
}

// One run of `daubry render`.
class RenderJob {
  public:
    RenderJob(const RenderArguments& a, std::FILE* err) : a_(a), err_(err), printer_(err) {}

    int Run() {
        Writer writer = a_.output.empty() ? nullptr : WriterFor(a_.output);
        if (!a_.output.empty() && !writer)
            return Fail(kUsage, a_.output + ": the output's name must end in .png, .jpg or .bmp");
        std::string error;
        if (!mtxProjectFile::Load(a_.project, project_, error)) return Fail(kInput, error);
        mtxImage& photo = project_.photo;
        double scale = a_.width ? double(a_.width) / photo.width : a_.scale;
        int width = a_.width ? a_.width : int(std::lround(photo.width * scale));
        int height = int(std::lround(photo.height * scale));
        if (width < 1 || height < 1 || uint64_t(width) * uint64_t(height) > kMaxPixels)
            return Fail(kUsage, "a picture of " + std::to_string(width) + " x " +
                                    std::to_string(height) +
                                    " pixels is beyond what is drawn (4294 megapixels)");
        view_ = mtxLogView::Of(project_);
        if (!mtxLogDrawable(width, height, view_, error))
            return Fail(kUsage, "a picture of " + std::to_string(width) + " x " +
                                    std::to_string(height) + " pixels is beyond what is drawn (" +
                                    error + ")");
        if (!editor_.CreateDevice(nullptr) || !editor_.GetDevice())
            return Fail(kOutput, "no OpenGL 3.3 device to draw with");
        editor_.SetFrameStates();
        samples_.Bind(editor_, &printer_);
        if (!mtxLoadProjectSamples(project_, samples_, error))
            return Fail(kInput, a_.project + ": " + error);
        if (a_.frames) {
            if (int code = DrawFrames(width, height)) return code;
            if (!writer) return kDone;
        }
        if (mtxDrawnInBands(width, height, a_.bandBytes, view_))
            return SaveInBands(writer, width, height);
        mtxImage picture;
        if (!mtxDrawLogPicture(editor_, samples_, photo, project_.log, width, height, picture,
                               error, view_))
            return Fail(kOutput, error);
        return Save(writer, picture);
    }

  private:
    int Fail(int code, const std::string& text) {
        std::fprintf(err_, "daubry render: %s\n", text.c_str());
        return code;
    }

    int Save(Writer writer, mtxImage& picture) {
        mtxFileMemory file(1u << 22);
        if (!writer(picture, file))
            return Fail(kOutput, a_.output + ": the picture cannot be written in this format");
        if (!mtxOs::ReplaceFile(a_.output, file.Data(), uint64_t(file.GetLength())))
            return Fail(kOutput, a_.output + ": " + mtxOs::ErrorText(mtxOs::LastError()));
        if (!a_.quiet)
            std::fprintf(err_, "Drew %llu stamps; saved %s (%d x %d)\n",
                         (unsigned long long)project_.log.Count(), a_.output.c_str(), picture.width,
                         picture.height);
        return kDone;
    }

    // A picture larger than one band: drawn a band at a time, each band's
    // rows going straight into the file, which replaces the output only once
    // complete.
    int SaveInBands(Writer writer, int width, int height) {
        const mtxRowFormat format = writer == mtxImageWritePng   ? mtxRowFormat::kPng
                                    : writer == mtxImageWriteBmp ? mtxRowFormat::kBmp
                                                                 : mtxRowFormat::kJpeg;
        std::string error;
        auto told = [&](int top, int rows) {
            if (!a_.quiet) std::fprintf(err_, "Rows %d to %d of %d\n", top + 1, top + rows, height);
        };
        if (!mtxSaveLogPictureInBands(editor_, samples_, project_.photo, project_.log, width,
                                      height, a_.bandBytes, a_.output, format,
                                      mtxJpegDefaultQuality, error, told))
            return Fail(kOutput, error);
        if (!a_.quiet)
            std::fprintf(err_, "Drew %llu stamps in bands; saved %s (%d x %d)\n",
                         (unsigned long long)project_.log.Count(), a_.output.c_str(), width,
                         height);
        return kDone;
    }

    // The picture growing: an animated PNG, numbered files, or both.
    int DrawFrames(int width, int height) {
        std::string error;
        if (!a_.framesDir.empty() && !mtxOs::IsDirectory(a_.framesDir) &&
            !mtxOs::MakeDirectories(a_.framesDir))
            return Fail(kOutput, a_.framesDir + ": " + mtxOs::ErrorText(mtxOs::LastError()));
        mtxFileMemory movie(1u << 22);
        uint16_t perSecond = uint16_t(std::lround(a_.fps * 1000));
        mtxApngWriter apng(movie, a_.frames, 1000, perSecond);
        // Frames are compressed on workers side by side while the device draws
        // the next; each worker's frame joins the movie in order, so the files
        // are the same as compressed one by one.
        struct Slot {
            mtxImage picture;
            std::vector<uint8_t> png;
            std::string failed;
            uint32_t index = 0;
            bool full = false;
            mtxJobThread worker;
        };
        Slot slots[kFrameWorkers];
        for (Slot& slot : slots) slot.worker.Start();
        auto encode = [&](Slot& slot) {
            const uint32_t index = slot.index;
            if (!a_.timelapse.empty() && !mtxApngWriter::EncodeFrame(slot.picture, slot.png))
                return slot.failed = a_.timelapse + ": frame " + std::to_string(index + 1) +
                                     " cannot be written",
                       void();
            if (!a_.framesDir.empty()) {
                char name[32];
                std::snprintf(name, sizeof name, "/frame-%05u.png", index + 1);
                mtxFileMemory file(1u << 20);
                std::string path = a_.framesDir + name;
                if (!mtxImageWritePng(slot.picture, file) ||
                    !mtxOs::ReplaceFile(path, file.Data(), uint64_t(file.GetLength())))
                    slot.failed = path + ": " + mtxOs::ErrorText(mtxOs::LastError());
            }
        };
        // The slot's last frame, once compressed, into the movie.
        auto drain = [&](Slot& slot) {
            slot.worker.Wait();
            if (!slot.full) return 1;
            slot.full = false;
            if (!slot.failed.empty()) return error = slot.failed, 0;
            if (!a_.timelapse.empty() && !apng.AddEncoded(slot.png, width, height))
                return error = a_.timelapse + ": frame " + std::to_string(slot.index + 1) +
                               " cannot be written",
                       0;
            return 1;
        };
        auto frame = [&](mtxImage& picture, uint32_t index) {
            Slot& slot = slots[index % kFrameWorkers];
            if (!drain(slot)) return 0;
            if (!slot.picture.Assign(picture)) return error = "not enough memory for the frames", 0;
            slot.index = index, slot.full = true;
            slot.worker.Hand([&encode, &slot] { encode(slot); });
            return 1;
        };
        int drawn = mtxDrawLogFrames(editor_, samples_, project_.photo, project_.log, width, height,
                                     a_.frames, frame, error, view_);
        if (!drawn) {
            for (Slot& slot : slots) slot.worker.Wait();
            return Fail(kOutput, error);
        }
        for (uint32_t k = 0; k < kFrameWorkers; ++k)
            if (!drain(slots[(a_.frames + k) % kFrameWorkers])) return Fail(kOutput, error);
        if (!a_.timelapse.empty()) {
            if (!apng.Finish() ||
                !mtxOs::ReplaceFile(a_.timelapse, movie.Data(), uint64_t(movie.GetLength())))
                return Fail(kOutput, a_.timelapse + ": " + mtxOs::ErrorText(mtxOs::LastError()));
        }
        if (!a_.quiet) std::fprintf(err_, "Wrote %u frames of %d x %d\n", a_.frames, width, height);
        return kDone;
    }

    const RenderArguments& a_;
    std::FILE* err_;
    mtxMessagePrinter printer_;
    mtxProject project_;
    mtxLogView view_;
    mtxImageEditorDevice editor_;
    SampleCollection samples_;
};

}  // namespace

int mtxRunRenderCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    RenderArguments arguments;
    std::string error;
    if (!ParseRenderArguments(args, arguments, error)) {
        std::fprintf(err, "daubry render: %s\nTry 'daubry render --help'.\n", error.c_str());
        return kUsage;
    }
    if (arguments.help) {
        std::fputs(kUsageText, out);
        return kDone;
    }
    auto job = std::make_unique<RenderJob>(arguments, err);
    return job->Run();
}
