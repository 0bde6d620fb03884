#include "ui/edit.h"

#include <algorithm>

#include "platform/clipboard.h"
#include "platform/font_face.h"
#include "platform/window.h"
#include "ui/edit_text.h"
#include "ui/flat_look.h"
#include "ui/font.h"
#include "ui/image_editor.h"
#include "ui/menu.h"
#include "ui/primitives.h"
#include "ui/strings.h"

using namespace mtxOs;

namespace {

bool KeyDown(uint32_t vk) {
    return GetKeyState(vk) < 0;
}

std::string Utf8(const std::u32string& text) {
    mtxIEEditText converter;
    for (char32_t c : text) converter.Insert(c);
    return converter.Utf8();
}

bool IsDigit(char32_t c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}

}  // namespace

mtxIEEdit::mtxIEEdit(mtxIECtrl* parent) : mtxIEActiveCtrl(parent) {
    rect = {0, 0, 100, (profile ? profile->lineHeight : 16) + 2};
    tabStop = 1;
}

size_t mtxIEEdit::Limit() const {
    return (mode & kAnyText) ? maxLength : std::min(maxLength, kShortLimit);
}

void mtxIEEdit::SetText(const std::string& utf8) {
    text = DecodeUtf8(utf8);
    if (text.size() > Limit()) text.resize(Limit());
    caret = anchor = text.size();
    firstVisible = 0;
    UpdateVisible();
    Invalidate();
}

std::string mtxIEEdit::Text() const {
    return Utf8(text);
}

void mtxIEEdit::SetCaret(size_t index, bool extend) {
    caret = std::min(index, text.size());
    if (!extend) anchor = caret;
    UpdateVisible();
    Invalidate();
}

void mtxIEEdit::SelectAll() {
    anchor = 0;
    caret = text.size();
    UpdateVisible();
    Invalidate();
}

int mtxIEEdit::TextWidth(size_t from, size_t count) const {
    if (!profile || !profile->font || from >= text.size()) return 0;
    count = std::min(count, text.size() - from);
    return profile->font->Width(text.substr(from, count), count);
}

void mtxIEEdit::UpdateVisible() {
    if (caret < firstVisible) firstVisible = caret;
    while (firstVisible < caret && TextWidth(firstVisible, caret - firstVisible) > VisibleWidth())
        ++firstVisible;
    caretX = leftMargin + TextWidth(firstVisible, caret - firstVisible);
}

void mtxIEEdit::Changed() {
    UpdateVisible();
    Notify(0);
    Invalidate();
}

bool mtxIEEdit::Accepts(char32_t c) const {
    if (c == ' ') return mode & (kSpace | kAnyText);
    if (c == '-') return mode & (kMinus | kAnyText);
    if (mode & kDigits) return IsDigit(c);
    if (IsDigit(c) || IsLetter(c)) return true;
    return (mode & kAnyText) && c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0);
}

void mtxIEEdit::DeleteSelection() {
    if (!HasSelection()) return;
    size_t from = SelectionStart(), to = SelectionEnd();
    text.erase(from, to - from);
    caret = anchor = from;
}

void mtxIEEdit::OnChar(uint32_t c, uint32_t repeat) {
    char32_t ch = char32_t(c);
    if (!Accepts(ch) || repeat == 0) return;
    if (!HasSelection() && text.size() >= Limit()) return;
    DeleteSelection();
    size_t count = std::min<size_t>(repeat, Limit() - text.size());
    if (!(mode & kScroll) && profile && profile->font) {
        // The whole text stays visible: only as many as fit.
        std::u32string one(1, ch);
        int used = TextWidth(0, text.size()), each = profile->font->Width(one, 1);
        size_t fit = each > 0 ? size_t(std::max(0, VisibleWidth() - used) / each) : count;
        count = std::min(count, fit);
    }
    if (count == 0) {
        Invalidate();
        return;
    }
    if ((mode & kDigits) && !text.empty() && text[0] == '0') {
        text.erase(0, 1);
        caret = caret ? caret - 1 : 0;
    }
    text.insert(caret, count, ch);
    caret += count;
    anchor = caret;
    Changed();
}

void mtxIEEdit::OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) {
    size_t n = std::max<uint32_t>(repeat, 1);
    bool shift = KeyDown(VK_SHIFT), control = KeyDown(VK_CONTROL);
    switch (key) {
        case VK_LEFT:
            if (HasSelection() && !shift)
                SetCaret(SelectionStart());
            else
                SetCaret(caret > n ? caret - n : 0, shift);
            return;
        case VK_RIGHT:
            if (HasSelection() && !shift)
                SetCaret(SelectionEnd());
            else
                SetCaret(caret + n, shift);
            return;
        case VK_HOME:
            SetCaret(0, shift);
            return;
        case VK_END:
            SetCaret(text.size(), shift);
            return;
        case VK_BACK:
            if (HasSelection()) {
                DeleteSelection();
            } else {
                size_t k = std::min(n, caret);
                if (k == 0) return;
                text.erase(caret - k, k);
                caret = anchor = caret - k;
            }
            Changed();
            return;
        case VK_DELETE:
            if (HasSelection()) {
                DeleteSelection();
            } else {
                size_t k = std::min(n, text.size() - caret);
                if (k == 0) return;
                text.erase(caret, k);
            }
            Changed();
            return;
        default:
            break;
    }
    if (control && (key == 'X' || key == 'x')) return Cut();
    if (control && (key == 'C' || key == 'c')) return Copy();
    if (control && (key == 'V' || key == 'v')) return Paste();
    if (control && (key == 'A' || key == 'a')) return SelectAll();
    mtxIEActiveCtrl::OnKeyDown(key, repeat, keyFlags);
}

void mtxIEEdit::Copy() {
    if (!editor) return;
    std::u32string part =
        HasSelection() ? text.substr(SelectionStart(), SelectionEnd() - SelectionStart()) : text;
    std::string bytes = Utf8(part);
    uint8_t* block = editor->BeginClipboardWrite(CF_UNICODETEXT, bytes.size());
    if (!block) return;
    std::copy(bytes.begin(), bytes.end(), block);
    editor->EndClipboardWrite();
}

void mtxIEEdit::Cut() {
    Copy();
    if (!HasSelection()) SelectAll();
    DeleteSelection();
    Changed();
}

void mtxIEEdit::Paste() {
    if (!editor) return;
    size_t size = 0;
    const uint8_t* data = editor->BeginClipboardRead(CF_UNICODETEXT, &size);
    if (!data) return;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    editor->EndClipboardRead();
    if (HasSelection()) {
        DeleteSelection();
        Changed();
    }
    for (char32_t c : DecodeUtf8(bytes)) OnChar(uint32_t(c), 1);
}

size_t mtxIEEdit::IndexAt(int localX) const {
    int x = localX - leftMargin;
    size_t i = firstVisible;
    while (i < text.size()) {
        int before = TextWidth(firstVisible, i - firstVisible);
        int after = TextWidth(firstVisible, i + 1 - firstVisible);
        if (x < (before + after) / 2) break;
        ++i;
    }
    return i;
}

int mtxIEEdit::OnLButtonDown(int x, int, uint32_t keys) {
    if (!HasFocus()) SetFocus();
    SetCaret(IndexAt(x - rect.left), keys & MK_SHIFT);
    selecting_ = true;
    if (editor) editor->SetCapture(this);
    return 1;
}

int mtxIEEdit::OnLButtonDblClk(int, int, uint32_t) {
    if (!HasFocus()) SetFocus();
    SelectAll();
    return 1;
}

int mtxIEEdit::OnMouseMove(int x, int y, uint32_t keys) {
    if (!selecting_) return mtxIEActiveCtrl::OnMouseMove(x, y, keys);
    SetCaret(IndexAt(x - rect.left), true);
    return 1;
}

int mtxIEEdit::OnLButtonUp(int, int, uint32_t) {
    selecting_ = false;
    if (editor) editor->ReleaseCapture(this);
    return 1;
}

int mtxIEEdit::OnRButtonDown(int x, int y, uint32_t) {
    if (!HasFocus()) SetFocus();
    menuOpen = 1;
    // The menu is made when it is shown: it holds nothing worth keeping.
    mtxIEMenu menu(editor, this);
    menu.AddItem(kCut, mtxIELoadString(240, "Cut").c_str());
    menu.AddItem(kCopy, mtxIELoadString(241, "Copy").c_str());
    menu.AddItem(kPaste, mtxIELoadString(242, "Paste").c_str());
    // Without a display the menu could never be answered.
    if (editor && !IsHeadless()) {
        POINT p = parent ? parent->LocalToEditor(POINT{x, y}) : POINT{x, y};
        menu.Show(p.x, p.y);
        menuOpen = 0;
    }
    return 1;
}

int mtxIEEdit::OnSetCursor(int, int) {
    SetCursor(LoadCursor(menuOpen ? SystemCursor::Arrow : SystemCursor::IBeam));
    return 1;
}

void mtxIEEdit::OnCaptureLost() {
    selecting_ = false;
    menuOpen = 0;
}

void mtxIEEdit::OnKillFocus() {
    selecting_ = false;
    menuOpen = 0;
    mtxIEActiveCtrl::OnKillFocus();
}

int mtxIEEdit::Process(uint32_t item, uint16_t) {
    menuOpen = 0;
    switch (item) {
        case kCut:
            Cut();
            return 1;
        case kCopy:
            Copy();
            return 1;
        case kPaste:
            Paste();
            return 1;
        default:
            return 0;
    }
}

void mtxIEEdit::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    RECT r = {x, y, x + Width(), y + Height()};
    if (profile) mtxIEFlatLook::Field(device, *profile, r, true);
    if (!profile || !profile->font) return;
    if (HasSelection() && HasFocus()) {
        size_t from = std::max(SelectionStart(), firstVisible), to = SelectionEnd();
        if (to > from) {
            int left = x + leftMargin + TextWidth(firstVisible, from - firstVisible);
            int right = x + leftMargin + TextWidth(firstVisible, to - firstVisible);
            mtxIEPrimitives::FillRect(device, {left, y + 2, right, y + Height() - 2},
                                      mtxIEFlatLook::Mix(0xFFFFFFFF, profile->selectionColor, 90));
        }
    }
    std::string visible = Utf8(text.substr(std::min(firstVisible, text.size())));
    profile->font->DrawAligned(device, {x + leftMargin, y, x + Width() - rightMargin, y + Height()},
                               visible, kAlignLeft, profile->textColor);
    if (HasFocus())
        mtxIEPrimitives::FillRect(device, {x + caretX, y + 2, x + caretX + 1, y + Height() - 2},
                                  profile->textColor);
    (void)clip;
}
