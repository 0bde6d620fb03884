#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The settings file that stands in for the registry: text, one section per key
// path, values typed as in registry exports:
//
//   [Software\Ferrow\Daubry\sm]
//   "min"=dword:00000001
//   "ofp"="/home/ann/pictures/cat.jpg"
//
// Section and value names compare without regard to ASCII case, as registry
// names do. Every write is a read-modify-write under an exclusive lock on a
// companion lock file, written to a temporary file, synced and renamed over the
// old one, so a crash never leaves a torn file and two programs writing at once
// never lose each other's values. Lines that cannot be parsed are skipped when
// reading and kept verbatim when the file is rewritten.
class mtxSettingsFile {
  public:
    static constexpr uint32_t kTypeString = 1;  // REG_SZ
    static constexpr uint32_t kTypeDword = 4;   // REG_DWORD

    // A stored value as the registry reports it: a string is UTF-16LE with its
    // terminator (2 x (length + 1) bytes), an integer 4 little-endian bytes.
    struct Value {
        uint32_t type = kTypeDword;
        std::vector<uint8_t> bytes;
    };

    explicit mtxSettingsFile(std::string path);

    // $XDG_CONFIG_HOME/daubry/settings.reg, with ~/.config when unset.
    static std::string DefaultPath();

    const std::string& Path() const { return path_; }

    // Creates the section when missing. 0 when the file cannot be written.
    bool CreateSection(const std::string& section);
    // 1 when the file can be read and holds the section.
    bool HasSection(const std::string& section) const;
    // 0 when the file, the section or the value is missing or unreadable.
    bool ReadValue(const std::string& section, const std::string& name, Value& out) const;
    // Creates the section when missing. 0 when the file cannot be written.
    bool WriteValue(const std::string& section, const std::string& name, const Value& value);

  private:
    std::string path_;
};
