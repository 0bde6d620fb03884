#include "tests/app/document/document_test_support.h"

#include "app/document/designer_options_bar.h"
#include "app/document/designer_viewer.h"
#include "platform/window.h"
#include "tests/oracles/png.h"

namespace document_test {

void SpyTool::OnPictureOpening() {
    log_->push_back("opening");
    stackAtOpening = viewer_->GetStack();
}

std::string WritePng(const std::string& path, int width, int height, int seed) {
    std::vector<uint8_t> rgba(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgba[(size_t(y) * width + x) * 4];
            p[0] = uint8_t(x * 3 + seed), p[1] = uint8_t(y * 5 + seed * 7);
            p[2] = uint8_t((x ^ y) + seed), p[3] = 255;
        }
    std::string bytes = oracle::EncodePng(rgba.data(), uint32_t(width), uint32_t(height));
    testing_support::WriteFile(path, bytes);
    return path;
}

Fixture::Fixture() : host(nullptr) {
    mtxOs::SetHeadless(true);
    testing_support::SharedApp();
    editor = std::make_unique<mtxImageEditorVD>();
    EXPECT_EQ(editor->CreateHeadless(800, 600), 1) << "no headless OpenGL 3.3 device";
    host = mtxIEFileDialogHost(editor.get());
    testing_support::SharedApp().fileDialogHost = &host;
    if (editor->GetDesigner())
        Designer().tell = [this](const std::string& text, const std::string&) {
            told.push_back(text);
        };
}

Fixture::~Fixture() {
    testing_support::SharedApp().fileDialogHost = nullptr;
    editor.reset();
}

SpyTool* Fixture::InstallSpy() {
    mtxIEDesigner& designer = Designer();
    auto* spy = new SpyTool(designer.viewer, designer.optionsBar, &log);
    designer.viewer->SetTool(spy);
    return spy;
}

int Fixture::Save(std::function<void(mtxIEFileDialog&)> answer) {
    host.onShown = std::move(answer);
    return Designer().Save();
}

}  // namespace document_test
