#include <gtest/gtest.h>

#include <filesystem>
#include <set>

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

// The headless command and the sample library's generator stand on the engine
// and the device alone: nothing they include, however deep, is of the toolkit.
TEST(Layers, TheHeadlessCommandsIncludeNoToolkit) {
    LevelTable table = ProjectTable();
    int toolkit = table.libraries.at("daubry_ui").level;
    for (const char* file :
         {"app/shell/fill_command.cpp", "app/shell/fill_arguments.cpp", "tools/sample_gen.cpp"}) {
        std::set<std::string> included = IncludedFrom(DAUBRY_SOURCE_DIR, file);
        EXPECT_FALSE(included.empty()) << file;
        for (const std::string& header : included) {
            std::string library = table.LibraryOf(header);
            if (library.empty() || library == "daubry_shell") continue;
            EXPECT_LT(table.libraries.at(library).level, toolkit)
                << file << " reaches " << header << " of " << library;
        }
    }
}

// The project's own table on an empty tree: a header in each library's folder
// may include a header of a library it uses, and any header of the same or a
// higher level, nested folders included (render/layers/ inside render/), is
// named as a fault.
TEST(Layers, EveryFolderRefusesWhatLiesAbove) {
    LevelTable table = ProjectTable();
    TempDir dir;
    namespace fs = std::filesystem;
    for (const auto& [name, library] : table.libraries) {
        fs::create_directories(fs::path(dir.Path()) / library.folder);
        WriteFile(dir.File(library.folder + "/probe_" + name + ".h"), "#pragma once\n");
    }
    size_t expected = 0;
    for (const auto& [name, library] : table.libraries) {
        std::set<std::string> allowed = table.Reachable(name);
        std::string text = "#pragma once\n";
        for (const auto& [other, otherLibrary] : table.libraries) {
            if (other == name) continue;
            text += "#include \"" + otherLibrary.folder + "/probe_" + other + ".h\"\n";
            if (!allowed.count(other)) ++expected;
        }
        WriteFile(dir.File(library.folder + "/user_" + name + ".h"), text);
    }
    ASSERT_GT(expected, 40u);
    std::vector<std::string> faults = CheckIncludes(table, dir.Path());
    EXPECT_EQ(faults.size(), expected) << ::testing::PrintToString(faults);
    for (const std::string& fault : faults)
        EXPECT_NE(fault.find("does not use"), std::string::npos) << fault;
    // A nested folder is the level above its parent: the parent may not reach into it.
    auto refused = [&](const std::string& user, const std::string& probe) {
        for (const std::string& fault : faults)
            if (fault.rfind(user, 0) == 0 && fault.find("\"" + probe + "\"") != std::string::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(refused("render/user_daubry_render.h", "render/layers/probe_daubry_layers.h"));
    EXPECT_TRUE(refused("ui/user_daubry_ui.h", "ui/viewer/probe_daubry_viewer.h"));
    EXPECT_TRUE(refused("fill/user_daubry_fill.h", "ui/probe_daubry_ui.h"));
    EXPECT_TRUE(refused("base/user_daubry_base.h", "app/shell/probe_daubry_shell.h"));
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
