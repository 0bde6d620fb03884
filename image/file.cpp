#include "image/file.h"

#include "platform/message_box.h"
#include "platform/os_file.h"

mtxFile::~mtxFile() {
    if (opened_ && handle_ >= 0) mtxOs::Close(handle_);
}

int64_t mtxFile::GetPosition() {
    return handle_ < 0 ? -1 : mtxOs::Seek(handle_, 0, 1);
}

int mtxFile::Open(const std::string& path, uint32_t mode) {
    // Opening again replaces the file: a descriptor this object opened would
    // otherwise stay open with nothing left to close it.
    if (opened_ && handle_ >= 0) mtxOs::Close(handle_);
    handle_ = -1;
    opened_ = 0;
    path_ = mtxOs::FullPath(path);

    mtxOs::OpenRequest request;
    uint32_t access = mode & 3;
    request.read = access != kWrite;
    request.write = access != kRead;
    request.create = (mode & kCreate) != 0;
    request.truncate = request.create && !(mode & kOpenAlways);
    request.closeOnExec = (mode & kNoInherit) != 0;
    request.writeThrough = (mode & kWriteThrough) != 0;
    request.deleteOnClose = (mode & kDeleteOnClose) != 0;
    request.sequentialHint = (mode & kSequentialScan) != 0;
    request.randomHint = (mode & kRandomAccess) != 0;
    int handle = mtxOs::Open(path_, request);
    if (handle < 0) {
        std::string reason = mtxOs::ErrorText(mtxOs::LastError());
        mtxSystemMessageBox(reason + ":\n" + path_, "", MB_ICONINFORMATION | MB_TASKMODAL);
        return 0;
    }
    handle_ = handle;
    opened_ = 1;
    return 1;
}

std::unique_ptr<mtxFile> mtxFile::Duplicate() {
    if (handle_ < 0) return nullptr;
    int copy = mtxOs::Duplicate(handle_);
    if (copy < 0) return nullptr;
    auto file = std::make_unique<mtxFile>();
    file->handle_ = copy;
    file->opened_ = opened_;
    return file;
}

int64_t mtxFile::Seek(int64_t offset, int origin) {
    return handle_ < 0 ? -1 : mtxOs::Seek(handle_, offset, origin);
}

int mtxFile::SetLength(int64_t length) {
    if (handle_ < 0 || mtxOs::Seek(handle_, length, 0) < 0) return 0;
    return mtxOs::Truncate(handle_, length) ? 1 : 0;
}

int64_t mtxFile::GetLength() {
    return handle_ < 0 ? -1 : mtxOs::Size(handle_);
}

uint32_t mtxFile::Read(void* buffer, uint32_t count) {
    if (handle_ < 0 || count == 0) return 0;
    int64_t n = mtxOs::Read(handle_, buffer, count);
    return n > 0 ? static_cast<uint32_t>(n) : 0;
}

uint32_t mtxFile::ReadAll(void* buffer) {
    int64_t length = GetLength();
    int64_t position = GetPosition();
    if (length <= 0 || position < 0 || position >= length) return 0;
    int64_t rest = length - position;
    return Read(buffer, rest > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<uint32_t>(rest));
}

int mtxFile::Write(const void* buffer, uint32_t count) {
    if (handle_ < 0 || count == 0) return 0;
    return mtxOs::Write(handle_, buffer, count) == int64_t(count) ? 1 : 0;
}

int mtxFile::LockRange(uint64_t offset, uint64_t length) {
    return handle_ >= 0 && mtxOs::LockRange(handle_, offset, length, true) ? 1 : 0;
}

int mtxFile::UnlockRange(uint64_t offset, uint64_t length) {
    return handle_ >= 0 && mtxOs::LockRange(handle_, offset, length, false) ? 1 : 0;
}

void mtxFile::Abort() {
    if (handle_ >= 0) mtxOs::Close(handle_);
    handle_ = -1;
    opened_ = 0;
    path_.clear();
}

int mtxFile::Flush() {
    return handle_ >= 0 && mtxOs::Sync(handle_) ? 1 : 0;
}

int mtxFile::Close() {
    int ok = 1;
    if (handle_ >= 0) ok = mtxOs::Close(handle_) == 0 ? 1 : 0;
    handle_ = -1;
    opened_ = 0;
    path_.clear();
    return ok;
}

int mtxCommitWrites(mtxFile& file) {
    // A memory file has no handle and its Flush reports 0 by design; it has
    // nothing to commit.
    return file.Flush() || !file.IsOpen() ? 1 : 0;
}

uint32_t mtxFile::MapBuffer(int, uint32_t, uint8_t**, uint8_t**) {
    return 0;
}

void mtxFile::Remove() {
    std::string path = path_;
    if (handle_ >= 0) Close();
    if (!path.empty()) mtxOs::Remove(path);
}
