#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fill/fill_engine.h"
#include "image/field.h"

class SampleCollection;

// Every stamp placed, in order, so a picture can be drawn again from its
// stamps and a run can go on where it stopped. The log is a list of runs;
// each remembers the generator's state and the options at its start and
// what lay under its first stamp (nothing new, a colour, the photo). The
// end can move back and forth (undo and redo): stamps past the end stay
// until the next stamp or run is added, which drops them.
//
// A stamp can be erased: it stays in the log (the generator's account and the
// indices of later stamps hold) but is no longer drawn. Erasures are kept in
// the order made and move with the end, so Undo and Redo bring them back.
//
// A stamp is kept in 44 bytes: what the engine draws is rebuilt from its
// sample, point, turn, size, extent, mirror and flip, the shader's colours
// and the shader. A stamp whose quad or colours would not be rebuilt bit for
// bit (an engine that shapes quads otherwise) is kept whole beside them.
class mtxStampLog {
  public:
    // The filling options a run was made with.
    struct Options {
        int32_t sizeMin = 1, sizeMax = 150, overlap = 4;
        uint32_t rotate = 1, mirror = 1, flip = 1, chooseMode = 0, colorMode = 0;
        int32_t background = 0;
        uint32_t backgroundColor = 0xFFFFFFFFu;

        static Options Of(const SampleCollection& samples);
        void ApplyTo(SampleCollection& samples) const;
        // Within the bounds the settings store keeps them to.
        bool Valid() const;
        bool operator==(const Options&) const = default;
    };
    // What lay under a run's first stamp.
    enum Base : uint8_t { kContinue = 0, kColor = 1, kPhoto = 2 };
    struct Run {
        uint64_t firstStamp = 0;
        uint64_t startState = 0;  // the generator before the run's first step
        Options options;
        uint8_t mode = 0;  // which engine placed the stamps
        Base base = kContinue;
        uint32_t baseColor = 0;  // 0xAARRGGBB with kColor
    };
    // A place in the log that the end can be moved back to.
    struct Mark {
        uint64_t stamps = 0;
        size_t runs = 0;
        uint64_t state = 0;
        size_t erasures = 0;
        bool operator==(const Mark&) const = default;
    };

    static constexpr uint32_t kMaxModes = 4;
    // The mode of stamps placed by hand (the engines' are the collection's
    // fill modes, below it).
    static constexpr uint8_t kHandMode = 2;
    static constexpr size_t kMaxRuns = size_t(1) << 20;
    static constexpr uint64_t kMaxStamps = uint64_t(1) << 26;

    // Starts a run at the end (dropping what lay past it).
    void BeginRun(const Run& run);
    // Adds a stamp at the end of the current run; mode as the run's engine.
    void Append(const mtxStamp& stamp, uint8_t mode = 0);
    // The generator's state after the last step taken.
    void NoteState(uint64_t state) { endState_ = state; }

    Mark Here() const { return {end_, runsInEffect_, endState_, erasuresInEffect_}; }
    // Moves the end; a mark past what the log holds, or one whose erasures
    // name stamps past its end, is refused (0).
    int MoveTo(const Mark& mark);
    void Clear();

    uint64_t Count() const { return end_; }
    size_t RunCount() const { return runsInEffect_; }
    const Run& RunAt(size_t i) const { return runs_[i]; }
    // The run that holds stamp i, or the last run for i = Count().
    size_t RunOf(uint64_t i) const;
    uint64_t EndState() const { return endState_; }
    // Stamp i (< Count()) as the engine drew it.
    mtxStamp At(uint64_t i) const;
    uint8_t ModeOf(uint64_t i) const;
    // The point stamp i (< Count()) was placed at, without rebuilding it.
    void PointOf(uint64_t i, int32_t& x, int32_t& y) const;
    // The run from which the picture must be drawn: the last one at or
    // before the end that put in a base, or 0.
    size_t LastBase() const;
    // Stamps kept whole, beside the compact ones.
    size_t WholeCount() const;
    // Pixels that hold every pixel stamp i (< Count()) may draw on, with a
    // pixel to spare around its quad.
    mtxRect Bounds(uint64_t i) const;

    // Erases stamp i (dropping what lay past the end). 1, or 0 for a stamp
    // past the end or one erased already.
    int Erase(uint64_t i);
    bool Erased(uint64_t i) const { return i < erased_.size() && erased_[size_t(i)]; }
    size_t ErasedCount() const { return erasuresInEffect_; }
    // The erased stamps in effect, ascending.
    std::vector<uint64_t> ErasedStamps() const;
    // Erasure k in effect (< ErasedCount()), in the order made: the stamp, and
    // the stamps the log held when it was made (its count at the time; a
    // log parsed back takes its erasures as made at its end).
    uint64_t ErasureStamp(size_t k) const { return erasures_[k]; }
    uint64_t ErasureMadeAt(size_t k) const { return erasedAt_[k]; }
    // The erased stamps as bytes (a count, then the indices ascending);
    // ParseErasures reads them back into a log parsed before. It refuses (0,
    // with why in error, no stamp erased) an index past the log's stamps, one
    // out of order or repeated, and sizes that do not add up.
    std::vector<uint8_t> SerializeErasures() const;
    int ParseErasures(const uint8_t* data, size_t size, std::string& error);
    // When the erasures were made, as bytes: a count, then for each erased
    // stamp in SerializeErasures' order the stamps the log held when it was
    // erased; empty when every erasure was made at the end.
    // ParseErasureTimes reads them back after ParseErasures, putting the
    // erasures in the order made again. It refuses (0, with why in error,
    // the times left as they were) another count, a time past the end or
    // one not past its stamp, and sizes that do not add up.
    std::vector<uint8_t> SerializeErasureTimes() const;
    int ParseErasureTimes(const uint8_t* data, size_t size, std::string& error);

    // The log up to its end as bytes; Parse reads them back. Parse refuses
    // (0, with why in error, the log left empty) anything that does not add
    // up: sizes, counts past the bounds, a sample index of sampleCount or
    // more, values out of range, runs out of order.
    std::vector<uint8_t> Serialize() const;
    int Parse(const uint8_t* data, size_t size, int32_t sampleCount, std::string& error);

  private:
    struct Entry {
        uint8_t sample = 0;
        uint8_t flags = 0;
        uint16_t angle = 0;
        int32_t x = 0, y = 0, size = 0;
        float extent[2] = {};
        float c0[4] = {};
        uint8_t c1[4] = {};
    };
    struct Whole {
        uint64_t index = 0;
        mtxStamp stamp;
    };
    static constexpr uint8_t kMirrored = 1, kFlipped = 2, kPlain = 4, kWhole = 8;
    static constexpr int kModeShift = 4;

    static bool Compact(const mtxStamp& stamp, Entry& entry);
    static mtxStamp Rebuild(const Entry& entry);
    void DropPastEnd();
    void SetErased(uint64_t i, bool on);

    std::vector<Entry> entries_;
    std::vector<Whole> wholes_;  // in stamp order
    std::vector<Run> runs_;
    uint64_t end_ = 0;
    size_t runsInEffect_ = 0;
    uint64_t endState_ = 0;
    std::vector<uint64_t> erasures_;  // stamp indices, in the order erased
    std::vector<uint64_t> erasedAt_;  // the log's count when each was made
    size_t erasuresInEffect_ = 0;
    std::vector<uint8_t> erased_;  // per stamp, 1 while an erasure in effect names it
};
