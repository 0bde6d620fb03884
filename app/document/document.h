#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/document/change_history.h"
#include "image/image_stack.h"
#include "image/io/image_save.h"
#include "render/layers/relief_light.h"

class IDirect3DDevice9;
class mtxImage;
class mtxImageStack;
class mtxRegistry;
struct mtxProject;

// The picture being worked on, apart from any control: its layer stack and
// the file it came from, the change history behind Undo and Redo, whether it
// changed since it was opened or last saved, and the folders last opened from
// and saved to. Open and SaveAs read and write files and say why they failed;
// telling the user and showing the picture belong to the designer.
class mtxIEDocument {
  public:
    static constexpr const char* kFolderSection = "deso";

    // history: where the changes are recorded (null: a history of its own).
    explicit mtxIEDocument(std::unique_ptr<mtxChangeHistory> history = nullptr);
    ~mtxIEDocument();
    mtxIEDocument(const mtxIEDocument&) = delete;
    mtxIEDocument& operator=(const mtxIEDocument&) = delete;

    // A picture file read into an image on device (null: plain memory, which
    // no viewer shows). Null with reason set when it cannot be read or does
    // not fit in memory.
    static std::unique_ptr<mtxImage> LoadPicture(IDirect3DDevice9* device, const std::string& path,
                                                 std::string& reason);

    // Reads the file at path as the picture, one layer on device. openFolder
    // follows the file even when reading fails. The new picture is read
    // before the open one goes: on failure nothing else changes, *reason (when
    // not null) says why and 0 is returned. On success onPictureGoing runs,
    // the picture and its path replace the old ones, the history is emptied
    // and the picture counts as saved; 1.
    int Open(const std::string& path, IDirect3DDevice9* device, std::string* reason = nullptr);
    // Reads the project file at path into project and opens its photo as the
    // picture, as Open opens a picture file (the same order and results); the
    // picture then belongs to the project (ProjectPath). A damaged file is
    // refused with *reason naming the part and the fault.
    int OpenProject(const std::string& path, IDirect3DDevice9* device, mtxProject& project,
                    std::string* reason = nullptr);
    // Whether the file at path begins with the project file's signature.
    static bool IsProjectFile(const std::string& path);
    // Flattens the picture, lays the light's shade over it when the light
    // is on, and writes it to path (its name settled by the
    // filter first) in the format of filterIndex (JPEG at jpegQuality),
    // atomically; saveFolder
    // follows once the picture is rendered. The caller commits what a tool
    // drew into the layers first. 1 on success, the picture then counts as
    // saved; 0 with *reason set and the file on disk as it was.
    int SaveAs(const std::string& path, uint32_t filterIndex, std::string* reason = nullptr);

    mtxImageStack* Picture() const { return picture_.get(); }
    // The open picture's file, empty without one.
    const std::string& Path() const { return path_; }
    // The project the picture belongs to: the file it was opened from or last
    // saved to as a project; empty when none (Open empties it).
    const std::string& ProjectPath() const { return projectPath_; }
    void SetProjectPath(const std::string& path) { projectPath_ = path; }
    // Kept across pictures, emptied by Open.
    mtxChangeHistory& History() { return *history_; }

    // Adds image as the last layer and records it under name. 1; 0 without
    // a picture.
    int AppendLayer(std::unique_ptr<mtxImage> image, const std::string& name = "Add Layer");
    // Records and removes the layer at index. The bottom layer, which the
    // tools draw into, stays: 0 for it and for a layer that does not exist.
    int RemoveLayer(int index, const std::string& name = "Remove Layer");
    // Sets a layer's opacity and records the change under name. 1 when the
    // opacity changed; 0 when it was already value or there is no such layer.
    int SetOpacity(int layer, uint8_t value, const std::string& name);
    // Records, under name, that the layer's transform went from before to
    // what it is now (a tool moved it as the mouse went). 1 when recorded.
    int TransformChanged(int layer, const float before[9], const std::string& name);

    // The relief light over the picture: its settings, and the shade last
    // rendered of it (null while none is: the light off, or no picture).
    const mtxReliefLight& Light() const { return light_; }
    mtxImageStack::Layer* LightShade() const { return lightShade_.get(); }
    // Sets the light and records the change under name (history data the
    // designer hands back to ApplyLightChange). 1 when it changed.
    int SetLight(const mtxReliefLight& light, const std::string& name);
    // Sets the light without recording (from the settings or a project).
    void PutLight(const mtxReliefLight& light) { light_ = light; }
    // The shade to show and save over the picture (null: none). It must have
    // the picture's size; 0 (nothing kept) otherwise or without a picture.
    int SetLightShade(std::unique_ptr<mtxImage> shade);
    // History data of SetLight: the light before (backward) or after the
    // change becomes the light. 1 when data was such a record.
    int ApplyLightChange(const std::vector<uint8_t>& data, bool backward);

    // A change of the layer's pixels, bracketed as mtxChangeHistory's; each
    // does nothing without a picture (0).
    int BeginChange(int layer, const std::string& name);
    int EndChange();
    void CancelChange();
    // One recorded change backward or forward: a change still open is ended
    // first. 1 when the picture changed (step says what), 0 at either end of
    // the history or without a picture.
    int Undo(mtxChangeHistory::Step* step = nullptr);
    int Redo(mtxChangeHistory::Step* step = nullptr);

    // Whether the picture changed since it was opened or last saved: its own
    // changes, and those the current tool counts (toolEdits).
    bool Modified() const;
    // The picture as it stands counts as saved.
    void MarkSaved();
    // Something changed the picture outside the tool's own count.
    void MarkModified() { modified_ = true; }
    // The counting tool goes: what it changed since the last save stays
    // counted, and the next tool counts from 0.
    void ToolGoing();

    // Reads "ofp" and "sfp" of section "deso"; a value shorter than 3 bytes
    // or naming nothing that exists reads as empty. "sft" and "sjq" out of
    // their range keep the defaults.
    void ReadFolders(mtxRegistry& settings);
    void WriteFolders(mtxRegistry& settings) const;

    // Runs after a new picture was read and before the open one goes.
    std::function<void()> onPictureGoing;
    // The current tool's count of changes to the picture (null: no tool).
    std::function<uint64_t()> toolEdits;

    std::string openFolder;   // "ofp"
    std::string saveFolder;   // "sfp"
    uint32_t saveFilter = 1;  // "sft": the type last saved, shown first
    // "sjq": the quality JPEG files are saved at, 1 to 100, last chosen.
    uint32_t jpegQuality = mtxJpegDefaultQuality;

  private:
    uint64_t ToolEdits() const { return toolEdits ? toolEdits() : 0; }
    int Walk(bool backward, mtxChangeHistory::Step* step);
    // Makes image the one layer of a new picture from the file full; on
    // failure nothing changes and why is set.
    int Adopt(std::unique_ptr<mtxImage> image, const std::string& full, std::string& why);

    std::unique_ptr<mtxImageStack> picture_;
    mtxReliefLight light_;
    std::unique_ptr<mtxImageStack::Layer> lightShade_;  // not in the stack's list
    std::string path_;
    std::string projectPath_;
    std::unique_ptr<mtxChangeHistory> history_;
    bool modified_ = false;
    uint64_t savedToolEdits_ = 0;  // the tool's count when the picture was last saved
};
