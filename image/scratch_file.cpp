#include "image/scratch_file.h"

#include "platform/os_file.h"

int mtxScratchFile::Begin(const std::string& besidePath) {
    if (opened_ && handle_ >= 0) mtxOs::Close(handle_);
    handle_ = -1;
    opened_ = 0;
    path_ = mtxOs::FullPath(besidePath) + ".scratch-" + std::to_string(mtxOs::ProcessId());
    mtxOs::OpenRequest request;
    request.read = request.write = request.create = request.truncate = true;
    request.closeOnExec = request.deleteOnClose = true;
    int handle = mtxOs::Open(path_, request);
    if (handle < 0) return 0;
    handle_ = handle;
    opened_ = 1;
    return 1;
}
