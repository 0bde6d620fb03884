#pragma once

namespace mtxOs {

// Lets the calling thread run only where the program's other threads leave
// the processors idle: for background work that may as well wait, such as a
// safety copy written while the window is busy. 1, or 0 where the system
// refused (the thread keeps its priority then).
int LowerThreadPriority();

}  // namespace mtxOs
