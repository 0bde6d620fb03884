#include "platform/shell_open.h"

#include <spawn.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;

namespace mtxOs {

bool ShellOpen(const std::string& target) {
    if (target.empty()) return false;
    // "--" would be taken as the target by xdg-open; a leading "-" is made a path instead.
    std::string arg = target[0] == '-' ? "./" + target : target;
    char program[] = "xdg-open";
    char* argv[] = {program, arg.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) return false;
    // Reap the opener when it ends, so no zombie stays behind.
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
    return true;
}

}  // namespace mtxOs
