// Covers mtxImageEditorVD, its MainToolBar and InstrumentBar, and the designer's
// Viewer::Menu: the program's editor window, its bars, their buttons and what they reach.
#include <gtest/gtest.h>

#include "app/filling/mdf_field.h"

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
    RECT instruments = editor->instrumentBar->EditorRect(), designer = Designer().EditorRect();
    // The main bar along the top offers Light alone: the tools are the instrument bar's.
    ASSERT_EQ(editor->mainToolBar->children.size(), 1u);
    EXPECT_NE(Button(editor->mainToolBar, mtxImageEditorVD::kLight), nullptr);
    EXPECT_TRUE(editor->mainToolBar->IsVisible());
    RECT main = editor->mainToolBar->EditorRect();
    EXPECT_EQ(main.top, 0);
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
}

// Only tools that exist are offered: no button of either bar gives a tool
// that does not exist (and so takes the filling tool away); Move and Rotate
// lie over the filling tool, which stays at work.
TEST_F(EditorVD, OnlyTheToolsThatExistHaveButtons) {
    std::vector<uint32_t> codes;
    for (mtxIECtrl* child : editor->instrumentBar->children)
        if (auto* button = dynamic_cast<mtxIEToolButton*>(child)) codes.push_back(button->action);
    uint32_t fill = uint32_t(mtxIEDesigner::kFirstTool) + uint32_t(mtxIEDesigner::kToolFilling);
    uint32_t move = uint32_t(mtxIEDesigner::kFirstTool) + uint32_t(mtxIEDesigner::kToolMove);
    uint32_t rotate = move + 1;
    uint32_t brush = uint32_t(mtxIEDesigner::kFirstTool) + uint32_t(mtxIEDesigner::kToolBrush);
    uint32_t stamps = uint32_t(mtxIEDesigner::kFirstTool) + uint32_t(mtxIEDesigner::kToolStamps);
    uint32_t eraser = uint32_t(mtxIEDesigner::kFirstTool) + uint32_t(mtxIEDesigner::kToolEraser);
    EXPECT_EQ(codes, (std::vector<uint32_t>{
                         mtxIEDesigner::kUndo, mtxIEDesigner::kRedo, move, rotate, brush, stamps,
                         eraser, fill, mtxIEDesigner::kAddLayer, mtxIEDesigner::kAddLayerFromFile,
                         mtxIEDesigner::kResetBackground}));
    EXPECT_EQ(Pressed(editor->instrumentBar), (std::vector<uint32_t>{fill}));
    mtxIEMdf* tool = Designer().CurrentTool();
    ASSERT_NE(tool, nullptr);
    // Move, Rotate, the stamp hands, then Fill again: each shows pressed, and
    // the filling tool stays throughout.
    for (uint32_t code : {move, rotate, stamps, eraser, fill}) {
        RECT r = Button(editor->instrumentBar, code)->EditorRect();
        ui_test::Click(*editor, r.left + 5, r.top + 5);
        ui_test::PumpPosted();
        EXPECT_EQ(Designer().CurrentTool(), tool);
        EXPECT_EQ(Pressed(editor->instrumentBar), (std::vector<uint32_t>{code}));
    }
    // The brush is the filling tool's hand: the tool stays, with its run.
    auto* field = dynamic_cast<mtxIEMdfField*>(tool);
    ASSERT_NE(field, nullptr);
    RECT r = Button(editor->instrumentBar, brush)->EditorRect();
    ui_test::Click(*editor, r.left + 5, r.top + 5);
    ui_test::PumpPosted();
    EXPECT_EQ(Designer().CurrentTool(), tool);
    EXPECT_EQ(field->Hand(), mtxMapBrush::kProtect);
    EXPECT_EQ(Pressed(editor->instrumentBar), (std::vector<uint32_t>{brush}));
    field->SetHand(mtxMapBrush::kFiner);
    EXPECT_EQ(Designer().SelectTool(mtxIEDesigner::kToolBrush), 1);
    EXPECT_EQ(field->Hand(), mtxMapBrush::kFiner) << "a chosen hand stays";
    field->Process(mtxIEMdfField::kHand, mtxMapBrush::kNone);
    EXPECT_EQ(Pressed(editor->instrumentBar), (std::vector<uint32_t>{fill}))
        << "the bar follows the options bar's list";
    field->Process(mtxIEMdfField::kHand, mtxMapBrush::kCoarser);
    EXPECT_EQ(Pressed(editor->instrumentBar), (std::vector<uint32_t>{brush}));
    r = Button(editor->instrumentBar, fill)->EditorRect();
    ui_test::Click(*editor, r.left + 5, r.top + 5);
    ui_test::PumpPosted();
    EXPECT_EQ(field->Hand(), mtxMapBrush::kNone) << "Fill puts the hand away";
    // The main bar's codes reach the editor still, and change no tool.
    EXPECT_EQ(editor->Process(mtxImageEditorVD::kPaint, 0), 1);
    EXPECT_EQ(Designer().CurrentTool(), tool);
    // Add Layer reaches the designer: with no picture open, it says so.
    editor->instrumentBar->Process(mtxIEDesigner::kAddLayer, 0);
    EXPECT_EQ(editor->TopModal(), nullptr);
    EXPECT_EQ(told, (std::vector<std::string>{"Just open any image"}));
}

// The filling tool's button shows the bucket of the tool-bar picture beside
// its label, Move its arrows, the stamp brush a flower and the eraser its
// own; the others show their labels alone.
TEST_F(EditorVD, TheFillButtonShowsItsToolsIcon) {
    const uint32_t first = mtxIEDesigner::kFirstTool;
    uint32_t fill = first + uint32_t(mtxIEDesigner::kToolFilling);
    for (mtxIECtrl* child : editor->instrumentBar->children) {
        if (auto* button = dynamic_cast<mtxIEToolButton*>(child)) {
            const uint32_t a = button->action;
            int icon =
                a == fill                                           ? int(mtxIEProfile::kIconFill)
                : a == first + 0u                                   ? int(mtxIEProfile::kIconMove)
                : a == first + uint32_t(mtxIEDesigner::kToolStamps) ? int(mtxIEProfile::kIconFlower)
                : a == first + uint32_t(mtxIEDesigner::kToolEraser) ? int(mtxIEProfile::kIconEraser)
                                                                    : -1;
            EXPECT_EQ(button->icon, icon);
        }
    }
    // The icon's accent (its drop) shows on the button; not on Undo's.
    auto accent = [&](uint32_t code) {
        RECT r = Button(editor->instrumentBar, code)->EditorRect();
        editor->AddDirty(editor->clientRect);
        editor->Paint();
        ui_test::Pixels p = ui_test::ReadBack(*editor);
        int count = 0;
        for (int y = r.top + 1; y < r.bottom - 1; ++y)  // inside the button's frame
            for (int x = r.left + 1; x < r.left + 26; ++x) {
                uint32_t c = p.At(x, y);
                count += int(c & 0xFF) > int((c >> 16) & 0xFF) + 60;
            }
        return count;
    };
    EXPECT_GT(accent(fill), 4);
    EXPECT_EQ(accent(mtxIEDesigner::kUndo), 0);
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

std::vector<std::string> Labels(const std::vector<mtxOs::MenuItem>& items) {
    std::vector<std::string> labels;
    for (const mtxOs::MenuItem& item : items)
        labels.push_back(item.separator ? "-" : item.enabled ? item.label : "(" + item.label + ")");
    return labels;
}

// A right press in the viewer opens the layers menu at the pointer, with the
// filling tool at work; so does the menu key. Its items follow the picture
// and reach the designer.
TEST_F(EditorVD, ARightPressInTheViewerOpensTheLayersMenu) {
    auto* spy = new SpyMenu(editor.get(), &Designer());
    Designer().viewer->menu.reset(spy);
    RECT view = Designer().viewer->EditorRect();
    int x = view.left + 40, y = view.top + 30;
    ui_test::Mouse(*editor, WM_RBUTTONDOWN, x, y, MK_RBUTTON);
    ASSERT_EQ(spy->shown.size(), 1u);
    EXPECT_EQ(spy->shown[0].x, x);
    EXPECT_EQ(spy->shown[0].y, y);
    EXPECT_EQ(spy->target, &Designer());
    EXPECT_NE(Designer().CurrentTool(), nullptr);
    // Without a picture everything is greyed.
    EXPECT_EQ(Labels(spy->menu.items),
              (std::vector<std::string>{"(Add Layer)", "(Add Layer From File)", "(Remove Layer)",
                                        "-", "(Layer)", "(Opacity)"}));
    ASSERT_EQ(Designer().Open(WritePng(dir.File("a.png"), 40, 30), 0), 1);
    auto image = Designer().Picture()->GetLayer(0)->source->CreateSameKind(40, 30);
    ASSERT_EQ(Designer().AppendLayer(std::move(image)), 1);
    ui_test::Key(*editor, VK_APPS);
    ASSERT_EQ(spy->shown.size(), 2u);
    EXPECT_EQ(Labels(spy->menu.items),
              (std::vector<std::string>{"Add Layer", "Add Layer From File", "Remove Layer 2", "-",
                                        "Layer", "Opacity"}));
    const mtxOs::MenuItem& layers = spy->menu.items[4];
    EXPECT_EQ(Labels(layers.items), (std::vector<std::string>{"Layer 1", "Layer 2"}));
    EXPECT_TRUE(layers.items[1].checked);
    const mtxOs::MenuItem& opacity = spy->menu.items[5];
    EXPECT_EQ(Labels(opacity.items),
              (std::vector<std::string>{"100 %", "75 %", "50 %", "25 %", "0 %"}));
    // The items' codes: the bottom layer chosen, its opacity set to a half.
    Designer().Process(layers.items[0].id, 0);
    EXPECT_EQ(Designer().ChosenLayer(), 0);
    Designer().Process(opacity.items[2].id, 0);
    EXPECT_EQ(Designer().Picture()->GetLayer(0)->Opacity(), 128);
    spy->Refresh();
    EXPECT_EQ(spy->menu.items[2].label, "Remove Layer");
    EXPECT_FALSE(spy->menu.items[2].enabled);
    EXPECT_TRUE(spy->menu.items[5].items[2].checked);
}

}  // namespace
