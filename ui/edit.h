#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/action_processor.h"
#include "ui/active_ctrl.h"

// A one-line text field: characters pass the mode's filter, the caret moves
// with the arrows, Shift extends a selection, Ctrl+X/C/V and the context menu
// (right button) cut, copy and paste through the clipboard, and every change
// notifies the target with value 0.
class mtxIEEdit : public mtxIEActiveCtrl, public mtxIEActionProcessor {
  public:
    enum Mode : uint32_t {
        kScroll = 1,    // the text may grow beyond the visible width
        kDigits = 2,    // digits only; a leading "0" gives way to what is typed
        kSpace = 4,     // a space is accepted
        kMinus = 8,     // a minus sign is accepted
        kAnyText = 16,  // every printable character, up to maxLength (paths)
    };
    enum MenuItem : uint32_t { kCut = 1, kCopy = 2, kPaste = 3 };
    // Without kAnyText no field holds more characters than this.
    static constexpr size_t kShortLimit = 64;

    explicit mtxIEEdit(mtxIECtrl* parent);

    // Replaces the text as it is (no filter), cut to the limit; the caret
    // goes to the end. Does not notify.
    void SetText(const std::string& utf8);
    std::string Text() const;
    const std::u32string& Chars() const { return text; }
    // How many characters the field can hold.
    size_t Limit() const;
    void SetCaret(size_t index, bool extend = false);
    void SelectAll();
    bool HasSelection() const { return anchor != caret; }
    // The selected characters' range [first, last).
    size_t SelectionStart() const { return anchor < caret ? anchor : caret; }
    size_t SelectionEnd() const { return anchor < caret ? caret : anchor; }

    // Copy and cut take the selection, or the whole text when nothing is
    // selected; paste feeds the clipboard's text through OnChar, so the same
    // filters apply.
    void Cut();
    void Copy();
    void Paste();

    void OnChar(uint32_t c, uint32_t repeat) override;
    void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) override;
    int OnLButtonDown(int x, int y, uint32_t keys) override;
    int OnLButtonDblClk(int x, int y, uint32_t keys) override;
    int OnMouseMove(int x, int y, uint32_t keys) override;
    int OnLButtonUp(int x, int y, uint32_t keys) override;
    int OnRButtonDown(int x, int y, uint32_t keys) override;
    int OnSetCursor(int x, int y) override;
    void OnCaptureLost() override;
    void OnKillFocus() override;
    // The context menu's items.
    int Process(uint32_t action, uint16_t value) override;
    void Draw(int x, int y, const RECT& clip) override;

    // The character index nearest to a local x.
    size_t IndexAt(int localX) const;
    int VisibleWidth() const { return Width() - leftMargin - rightMargin; }

    std::u32string text;
    size_t firstVisible = 0;
    size_t caret = 0;
    size_t anchor = 0;  // the other end of the selection
    int caretX = 0;     // local x of the caret
    int leftMargin = 2, rightMargin = 2;
    uint32_t mode = 0;
    size_t maxLength = 256;
    int menuOpen = 0;  // the context menu is up: the pointer is an arrow

  protected:
    // A change the user made: visible range, notification, redraw.
    void Changed();
    void UpdateVisible();
    int TextWidth(size_t from, size_t count) const;
    bool Accepts(char32_t c) const;
    void DeleteSelection();

  private:
    bool selecting_ = false;
};
