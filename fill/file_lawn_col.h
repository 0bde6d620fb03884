#pragma once
#include <cstdint>
#include <string>
#include <vector>

class mtxFile;

// A sample collection file (.msc): the list of the samples' picture files.
//
//   offset 0        4 bytes   "MLCL"
//   offset 4        16 bytes  reserved, written as zero, covered by the checksum
//   offset 20       2 x n     the entries as UTF-16LE, each followed by one zero code unit
//   offset 20 + 2n  4 bytes   CRC-32 (reflected 0xEDB88320, standard) of all bytes before it
//
// An entry is a bare file name when every sample lies in the collection file's folder, and an
// absolute path otherwise; a file never mixes the two forms. Entries are held here as UTF-8.
//
// Reading trusts nothing: the file must be a regular file of at most 1 MiB, with at most 128
// entries of at most 4096 code units each, valid UTF-16, every entry terminated and the
// checksum right. Writing replaces the file only once the new one is complete on disk.
class mtxFileLawnCol {
  public:
    static constexpr int kMaxEntries = 128;
    static constexpr uint32_t kMaxEntryUnits = 4096;
    static constexpr int64_t kMaxFileBytes = 1 << 20;
    static constexpr uint32_t kHeaderBytes = 20;
    static constexpr uint32_t kChecksumBytes = 4;

    // A collection without a file: it reads from and writes to files handed over.
    mtxFileLawnCol() = default;
    // The collection file at path (made absolute); nothing is opened until read or written.
    explicit mtxFileLawnCol(const std::string& path);

    // Reads the collection file, read-only. 1 when every check passes, with the entries filled;
    // 0 otherwise, with no entries and the reason in error.
    int ReadCollection();
    // Reads a collection from the start of file. 1 or 0 as above.
    int ReadCollection(mtxFile& file);

    // Appends an entry; 0 (nothing added) when all 128 are in use.
    int AddEntry(const std::string& entry);

    // Writes the entries in their stored form (StoredForms) over the collection file. 1 when
    // the new file is in place; 0 with the reason in error, and the old file as it was.
    int WriteCollection();
    // Writes the entries as they stand into file, from its start, cutting it to their length.
    // 0 with the reason in error when an entry cannot be stored (empty, not valid UTF-8, holding
    // a zero character, longer than 4096 UTF-16 units) or the file refuses the bytes.
    int WriteCollection(mtxFile& file);

    // The entries as the file stores them: bare file names when every entry's folder is the
    // collection file's folder, otherwise every entry as an absolute path.
    void StoredForms(std::string out[kMaxEntries]) const;

    // The picture file an entry names: a bare name in the collection file's folder, or the
    // absolute path as it stands. Empty, with the reason in error, when the entry is neither or
    // its bare name is "." or "..".
    std::string ResolveEntry(int index, std::string& error) const;

    std::string entries[kMaxEntries];
    int32_t entryCount = 0;
    std::string path;    // the collection file, absolute; empty without one
    std::string folder;  // its folder, without a trailing separator
    std::string error;   // why the last read or write failed, for the user

  private:
    // Reading failed: no entries, the reason in error; returns 0.
    int Refuse(const std::string& reason);
    // Writing failed: the reason in error; returns 0.
    int Fail(const std::string& reason);
    void ClearEntries();
    // The whole file's bytes for the entries as they stand; 0 with the reason when an entry
    // cannot be stored.
    int Encode(std::vector<uint8_t>& bytes, std::string& reason);
    const uint32_t* CrcTable();

    uint32_t crcTable_[256] = {};
    bool crcTableBuilt_ = false;
};
