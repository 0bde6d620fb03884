#include "image/file_memory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(FileMemory, GrowsInStepsAndReadsBack) {
    mtxFileMemory m(16);
    EXPECT_EQ(m.Write("0123456789", 10), 1);
    EXPECT_EQ(m.Write("abcdefghij", 10), 1);
    EXPECT_EQ(m.GetLength(), 20);
    EXPECT_EQ(m.Seek(0, 0), 0);
    char buf[32] = {};
    EXPECT_EQ(m.Read(buf, 32), 20u);
    EXPECT_STREQ(buf, "0123456789abcdefghij");
    EXPECT_EQ(m.Read(buf, 1), 0u);  // position equals length
    EXPECT_EQ(m.Flush(), 0);
}

TEST(FileMemory, SeekBounds) {
    mtxFileMemory m(16);
    m.Write("abc", 3);
    EXPECT_EQ(m.Seek(-1, 0), -1);
    EXPECT_EQ(m.GetPosition(), 3);
    EXPECT_EQ(m.Seek(0x80000000ll, 0), -1);
    EXPECT_EQ(m.Seek(-1, 2), 2);
    EXPECT_EQ(m.Seek(5, 7), 2);  // unknown origin: position unchanged
    EXPECT_EQ(m.Seek(0x7FFFFFFF, 0), 0x7FFFFFFF);
}

TEST(FileMemory, GapsReadAsZeros) {
    mtxFileMemory m(8);
    m.Write("ab", 2);
    m.Seek(10, 0);
    m.Write("z", 1);
    m.Seek(0, 0);
    char buf[11];
    ASSERT_EQ(m.Read(buf, 11), 11u);
    EXPECT_EQ(std::string(buf, 11), std::string("ab\0\0\0\0\0\0\0\0z", 11));
    EXPECT_EQ(m.SetLength(20), 1);
    m.Seek(11, 0);
    ASSERT_EQ(m.Read(buf, 9), 9u);
    EXPECT_EQ(std::string(buf, 9), std::string(9, '\0'));
}

TEST(FileMemory, FixedBufferRefusesToPassItsCapacity) {
    char resource[8] = {'r', 'e', 's', 'o', 'u', 'r', 'c', 'e'};
    mtxFileMemory m(0);
    m.Attach(resource, sizeof resource, 0);
    uint8_t *start, *end;
    EXPECT_EQ(m.MapBuffer(3, 0, &start, &end), 0u);
    EXPECT_EQ(m.GetLength(), 8);
    m.Seek(6, 0);
    EXPECT_EQ(m.Write("XYZ", 3), 0);  // would pass the end
    EXPECT_EQ(std::string(resource, 8), "resource");
    EXPECT_EQ(m.Write("XY", 2), 1);
    EXPECT_EQ(std::string(resource, 8), "resourXY");
    EXPECT_EQ(m.SetLength(9), 0);
    EXPECT_EQ(m.SetLength(3), 1);
    EXPECT_EQ(m.GetPosition(), 3);
}

TEST(FileMemory, AttachedGrowableBufferMovesWhenItGrows) {
    char outside[4] = {'k', 'e', 'e', 'p'};
    {
        mtxFileMemory m(0);
        m.Attach(outside, sizeof outside, 16);
        EXPECT_EQ(m.GetLength(), 0);
        EXPECT_EQ(m.MapBuffer(3, 0, nullptr, nullptr), 1u);
        EXPECT_EQ(m.Write("ab", 2), 1);
        EXPECT_EQ(m.Write("cdefgh", 6), 1);  // beyond 4 bytes: a buffer of its own
        m.Seek(0, 0);
        char buf[8];
        EXPECT_EQ(m.Read(buf, 8), 8u);
        EXPECT_EQ(std::string(buf, 8), "abcdefgh");
    }
    EXPECT_EQ(std::string(outside, 2), "ab");  // still ours; never freed by the file
}

TEST(FileMemory, MapBufferViews) {
    mtxFileMemory m(32);
    uint8_t *start = nullptr, *end = nullptr;
    EXPECT_EQ(m.MapBuffer(1, 10, &start, &end), 10u);
    std::memcpy(start, "0123456789", 10);
    EXPECT_EQ(m.MapBuffer(2, 10, &start, &end), 0u);
    EXPECT_EQ(m.GetLength(), 10);
    EXPECT_EQ(m.GetPosition(), 10);
    m.Seek(2, 0);
    EXPECT_EQ(m.MapBuffer(0, 0xFFFFFFFF, &start, &end), 8u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(start), 8), "23456789");
    EXPECT_EQ(m.GetPosition(), 10);
    EXPECT_EQ(m.MapBuffer(0, 4, &start, &end), 0u);
}

TEST(FileMemory, CloseEmptiesTheFile) {
    mtxFileMemory m(16);
    m.Write("abc", 3);
    EXPECT_EQ(m.Close(), 1);
    EXPECT_EQ(m.GetLength(), 0);
    EXPECT_EQ(m.Write("x", 1), 0);  // grow step zeroed: the file can no longer grow
}

}  // namespace
