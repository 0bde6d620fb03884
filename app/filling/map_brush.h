#pragma once
#include <cstdint>
#include <vector>

#include "fill/fill_maps.h"
#include "image/field.h"

// The round brush that paints the Fine filling's maps by hand. A stroke is a
// run of segments; every pixel whose centre lies within the radius of a
// segment takes the mode's level, so going over a place twice changes
// nothing more (the strength is the level, not an amount added).
class mtxMapBrush {
  public:
    // kNeutral paints the detail plane back to no preference.
    enum Mode : uint32_t { kNone = 0, kFiner, kCoarser, kNeutral, kProtect, kUnprotect };
    static constexpr int kMaxRadius = 400;

    Mode mode = kNone;
    int radius = 12;    // pixels of the plane
    int strength = 64;  // how far from neutral Finer and Coarser go, 1..127

    static mtxFillMaps::Plane PlaneOf(Mode mode) {
        return mode == kFiner || mode == kCoarser || mode == kNeutral ? mtxFillMaps::kDetail
                                                                      : mtxFillMaps::kProtect;
    }
    // The byte the mode writes.
    uint8_t Level() const;
    // Paints the segment from (x0, y0) to (x1, y1), in the plane's pixel
    // coordinates (pixel (i, j) covers the square from (i, j)), into a plane
    // of width x height made when missing, and tells the maps what changed.
    // touched gets the pixels written (right and bottom outside). 1 when
    // something was painted, 0 for mode kNone, a stroke off the plane or a
    // plane that could not be made.
    int Stroke(mtxFillMaps& maps, int width, int height, float x0, float y0, float x1, float y1,
               mtxRect* touched) const;
};

// One stroke's change to a plane, for Undo and Redo: the rectangle it
// touched as it was before and after, in bytes that can be kept elsewhere.
struct mtxMapStroke {
    mtxFillMaps::Plane plane = mtxFillMaps::kProtect;
    int width = 0, height = 0;  // of the plane
    mtxRect rect;
    std::vector<uint8_t> before, after;  // rect's rows

    // Notes the rectangle of the plane as it is (before, or after).
    static void Copy(const mtxFillMaps& maps, mtxFillMaps::Plane plane, const mtxRect& rect,
                     std::vector<uint8_t>& out);
    std::vector<uint8_t> Encode() const;
    // 1, or 0 for bytes that are not a stroke.
    int Decode(const std::vector<uint8_t>& bytes);
    // Writes before (backward) or after back into a plane of the stroke's
    // size, made when missing. 1, or 0 when the maps have another size.
    int Apply(mtxFillMaps& maps, bool backward) const;
};
