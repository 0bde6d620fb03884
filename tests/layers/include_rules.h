#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

// The level table of docs/architecture.md and the include rules it implies,
// checked over a source tree.
namespace layers {

struct Library {
    int level = 0;
    std::string folder;             // relative to the source root, no trailing slash
    std::vector<std::string> uses;  // libraries it links directly
};

struct LevelTable {
    std::map<std::string, Library> libraries;

    // The library whose folder holds path (relative to the root), by the
    // longest matching folder; empty when none does.
    std::string LibraryOf(const std::string& path) const;
    // name and every library it reaches through its uses.
    std::set<std::string> Reachable(const std::string& name) const;
};

// Reads the rows "| level | name | folder/ | uses | ... |" of a markdown text.
// False, with the reason in error, when no row is found or a row uses a
// library that has no row.
bool ReadLevelTable(const std::string& markdown, LevelTable* table, std::string* error);

// Every include under root's library folders that the table does not allow,
// as "file:line: reason". An include is allowed when it names a header of the
// file's own library or of one it reaches; headers in platform/'s
// implementation folders are for platform/ alone, and so are the system and
// third-party headers that platform/ stands on. Files outside every library's
// folder (app/main.cpp, the program's entry point) are not checked.
std::vector<std::string> CheckIncludes(const LevelTable& table, const std::string& root);

// The project files that file (relative to root) includes, directly or through
// the files it includes.
std::set<std::string> IncludedFrom(const std::string& root, const std::string& file);

}  // namespace layers
