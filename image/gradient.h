#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "image/image.h"

// A multi-stop colour ramp laid over the plane between two points. The stops
// build a cached table of at most 300 colours; a kind (linear, radial, angle,
// reflected, diamond) maps a pixel position to an index into that table.
class mtxImageGradient {
  public:
    // One stop of the ramp (six words). The midpoint (0..1) is the point of the
    // segment to the next stop where the colour is half way; the mode shapes
    // that segment (kInterpolation* below).
    struct Stop {
        float midpoint = 0.5f;
        uint32_t reserved0 = 0;
        mtxColor color = 0xFF000000;
        int32_t position = 0;  // index into the table
        uint32_t mode = 0;
        uint32_t reserved1 = 0;
    };

    enum : uint32_t {
        kInterpolationLinear = 0,
        kInterpolationPower = 1,
        kInterpolationSine = 2,
        kInterpolationCircle = 3,
        kInterpolationInverseCircle = 4,
    };
    enum : uint32_t {
        kNone = 0,
        kLinear = 1,     // along the line from start to end
        kRadial = 2,     // by distance from start; end lies on the last ring
        kAngle = 3,      // by the angle about start, counted from the direction to end
        kReflected = 4,  // linear, mirrored about start
        kDiamond = 5,    // by the L1 distance from start in the frame of start to end
    };
    static constexpr int kMaxTable = 300;

    mtxImageGradient();

    // Fills table[0 .. length) from count stops in ascending position.
    // Positions outside the table and degenerate segments are tolerated; no
    // stops or no table does nothing.
    static void BuildTable(const Stop* stops, int count, mtxColor* table, int length);

    // The setters of the five kinds: store the points, then take the given
    // table of TableLength() colours, or rebuild the table from the stops when
    // table is null, and mark the gradient changed.
    void SetLinear(float x0, float y0, float x1, float y1, const mtxColor* table = nullptr);
    void SetRadial(float x0, float y0, float x1, float y1, const mtxColor* table = nullptr);
    void SetAngle(float x0, float y0, float x1, float y1, const mtxColor* table = nullptr);
    void SetReflected(float x0, float y0, float x1, float y1, const mtxColor* table = nullptr);
    void SetDiamond(float x0, float y0, float x1, float y1, const mtxColor* table = nullptr);

    // Replaces the stops (positions are table indices, kept as given but
    // sorted) and rebuilds the table at its current length.
    void SetStops(const Stop* stops, int count);
    // Adds a stop at a fraction 0..1 of whatever length the table gets; it is
    // placed when a setter next rebuilds the table.
    void AddStop(float at, mtxColor color, uint32_t mode = kInterpolationLinear,
                 float midpoint = 0.5f);

    // Table index and colour at pixel position (x, y); index 0 and the first
    // colour when no kind is set.
    int IndexAt(float x, float y) const;
    mtxColor ColorAt(float x, float y) const {
        return table_.empty() ? 0 : table_[size_t(IndexAt(x, y))];
    }
    // Replaces every pixel of the image by the gradient colour at its centre.
    void FillImage(mtxImage& image) const;

    uint32_t Kind() const { return kind_; }
    int TableLength() const { return int(table_.size()); }
    const mtxColor* Table() const { return table_.data(); }
    const std::vector<Stop>& Stops() const { return stops_; }

    std::string name;
    uint32_t changed = 0;  // set by every setter; cleared by whoever consumes it

  private:
    void Set(uint32_t kind, float x0, float y0, float x1, float y1, const mtxColor* table);
    int LengthFor(uint32_t kind) const;
    void Rebuild(int length, const mtxColor* table);

    uint32_t kind_ = kNone;
    float x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;
    std::vector<Stop> stops_;
    // Per stop: its place 0..1 along the ramp (AddStop), placed on the table
    // at every rebuild; negative for stops whose position is fixed (SetStops).
    std::vector<float> fractions_;
    std::vector<mtxColor> table_;
};
