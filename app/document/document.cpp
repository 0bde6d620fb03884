#include "app/document/document.h"

#include <algorithm>
#include <new>

#include "app/document/picture_file.h"
#include "base/registry.h"
#include "fill/project_file.h"
#include "image/file.h"
#include "image/image.h"
#include "image/image_stack.h"
#include "image/io/image_load.h"
#include "platform/os_file.h"
#include "platform/path.h"
#include "render/image_dx.h"
#include "render/layers/shown_picture.h"
#include "ui/strings.h"

namespace {

// The folder part of a path: absolute, without a trailing separator.
std::string FolderOf(const std::string& path) {
    return mtxPath(mtxOs::FullPath(path)).Directory();
}

std::unique_ptr<mtxImage> EmptyImage(IDirect3DDevice9* device) {
    if (device) return std::make_unique<mtxImageDx>(device);
    return std::make_unique<mtxImage>();
}

}  // namespace

mtxIEDocument::mtxIEDocument(std::unique_ptr<mtxChangeHistory> history)
    : history_(history ? std::move(history) : std::make_unique<mtxChangeHistory>()) {}

mtxIEDocument::~mtxIEDocument() = default;

std::unique_ptr<mtxImage> mtxIEDocument::LoadPicture(IDirect3DDevice9* device,
                                                     const std::string& path, std::string& reason) {
    std::unique_ptr<mtxImage> image = EmptyImage(device);
    try {
        if (mtxImageLoad(*image, path, 0, &reason)) return image;
    } catch (const std::bad_alloc&) {
        reason = "the picture is too large for the memory of this computer";
        return nullptr;
    }
    if (reason.empty()) reason = "it is not a picture this program can read, or it is too large";
    return nullptr;
}

int mtxIEDocument::Open(const std::string& path, IDirect3DDevice9* device, std::string* reason) {
    std::string full = mtxOs::FullPath(path);
    openFolder = FolderOf(full);
    std::string why;
    std::unique_ptr<mtxImage> image = LoadPicture(device, full, why);
    if (!Adopt(std::move(image), full, why)) {
        if (reason) *reason = why;
        return 0;
    }
    projectPath_.clear();
    return 1;
}

int mtxIEDocument::OpenProject(const std::string& path, IDirect3DDevice9* device,
                               mtxProject& project, std::string* reason) {
    std::string full = mtxOs::FullPath(path);
    openFolder = FolderOf(full);
    std::string why;
    std::unique_ptr<mtxImage> image;
    try {
        // The loader names the file itself; the message around it does too.
        if (!mtxProjectFile::Load(full, project, why)) {
            if (why.compare(0, full.size() + 2, full + ": ") == 0) why.erase(0, full.size() + 2);
        } else {
            image = EmptyImage(device);
            if (!image->Create(project.photo.width, project.photo.height, 0))
                why = "the picture is too large for the memory of this computer";
            else
                image->Blit(project.photo, mtxRect{}, 0, 0);
        }
    } catch (const std::bad_alloc&) {
        why = "the project is too large for the memory of this computer";
    }
    if (!why.empty()) image.reset();
    if (!Adopt(std::move(image), full, why)) {
        if (reason) *reason = why;
        return 0;
    }
    projectPath_ = full;
    return 1;
}

bool mtxIEDocument::IsProjectFile(const std::string& path) {
    mtxOs::OpenRequest request;
    request.regularOnly = true;
    int handle = mtxOs::Open(path, request);
    if (handle < 0) return false;
    uint8_t start[sizeof mtxProjectFile::kSignature] = {};
    bool project = mtxOs::Read(handle, start, sizeof start) == int64_t(sizeof start) &&
                   std::equal(start, start + sizeof start, mtxProjectFile::kSignature);
    mtxOs::Close(handle);
    return project;
}

int mtxIEDocument::Adopt(std::unique_ptr<mtxImage> image, const std::string& full,
                         std::string& why) {
    auto stack = std::make_unique<mtxImageStack>();
    if (image) {
        stack->width = image->width;
        stack->height = image->height;
        try {
            if (stack->AddLayer(0, std::move(image)) < 0) why = "its layer could not be made";
        } catch (const std::bad_alloc&) {
            why = "the picture is too large for the memory of this computer";
        }
    } else if (why.empty()) {
        why = "it could not be read";
    }
    if (!why.empty()) return 0;
    if (onPictureGoing) onPictureGoing();
    lightShade_.reset();  // it showed the old picture
    picture_ = std::move(stack);
    path_ = full;
    history_->Clear();
    MarkSaved();
    return 1;
}

int mtxIEDocument::SaveAs(const std::string& path, uint32_t filterIndex, std::string* reason) {
    std::string target = mtxSettledSaveName(mtxOs::FullPath(path), filterIndex);
    auto fail = [&](const std::string& why) {
        if (reason) *reason = why;
        return 0;
    };
    if (!picture_) return fail(mtxIELoadString(701, "Just open any image"));
    mtxImage flat;
    std::string why;
    try {
        // The file is what the screen shows, the shade the viewer lays over the layers too.
        mtxImage* shade = lightShade_ ? lightShade_->source.get() : nullptr;
        if (!mtxComposeShown(*picture_, light_, nullptr, flat, why, shade)) return fail(why);
    } catch (const std::bad_alloc&) {
        return fail("there is not enough memory to render the picture");
    }
    saveFolder = FolderOf(target);
    // A typed picture extension decides the format whatever the filter.
    mtxPictureFormat format = mtxPictureFormatOfName(target, filterIndex);
    if (!mtxWritePictureFile(flat, target, format, &why, int(jpegQuality))) return fail(why);
    saveFilter = mtxPictureFilterOf(format);
    MarkSaved();
    return 1;
}

int mtxIEDocument::AppendLayer(std::unique_ptr<mtxImage> image, const std::string& name) {
    if (!picture_ || !image) return 0;
    int index = picture_->AddLayer(-1, std::move(image));
    if (index < 0) return 0;
    // Unrecorded, the older records would no longer fit the stack.
    if (!history_->RecordLayer(*picture_, index, true, name)) history_->Clear();
    MarkModified();
    return 1;
}

int mtxIEDocument::RemoveLayer(int index, const std::string& name) {
    if (!picture_ || index < 1 || !picture_->GetLayer(index)) return 0;
    if (!history_->RecordLayer(*picture_, index, false, name)) history_->Clear();
    if (!picture_->RemoveLayer(index)) return 0;
    MarkModified();
    return 1;
}

int mtxIEDocument::SetOpacity(int index, uint8_t value, const std::string& name) {
    mtxImageStack::Layer* layer = picture_ ? picture_->GetLayer(index) : nullptr;
    if (!layer || layer->Opacity() == value) return 0;
    uint8_t before = layer->Opacity();
    layer->SetOpacity(value);
    history_->RecordOpacity(index, before, layer->Opacity(), name);
    MarkModified();
    return 1;
}

int mtxIEDocument::TransformChanged(int index, const float before[9], const std::string& name) {
    mtxImageStack::Layer* layer = picture_ ? picture_->GetLayer(index) : nullptr;
    if (!layer || std::equal(before, before + 9, layer->transform)) return 0;
    history_->RecordTransform(index, before, layer->transform, name);
    MarkModified();
    return 1;
}

namespace {
constexpr uint8_t kLightTag[4] = {'L', 'I', 'T', 'E'};
}

int mtxIEDocument::SetLight(const mtxReliefLight& light, const std::string& name) {
    if (light == light_) return 0;
    std::vector<uint8_t> data(kLightTag, kLightTag + 4);
    for (const mtxReliefLight& l : {light_, light}) {
        std::vector<uint8_t> bytes = l.Encode();
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    light_ = light;
    if (picture_) history_->RecordData(0, data, name);
    MarkModified();
    return 1;
}

int mtxIEDocument::ApplyLightChange(const std::vector<uint8_t>& data, bool backward) {
    const size_t size = mtxReliefLight::kEncodedSize;
    if (data.size() != 4 + 2 * size || !std::equal(kLightTag, kLightTag + 4, data.begin()))
        return 0;
    mtxReliefLight light;
    if (!mtxReliefLight::Decode(data.data() + 4 + (backward ? 0 : size), size, light)) return 0;
    light_ = light;
    return 1;
}

int mtxIEDocument::SetLightShade(std::unique_ptr<mtxImage> shade) {
    lightShade_.reset();
    if (!shade || !picture_ || shade->width != picture_->width || shade->height != picture_->height)
        return 0;
    lightShade_ = std::make_unique<mtxImageStack::Layer>(picture_.get(), std::move(shade));
    return 1;
}

int mtxIEDocument::BeginChange(int layer, const std::string& name) {
    return picture_ ? history_->BeginChange(*picture_, layer, name) : 0;
}

int mtxIEDocument::EndChange() {
    return picture_ ? history_->EndChange(*picture_) : 0;
}

void mtxIEDocument::CancelChange() {
    history_->CancelChange();
}

int mtxIEDocument::Undo(mtxChangeHistory::Step* step) {
    return Walk(true, step);
}

int mtxIEDocument::Redo(mtxChangeHistory::Step* step) {
    return Walk(false, step);
}

int mtxIEDocument::Walk(bool backward, mtxChangeHistory::Step* step) {
    if (!picture_) return 0;
    // A change left open by a tool that is gone cannot be walked past.
    if (history_->InChange()) history_->EndChange(*picture_);
    int walked = backward ? history_->Undo(*picture_, nullptr, step)
                          : history_->Redo(*picture_, nullptr, step);
    if (!walked) return 0;
    MarkModified();  // the picture is no longer the one saved
    return 1;
}

bool mtxIEDocument::Modified() const {
    return picture_ && (modified_ || ToolEdits() != savedToolEdits_);
}

void mtxIEDocument::MarkSaved() {
    modified_ = false;
    savedToolEdits_ = ToolEdits();
}

void mtxIEDocument::ToolGoing() {
    if (ToolEdits() != savedToolEdits_) modified_ = true;
    savedToolEdits_ = 0;
}

void mtxIEDocument::ReadFolders(mtxRegistry& settings) {
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
    uint32_t quality = 0;
    if (settings.GetInt(kFolderSection, "sjq", quality) && quality >= 1 && quality <= 100)
        jpegQuality = quality;
}

void mtxIEDocument::WriteFolders(mtxRegistry& settings) const {
    settings.SetString(kFolderSection, "ofp", openFolder);
    settings.SetString(kFolderSection, "sfp", saveFolder);
    settings.SetInt(kFolderSection, "sft", saveFilter);
    settings.SetInt(kFolderSection, "sjq", jpegQuality);
}
