#pragma once
#include <cstdint>

#include "render/layers/viewer_quad.h"

class SampleCollection;
class mcvSegmentGraph;
class mtxFillRandom;
class mtxImage;

// One sample as a placement step draws it.
struct mtxStamp {
    static constexpr uint32_t kRecolorShader = 5357;  // the region's colour, the sample's light
    static constexpr uint32_t kPlainShader = 5372;    // the sample's own colours

    int32_t sample = -1;   // index in the collection
    int32_t x = 0, y = 0;  // the point, in picture pixels
    uint32_t angle = 0;    // degrees
    int32_t size = 0;      // the quad's shorter side
    float extent[2] = {};  // the quad's width and height (X, Y)
    mtxIEViewerQuad quad;  // the rectangle about the origin, u and v pairs, turn and move
    float c0[4] = {};      // the region's key and the brightness factor
    float c1[4] = {};      // the photo's pixel at the point, / 255
    uint32_t shader = kRecolorShader;

    // The extent of a sample of sampleWidth x sampleHeight at this size: the
    // shorter side is the size and the sample keeps its aspect ratio.
    void SizeTo(int32_t sampleWidth, int32_t sampleHeight);
    // The quad: the extent centred on the origin, turned by the angle and
    // moved to the point, mirrored and flipped as asked.
    void Shape(bool mirrored, bool flipped);
    // The photo's pixel 0xAARRGGBB at the point, as the shaders take it.
    void SetPhotoPixel(uint32_t pixel);
};

// Where the stamps go: the result layer on the device, or a recorder in tests.
class mtxStampTarget {
  public:
    virtual ~mtxStampTarget() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Draws the stamp with the sample's texture; 1 when drawn.
    virtual int Draw(const mtxStamp& stamp, const SampleCollection& samples) = 0;
    // Takes back into the picture what was drawn so far (the periodic refresh).
    virtual void Refresh() {}
};

// What one step did.
enum class mtxPlaceResult {
    kPlaced,       // one stamp drawn
    kNoRoom,       // no point with room in 20 tries
    kTooSmall,     // the room at the point is below the smallest size
    kNoSamples,    // the collection is empty: the caller tells the user and stops
    kNotPrepared,  // no finished segmentation of this picture, or an empty picture
    kDrawFailed,   // the target could not draw (a lost device); try again later
    kFinished,     // the run is complete: nothing is left to place
};

// The filling engine's step: places at most one sample. It picks a random
// point with room (by the segmentation's distance field), a sample for the
// region there (by colour or at random), a size from the room, a turn and
// mirrors, and draws the sample recoloured to the region with the photo's
// alpha. The generator is drawn only at fixed points (x, y, angle, random
// sample, size, mirror, flip), so a seed and the options fix every stamp.
class mtxFillEngine {
  public:
    mtxFillEngine(mcvSegmentGraph& segmentation, SampleCollection& samples, mtxFillRandom& random,
                  const mtxImage& sourceCopy, mtxStampTarget& target)
        : segmentation_(segmentation),
          samples_(samples),
          random_(random),
          source_(sourceCopy),
          target_(target) {}

    // One step at millisecond clock now (a multiple of 3000 refreshes the
    // target first); the stamp drawn, when placed, in *stamp.
    mtxPlaceResult PlaceSample(uint32_t now, mtxStamp* stamp = nullptr);

  private:
    bool Prepared() const;
    void ForgetMatches();
    int32_t ChooseSample(uint32_t pixel);

    mcvSegmentGraph& segmentation_;
    SampleCollection& samples_;
    mtxFillRandom& random_;
    const mtxImage& source_;
    mtxStampTarget& target_;
};
