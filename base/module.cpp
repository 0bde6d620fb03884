#include "base/module.h"

#include "platform/library.h"
#include "platform/resource_table.h"

int mtxModule::Load(const std::string& fileName) {
    return Load(fileName, mtxOs::SystemLibraryDirectory(), mtxOs::GeneralLibraryDirectory());
}

int mtxModule::Load(const std::string& fileName, const std::string& systemDirectory,
                    const std::string& generalDirectory) {
    Release();
    attempt_ = 0;
    if (fileName.empty()) return 0;
    const std::string candidates[] = {fileName, systemDirectory + "/" + fileName,
                                      generalDirectory + "/" + fileName};
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && fileName.find('/') != std::string::npos)
            break;  // a path is tried as given only
        if (void* h = mtxOs::LoadLibrary(candidates[i])) {
            handle_ = h;
            owned_ = true;
            attempt_ = i + 1;
            return 1;
        }
    }
    return 0;
}

void* mtxModule::GetProc(const char* name) const {
    return mtxOs::GetProcAddress(handle_, name);
}

std::span<const unsigned char> mtxModule::FindResource(uint32_t id, const char* type) const {
    if (handle_) return {};
    return mtxFindResource(type, id);
}

void mtxModule::Release() {
    if (owned_ && handle_) mtxOs::FreeLibrary(handle_);
    handle_ = nullptr;
    owned_ = false;
}
