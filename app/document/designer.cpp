#include "app/document/designer.h"

#include "app/document/add_layer_dlg.h"
#include "app/document/change_history.h"
#include "app/document/designer_options_bar.h"
#include "app/document/designer_viewer.h"
#include "app/document/export_dlg.h"
#include "app/document/light_dlg.h"
#include "app/document/move_tool.h"
#include "app/document/picture_file.h"
#include "app/document/recovery_file.h"
#include "app/filling/lawn_filling_dlg.h"
#include "app/filling/lawn_sample_dlg.h"
#include "app/filling/mdf_field.h"
#include "base/application.h"
#include "base/file_dialog.h"
#include "base/share_folder.h"
#include "fill/log_picture.h"
#include "fill/project_session.h"
#include "fill/sample_collection.h"
#include "image/image_stack.h"
#include "platform/os_file.h"
#include "platform/path.h"
#include "render/image_dx.h"
#include "render/layers/flatten_stack.h"
#include "ui/frame_set.h"
#include "ui/image_editor.h"
#include "ui/message_box.h"
#include "ui/strings.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kProjectTitle = "Save Project";

// The project file's name: path as given when it ends in ".daubry" (any
// case), else with ".daubry" appended.
std::string ProjectName(const std::string& path) {
    return mtxPath(path).HasExtension("daubry") ? path : path + ".daubry";
}

// A message about file without the "file: " the file layer puts before it.
std::string WithoutFile(std::string text, const std::string& file) {
    if (text.compare(0, file.size() + 2, file + ": ") == 0) text.erase(0, file.size() + 2);
    return text;
}

int CopyImage(mtxImage& from, mtxImage& to) {
    // Every pixel is copied over; a copy of the same size keeps its memory.
    if (!to.CreateUnset(from.width, from.height)) return 0;
    to.Blit(from, mtxRect{}, 0, 0);
    return 1;
}

// What makes the collection's samples what they are: paths and what was
// made of the pictures.
std::string SamplesKey(const SampleCollection& samples) {
    std::string key;
    for (int32_t i = 0; i < samples.count; ++i) {
        const SampleCollection::Sample& sample = samples.samples[i];
        key += sample.path;
        key.push_back('\0');
        key.append(reinterpret_cast<const char*>(&sample.width), sizeof sample.width);
        key.append(reinterpret_cast<const char*>(&sample.height), sizeof sample.height);
        key.append(reinterpret_cast<const char*>(&sample.scale), sizeof sample.scale);
        key.append(reinterpret_cast<const char*>(sample.key), sizeof sample.key);
    }
    return key;
}

// Runs the tool's Suspend now and its Resume on every way out.
class SuspendedTool {
  public:
    explicit SuspendedTool(mtxIEMdf* tool) : tool_(tool) {
        if (tool_) tool_->Suspend();
    }
    ~SuspendedTool() {
        if (tool_) tool_->Resume();
    }
    SuspendedTool(const SuspendedTool&) = delete;
    SuspendedTool& operator=(const SuspendedTool&) = delete;

  private:
    mtxIEMdf* tool_;
};

}  // namespace

void mtxIEDesigner::InstrOptionsBar::Empty() {
    std::vector<mtxIECtrl*> list = children;
    for (mtxIECtrl* child : list) RemoveChild(child);
    for (auto& row : rows) row.clear();
    rowCount = 0;
    Invalidate();
}

mtxIEDesigner::mtxIEDesigner(mtxIECtrl* parent, SampleCollection& collection)
    : mtxIECtrl(parent), samples(collection) {
    demoPhoto = mtxDemoPhoto();
    // A change of a large picture takes a while to record: the window goes
    // on meanwhile (a run starts right after its background is recorded).
    History().RecordLater(true);
    // The tool lets go of the old picture (and stops preparing it) first.
    document_.onPictureGoing = [this] {
        logSpans_.clear();
        recovered_ = false;
        if (mtxIEMdf* tool = CurrentTool()) tool->OnPictureOpening();
        viewer->SetStack(nullptr);
    };
    document_.toolEdits = [this] { return ToolEdits(); };
    outerFrames = new mtxIEFrameSet(this);
    outerFrames->orientation = mtxIEFrameSet::kStacked;
    outerFrames->SetDock(kDockFill);
    outerFrames->Show(1);
    innerFrames = new mtxIEFrameSet(outerFrames);
    innerFrames->orientation = mtxIEFrameSet::kSideBySide;
    innerFrames->SetDock(kDockFill);
    innerFrames->Show(1);
    viewer = new Viewer(innerFrames, this);
    viewer->Show(1);
    innerFrames->SetPaneControl(0, viewer);
    innerFrames->SetPane(0, 0, 0, 100);
    optionsBar = new InstrOptionsBar(outerFrames);
    optionsBar->Show(1);
    outerFrames->SetPaneControl(0, innerFrames);
    outerFrames->SetPaneControl(1, optionsBar);
    outerFrames->SetPane(0, 0, 0, 100);
    outerFrames->SetPane(1, kOptionsBarHeight, kOptionsBarHeight, 0);
    SelectTool(kToolFilling);
    if (mtxApplication* app = mtxGetApp()) {
        document_.ReadFolders(app->settings);
        mtxReliefLight light;
        light.Read(app->settings);
        document_.PutLight(light);
    }
}

mtxIEDesigner::~mtxIEDesigner() {
    if (mtxApplication* app = mtxGetApp()) {
        document_.WriteFolders(app->settings);
        document_.Light().Write(app->settings);
    }
    // The tool stops (and joins its task) while the picture it works on still
    // exists; a run still open is not worth recording any more.
    if (mtxIEMdfField* field = FillingTool())
        field->onChangeStarting = nullptr, field->onChangeEnded = nullptr,
        field->onChangeCancelled = nullptr, field->onCheckpoint = nullptr;
    if (optionsBar) optionsBar->Empty();
    if (viewer) {
        viewer->SetTool(nullptr);
        viewer->SetStack(nullptr);
    }
    document_.onPictureGoing = nullptr, document_.toolEdits = nullptr;
}

IDirect3DDevice9* mtxIEDesigner::Device() const {
    return editor ? editor->GetDevice() : nullptr;
}

void mtxIEDesigner::Tell(const std::string& text, const std::string& title) {
    if (tell) {
        tell(text, title);
        return;
    }
    if (editor) new mtxIEMessageBox(editor, text.c_str(), title.c_str());
}

int mtxIEDesigner::Open(const std::string& path, int, std::string* reason) {
    if (mtxIEDocument::IsProjectFile(path)) return OpenProject(path, reason);
    std::string why;
    if (!document_.Open(path, Device(), &why)) {
        if (reason) *reason = why;
        Tell("Cannot open " + mtxOs::FullPath(path) + ": " + why, "Open");
        return 0;
    }
    viewer->SetStack(Picture());
    LightFollows();
    if (onPictureOpened) onPictureOpened(document_.Path());
    return 1;
}

int mtxIEDesigner::Save() {
    if (!Picture()) {
        Tell(mtxIELoadString(701, "Just open any image"), "Save");
        return 0;
    }
    uint32_t filter = 0;
    std::string path = AskPictureFile(mtxPath(document_.Path()).Name(), filter);
    return path.empty() ? 0 : SaveAs(path, filter);
}

std::string mtxIEDesigner::AskPictureFile(const std::string& name, uint32_t& filter) {
    mtxFileDialog dialog(nullptr, true, mtxPictureSaveFilters(), "", name);
    dialog.SetInitialDirectory(SaveFolder());
    dialog.SetFilterIndex(document_.saveFilter);
    dialog.settleName = [](const std::string& path, uint32_t index) {
        return mtxSettledSaveName(path, index);
    };
    dialog.option = {"Quality:", mtxPictureFilterOf(mtxPictureFormat::kJpeg), 1, 100,
                     int(document_.jpegQuality)};
    if (!dialog.Show()) return "";
    document_.jpegQuality = uint32_t(dialog.option.value);
    filter = dialog.FilterIndex();
    return dialog.Path();
}

std::string mtxIEDesigner::SaveFolder() const {
    return document_.saveFolder.empty() ? document_.openFolder : document_.saveFolder;
}

int mtxIEDesigner::SaveAs(const std::string& path, uint32_t filterIndex, std::string* reason) {
    std::string target = mtxSettledSaveName(mtxOs::FullPath(path), filterIndex);
    auto fail = [&](const std::string& why) {
        if (reason) *reason = why;
        Tell(mtxPath(target).File() + " was not saved: " + why +
                 (mtxOs::Exists(target) ? ". The file on disk is as it was." : "."),
             "Save");
        return 0;
    };
    // The tool commits what it drew into the layers while the picture is written.
    SuspendedTool suspended(Picture() ? CurrentTool() : nullptr);
    // The light shows the picture as it is written, on the screen and in the file.
    if (document_.Light().on && Picture() && !ShowLight())
        return fail("the light could not be rendered");
    std::string why;
    return document_.SaveAs(path, filterIndex, &why) ? 1 : fail(why);
}

int mtxIEDesigner::OpenProject(const std::string& path, std::string* reason) {
    std::string full = mtxOs::FullPath(path), why;
    auto fail = [&](const std::string& text) {
        if (reason) *reason = text;
        Tell("Cannot open " + full + ": " + text, "Open Project");
        return 0;
    };
    auto project = std::make_unique<mtxProject>();
    {
        // The samples are tried on a collection of their own first, so a
        // project refused here leaves the user's samples as they were.
        SampleCollection check;
        check.owner = samples.owner;
        check.messages = samples.messages;
        // Its options, which it writes to the settings when it goes, are
        // the user's.
        auto keepUsers = [&] {
            mtxStampLog::Options::Of(samples).ApplyTo(check);
            check.fillMode = samples.fillMode, check.autoSize = samples.autoSize;
            check.speed = samples.speed;
        };
        keepUsers();
        if (!mtxProjectFile::Load(full, *project, why)) return fail(WithoutFile(why, full));
        int usable = mtxLoadProjectSamples(*project, check, why);
        keepUsers();
        if (!usable) return fail(why);
    }
    if (!document_.OpenProject(full, Device(), *project, &why)) return fail(why);
    viewer->SetStack(Picture());
    SelectTool(kToolFilling);
    mtxLoadProjectSamples(*project, samples, why);
    OnOptionsChanged();
    mtxIEMdfField* field = FillingTool();
    if (!field || !field->Reopen(project->log)) {
        Tell("The stamps of " + full + " could not be drawn; the photo is shown as it is.",
             "Open Project");
    } else {
        field->Session()->maps = std::move(project->maps);
        // What the project protects is not left to cover.
        field->Session()->ProtectChanged();
    }
    // Where its layers lay and its light, as they were saved.
    for (size_t i = 0; i < project->transforms.size(); ++i)
        if (mtxImageStack::Layer* layer = Picture()->GetLayer(int(i)))
            std::copy(project->transforms[i].begin(), project->transforms[i].end(),
                      layer->transform);
    document_.PutLight(project->light);
    ShowLight();
    document_.MarkSaved();
    // The project's pictures stand for its samples when it is saved again.
    capturedPictures_ = std::move(project->samples);
    capturedSamples_ = SamplesKey(samples);
    if (onPictureOpened) onPictureOpened(full);
    return 1;
}

int mtxIEDesigner::OpenRecovered(const std::string& path) {
    // The state folder is not where the user opens and saves work.
    std::string folder = document_.openFolder;
    if (!OpenProject(path)) return 0;
    document_.openFolder = folder;
    document_.SetProjectPath(std::string());
    document_.MarkModified();
    recovered_ = true;
    return 1;
}

int mtxIEDesigner::SaveProject() {
    if (!Picture()) {
        Tell(mtxIELoadString(701, "Just open any image"), kProjectTitle);
        return 0;
    }
    const std::string& project = document_.ProjectPath();
    // The type's extension is added to the name as the picture's is.
    std::string name = recovered_ ? std::string("Recovered")
                                  : mtxPath(project.empty() ? document_.Path() : project).Name();
    mtxFileDialog dialog(nullptr, true, {{"Daubry project (*.daubry)", "*.daubry"}}, "", name);
    std::string folder = project.empty() ? document_.saveFolder : mtxPath(project).Directory();
    dialog.SetInitialDirectory(folder.empty() ? document_.openFolder : folder);
    dialog.settleName = [](const std::string& path, uint32_t) { return ProjectName(path); };
    if (!dialog.Show()) return 0;
    return SaveProjectAs(dialog.Path());
}

int mtxIEDesigner::SaveProjectAs(const std::string& path, std::string* reason) {
    std::string target = ProjectName(mtxOs::FullPath(path));
    auto fail = [&](const std::string& why) {
        if (reason) *reason = why;
        Tell(mtxPath(target).File() + " was not saved: " + why +
                 (mtxOs::Exists(target) ? ". The file on disk is as it was." : "."),
             kProjectTitle);
        return 0;
    };
    if (!Picture()) return fail(mtxIELoadString(701, "Just open any image"));
    // The tool pauses, and what it drew reaches the picture, while the
    // project is taken.
    SuspendedTool suspended(CurrentTool());
    mtxProject project;
    std::string why;
    if (!CaptureProject(project, why)) return fail(why);
    if (!mtxProjectFile::Save(project, target, why)) return fail(WithoutFile(why, target));
    document_.SetProjectPath(target);
    document_.saveFolder = mtxPath(target).Directory();
    recovered_ = false;
    MarkSaved();
    if (recovery) recovery->Remove();
    if (onPictureOpened) onPictureOpened(target);
    return 1;
}

int mtxIEDesigner::CaptureProject(mtxProject& project, std::string& error) {
    mtxIEMdfField* field = FillingTool();
    mtxFillSession* session = field ? field->Session() : nullptr;
    if (!session || session->sourceCopy.IsEmpty())
        return error = "nothing was filled yet (a project holds the stamps Go places)", 0;
    std::string key = SamplesKey(samples);
    if (key != capturedSamples_ || capturedPictures_.size() != size_t(samples.count)) {
        std::vector<std::unique_ptr<mtxProject::Sample>> fresh;
        if (!mtxCaptureSamples(samples, fresh, error, &capturedPictures_)) return 0;
        capturedPictures_ = std::move(fresh);
        capturedSamples_ = key;
    }
    if (!CopyImage(session->sourceCopy, project.photo))
        return error = "not enough memory for the photo", 0;
    project.samples.clear();
    for (auto& sample : capturedPictures_) {
        auto copy = std::make_unique<mtxProject::Sample>();
        copy->path = sample->path;
        if (!CopyImage(sample->picture, copy->picture)) return error = "not enough memory", 0;
        project.samples.push_back(std::move(copy));
    }
    project.options = mtxStampLog::Options::Of(samples);
    project.hasSeed = false;
    project.log = session->log;
    project.maps = session->maps;
    project.transforms.clear();
    for (int i = 0, count = Picture() ? Picture()->LayerCount() : 0; i < count; ++i) {
        const float* m = Picture()->GetLayer(i)->transform;
        std::array<float, 9> t;
        std::copy(m, m + 9, t.begin());
        project.transforms.push_back(t);
    }
    project.light = document_.Light();
    return 1;
}

void mtxIEDesigner::ExportAtSize() {
    AskExport(false);
}

void mtxIEDesigner::ExportTimelapse() {
    AskExport(true);
}

void mtxIEDesigner::AskExport(bool timelapse) {
    const char* title = mtxIEExportDlg::Title(timelapse);
    mtxIEMdfField* field = FillingTool();
    mtxFillSession* session = field ? field->Session() : nullptr;
    if (!Picture() || !session || session->sourceCopy.IsEmpty() || session->log.Count() == 0) {
        Tell("Nothing was filled yet: Go places the stamps that are drawn again.", title);
        return;
    }
    if (!editor) return;
    mtxImage& photo = session->sourceCopy;
    mtxLogView view;
    std::copy(Picture()->GetLayer(0)->transform, Picture()->GetLayer(0)->transform + 9,
              view.transform.begin());
    view.light = document_.Light();
    auto* dialog = new mtxIEExportDlg(editor, photo.width, photo.height, timelapse, !view.Plain());
    dialog->onChosen = [this, timelapse](const mtxIEExportDlg::Choice& choice) {
        mtxIELogExport::Request request;
        request.path = AskExportFile(timelapse, choice.width);
        if (request.path.empty()) return;
        request.width = choice.width, request.height = choice.height;
        request.frames = choice.frames, request.fps = choice.fps;
        request.jpegQuality = int(document_.jpegQuality);
        Export(request);
    };
}

// The file dialog of an export; "" when cancelled.
std::string mtxIEDesigner::AskExportFile(bool timelapse, int width) {
    std::string name = mtxPath(document_.Path()).Name() + "-" +
                       (timelapse ? std::string("growing") : std::to_string(width));
    if (timelapse) {
        mtxFileDialog dialog(nullptr, true, {{"Animated PNG (*.png)", "*.png"}}, "", name);
        dialog.SetInitialDirectory(SaveFolder());
        dialog.settleName = [](const std::string& path, uint32_t) {
            return mtxPath(path).HasExtension("png") ? path : path + ".png";
        };
        if (!dialog.Show()) return "";
        return dialog.settleName(mtxOs::FullPath(dialog.Path()), 1);
    }
    uint32_t filter = 0;
    std::string path = AskPictureFile(name, filter);
    return path.empty() ? path : mtxSettledSaveName(mtxOs::FullPath(path), filter);
}

mtxIELogExport* mtxIEDesigner::Export(const mtxIELogExport::Request& request) {
    std::string title = mtxIEExportDlg::Title(request.frames != 0);
    mtxIEMdfField* field = FillingTool();
    if (field && field->ChangeOpen()) field->Process(mtxIEMdfField::kStop, 0);
    auto project = std::make_unique<mtxProject>();
    std::string why;
    if (!editor || !CaptureProject(*project, why)) {
        Tell("Nothing was exported: " + why, title);
        return nullptr;
    }
    auto* box = new mtxIELogExport(editor, title, std::move(project), request);
    box->onDone = [this, title](int written, const std::string& text) {
        if (!text.empty())
            Tell(written ? "Exported " + text : "Nothing was exported: " + text, title);
    };
    if (!box->Start(why)) {
        Tell("Nothing was exported: " + why, title);
        return nullptr;
    }
    return box;
}

void mtxIEDesigner::KeepRecoveryCopy() {
    if (!recovery || !Picture()) return;
    auto project = std::make_unique<mtxProject>();
    std::string why;
    // A run that cannot be taken (a sample changed on disk) keeps the last copy.
    if (CaptureProject(*project, why)) recovery->Write(std::move(project));
}

void mtxIEDesigner::ConnectCheckpoints(mtxIEMdfField& tool) {
    tool.onCheckpoint = [this] { KeepRecoveryCopy(); };
}

// The dialogs change the samples and the options a Fast batch reads: the
// batch out is taken in first, and none goes out while a dialog is open.
mtxIELawnSampleDlg* mtxIEDesigner::OpenSamplesDialog() {
    if (mtxIEMdfField* field = FillingTool()) field->Session();
    return editor ? new mtxIELawnSampleDlg(editor, samples) : nullptr;  // the editor owns it
}

void mtxIEDesigner::OpenFillingDialog() {
    if (mtxIEMdfField* field = FillingTool()) field->Session();
    if (editor) new mtxIELawnFillingDlg(editor, samples, this);
}

uint64_t mtxIEDesigner::ToolEdits() const {
    auto* field = dynamic_cast<mtxIEMdfField*>(CurrentTool());
    return field ? field->placements + field->backgroundResets : 0;
}

mtxIEMdf* mtxIEDesigner::CurrentTool() const {
    return viewer ? viewer->tool : nullptr;
}

void mtxIEDesigner::OnOptionsChanged() {
    if (mtxIEMdf* tool = CurrentTool()) tool->OnOptionsChanged();
}

void mtxIEDesigner::ResetBackground() {
    if (mtxIEMdf* tool = CurrentTool()) tool->ResetBackground();
}

int mtxIEDesigner::SelectTool(int tool) {
    if (tool == kToolMove || tool == kToolRotate) {
        // The mover takes the mouse: the brush is put away.
        mtxIEMdfField* field = FillingTool();
        if (field && field->Hand() != mtxMapBrush::kNone) field->SetHand(mtxMapBrush::kNone);
        if (field) field->SetStampHand(mtxStampHand::kOff);
        return ChooseMover(tool);
    }
    // The light and draw tools do not exist yet: their numbers must not take
    // the filling tool, its run or its preparation away. The brush is the
    // filling tool's hand, so a run goes on under it.
    if (tool != kToolFilling && tool != kToolBrush && tool != kToolStamps && tool != kToolEraser)
        return 0;
    if (viewer->mover) viewer->mover->Show(0), viewer->Invalidate();
    // Choosing the filling tool again keeps the one at work, with its run.
    if (mtxIEMdfField* field = FillingTool()) {
        ChooseHand(*field, tool);
        return 1;
    }
    // The changes the old tool made stay counted after it goes.
    document_.ToolGoing();
    // The bar's controls of the old tool go before the tool they talk to.
    optionsBar->Empty();
    viewer->SetTool(nullptr);
    auto* field = new mtxIEMdfField(viewer, optionsBar, samples);
    field->openSamples = [this] { return OpenSamplesDialog(); };
    ConnectHistory(*field);
    ConnectCheckpoints(*field);
    // The tool stays hidden: it acts through the viewer and its timer.
    viewer->SetTool(field);
    ChooseHand(*field, tool);
    viewer->Invalidate();
    return 1;
}

void mtxIEDesigner::ChooseHand(mtxIEMdfField& field, int tool) {
    if (tool == kToolFilling) {
        field.SetHand(mtxMapBrush::kNone);
        field.SetStampHand(mtxStampHand::kOff);
    } else if (tool == kToolBrush) {
        if (field.Hand() == mtxMapBrush::kNone) field.SetHand(mtxMapBrush::kProtect);
    } else {
        field.SetStampHand(tool == kToolStamps ? mtxStampHand::kBrush : mtxStampHand::kEraser);
    }
}

// Move and Rotate lie over the viewer; the filling tool and its run stay below.
int mtxIEDesigner::ChooseMover(int tool) {
    if (!viewer->mover) {
        auto* mover = new mtxIEMoveTool(viewer);
        mover->chosenLayer = [this] { return ChosenLayer(); };
        mover->onMoved = [this](int layer, const float before[9], const char* name) {
            if (document_.TransformChanged(layer, before, name)) LightFollows();
        };
        viewer->mover = mover;
    }
    viewer->mover->mode = tool == kToolMove ? mtxIEMoveTool::kMove : mtxIEMoveTool::kRotate;
    viewer->mover->FitViewer();
    viewer->mover->Show(1);
    viewer->Invalidate();
    return 1;
}

int mtxIEDesigner::ChosenTool() const {
    if (viewer && viewer->mover && viewer->mover->IsVisible())
        return viewer->mover->mode == mtxIEMoveTool::kMove ? kToolMove : kToolRotate;
    mtxIEMdfField* field = FillingTool();
    if (!field) return -1;
    if (field->StampHand() != mtxStampHand::kOff)
        return field->StampHand() == mtxStampHand::kBrush ? kToolStamps : kToolEraser;
    return field->Hand() != mtxMapBrush::kNone ? kToolBrush : kToolFilling;
}

mtxIEMdfField* mtxIEDesigner::FillingTool() const {
    return dynamic_cast<mtxIEMdfField*>(CurrentTool());
}

// The tool draws into layer 0 of the picture the viewer shows.
void mtxIEDesigner::ConnectHistory(mtxIEMdfField& tool) {
    tool.onChangeStarting = [this, &tool](const std::string& name) {
        document_.BeginChange(0, name);
        mtxFillSession* session = tool.Session();
        openSpan_ = LogSpan{};
        if (session)
            openSpan_.session = tool.SessionNumber(), openSpan_.before = session->log.Here();
    };
    tool.onChangeEnded = [this, &tool] {
        uint64_t last = History().LastSerial();
        document_.EndChange();
        LightFollows();
        mtxFillSession* session = tool.Session();
        if (History().LastSerial() == last || !session || !openSpan_.session ||
            openSpan_.session != tool.SessionNumber())
            return;
        openSpan_.after = session->log.Here();
        logSpans_[History().LastSerial()] = openSpan_;
    };
    tool.onChangeCancelled = [this] { document_.CancelChange(); };
    tool.onHandChanged = [this, &tool](mtxMapBrush::Mode) {
        // A hand takes the mouse from the mover.
        if (tool.HandOut() && viewer->mover && viewer->mover->IsVisible())
            viewer->mover->Show(0), viewer->Invalidate();
        if (onToolShown) onToolShown(ChosenTool());
    };
    tool.onStroke = [this](const mtxMapStroke& stroke) {
        bool protect = stroke.plane == mtxFillMaps::kProtect;
        History().RecordData(0, stroke.Encode(), protect ? "Protect" : "Detail");
        // Saved with the project: a stroke is work to keep.
        document_.MarkModified();
    };
}

void mtxIEDesigner::FollowInLog(const mtxChangeHistory::Step& step, bool backward) {
    mtxIEMdfField* field = FillingTool();
    mtxFillSession* session = field ? field->Session() : nullptr;
    auto span = logSpans_.find(step.serial);
    if (!session || span == logSpans_.end() || span->second.session != field->SessionNumber())
        return;
    session->log.MoveTo(backward ? span->second.before : span->second.after);
}

int mtxIEDesigner::Undo() {
    return WalkHistory(true);
}

int mtxIEDesigner::Redo() {
    return WalkHistory(false);
}

int mtxIEDesigner::WalkHistory(bool backward) {
    if (!Picture()) return 0;
    mtxIEMdfField* field = FillingTool();
    if (field) field->FinishStroke();
    if (field && field->ChangeOpen()) field->Process(mtxIEMdfField::kStop, 0);
    mtxChangeHistory::Step step;
    if (!(backward ? document_.Undo(&step) : document_.Redo(&step))) return 0;
    if (step.kind == mtxChangeHistory::kKindData &&
        document_.ApplyLightChange(step.data, backward)) {
        ShowLight();
        return 1;
    }
    if (step.kind == mtxChangeHistory::kKindOpacity ||
        step.kind == mtxChangeHistory::kKindTransform) {
        viewer->Invalidate();
    } else if (step.kind == mtxChangeHistory::kKindData) {
        mtxMapStroke stroke;
        if (field && stroke.Decode(step.data)) field->ApplyStroke(stroke, backward);
    } else if (step.kind == mtxChangeHistory::kKindLayerAdded ||
               step.kind == mtxChangeHistory::kKindLayerRemoved) {
        LayersChanged();
    } else {
        FollowInLog(step, backward);
        if (field) field->PictureRestored();
        // The viewer uploads the tiles the walk noted at its next paint.
        viewer->Invalidate();
    }
    LightFollows();
    return 1;
}

void mtxIEDesigner::LayersChanged() {
    viewer->SyncWithStack();
    viewer->Invalidate();
    LightFollows();
}

int mtxIEDesigner::SetLight(const mtxReliefLight& light, const std::string& name) {
    if (!document_.SetLight(light, name)) return 0;
    ShowLight();
    return 1;
}

void mtxIEDesigner::ToggleLight() {
    mtxReliefLight light = document_.Light();
    light.on = !light.on;
    SetLight(light);
    if (light.on && editor) new DlgLight(editor, this);
}

int mtxIEDesigner::ShowLight() {
    viewer->SetOverlay(nullptr);
    document_.SetLightShade(nullptr);
    if (onLightShown) onLightShown(document_.Light().on);
    if (!document_.Light().on || !Picture() || !editor) return document_.Light().on ? 0 : 1;
    // What the tool drew goes into the layers first: the light is of the picture.
    for (int i = 0; i < viewer->LayerCount(); ++i) viewer->GetLayer(i)->CommitTiles();
    mtxImage flat;
    auto shade = std::make_unique<mtxImageDx>(Device());
    if (!FlattenStack(*Picture(), flat) ||
        !mtxRenderReliefLight(editor, flat, document_.Light(), *shade) ||
        !document_.SetLightShade(std::move(shade)))
        return 0;
    viewer->SetOverlay(document_.LightShade());
    return 1;
}

int mtxIEDesigner::AppendLayer(std::unique_ptr<mtxImage> image) {
    if (!document_.AppendLayer(std::move(image))) return 0;
    LayersChanged();
    viewer->activeLayer = viewer->LayerCount() - 1;
    return 1;
}

int mtxIEDesigner::RemoveLayer(int index) {
    if (index < 1 || !Picture() || !Picture()->GetLayer(index)) return 0;
    // The viewer lets go of the layer before the stack deletes it.
    int chosen = ChosenLayer();
    viewer->RemoveLayer(index);
    int removed = document_.RemoveLayer(index);
    LayersChanged();
    viewer->activeLayer = std::min(chosen, viewer->LayerCount() - 1);
    return removed;
}

int mtxIEDesigner::ChosenLayer() const {
    return viewer ? std::max(viewer->activeLayer, 0) : 0;
}

int mtxIEDesigner::ChooseLayer(int index) {
    if (!viewer || index < 0 || index >= viewer->LayerCount()) return 0;
    viewer->activeLayer = index;
    return 1;
}

int mtxIEDesigner::SetLayerOpacity(int index, uint8_t value) {
    if (!document_.SetOpacity(index, value, mtxIELoadString(15, "Opacity"))) return 0;
    viewer->Invalidate();
    LightFollows();
    return 1;
}

std::string mtxIEDesigner::AddLayerTitle() {
    return mtxIELoadString(200, "Add") + " " + mtxIELoadString(9, "Layer");
}

void mtxIEDesigner::AddLayerFromFile() {
    mtxFileDialog dialog(nullptr, false, mtxPictureOpenFilters(), "", "");
    if (!dialog.Show() || !Picture()) return;
    std::string why;
    std::unique_ptr<mtxImage> image = mtxIEDocument::LoadPicture(Device(), dialog.Path(), why);
    if (!image) {
        Tell("Cannot open " + dialog.Path() + ": " + why, AddLayerTitle());
        return;
    }
    AppendLayer(std::move(image));
}

int mtxIEDesigner::Process(uint32_t action, uint16_t value) {
    switch (action) {
        case kAddLayer:
        case kAddLayerFromFile:
            // A layer lies over a picture: without one the user hears why
            // nothing opens, rather than meeting a dialog of zero sizes.
            if (!Picture())
                Tell(mtxIELoadString(701, "Just open any image"), AddLayerTitle());
            else if (action == kAddLayerFromFile)
                AddLayerFromFile();
            else if (editor)
                new DlgAddLayer(editor, this);
            return 1;
        case kChooseLayer:
            ChooseLayer(value);
            return 1;
        case kSetOpacity:
            SetLayerOpacity(ChosenLayer(), uint8_t(std::min<uint16_t>(value, 255)));
            return 1;
        case kRemoveLayer:
            RemoveLayer(ChosenLayer());
            return 1;
        case kUndo:
            Undo();
            return 1;
        case kRedo:
            Redo();
            return 1;
        case kOptionsChanged:
            OnOptionsChanged();
            return 1;
        case kResetBackground:
            ResetBackground();
            return 1;
        case kOpenDemo:
            if (!Picture() && !demoPhoto.empty()) Open(demoPhoto, 0);
            return 1;
        default:
            break;
    }
    if (action >= kFirstTool && action <= kLastTool) {
        SelectTool(int(action - kFirstTool));
        return 0;  // reported as not handled, so the editor's bar follows too
    }
    if (action >= kMenuLayer && action < kMenuLayer + 0x100) {
        ChooseLayer(int(action - kMenuLayer));
        return 1;
    }
    if (action >= kMenuOpacity && action < kMenuOpacity + 0x100) {
        SetLayerOpacity(ChosenLayer(), uint8_t(action - kMenuOpacity));
        return 1;
    }
    return 0;
}
