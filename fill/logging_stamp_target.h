#pragma once
#include <cstdint>

#include "fill/fill_engine.h"

class mtxStampLog;

// Passes every stamp on to the target that draws it and records in the log
// each one drawn. Every engine and every pacing of the steps draws through
// it, so the log holds exactly what reached the picture, in order.
class mtxLoggingStampTarget : public mtxStampTarget {
  public:
    mtxLoggingStampTarget(mtxStampTarget& inner, mtxStampLog& log) : inner_(inner), log_(log) {}

    int Width() const override { return inner_.Width(); }
    int Height() const override { return inner_.Height(); }
    int Draw(const mtxStamp& stamp, const SampleCollection& samples) override;
    void Refresh() override { inner_.Refresh(); }

    // The engine whose stamps come next, kept with each stamp.
    uint8_t mode = 0;

  private:
    mtxStampTarget& inner_;
    mtxStampLog& log_;
};
