#pragma once
#include <cstdint>
#include <memory>

#include "fill/large_array.h"

// The edges of the pixel grid in ascending order of colour distance, built in two resumable
// sweeps over the picture (a counting sort).
//
// An edge is named by the pixel it starts from and its direction, id = pixel x 4 + direction,
// so the sorted list is one 32-bit word per edge. Its weight is the Euclidean distance of the two
// pixels' colour bytes; the square of that distance is an integer below kKeys and orders the
// edges exactly as the float weight does (no two squares below kKeys share a float square root),
// so the squared distance is the sort key and the weight of any edge in the list is read back from
// the bucket it lies in.
//
// The picture may be cut into bands of whole rows, counted and scattered each on its own thread.
// An edge belongs to the band of the pixel it starts from, so within a bucket band 0's edges come
// first, then band 1's, and the list is the same whatever the bands.
class mcvEdgeOrder {
  public:
    enum Direction : uint32_t { kRight = 0, kDown = 1, kDownRight = 2, kUpRight = 3 };
    static constexpr uint32_t kKeys = 3 * 255 * 255 + 1;

    // Squared distance of bits 0-7, 8-15 and 16-23 of two pixels; alpha takes no part.
    static uint32_t Key(uint32_t p, uint32_t q) {
        int d0 = int(p & 0xFF) - int(q & 0xFF);
        int d1 = int((p >> 8) & 0xFF) - int((q >> 8) & 0xFF);
        int d2 = int((p >> 16) & 0xFF) - int((q >> 16) & 0xFF);
        return uint32_t(d0 * d0 + d1 * d1 + d2 * d2);
    }

    // The picture the edges run over: width x height pixels, rows `pitch` bytes apart. The
    // sweeps read it; it must stay unchanged until Scatter has run over every pixel. bands (at
    // least 1, at most height) cuts the rows into that many bands of nearly equal height.
    void Begin(const uint32_t* pixels, uint32_t width, uint32_t height, int32_t pitch,
               uint32_t bands = 1);
    void Release();
    bool Begun() const { return buckets_ || edges_; }

    // First sweep: counts the edges of pixels first..last-1 (row-major pixel numbers, all in
    // the given band) by key and returns how many there were. Bands may be counted at once on
    // different threads.
    uint32_t Count(uint32_t first, uint32_t last, uint32_t band = 0);
    // Turns the counts into bucket starts and allocates the sorted list; once, after every
    // pixel has been counted.
    void Prepare(uint32_t edgeCount);
    // Second sweep: places the edges of pixels first..last-1 (all in band) into their buckets.
    // Each band's pixels must be scattered in ascending order, so equal weights keep the order in
    // which they were built; bands may be scattered at once on different threads.
    void Scatter(uint32_t first, uint32_t last, uint32_t band = 0);

    uint32_t Bands() const { return bands_; }
    uint32_t BandFirstPixel(uint32_t band) const { return bandFirst_[band]; }
    // Frees the bucket table once the list is no longer read by weight.
    void ReleaseBuckets() { buckets_.reset(); }

    const uint32_t* Edges() const { return edges_.get(); }
    uint32_t EdgeCount() const { return edgeCount_; }
    // The two pixels of an edge, a < b in row-major order except for up-right edges.
    uint32_t From(uint32_t id) const { return id >> 2; }
    uint32_t To(uint32_t id) const { return (id >> 2) + step_[id & 3]; }
    // The same for a picture width pixels wide, without a sweep begun.
    static uint32_t To(uint32_t id, uint32_t width) {
        const uint32_t step[4] = {1, width, width + 1, 1 - width};
        return (id >> 2) + step[id & 3];
    }
    // Key of the edge at position i of the sorted list; keyHint is any key at or below it (the
    // key of an earlier position), so a walk down the list costs nothing per edge.
    uint32_t KeyAt(uint32_t i, uint32_t keyHint) const {
        while (buckets_[keyHint] <= i) ++keyHint;
        return keyHint;
    }
    // One past the last position of key's bucket.
    uint32_t BucketEnd(uint32_t key) const { return buckets_[key]; }
    // Key of the edge at position i, found by bisection (after a resume).
    uint32_t KeyAt(uint32_t i) const;

  private:
    template <bool kScatter>
    uint32_t Sweep(uint32_t first, uint32_t last, uint32_t band);
    const uint32_t* Row(uint32_t y) const {
        return reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(pixels_) +
                                                 intptr_t(y) * pitch_);
    }

    const uint32_t* pixels_ = nullptr;
    uint32_t width_ = 0, height_ = 0;
    int32_t pitch_ = 0;
    uint32_t step_[4] = {};
    uint32_t edgeCount_ = 0;
    // One entry per key: the count of edges with that key before Prepare, the bucket's next free
    // position during Scatter, and one past the bucket's last position once every pixel has been
    // scattered (so bucket k then holds positions buckets_[k-1] .. buckets_[k] - 1).
    std::unique_ptr<uint32_t[]> buckets_;
    mcvLargeArray<uint32_t> edges_;
    // With more than one band: the same per band (counts, then each band's next free position,
    // then one past its last position in every bucket), kKeys entries per band.
    std::unique_ptr<uint32_t[]> bandEnds_;
    uint32_t bands_ = 1;
    std::unique_ptr<uint32_t[]> bandFirst_;  // bands_ + 1 entries: first pixel of each band
};
