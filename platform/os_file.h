#pragma once
#include <cstdint>
#include <cstdio>
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
    bool regularOnly = false;     // refuse FIFOs, devices and sockets without waiting on them
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
// True when path names a regular file (links followed).
bool IsRegularFile(const std::string& path);

// Replaces the file at path with size bytes so that the file holds either its old content or
// the new, never a mix: the bytes go to a new file in the same folder, which is synced and
// renamed over path, and the folder is synced. An existing file's permissions are kept, and a
// link keeps pointing at the replaced file. On failure false, the old file untouched and no new
// file left behind; false too (content already replaced) when only the folder's sync failed.
bool ReplaceFile(const std::string& path, const void* bytes, uint64_t size);

// Absolute, lexically normalised form of path (no links resolved); relative
// paths are taken from the current directory.
std::string FullPath(const std::string& path);
std::string CurrentDirectory();

int LastError();

// Makes a write past the process's file-size limit fail (EFBIG) like any
// other failed write, instead of ending the process by SIGXFSZ.
void IgnoreFileSizeSignal();

// Whether stream is a terminal (progress may then be redrawn in place).
bool IsTerminal(std::FILE* stream);
// Whether the process may create files in folder; false with errno set when not.
bool CanCreateIn(const std::string& folder);
// The process's id, for names of temporary files.
int ProcessId();
// Whether a process of that id runs (also one of another user).
bool ProcessRunning(int pid);
std::string ErrorText(int error);

}  // namespace mtxOs
