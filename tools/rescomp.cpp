// rescomp: turns the resources/ folder into a C++ table linked into the program.
//
//   rescomp <resources-dir> <output.cpp>
//   rescomp --expand <shader> <output>   (the shader as carried, for checking)
//
// Every resource becomes (type, id, bytes). Inputs, by convention:
//   strings.txt          lines `<id> "<text>"`, escapes \" \\ \n \t; # starts a comment
//   menu.txt             blocks starting with `MENU <id>`; each block's text is one resource
//   images/<id>_*.*      type "IMAGE"
//   shaders/<id>_*.*     type "SHADER"; a line `#include "<name>"` is replaced by
//                        shaders/include/<name>, so programs share their common parts
// Any malformed input stops the build with a message naming the file and line.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Resource {
    std::string type;
    unsigned id;
    std::string bytes;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    std::cerr << "rescomp: " << where << ": " << what << "\n";
    std::exit(1);
}

std::string ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail(path.string(), "cannot read");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

unsigned ParseId(const std::string& text, const std::string& where) {
    char* end = nullptr;
    unsigned long id = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || id == 0 || id > 0xFFFF)
        Fail(where, "bad id '" + text + "'");
    return static_cast<unsigned>(id);
}

std::string Unquote(const std::string& text, const std::string& where) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"')
        Fail(where, "text must be in double quotes");
    std::string out;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        char c = text[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i + 1 >= text.size()) Fail(where, "dangling backslash");
        switch (text[i]) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            default:
                Fail(where, std::string("unknown escape \\") + text[i]);
        }
    }
    return out;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

void ReadStrings(const fs::path& path, std::vector<Resource>& out) {
    std::istringstream in(ReadWhole(path));
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::string where = path.string() + ":" + std::to_string(number);
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        size_t space = line.find_first_of(" \t");
        if (space == std::string::npos) Fail(where, "expected `<id> \"text\"`");
        out.push_back({"STRING", ParseId(line.substr(0, space), where),
                       Unquote(Trim(line.substr(space)), where)});
    }
}

void ReadMenus(const fs::path& path, std::vector<Resource>& out) {
    std::istringstream in(ReadWhole(path));
    std::string line;
    Resource* current = nullptr;
    for (int number = 1; std::getline(in, line); ++number) {
        std::string trimmed = Trim(line);
        if (trimmed.rfind("MENU ", 0) == 0) {
            std::string where = path.string() + ":" + std::to_string(number);
            out.push_back({"MENU", ParseId(Trim(trimmed.substr(5)), where), {}});
            current = &out.back();
            continue;
        }
        if (trimmed.empty() || trimmed[0] == '#') continue;
        if (!current) Fail(path.string() + ":" + std::to_string(number), "text before MENU");
        current->bytes += trimmed + "\n";
    }
}

// The text of a shader with its include lines replaced, included files
// themselves expanded (to a small depth, which also stops cycles).
std::string ExpandIncludes(const fs::path& path, int depth = 0) {
    if (depth > 8) Fail(path.string(), "includes nested too deeply");
    const fs::path includes = depth == 0 ? path.parent_path() / "include" : path.parent_path();
    std::istringstream in(ReadWhole(path));
    std::string line, out;
    for (int number = 1; std::getline(in, line); ++number) {
        std::string trimmed = Trim(line);
        if (trimmed.rfind("#include", 0) != 0) {
            out += line + "\n";
            continue;
        }
        std::string where = path.string() + ":" + std::to_string(number);
        std::string name = Unquote(Trim(trimmed.substr(8)), where);
        if (name.empty() || name.find('/') != std::string::npos) Fail(where, "bad include name");
        if (!fs::is_regular_file(includes / name)) Fail(where, "no include file " + name);
        out += ExpandIncludes(includes / name, depth + 1);
    }
    return out;
}

void ReadFolder(const fs::path& folder, const std::string& type, std::vector<Resource>& out) {
    if (!fs::is_directory(folder)) return;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        std::string name = entry.path().filename().string();
        size_t cut = name.find_first_of("_.");
        out.push_back({type, ParseId(name.substr(0, cut), entry.path().string()),
                       type == "SHADER" ? ExpandIncludes(entry.path()) : ReadWhole(entry.path())});
    }
}

void WriteTable(const std::vector<Resource>& resources, const fs::path& path) {
    std::ostringstream s;
    s << "// Generated by tools/rescomp from resources/. Do not edit.\n"
      << "#include \"resources/resource_entry.h\"\n\nnamespace {\n";
    for (size_t i = 0; i < resources.size(); ++i) {
        s << "const unsigned char kData" << i << "[] = {";
        const std::string& b = resources[i].bytes;
        for (size_t j = 0; j < b.size(); ++j) {
            if (j % 24 == 0) s << "\n";
            s << static_cast<unsigned>(static_cast<unsigned char>(b[j])) << ",";
        }
        s << "0};\n";  // a trailing zero keeps empty arrays legal and text terminated
    }
    s << "}  // namespace\n\nconst mtxResourceEntry kResourceTable[] = {\n";
    for (size_t i = 0; i < resources.size(); ++i)
        s << "    {\"" << resources[i].type << "\", " << resources[i].id << ", kData" << i << ", "
          << resources[i].bytes.size() << "},\n";
    s << "    {nullptr, 0, nullptr, 0}};\n";
    std::ofstream(path, std::ios::binary) << s.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--expand") {
        std::ofstream(argv[3], std::ios::binary) << ExpandIncludes(argv[2]);
        return 0;
    }
    if (argc != 3) {
        std::cerr << "usage: rescomp <resources-dir> <output.cpp>\n"
                     "       rescomp --expand <shader> <output>\n";
        return 2;
    }
    fs::path root = argv[1];
    std::vector<Resource> resources;
    if (fs::exists(root / "strings.txt")) ReadStrings(root / "strings.txt", resources);
    if (fs::exists(root / "menu.txt")) ReadMenus(root / "menu.txt", resources);
    ReadFolder(root / "images", "IMAGE", resources);
    ReadFolder(root / "shaders", "SHADER", resources);

    std::sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
        return a.type != b.type ? a.type < b.type : a.id < b.id;
    });
    for (size_t i = 1; i < resources.size(); ++i)
        if (resources[i].type == resources[i - 1].type && resources[i].id == resources[i - 1].id)
            Fail(root.string(),
                 "duplicate " + resources[i].type + " resource " + std::to_string(resources[i].id));
    WriteTable(resources, argv[2]);
    return 0;
}
