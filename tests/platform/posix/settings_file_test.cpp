#include "platform/settings_file.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

mtxSettingsFile::Value Dword(uint32_t v) {
    return {mtxSettingsFile::kTypeDword,
            {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}};
}

TEST(SettingsFile, MalformedLinesAreSkippedAndKeptVerbatim) {
    TempDir dir;
    std::string path = dir.File("s.reg");
    WriteFile(path,
              "; written by hand\n"
              "[A]\n"
              "\"good\"=dword:0000002a\n"
              "this line is nonsense\n"
              "\"short\"=dword:12\n"
              "\"unterminated\"=\"abc\n"
              "\"after\"=\"ok\"\n"
              "[B\n"
              "\"b\"=dword:00000001\n");
    mtxSettingsFile file(path);
    mtxSettingsFile::Value v;
    ASSERT_TRUE(file.ReadValue("A", "good", v));
    EXPECT_EQ(v.bytes, Dword(42).bytes);
    EXPECT_FALSE(file.ReadValue("A", "short", v));
    EXPECT_FALSE(file.ReadValue("A", "unterminated", v));
    ASSERT_TRUE(file.ReadValue("A", "after", v));
    EXPECT_EQ(v.type, mtxSettingsFile::kTypeString);
    // "[B" is no header, so "b" belongs to section A.
    EXPECT_TRUE(file.ReadValue("A", "b", v));

    ASSERT_TRUE(file.WriteValue("A", "new", Dword(5)));
    std::string text = ReadFile(path);
    for (const char* kept : {"; written by hand\n", "this line is nonsense\n",
                             "\"short\"=dword:12\n", "\"unterminated\"=\"abc\n", "[B\n"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept;
    EXPECT_NE(text.find("\"new\"=dword:00000005"), std::string::npos);
    EXPECT_TRUE(file.ReadValue("A", "good", v));
}

TEST(SettingsFile, GarbageNeverCrashesAndStaysWritable) {
    TempDir dir;
    std::string path = dir.File("s.reg");
    std::string garbage;
    uint32_t seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245 + 12345;
        const char pool[] = "[]\"=\\:dwor0f\n\r x\xff";
        garbage += pool[(seed >> 16) % (sizeof pool - 1)];
    }
    WriteFile(path, garbage);
    mtxSettingsFile file(path);
    mtxSettingsFile::Value v;
    file.ReadValue("x", "y", v);
    EXPECT_TRUE(file.WriteValue("Sect", "name", Dword(1)));
    EXPECT_TRUE(file.ReadValue("Sect", "name", v));
}

TEST(SettingsFile, DefaultPathFollowsXdgConfigHome) {
    const char* old = getenv("XDG_CONFIG_HOME");
    std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(mtxSettingsFile::DefaultPath(), "/tmp/cfg/daubry/settings.reg");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored, as the standard says
    EXPECT_NE(mtxSettingsFile::DefaultPath().find("/.config/daubry/settings.reg"),
              std::string::npos);
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
