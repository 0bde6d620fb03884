#include "platform/folder.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace mtxOs {

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& out, std::string& error) {
    out.clear();
    error.clear();
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        error = std::strerror(errno);
        return false;
    }
    std::string base = folder;
    if (base.empty() || base.back() != '/') base += '/';
    errno = 0;
    while (dirent* entry = readdir(dir)) {
        if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, "..")) continue;
        FolderEntry item;
        item.name = entry->d_name;
        struct stat info;
        // Links count as what they point at; a dangling one as a file.
        if (stat((base + item.name).c_str(), &info) == 0) item.isFolder = S_ISDIR(info.st_mode);
        out.push_back(std::move(item));
        errno = 0;
    }
    bool ok = errno == 0;
    if (!ok) error = std::strerror(errno);
    closedir(dir);
    return ok;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (passwd* user = getpwuid(getuid()); user && user->pw_dir && *user->pw_dir)
        return user->pw_dir;
    return "/";
}

}  // namespace mtxOs
