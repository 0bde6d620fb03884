#include "ui/file_dialog.h"

#include <algorithm>
#include <cctype>

#include "base/wnd.h"
#include "platform/folder.h"
#include "platform/os_file.h"
#include "platform/text.h"
#include "platform/window.h"
#include "ui/button.h"
#include "ui/check_box.h"
#include "ui/combo_box.h"
#include "ui/edit.h"
#include "ui/image_editor.h"
#include "ui/label.h"
#include "ui/list_box.h"
#include "ui/spin.h"

using namespace mtxOs;

namespace {

constexpr int kClientWidth = 500, kClientHeight = 330;
constexpr int kMinClientWidth = 380, kMinClientHeight = 250;

char Lower(char c) {
    return char(std::tolower(static_cast<unsigned char>(c)));
}

// Shell-style wildcards, * and ?, without regard to case.
bool WildcardMatch(const char* pattern, const char* name) {
    const char *star = nullptr, *resume = nullptr;
    while (*name) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == '?' || Lower(*pattern) == Lower(*name)) {
            ++pattern, ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return !*pattern;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
}

std::string Trim(const std::string& text) {
    size_t from = text.find_first_not_of(" \t\r\n"), to = text.find_last_not_of(" \t\r\n");
    return from == std::string::npos ? std::string() : text.substr(from, to - from + 1);
}

std::string ParentOf(const std::string& folder) {
    size_t slash = folder.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return folder.substr(0, slash);
}

// The overwrite question: OK replaces, Cancel keeps the dialog open.
class ReplaceQuestion : public mtxIEDlgOkCancel {
  public:
    ReplaceQuestion(mtxImageEditor* editor, mtxIEFileDialog* owner, const std::string& name)
        : mtxIEDlgOkCancel(editor), owner_(owner), life_(owner->LifeToken()) {
        title = "Confirm Save As";
        auto* text = new mtxIELabel(this);
        text->SetText(name + " already exists. Do you want to replace it?");
        int width = std::max(text->Width() + 20, 240);
        SetClientSize(width, 90);
        text->MoveTo(kBorder + 10, kTitleBarHeight + 12);
        CreateButtons();
        okButton->SetCaption("Yes");
        cancel->SetCaption("No");
        okButton->SetFocus();
        Center();
    }
    int OnAction(uint32_t code, uint16_t value) override {
        mtxIEDlgOkCancel::OnAction(code, value);
        if (!life_.expired() && (code == kOk || code == kCancel))
            owner_->OnAction(mtxIEFileDialog::kReplace, code == kOk ? 1 : 0);
        return 1;
    }

  private:
    mtxIEFileDialog* owner_;
    std::weak_ptr<const void> life_;
};

}  // namespace

mtxIEFileDialog::mtxIEFileDialog(mtxImageEditor* host, const mtxFileDialog& request,
                                 std::shared_ptr<Outcome> outcome)
    : mtxIEDlgOkCancel(host),
      save_(request.IsSave()),
      filter_(request.Filter()),
      defaultExtension_(request.DefaultExtension()),
      settleName_(request.settleName),
      outcome_(std::move(outcome)),
      optionFilter_(request.option.filterIndex) {
    title = save_ ? "Save As" : "Open";
    // As large as it likes, or as the editor allows.
    int roomWidth = editor ? editor->clientRect.right - 2 * kBorder : kClientWidth;
    int roomHeight = editor ? editor->clientRect.bottom - kTitleBarHeight : kClientHeight;
    SetClientSize(std::clamp(roomWidth, kMinClientWidth, kClientWidth),
                  std::clamp(roomHeight, kMinClientHeight, kClientHeight));
    int line = (profile ? profile->lineHeight : 16) + 4;
    int left = kBorder + 5, top = kTitleBarHeight + 6, right = Width() - kBorder - 5;

    parentButton = new mtxIEButton(this);
    parentButton->rect = {right - 110, top, right - 60, top + 22};
    parentButton->SetCaption("Up");
    parentButton->SetAction(this, kParent, 1);
    parentButton->Show(1);
    homeButton = new mtxIEButton(this);
    homeButton->rect = {right - 55, top, right, top + 22};
    homeButton->SetCaption("Home");
    homeButton->SetAction(this, kHome, 1);
    homeButton->Show(1);
    folderLabel = new mtxIELabel(this);
    folderLabel->rect = {left, top + 2, right - 115, top + 2 + line};

    // Below the lists: name, type and status rows, then the buttons.
    int listTop = top + 28, listBottom = Height() - kBorder - 30 - 3 * line - 24;
    folderList = new mtxIEListBox(this);
    int folderWidth = (right - left) / 3;
    folderList->SetRect({left, listTop, left + folderWidth, listBottom});
    folderList->SetAction(this, 0, 1);
    folderList->chooseAction = kFolderPicked;
    fileList = new mtxIEListBox(this);
    fileList->SetRect({left + folderWidth + 6, listTop, right, listBottom});
    fileList->SetAction(this, kFileSelected, 1);
    fileList->chooseAction = kFilePicked;

    int row = listBottom + 8;
    auto* nameLabel = new mtxIELabel(this);
    nameLabel->SetText("Name:");
    nameLabel->MoveTo(left, row + 1);
    pathField = new mtxIEEdit(this);
    pathField->mode = mtxIEEdit::kAnyText | mtxIEEdit::kScroll;
    pathField->maxLength = 4096;
    pathField->rect = {left + 50, row, right, row + line};
    pathField->Show(1);

    row += line + 6;
    filterBox = new mtxIEComboBox(this);
    filterBox->rect = {left + 50, row, right - 120, row + line};
    for (const auto& entry : filter_) filterBox->AddItem(entry.first);
    size_t first = request.FilterIndex() - 1;
    filterBox->Select(filter_.empty() ? -1 : first < filter_.size() ? int(first) : 0);
    filterBox->SetAction(this, kFilterChanged, 1);
    filterBox->Show(1);
    auto* typeLabel = new mtxIELabel(this);
    typeLabel->SetText("Type:");
    typeLabel->MoveTo(left, row + 1);
    hiddenBox = new mtxIECheckBox(this);
    hiddenBox->rect = {right - 110, row, right, row + line};
    hiddenBox->SetCaption("Hidden files");
    hiddenBox->SetAction(this, kHidden, 1);
    hiddenBox->Show(1);

    statusLabel = new mtxIELabel(this);
    statusLabel->rect = {left, row + line + 4, right, row + 2 * line + 4};
    statusLabel->color = 0xFFB00000;
    if (optionFilter_) {
        // At the right of the status row, so that the other controls keep
        // their places with or without it.
        int optionTop = row + line + 4;
        optionSpin = new mtxIESpin(this);
        optionSpin->SetRect({right - 70, optionTop, right, optionTop + line});
        optionSpin->SetRange(request.option.minimum, request.option.maximum);
        optionSpin->SetValue(request.option.value);
        optionLabel = new mtxIELabel(this);
        optionLabel->SetText(request.option.label);
        int labelLeft = right - 76 - optionLabel->Width();
        optionLabel->MoveTo(labelLeft, optionTop + 1);
        ShowOption();
    }

    CreateButtons();
    okButton->SetCaption(save_ ? "Save" : "Open");
    // Enter in the path field or a list reaches the dialog's OK only when
    // the control itself does not take it.
    pathField->SetText(request.InitialFileName());
    pathField->SetFocus();

    std::string start = request.InitialDirectory();
    if (start.empty()) start = CurrentDirectory();
    std::string initial = request.InitialFileName();
    if (!initial.empty() && initial.find('/') != std::string::npos) {
        // A full initial name names its folder too.
        std::string full = FullPath(initial);
        start = ParentOf(full);
        pathField->SetText(full.substr(full.find_last_of('/') + 1));
    }
    Navigate(FullPath(start));
    Center();
    Invalidate();
}

mtxIEFileDialog::~mtxIEFileDialog() {
    // However the dialog goes, whoever waits for it stops waiting.
    if (outcome_) outcome_->done = true;
}

void mtxIEFileDialog::ShowOption() {
    if (!optionSpin) return;
    bool shown = uint32_t(filterBox->Selection() + 1) == optionFilter_;
    optionLabel->Show(shown);
    optionSpin->Show(shown);
    // The status gives the option its room while it shows.
    statusLabel->rect.right = shown ? optionLabel->rect.left - 6 : optionSpin->rect.right;
    Invalidate();
}

void mtxIEFileDialog::SetStatus(const std::string& text) {
    status_ = text;
    statusLabel->SetText(text, false);
}

int mtxIEFileDialog::Navigate(const std::string& folder) {
    std::vector<FolderEntry> entries;
    std::string error;
    if (!ListFolder(folder, entries, error)) {
        SetStatus("Cannot read " + folder + ": " + error);
        if (folder_.empty()) {
            // Nothing shown yet: show the folder, empty, so the user can move on.
            folder_ = folder;
            folderLabel->SetText(folder_, false);
            folderList->Clear();
            fileList->Clear();
        }
        return 0;
    }
    folder_ = folder;
    folderLabel->SetText(folder_, false);
    SetStatus("");
    Fill();
    return 1;
}

void mtxIEFileDialog::Fill() {
    std::vector<FolderEntry> entries;
    std::string error;
    ListFolder(folder_, entries, error);
    bool hidden = hiddenBox->IsChecked();
    std::vector<std::string> folders, files;
    for (const FolderEntry& e : entries) {
        if (!hidden && !e.name.empty() && e.name[0] == '.') continue;
        if (e.isFolder)
            folders.push_back(e.name);
        else if (Matches(e.name))
            files.push_back(e.name);
    }
    std::sort(folders.begin(), folders.end(), LessIgnoringCase);
    std::sort(files.begin(), files.end(), LessIgnoringCase);
    folderList->Clear();
    for (const std::string& name : folders) folderList->AddItem(name);
    fileList->Clear();
    for (const std::string& name : files) fileList->AddItem(name);
}

bool mtxIEFileDialog::Matches(const std::string& name) const {
    int chosen = filterBox->Selection();
    if (chosen < 0 || chosen >= int(filter_.size())) return true;
    const std::string& patterns = filter_[size_t(chosen)].second;
    size_t from = 0;
    while (from <= patterns.size()) {
        size_t end = patterns.find(';', from);
        std::string one = Trim(patterns.substr(from, end - from));
        // "*.*" means every file, with an extension or not.
        if (one == "*.*" || one == "*" ||
            (!one.empty() && WildcardMatch(one.c_str(), name.c_str())))
            return true;
        if (end == std::string::npos) break;
        from = end + 1;
    }
    return false;
}

std::string mtxIEFileDialog::Resolve(const std::string& typed) const {
    std::string text = Trim(typed);
    if (text == "~" || text.rfind("~/", 0) == 0) text = HomeFolder() + text.substr(1);
    if (text.empty() || text[0] != '/') text = folder_ + "/" + text;
    return FullPath(text);
}

void mtxIEFileDialog::Accept() {
    std::string text = Trim(pathField->Text());
    if (text.empty()) {
        if (fileList->Selection() < 0) {
            SetStatus("Type a file name or choose a file.");
            return;
        }
        text = fileList->items[size_t(fileList->Selection())].text;
    }
    std::string path = Resolve(text);
    if (IsDirectory(path)) {
        if (Navigate(path)) pathField->SetText("");
        return;
    }
    std::string file = path.substr(path.find_last_of('/') + 1);
    if (save_ && !defaultExtension_.empty() && file.find('.') == std::string::npos) {
        path += "." + defaultExtension_;
        file += "." + defaultExtension_;
    }
    if (save_ && settleName_) {
        path = settleName_(path, uint32_t(std::max(0, filterBox->Selection()) + 1));
        file = path.substr(path.find_last_of('/') + 1);
    }
    std::string parent = ParentOf(path);
    if (!IsDirectory(parent)) {
        SetStatus("The folder " + parent + " does not exist.");
        return;
    }
    if (!save_) {
        if (!IsRegularFile(path)) {
            SetStatus(file + ": no such file.");
            return;
        }
        Finish(path);
        return;
    }
    if (Exists(path)) {
        AskToReplace(path);
        return;
    }
    Finish(path);
}

void mtxIEFileDialog::AskToReplace(const std::string& path) {
    pendingPath_ = path;
    question = new ReplaceQuestion(editor, this, path.substr(path.find_last_of('/') + 1));
}

void mtxIEFileDialog::Finish(const std::string& path) {
    if (outcome_) {
        outcome_->path = path;
        outcome_->filterIndex = uint32_t(std::max(0, filterBox->Selection()) + 1);
        if (optionSpin) outcome_->optionValue = optionSpin->Value();
        outcome_->chosen = 1;
        outcome_->done = true;
    }
    Close();
}

int mtxIEFileDialog::OnAction(uint32_t code, uint16_t value) {
    switch (code) {
        case kOk:
            // The focused list's own choice comes first.
            if (editor && editor->focus == folderList && folderList->Selection() >= 0)
                return OnAction(kFolderPicked, uint16_t(folderList->Selection()));
            Accept();
            return 1;
        case kCancel:
            if (outcome_) outcome_->done = true;
            Close();
            return 1;
        case kFolderPicked:
            if (value < folderList->items.size())
                Navigate(folder_ == "/" ? "/" + folderList->items[value].text
                                        : folder_ + "/" + folderList->items[value].text);
            return 1;
        case kFileSelected:
            if (value < fileList->items.size()) pathField->SetText(fileList->items[value].text);
            return 1;
        case kFilePicked:
            if (value < fileList->items.size()) {
                pathField->SetText(fileList->items[value].text);
                Accept();
            }
            return 1;
        case kFilterChanged:
            Fill();
            ShowOption();
            return 1;
        case kParent:
            Navigate(ParentOf(folder_));
            return 1;
        case kHome:
            Navigate(HomeFolder());
            return 1;
        case kHidden:
            Fill();
            return 1;
        case kReplace:
            question = nullptr;
            if (value)
                Finish(pendingPath_);
            else if (pathField)
                pathField->SetFocus();
            return 1;
        default:
            return 0;
    }
}

int mtxIEFileDialogHost::Run(mtxFileDialog& request) {
    if (!editor_ || running_) return 0;
    running_ = true;
    auto outcome = std::make_shared<mtxIEFileDialog::Outcome>();
    auto* dialog = new mtxIEFileDialog(editor_, request, outcome);
    editor_->Paint();
    if (onShown) onShown(*dialog);
    HWND owner = request.Owner() ? request.Owner()->Handle() : nullptr;
    MSG msg;
    while (!outcome->done) {
        if (!GetMessage(msg)) {
            // The program is ending: the outer loop must see the quit too.
            PostQuitMessage(int(msg.wParam));
            break;
        }
        // The owner's menu stays out of it while the dialog runs.
        if (owner && msg.hwnd == owner && msg.message == WM_COMMAND) continue;
        TranslateMessage(msg);
        DispatchMessage(msg);
    }
    running_ = false;
    if (!outcome->done) {
        // Ended by a quit: the dialog goes as a cancel would.
        if (editor_->TopModal() == dialog) dialog->Close();
        return 0;
    }
    if (!outcome->chosen) return 0;
    request.SetResult(outcome->path, outcome->filterIndex);
    if (request.option.filterIndex) request.option.value = outcome->optionValue;
    return 1;
}
