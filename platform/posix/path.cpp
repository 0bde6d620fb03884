#include "platform/path.h"

#include "platform/os_file.h"
#include "platform/text.h"

mtxPath::mtxPath(const std::string& path) : full_(mtxOs::FullPath(path)) {
    size_t slash = full_.find_last_of('/');
    directory_ = full_.substr(0, slash);
    file_ = full_.substr(slash + 1);
    size_t dot = file_.find_last_of('.');
    hasExtension_ = dot != std::string::npos && dot > 0;
    name_ = hasExtension_ ? file_.substr(0, dot) : file_;
    if (hasExtension_) extension_ = file_.substr(dot + 1);
}

bool mtxPath::HasExtension(const std::string& text) const {
    return hasExtension_ && mtxEqualsIgnoreCase(extension_, text);
}

bool FileExists(const std::string& path) {
    return !path.empty() && mtxOs::Exists(path);
}
