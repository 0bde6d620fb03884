#include "fill/stamp_log.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "fill/byte_io.h"
#include "fill/sample_collection.h"

namespace {

constexpr size_t kHeaderBytes = 4 + 8 + 4 + 8;
constexpr size_t kRunBytes = 8 + 8 + 10 * 4 + 1 + 1 + 4;
constexpr size_t kEntryBytes = 44;
constexpr size_t kWholeBytes = 8 + 5 * 4 + 2 * 4 + 17 * 4 + 8 * 4 + 4;
// Larger than any side a sample is drawn at, far inside what floats hold exactly.
constexpr float kMaxExtent = float(1 << 20);

bool Same(float a, float b) {
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

bool SameFloats(const float* a, const float* b, int n) {
    for (int i = 0; i < n; ++i)
        if (!Same(a[i], b[i])) return false;
    return true;
}

bool SameQuad(const mtxIEViewerQuad& a, const mtxIEViewerQuad& b) {
    const float ra[4] = {a.left, a.top, a.right, a.bottom};
    const float rb[4] = {b.left, b.top, b.right, b.bottom};
    return SameFloats(ra, rb, 4) && SameFloats(a.u, b.u, 2) && SameFloats(a.v, b.v, 2) &&
           SameFloats(a.transform, b.transform, 9);
}

bool SameStamp(const mtxStamp& a, const mtxStamp& b) {
    return a.sample == b.sample && a.x == b.x && a.y == b.y && a.angle == b.angle &&
           a.size == b.size && SameFloats(a.extent, b.extent, 2) && SameQuad(a.quad, b.quad) &&
           SameFloats(a.c0, b.c0, 4) && SameFloats(a.c1, b.c1, 4) && a.shader == b.shader;
}

// |cos| and |sin| of a whole angle in degrees, from a table made once.
struct Turn {
    double cos, sin;
};
const Turn& TurnOf(uint32_t degrees) {
    static const std::array<Turn, 360> turns = [] {
        std::array<Turn, 360> t;
        for (size_t a = 0; a < t.size(); ++a) {
            const double theta = double(a) * 3.14159265358979 / 180.0;
            t[a] = {std::abs(std::cos(theta)), std::abs(std::sin(theta))};
        }
        return t;
    }();
    return turns[degrees % 360];
}

bool Finite(const float* v, int n) {
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(v[i])) return false;
    return true;
}

void WriteOptions(mtxByteWriter& w, const mtxStampLog::Options& o) {
    w.U32(uint32_t(o.sizeMin)), w.U32(uint32_t(o.sizeMax)), w.U32(uint32_t(o.overlap));
    w.U32(o.rotate), w.U32(o.mirror), w.U32(o.flip), w.U32(o.chooseMode), w.U32(o.colorMode);
    w.U32(uint32_t(o.background)), w.U32(o.backgroundColor);
}

mtxStampLog::Options ReadOptions(mtxByteReader& r) {
    mtxStampLog::Options o;
    o.sizeMin = int32_t(r.U32()), o.sizeMax = int32_t(r.U32()), o.overlap = int32_t(r.U32());
    o.rotate = r.U32(), o.mirror = r.U32(), o.flip = r.U32();
    o.chooseMode = r.U32(), o.colorMode = r.U32();
    o.background = int32_t(r.U32()), o.backgroundColor = r.U32();
    return o;
}

void WriteWhole(mtxByteWriter& w, uint64_t index, const mtxStamp& s) {
    w.U64(index);
    w.U32(uint32_t(s.sample)), w.U32(uint32_t(s.x)), w.U32(uint32_t(s.y)), w.U32(s.angle);
    w.U32(uint32_t(s.size));
    w.F32(s.extent[0]), w.F32(s.extent[1]);
    const mtxIEViewerQuad& q = s.quad;
    for (float f : {q.left, q.top, q.right, q.bottom, q.u[0], q.u[1], q.v[0], q.v[1]}) w.F32(f);
    for (float f : q.transform) w.F32(f);
    for (float f : s.c0) w.F32(f);
    for (float f : s.c1) w.F32(f);
    w.U32(s.shader);
}

mtxStamp ReadWhole(mtxByteReader& r, uint64_t& index) {
    mtxStamp s;
    index = r.U64();
    s.sample = int32_t(r.U32()), s.x = int32_t(r.U32()), s.y = int32_t(r.U32());
    s.angle = r.U32(), s.size = int32_t(r.U32());
    s.extent[0] = r.F32(), s.extent[1] = r.F32();
    mtxIEViewerQuad& q = s.quad;
    for (float* f : {&q.left, &q.top, &q.right, &q.bottom, &q.u[0], &q.u[1], &q.v[0], &q.v[1]})
        *f = r.F32();
    for (float& f : q.transform) f = r.F32();
    for (float& f : s.c0) f = r.F32();
    for (float& f : s.c1) f = r.F32();
    s.shader = r.U32();
    return s;
}

bool ValidWhole(const mtxStamp& s, int32_t sampleCount) {
    const mtxIEViewerQuad& q = s.quad;
    const float rect[8] = {q.left, q.top, q.right, q.bottom, q.u[0], q.u[1], q.v[0], q.v[1]};
    return s.sample >= 0 && s.sample < sampleCount && Finite(rect, 8) && Finite(q.transform, 9) &&
           Finite(s.extent, 2) && Finite(s.c0, 4) && Finite(s.c1, 4) &&
           (s.shader == mtxStamp::kRecolorShader || s.shader == mtxStamp::kPlainShader);
}

}  // namespace

// Options.

mtxStampLog::Options mtxStampLog::Options::Of(const SampleCollection& s) {
    return {s.sizeMin, s.sizeMax,    s.overlap,   s.rotate,     s.mirror,
            s.flip,    s.chooseMode, s.colorMode, s.background, s.backgroundColor};
}

void mtxStampLog::Options::ApplyTo(SampleCollection& s) const {
    s.sizeMin = sizeMin, s.sizeMax = sizeMax, s.overlap = overlap;
    s.rotate = rotate, s.mirror = mirror, s.flip = flip;
    s.chooseMode = chooseMode, s.colorMode = colorMode;
    s.background = background, s.backgroundColor = backgroundColor;
}

bool mtxStampLog::Options::Valid() const {
    return sizeMin >= 1 && sizeMin <= 1024 && sizeMax >= sizeMin && sizeMax <= 1024 &&
           overlap >= 0 && overlap <= 256 && rotate <= 1 && mirror <= 1 && flip <= 1 &&
           (chooseMode == SampleCollection::kChooseColorMatch ||
            chooseMode == SampleCollection::kChooseRandom) &&
           (colorMode == SampleCollection::kColorRecolor ||
            colorMode == SampleCollection::kColorKeep) &&
           background >= 0 && background <= 2;
}

// Recording.

void mtxStampLog::DropPastEnd() {
    entries_.resize(size_t(end_));
    erasures_.resize(erasuresInEffect_);
    erasedAt_.resize(erasuresInEffect_);
    if (erased_.size() > entries_.size()) erased_.resize(entries_.size());
    runs_.resize(runsInEffect_);
    while (!wholes_.empty() && wholes_.back().index >= end_) wholes_.pop_back();
}

void mtxStampLog::BeginRun(const Run& run) {
    DropPastEnd();
    runs_.push_back(run);
    runs_.back().firstStamp = end_;
    runsInEffect_ = runs_.size();
    endState_ = run.startState;
}

void mtxStampLog::Append(const mtxStamp& stamp, uint8_t mode) {
    DropPastEnd();
    if (runs_.empty()) BeginRun(Run{});
    Entry entry;
    if (!Compact(stamp, entry)) {
        entry = Entry{};
        entry.flags = kWhole;
        wholes_.push_back({end_, stamp});
    }
    entry.flags |= uint8_t((mode % kMaxModes) << kModeShift);
    entries_.push_back(entry);
    ++end_;
}

int mtxStampLog::MoveTo(const Mark& mark) {
    if (mark.stamps > entries_.size() || mark.runs > runs_.size()) return 0;
    if (mark.runs > 0 && runs_[mark.runs - 1].firstStamp > mark.stamps) return 0;
    if (mark.runs < runs_.size() && runs_[mark.runs].firstStamp < mark.stamps) return 0;
    if (mark.erasures > erasures_.size()) return 0;
    for (size_t k = 0; k < mark.erasures; ++k)
        if (erasures_[k] >= mark.stamps) return 0;
    for (size_t k = mark.erasures; k < erasuresInEffect_; ++k) SetErased(erasures_[k], false);
    for (size_t k = erasuresInEffect_; k < mark.erasures; ++k) SetErased(erasures_[k], true);
    erasuresInEffect_ = mark.erasures;
    end_ = mark.stamps;
    runsInEffect_ = mark.runs;
    endState_ = mark.state;
    return 1;
}

void mtxStampLog::Clear() {
    entries_.clear(), wholes_.clear(), runs_.clear();
    end_ = 0, runsInEffect_ = 0, endState_ = 0;
    erasures_.clear(), erasedAt_.clear(), erased_.clear();
    erasuresInEffect_ = 0;
}

// Erasing.

void mtxStampLog::SetErased(uint64_t i, bool on) {
    if (on && erased_.size() <= i) erased_.resize(size_t(i) + 1, 0);
    if (i < erased_.size()) erased_[size_t(i)] = on ? 1 : 0;
}

int mtxStampLog::Erase(uint64_t i) {
    if (i >= end_ || Erased(i)) return 0;
    DropPastEnd();
    erasures_.push_back(i);
    erasedAt_.push_back(end_);
    erasuresInEffect_ = erasures_.size();
    SetErased(i, true);
    return 1;
}

std::vector<uint64_t> mtxStampLog::ErasedStamps() const {
    std::vector<uint64_t> out(erasures_.begin(),
                              erasures_.begin() + std::ptrdiff_t(erasuresInEffect_));
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<uint8_t> mtxStampLog::SerializeErasures() const {
    const std::vector<uint64_t> stamps = ErasedStamps();
    std::vector<uint8_t> out;
    mtxByteWriter w(out);
    w.U64(stamps.size());
    for (uint64_t i : stamps) w.U64(i);
    return out;
}

int mtxStampLog::ParseErasures(const uint8_t* data, size_t size, std::string& error) {
    mtxByteReader r(data, size);
    const uint64_t count = r.U64();
    if (r.failed || count > end_ || size != 8 + 8 * count)
        return error = "erasures: " + std::to_string(size) + " bytes do not hold their count", 0;
    std::vector<uint64_t> stamps(static_cast<size_t>(count));
    for (size_t k = 0; k < stamps.size(); ++k) {
        stamps[k] = r.U64();
        if (stamps[k] >= end_ || (k > 0 && stamps[k] <= stamps[k - 1]))
            return error = "erasures: stamp " + std::to_string(stamps[k]) +
                           " is out of order or past the log's " + std::to_string(end_),
                   0;
    }
    DropPastEnd();
    for (size_t k = 0; k < erasuresInEffect_; ++k) SetErased(erasures_[k], false);
    erasures_ = std::move(stamps);
    erasedAt_.assign(erasures_.size(), end_);
    erasuresInEffect_ = erasures_.size();
    for (uint64_t i : erasures_) SetErased(i, true);
    return 1;
}

std::vector<uint8_t> mtxStampLog::SerializeErasureTimes() const {
    std::vector<std::pair<uint64_t, uint64_t>> made;  // (stamp, when), by stamp
    bool before = false;
    for (size_t k = 0; k < erasuresInEffect_; ++k) {
        made.emplace_back(erasures_[k], erasedAt_[k]);
        before = before || erasedAt_[k] < end_;
    }
    if (!before) return {};
    std::sort(made.begin(), made.end());
    std::vector<uint8_t> out;
    mtxByteWriter w(out);
    w.U64(made.size());
    for (const auto& [stamp, when] : made) w.U64(when);
    return out;
}

int mtxStampLog::ParseErasureTimes(const uint8_t* data, size_t size, std::string& error) {
    mtxByteReader r(data, size);
    const uint64_t count = r.U64();
    if (r.failed || count != erasuresInEffect_ || size != 8 + 8 * count)
        return error = "erasure times: " + std::to_string(size) +
                       " bytes do not hold one for each of " + std::to_string(erasuresInEffect_) +
                       " erasures",
               0;
    std::vector<uint64_t> stamps = ErasedStamps();
    std::vector<std::pair<uint64_t, uint64_t>> made(stamps.size());  // (when, stamp)
    for (size_t k = 0; k < stamps.size(); ++k) {
        made[k] = {r.U64(), stamps[k]};
        if (made[k].first > end_ || made[k].first <= stamps[k])
            return error = "erasure times: stamp " + std::to_string(stamps[k]) + " erased at " +
                           std::to_string(made[k].first) +
                           ", before it was placed or past the log's end",
                   0;
    }
    std::stable_sort(made.begin(), made.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    DropPastEnd();
    for (size_t k = 0; k < made.size(); ++k)
        erasedAt_[k] = made[k].first, erasures_[k] = made[k].second;
    return 1;
}

// The compact form holds what the engine derives the quad from; it is used
// only when rebuilding it gives back every bit of the stamp.
bool mtxStampLog::Compact(const mtxStamp& s, Entry& e) {
    if (s.sample < 0 || s.sample > 255 || s.angle >= 360) return false;
    e.sample = uint8_t(s.sample);
    e.angle = uint16_t(s.angle);
    e.x = s.x, e.y = s.y, e.size = s.size;
    std::copy(s.extent, s.extent + 2, e.extent);
    std::copy(s.c0, s.c0 + 4, e.c0);
    for (int i = 0; i < 4; ++i)
        e.c1[i] = uint8_t(std::lround(std::clamp(s.c1[i], 0.0f, 1.0f) * 255));
    e.flags = (s.quad.u[0] == 1 ? kMirrored : 0) | (s.quad.v[0] == 1 ? kFlipped : 0) |
              (s.shader == mtxStamp::kPlainShader ? kPlain : 0);
    if (s.shader != mtxStamp::kPlainShader && s.shader != mtxStamp::kRecolorShader) return false;
    return SameStamp(Rebuild(e), s);
}

// The quad as the engine shapes it: the extent centred on the origin, turned
// by the angle and moved to the point.
mtxStamp mtxStampLog::Rebuild(const Entry& e) {
    mtxStamp s;
    s.sample = e.sample;
    s.x = e.x, s.y = e.y, s.angle = e.angle, s.size = e.size;
    s.extent[0] = e.extent[0], s.extent[1] = e.extent[1];
    s.Shape((e.flags & kMirrored) != 0, (e.flags & kFlipped) != 0);
    std::copy(e.c0, e.c0 + 4, s.c0);
    for (int i = 0; i < 4; ++i) s.c1[i] = float(e.c1[i]) / 255.0f;
    s.shader = (e.flags & kPlain) ? mtxStamp::kPlainShader : mtxStamp::kRecolorShader;
    return s;
}

// Reading.

mtxStamp mtxStampLog::At(uint64_t i) const {
    const Entry& e = entries_[size_t(i)];
    if (!(e.flags & kWhole)) return Rebuild(e);
    auto at = std::lower_bound(wholes_.begin(), wholes_.end(), i,
                               [](const Whole& w, uint64_t index) { return w.index < index; });
    return at != wholes_.end() && at->index == i ? at->stamp : mtxStamp{};
}

void mtxStampLog::PointOf(uint64_t i, int32_t& x, int32_t& y) const {
    const Entry& e = entries_[size_t(i)];
    if (!(e.flags & kWhole)) {
        x = e.x, y = e.y;
        return;
    }
    const mtxStamp s = At(i);
    x = s.x, y = s.y;
}

uint8_t mtxStampLog::ModeOf(uint64_t i) const {
    return uint8_t(entries_[size_t(i)].flags >> kModeShift);
}

size_t mtxStampLog::RunOf(uint64_t i) const {
    size_t run = 0;
    for (size_t r = 0; r < runsInEffect_ && runs_[r].firstStamp <= i; ++r) run = r;
    return run;
}

size_t mtxStampLog::LastBase() const {
    for (size_t r = runsInEffect_; r-- > 0;)
        if (runs_[r].base != kContinue) return r;
    return 0;
}

size_t mtxStampLog::WholeCount() const {
    size_t n = 0;
    while (n < wholes_.size() && wholes_[n].index < end_) ++n;
    return n;
}

mtxRect mtxStampLog::Bounds(uint64_t i) const {
    const Entry& e = entries_[size_t(i)];
    float left, top, right, bottom;
    if (!(e.flags & kWhole)) {
        // The quad is the extent centred on the point, turned by the angle:
        // its box reaches half the turned extent either way (the spare
        // pixel below takes the floats' rounding).
        const Turn& turn = TurnOf(e.angle);
        const float across = float(0.5 * (e.extent[0] * turn.cos + e.extent[1] * turn.sin));
        const float down = float(0.5 * (e.extent[0] * turn.sin + e.extent[1] * turn.cos));
        left = float(e.x) - across, right = float(e.x) + across;
        top = float(e.y) - down, bottom = float(e.y) + down;
    } else {
        const mtxStamp s = At(i);
        left = top = 1e30f, right = bottom = -1e30f;
        for (int k = 0; k < 4; ++k) {
            float x = 0, y = 0;
            if (!s.quad.Corner(k, &x, &y)) return {};
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    constexpr float kFar = float(1 << 30);
    auto whole = [&](float v, int spare) { return int(std::clamp(v, -kFar, kFar)) + spare; };
    return {whole(std::floor(left), -1), whole(std::floor(top), -1), whole(std::ceil(right), 1),
            whole(std::ceil(bottom), 1)};
}

// Bytes: a header, the runs, then each field of the stamps as one column
// (like values side by side pack better), then the stamps kept whole.

std::vector<uint8_t> mtxStampLog::Serialize() const {
    const size_t n = size_t(end_), whole = WholeCount();
    std::vector<uint8_t> out;
    out.reserve(kHeaderBytes + kRunBytes * runsInEffect_ + kEntryBytes * n + kWholeBytes * whole);
    mtxByteWriter w(out);
    w.U32(uint32_t(runsInEffect_)), w.U64(end_), w.U32(uint32_t(whole)), w.U64(endState_);
    for (size_t r = 0; r < runsInEffect_; ++r) {
        const Run& run = runs_[r];
        w.U64(run.firstStamp), w.U64(run.startState);
        WriteOptions(w, run.options);
        w.U8(run.mode), w.U8(run.base), w.U32(run.baseColor);
    }
    auto column = [&](auto field) {
        for (size_t i = 0; i < n; ++i) field(entries_[i]);
    };
    column([&](const Entry& e) { w.U8(e.sample); });
    column([&](const Entry& e) { w.U8(e.flags); });
    column([&](const Entry& e) { w.U16(e.angle); });
    column([&](const Entry& e) { w.U32(uint32_t(e.x)); });
    column([&](const Entry& e) { w.U32(uint32_t(e.y)); });
    column([&](const Entry& e) { w.U32(uint32_t(e.size)); });
    for (int k = 0; k < 2; ++k) column([&](const Entry& e) { w.F32(e.extent[k]); });
    for (int k = 0; k < 4; ++k) column([&](const Entry& e) { w.F32(e.c0[k]); });
    for (int k = 0; k < 4; ++k) column([&](const Entry& e) { w.U8(e.c1[k]); });
    for (size_t i = 0; i < whole; ++i) WriteWhole(w, wholes_[i].index, wholes_[i].stamp);
    return out;
}

int mtxStampLog::Parse(const uint8_t* data, size_t size, int32_t sampleCount, std::string& error) {
    Clear();
    mtxByteReader r(data, size);
    uint32_t runs = r.U32();
    uint64_t n = r.U64();
    uint32_t whole = r.U32();
    uint64_t state = r.U64();
    if (r.failed) return error = "stamp log: cut short in its header", 0;
    if (runs > kMaxRuns || n > kMaxStamps || whole > n)
        return error = "stamp log: counts past their bounds (" + std::to_string(runs) + " runs, " +
                       std::to_string(n) + " stamps)",
               0;
    uint64_t expected = kHeaderBytes + kRunBytes * runs + kEntryBytes * n + kWholeBytes * whole;
    if (expected != size)
        return error = "stamp log: " + std::to_string(size) + " bytes where its counts make " +
                       std::to_string(expected),
               0;
    if (n > 0 && runs == 0) return error = "stamp log: stamps without a run", 0;

    std::vector<Run> readRuns(runs);
    for (uint32_t i = 0; i < runs; ++i) {
        Run& run = readRuns[i];
        run.firstStamp = r.U64(), run.startState = r.U64();
        run.options = ReadOptions(r);
        run.mode = r.U8();
        uint8_t base = r.U8();
        run.baseColor = r.U32();
        uint64_t previous = i ? readRuns[i - 1].firstStamp : 0;
        if (run.firstStamp < previous || run.firstStamp > n || (i == 0 && run.firstStamp != 0))
            return error = "stamp log: run " + std::to_string(i) + " out of order", 0;
        if (!run.options.Valid() || run.mode >= kMaxModes || base > kPhoto)
            return error = "stamp log: run " + std::to_string(i) + " has values out of range", 0;
        run.base = Base(base);
    }

    const size_t count = size_t(n);
    std::vector<Entry> entries(count);
    for (Entry& e : entries) e.sample = r.U8();
    for (Entry& e : entries) e.flags = r.U8();
    for (Entry& e : entries) e.angle = r.U16();
    for (Entry& e : entries) e.x = int32_t(r.U32());
    for (Entry& e : entries) e.y = int32_t(r.U32());
    for (Entry& e : entries) e.size = int32_t(r.U32());
    for (int k = 0; k < 2; ++k)
        for (Entry& e : entries) e.extent[k] = r.F32();
    for (int k = 0; k < 4; ++k)
        for (Entry& e : entries) e.c0[k] = r.F32();
    for (int k = 0; k < 4; ++k)
        for (Entry& e : entries) e.c1[k] = r.U8();
    uint32_t marked = 0;
    for (size_t i = 0; i < count; ++i) {
        const Entry& e = entries[i];
        if (e.flags >= (kMaxModes << kModeShift))
            return error = "stamp log: stamp " + std::to_string(i) + " has unknown flags", 0;
        if (e.flags & kWhole) {
            ++marked;
            continue;
        }
        bool fine = e.sample < sampleCount && e.angle < 360 && Finite(e.extent, 2) &&
                    e.extent[0] >= 0 && e.extent[1] >= 0 && e.extent[0] <= kMaxExtent &&
                    e.extent[1] <= kMaxExtent && Finite(e.c0, 4);
        if (!fine) return error = "stamp log: stamp " + std::to_string(i) + " is out of range", 0;
    }
    if (marked != whole) return error = "stamp log: the whole stamps do not match their marks", 0;

    std::vector<Whole> wholes(whole);
    for (uint32_t i = 0; i < whole; ++i) {
        wholes[i].stamp = ReadWhole(r, wholes[i].index);
        uint64_t index = wholes[i].index;
        bool ordered = index < n && (i == 0 || index > wholes[i - 1].index) &&
                       (entries[size_t(index)].flags & kWhole);
        if (!ordered || !ValidWhole(wholes[i].stamp, sampleCount))
            return error = "stamp log: whole stamp " + std::to_string(i) + " is out of range", 0;
    }
    if (r.failed || r.Left() != 0) return error = "stamp log: its parts do not add up", 0;

    entries_ = std::move(entries);
    wholes_ = std::move(wholes);
    runs_ = std::move(readRuns);
    end_ = n, runsInEffect_ = runs, endState_ = state;
    return 1;
}
