#include "fill/file_lawn_col.h"

#include <cstring>
#include <vector>

#include "base/application.h"
#include "fill/message_sink.h"
#include "image/file.h"
#include "image/file_memory.h"
#include "platform/os_file.h"
#include "platform/path.h"
#include "platform/text.h"

namespace {

constexpr char kMagic[4] = {'M', 'L', 'C', 'L'};

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// True when every surrogate is half of a proper pair.
bool IsValidUtf16(const std::u16string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsLowSurrogate(text[i])) return false;
        if (IsHighSurrogate(text[i])) {
            if (i + 1 == text.size() || !IsLowSurrogate(text[i + 1])) return false;
            ++i;
        }
    }
    return true;
}

// The entry as UTF-16, or false when it has no exact UTF-16 form (the conversion marks invalid
// UTF-8 with U+FFFD, which would store another name than the one given).
bool ToUtf16(const std::string& entry, std::u16string& out) {
    out = mtxUtf8ToUtf16(entry);
    return mtxUtf16ToUtf8(out) == entry;
}

std::string Quoted(const std::string& text) {
    return "\"" + mtxPrintable(text) + "\"";
}

}  // namespace

mtxFileLawnCol::mtxFileLawnCol(const std::string& file) {
    mtxPath parts(file);
    path = parts.Full();
    folder = parts.Directory();
}

int mtxFileLawnCol::Refuse(const std::string& reason) {
    ClearEntries();
    return Fail(reason);
}

int mtxFileLawnCol::Fail(const std::string& reason) {
    error = (path.empty() ? std::string("Sample collection") : "Sample collection " + path) + ": " +
            reason + ".";
    return 0;
}

void mtxFileLawnCol::ClearEntries() {
    for (int i = 0; i < entryCount; ++i) entries[i].clear();
    entryCount = 0;
}

const uint32_t* mtxFileLawnCol::CrcTable() {
    if (mtxApplication* app = mtxGetApp()) return app->crc32Table;
    if (!crcTableBuilt_) mtxBuildCrc32Table(crcTable_);
    crcTableBuilt_ = true;
    return crcTable_;
}

int mtxFileLawnCol::AddEntry(const std::string& entry) {
    if (entryCount >= kMaxEntries) return 0;
    entries[entryCount++] = entry;
    return 1;
}

int mtxFileLawnCol::ReadCollection() {
    error.clear();
    if (path.empty()) return Refuse("no file given");
    // Read-only, so an installed collection loads and a missing one is not created; a FIFO or
    // device is refused at once instead of being waited on.
    mtxOs::OpenRequest request;
    request.closeOnExec = true;
    request.regularOnly = true;
    int handle = mtxOs::Open(path, request);
    if (handle < 0) return Refuse("cannot be read: " + mtxOs::ErrorText(mtxOs::LastError()));
    int64_t size = mtxOs::Size(handle);
    std::vector<uint8_t> bytes;
    if (size >= 0 && size <= kMaxFileBytes) {
        bytes.resize(size_t(size));
        // One byte more than the size shows a file that grew while it was read.
        bytes.push_back(0);
        int64_t got = mtxOs::Read(handle, bytes.data(), bytes.size());
        size = got == size ? got : -1;
        bytes.pop_back();
    }
    int readError = mtxOs::LastError();
    mtxOs::Close(handle);
    if (size > kMaxFileBytes) return Refuse("is larger than 1 MiB");
    if (size < 0) return Refuse("cannot be read: " + mtxOs::ErrorText(readError));
    mtxFileMemory memory(0);
    memory.Attach(bytes.data(), uint32_t(bytes.size()), 0);
    return ReadCollection(memory);
}

int mtxFileLawnCol::ReadCollection(mtxFile& file) {
    error.clear();
    ClearEntries();
    const uint32_t* table = CrcTable();
    int64_t length = file.GetLength();
    if (length > kMaxFileBytes) return Refuse("is larger than 1 MiB");
    if (length < int64_t(kHeaderBytes + kChecksumBytes))
        return Refuse("is too short (" + std::to_string(length < 0 ? 0 : length) +
                      " bytes) for a sample collection");
    uint8_t header[kHeaderBytes];
    if (file.Seek(0, 0) != 0 || file.Read(header, kHeaderBytes) != kHeaderBytes)
        return Refuse("cannot be read");
    if (std::memcmp(header, kMagic, 4) != 0) return Refuse("is not a sample collection");
    if ((length - kHeaderBytes) % 2 != 0) return Refuse("has an odd length");
    uint32_t units = uint32_t(length - kHeaderBytes - kChecksumBytes) / 2;
    std::vector<uint8_t> body(size_t(units) * 2 + kChecksumBytes);
    if (file.Read(body.data(), uint32_t(body.size())) != body.size())
        return Refuse("cannot be read");

    uint32_t crc = mtxCrc32Update(table, 0xFFFFFFFFu, header, kHeaderBytes);
    crc = mtxCrc32Update(table, crc, body.data(), size_t(units) * 2);
    const uint8_t* stored = body.data() + size_t(units) * 2;
    uint32_t expected = uint32_t(stored[0]) | uint32_t(stored[1]) << 8 | uint32_t(stored[2]) << 16 |
                        uint32_t(stored[3]) << 24;
    if (expected != ~crc) return Refuse("is damaged (its checksum does not match)");

    // Entries are taken apart only once the checksum vouches for the bytes.
    std::u16string entry;
    for (uint32_t i = 0; i < units; ++i) {
        char16_t unit = char16_t(body[2 * i] | body[2 * i + 1] << 8);
        if (unit != 0) {
            if (entry.size() == kMaxEntryUnits)
                return Refuse("entry " + std::to_string(entryCount + 1) +
                              " is longer than 4096 characters");
            entry.push_back(unit);
            continue;
        }
        if (entryCount == kMaxEntries) return Refuse("holds more than 128 samples");
        if (!IsValidUtf16(entry))
            return Refuse("entry " + std::to_string(entryCount + 1) + " is not valid UTF-16");
        entries[entryCount++] = mtxUtf16ToUtf8(entry);
        entry.clear();
    }
    if (!entry.empty()) return Refuse("ends inside an entry (no terminator)");
    return 1;
}

void mtxFileLawnCol::StoredForms(std::string out[kMaxEntries]) const {
    bool bare = true;
    for (int i = 0; i < entryCount; ++i) bare = bare && mtxPath(entries[i]).Directory() == folder;
    for (int i = 0; i < entryCount; ++i) {
        mtxPath entry(entries[i]);
        out[i] = bare ? entry.File() : entry.Full();
    }
}

int mtxFileLawnCol::WriteCollection() {
    error.clear();
    if (path.empty()) return Fail("no file given");
    mtxFileLawnCol stored;
    StoredForms(stored.entries);
    stored.entryCount = entryCount;
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!stored.Encode(bytes, reason)) return Fail(reason + "; nothing was saved");
    if (!mtxOs::ReplaceFile(path, bytes.data(), bytes.size()))
        return Fail("could not be saved (" + mtxOs::ErrorText(mtxOs::LastError()) +
                    "); the file on disk is as it was");
    return 1;
}

int mtxFileLawnCol::WriteCollection(mtxFile& file) {
    error.clear();
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!Encode(bytes, reason)) return Fail(reason);
    if (!file.SetLength(0) || file.Seek(0, 0) != 0 ||
        !file.Write(bytes.data(), uint32_t(bytes.size())))
        return Fail("the file refused the bytes");
    return 1;
}

int mtxFileLawnCol::Encode(std::vector<uint8_t>& bytes, std::string& reason) {
    const uint32_t* table = CrcTable();
    bytes.assign(kMagic, kMagic + 4);
    bytes.resize(kHeaderBytes, 0);
    for (int i = 0; i < entryCount; ++i) {
        std::u16string units;
        std::string what = "entry " + Quoted(entries[i]);
        if (entries[i].empty()) {
            reason = "entry " + std::to_string(i + 1) + " is empty";
            return 0;
        }
        if (!ToUtf16(entries[i], units) || units.find(char16_t(0)) != std::u16string::npos) {
            reason = what + " cannot be stored as UTF-16";
            return 0;
        }
        if (units.size() > kMaxEntryUnits) {
            reason = what + " is longer than 4096 characters";
            return 0;
        }
        for (char16_t u : units) {
            bytes.push_back(uint8_t(u));
            bytes.push_back(uint8_t(u >> 8));
        }
        bytes.push_back(0);
        bytes.push_back(0);
    }
    uint32_t crc = ~mtxCrc32Update(table, 0xFFFFFFFFu, bytes.data(), bytes.size());
    for (int k = 0; k < 4; ++k) bytes.push_back(uint8_t(crc >> (8 * k)));
    return 1;
}

std::string mtxFileLawnCol::ResolveEntry(int index, std::string& reason) const {
    reason.clear();
    const std::string& entry = entries[index];
    std::string where = "Sample collection " + path + ": entry " + Quoted(entry);
    if (!entry.empty() && entry[0] == '/') return entry;
    if (entry.empty() || entry.find('/') != std::string::npos) {
        reason = where + " is neither a file name nor an absolute path; it is skipped.";
        return "";
    }
    if (entry == "." || entry == "..") {
        reason = where + " names a folder; it is skipped.";
        return "";
    }
    return folder + "/" + entry;
}
