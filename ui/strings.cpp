#include "ui/strings.h"

#include "base/application.h"

std::string mtxIELoadString(uint32_t n, const char* fallback) {
    std::string out;
    if (mtxApplication* app = mtxGetApp())
        if (app->LoadString(n, out)) return out;
    return fallback ? fallback : "";
}
