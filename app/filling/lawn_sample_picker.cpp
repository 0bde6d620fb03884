#include "app/filling/lawn_sample_picker.h"

#include <algorithm>
#include <cctype>

#include "base/application.h"
#include "base/file_dialog.h"
#include "base/share_folder.h"
#include "fill/message_sink.h"
#include "image/image.h"
#include "image/io/image_load.h"
#include "platform/path.h"
#include "platform/window_messages.h"
#include "ui/image_editor.h"
#include "ui/message_box.h"
#include "ui/primitives.h"
#include "ui/profile.h"
#include "ui/strings.h"

namespace {

constexpr uint32_t kGroundLight = 0xFFFFFFFF, kGroundDark = 0xFFD8D8D8;
// A burst of messages (a collection whose pictures are all gone) is shown as
// this many boxes at most, the last one saying how many more there were.
constexpr size_t kMaxLines = 8;  // of problems told at once

// Picture 3104 with every colour channel halved (halves rounded to even) and
// given the picker's chroma, as the remove button shows it, row after row;
// empty when the picture cannot be read.
std::vector<uint32_t> RemovePicture(int& width, int& height) {
    mtxImage image(0, 0);
    width = height = 0;
    if (!mtxImageLoad(image, 3104, 0) || image.IsEmpty()) return {};
    for (int y = 0; y < image.height; ++y) {
        mtxColor* row = image.Row(y);
        for (int x = 0; x < image.width; ++x) {
            uint32_t p = row[x], out = p & 0xFF000000u;
            for (int shift = 0; shift < 24; shift += 8) {
                uint32_t v = (p >> shift) & 0xFF, half = v >> 1;
                if ((v & 1) && (half & 1)) ++half;  // x.5 goes to the even neighbour
                out |= half << shift;
            }
            row[x] = out;
        }
    }
    image.Tint(153, 124);
    std::vector<uint32_t> pixels;
    pixels.reserve(size_t(image.width) * size_t(image.height));
    for (int y = 0; y < image.height; ++y)
        pixels.insert(pixels.end(), image.Row(y), image.Row(y) + image.width);
    width = image.width, height = image.height;
    return pixels;
}

struct Gathered : mtxMessageSink {
    void Message(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

// Whether a file is a sample collection by its name: it ends in ".msc", in
// any case.
bool IsCollectionFile(const std::string& path) {
    std::string extension = mtxPath(path).Extension();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension == ".msc" || extension == "msc";
}

}  // namespace

// Viewer.

mtxIELawnSamplePicker::Viewer::Viewer(mtxIECtrl* parent, SampleCollection& samples)
    : mtxIEWnd(parent), samples_(samples) {
    if (mtxApplication* app = mtxGetApp()) LoadSettings(app->settings);
}

mtxIELawnSamplePicker::Viewer::~Viewer() {
    if (mtxApplication* app = mtxGetApp()) SaveSettings(app->settings);
}

void mtxIELawnSamplePicker::Viewer::LoadSettings(mtxRegistry& settings) {
    uint32_t stored = 0;
    int32_t index = settings.GetInt(kSection, "filt", stored) ? int32_t(stored) : 0;
    // Missing or 0 means the first filter; a stored value out of range is
    // taken as the nearest one there is.
    filter = std::clamp(index, kFilterCollection, kFilterPictures);
    std::string stored_folder;
    if (!settings.GetString(kSection, "sp", stored_folder) || stored_folder.size() < 2) {
        stored_folder = mtxSampleLibraryFolder();
        if (stored_folder.empty()) {
            mtxApplication* app = mtxGetApp();
            stored_folder = (app ? app->startDirectory : std::string(".")) + "/share/samples";
        }
    }
    folder = stored_folder;
}

void mtxIELawnSamplePicker::Viewer::SaveSettings(mtxRegistry& settings) const {
    settings.SetInt(kSection, "filt", uint32_t(filter));
    settings.SetString(kSection, "sp", folder);
}

SampleCollection::Sample* mtxIELawnSamplePicker::Viewer::Selected() {
    if (samples_.selected < 0 || samples_.selected >= samples_.count) return nullptr;
    return &samples_.samples[samples_.selected];
}

void mtxIELawnSamplePicker::Viewer::UpdateScrollBars() {
    SampleCollection::Sample* sample = Selected();
    // Showing or hiding one bar changes the room the other has: twice settles it.
    for (int pass = 0; pass < 2; ++pass) {
        RECT client = GetClientRect();
        int room[2] = {client.right - client.left, client.bottom - client.top};
        int extent[2] = {sample ? sample->width : 0, sample ? sample->height : 0};
        int32_t* position[2] = {sample ? &sample->viewScrollX : nullptr,
                                sample ? &sample->viewScrollY : nullptr};
        for (int bar : {kHorizontal, kVertical}) {
            bool fits = extent[bar] <= room[bar];
            if (fits && position[bar]) *position[bar] = 0;
            ScrollInfo info;
            info.minimum = 0;
            info.maximum = extent[bar];
            info.page = std::max(room[bar], 1);
            info.position = position[bar] ? *position[bar] : 0;
            SetScrollInfo(bar, kAll, info);
            if (position[bar]) *position[bar] = GetScrollInfo(bar).position;
            ShowScrollBar(bar, fits ? 0 : 1);
        }
    }
    Invalidate();
}

void mtxIELawnSamplePicker::Viewer::OnHScroll(int code) {
    Scroll(kHorizontal, code);
    if (SampleCollection::Sample* sample = Selected())
        sample->viewScrollX = GetScrollInfo(kHorizontal).position;
}

void mtxIELawnSamplePicker::Viewer::OnVScroll(int code) {
    Scroll(kVertical, code);
    if (SampleCollection::Sample* sample = Selected())
        sample->viewScrollY = GetScrollInfo(kVertical).position;
}

void mtxIELawnSamplePicker::Viewer::Draw(int x, int y, const RECT& clip) {
    mtxIEWnd::Draw(x, y, clip);
    if (!editor || !profile) return;
    IDirect3DDevice9* device = editor->GetDevice();
    RECT client = mtxOffset(GetClientRect(), x, y);
    RECT inner = mtxIntersect(client, clip);
    if (mtxIsEmpty(inner)) return;
    editor->SetClip(inner);
    // The chequered ground shows where the sample is transparent.
    mtxIEPrimitives::FillRect(device, inner, kGroundLight);
    for (int top = client.top; top < inner.bottom; top += kCell)
        for (int left = client.left; left < inner.right; left += kCell) {
            if ((((left - client.left) / kCell) + ((top - client.top) / kCell)) % 2 == 0) continue;
            RECT cell = mtxIntersect({left, top, left + kCell, top + kCell}, inner);
            if (!mtxIsEmpty(cell)) mtxIEPrimitives::FillRect(device, cell, kGroundDark);
        }
    if (SampleCollection::Sample* sample = Selected(); sample && sample->texture)
        mtxIEPrimitives::TexturedRect(device, sample->texture, client.left - sample->viewScrollX,
                                      client.top - sample->viewScrollY, sample->width,
                                      sample->height);
    editor->SetClip(clip);
    mtxIEPrimitives::FrameRect(device, {x, y, x + Width(), y + Height()}, profile->frameColor);
}

// Picker.

mtxIELawnSamplePicker::mtxIELawnSamplePicker(mtxIECtrl* parent, SampleCollection& samples)
    : mtxIEActiveCtrl(parent), samples_(samples) {
    frame = new Frame(this);
    frame->Show(1);
    combo = new Combo(frame);
    combo->SetAction(this, kSelect, 1);
    combo->Show(1);
    viewer = new Viewer(frame, samples);
    viewer->Show(1);
    removeButton = new mtxIEBmpButton(frame);
    int width = 0, height = 0;
    std::vector<uint32_t> picture = RemovePicture(width, height);
    if (!removeButton->SetPicture(picture.data(), width, height))
        removeButton->SetCaption(mtxIELoadString(201, "Remove"));
    removeButton->SetAction(this, kRemove, 1);
    removeButton->Show(1);
    LayoutChildren();
    RebuildList();
}

mtxIELawnSamplePicker::~mtxIELawnSamplePicker() = default;

void mtxIELawnSamplePicker::LayoutChildren() {
    if (!frame) return;
    int w = Width(), h = Height();
    frame->rect = {0, 0, w, h};
    int line = combo->Height();
    int top = 8;
    // The button holds its picture with a margin, centred on the list's line.
    int buttonWidth = 64, buttonHeight = line + 2;
    if (removeButton->HasPicture()) {
        buttonWidth = std::max(line + 2, removeButton->picture.width + 8);
        buttonHeight = std::max(line + 2, removeButton->picture.height + 6);
    }
    int buttonTop = top + (line - buttonHeight) / 2;
    combo->rect = {8, top, std::max(8, w - 16 - buttonWidth), top + line};
    removeButton->rect = {w - 8 - buttonWidth, buttonTop, w - 8, buttonTop + buttonHeight};
    int below = std::max(top + line, int(removeButton->rect.bottom)) + 8;
    viewer->rect = {8, below, std::max(8, w - 8), std::max(below, h - 8)};
    viewer->UpdateScrollBars();
}

void mtxIELawnSamplePicker::RebuildList() {
    combo->Clear();
    for (int32_t i = 0; i < samples_.count; ++i)
        combo->AddItem(std::to_string(i + 1) + "-" + samples_.samples[i].name, uintptr_t(i));
    if (samples_.selected >= 0 && samples_.selected < samples_.count)
        combo->Select(samples_.selected);
    combo->Invalidate();
    viewer->Invalidate();
}

void mtxIELawnSamplePicker::RemoveSelected() {
    if (samples_.selected < 0 || samples_.selected >= samples_.count) return;
    samples_.RemoveSample(samples_.selected);
    RebuildList();
    viewer->UpdateScrollBars();
    Invalidate();
    Changed();
}

void mtxIELawnSamplePicker::Changed() {
    if (onChanged) onChanged();
}

int mtxIELawnSamplePicker::AddFromFile() {
    return PickAndLoad(false);
}

int mtxIELawnSamplePicker::AddFiles(const std::vector<std::string>& paths) {
    int before = samples_.count;
    Reported([&] {
        for (const std::string& path : paths) {
            if (IsCollectionFile(path))
                samples_.LoadCollection(path);
            else
                samples_.AddSample(path);
        }
    });
    RebuildList();
    viewer->UpdateScrollBars();
    Changed();
    return samples_.count - before;
}

int mtxIELawnSamplePicker::ReplaceFromFile() {
    return PickAndLoad(true);
}

int mtxIELawnSamplePicker::PickAndLoad(bool replace) {
    mtxFileDialog dialog(nullptr, false,
                         {{"Collection of Samples(*.msc)", "*.msc"},
                          {"Samples(*.bmp,*.png,*.jpg)", "*.bmp;*.png;*.jpg"}},
                         "", "");
    dialog.SetInitialDirectory(viewer->folder);
    dialog.SetFilterIndex(uint32_t(viewer->filter));
    if (!dialog.Show()) return 0;
    viewer->filter = std::clamp(int32_t(dialog.FilterIndex()), Viewer::kFilterCollection,
                                Viewer::kFilterPictures);
    std::string path = dialog.Path();
    viewer->folder = mtxPath(path).Directory();
    bool picture = viewer->filter == Viewer::kFilterPictures;
    Reported([&] {
        if (picture && replace)
            samples_.ReplaceWithSample(path);
        else if (picture)
            samples_.AddSample(path);
        else if (replace)
            samples_.ReplaceCollection(path);
        else
            samples_.LoadCollection(path);
    });
    RebuildList();
    viewer->UpdateScrollBars();
    Changed();
    return 1;
}

void mtxIELawnSamplePicker::Reported(const std::function<void()>& operation) {
    Gathered gathered;
    mtxMessageSink* before = samples_.messages;
    samples_.messages = &gathered;
    operation();
    samples_.messages = before;
    if (!editor || gathered.texts.empty()) return;
    // One box for the lot, however many pictures failed.
    std::vector<std::string>& texts = gathered.texts;
    std::string text;
    for (size_t i = 0; i < texts.size() && i < kMaxLines; ++i) text += (i ? "\n" : "") + texts[i];
    if (texts.size() > kMaxLines)
        text += "\nAnd " + std::to_string(texts.size() - kMaxLines) + " more problems like these.";
    new mtxIEMessageBox(editor, text.c_str(), mtxIELoadString(317, "Error").c_str());
}

int mtxIELawnSamplePicker::Process(uint32_t action, uint16_t value) {
    switch (action) {
        case kSelect:
            if (value < combo->Count()) {
                samples_.selected = int32_t(combo->list->items[value].data);
                viewer->UpdateScrollBars();
            }
            return 1;
        case kRemove:
            RemoveSelected();
            return 1;
        default:
            return 0;
    }
}

void mtxIELawnSamplePicker::OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) {
    if (key == mtxOs::VK_DELETE) {
        RemoveSelected();
        return;
    }
    mtxIEActiveCtrl::OnKeyDown(key, repeat, keyFlags);
}
