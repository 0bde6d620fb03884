// The colour selector and the material box that opens it.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/color_selector.h"
#include "ui/edit.h"
#include "ui/material_box.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

TEST(ColorSelector, HexTextRoundTripsAndBadTextIsRefused) {
    uint32_t c = 0;
    EXPECT_EQ(mtxIEColorSelector::ParseHex("1a2B3c", c), 1);
    EXPECT_EQ(c, 0xFF1A2B3Cu);
    EXPECT_EQ(mtxIEColorSelector::ParseHex("#80FF0000", c), 1);
    EXPECT_EQ(c, 0x80FF0000u);
    for (const char* bad : {"", "12345", "1234567", "12345G", "#", "123456789"})
        EXPECT_EQ(mtxIEColorSelector::ParseHex(bad, c), 0) << bad;
    for (uint32_t v : {0xFF000000u, 0xFF123456u, 0x00000000u, 0x7FABCDEFu}) {
        ASSERT_EQ(mtxIEColorSelector::ParseHex(mtxIEColorSelector::HexText(v), c), 1);
        EXPECT_EQ(c, v);
    }
}

struct SelectorFixture : ::testing::Test {
    SelectorFixture() : editor(400, 300) { testing_support::SharedApp(); }
    Editor editor;
};

TEST_F(SelectorFixture, SwatchesAndTypedHexSetTheColourAndOkHandsItOver) {
    uint32_t chosen = 0;
    int calls = 0;
    auto* selector = new mtxIEColorSelector(&editor, 0xFF112233, [&](uint32_t c) {
        chosen = c;
        ++calls;
    });
    EXPECT_EQ(selector->hexField->Text(), "112233");
    selector->OnAction(mtxIEColorSelector::kSwatch + 5, 0);
    EXPECT_EQ(selector->Color(), mtxIEColorSelector::kPalette[5]);
    selector->hexField->SetText("");
    Type(editor, "00ff0");  // not a colour yet: the last one stays
    EXPECT_EQ(selector->Color(), mtxIEColorSelector::kPalette[5]);
    Type(editor, "0");
    EXPECT_EQ(selector->Color(), 0xFF00FF00u);
    Key(editor, VK_RETURN);
    PumpPosted();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(chosen, 0xFF00FF00u);
    EXPECT_EQ(editor.TopModal(), nullptr);
}

TEST_F(SelectorFixture, CancelHandsNothingOver) {
    int calls = 0;
    new mtxIEColorSelector(&editor, 0xFF112233, [&](uint32_t) { ++calls; });
    Key(editor, VK_ESCAPE);
    PumpPosted();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(editor.TopModal(), nullptr);
}

TEST_F(SelectorFixture, MaterialBoxOpensTheSelectorAndTakesTheColour) {
    ActionLog log;
    auto* box = new mtxIEMaterialBox(editor.canvas.get());
    box->rect = {10, 10, 60, 30};
    box->Show(1);
    box->SetAction(&log, 4, 1);
    EXPECT_EQ(box->Width(), 50);
    Click(editor, 20, 20);
    auto* selector = dynamic_cast<mtxIEColorSelector*>(editor.TopModal());
    ASSERT_NE(selector, nullptr);
    selector->OnAction(mtxIEColorSelector::kSwatch + 13, 0);
    selector->OnAction(mtxIEColorSelector::kOk, 0);
    EXPECT_EQ(box->Color(), mtxIEColorSelector::kPalette[13]);
    EXPECT_EQ(log.got.size(), 1u);
}

TEST_F(SelectorFixture, ABoxGoneBeforeOkIsNotTouched) {
    auto* box = new mtxIEMaterialBox(editor.canvas.get());
    box->Choose();
    auto* selector = dynamic_cast<mtxIEColorSelector*>(editor.TopModal());
    ASSERT_NE(selector, nullptr);
    editor.canvas->RemoveChild(box);
    selector->OnAction(mtxIEColorSelector::kOk, 0);  // would write into the deleted box
    EXPECT_EQ(editor.TopModal(), nullptr);
}

}  // namespace
