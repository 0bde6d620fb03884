#include "fill/stamp_reach.h"

#include <algorithm>
#include <cmath>

#include "fill/fill_engine.h"

bool mtxStampReach::Set(const mtxStamp& stamp, const mtxSampleShapes::Shape& shape, double slack,
                        double reach) {
    shape_ = nullptr;
    const float* m = stamp.quad.transform;
    if (m[2] != 0.0f || m[5] != 0.0f || m[8] == 0.0f) return false;
    float corner[3][2];
    for (int i = 0; i < 3; ++i)
        if (!stamp.quad.Corner(i, &corner[i][0], &corner[i][1])) return false;
    ax_ = corner[0][0], ay_ = corner[0][1];
    ex_ = corner[1][0] - ax_, ey_ = corner[1][1] - ay_;
    fx_ = corner[2][0] - ax_, fy_ = corner[2][1] - ay_;
    det_ = ex_ * fy_ - ey_ * fx_;
    if (!(std::fabs(det_) > 1e-9) || shape.width <= 0 || shape.height <= 0) return false;
    std::copy(stamp.quad.u, stamp.quad.u + 2, u_);
    std::copy(stamp.quad.v, stamp.quad.v + 2, v_);
    // Texels a pixel spans along each side of the quad.
    const double sideE = std::hypot(ex_, ey_), sideF = std::hypot(fx_, fy_);
    reachU_ = reach * std::fabs(u_[1] - u_[0]) * shape.width / sideE + 1;
    reachV_ = reach * std::fabs(v_[1] - v_[0]) * shape.height / sideF + 1;
    slackS_ = slack / sideE, slackT_ = slack / sideF;
    const double xs[4] = {ax_, ax_ + ex_, ax_ + fx_, ax_ + ex_ + fx_},
                 ys[4] = {ay_, ay_ + ey_, ay_ + fy_, ay_ + ey_ + fy_};
    left = *std::min_element(xs, xs + 4) - slack, right = *std::max_element(xs, xs + 4) + slack;
    top = *std::min_element(ys, ys + 4) - slack, bottom = *std::max_element(ys, ys + 4) + slack;
    shape_ = &shape;
    return true;
}

bool mtxStampReach::Marks(double x, double y) const {
    if (!shape_) return false;
    const double px = x - ax_, py = y - ay_;
    const double s = (px * fy_ - py * fx_) / det_, t = (ex_ * py - ey_ * px) / det_;
    if (s < -slackS_ || s > 1 + slackS_ || t < -slackT_ || t > 1 + slackT_) return false;
    const double tu = (u_[0] + s * (u_[1] - u_[0])) * shape_->width;
    const double tv = (v_[0] + t * (v_[1] - v_[0])) * shape_->height;
    return shape_->AnyAlpha(int(std::floor(tu - reachU_)), int(std::floor(tv - reachV_)),
                            int(std::floor(tu + reachU_)), int(std::floor(tv + reachV_)));
}

bool mtxStampMarkedBox(const mtxStamp& stamp, const mtxSampleShapes::Shape& shape, mtxRect& box) {
    // A pixel's centre lies on whole coordinates here; the slack and reach
    // are half a pixel and a pixel wider than the filling's, whichever
    // centre a rule picks.
    mtxStampReach reach;
    if (!reach.Set(stamp, shape, mtxStampReach::kEdgeSlack + 0.5, mtxStampReach::kMarkReach + 1))
        return false;
    constexpr double kFar = double(1 << 30);
    if (!(reach.left > -kFar && reach.right < kFar && reach.top > -kFar && reach.bottom < kFar))
        return false;
    const int x0 = int(std::floor(reach.left)), x1 = int(std::ceil(reach.right));
    const int y0 = int(std::floor(reach.top)), y1 = int(std::ceil(reach.bottom));
    // Each row is searched from either end only as far as the box reaches.
    int left = x1 + 1, right = x0 - 1, top = y1 + 1, bottom = y0 - 1;
    for (int y = y0; y <= y1; ++y) {
        int l = x0;
        while (l < left && !reach.Marks(l, y)) ++l;
        if (l > x1) continue;  // no mark in the row
        int r = x1;
        while (r > right && r > l && !reach.Marks(r, y)) --r;
        if (l == left && r == right && !(reach.Marks(l, y) || reach.Marks(r, y))) {
            // The ends lie inside the box already; the row may still be blank.
            bool any = false;
            for (int x = l + 1; x < r && !any; ++x) any = reach.Marks(x, y);
            if (!any) continue;
        }
        left = std::min(left, l), right = std::max(right, r);
        top = std::min(top, y), bottom = std::max(bottom, y);
    }
    box = left <= right ? mtxRect{left, top, right + 1, bottom + 1} : mtxRect{};
    return true;
}
