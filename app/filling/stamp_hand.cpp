#include "app/filling/stamp_hand.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "fill/fill_session.h"

namespace {

void Unite(mtxRect& into, const mtxRect& r) {
    if (r.IsEmpty()) return;
    if (into.IsEmpty()) {
        into = r;
        return;
    }
    into.left = std::min(into.left, r.left), into.top = std::min(into.top, r.top);
    into.right = std::max(into.right, r.right), into.bottom = std::max(into.bottom, r.bottom);
}

}  // namespace

int mtxStampHand::Place(mtxFillSession& session, SampleCollection& samples, float x, float y,
                        mtxRect& changed) {
    lastX_ = x, lastY_ = y;
    mtxStamp stamp;
    const int px = int(std::floor(x)), py = int(std::floor(y));
    if (!brush.Compose(px, py, session.log.Count(), samples, session.Shapes(), session.sourceCopy,
                       session.segmentation.distance, stamp))
        return 1;  // off the photo: the stroke goes on
    if (!session.PlaceHandStamp(stamp)) return 0;
    ++placed;
    spacing_ = mtxStampBrush::Spacing(stamp.size);
    Unite(changed, session.log.Bounds(session.log.Count() - 1));
    return 1;
}

int mtxStampHand::Erase(mtxFillSession& session, const std::vector<uint64_t>& stamps,
                        mtxRect& changed) {
    std::vector<uint64_t> fresh;
    for (uint64_t i : stamps)
        if (!session.log.Erased(i)) fresh.push_back(i);
    if (fresh.empty()) return 1;
    const int64_t n = session.EraseStamps(fresh);
    if (n < 0) return 0;
    erased += uint64_t(n);
    // What shows differently lies under the stamps.
    for (uint64_t i : fresh) Unite(changed, session.log.Bounds(i));
    return 1;
}

int mtxStampHand::Begin(mtxFillSession& session, SampleCollection& samples, float x, float y,
                        mtxRect& changed) {
    changed = {};
    if (mode == kBrush) return Place(session, samples, x, y, changed);
    if (mode != kEraser) return 1;
    lastX_ = x, lastY_ = y;
    const int64_t top = session.StampAt(x, y);
    return top < 0 ? 1 : Erase(session, {uint64_t(top)}, changed);
}

int mtxStampHand::MoveTo(mtxFillSession& session, SampleCollection& samples, float x, float y,
                         mtxRect& changed) {
    changed = {};
    if (mode == kEraser) {
        const float step = std::max(1.0f, float(radius) / 2);
        const float dx = x - lastX_, dy = y - lastY_;
        const int steps = std::max(1, int(std::ceil(std::hypot(dx, dy) / step)));
        std::vector<uint64_t> under;
        // The disc's path, at points half a radius apart.
        for (int k = 1; k <= steps; ++k) {
            const float t = float(k) / float(steps);
            for (uint64_t i : session.StampsNear(lastX_ + t * dx, lastY_ + t * dy, float(radius)))
                under.push_back(i);
        }
        std::sort(under.begin(), under.end());
        under.erase(std::unique(under.begin(), under.end()), under.end());
        lastX_ = x, lastY_ = y;
        return Erase(session, under, changed);
    }
    if (mode != kBrush) return 1;
    // Along the segment, a stamp each time the spacing is reached.
    for (int guard = 0; guard < 10000; ++guard) {
        const float dx = x - lastX_, dy = y - lastY_, length = std::hypot(dx, dy);
        if (length < spacing_) break;
        const float t = spacing_ / length;
        if (!Place(session, samples, lastX_ + t * dx, lastY_ + t * dy, changed)) return 0;
    }
    return 1;
}
