#pragma once
// Driving the filling tool's preparation to its end in headless tests.
class mtxIEMdfField;

namespace fill_test {

// Handles posted actions until the tool's preparation has ended, then
// finishes the run's start, which the next ticks would take piece by piece,
// unless told not to; adds a test failure when it has not ended within
// 30 s. True when it ended.
bool WaitForPreparation(mtxIEMdfField& tool, bool finishStart = true);
// Presses Go and waits for the preparation: true when the tool is prepared.
bool PrepareAndWait(mtxIEMdfField& tool);

}  // namespace fill_test
