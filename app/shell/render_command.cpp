#include "app/shell/render_command.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "fill/log_picture.h"
#include "fill/message_sink.h"
#include "fill/project_file.h"
#include "fill/project_session.h"
#include "fill/sample_collection.h"
#include "image/file_memory.h"
#include "image/image.h"
#include "image/io/image_save.h"
#include "platform/os_file.h"
#include "render/image_editor_device.h"

namespace {

enum Exit { kDone = 0, kUsage = 1, kInput = 2, kOutput = 3 };

struct RenderArguments {
    std::string project, output;
    double scale = 1;  // or, with width, width / the photo's width
    int width = 0;
    bool quiet = false, help = false;
};

constexpr double kMaxScale = 16;
// Larger pictures would need drawing in bands, which is not done yet.
constexpr uint64_t kMaxPixels = uint64_t(1) << 28;

constexpr const char* kUsageText = R"(Usage: daubry render PROJECT.daubry -o OUT [options]

Draws the picture of a project that 'daubry fill --project' saved (or the
window) again from its stamps, and saves it as OUT (.png, .jpg or .bmp, by
its extension).

  -o, --output FILE  where the picture goes
  --scale K          K times the photo's size (up to 16), drawn with the
                     samples' own pixels
  --width W          W pixels wide, the height in proportion
  -q, --quiet        no progress
  -h, --help         this text

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
    if (out.output.empty()) return error = "no output file given (-o FILE)", 0;
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
        Writer writer = WriterFor(a_.output);
        if (!writer)
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
                                    " pixels is beyond what is drawn (268 megapixels)");
        if (!editor_.CreateDevice(nullptr) || !editor_.GetDevice())
            return Fail(kOutput, "no OpenGL 3.3 device to draw with");
        editor_.SetFrameStates();
        samples_.Bind(editor_, &printer_);
        if (!mtxLoadProjectSamples(project_, samples_, error))
            return Fail(kInput, a_.project + ": " + error);
        mtxImage picture;
        if (!mtxDrawLogPicture(editor_, samples_, photo, project_.log, width, height, picture,
                               error))
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

    const RenderArguments& a_;
    std::FILE* err_;
    mtxMessagePrinter printer_;
    mtxProject project_;
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
