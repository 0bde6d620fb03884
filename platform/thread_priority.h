#pragma once

namespace mtxOs {

// Lets the calling thread run only where the program's other threads leave
// the processors idle: for background work that may as well wait, such as a
// safety copy written while the window is busy. 1, or 0 where the system
// refused (the thread keeps its priority then). kYielding lowers it less:
// for work that should be done soon, but after the window's.
enum ThreadPriority { kIdle = 19, kYielding = 10 };
int LowerThreadPriority(ThreadPriority priority = kIdle);

}  // namespace mtxOs
