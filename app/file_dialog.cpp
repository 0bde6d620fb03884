#include "app/file_dialog.h"

#include "platform/text.h"

mtxFileDialog::mtxFileDialog(mtxWnd* owner, bool save,
                             std::vector<std::pair<std::string, std::string>> filter,
                             const std::string& defaultExtension,
                             const std::string& initialFileName)
    : owner_(owner), save_(save), filter_(std::move(filter)), defaultExtension_(defaultExtension) {
    std::u16string name = mtxUtf8ToUtf16(initialFileName);
    if (name.size() > kFileNameUnits) name.resize(kFileNameUnits);
    fileName_ = mtxUtf16ToUtf8(name);
}

int mtxFileDialog::Show() {
    // FIXME: the dialog is drawn by the control toolkit, which does not exist
    // yet. Until it does the user cannot choose, which reads as a cancel: the
    // commands that need a path do nothing.
    return 0;
}
