#pragma once
#include <cstdint>
#include <memory>
#include <string>

// A file on disk, and the interface every file-like object offers: codecs and
// document files see only this. Results: "bool" operations return 1 on success
// and 0 on failure; positions and lengths are -1 on failure.
class mtxFile {
  public:
    // Mode word of Open.
    static constexpr uint32_t kRead = 0x0, kWrite = 0x1, kReadWrite = 0x2;
    static constexpr uint32_t kShareRead = 0x20, kShareWrite = 0x30, kShareAll = 0x40;  // ignored
    static constexpr uint32_t kNoInherit = 0x80;
    static constexpr uint32_t kCreate = 0x1000;      // alone: always a new empty file
    static constexpr uint32_t kOpenAlways = 0x2000;  // with kCreate: open or create, keep contents
    static constexpr uint32_t kNoBuffering = 0x10000, kWriteThrough = 0x20000;
    static constexpr uint32_t kRandomAccess = 0x40000, kSequentialScan = 0x80000;
    static constexpr uint32_t kDeleteOnClose = 0x100000, kTemporary = 0x200000;

    mtxFile() = default;
    virtual ~mtxFile();
    mtxFile(const mtxFile&) = delete;
    mtxFile& operator=(const mtxFile&) = delete;

    virtual int64_t GetPosition();
    // Opens path (made absolute) in mode. On failure shows the system's reason
    // in the system message box and returns 0; the file stays closed.
    // A file already open here is closed first.
    virtual int Open(const std::string& path, uint32_t mode);
    // A new disk file on a duplicate of the handle; null on failure.
    virtual std::unique_ptr<mtxFile> Duplicate();
    // origin 0 begin, 1 current, 2 end. The new position, or -1.
    virtual int64_t Seek(int64_t offset, int origin);
    virtual int SetLength(int64_t length);
    virtual int64_t GetLength();
    // Bytes read; 0 on failure, at the end or for count 0.
    virtual uint32_t Read(void* buffer, uint32_t count);
    // Reads from the current position to the end.
    virtual uint32_t ReadAll(void* buffer);
    // 1 only when all count bytes were written; count 0 gives 0.
    virtual int Write(const void* buffer, uint32_t count);
    // Byte-range locks against other processes.
    virtual int LockRange(uint64_t offset, uint64_t length);
    virtual int UnlockRange(uint64_t offset, uint64_t length);
    // Closes without any check and forgets the path.
    virtual void Abort();
    // 0 when no file is open or the system could not flush.
    virtual int Flush();
    // 0 only when closing failed.
    virtual int Close();
    // Direct access to a memory file's bytes; a disk file returns 0.
    virtual uint32_t MapBuffer(int command, uint32_t count, uint8_t** start, uint8_t** end);
    // Closes the file and deletes it.
    virtual void Remove();

    bool IsOpen() const { return handle_ >= 0; }
    const std::string& Path() const { return path_; }

  protected:
    int handle_ = -1;  // invalid until Open succeeds
    int opened_ = 0;   // 1 when Open created the handle; only then is it closed on destruction
    std::string path_;
};

// The last step of every writer: Flush, so that a buffered stream writes its
// pending bytes and the system is asked to store them, and an error on the
// way (a full disk) is seen before the writer reports success. 1 when the
// flush succeeded or the file has no system handle (a memory file, whose
// writes already said whether they succeeded); 0 when flushing failed.
int mtxCommitWrites(mtxFile& file);
