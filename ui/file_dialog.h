#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/file_dialog.h"
#include "ui/dlg_ok_cancel.h"

class mtxIEButton;
class mtxIECheckBox;
class mtxIEComboBox;
class mtxIEEdit;
class mtxIELabel;
class mtxIEListBox;
class mtxIESpin;

// The open and save dialog drawn by the toolkit: folders on the left, the
// files that match the chosen filter on the right, a path field that takes a
// name, a path relative to the shown folder, an absolute path or one that
// starts with "~", parent and home buttons and a switch for hidden entries.
// OK (or Enter) takes the field, or the selected file; for saving, an
// existing file is only taken after the user agrees to replace it.
class mtxIEFileDialog : public mtxIEDlgOkCancel {
  public:
    // What the dialog reports to whoever waits for it; shared so that the
    // waiting loop can read it after the dialog is gone.
    struct Outcome {
        bool done = false;
        int chosen = 0;
        std::string path;
        uint32_t filterIndex = 1;
        int optionValue = 0;  // the number option's, when the request has one
    };
    enum Action : uint32_t {
        kFolderPicked = 10,  // a folder chosen in the folder list
        kFileSelected,       // a file selected in the file list
        kFilePicked,         // a file chosen (double click, Enter)
        kFilterChanged,
        kParent,
        kHome,
        kHidden,
        kReplace,  // the answer to the overwrite question: 1 replace
    };

    mtxIEFileDialog(mtxImageEditor* editor, const mtxFileDialog& request,
                    std::shared_ptr<Outcome> outcome);
    ~mtxIEFileDialog() override;

    // Shows folder; on failure keeps what was shown (or, at the start, shows
    // the folder empty) and says why in the status line. 1 on success.
    int Navigate(const std::string& folder);
    // What OK does with the path field's text (or the selected file).
    void Accept();
    // The full path that text names, seen from the shown folder.
    std::string Resolve(const std::string& text) const;
    // Whether a file name matches the chosen filter's patterns.
    bool Matches(const std::string& name) const;
    const std::string& Folder() const { return folder_; }
    const std::string& Status() const { return status_; }

    int OnAction(uint32_t action, uint16_t value) override;

    mtxIELabel* folderLabel = nullptr;
    mtxIELabel* statusLabel = nullptr;
    mtxIEListBox* folderList = nullptr;
    mtxIEListBox* fileList = nullptr;
    mtxIEEdit* pathField = nullptr;
    mtxIEComboBox* filterBox = nullptr;
    mtxIECheckBox* hiddenBox = nullptr;
    mtxIEButton* parentButton = nullptr;
    mtxIEButton* homeButton = nullptr;
    // The request's number option, shown while its filter is chosen; null
    // without one.
    mtxIELabel* optionLabel = nullptr;
    mtxIESpin* optionSpin = nullptr;
    mtxIEDialog* question = nullptr;  // the open overwrite question

  private:
    void Fill();
    void ShowOption();
    void SetStatus(const std::string& text);
    void Finish(const std::string& path);
    void AskToReplace(const std::string& path);

    bool save_;
    std::vector<std::pair<std::string, std::string>> filter_;
    std::string defaultExtension_;
    std::function<std::string(const std::string&, uint32_t)> settleName_;
    std::string folder_;
    std::string status_;
    std::string pendingPath_;  // waits for the overwrite answer
    std::shared_ptr<Outcome> outcome_;
    uint32_t optionFilter_ = 0;  // the number option's filter, from 1; 0: none
};

// Shows mtxIEFileDialog over an editor and waits for it in a loop of its own,
// so that mtxFileDialog::Show stays synchronous. While it waits, menu
// commands to the owner window are dropped and a second dialog is refused.
class mtxIEFileDialogHost : public mtxFileDialogHost {
  public:
    explicit mtxIEFileDialogHost(mtxImageEditor* editor) : editor_(editor) {}
    int Run(mtxFileDialog& request) override;
    bool Running() const { return running_; }

    // Tests answer the dialog here: called once it is shown.
    std::function<void(mtxIEFileDialog&)> onShown;

  private:
    mtxImageEditor* editor_;
    bool running_ = false;
};
