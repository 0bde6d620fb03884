#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testing_support {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "daubry-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

TestApp::TestApp() : mtxApplication(nullptr, nullptr, "", 0) {
    settings.Open("Software\\Ferrow\\Daubry", SettingsFile());
}

TestApp& SharedApp() {
    static TestApp app;
    return app;
}

void AtTestsEnd(std::function<void()> done) {
    struct Ending : ::testing::Environment {
        explicit Ending(std::function<void()> f) : done(std::move(f)) {}
        void TearDown() override {
            if (done) done();
            done = nullptr;
        }
        std::function<void()> done;
    };
    ::testing::AddGlobalTestEnvironment(new Ending(std::move(done)));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace testing_support
