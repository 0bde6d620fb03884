#include "platform/settings_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "platform/os_file.h"
#include "platform/text.h"

namespace {

// One line of the file: a value it understood, or any other line kept as text.
struct Line {
    bool isValue = false;
    std::string name;
    mtxSettingsFile::Value value;
    std::string raw;
};

struct Section {
    std::string name;  // empty for the lines before the first header
    std::vector<Line> lines;
};

using Document = std::vector<Section>;

std::string EscapeText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

// Parses a double-quoted text starting at line[i]; i ends past the quote.
std::optional<std::string> ParseQuoted(const std::string& line, size_t& i) {
    if (i >= line.size() || line[i] != '"') return std::nullopt;
    std::string out;
    for (++i; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') {
            ++i;
            return out;
        }
        if (c == '\\') {
            if (++i >= line.size()) return std::nullopt;
            c = line[i] == 'n' ? '\n' : line[i];
            if (line[i] != 'n' && line[i] != '\\' && line[i] != '"') return std::nullopt;
        }
        out += c;
    }
    return std::nullopt;
}

std::vector<uint8_t> StringBytes(const std::string& text) {
    std::u16string wide = mtxUtf8ToUtf16(text);
    std::vector<uint8_t> bytes;
    for (char16_t c : wide) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

// The text of stored string bytes, up to the first terminator.
std::string BytesText(const std::vector<uint8_t>& bytes) {
    std::u16string wide;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char16_t c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (c == 0) break;
        wide += c;
    }
    return mtxUtf16ToUtf8(wide);
}

std::optional<Line> ParseValueLine(const std::string& line) {
    size_t i = 0;
    auto name = ParseQuoted(line, i);
    if (!name || i >= line.size() || line[i] != '=') return std::nullopt;
    ++i;
    Line out;
    out.isValue = true;
    out.name = *name;
    out.raw = line;
    if (line.compare(i, 6, "dword:") == 0) {
        std::string digits = line.substr(i + 6);
        if (digits.size() != 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return std::nullopt;
        uint32_t v = static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
        out.value.type = mtxSettingsFile::kTypeDword;
        out.value.bytes = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        return out;
    }
    auto text = ParseQuoted(line, i);
    if (!text || i != line.size()) return std::nullopt;
    out.value.type = mtxSettingsFile::kTypeString;
    out.value.bytes = StringBytes(*text);
    return out;
}

Document Parse(const std::string& content) {
    Document doc(1);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            doc.push_back({line.substr(1, line.size() - 2), {}});
            continue;
        }
        auto value = line.empty() ? std::nullopt : ParseValueLine(line);
        if (value) {
            doc.back().lines.push_back(*value);
        } else {
            Line raw;
            raw.raw = line;
            doc.back().lines.push_back(raw);
        }
    }
    return doc;
}

std::string ValueText(const Line& line) {
    const auto& b = line.value.bytes;
    // Built by appending: GCC 12 misreads `"..." + std::string` at -O3 (-Wrestrict).
    std::string out(1, '"');
    out += EscapeText(line.name);
    out += "\"=";
    if (line.value.type == mtxSettingsFile::kTypeDword && b.size() == 4) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x",
                      unsigned(b[0] | b[1] << 8 | b[2] << 16 | unsigned(b[3]) << 24));
        return out + digits;
    }
    out += '"';
    out += EscapeText(BytesText(b));
    out += '"';
    return out;
}

std::string Serialise(const Document& doc) {
    std::string out;
    for (const Section& section : doc) {
        if (!section.name.empty()) {
            out += '[';
            out += section.name;
            out += "]\n";
        }
        for (const Line& line : section.lines) {
            out += line.isValue ? ValueText(line) : line.raw;
            out += '\n';
        }
    }
    return out;
}

Section* FindSection(Document& doc, const std::string& name) {
    for (Section& s : doc)
        if (!s.name.empty() && mtxEqualsIgnoreCase(s.name, name)) return &s;
    return nullptr;
}

// Holds an flock on the companion lock file for its lifetime.
class FileLock {
  public:
    FileLock(const std::string& path, bool exclusive) {
        fd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0 && !exclusive) fd_ = ::open((path + ".lock").c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) return;
        int r;
        do {
            r = ::flock(fd_, exclusive ? LOCK_EX : LOCK_SH);
        } while (r != 0 && errno == EINTR);
        locked_ = r == 0;
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    bool Locked() const { return locked_; }

  private:
    int fd_ = -1;
    bool locked_ = false;
};

// Reads the whole file; a missing file is empty, an unreadable one fails.
bool ReadDocument(const std::string& path, Document& doc) {
    mtxOs::OpenRequest request;
    int fd = mtxOs::Open(path, request);
    if (fd < 0) {
        if (errno != ENOENT) return false;
        doc = Document(1);
        return true;
    }
    std::string content;
    char buffer[65536];
    int64_t n;
    while ((n = mtxOs::Read(fd, buffer, sizeof buffer)) > 0) content.append(buffer, size_t(n));
    mtxOs::Close(fd);
    if (n < 0) return false;
    doc = Parse(content);
    return true;
}

bool WriteDocument(const std::string& path, const Document& doc) {
    std::string temp = path + ".tmp." + std::to_string(::getpid());
    mtxOs::OpenRequest request;
    request.read = false;
    request.write = true;
    request.create = request.truncate = request.closeOnExec = true;
    int fd = mtxOs::Open(temp, request);
    if (fd < 0) return false;
    std::string text = Serialise(doc);
    bool ok = mtxOs::Write(fd, text.data(), text.size()) == int64_t(text.size()) && mtxOs::Sync(fd);
    ok = mtxOs::Close(fd) == 0 && ok;
    if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        mtxOs::Remove(temp);
        return false;
    }
    // Sync the folder too, so the rename itself survives a power cut.
    size_t slash = path.find_last_of('/');
    int dir = ::open(slash == std::string::npos ? "." : path.substr(0, slash + 1).c_str(),
                     O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

template <typename Change>
bool Modify(const std::string& path, Change change) {
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !mtxOs::MakeDirectories(path.substr(0, slash)))
        return false;
    FileLock lock(path, true);
    Document doc;
    if (!lock.Locked() || !ReadDocument(path, doc)) return false;
    if (!change(doc)) return true;  // nothing to change
    return WriteDocument(path, doc);
}

}  // namespace

mtxSettingsFile::mtxSettingsFile(std::string path) : path_(std::move(path)) {}

std::string mtxSettingsFile::DefaultPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.config";
    }
    return base + "/daubry/settings.reg";
}

bool mtxSettingsFile::CreateSection(const std::string& section) {
    return Modify(path_, [&](Document& doc) {
        if (FindSection(doc, section)) return false;
        doc.push_back({section, {}});
        return true;
    });
}

bool mtxSettingsFile::HasSection(const std::string& section) const {
    FileLock lock(path_, false);
    Document doc;
    return ReadDocument(path_, doc) && FindSection(doc, section) != nullptr;
}

bool mtxSettingsFile::ReadValue(const std::string& section, const std::string& name,
                                Value& out) const {
    FileLock lock(path_, false);
    Document doc;
    if (!ReadDocument(path_, doc)) return false;
    Section* s = FindSection(doc, section);
    if (!s) return false;
    // The last of several lines with one name wins, as a registry import would.
    const Line* found = nullptr;
    for (const Line& line : s->lines)
        if (line.isValue && mtxEqualsIgnoreCase(line.name, name)) found = &line;
    if (!found) return false;
    out = found->value;
    return true;
}

bool mtxSettingsFile::WriteValue(const std::string& section, const std::string& name,
                                 const Value& value) {
    return Modify(path_, [&](Document& doc) {
        Section* s = FindSection(doc, section);
        if (!s) {
            doc.push_back({section, {}});
            s = &doc.back();
        }
        Line line;
        line.isValue = true;
        line.name = name;
        line.value = value;
        // The value keeps its place; older duplicates of the name go.
        auto same = [&](const Line& l) { return l.isValue && mtxEqualsIgnoreCase(l.name, name); };
        auto first = std::find_if(s->lines.begin(), s->lines.end(), same);
        if (first == s->lines.end()) {
            s->lines.push_back(line);
            return true;
        }
        *first = line;
        s->lines.erase(std::remove_if(first + 1, s->lines.end(), same), s->lines.end());
        return true;
    });
}
