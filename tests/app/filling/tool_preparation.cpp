#include "tests/app/filling/tool_preparation.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/filling/mdf_field.h"
#include "tests/ui/ui_test_support.h"

namespace fill_test {

// A message at a time, so it returns at the end of the preparation: on a slow
// build the filling's timer (1 ms) would otherwise keep the queue full and
// the run would go on inside the wait.
bool WaitForPreparation(mtxIEMdfField& tool, bool finishStart) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point end = Clock::now() + std::chrono::seconds(30);
    mtxOs::MSG msg;
    while (Clock::now() < end) {
        if (!tool.Preparing()) {
            // Most tests count the run's placements from its first tick.
            if (finishStart) tool.FinishStarting();
            return true;
        }
        if (mtxOs::PeekMessage(msg, true))
            mtxOs::DispatchMessage(msg);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ADD_FAILURE() << "the preparation did not end within 30 s";
    return false;
}

bool PrepareAndWait(mtxIEMdfField& tool) {
    tool.Process(mtxIEMdfField::kGo, 0);
    return WaitForPreparation(tool) && tool.Prepared();
}

}  // namespace fill_test
