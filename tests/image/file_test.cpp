#include "image/file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "image/file_stream.h"
#include "tests/support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// Descriptors this process holds open.
size_t OpenDescriptors() {
    size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++n;
    }
    return n;
}

TEST(File, CreateWriteReadBack) {
    TempDir dir;
    mtxFile f;
    ASSERT_EQ(f.Open(dir.File("a.bin"), mtxFile::kCreate | mtxFile::kWrite), 1);
    EXPECT_EQ(f.Path(), dir.File("a.bin"));
    EXPECT_EQ(f.Write("hello", 5), 1);
    EXPECT_EQ(f.Write("x", 0), 0);
    EXPECT_EQ(f.GetLength(), 5);
    EXPECT_EQ(f.GetPosition(), 5);
    EXPECT_EQ(f.Close(), 1);
    EXPECT_EQ(f.Path(), "");
    EXPECT_EQ(ReadFile(dir.File("a.bin")), "hello");

    ASSERT_EQ(f.Open(dir.File("a.bin"), mtxFile::kRead), 1);
    char buf[16] = {};
    EXPECT_EQ(f.Seek(1, 0), 1);
    EXPECT_EQ(f.ReadAll(buf), 4u);
    EXPECT_STREQ(buf, "ello");
    EXPECT_EQ(f.Read(buf, 4), 0u);
    EXPECT_EQ(f.Write("no", 2), 0);  // opened for reading only
}

TEST(File, CreateAlwaysTruncatesButOpenAlwaysKeeps) {
    TempDir dir;
    WriteFile(dir.File("a"), "old content");
    mtxFile f;
    ASSERT_EQ(f.Open(dir.File("a"), mtxFile::kCreate | mtxFile::kOpenAlways | mtxFile::kReadWrite),
              1);
    EXPECT_EQ(f.GetLength(), 11);
    f.Close();
    ASSERT_EQ(f.Open(dir.File("a"), 0x1001), 1);  // the document save's mode
    EXPECT_EQ(f.GetLength(), 0);
}

TEST(File, FailedOpenStaysClosedAndCanOpenAgain) {
    TempDir dir;
    mtxFile f;
    EXPECT_EQ(f.Open(dir.File("missing"), mtxFile::kRead), 0);
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.GetLength(), -1);
    EXPECT_EQ(f.Seek(0, 0), -1);
    EXPECT_EQ(f.Flush(), 0);
    EXPECT_EQ(f.Open(dir.Path(), mtxFile::kRead), 0);  // a folder is no file
    WriteFile(dir.File("there"), "x");
    EXPECT_EQ(f.Open(dir.File("there"), mtxFile::kRead), 1);
}

TEST(File, SetLengthDuplicateRemoveAndLocks) {
    TempDir dir;
    mtxFile f;
    ASSERT_EQ(f.Open(dir.File("a"), mtxFile::kCreate | mtxFile::kReadWrite), 1);
    f.Write("0123456789", 10);
    EXPECT_EQ(f.SetLength(4), 1);
    EXPECT_EQ(f.GetLength(), 4);
    EXPECT_EQ(f.GetPosition(), 4);
    auto copy = f.Duplicate();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->GetLength(), 4);
    EXPECT_EQ(copy->Path(), "");
    EXPECT_EQ(f.LockRange(0, 2), 1);
    EXPECT_EQ(f.UnlockRange(0, 2), 1);
    f.Remove();
    EXPECT_FALSE(f.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(dir.File("a")));
}

TEST(File, RelativePathsBecomeAbsolute) {
    mtxFile f;
    f.Open("definitely-not-here/../x-missing", mtxFile::kRead);
    EXPECT_FALSE(f.IsOpen());
    TempDir dir;
    WriteFile(dir.File("b"), "1");
    ASSERT_EQ(f.Open(dir.Path() + "/./sub/../b", mtxFile::kRead), 1);
    EXPECT_EQ(f.Path(), dir.File("b"));
}

TEST(File, OpeningAnOpenFileClosesTheOldDescriptor) {
    TempDir dir;
    WriteFile(dir.File("a"), "first");
    WriteFile(dir.File("b"), "second");
    const size_t before = OpenDescriptors();
    {
        mtxFile f;
        ASSERT_EQ(f.Open(dir.File("a"), mtxFile::kRead), 1);
        EXPECT_EQ(OpenDescriptors(), before + 1);
        for (int i = 0; i < 8; ++i) ASSERT_EQ(f.Open(dir.File(i % 2 ? "a" : "b"), 0), 1);
        EXPECT_EQ(OpenDescriptors(), before + 1);
        char buf[16] = {};
        EXPECT_EQ(f.Read(buf, sizeof buf), 5u);
        EXPECT_STREQ(buf, "first");
        // A failed Open leaves the file closed, the old descriptor included.
        EXPECT_EQ(f.Open(dir.File("missing"), mtxFile::kRead), 0);
        EXPECT_FALSE(f.IsOpen());
        EXPECT_EQ(OpenDescriptors(), before);
        ASSERT_EQ(f.Open(dir.File("b"), mtxFile::kRead), 1);
        mtxFileStream64K stream;
        ASSERT_EQ(stream.Open(dir.File("a"), mtxFile::kRead), 1);
        ASSERT_EQ(stream.Open(dir.File("b"), mtxFile::kRead), 1);
        EXPECT_EQ(OpenDescriptors(), before + 2);
        EXPECT_EQ(stream.Read(buf, sizeof buf), 6u);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
