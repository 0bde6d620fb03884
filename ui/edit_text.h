#pragma once
#include <cstddef>
#include <string>

// The text of an edit field with its caret, kept as code points so that no
// caret position and no edit ever falls inside a character's bytes.
class mtxIEEditText {
  public:
    void Set(const std::string& utf8);
    std::string Utf8() const;
    const std::u32string& Text() const { return text_; }
    size_t Caret() const { return caret_; }
    void SetCaret(size_t index) { caret_ = index > text_.size() ? text_.size() : index; }

    void Insert(char32_t c);
    void Insert(const std::string& utf8);
    void Backspace();
    void Delete();
    void Left() { SetCaret(caret_ ? caret_ - 1 : 0); }
    void Right() { SetCaret(caret_ + 1); }
    void Home() { caret_ = 0; }
    void End() { caret_ = text_.size(); }
    // Byte offset of the caret in Utf8().
    size_t CaretByte() const;

  private:
    std::u32string text_;
    size_t caret_ = 0;
};
