#include <gtest/gtest.h>

#include <filesystem>

#include "tests/layers/include_rules.h"
#include "tests/support/test_support.h"

using namespace layers;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

LevelTable ProjectTable() {
    LevelTable table;
    std::string error;
    EXPECT_TRUE(ReadLevelTable(ReadFile(DAUBRY_SOURCE_DIR "/docs/architecture.md"), &table, &error))
        << error;
    return table;
}

}  // namespace

TEST(Layers, EveryIncludeOfTheProductIsAllowed) {
    LevelTable table = ProjectTable();
    ASSERT_TRUE(table.libraries.count("daubry_platform"));
    for (const std::string& fault : CheckIncludes(table, DAUBRY_SOURCE_DIR)) ADD_FAILURE() << fault;
}

TEST(Layers, LibrariesUseOnlyLowerLevels) {
    LevelTable table = ProjectTable();
    for (const auto& [name, library] : table.libraries)
        for (const auto& used : library.uses)
            EXPECT_LT(table.libraries.at(used).level, library.level) << name << " uses " << used;
}

// A small tree with one fault of each kind, and the includes that are fine.
TEST(Layers, FaultsAreNamedByFileAndLine) {
    TempDir dir;
    namespace fs = std::filesystem;
    for (const char* folder : {"platform/sdl", "image/codecs", "render", "docs"})
        fs::create_directories(fs::path(dir.Path()) / folder);
    WriteFile(dir.File("docs/architecture.md"),
              "| level | library | folder | uses | what |\n|---|---|---|---|---|\n"
              "| 1 | daubry_platform | platform/ | | os |\n"
              "| 2 | daubry_image | image/ | daubry_platform | images |\n"
              "| 3 | daubry_codecs | image/codecs/ | daubry_image | codecs |\n"
              "| 6 | daubry_render | render/ | daubry_codecs | device |\n");
    WriteFile(dir.File("platform/file.h"), "#pragma once\n");
    WriteFile(dir.File("platform/sdl/keys.h"),
              "#include <SDL2/SDL.h>\n#include \"platform/file.h\"\n");
    WriteFile(dir.File("image/image.h"), "#pragma once\n#include \"platform/file.h\"\n");
    WriteFile(dir.File("render/device.h"), "#pragma once\n");
    WriteFile(dir.File("image/codecs/png.h"),
              "#pragma once\n"
              "#include <vector>\n"
              "#include \"image/image.h\"\n"
              "#include \"platform/file.h\"\n"
              "#include \"render/device.h\"\n"
              "#include \"platform/sdl/keys.h\"\n"
              "#include <SDL2/SDL.h>\n"
              "#include \"missing.h\"\n");
    LevelTable table;
    std::string error;
    ASSERT_TRUE(ReadLevelTable(ReadFile(dir.File("docs/architecture.md")), &table, &error));
    EXPECT_EQ(table.LibraryOf("image/codecs/png.h"), "daubry_codecs");
    EXPECT_EQ(table.LibraryOf("image/image.h"), "daubry_image");
    EXPECT_EQ(table.Reachable("daubry_codecs").count("daubry_platform"), 1u);

    std::vector<std::string> faults = CheckIncludes(table, dir.Path());
    ASSERT_EQ(faults.size(), 4u) << ::testing::PrintToString(faults);
    EXPECT_EQ(
        faults[0].rfind("image/codecs/png.h:5: \"render/device.h\" belongs to daubry_render", 0),
        0u)
        << faults[0];
    EXPECT_EQ(faults[1].rfind("image/codecs/png.h:6:", 0), 0u) << faults[1];
    EXPECT_NE(faults[1].find("implementation header"), std::string::npos);
    EXPECT_EQ(faults[2], "image/codecs/png.h:7: <SDL2/SDL.h> is for platform/ alone");
    EXPECT_EQ(faults[3].rfind("image/codecs/png.h:8:", 0), 0u) << faults[3];
}

TEST(Layers, TableWithoutRowsOrWithAnUnknownLibraryIsRefused) {
    LevelTable table;
    std::string error;
    EXPECT_FALSE(ReadLevelTable("no table here\n", &table, &error));
    LevelTable other;
    EXPECT_FALSE(
        ReadLevelTable("| 2 | daubry_image | image/ | daubry_nowhere | x |\n", &other, &error));
    EXPECT_NE(error.find("daubry_nowhere"), std::string::npos);
}
