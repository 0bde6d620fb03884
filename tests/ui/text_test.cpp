// Text through the glyph atlas, checked against the font face's own drawing
// into memory, and edit text that never splits a character.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "platform/bitmap.h"
#include "tests/ui/ui_test_support.h"
#include "ui/edit_text.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

class Writer : public mtxIECtrl {
  public:
    Writer(mtxIECtrl* parent, std::function<void(int, int)> fn) : mtxIECtrl(parent), draw(fn) {
        SetRect({0, 0, 300, 60});
        Show(1);
    }
    void Draw(int x, int y, const RECT&) override { draw(x, y); }
    std::function<void(int, int)> draw;
};

Pixels Write(Editor& editor, std::function<void(int, int)> fn) {
    auto* w = new Writer(editor.canvas.get(), fn);
    editor.AddDirty({0, 0, 300, 60});
    editor.Paint();
    Pixels p = ReadBack(editor);
    editor.canvas->RemoveChild(w);
    return p;
}

TEST(Text, AStringMatchesTheFontFacesOwnDrawing) {
    Editor editor;
    ASSERT_NE(editor.controlFont, nullptr) << "no font found through fontconfig";
    const std::string text = "Hello, Wörld! 0123";
    Pixels p = Write(editor, [&](int, int) {
        EXPECT_EQ(editor.controlFont->Draw(editor.GetDevice(), 10, 20, text, 0xFF000000), 1);
    });
    // The oracle: the face draws the same string into a white bitmap.
    std::unique_ptr<FontFace> face = FontFace::Open("Arial", 13, 400, false);
    ASSERT_NE(face, nullptr);
    Bitmap want;
    want.Resize(300, 60, 0xFFFFFFFF);
    face->Draw(want, 10, 20 + face->Metrics().ascent, text, 0xFF000000, 0, 0, 300, 60);
    int inked = 0, worst = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 300; ++x) {
            int got = int(p.At(x, y) & 0xFF), expect = int(want.Row(y)[x] & 0xFF);
            inked += expect < 128;
            worst = std::max(worst, std::abs(got - expect));
        }
    EXPECT_GT(inked, 50);
    EXPECT_LE(worst, 3);
}

TEST(Text, AlignmentPlacesTheLineAndWideTextStartsLeft) {
    Editor editor;
    ASSERT_NE(editor.controlFont, nullptr);
    mtxIEFont& font = *editor.controlFont;
    auto inkColumns = [](const Pixels& p) {
        int first = 1 << 30, last = -1;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 300; ++x)
                if ((p.At(x, y) & 0xFF) < 0x80)
                    first = std::min(first, x), last = std::max(last, x);
        return std::make_pair(first, last);
    };
    const RECT box = {20, 10, 220, 40};
    auto right = inkColumns(Write(
        editor, [&](int, int) { font.DrawAligned(editor.GetDevice(), box, "Ok", 1, 0xFF000000); }));
    EXPECT_LE(right.second, 219);
    EXPECT_GE(right.second, 219 - 3);
    auto centred = inkColumns(Write(
        editor, [&](int, int) { font.DrawAligned(editor.GetDevice(), box, "Ok", 2, 0xFF000000); }));
    EXPECT_NEAR((centred.first + centred.second) / 2.0, 120, 4);
    std::string wide(60, 'W');
    auto left = inkColumns(Write(
        editor, [&](int, int) { font.DrawAligned(editor.GetDevice(), box, wide, 1, 0xFF000000); }));
    EXPECT_LE(left.first, 22);
}

TEST(Text, AGlyphOutsideTheAtlasIsDrawnOnlyOncePrepared) {
    Editor editor;
    ASSERT_NE(editor.controlFont, nullptr);
    mtxIEFont& font = *editor.controlFont;
    const std::string omega = "\xCE\xA9";  // U+03A9
    auto ink = [](const Pixels& p) {
        int n = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 300; ++x) n += (p.At(x, y) & 0xFF) < 0x80;
        return n;
    };
    EXPECT_EQ(font.Find(0x3A9), nullptr);
    EXPECT_EQ(ink(Write(editor,
                        [&](int, int) { font.Draw(editor.GetDevice(), 5, 5, omega, 0xFF000000); })),
              0);
    uint64_t version = font.atlasVersion;
    EXPECT_EQ(font.Prepare(omega), 1);
    EXPECT_GT(font.atlasVersion, version);
    EXPECT_GT(ink(Write(editor,
                        [&](int, int) { font.Draw(editor.GetDevice(), 5, 5, omega, 0xFF000000); })),
              5);
}

TEST(EditText, TheCaretMovesByWholeCharacters) {
    mtxIEEditText t;
    t.Set("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");  // a, é, €, 😀
    EXPECT_EQ(t.Text().size(), 4u);
    EXPECT_EQ(t.CaretByte(), 10u);
    t.Left();
    EXPECT_EQ(t.CaretByte(), 6u);
    t.Left();
    EXPECT_EQ(t.CaretByte(), 3u);
    t.Backspace();  // removes é whole
    EXPECT_EQ(t.Utf8(), "a\xE2\x82\xAC\xF0\x9F\x98\x80");
    t.Delete();  // removes € whole
    EXPECT_EQ(t.Utf8(), "a\xF0\x9F\x98\x80");
    t.Insert(char32_t(0xD800));  // a lone surrogate is no character
    EXPECT_EQ(t.Utf8(), "a\xEF\xBF\xBD\xF0\x9F\x98\x80");
    t.End();
    t.Right();
    EXPECT_EQ(t.Caret(), t.Text().size());
    t.Home();
    t.Left();
    t.Backspace();
    EXPECT_EQ(t.Caret(), 0u);
    t.Set("\xE2\x82");  // cut short: replacement characters, never the bytes
    for (char32_t c : t.Text()) EXPECT_EQ(c, char32_t(0xFFFD));
}

}  // namespace
