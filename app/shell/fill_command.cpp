#include "app/shell/fill_command.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <utility>

#include "app/shell/fill_arguments.h"
#include "app/shell/settings_key.h"
#include "base/registry.h"
#include "base/share_folder.h"
#include "fill/fill_session.h"
#include "fill/log_picture.h"
#include "fill/message_sink.h"
#include "fill/project_file.h"
#include "fill/project_session.h"
#include "fill/sample_collection.h"
#include "fill/visible_sizes.h"
#include "image/color_difference.h"
#include "image/file_memory.h"
#include "image/image_converter.h"
#include "image/image_stack.h"
#include "image/io/image_load.h"
#include "image/io/image_save.h"
#include "platform/cpu.h"
#include "platform/os_file.h"
#include "platform/settings_file.h"
#include "render/image_dx.h"
#include "render/image_editor_device.h"
#include "render/layers/flatten_stack.h"
#include "render/layers/viewer_layer.h"

namespace fs = std::filesystem;

namespace {

enum Exit { kDone = 0, kUsage = 1, kInput = 2, kOutput = 3 };

// Steps in a row that may place nothing before the picture counts as full.
constexpr int kFruitlessSteps = 10000;
// Memory the drawing of a larger picture (--scale) may take: beyond it, bands.
constexpr uint64_t kBandBytes = uint64_t(512) << 20;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsPictureName(const fs::path& path) {
    std::string ext = Lower(path.extension().string());
    return ext == ".png" || ext == ".jpg" || ext == ".jpeg" || ext == ".bmp" || ext == ".gif";
}

using Writer = std::function<int(mtxImage&, mtxFile&)>;

// The writer of an output by its extension, a JPEG at quality; empty for
// another extension.
Writer WriterFor(const std::string& path, int quality) {
    std::string ext = Lower(fs::path(path).extension().string());
    if (ext == ".png") return mtxImageWritePng;
    if (ext == ".jpg" || ext == ".jpeg")
        return [quality](mtxImage& image, mtxFile& file) {
            return mtxImageWriteJpeg(image, file, quality);
        };
    if (ext == ".bmp") return mtxImageWriteBmp;
    return nullptr;
}

// Whether output names the photo's file, through links or another path to
// it (same device and inode). An output that does not exist yet cannot be.
bool IsSameFile(const std::string& photo, const std::string& output) {
    std::error_code error;
    return fs::exists(output, error) && fs::equivalent(photo, output, error);
}

std::string ColorText(uint32_t argb) {
    char text[16];
    if (argb >> 24 == 0xFF)
        std::snprintf(text, sizeof text, "#%06X", argb & 0xFFFFFFu);
    else
        std::snprintf(text, sizeof text, "#%08X", argb);
    return text;
}

// Progress on the error stream: a line redrawn in place on a terminal, one
// line per stage otherwise, nothing when quiet.
class Progress {
  public:
    Progress(std::FILE* stream, bool quiet)
        : stream_(stream), quiet_(quiet), terminal_(mtxOs::IsTerminal(stream)) {}

    void Stage(const std::string& text) {
        if (quiet_) return;
        EndLine();
        std::fprintf(stream_, "%s\n", text.c_str());
    }
    // A figure that changes: redrawn on a terminal at most ten times a second.
    void Update(const std::string& text) {
        if (quiet_ || !terminal_) return;
        auto now = Clock::now();
        if (now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        std::fprintf(stream_, "\r%-72s", text.c_str());
        std::fflush(stream_);
        open_ = true;
    }
    void EndLine() {
        if (open_) std::fprintf(stream_, "\n");
        open_ = false;
    }

  private:
    std::FILE* stream_;
    bool quiet_, terminal_, open_ = false;
    Clock::time_point last_;
};

// The user's filling options from the settings file, read from a copy so the
// file itself is never written.
void ReadUserOptions(SampleCollection& samples) {
    std::string file = mtxSettingsFile::DefaultPath();
    std::error_code error;
    if (!fs::is_regular_file(file, error)) return;
    fs::path copy =
        fs::temp_directory_path(error) / ("daubry-fill-" + std::to_string(mtxOs::ProcessId()));
    if (error || !fs::create_directory(copy, error)) return;
    fs::path settings = copy / "settings.reg";
    if (fs::copy_file(file, settings, error)) {
        mtxRegistry registry;
        registry.Init();
        registry.Open(kDaubrySettingsKey, settings.string());
        if (registry.IsOpen()) samples.LoadOptions(registry);
        registry.Close();
    }
    fs::remove_all(copy, error);
}

void ApplyArguments(const mtxFillArguments& a, SampleCollection& s) {
    if (a.sizeMin) s.sizeMin = *a.sizeMin;
    if (a.sizeMax) s.sizeMax = *a.sizeMax;
    // One bound given on the command line moves the stored other one out of its way.
    if (s.sizeMax < s.sizeMin) {
        if (a.sizeMax)
            s.sizeMin = s.sizeMax;
        else
            s.sizeMax = s.sizeMin;
    }
    // Both bounds set the Fine mode's sizes exactly; one only bounds its automatic sizes.
    if (a.sizeMin && a.sizeMax) s.autoSize = 0;
    if (a.mode) s.fillMode = *a.mode;
    if (a.overlap) s.overlap = *a.overlap;
    if (a.noRotate) s.rotate = 0;
    if (a.noMirror) s.mirror = 0;
    if (a.noFlip) s.flip = 0;
    if (a.randomSamples) s.chooseMode = SampleCollection::kChooseRandom;
    if (a.keepColours) s.colorMode = SampleCollection::kColorKeep;
    if (a.background == mtxFillArguments::Background::kColor) {
        s.background = 0;
        s.backgroundColor = a.backgroundColor;
    } else if (a.background == mtxFillArguments::Background::kPhoto) {
        s.background = 2;
    }
}

// One run of `daubry fill`.
class FillJob {
  public:
    FillJob(const mtxFillArguments& a, std::FILE* out, std::FILE* err)
        : a_(a), out_(out), err_(err), progress_(err, a.quiet), printer_(err) {}

    int Run() {
        if (int code = CheckPaths()) return code;
        // The photo, new or the project's, is analysed before the device starts: the analysis
        // at its fullest and the driver then never hold memory at the same time.
        if (int code = a_.resume.empty() ? LoadPhoto() : ReadProject()) return code;
        if (a_.resume.empty()) {
            if (int code = LoadMaps()) return code;
        }
        if (int code = Analyse(a_.resume.empty() ? photo_ : resumed_.photo)) return code;
        if (!editor_.CreateDevice(nullptr) || !editor_.GetDevice())
            return Fail(kOutput, "no OpenGL 3.3 device to draw with");
        editor_.SetFrameStates();
        if (a_.resume.empty()) {
            if (int code = OpenPhotoLayer()) return code;
            if (int code = LoadSamples()) return code;
            if (int code = TakeMaps()) return code;
        } else if (int code = LoadProject()) {
            return code;
        }
        if (int code = Prepare()) return code;
        Fill();
        // What the analysis holds is not needed for saving, and the report needs room.
        session_->segmentation.Release();
        return Save();
    }

  private:
    int Fail(int code, const std::string& text) {
        progress_.EndLine();
        std::fprintf(err_, "daubry fill: %s\n", text.c_str());
        return code;
    }

    Writer OutputWriter() const {
        return WriterFor(a_.output, a_.quality.value_or(mtxJpegDefaultQuality));
    }

    int CheckPaths() {
        std::error_code error;
        if (!fs::exists(photoName_, error)) return Fail(kInput, photoName_ + ": no such file");
        if (!fs::is_regular_file(photoName_, error))
            return Fail(kInput, photoName_ + ": not a file");
        if (IsSameFile(photoName_, a_.output))
            return Fail(kUsage, a_.output +
                                    ": is the photo itself; the filled picture needs "
                                    "another file");
        if (!OutputWriter())
            return Fail(kUsage, a_.output + ": the output's name must end in .png, .jpg or .bmp");
        fs::path folder = fs::absolute(a_.output, error).parent_path();
        if (!fs::is_directory(folder, error))
            return Fail(kOutput, a_.output + ": the folder " + folder.string() + " does not exist");
        if (!mtxOs::CanCreateIn(folder.string()))
            return Fail(kOutput, a_.output + ": cannot write in " + folder.string() + ": " +
                                     std::strerror(errno));
        return kDone;
    }

    int LoadPhoto() {
        std::string reason;
        if (!mtxImageLoad(photo_, a_.photo, 0, &reason))
            return Fail(kInput, a_.photo + ": " + (reason.empty() ? "cannot be read" : reason));
        if (photo_.width <= 0 || photo_.height <= 0)
            return Fail(kInput, a_.photo + ": the picture is empty");
        width_ = photo_.width, height_ = photo_.height;
        return kDone;
    }

    // The maps are read before the long analysis, so a wrong one is told at once.
    int LoadMaps() {
        const std::pair<const std::string*, mtxFillMaps::Plane> maps[] = {
            {&a_.protectMap, mtxFillMaps::kProtect}, {&a_.detailMap, mtxFillMaps::kDetail}};
        for (const auto& [path, plane] : maps) {
            if (path->empty()) continue;
            mtxImage picture;
            std::string reason;
            if (!mtxImageLoad(picture, *path, 0, &reason))
                return Fail(kInput, *path + ": " + (reason.empty() ? "cannot be read" : reason));
            if (picture.width != width_ || picture.height != height_)
                return Fail(kInput, *path + ": the map is " + std::to_string(picture.width) +
                                        " x " + std::to_string(picture.height) +
                                        " pixels; it must be the photo's size, " +
                                        std::to_string(width_) + " x " + std::to_string(height_));
            if (!maps_.FromPicture(plane, picture))
                return Fail(kInput, *path + ": not enough memory for the map");
        }
        return kDone;
    }

    // The classic mode would not honour them: refused rather than ignored.
    int TakeMaps() {
        if (!maps_.Has(mtxFillMaps::kProtect) && !maps_.Has(mtxFillMaps::kDetail)) return kDone;
        if (!Fine())
            return Fail(kUsage,
                        "--protect-map and --detail-map steer the fine mode; the mode is "
                        "classic (add --mode fine)");
        session_->maps = std::move(maps_);
        return kDone;
    }

    int Analyse(mtxImage& photo) {
        auto start = Clock::now();
        progress_.Stage("Preparing " + photoName_ + " (" + std::to_string(width_) + " x " +
                        std::to_string(height_) + ")");
        analysis_.SetTimeBudget(100);
        if (!analysis_.StartSegmentation(photo))
            return Fail(kInput, photoName_ + ": the picture is too large to prepare");
        while (!analysis_.Advance())
            progress_.Update("Preparing: " + std::to_string(analysis_.status) + "%");
        if (analysis_.outOfMemory || !analysis_.width || !analysis_.height)
            return Fail(kInput, photoName_ + ": not enough memory to prepare the picture");
        analysis_.KeepRegionIndexOnly();
        analyseSeconds_ = SecondsSince(start);
        return kDone;
    }

    // The photo moves into a device image, the result layer's.
    int OpenPhotoLayer() {
        auto image = std::make_unique<mtxImageDx>(editor_.GetDevice());
        if (!image->Create(photo_.width, photo_.height, 0) || !image->Lock())
            return Fail(kOutput, "not enough memory for the picture");
        for (int y = 0; y < photo_.height; ++y)
            std::copy(photo_.Row(y), photo_.Row(y) + photo_.width, image->Row(y));
        image->Unlock();
        photo_.Free();
        return OpenLayer(std::move(image));
    }

    int OpenLayer(std::unique_ptr<mtxImageDx> image) {
        width_ = image->width, height_ = image->height;
        stack_.AddLayer(0, std::move(image));
        layer_ = std::make_unique<mtxIEViewerLayer>(&editor_);
        layer_->SetSource(stack_.GetLayer(0));
        session_ = std::make_unique<mtxFillSession>(editor_, samples_, *layer_);
        return kDone;
    }

    // The project file: its photo, samples, options and log.
    int ReadProject() {
        std::string error;
        if (!mtxProjectFile::Load(a_.resume, resumed_, error)) return Fail(kInput, error);
        width_ = resumed_.photo.width, height_ = resumed_.photo.height;
        return kDone;
    }

    // The project's photo and samples on the device; its log is drawn once the session has
    // the analysis.
    int LoadProject() {
        std::string error;
        mtxImage& photo = resumed_.photo;
        auto image = std::make_unique<mtxImageDx>(editor_.GetDevice());
        if (!image->Create(photo.width, photo.height, 0) || !image->Lock())
            return Fail(kOutput, "not enough memory for the picture");
        for (int y = 0; y < photo.height; ++y)
            std::copy(photo.Row(y), photo.Row(y) + photo.width, image->Row(y));
        image->Unlock();
        photo.Free();
        if (int code = OpenLayer(std::move(image))) return code;
        // The run goes on under the maps it began with.
        session_->maps = std::move(resumed_.maps);
        samples_.Bind(editor_, &printer_);
        if (!mtxLoadProjectSamples(resumed_, samples_, error))
            return Fail(kInput, a_.resume + ": " + error);
        sampleSource_ = a_.resume;
        return kDone;
    }

    int LoadSamples() {
        samples_.Bind(editor_, &printer_);
        ReadUserOptions(samples_);
        ApplyArguments(a_, samples_);
        std::string source = a_.samples.empty() ? mtxDefaultSamples() : a_.samples;
        if (source.empty())
            return Fail(kInput, "no samples: give a collection or a folder with --samples");
        std::error_code error;
        if (fs::is_directory(source, error)) {
            std::vector<fs::path> pictures;
            for (const auto& entry : fs::recursive_directory_iterator(source, error))
                if (entry.is_regular_file(error) && IsPictureName(entry.path()))
                    pictures.push_back(entry.path());
            std::sort(pictures.begin(), pictures.end());
            for (const auto& p : pictures) samples_.AddSample(p.string());
        } else if (!fs::exists(source, error)) {
            return Fail(kInput, source + ": no such file or folder");
        } else if (!samples_.LoadCollection(source)) {
            return Fail(kInput, source + ": not a sample collection Daubry can read");
        }
        if (samples_.count == 0) return Fail(kInput, source + ": no usable samples");
        sampleSource_ = source;
        return kDone;
    }

    int Prepare() {
        auto start = Clock::now();
        if (a_.seed) session_->Seed(*a_.seed);
        if (!session_->AdoptAnalysis(analysis_))
            return Fail(kOutput, "cannot take the analysis of the picture");
        if (!session_->Analysed())
            return Fail(kInput, photoName_ + ": not enough memory to prepare the picture");
        if (!session_->FinishPreparation())
            return Fail(kOutput, "cannot set up the picture on the device");
        if (!a_.resume.empty() && !session_->Replay(resumed_.log))
            return Fail(kOutput, "cannot draw the project's stamps on the device");
        startStamps_ = session_->stamps;
        prepareSeconds_ = analyseSeconds_ + SecondsSince(start);
        return kDone;
    }

    bool Fine() const { return samples_.fillMode == SampleCollection::kModeFine; }

    bool Enough(double seconds) const {
        // The Fine mode ends by itself, once the photo is covered.
        bool anyLimit = a_.stamps || a_.seconds || a_.coverage || Fine();
        double coverage =
            a_.coverage ? *a_.coverage : (anyLimit ? 101 : mtxFillArguments::kDefaultCoverage);
        double limit =
            a_.seconds ? *a_.seconds : (anyLimit ? 1e300 : mtxFillArguments::kDefaultSeconds);
        if (a_.stamps && session_->stamps - startStamps_ >= *a_.stamps) return true;
        return seconds >= limit || session_->Coverage() * 100 >= coverage;
    }

    void Fill() {
        progress_.Stage("Filling with " + std::to_string(samples_.count) + " samples from " +
                        sampleSource_);
        auto start = Clock::now();
        int fruitless = 0;
        bool measureSizes = a_.report && visibleSizes_.Reset(session_->sourceCopy, 2, kLargeSide);
        session_->OpenBatch();
        for (;;) {
            double seconds = SecondsSince(start);
            if (Enough(seconds)) break;
            // The periodic refresh serves a viewer; here the end commits.
            mtxStamp stamp;
            mtxPlaceResult result = session_->Step(1, &stamp);
            if (result == mtxPlaceResult::kPlaced) {
                fruitless = 0;
                sizes_.push_back(stamp.size);
                if (measureSizes) visibleSizes_.Note(stamp, samples_);
                NoteCoverage(SecondsSince(start));
            } else if (result == mtxPlaceResult::kFinished) {
                finished_ = true;
                break;
            } else if (++fruitless >= kFruitlessSteps) {
                full_ = true;
                break;
            }
            if (result == mtxPlaceResult::kDrawFailed) editor_.RecoverDevice();
            if ((session_->steps & 63) == 0) {
                char line[128];
                std::snprintf(line, sizeof line, "Filling: %llu stamps, %.1f%% covered, %.0f/s",
                              (unsigned long long)session_->stamps, session_->Coverage() * 100,
                              seconds > 0 ? double(session_->stamps) / seconds : 0.0);
                progress_.Update(line);
            }
        }
        session_->CloseBatch();
        fillSeconds_ = SecondsSince(start);
        NoteCoverage(fillSeconds_);
        char line[160];
        std::snprintf(line, sizeof line, "Placed %llu samples in %.1f s, %.1f%% covered%s",
                      (unsigned long long)session_->stamps, fillSeconds_,
                      session_->Coverage() * 100,
                      full_       ? " (no room left for more)"
                      : finished_ ? " (finished)"
                                  : "");
        progress_.Stage(line);
    }

    int Save() {
        if (int code = WritePicture()) return code;
        if (!a_.project.empty()) {
            if (int code = SaveProject()) return code;
        }
        if (a_.report) Report();
        return kDone;
    }

    // The picture and its encoded file are let go before the report loads what was saved.
    int WritePicture() {
        if (!layer_->CommitTiles())
            return Fail(kOutput, "cannot read the picture back from the device");
        mtxImage picture;
        if (!FlattenStack(stack_, picture))
            return Fail(kOutput, "not enough memory for the picture");
        if (a_.scale && *a_.scale != 1) {
            // The stamps drawn again larger, from the samples' own pixels.
            int width = int(std::lround(width_ * *a_.scale));
            int height = int(std::lround(height_ * *a_.scale));
            std::string error;
            picture.Free();
            if (width > mtxLogPieceColumns || mtxBandRows(width, height, kBandBytes) < height)
                return SaveInBands(width, height);
            if (!mtxDrawLogPicture(editor_, samples_, session_->sourceCopy, session_->log, width,
                                   height, picture, error))
                return Fail(kOutput, error);
        }
        mtxFileMemory file(1u << 22);
        if (!OutputWriter()(picture, file))
            return Fail(kOutput, a_.output + ": the picture cannot be written in this format");
        if (!mtxOs::ReplaceFile(a_.output, file.Data(), uint64_t(file.GetLength())))
            return Fail(kOutput, a_.output + ": " + mtxOs::ErrorText(mtxOs::LastError()));
        return Saved();
    }

    // After the picture: the project and the report.
    int Saved() {
        progress_.Stage("Saved " + a_.output);
        return kDone;
    }

    // A picture too large to draw at once: in bands, row by row.
    int SaveInBands(int width, int height) {
        const std::string ext = Lower(fs::path(a_.output).extension().string());
        const mtxRowFormat format = ext == ".png"   ? mtxRowFormat::kPng
                                    : ext == ".bmp" ? mtxRowFormat::kBmp
                                                    : mtxRowFormat::kJpeg;
        std::string error;
        if (!mtxSaveLogPictureInBands(editor_, samples_, session_->sourceCopy, session_->log, width,
                                      height, kBandBytes, a_.output, format,
                                      a_.quality.value_or(mtxJpegDefaultQuality), error))
            return Fail(kOutput, error);
        return Saved();
    }

    int SaveProject() {
        mtxProject project;
        std::string error;
        if (!mtxCaptureProject(*session_, samples_, project, error))
            return Fail(kOutput, a_.project + ": " + error);
        project.hasSeed = a_.resume.empty() ? a_.seed.has_value() : resumed_.hasSeed;
        project.seed = a_.resume.empty() ? a_.seed.value_or(0) : resumed_.seed;
        if (!mtxProjectFile::Save(project, a_.project, error)) return Fail(kOutput, error);
        progress_.Stage("Saved " + a_.project);
        return kDone;
    }

    // The first moment the coverage reached each of kMilestones.
    void NoteCoverage(double seconds) {
        double percent = session_->Coverage() * 100;
        for (size_t i = 0; i < std::size(kMilestones); ++i)
            if (reached_[i] < 0 && percent >= kMilestones[i] - 1e-9) reached_[i] = seconds;
    }

    // The stamp side below which share of the stamps lie.
    int SizePercentile(double share) const {
        if (sizes_.empty()) return 0;
        std::vector<int32_t> sorted = sizes_;
        size_t at = std::min(sorted.size() - 1, size_t(share * double(sorted.size())));
        std::nth_element(sorted.begin(), sorted.begin() + long(at), sorted.end());
        return sorted[at];
    }

    std::string Milestones() const {
        std::string text;
        for (size_t i = 0; i < std::size(kMilestones); ++i) {
            char item[64];
            if (reached_[i] >= 0)
                std::snprintf(item, sizeof item, "\"seconds_to_%d\": %.3f, ", kMilestones[i],
                              reached_[i]);
            else
                std::snprintf(item, sizeof item, "\"seconds_to_%d\": null, ", kMilestones[i]);
            text += item;
        }
        return text;
    }

    // Likeness is measured on the file as saved, against the photo.
    void Report() {
        mtxImage saved;
        double far = -1, near = -1;
        // Likeness is measured at the photo's size only.
        if (mtxImageLoad(saved, a_.output, 0) && saved.width == session_->sourceCopy.width &&
            saved.height == session_->sourceCopy.height) {
            far = mtxMeanColorDifference(saved, session_->sourceCopy, 8.0f);
            near = mtxMeanColorDifference(saved, session_->sourceCopy, 0.0f);
        }
        std::string background =
            samples_.background == 0 ? ColorText(samples_.backgroundColor) : std::string("photo");
        double rate = fillSeconds_ > 0 ? double(session_->stamps) / fillSeconds_ : 0;
        std::fprintf(out_,
                     "{\"mode\": \"%s\", \"stamps\": %llu, \"steps\": %llu, "
                     "\"prepare_seconds\": %.3f, \"fill_seconds\": %.3f, "
                     "\"stamps_per_second\": %.1f, \"coverage\": %.2f, %s"
                     "\"size_p10\": %d, \"size_p50\": %d, \"size_p90\": %d, "
                     "\"area_under_%d_px\": %.3f, "
                     "\"background\": \"%s\", \"likeness_sigma8\": %.3f, \"likeness\": %.3f}\n",
                     Fine() ? "fine" : "classic", (unsigned long long)session_->stamps,
                     (unsigned long long)session_->steps, prepareSeconds_, fillSeconds_, rate,
                     session_->Coverage() * 100, Milestones().c_str(), SizePercentile(0.1),
                     SizePercentile(0.5), SizePercentile(0.9), kLargeSide,
                     visibleSizes_.LargeShare(), background.c_str(), far, near);
    }

    const mtxFillArguments& a_;
    std::FILE* out_;
    std::FILE* err_;
    Progress progress_;
    mtxMessagePrinter printer_;
    mtxImageEditorDevice editor_;
    SampleCollection samples_;
    mtxImageStack stack_;
    mtxImage photo_;            // a new photo, until the device has its copy
    mtxFillMaps maps_;          // its maps, until the session takes them
    mcvSegmentGraph analysis_;  // its analysis, until the session takes it
    double analyseSeconds_ = 0;
    // Made once the device exists: they take its shaders when they are made.
    std::unique_ptr<mtxIEViewerLayer> layer_;
    std::unique_ptr<mtxFillSession> session_;
    std::string sampleSource_;
    std::string photoName_ = a_.resume.empty() ? a_.photo : a_.resume;
    mtxProject resumed_;
    uint64_t startStamps_ = 0;  // drawn again from the resumed project
    int width_ = 0, height_ = 0;
    double prepareSeconds_ = 0, fillSeconds_ = 0;
    bool full_ = false, finished_ = false;
    static constexpr int kMilestones[] = {50, 90, 99, 100};
    double reached_[4] = {-1, -1, -1, -1};
    std::vector<int32_t> sizes_;  // of every stamp placed
    // The share of the finished picture under stamps large enough to be
    // recognised as samples.
    static constexpr int32_t kLargeSide = 16;
    mtxSampleShapes reportShapes_;
    mtxVisibleSizes visibleSizes_{reportShapes_};
};

// The cycle counter's rate, which times the slices of the analysis; a short
// measurement is enough for slices of 100 ms.
uint32_t MeasureCyclesPerMicrosecond() {
    auto start = Clock::now();
    uint64_t first = mtxOs::CycleCounter();
    while (Clock::now() - start < std::chrono::milliseconds(20)) {
    }
    double microseconds = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    double rate = double(mtxOs::CycleCounter() - first) / microseconds;
    return uint32_t(std::clamp(rate, 1.0, 1e6));
}

}  // namespace

int mtxRunFillCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    mtxFillArguments arguments;
    std::string error;
    if (!mtxParseFillArguments(args, arguments, error)) {
        std::fprintf(err, "daubry fill: %s\nTry 'daubry fill --help'.\n", error.c_str());
        return kUsage;
    }
    if (arguments.help) {
        std::fputs(mtxFillUsage().c_str(), out);
        return kDone;
    }
    mtxOs::IgnoreFileSizeSignal();  // an output past the size limit fails with exit 3
    mtxImageConverter::SetCyclesPerMicrosecond(MeasureCyclesPerMicrosecond());
    auto job = std::make_unique<FillJob>(arguments, out, err);
    return job->Run();
}
