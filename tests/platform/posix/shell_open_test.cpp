// Which program opens the help page: the first opener that exists.
#include "platform/shell_open.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/test_support.h"

namespace {

void MakeProgram(const std::string& path, bool executable = true) {
    testing_support::WriteFile(path, "#!/bin/sh\n");
    chmod(path.c_str(), executable ? 0755 : 0644);
}

TEST(ShellOpener, TheFirstThatExistsInOrderAndBrowserLast) {
    testing_support::TempDir dir;
    std::string a = dir.File("a"), b = dir.File("b");
    std::filesystem::create_directories(a);
    std::filesystem::create_directories(b);
    std::string path = a + ":" + b;
    EXPECT_EQ(mtxOs::FindShellOpener(path, nullptr), "");
    EXPECT_EQ(mtxOs::FindShellOpener(path, ""), "");
    EXPECT_EQ(mtxOs::FindShellOpener(path, "my-browser"), "");  // $BROWSER not found either
    MakeProgram(b + "/my-browser");
    EXPECT_EQ(mtxOs::FindShellOpener(path, "my-browser"), b + "/my-browser");
    EXPECT_EQ(mtxOs::FindShellOpener(path, (b + "/my-browser").c_str()), b + "/my-browser");
    MakeProgram(b + "/x-www-browser");
    EXPECT_EQ(mtxOs::FindShellOpener(path, "my-browser"), b + "/x-www-browser");
    MakeProgram(a + "/sensible-browser");
    EXPECT_EQ(mtxOs::FindShellOpener(path, "my-browser"), a + "/sensible-browser");
    // A file that cannot be run, or a folder, is no opener.
    MakeProgram(a + "/xdg-open", false);
    std::filesystem::create_directories(b + "/xdg-open");
    EXPECT_EQ(mtxOs::FindShellOpener(path, nullptr), a + "/sensible-browser");
    chmod((a + "/xdg-open").c_str(), 0755);
    EXPECT_EQ(mtxOs::FindShellOpener(path, nullptr), a + "/xdg-open");
}

}  // namespace
