#include "base/share_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "image/image.h"
#include "image/io/image_load.h"
#include "tests/support/test_support.h"

using testing_support::TempDir;
namespace fs = std::filesystem;

TEST(ShareFolder, AnInstalledProgramLooksBesideItsBinFolderFirst) {
    std::vector<std::string> folders = mtxShareFolders("/opt/daubry/bin/daubry");
    ASSERT_FALSE(folders.empty());
    EXPECT_EQ(folders[0], "/opt/daubry/share/daubry");
    // Then this build's own folders, each once.
    for (size_t i = 0; i < folders.size(); ++i)
        for (size_t j = i + 1; j < folders.size(); ++j) EXPECT_NE(folders[i], folders[j]);
    EXPECT_EQ(mtxShareFolders(""), std::vector<std::string>(folders.begin() + 1, folders.end()));
}

TEST(ShareFolder, EachFileComesFromTheFirstFolderThatHoldsIt) {
    TempDir dir;
    const std::string prefix = dir.Path() + "/usr";
    fs::create_directories(prefix + "/bin");
    fs::create_directories(prefix + "/share/daubry/samples/leaves");
    const std::string build = dir.Path() + "/build-share", source = dir.Path() + "/source-share";
    fs::create_directories(build + "/samples");
    fs::create_directories(source);
    testing_support::WriteFile(source + "/demo.png", "picture");

    std::vector<std::string> folders = mtxShareFolders(prefix + "/bin/daubry");
    folders.resize(1);
    folders.push_back(build);
    folders.push_back(source);
    EXPECT_EQ(mtxFindShared("samples", folders), prefix + "/share/daubry/samples");
    EXPECT_EQ(mtxFindShared("demo.png", folders), source + "/demo.png");
    EXPECT_EQ(mtxFindShared("samples", {dir.Path() + "/elsewhere", build}), build + "/samples");
    EXPECT_EQ(mtxFindShared("missing.png", folders), "");
    EXPECT_EQ(mtxFindShared("samples", {}), "");
}

TEST(ShareFolder, ARunFromTheTreeFindsTheDemoPhoto) {
    const std::string photo = mtxDemoPhoto();
    ASSERT_FALSE(photo.empty());
    mtxImage image;
    ASSERT_EQ(mtxImageLoad(image, photo, 0), 1) << photo;
    EXPECT_GE(image.width, 256);
    EXPECT_GE(image.height, 256);
    EXPECT_FALSE(mtxShareFolder().empty());
}
