#include "image/replacing_file.h"

#include <cerrno>
#include <cstdio>

#include "platform/os_file.h"

mtxReplacingFile::~mtxReplacingFile() {
    GiveUp();
}

int mtxReplacingFile::Begin(const std::string& path) {
    GiveUp();
    target_ = mtxOs::FullPath(path);
    if (mtxOs::IsDirectory(target_)) {
        errno = EISDIR;
        return 0;
    }
    // Beside the target, so the rename stays within one file system.
    temporary_ = target_ + ".part-" + std::to_string(mtxOs::ProcessId());
    mtxOs::OpenRequest request;
    request.read = false;
    request.write = request.create = request.truncate = request.closeOnExec = true;
    int handle = mtxOs::Open(temporary_, request);
    if (handle < 0) return temporary_.clear(), 0;
    handle_ = handle;
    opened_ = 1;
    path_ = temporary_;
    return 1;
}

int mtxReplacingFile::Commit() {
    if (handle_ < 0 || temporary_.empty()) return 0;
    if (!mtxOs::Sync(handle_) || mtxOs::Close(handle_) != 0) {
        handle_ = -1;
        return GiveUp(), 0;
    }
    handle_ = -1;
    opened_ = 0;
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) return GiveUp(), 0;
    temporary_.clear();
    path_ = target_;
    return 1;
}

void mtxReplacingFile::GiveUp() {
    int saved = errno;
    if (handle_ >= 0 && opened_) mtxOs::Close(handle_);
    handle_ = -1;
    opened_ = 0;
    if (!temporary_.empty()) mtxOs::Remove(temporary_);
    temporary_.clear();
    errno = saved;
}
