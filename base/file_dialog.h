#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class mtxWnd;
class mtxFileDialog;

// What shows the file dialog: the editor's toolkit provides it and registers
// it with the application object (fileDialogHost). Run returns when the user
// has chosen (nonzero, after SetResult) or cancelled (0).
class mtxFileDialogHost {
  public:
    virtual ~mtxFileDialogHost() = default;
    virtual int Run(mtxFileDialog& dialog) = 0;
};

// The open and save file dialog. Callers stay synchronous: Show returns when
// the user has chosen or cancelled.
class mtxFileDialog {
  public:
    static constexpr uint32_t kFlags = 0x80802;  // explorer look, path must exist, overwrite prompt
    static constexpr size_t kFileNameUnits = 520;
    static constexpr size_t kFileTitleUnits = 64;

    // filter: pairs of description and pattern ("Pictures", "*.png;*.jpg").
    // The initial file name is cut to 520 UTF-16 units.
    mtxFileDialog(mtxWnd* owner, bool save, std::vector<std::pair<std::string, std::string>> filter,
                  const std::string& defaultExtension, const std::string& initialFileName);

    void SetInitialDirectory(const std::string& directory) { initialDirectory_ = directory; }
    // The filter shown first, counted from 1 (0 is taken as 1); the host
    // shows the first filter for one the filter list does not have.
    void SetFilterIndex(uint32_t index) { filterIndex_ = index ? index : 1; }
    // Nonzero when the user confirmed a path; 0 when cancelled (the path then
    // keeps its initial value) or when no host is registered.
    int Show();
    // What the host reports: the chosen full path and filter (from 1). The
    // title is the path's file part, cut to 64 UTF-16 units.
    void SetResult(const std::string& path, uint32_t filterIndex);
    const std::string& InitialFileName() const { return initialFileName_; }
    const std::string& Path() const { return fileName_; }
    const std::string& Title() const { return fileTitle_; }
    // The chosen filter (before Show, the one to show first), counted from 1.
    uint32_t FilterIndex() const { return filterIndex_; }

    bool IsSave() const { return save_; }
    const std::vector<std::pair<std::string, std::string>>& Filter() const { return filter_; }
    const std::string& DefaultExtension() const { return defaultExtension_; }
    const std::string& InitialDirectory() const { return initialDirectory_; }
    mtxWnd* Owner() const { return owner_; }

    // A whole number the user may set while one filter is chosen, such as the
    // quality of a JPEG file: the host shows it beside the filters and, when
    // the user confirms, leaves the number in value.
    struct NumberOption {
        std::string label;
        uint32_t filterIndex = 0;  // the filter it belongs to, from 1; 0: no option
        int minimum = 0, maximum = 0, value = 0;
    };
    NumberOption option;

    // For saving: the name the file will really get, from the name as typed
    // and the chosen filter (from 1), such as an extension added. The dialog
    // settles the name before it asks whether to replace an existing file, so
    // the question is about the file that will be written. Empty: as typed.
    std::function<std::string(const std::string& path, uint32_t filterIndex)> settleName;

  private:
    mtxWnd* owner_;
    bool save_;
    std::vector<std::pair<std::string, std::string>> filter_;
    std::string defaultExtension_;
    std::string initialDirectory_;
    std::string initialFileName_;
    std::string fileName_;
    std::string fileTitle_;
    uint32_t filterIndex_ = 1;
};
