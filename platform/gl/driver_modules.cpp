#include "platform/gl/driver_modules.h"

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

void mtxGlPinDriverModules() {
    std::vector<std::string> drivers;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* out) {
            const char* name = info->dlpi_name;
            if (name && std::strstr(name, "_dri.so"))
                static_cast<std::vector<std::string>*>(out)->push_back(name);
            return 0;
        },
        &drivers);
    // Loading is not allowed while the modules are being listed. Each call
    // adds a reference that is never given back, which is the point.
    for (const std::string& path : drivers)
        dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

void mtxGlPrepareDriver() {
    setenv("LP_NUM_THREADS", "0", 0);
}
