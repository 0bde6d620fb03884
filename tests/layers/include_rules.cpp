#include "tests/layers/include_rules.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace layers {

namespace {

// Headers that only platform/ may include: what it stands on.
constexpr const char* kPlatformOnly[] = {
    "SDL2/",    "SDL.h",     "epoxy/",     "EGL/",      "GL/",       "X11/",
    "ft2build", "freetype/", "fontconfig", "jpeglib.h", "jerror.h",  "turbojpeg.h",
    "gif_lib",  "png.h",     "zlib.h",     "unistd.h",  "fcntl.h",   "sys/",
    "dlfcn.h",  "spawn.h",   "poll.h",     "pthread.h", "windows.h",
};

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool InFolder(const std::string& path, const std::string& folder) {
    return StartsWith(path, folder + "/");
}

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

bool IsSource(const fs::path& path) {
    return path.extension() == ".h" || path.extension() == ".cpp";
}

// The delimiter ('<' or '"') and the name of an #include line; false for any
// other line.
bool ParseInclude(const std::string& line, char* delimiter, std::string* name) {
    size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || line[at] != '#') return false;
    at = line.find_first_not_of(" \t", at + 1);
    if (at == std::string::npos || line.compare(at, 7, "include") != 0) return false;
    at = line.find_first_not_of(" \t", at + 7);
    if (at == std::string::npos || (line[at] != '<' && line[at] != '"')) return false;
    size_t end = line.find(line[at] == '<' ? '>' : '"', at + 1);
    if (end == std::string::npos) return false;
    *delimiter = line[at];
    *name = line.substr(at + 1, end - at - 1);
    return true;
}

// The include as written, resolved to a path relative to root: from the root
// first, as the build's include paths do, then beside the including file.
// Empty when the file is in neither place.
std::string Resolve(const std::string& root, const std::string& file, const std::string& name) {
    if (fs::exists(fs::path(root) / name)) return fs::path(name).lexically_normal().string();
    fs::path beside = fs::path(file).parent_path() / name;
    if (fs::exists(fs::path(root) / beside)) return beside.lexically_normal().string();
    return {};
}

}  // namespace

std::string LevelTable::LibraryOf(const std::string& path) const {
    std::string best;
    size_t bestLength = 0;
    for (const auto& [name, library] : libraries)
        if (InFolder(path, library.folder) && library.folder.size() > bestLength) {
            best = name;
            bestLength = library.folder.size();
        }
    return best;
}

std::set<std::string> LevelTable::Reachable(const std::string& name) const {
    std::set<std::string> seen;
    std::vector<std::string> open{name};
    while (!open.empty()) {
        std::string next = open.back();
        open.pop_back();
        if (!seen.insert(next).second) continue;
        auto it = libraries.find(next);
        if (it != libraries.end())
            for (const auto& used : it->second.uses) open.push_back(used);
    }
    return seen;
}

bool ReadLevelTable(const std::string& markdown, LevelTable* table, std::string* error) {
    std::istringstream lines(markdown);
    std::string line;
    while (std::getline(lines, line)) {
        // | level | daubry_name | folder/ | uses | what it holds |
        std::vector<std::string> cells;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, '|');) cells.push_back(Trim(cell));
        if (cells.size() < 5 || !cells[0].empty() || cells[1].empty() ||
            cells[1].find_first_not_of("0123456789") != std::string::npos ||
            !StartsWith(cells[2], "daubry_") || cells[3].size() < 2 || cells[3].back() != '/')
            continue;
        Library library;
        library.level = std::stoi(cells[1]);
        library.folder = cells[3].substr(0, cells[3].size() - 1);
        std::istringstream uses(cells[4]);
        for (std::string used; uses >> used;) library.uses.push_back(used);
        table->libraries[cells[2]] = library;
    }
    if (table->libraries.empty()) {
        *error = "no level rows";
        return false;
    }
    for (const auto& [name, library] : table->libraries)
        for (const auto& used : library.uses)
            if (!table->libraries.count(used)) {
                *error = name + " uses " + used + ", which has no row";
                return false;
            }
    return true;
}

std::vector<std::string> CheckIncludes(const LevelTable& table, const std::string& root) {
    std::vector<std::string> files;
    for (const auto& [name, library] : table.libraries) {
        fs::path folder = fs::path(root) / library.folder;
        if (!fs::is_directory(folder)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file() && IsSource(entry.path()))
                files.push_back(fs::relative(entry.path(), root).string());
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());

    std::vector<std::string> faults;
    for (const std::string& file : files) {
        std::string owner = table.LibraryOf(file);
        if (owner.empty()) continue;
        std::set<std::string> allowed = table.Reachable(owner);
        const std::string& platform = table.libraries.at("daubry_platform").folder;
        bool inPlatform = InFolder(file, platform);
        std::ifstream in(fs::path(root) / file);
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            char delimiter = 0;
            std::string name;
            if (!ParseInclude(line, &delimiter, &name)) continue;
            std::string where = file + ":" + std::to_string(number) + ": ";
            if (delimiter == '<') {
                if (inPlatform) continue;
                for (const char* prefix : kPlatformOnly)
                    if (StartsWith(name, prefix))
                        faults.push_back(where + "<" + name + "> is for platform/ alone");
                continue;
            }
            std::string target = Resolve(root, file, name);
            if (target.empty()) {
                faults.push_back(where + "\"" + name + "\" is not a file of the tree");
                continue;
            }
            std::string library = table.LibraryOf(target);
            if (library.empty()) {
                faults.push_back(where + "\"" + name + "\" belongs to no library");
            } else if (!allowed.count(library)) {
                const Library& a = table.libraries.at(owner);
                const Library& b = table.libraries.at(library);
                faults.push_back(where + "\"" + name + "\" belongs to " + library + " (level " +
                                 std::to_string(b.level) + "), which " + owner + " (level " +
                                 std::to_string(a.level) + ") does not use");
            } else if (library == "daubry_platform" && !inPlatform &&
                       fs::path(target).parent_path() != fs::path(platform)) {
                faults.push_back(where + "\"" + name +
                                 "\" is a platform implementation header; include the interface");
            }
        }
    }
    return faults;
}

std::set<std::string> IncludedFrom(const std::string& root, const std::string& file) {
    std::set<std::string> seen;
    std::vector<std::string> open{file};
    while (!open.empty()) {
        std::string current = open.back();
        open.pop_back();
        std::ifstream in(fs::path(root) / current);
        std::string line, name;
        char delimiter = 0;
        while (std::getline(in, line)) {
            if (!ParseInclude(line, &delimiter, &name) || delimiter != '"') continue;
            std::string target = Resolve(root, current, name);
            if (!target.empty() && seen.insert(target).second) open.push_back(target);
        }
    }
    return seen;
}

}  // namespace layers
