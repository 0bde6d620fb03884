#include "app/document/designer.h"

#include <new>

#include "app/document/add_layer_dlg.h"
#include "app/document/change_history.h"
#include "app/document/designer_options_bar.h"
#include "app/document/designer_viewer.h"
#include "app/document/picture_file.h"
#include "app/filling/lawn_filling_dlg.h"
#include "app/filling/lawn_sample_dlg.h"
#include "app/filling/mdf_field.h"
#include "base/application.h"
#include "base/file_dialog.h"
#include "image/file.h"
#include "image/image_stack.h"
#include "image/io/image_load.h"
#include "platform/os_file.h"
#include "platform/path.h"
#include "render/image_dx.h"
#include "render/layers/flatten_stack.h"
#include "ui/combo_box.h"
#include "ui/frame_set.h"
#include "ui/image_editor.h"
#include "ui/label.h"
#include "ui/message_box.h"
#include "ui/spin.h"
#include "ui/strings.h"

namespace {

// The folder part of a path: absolute, without a trailing separator.
std::string FolderOf(const std::string& path) {
    return mtxPath(mtxOs::FullPath(path)).Directory();
}

// A picture file loaded onto the editor's device; null with *reason set when
// it cannot be read or does not fit in memory.
std::unique_ptr<mtxImage> LoadPicture(mtxImageEditor* editor, const std::string& path,
                                      std::string& reason) {
    auto image = std::make_unique<mtxImageDx>(editor ? editor->GetDevice() : nullptr);
    try {
        if (mtxImageLoad(*image, path, 0, &reason)) return image;
    } catch (const std::bad_alloc&) {
        reason = "the picture is too large for the memory of this computer";
        return nullptr;
    }
    if (reason.empty()) reason = "it is not a picture this program can read, or it is too large";
    return nullptr;
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
    : mtxIECtrl(parent), samples(collection), history_(std::make_unique<mtxChangeHistory>()) {
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
    if (mtxApplication* app = mtxGetApp()) ReadFolders(app->settings);
}

mtxIEDesigner::~mtxIEDesigner() {
    if (mtxApplication* app = mtxGetApp()) WriteFolders(app->settings);
    // The tool stops (and joins its task) while the picture it works on still
    // exists; a run still open is not worth recording any more.
    if (mtxIEMdfField* field = FillingTool())
        field->onChangeStarting = nullptr, field->onChangeEnded = nullptr,
        field->onChangeCancelled = nullptr;
    if (optionsBar) optionsBar->Empty();
    layerChooser = nullptr, opacity = nullptr;
    if (viewer) {
        viewer->SetTool(nullptr);
        viewer->SetStack(nullptr);
    }
    picture_.reset();
}

void mtxIEDesigner::ReadFolders(mtxRegistry& settings) {
    auto read = [&](const char* name, std::string& folder) {
        folder.clear();
        uint32_t bytes = 0;
        if (!settings.GetRaw(kFolderSection, name, nullptr, bytes) || bytes < 3) return;
        std::string value;
        if (!settings.GetString(kFolderSection, name, value) || !mtxOs::Exists(value)) return;
        folder = value;
    };
    read("ofp", openFolder);
    read("sfp", saveFolder);
    uint32_t filter = 0;
    if (settings.GetInt(kFolderSection, "sft", filter) && filter >= 1 && filter <= 3)
        saveFilter = filter;
}

void mtxIEDesigner::WriteFolders(mtxRegistry& settings) const {
    settings.SetString(kFolderSection, "ofp", openFolder);
    settings.SetString(kFolderSection, "sfp", saveFolder);
    settings.SetInt(kFolderSection, "sft", saveFilter);
}

void mtxIEDesigner::Tell(const std::string& text, const std::string& title) {
    if (tell) {
        tell(text, title);
        return;
    }
    if (editor) new mtxIEMessageBox(editor, text.c_str(), title.c_str());
}

int mtxIEDesigner::Open(const std::string& path, int, std::string* reason) {
    std::string full = mtxOs::FullPath(path);
    openFolder = FolderOf(full);
    std::string why;
    std::unique_ptr<mtxImage> image = LoadPicture(editor, full, why);
    auto stack = std::make_unique<mtxImageStack>();
    if (image) {
        stack->width = image->width;
        stack->height = image->height;
        try {
            if (stack->AddLayer(0, std::move(image)) < 0) why = "its layer could not be made";
        } catch (const std::bad_alloc&) {
            why = "the picture is too large for the memory of this computer";
        }
    }
    if (!why.empty()) {
        if (reason) *reason = why;
        Tell("Cannot open " + full + ": " + why, "Open");
        return 0;
    }
    // The tool lets go of the old picture (and stops preparing it) first.
    if (mtxIEMdf* tool = CurrentTool()) tool->OnPictureOpening();
    viewer->SetStack(nullptr);
    picture_ = std::move(stack);
    picturePath = full;
    history_->Clear();
    viewer->SetStack(picture_.get());
    MarkSaved();
    RefreshLayerChooser();
    if (onPictureOpened) onPictureOpened(full);
    return 1;
}

int mtxIEDesigner::Save() {
    if (!picture_) {
        Tell(mtxIELoadString(701, "Just open any image"), "Save");
        return 0;
    }
    mtxFileDialog dialog(nullptr, true, mtxPictureSaveFilters(), "", mtxPath(picturePath).Name());
    dialog.SetInitialDirectory(saveFolder.empty() ? openFolder : saveFolder);
    dialog.SetFilterIndex(saveFilter);
    dialog.settleName = [](const std::string& path, uint32_t filter) {
        return mtxSettledSaveName(path, filter);
    };
    if (!dialog.Show()) return 0;
    return SaveAs(dialog.Path(), dialog.FilterIndex());
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
    if (!picture_) return fail(mtxIELoadString(701, "Just open any image"));
    SuspendedTool suspended(CurrentTool());
    mtxImage flat;
    try {
        if (!FlattenStack(*picture_, flat) || flat.width <= 0 || flat.height <= 0)
            return fail("the picture could not be rendered");
    } catch (const std::bad_alloc&) {
        return fail("there is not enough memory to render the picture");
    }
    saveFolder = FolderOf(target);
    // A typed picture extension decides the format whatever the filter.
    mtxPictureFormat format = mtxPictureFormatOfName(target, filterIndex);
    std::string why;
    if (!mtxWritePictureFile(flat, target, format, &why)) return fail(why);
    saveFilter = mtxPictureFilterOf(format);
    MarkSaved();
    return 1;
}

void mtxIEDesigner::OpenSamplesDialog() {
    if (editor) new mtxIELawnSampleDlg(editor, samples);
}

void mtxIEDesigner::OpenFillingDialog() {
    if (editor) new mtxIELawnFillingDlg(editor, samples, this);
}

bool mtxIEDesigner::Modified() const {
    return picture_ && (modified_ || ToolEdits() != savedToolEdits_);
}

void mtxIEDesigner::MarkSaved() {
    modified_ = false;
    savedToolEdits_ = ToolEdits();
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

void mtxIEDesigner::SelectTool(int tool) {
    // Choosing the filling tool again keeps the one at work, with its run.
    if (tool == kToolFilling && FillingTool()) return;
    // The changes the old tool made stay counted after it goes.
    if (ToolEdits() != savedToolEdits_) modified_ = true;
    // The bar's controls of the old tool go before the tool they talk to.
    optionsBar->Empty();
    layerChooser = nullptr, opacity = nullptr;
    viewer->SetTool(nullptr);
    savedToolEdits_ = 0;
    if (tool == kToolFilling) {
        auto* field = new mtxIEMdfField(viewer, optionsBar, samples);
        field->openSamples = [this] { OpenSamplesDialog(); };
        ConnectHistory(*field);
        // The tool stays hidden: it acts through the viewer and its timer.
        viewer->SetTool(field);
    } else {
        // FIXME: the move, rotate, brush, light and draw tools do not exist
        // yet; their numbers leave the picture without a tool.
        BuildLayerOptions();
    }
    viewer->Invalidate();
}

mtxIEMdfField* mtxIEDesigner::FillingTool() const {
    return dynamic_cast<mtxIEMdfField*>(CurrentTool());
}

// The tool draws into layer 0 of the picture the viewer shows.
void mtxIEDesigner::ConnectHistory(mtxIEMdfField& tool) {
    tool.onChangeStarting = [this](const std::string& name) {
        if (picture_) history_->BeginChange(*picture_, 0, name);
    };
    tool.onChangeEnded = [this] {
        if (picture_) history_->EndChange(*picture_);
    };
    tool.onChangeCancelled = [this] { history_->CancelChange(); };
}

int mtxIEDesigner::Undo() {
    return WalkHistory(true);
}

int mtxIEDesigner::Redo() {
    return WalkHistory(false);
}

int mtxIEDesigner::WalkHistory(bool backward) {
    if (!picture_) return 0;
    mtxIEMdfField* field = FillingTool();
    if (field && field->ChangeOpen()) field->Process(mtxIEMdfField::kStop, 0);
    // A change left open by a tool that is gone cannot be walked past.
    if (history_->InChange()) history_->EndChange(*picture_);
    mtxChangeHistory::Step step;
    int walked = backward ? history_->Undo(*picture_, nullptr, &step)
                          : history_->Redo(*picture_, nullptr, &step);
    if (!walked) return 0;
    MarkModified();  // the picture on screen is no longer the one saved
    if (step.kind == mtxChangeHistory::kKindOpacity) {
        mtxImageStack::Layer* layer = picture_->GetLayer(step.layer);
        int shown = viewer->activeLayer < 0 ? 0 : viewer->activeLayer;
        if (opacity && layer && step.layer == shown) opacity->SetValue(layer->Opacity());
        viewer->Invalidate();
    } else {
        if (field) field->PictureRestored();
        // The viewer uploads the tiles the walk noted at its next paint.
        viewer->Invalidate();
    }
    return 1;
}

void mtxIEDesigner::BuildLayerOptions() {
    auto* label = new mtxIELabel(optionsBar);
    label->SetText(mtxIELoadString(9, "Layer"));
    label->Show(1);
    optionsBar->AddItem(label, 0, 10);
    layerChooser = new mtxIEComboBox(optionsBar);
    layerChooser->SetRect({0, 0, 80, 22});
    layerChooser->SetAction(this, kChooseLayer, 1);
    layerChooser->Show(1);
    optionsBar->AddItem(layerChooser, 0, 5);
    auto* opacityLabel = new mtxIELabel(optionsBar);
    opacityLabel->SetText(mtxIELoadString(15, "Opacity"));
    opacityLabel->Show(1);
    optionsBar->AddItem(opacityLabel, 0, 20);
    opacity = new mtxIESpin(optionsBar);
    opacity->SetRect({0, 0, 70, 22});
    opacity->SetRange(0, 255);
    opacity->SetValue(255);
    opacity->SetAction(this, kSetOpacity, 1);
    opacity->Show(1);
    optionsBar->AddItem(opacity, 0, 5);
    RefreshLayerChooser();
}

void mtxIEDesigner::RefreshLayerChooser() {
    if (!layerChooser) return;
    layerChooser->Clear();
    layerChooser->AddItem(mtxIELoadString(203, "All"), uintptr_t(-1));
    int count = picture_ ? picture_->LayerCount() : 0;
    for (int i = 0; i < count; ++i) layerChooser->AddItem(std::to_string(i + 1), uintptr_t(i));
    layerChooser->Select(0);
}

int mtxIEDesigner::AppendLayer(std::unique_ptr<mtxImage> image) {
    if (!picture_ || !image) return 0;
    if (picture_->AddLayer(-1, std::move(image)) < 0) return 0;
    MarkModified();
    RefreshLayerChooser();
    viewer->SyncWithStack();
    viewer->Invalidate();
    return 1;
}

void mtxIEDesigner::AddLayerFromFile() {
    mtxFileDialog dialog(nullptr, false, mtxPictureOpenFilters(), "", "");
    if (!dialog.Show() || !picture_) return;
    std::string why;
    std::unique_ptr<mtxImage> image = LoadPicture(editor, dialog.Path(), why);
    if (!image) {
        Tell("Cannot open " + dialog.Path() + ": " + why, "Add Layer");
        return;
    }
    AppendLayer(std::move(image));
}

int mtxIEDesigner::Process(uint32_t action, uint16_t) {
    switch (action) {
        case kAddLayer:
            if (editor) new DlgAddLayer(editor, this);
            return 1;
        case kAddLayerFromFile:
            AddLayerFromFile();
            return 1;
        case kChooseLayer: {
            if (!layerChooser) return 1;
            int chosen = layerChooser->Selection();
            viewer->activeLayer =
                chosen <= 0 ? -1 : int(layerChooser->list->items[size_t(chosen)].data);
            if (opacity && picture_) {
                mtxImageStack::Layer* layer =
                    picture_->GetLayer(viewer->activeLayer < 0 ? 0 : viewer->activeLayer);
                if (layer) opacity->SetValue(layer->Opacity());
            }
            return 1;
        }
        case kSetOpacity: {
            if (!picture_ || !opacity) return 1;
            int chosen = layerChooser ? layerChooser->Selection() : 0;
            int index = chosen <= 0 ? 0 : int(layerChooser->list->items[size_t(chosen)].data);
            mtxImageStack::Layer* layer = picture_->GetLayer(index);
            if (layer && layer->Opacity() != uint8_t(opacity->Value())) {
                uint8_t before = layer->Opacity();
                layer->SetOpacity(uint8_t(opacity->Value()));
                history_->RecordOpacity(index, before, layer->Opacity(), "Opacity");
                MarkModified();
            }
            viewer->Invalidate();
            return 1;
        }
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
        default:
            break;
    }
    if (action >= kFirstTool && action <= kLastTool) {
        SelectTool(int(action - kFirstTool));
        return 0;  // reported as not handled, so the editor's bar follows too
    }
    return 0;
}
