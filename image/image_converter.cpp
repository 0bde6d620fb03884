#include "image/image_converter.h"

#include <atomic>

#include "platform/cpu.h"

namespace {

// Written once at start-up, read by workers on any thread.
std::atomic<uint32_t> cyclesPerMicrosecond{0};

uint64_t TicksFor(uint32_t milliseconds) {
    return uint64_t(cyclesPerMicrosecond.load(std::memory_order_relaxed)) * milliseconds * 1000;
}

}  // namespace

void mtxImageConverter::SetCyclesPerMicrosecond(uint32_t cycles) {
    cyclesPerMicrosecond.store(cycles, std::memory_order_relaxed);
}

uint32_t mtxImageConverter::CyclesPerMicrosecond() {
    return cyclesPerMicrosecond.load(std::memory_order_relaxed);
}

mtxImageConverter::mtxImageConverter() : startTime(mtxOs::CycleCounter()) {
    budget = CyclesPerMicrosecond() ? TicksFor(kDefaultBudgetMs) : kBudgetWithoutApp;
}

void mtxImageConverter::SetTimeBudget(uint32_t milliseconds) {
    if (CyclesPerMicrosecond()) budget = TicksFor(milliseconds);
}

void mtxImageConverter::StartSlice() {
    startTime = mtxOs::CycleCounter();
}

bool mtxImageConverter::BudgetSpent() const {
    return mtxOs::CycleCounter() - startTime > budget;
}
