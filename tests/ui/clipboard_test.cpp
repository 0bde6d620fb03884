// The editor's clipboard: blocks of the program's own formats and text, the
// open-and-close discipline and the notice to a previous owner.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/clipboard.h"
#include "tests/ui/ui_test_support.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

class Watching : public Editor {
  public:
    int destroyed = 0;
    LRESULT OnDestroyClipboard(WPARAM w, LPARAM l) override {
        ++destroyed;
        return Editor::OnDestroyClipboard(w, l);
    }
};

TEST(Clipboard, APrivateBlockRoundTripsAndANewOwnerTellsTheOldOne) {
    Watching first;
    Editor second;
    uint32_t format = RegisterClipboardFormat("daubry_line_object");
    EXPECT_EQ(RegisterClipboardFormat("daubry_line_object"), format);
    EXPECT_GE(format, 0xC000u);
    uint8_t* block = first.BeginClipboardWrite(format, 5);
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "lines", 5);
    EXPECT_EQ(first.EndClipboardWrite(), 1);

    size_t size = 0;
    const uint8_t* read = second.BeginClipboardRead(format, &size);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(read), size), "lines");
    second.EndClipboardRead();

    ASSERT_NE(second.BeginClipboardWrite(CF_UNICODETEXT, 3), nullptr);
    EXPECT_EQ(first.destroyed, 1);
    std::memcpy(second.clipboardData.data(), "abc", 3);
    second.EndClipboardWrite();
    // Emptied: the private block is gone, the text is there.
    EXPECT_EQ(first.BeginClipboardRead(format, &size), nullptr);
    read = first.BeginClipboardRead(CF_UNICODETEXT, &size);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(read), size), "abc");
    first.EndClipboardRead();
}

TEST(Clipboard, AFailedReadClosesAndAnOpenClipboardRefusesASecondOpener) {
    Editor a, b;
    size_t size = 7;
    EXPECT_EQ(a.BeginClipboardRead(0xC123, &size), nullptr);
    EXPECT_EQ(size, 0u);
    ASSERT_NE(a.BeginClipboardWrite(CF_UNICODETEXT, 1), nullptr);  // opened again: closed before
    EXPECT_EQ(b.BeginClipboardWrite(CF_UNICODETEXT, 1), nullptr);  // a holds it open
    a.EndClipboardWrite();
    EXPECT_NE(b.BeginClipboardWrite(CF_UNICODETEXT, 1), nullptr);
    b.EndClipboardWrite();
    EXPECT_EQ(a.BeginClipboardWrite(0, 1), nullptr);
}

}  // namespace
