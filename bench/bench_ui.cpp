// Frames of the editor window at 1280 x 800: the whole window with two tool
// bars, a framed view and a dialog of 30 controls with text, in the skinned
// look (icon buttons, shaded button faces, the skinned dialog) and, for
// comparison, in flat colours; a dirty rectangle of 100 x 30; one string of
// 1000 glyphs. A frame ends with the present, which headless waits for the
// drawing to finish.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/window.h"
#include "ui/active_ctrl.h"
#include "ui/button.h"
#include "ui/dialog.h"
#include "ui/frame_set.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"
#include "ui/tool_bar.h"
#include "ui/wnd.h"

namespace {

// A control with a face, a frame and a line of text, as buttons and fields are.
class Labelled : public mtxIEActiveCtrl {
  public:
    Labelled(mtxIECtrl* parent, RECT r, std::string label) : mtxIEActiveCtrl(parent), text(label) {
        SetRect(r);
        textAlign = kAlignCenter;
        Show(1);
    }
    void Draw(int x, int y, const RECT& clip) override {
        IDirect3DDevice9* d = editor->GetDevice();
        RECT r = {x, y, x + Width(), y + Height()};
        mtxIEPrimitives::FillRect(d, r, pressed ? 0xFFB0B0B0 : profile->faceColor);
        mtxIEPrimitives::FrameRect(d, r, profile->shadowColor);
        DrawText(x, y, text, profile->textColor);
        mtxIECtrl::Draw(x, y, clip);
    }
    std::string text;
};

mtxIECtrl* ToolButton(mtxIECtrl* bar, int size, int icon, bool skinned) {
    if (!skinned) return new Labelled(bar, {0, 0, size, size}, std::to_string(icon));
    auto* button = new mtxIEButton(bar);
    button->SetRect({0, 0, size, size});
    button->icon = icon;
    button->Show(1);
    return button;
}

mtxIECtrl* DialogButton(mtxIECtrl* dialog, RECT r, std::string text, bool skinned) {
    if (!skinned) return new Labelled(dialog, r, text);
    auto* button = new mtxIEButton(dialog);
    button->SetRect(r);
    button->SetCaption(text);
    button->Show(1);
    return button;
}

struct Window {
    explicit Window(bool skinned = true) {
        mtxOs::SetHeadless(true);
        mtxDxTestSwitches().headlessWidth = 1280;
        mtxDxTestSwitches().headlessHeight = 800;
        ok = editor.CreateHeadless(1280, 800);
        if (!ok) return;
        auto* outer = new mtxIEFrameSet(editor.canvas.get());
        outer->SetDock(mtxIECtrl::kDockFill);
        outer->Show(1);
        auto* main = new mtxIEToolBar(outer);
        main->border = 1;
        main->Show(1);
        for (int i = 0; i < 4; ++i) main->AddItem(ToolButton(main, 28, i, skinned), 0, 20);
        auto* inner = new mtxIEFrameSet(outer);
        inner->orientation = mtxIEFrameSet::kSideBySide;
        inner->Show(1);
        auto* tools = new mtxIEToolBar(inner);
        tools->border = 1;
        tools->layout = mtxIEToolBar::kColumns;
        tools->Show(1);
        for (int i = 0; i < 11; ++i) tools->AddItem(ToolButton(tools, 32, 4 + i, skinned), 0, 20);
        auto* view = new mtxIEWnd(inner);
        view->ShowScrollBar(mtxIEWnd::kVertical, 1);
        view->ShowScrollBar(mtxIEWnd::kHorizontal, 1);
        view->SetScrollInfo(mtxIEWnd::kVertical, mtxIEWnd::kAll, {0, 999, 100, 0, 0});
        view->SetScrollInfo(mtxIEWnd::kHorizontal, mtxIEWnd::kAll, {0, 999, 100, 0, 0});
        view->Show(1);
        outer->SetPaneControl(0, main);
        outer->SetPaneControl(1, inner);
        outer->SetPane(0, 34, 34, 0);
        outer->SetPane(1, 0, 0, 100);
        inner->SetPaneControl(0, tools);
        inner->SetPaneControl(1, view);
        inner->SetPane(0, 44, 44, 0);
        inner->SetPane(1, 0, 0, 100);
        outer->Layout();

        mtxIECtrl* dialog;
        if (skinned) {
            auto* skin = new mtxIEDialog(&editor, 1);
            skin->SetTitleBar(1);
            skin->SetTitle("Filling options");
            dialog = skin;
        } else {
            auto* flat = new mtxIEWnd(&editor);
            flat->SetCaption("Filling options", 1);
            flat->Show(1);
            editor.PushModal(flat);
            dialog = flat;
        }
        dialog->SetRect(editor.CenterRect(420, 360));
        for (int i = 0; i < 30; ++i) {
            int col = i % 3, row = i / 3;
            DialogButton(dialog, {10 + col * 135, 28 + row * 32, 135 + col * 135, 52 + row * 32},
                         "Option " + std::to_string(i + 1), skinned);
        }
        editor.Paint();
    }
    ~Window() { mtxDxTestSwitches() = mtxDxTestSwitch{}; }

    mtxImageEditor editor;
    int ok = 0;
};

void FullFrame(benchmark::State& state) {
    Window w;
    if (!w.ok) return state.SkipWithError("no headless device");
    for (auto _ : state) {
        w.editor.AddDirty(w.editor.clientRect);
        w.editor.Paint();
    }
}
BENCHMARK(FullFrame)->Unit(benchmark::kMillisecond);

// The same window in flat colours, as before the skins.
void FullFrameFlat(benchmark::State& state) {
    Window w(false);
    if (!w.ok) return state.SkipWithError("no headless device");
    w.editor.defaultProfile.ReleaseSkins();
    for (auto _ : state) {
        w.editor.AddDirty(w.editor.clientRect);
        w.editor.Paint();
    }
}
BENCHMARK(FullFrameFlat)->Unit(benchmark::kMillisecond);

// The floor under FullFrame: clearing and finishing an empty window.
void EmptyFullFrame(benchmark::State& state) {
    mtxOs::SetHeadless(true);
    mtxDxTestSwitches().headlessWidth = 1280;
    mtxDxTestSwitches().headlessHeight = 800;
    mtxImageEditor editor;
    if (!editor.CreateHeadless(1280, 800)) return state.SkipWithError("no headless device");
    for (auto _ : state) {
        editor.AddDirty(editor.clientRect);
        editor.Paint();
    }
    mtxDxTestSwitches() = mtxDxTestSwitch{};
}
BENCHMARK(EmptyFullFrame)->Unit(benchmark::kMillisecond);

void DirtyFrame100x30(benchmark::State& state) {
    Window w;
    if (!w.ok) return state.SkipWithError("no headless device");
    for (auto _ : state) {
        w.editor.AddDirty({600, 420, 700, 450});
        w.editor.Paint();
    }
}
BENCHMARK(DirtyFrame100x30)->Unit(benchmark::kMillisecond);

// One draw of 1000 glyphs in a frame whose dirty rectangle holds the line.
class Line : public mtxIECtrl {
  public:
    explicit Line(mtxIECtrl* parent) : mtxIECtrl(parent) {
        SetRect({0, 0, 1280, 20});
        Show(1);
        for (int i = 0; i < 1000; ++i) text += char('!' + i % 90);
    }
    void Draw(int x, int y, const RECT&) override {
        profile->font->Draw(editor->GetDevice(), x, y, text, 0xFF000000);
    }
    std::string text;
};

void Glyphs1000(benchmark::State& state) {
    mtxOs::SetHeadless(true);
    mtxImageEditor editor;
    if (!editor.CreateHeadless(1280, 100) || !editor.controlFont)
        return state.SkipWithError("no headless device or font");
    new Line(editor.canvas.get());
    for (auto _ : state) {
        editor.AddDirty({0, 0, 1280, 20});
        editor.Paint();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(Glyphs1000)->Unit(benchmark::kMillisecond);

// Present (copy to the window and swap) needs the on-screen editor: see
// bench_present.

}  // namespace

BENCHMARK_MAIN();
