#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ui/action_processor.h"
#include "ui/dialog.h"

class SampleCollection;
class mtxIEButton;
class mtxIELawnSamplePicker;

// The samples dialog: the picker over the collection and four buttons. Ok
// closes; Add adds a picture or a collection's samples; Load (while the
// collection is empty) or Change (while it holds samples) replaces the
// collection by one read from a file; Save writes the collection file.
// Every operation acts on the collection at once: there is no cancel.
class mtxIELawnSampleDlg : public mtxIEDialog, public mtxIEActionProcessor {
  public:
    enum Action : uint32_t { kOk = 1, kAdd = 2, kReplace = 3, kSave = 4 };

    mtxIELawnSampleDlg(mtxImageEditor* editor, SampleCollection& samples);

    // Ok (or Escape) posts action to target once the dialog is closed; a
    // target gone by then hears nothing.
    void SetCloseAction(mtxIEActionProcessor* target, uint32_t action);
    // "Change" while the collection holds samples, else "Load".
    void UpdateReplaceCaption();
    // Asks where and saves the collection; nothing when it is empty. 1 when saved.
    int SaveToFile();
    // Files dropped on the dialog: added as Add adds a picked file.
    int AddFiles(const std::vector<std::string>& paths);
    int Process(uint32_t action, uint16_t value) override;

    mtxIELawnSamplePicker* picker = nullptr;
    mtxIEButton* okButton = nullptr;
    mtxIEButton* addButton = nullptr;
    mtxIEButton* replaceButton = nullptr;
    mtxIEButton* saveButton = nullptr;
    bool showsChange = false;  // which caption the replace button shows

  private:
    SampleCollection& samples_;
    mtxIEActionProcessor* closeTarget_ = nullptr;
    uint32_t closeAction_ = 0;
};
