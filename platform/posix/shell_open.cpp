#include "platform/shell_open.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>
#include <vector>

extern char** environ;

namespace mtxOs {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// The full path of program: itself when it names a path, otherwise the first
// executable of that name in the folders of searchPath; empty when none.
std::string Locate(const std::string& program, const std::string& searchPath) {
    if (program.empty()) return {};
    if (program.find('/') != std::string::npos)
        return IsExecutableFile(program) ? program : std::string();
    size_t from = 0;
    while (from <= searchPath.size()) {
        size_t end = searchPath.find(':', from);
        std::string folder = searchPath.substr(from, end - from);
        if (folder.empty()) folder = ".";  // an empty entry is the current folder
        std::string candidate = folder;
        candidate += '/';
        candidate += program;
        if (IsExecutableFile(candidate)) return candidate;
        if (end == std::string::npos) break;
        from = end + 1;
    }
    return {};
}

}  // namespace

std::string FindShellOpener(const std::string& searchPath, const char* browser) {
    std::vector<std::string> candidates = {"xdg-open", "sensible-browser", "x-www-browser"};
    if (browser && *browser) candidates.emplace_back(browser);
    for (const std::string& program : candidates) {
        std::string found = Locate(program, searchPath);
        if (!found.empty()) return found;
    }
    return {};
}

bool ShellOpen(const std::string& target) {
    if (target.empty()) return false;
    const char* path = std::getenv("PATH");
    std::string opener = FindShellOpener(path ? path : "/usr/bin:/bin", std::getenv("BROWSER"));
    if (opener.empty()) return false;
    // "--" would be taken as the target by xdg-open; a leading "-" is made a path instead.
    std::string arg = target;
    if (arg[0] == '-') arg.insert(0, "./");
    char* argv[] = {opener.data(), arg.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, opener.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
    // Reap the opener when it ends, so no zombie stays behind.
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
    return true;
}

}  // namespace mtxOs
