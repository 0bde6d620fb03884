#include "base/registry.h"

#include <cstring>
#include <vector>

#include "platform/text.h"

namespace {
// The registry keeps key paths to 259 characters; longer ones cannot be opened.
constexpr size_t kMaxKeyPath = 259;
}  // namespace

void mtxRegistry::Init() {
    std::lock_guard guard(lock_);
    root_.reset();
    rootPath_.clear();
}

int mtxRegistry::Open(const std::string& keyPath, const std::string& file) {
    std::lock_guard guard(lock_);
    rootPath_ = keyPath;
    root_.reset();
    if (keyPath.empty() || mtxUtf8ToUtf16(keyPath).size() > kMaxKeyPath) return 1;
    auto store = std::make_unique<mtxSettingsFile>(file);
    if (store->CreateSection(keyPath)) root_ = std::move(store);
    return 1;
}

void mtxRegistry::Close() {
    std::lock_guard guard(lock_);
    // Every write already reached the disk synced, so there is nothing to flush.
    root_.reset();
}

bool mtxRegistry::IsOpen() const {
    std::lock_guard guard(lock_);
    return root_ != nullptr;
}

std::string mtxRegistry::KeyOf(const char* section) const {
    return section ? rootPath_ + "\\" + section : rootPath_;
}

int mtxRegistry::Write(const char* section, const std::string& name,
                       const mtxSettingsFile::Value& value) {
    std::lock_guard guard(lock_);
    return root_ && root_->WriteValue(KeyOf(section), name, value) ? 1 : 0;
}

int mtxRegistry::SetInt(const char* section, const std::string& name, uint32_t v) {
    mtxSettingsFile::Value value;
    value.type = mtxSettingsFile::kTypeDword;
    value.bytes = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    return Write(section, name, value);
}

int mtxRegistry::SetString(const char* section, const std::string& name, const std::string& text) {
    mtxSettingsFile::Value value;
    value.type = mtxSettingsFile::kTypeString;
    for (char16_t c : mtxUtf8ToUtf16(text)) {
        value.bytes.push_back(uint8_t(c & 0xFF));
        value.bytes.push_back(uint8_t(c >> 8));
    }
    value.bytes.insert(value.bytes.end(), {0, 0});
    return Write(section, name, value);
}

int mtxRegistry::ReadLocked(const char* section, const std::string& name,
                            mtxSettingsFile::Value& value) {
    return root_ && root_->ReadValue(KeyOf(section), name, value) ? 1 : 0;
}

int mtxRegistry::GetRaw(const char* section, const std::string& name, void* buffer,
                        uint32_t& bytes) {
    std::lock_guard guard(lock_);
    mtxSettingsFile::Value value;
    if (!ReadLocked(section, name, value)) return 0;
    uint32_t capacity = bytes;
    bytes = static_cast<uint32_t>(value.bytes.size());
    if (!buffer) return 1;
    if (value.bytes.size() > capacity) return 0;
    if (!value.bytes.empty()) std::memcpy(buffer, value.bytes.data(), value.bytes.size());
    return 1;
}

int mtxRegistry::GetInt(const char* section, const std::string& name, uint32_t& out) {
    uint8_t bytes[4] = {};
    uint32_t size = sizeof bytes;
    if (!GetRaw(section, name, bytes, size)) return 0;
    out = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
          uint32_t(bytes[3]) << 24;
    return 1;
}

int mtxRegistry::GetString(const char* section, const std::string& name, std::string& out) {
    out.clear();
    uint32_t size = 0;
    if (!GetRaw(section, name, nullptr, size) || size < 3) return 0;
    // The zeroed margin terminates a stored string that lacks its own terminator.
    std::vector<uint8_t> buffer(2 * size_t(size) + 10, 0);
    uint32_t capacity = static_cast<uint32_t>(buffer.size());
    if (!GetRaw(section, name, buffer.data(), capacity)) return 0;
    std::u16string wide;
    for (size_t i = 0; i + 1 < buffer.size(); i += 2) {
        char16_t c = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
        if (!c) break;
        wide += c;
    }
    out = mtxUtf16ToUtf8(wide);
    return 1;
}
