#include "platform/library.h"

#include <dlfcn.h>
#include <unistd.h>

namespace mtxOs {

void* LoadLibrary(const std::string& path) {
    return path.empty() ? nullptr : dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* GetProcAddress(void* library, const char* name) {
    return library && name ? dlsym(library, name) : nullptr;
}

void FreeLibrary(void* library) {
    if (library) dlclose(library);
}

std::string LibraryError() {
    const char* e = dlerror();
    return e ? e : "";
}

std::string SystemLibraryDirectory() {
#if defined(__x86_64__)
    const char* multiarch = "/usr/lib/x86_64-linux-gnu";
#elif defined(__aarch64__)
    const char* multiarch = "/usr/lib/aarch64-linux-gnu";
#elif defined(__i386__)
    const char* multiarch = "/usr/lib/i386-linux-gnu";
#else
    const char* multiarch = "/usr/lib";
#endif
    return access(multiarch, F_OK) == 0 ? multiarch : "/usr/lib";
}

std::string GeneralLibraryDirectory() {
    return "/usr/lib";
}

}  // namespace mtxOs
