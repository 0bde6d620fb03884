// Covers mtxImageEditorVD, its MainToolBar and InstrumentBar, and the designer's
// Viewer::Menu: the program's editor window, its bars, their buttons and what they reach.
#include <gtest/gtest.h>

#include "app/document/add_layer_dlg.h"
#include "app/document/designer_options_bar.h"
#include "app/document/designer_viewer.h"
#include "app/editor/tool_button.h"
#include "tests/app/document/document_test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/frame_set.h"

using namespace document_test;
using namespace mtxOs;

namespace {

using EditorVD = Fixture;

std::vector<uint32_t> Pressed(mtxIEToolBar* bar) {
    std::vector<uint32_t> codes;
    for (mtxIECtrl* child : bar->children)
        if (auto* button = dynamic_cast<mtxIEToolButton*>(child))
            if (button->pressed) codes.push_back(button->action);
    return codes;
}

mtxIEToolButton* Button(mtxIEToolBar* bar, uint32_t code) {
    for (mtxIECtrl* child : bar->children)
        if (auto* button = dynamic_cast<mtxIEToolButton*>(child))
            if (button->action == code) return button;
    return nullptr;
}

TEST_F(EditorVD, BarsLieAroundTheDesignerWhichFillsTheRest) {
    RECT main = editor->mainToolBar->EditorRect(),
         instruments = editor->instrumentBar->EditorRect(), designer = Designer().EditorRect();
    EXPECT_EQ(main.top, 0);
    EXPECT_EQ(main.right, 800);
    EXPECT_EQ(instruments.top, main.bottom);
    EXPECT_EQ(instruments.left, 0);
    EXPECT_EQ(designer.left, instruments.right);
    EXPECT_EQ(designer.top, main.bottom);
    EXPECT_EQ(designer.right, 800);
    EXPECT_EQ(designer.bottom, 600);
    // The options bar along the designer's bottom, the viewer above it.
    RECT options = Designer().optionsBar->EditorRect(), view = Designer().viewer->EditorRect();
    EXPECT_EQ(options.bottom, 600);
    EXPECT_EQ(options.bottom - options.top, mtxIEDesigner::kOptionsBarHeight);
    EXPECT_EQ(view.bottom, options.top);
    EXPECT_EQ(editor->instrumentBar->children.size(), 11u);
    EXPECT_EQ(editor->mainToolBar->children.size(), 4u);
}

TEST_F(EditorVD, MainBarCodesPressTheirButtonAndOthersAreNotHandled) {
    EXPECT_EQ(Pressed(editor->mainToolBar), (std::vector<uint32_t>{1}));
    EXPECT_EQ(editor->Process(3, 0), 1);
    EXPECT_EQ(Pressed(editor->mainToolBar), (std::vector<uint32_t>{3}));
    for (uint32_t code : {5u, 6u, 7u, 8u}) EXPECT_EQ(editor->Process(code, 0), 1);
    EXPECT_EQ(Pressed(editor->mainToolBar), (std::vector<uint32_t>{3}));
    EXPECT_EQ(editor->Process(9, 0), 0);
    EXPECT_EQ(editor->Process(0, 0), 0);
    // A click on a button is the same.
    mtxIEToolButton* light = Button(editor->mainToolBar, 4);
    ASSERT_NE(light, nullptr);
    RECT r = light->EditorRect();
    ui_test::Click(*editor, r.left + 5, r.top + 5);
    ui_test::PumpPosted();
    EXPECT_EQ(Pressed(editor->mainToolBar), (std::vector<uint32_t>{4}));
}

TEST_F(EditorVD, TheInstrumentBarShowsTheToolThatExists) {
    EXPECT_EQ(Pressed(editor->instrumentBar), (std::vector<uint32_t>{17}));
    mtxIEToolButton* move = Button(editor->instrumentBar, 9);
    ASSERT_NE(move, nullptr);
    RECT r = move->EditorRect();
    ui_test::Click(*editor, r.left + 5, r.top + 5);
    ui_test::PumpPosted();
    EXPECT_EQ(Designer().CurrentTool(), nullptr);  // no move tool: none
    EXPECT_TRUE(Pressed(editor->instrumentBar).empty());
    EXPECT_NE(Designer().layerChooser, nullptr);
    editor->instrumentBar->Process(17, 0);
    EXPECT_NE(Designer().CurrentTool(), nullptr);
    EXPECT_EQ(Pressed(editor->instrumentBar), (std::vector<uint32_t>{17}));
    // Add Layer opens its dialog.
    editor->instrumentBar->Process(1, 0);
    EXPECT_NE(dynamic_cast<mtxIEDesigner::DlgAddLayer*>(editor->TopModal()), nullptr);
}

// Records where it was asked to show itself instead of tracking.
struct SpyMenu : mtxIEDesigner::Viewer::Menu {
    using Menu::Menu;
    int Show(int x, int y) override {
        shown.push_back({x, y});
        return 0;
    }
    std::vector<POINT> shown;
};

// Without a tool a right press in the viewer opens the layers menu at the
// pointer; with a tool the press is the tool's. The items reach the designer.
TEST_F(EditorVD, ARightPressInTheViewerWithoutAToolOpensTheLayersMenu) {
    auto* spy = new SpyMenu(editor.get(), &Designer());
    Designer().viewer->menu.reset(spy);
    ASSERT_EQ(spy->menu.items.size(), 2u);
    EXPECT_EQ(spy->menu.items[0].label, "Add Layer");
    EXPECT_EQ(spy->menu.items[1].label, "Add Layer From File");
    RECT view = Designer().viewer->EditorRect();
    int x = view.left + 40, y = view.top + 30;
    ui_test::Mouse(*editor, WM_RBUTTONDOWN, x, y, MK_RBUTTON);
    EXPECT_TRUE(spy->shown.empty());  // the filling tool is current
    Designer().Process(mtxIEDesigner::kFirstTool, 0);
    ui_test::Mouse(*editor, WM_RBUTTONDOWN, x, y, MK_RBUTTON);
    ASSERT_EQ(spy->shown.size(), 1u);
    EXPECT_EQ(spy->shown[0].x, x);
    EXPECT_EQ(spy->shown[0].y, y);
    EXPECT_EQ(spy->target, &Designer());
}

}  // namespace
