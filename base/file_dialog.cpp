#include "base/file_dialog.h"

#include "base/application.h"
#include "platform/text.h"

mtxFileDialog::mtxFileDialog(mtxWnd* owner, bool save,
                             std::vector<std::pair<std::string, std::string>> filter,
                             const std::string& defaultExtension,
                             const std::string& initialFileName)
    : owner_(owner), save_(save), filter_(std::move(filter)), defaultExtension_(defaultExtension) {
    std::u16string name = mtxUtf8ToUtf16(initialFileName);
    if (name.size() > kFileNameUnits) name.resize(kFileNameUnits);
    fileName_ = mtxUtf16ToUtf8(name);
    initialFileName_ = fileName_;
}

int mtxFileDialog::Show() {
    // The dialog is drawn by the editor's toolkit, a level above this one.
    mtxApplication* app = mtxGetApp();
    if (!app || !app->fileDialogHost) return 0;
    return app->fileDialogHost->Run(*this);
}

void mtxFileDialog::SetResult(const std::string& path, uint32_t filterIndex) {
    fileName_ = path;
    filterIndex_ = filterIndex ? filterIndex : 1;
    std::string file = path.substr(path.find_last_of('/') + 1);
    std::u16string title = mtxUtf8ToUtf16(file);
    if (title.size() > kFileTitleUnits) title.resize(kFileTitleUnits);
    fileTitle_ = mtxUtf16ToUtf8(title);
}
