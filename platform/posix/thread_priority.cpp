#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace mtxOs {

int LowerThreadPriority(ThreadPriority priority) {
    // Linux keeps a nice value for each thread, and takes the thread's own id
    // where setpriority asks for a process.
    const id_t thread = id_t(syscall(SYS_gettid));
    return setpriority(PRIO_PROCESS, thread, int(priority)) == 0 ? 1 : 0;
}

}  // namespace mtxOs
