#include "base/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>

#include "tests/support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

constexpr const char* kRoot = "Software\\Ferrow\\Daubry";

struct RegistryTest : ::testing::Test {
    RegistryTest() {
        registry.Init();
        registry.Open(kRoot, dir.File("settings.reg"));
    }
    TempDir dir;
    mtxRegistry registry;
};

TEST_F(RegistryTest, IntegersAndStringsRoundTrip) {
    EXPECT_EQ(registry.SetInt("sm", "min", 7), 1);
    EXPECT_EQ(registry.SetInt("sm", "bg_color", 0xFF102030u), 1);
    EXPECT_EQ(registry.SetString("deso", "ofp", "/home/ann/Pictures/caf\xc3\xa9 \"1\"\\x.jpg"), 1);
    EXPECT_EQ(registry.SetString(nullptr, "ins_path", "/opt/daubry"), 1);

    // A second store over the same file sees the values: nothing is cached.
    mtxRegistry other;
    other.Init();
    other.Open(kRoot, dir.File("settings.reg"));
    uint32_t v = 0;
    EXPECT_EQ(other.GetInt("sm", "min", v), 1);
    EXPECT_EQ(v, 7u);
    EXPECT_EQ(other.GetInt("sm", "bg_color", v), 1);
    EXPECT_EQ(v, 0xFF102030u);
    std::string s;
    EXPECT_EQ(other.GetString("deso", "ofp", s), 1);
    EXPECT_EQ(s, "/home/ann/Pictures/caf\xc3\xa9 \"1\"\\x.jpg");
    EXPECT_EQ(other.GetString(nullptr, "ins_path", s), 1);
    EXPECT_EQ(s, "/opt/daubry");
    // Names compare without regard to case, as registry names do.
    EXPECT_EQ(other.GetInt("SM", "MIN", v), 1);
}

TEST_F(RegistryTest, OverwriteKeepsOneValue) {
    registry.SetInt("sm", "min", 1);
    registry.SetInt("sm", "min", 2);
    uint32_t v = 0;
    EXPECT_EQ(registry.GetInt("sm", "min", v), 1);
    EXPECT_EQ(v, 2u);
    std::string text = ReadFile(dir.File("settings.reg"));
    EXPECT_EQ(text.find("\"min\""), text.rfind("\"min\""));
}

TEST_F(RegistryTest, MissingSectionReadsAsMissingAndCreatesNothing) {
    uint32_t v = 0;
    std::string before = ReadFile(dir.File("settings.reg"));
    EXPECT_EQ(registry.GetInt("nowhere", "x", v), 0);
    std::string s = "old";
    EXPECT_EQ(registry.GetString("nowhere", "x", s), 0);
    EXPECT_EQ(s, "");
    EXPECT_EQ(ReadFile(dir.File("settings.reg")), before);
    EXPECT_EQ(before.find("nowhere"), std::string::npos);
    // Writing creates the section.
    EXPECT_EQ(registry.SetInt("nowhere", "x", 3), 1);
    EXPECT_NE(ReadFile(dir.File("settings.reg")).find("[Software\\Ferrow\\Daubry\\nowhere]"),
              std::string::npos);
}

TEST_F(RegistryTest, StoredSizesAreThoseOfTheRegistry) {
    registry.SetInt("s", "i", 5);
    registry.SetString("s", "t", "abc");
    registry.SetString("s", "e", "");
    uint32_t size = 0;
    EXPECT_EQ(registry.GetRaw("s", "i", nullptr, size), 1);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(registry.GetRaw("s", "t", nullptr, size), 1);
    EXPECT_EQ(size, 8u);  // 2 x (3 + 1)
    EXPECT_EQ(registry.GetRaw("s", "e", nullptr, size), 1);
    EXPECT_EQ(size, 2u);
    // A buffer that is too small is refused and told the size it needs.
    char small[4];
    size = sizeof small;
    EXPECT_EQ(registry.GetRaw("s", "t", small, size), 0);
    EXPECT_EQ(size, 8u);
}

TEST_F(RegistryTest, EmptyStringReadsAsMissing) {
    registry.SetString("s", "e", "");
    std::string s = "x";
    EXPECT_EQ(registry.GetString("s", "e", s), 0);
    EXPECT_EQ(s, "");
}

TEST_F(RegistryTest, IntegerReadOfLongStringFails) {
    registry.SetString("s", "t", "a long string");
    uint32_t v;
    EXPECT_EQ(registry.GetInt("s", "t", v), 0);
    // A one-character string is 4 bytes and fits, as in the registry.
    registry.SetString("s", "a", "a");
    EXPECT_EQ(registry.GetInt("s", "a", v), 1);
    EXPECT_EQ(v, 0x61u);
}

TEST_F(RegistryTest, StringWithoutTerminatorReadsWhole) {
    WriteFile(dir.File("settings.reg"), "[Software\\Ferrow\\Daubry\\s]\n\"t\"=\"abc\"\n");
    std::string s;
    EXPECT_EQ(registry.GetString("s", "t", s), 1);
    EXPECT_EQ(s, "abc");
}

TEST(Registry, UnopenableFileBehavesLikeMissingKey) {
    TempDir dir;
    // A regular file where the folder should be: nothing can be created below it.
    WriteFile(dir.File("blocker"), "x");
    mtxRegistry registry;
    registry.Init();
    EXPECT_EQ(registry.Open(kRoot, dir.File("blocker/settings.reg")), 1);
    EXPECT_FALSE(registry.IsOpen());
    uint32_t v;
    std::string s;
    EXPECT_EQ(registry.SetInt("sm", "min", 1), 0);
    EXPECT_EQ(registry.GetInt("sm", "min", v), 0);
    EXPECT_EQ(registry.SetString(nullptr, "x", "y"), 0);
    EXPECT_EQ(registry.GetString(nullptr, "x", s), 0);
}

TEST(Registry, FileThatVanishesBehindTheStoreFailsQuietly) {
    TempDir dir;
    std::string folder = dir.File("cfg");
    mtxRegistry registry;
    registry.Init();
    registry.Open(kRoot, folder + "/settings.reg");
    ASSERT_TRUE(registry.IsOpen());
    ASSERT_EQ(registry.SetInt("sm", "min", 9), 1);
    // The folder is replaced by a plain file: nothing can be read or written
    // there any more, whoever runs the test.
    std::filesystem::rename(folder, dir.File("moved"));
    WriteFile(folder, "not a folder");
    uint32_t v = 0;
    std::string s;
    EXPECT_EQ(registry.GetInt("sm", "min", v), 0);
    EXPECT_EQ(registry.SetInt("sm", "min", 10), 0);
    EXPECT_EQ(registry.SetString(nullptr, "x", "y"), 0);
    EXPECT_EQ(registry.GetString(nullptr, "x", s), 0);
    EXPECT_EQ(ReadFile(folder), "not a folder");
}

TEST_F(RegistryTest, ClosedStoreFailsEverything) {
    registry.SetInt("sm", "min", 9);
    registry.Close();
    uint32_t v;
    EXPECT_EQ(registry.GetInt("sm", "min", v), 0);
    EXPECT_EQ(registry.SetInt("sm", "min", 1), 0);
}

// Two processes writing different values at once: each read-modify-write
// happens under the lock, so neither loses the other's values.
TEST_F(RegistryTest, ConcurrentWritersFromTwoProcessesLoseNothing) {
    constexpr int kWrites = 40;
    auto writer = [&](const char* prefix) {
        mtxRegistry r;
        r.Init();
        r.Open(kRoot, dir.File("settings.reg"));
        for (int i = 0; i < kWrites; ++i)
            if (!r.SetInt("race", prefix + std::to_string(i), uint32_t(i))) _exit(1);
        _exit(0);
    };
    pid_t a = fork();
    if (a == 0) writer("a");
    pid_t b = fork();
    if (b == 0) writer("b");
    int sa = 0, sb = 0;
    waitpid(a, &sa, 0);
    waitpid(b, &sb, 0);
    ASSERT_TRUE(WIFEXITED(sa) && WEXITSTATUS(sa) == 0);
    ASSERT_TRUE(WIFEXITED(sb) && WEXITSTATUS(sb) == 0);
    for (int i = 0; i < kWrites; ++i) {
        uint32_t v = 99;
        EXPECT_EQ(registry.GetInt("race", "a" + std::to_string(i), v), 1) << i;
        EXPECT_EQ(v, uint32_t(i));
        EXPECT_EQ(registry.GetInt("race", "b" + std::to_string(i), v), 1) << i;
        EXPECT_EQ(v, uint32_t(i));
    }
}

// A writer killed at any moment leaves either the old or the new file, never
// a torn one: the file always parses with every value written before.
TEST_F(RegistryTest, KilledWriterLeavesParsableFile) {
    registry.SetInt("keep", "sentinel", 1234);
    for (int round = 0; round < 5; ++round) {
        pid_t child = fork();
        if (child == 0) {
            mtxRegistry r;
            r.Init();
            r.Open(kRoot, dir.File("settings.reg"));
            for (uint32_t i = 0;; ++i)
                r.SetString("busy", "v" + std::to_string(i % 50), std::string(200, 'x'));
        }
        usleep(20000 + round * 7000);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        uint32_t v = 0;
        EXPECT_EQ(registry.GetInt("keep", "sentinel", v), 1);
        EXPECT_EQ(v, 1234u);
        std::string text = ReadFile(dir.File("settings.reg"));
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.back(), '\n');
        EXPECT_NE(text.find("[Software\\Ferrow\\Daubry]"), std::string::npos);
    }
}

}  // namespace
