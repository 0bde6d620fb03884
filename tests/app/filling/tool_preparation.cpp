#include "tests/app/filling/tool_preparation.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/filling/mdf_field.h"
#include "tests/ui/ui_test_support.h"

namespace fill_test {

bool WaitForPreparation(mtxIEMdfField& tool) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point end = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < end) {
        ui_test::PumpPosted();
        if (!tool.Preparing()) return true;
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
