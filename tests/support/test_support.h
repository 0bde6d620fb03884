#pragma once
#include <functional>
#include <string>

#include "base/application.h"

namespace testing_support {

// A fresh, empty folder under the system's temporary folder, removed again
// when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// An application object for tests: no windows; its settings store is opened on
// a settings file in a temporary folder of its own. Constructing one measures
// the processor clock (300 ms), so share one per test program where possible.
class TestApp : public mtxApplication {
  public:
    TestApp();
    int Init() override { return 1; }
    std::string SettingsFile() const { return dir_.File("settings.reg"); }

  private:
    TempDir dir_;
};

// The application shared by the tests of one program, built on first use.
TestApp& SharedApp();

// Runs done once the tests have run, before the program exits: a device kept
// for all the tests of a program goes while nothing else is ending, so the
// driver's threads are joined long before the leak checker stops the rest.
void AtTestsEnd(std::function<void()> done);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace testing_support
