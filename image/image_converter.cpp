#include "image/image_converter.h"

#include "app/application.h"
#include "platform/cpu.h"

namespace {

// Ticks in ms milliseconds, or 0 when no application has measured the clock.
uint64_t TicksFor(uint32_t milliseconds) {
    mtxApplication* app = mtxGetApp();
    if (!app) return 0;
    return uint64_t(app->cpu.cyclesPerMicrosecond) * milliseconds * 1000;
}

}  // namespace

mtxImageConverter::mtxImageConverter() : startTime(mtxOs::CycleCounter()) {
    uint64_t ticks = TicksFor(kDefaultBudgetMs);
    budget = mtxGetApp() ? ticks : kBudgetWithoutApp;
}

void mtxImageConverter::SetTimeBudget(uint32_t milliseconds) {
    if (mtxGetApp()) budget = TicksFor(milliseconds);
}

void mtxImageConverter::StartSlice() {
    startTime = mtxOs::CycleCounter();
}

bool mtxImageConverter::BudgetSpent() const {
    return mtxOs::CycleCounter() - startTime > budget;
}
