#pragma once
// A headless program editor with its document controller, a tool that
// records what the controller asks of it, and pictures written for tests.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/document/designer.h"
#include "app/editor/image_editor_vd.h"
#include "app/filling/mdf.h"
#include "tests/support/test_support.h"
#include "ui/file_dialog.h"

namespace document_test {

// Records the calls of the controller, with the picture the viewer showed
// at each.
class SpyTool : public mtxIEMdf {
  public:
    SpyTool(mtxIEViewer* viewer, mtxIEToolBar* bar, std::vector<std::string>* log)
        : mtxIEMdf(viewer, bar), viewer_(viewer), log_(log) {}
    ~SpyTool() override { log_->push_back("destroyed"); }
    void OnPictureOpening() override;
    void OnOptionsChanged() override { log_->push_back("options"); }
    void Suspend() override { log_->push_back("suspend"); }
    void Resume() override { log_->push_back("resume"); }
    void ResetBackground() override { log_->push_back("background"); }
    // The stack the viewer showed when OnPictureOpening came.
    mtxImageStack* stackAtOpening = nullptr;

  private:
    mtxIEViewer* viewer_;
    std::vector<std::string>* log_;
};

// RGBA pixels of width x height, each from its position and seed, as a PNG file.
std::string WritePng(const std::string& path, int width, int height, int seed = 0);

class Fixture : public ::testing::Test {
  protected:
    Fixture();
    ~Fixture() override;
    mtxIEDesigner& Designer() { return *editor->GetDesigner(); }
    // Replaces the controller's tool by a spy.
    SpyTool* InstallSpy();
    // Shows the save dialog; answer runs once it is up.
    int Save(std::function<void(mtxIEFileDialog&)> answer);

    testing_support::TempDir dir;
    std::unique_ptr<mtxImageEditorVD> editor;
    mtxIEFileDialogHost host;
    std::vector<std::string> told;  // the messages the user saw
    std::vector<std::string> log;   // the spy tool's calls
};

}  // namespace document_test
