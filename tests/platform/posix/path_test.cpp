#include "platform/path.h"

#include <gtest/gtest.h>

#include "platform/os_file.h"

namespace {

TEST(Path, SplitsIntoParts) {
    mtxPath p("/home/ann/Pics/Photo.JPG");
    EXPECT_EQ(p.Full(), "/home/ann/Pics/Photo.JPG");
    EXPECT_EQ(p.Directory(), "/home/ann/Pics");
    EXPECT_EQ(p.File(), "Photo.JPG");
    EXPECT_EQ(p.Name(), "Photo");
    EXPECT_EQ(p.Extension(), "JPG");
    EXPECT_TRUE(p.HasExtension("jpg"));
    EXPECT_FALSE(p.HasExtension("png"));
}

TEST(Path, EdgeCases) {
    EXPECT_FALSE(mtxPath("/a/.profile").HasExtension());
    EXPECT_EQ(mtxPath("/a/.profile").Name(), ".profile");
    EXPECT_FALSE(mtxPath("/a/b.c/noext").HasExtension(""));
    EXPECT_EQ(mtxPath("/a/x.tar.gz").Extension(), "gz");
    EXPECT_EQ(mtxPath("/a/./b/../c.png").Full(), "/a/c.png");
    EXPECT_EQ(mtxPath("/../x").Full(), "/x");
    std::string cwd = mtxOs::CurrentDirectory();
    EXPECT_EQ(mtxPath("*").Directory(), cwd == "/" ? "" : cwd);
    EXPECT_EQ(mtxPath("rel.bmp").Directory(), cwd == "/" ? "" : cwd);
}

TEST(Path, FileExists) {
    EXPECT_TRUE(FileExists("/"));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists("/no/such/file/here"));
}

}  // namespace
