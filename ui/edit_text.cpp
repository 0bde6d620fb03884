#include "ui/edit_text.h"

#include "platform/font_face.h"

namespace {

void Append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

}  // namespace

void mtxIEEditText::Set(const std::string& utf8) {
    text_ = mtxOs::DecodeUtf8(utf8);
    caret_ = text_.size();
}

std::string mtxIEEditText::Utf8() const {
    std::string out;
    for (char32_t c : text_) Append(out, c);
    return out;
}

// Surrogates and values past U+10FFFF are no characters: they become U+FFFD.
void mtxIEEditText::Insert(char32_t c) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
    text_.insert(text_.begin() + ptrdiff_t(caret_), c);
    ++caret_;
}

void mtxIEEditText::Insert(const std::string& utf8) {
    for (char32_t c : mtxOs::DecodeUtf8(utf8)) Insert(c);
}

void mtxIEEditText::Backspace() {
    if (caret_ == 0) return;
    text_.erase(text_.begin() + ptrdiff_t(--caret_));
}

void mtxIEEditText::Delete() {
    if (caret_ < text_.size()) text_.erase(text_.begin() + ptrdiff_t(caret_));
}

size_t mtxIEEditText::CaretByte() const {
    std::string head;
    for (size_t i = 0; i < caret_; ++i) Append(head, text_[i]);
    return head.size();
}
