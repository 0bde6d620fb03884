#pragma once
#include <cstdint>
#include <string>

// Thin layer over the operating system's files. Handles are descriptors; -1 is
// the invalid handle. Every call returns -1 (or 0 for bool results) on failure
// and leaves the reason in LastError().
namespace mtxOs {

// Access and creation, decoded from the file mode word by the caller.
struct OpenRequest {
    bool read = true;
    bool write = false;
    bool create = false;    // create when missing
    bool truncate = false;  // always start empty (with create)
    bool closeOnExec = false;
    bool writeThrough = false;
    bool deleteOnClose = false;
    bool sequentialHint = false;  // the file will be read front to back
    bool randomHint = false;      // the file will be read in no particular order
};

int Open(const std::string& path, const OpenRequest& request);
int Close(int handle);  // 0 on success
int Duplicate(int handle);
int64_t Seek(int handle, int64_t offset, int origin);  // origin 0 begin, 1 current, 2 end
int64_t Size(int handle);
int64_t Read(int handle, void* buffer, uint64_t count);  // loops over short reads
int64_t Write(int handle, const void* buffer, uint64_t count);
bool Truncate(int handle, int64_t length);
bool Sync(int handle);
bool LockRange(int handle, uint64_t offset, uint64_t length, bool lock);
bool Remove(const std::string& path);
bool Exists(const std::string& path);
bool IsDirectory(const std::string& path);
bool MakeDirectories(const std::string& path);

// Absolute, lexically normalised form of path (no links resolved); relative
// paths are taken from the current directory.
std::string FullPath(const std::string& path);
std::string CurrentDirectory();

int LastError();
std::string ErrorText(int error);

}  // namespace mtxOs
