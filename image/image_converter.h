#pragma once
#include <cstdint>

class mtxFile;
class mtxImage;

// Base of the time-sliced workers (codecs, segmentation). A worker records the
// cycle counter at the start of a slice and, before each unit of work, asks
// BudgetSpent(); once it is, the worker stores its position and returns, so the
// caller can report progress and react to Stop between slices.
class mtxImageConverter {
  public:
    static constexpr uint64_t kBudgetWithoutApp = 4194304;  // ticks, while the rate is unknown
    static constexpr uint32_t kDefaultBudgetMs = 300;

    // Start time = now; budget 300 ms in cycle-counter ticks; status 0.
    mtxImageConverter();
    virtual ~mtxImageConverter() = default;
    mtxImageConverter(const mtxImageConverter&) = delete;
    mtxImageConverter& operator=(const mtxImageConverter&) = delete;

    // Slot 1: the subclass's work (a whole encode or decode, or one slice).
    virtual int Run() = 0;
    // Slot 2: a second operation each subclass defines; 0 by default.
    virtual int Reset() { return 0; }

    // The cycle counter's rate, measured once by the application at start-up
    // and cleared when it goes; 0 while nobody has measured it.
    static void SetCyclesPerMicrosecond(uint32_t cycles);
    static uint32_t CyclesPerMicrosecond();

    // Budget = cyclesPerMicrosecond x ms x 1000 ticks; unchanged while the
    // rate is unknown.
    void SetTimeBudget(uint32_t milliseconds);
    // Records the cycle counter as the start of a slice.
    void StartSlice();
    // True once the cycle counter has moved past start time + budget.
    bool BudgetSpent() const;

    uint64_t startTime;  // cycle-counter ticks
    uint64_t budget;     // ticks per slice
    uint32_t status = 0;
};

// A converter bound to a file and an image: the base of the picture codecs.
class mtxImageCodec : public mtxImageConverter {
  public:
    mtxImageCodec() = default;
    mtxImageCodec(mtxFile* boundFile, mtxImage* boundImage, uint32_t codecFlags = 0)
        : file(boundFile), image(boundImage), flags(codecFlags) {}

    // Slot 3: checks the file's signature in decoders; 0 by default.
    virtual int CheckSignature() { return 0; }

    mtxFile* file = nullptr;    // not owned
    mtxImage* image = nullptr;  // not owned
    uint32_t flags = 0;
};
