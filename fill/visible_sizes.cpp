#include "fill/visible_sizes.h"

#include "fill/fill_engine.h"
#include "fill/sample_collection.h"

int mtxVisibleSizes::Reset(const mtxImage& photo, int cell, int32_t large) {
    large_ = large;
    return canvas_.Reset(photo, cell);
}

void mtxVisibleSizes::Note(const mtxStamp& stamp, const SampleCollection& samples) {
    const mtxSampleShapes::Shape* shape = shapes_.Get(samples, stamp.sample);
    if (!shape) return;
    float corner[3][2];
    for (int i = 0; i < 3; ++i)
        if (!stamp.quad.Corner(i, &corner[i][0], &corner[i][1])) return;
    // The canvas keeps the colour of the stamp on top: red 1 marks a large one.
    canvas_.Paint(corner, stamp.quad.u, stamp.quad.v, shape->alpha.data(), shape->width,
                  shape->height, stamp.size >= large_ ? 0x010000u : 0u);
}

double mtxVisibleSizes::LargeShare() const {
    mtxStampCanvas::Sums sums = canvas_.Query(0, 0, canvas_.Width() - 1, canvas_.Height() - 1);
    return sums.covered ? double(sums.red) / double(sums.covered) : 0.0;
}
