// The samples dialog in a real window, for the check under a virtual display
// (samples_under_xvfb.sh): a top-level window holding an editor that shows
// the dialog over an empty collection. It tells the script, one line each on
// standard output, where to click and what happened:
//   load X Y      the Load button's centre in window coordinates
//   ok X Y        the Ok button's centre
//   file-dialog   the file dialog is shown
//   samples N I1 I2 ...   the dialog's list after the collection changed
//   closed        the dialog was closed; the program ends with 0
//
//   samples_window <settings file>
#include <cstdio>
#include <string>

#include "app/filling/lawn_sample_dlg.h"
#include "app/filling/lawn_sample_picker.h"
#include "base/application.h"
#include "base/wnd.h"
#include "fill/sample_collection.h"
#include "platform/window.h"
#include "ui/button.h"
#include "ui/file_dialog.h"
#include "ui/image_editor.h"

using namespace mtxOs;

namespace {

class CheckApp : public mtxApplication {
  public:
    CheckApp() : mtxApplication(nullptr, nullptr, "", SW_SHOWNORMAL) {}
    int Init() override { return 1; }
};

class TopWindow : public mtxWnd {
  public:
    LRESULT OnSize(WPARAM, LPARAM) override {
        RECT client;
        if (editor && GetClientRect(Handle(), client))
            MoveWindow(editor->Handle(), 0, 0, client.right, client.bottom, true);
        return 0;
    }
    LRESULT OnDestroy(WPARAM, LPARAM) override {
        PostQuitMessage(0);
        return 0;
    }
    mtxImageEditor* editor = nullptr;
};

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string Centre(const mtxIECtrl* c) {
    RECT r = c->EditorRect();
    return std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: samples_window <settings file>\n");
        return 2;
    }
    CheckApp app;
    app.settings.Open("Software\\Daubry\\SamplesCheck", argv[1]);
    TopWindow top;
    top.Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "Samples check", 0, 0, 640, 480, 0, nullptr);
    mtxImageEditor editor;
    top.editor = &editor;
    RECT client = {0, 0, 640, 480};
    GetClientRect(top.Handle(), client);
    if (!editor.Create(&top, 0, 0, client.right, client.bottom)) {
        std::fprintf(stderr, "samples_window: the editor has no device\n");
        return 1;
    }
    editor.Show(SW_SHOWNORMAL);
    top.Show(SW_SHOWNORMAL);
    {
        SampleCollection samples;
        samples.Bind(editor);
        mtxIEFileDialogHost host(&editor);
        host.onShown = [](mtxIEFileDialog&) { Say("file-dialog"); };
        app.fileDialogHost = &host;
        auto* dialog = new mtxIELawnSampleDlg(&editor, samples);
        Say("load " + Centre(dialog->replaceButton));
        Say("ok " + Centre(dialog->okButton));
        int shown = 0;
        MSG msg;
        while (editor.TopModal() && GetMessage(msg)) {
            TranslateMessage(msg);
            DispatchMessage(msg);
            if (samples.count != shown && editor.TopModal() == dialog) {
                shown = samples.count;
                std::string line = "samples " + std::to_string(dialog->picker->combo->Count());
                for (int i = 0; i < dialog->picker->combo->Count(); ++i)
                    line += " " + dialog->picker->combo->ItemText(i);
                Say(line);
            }
        }
        app.fileDialogHost = nullptr;
        editor.DeleteDeferred();
    }
    Say("closed");
    DestroyWindow(top.Handle());
    return 0;
}
