#pragma once
// Logs of made-up stamps for the log and project file tests: most shaped as
// the filling engine shapes them, some with quads of their own.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "fill/stamp_log.h"

namespace stamp_log_test {

inline bool SameBits(const void* a, const void* b, size_t n) {
    return std::memcmp(a, b, n) == 0;
}

inline bool SameStamp(const mtxStamp& a, const mtxStamp& b) {
    return a.sample == b.sample && a.x == b.x && a.y == b.y && a.angle == b.angle &&
           a.size == b.size && a.shader == b.shader && SameBits(a.extent, b.extent, 8) &&
           SameBits(&a.quad, &b.quad, sizeof a.quad) && SameBits(a.c0, b.c0, 16) &&
           SameBits(a.c1, b.c1, 16);
}

// A stamp as the engine draws one: a size and aspect, a turn about the
// point, mirror and flip, the region's key and the photo's pixel.
inline mtxStamp EngineStamp(std::mt19937& random, int samples) {
    mtxStamp s;
    s.sample = int32_t(random() % uint32_t(samples));
    s.x = int32_t(random() % 640), s.y = int32_t(random() % 480);
    s.angle = random() % 360;
    s.size = 1 + int32_t(random() % 150);
    float X = float(s.size) * (random() % 2 ? 2.0f : 1.0f), Y = float(s.size);
    s.extent[0] = X, s.extent[1] = Y;
    mtxIEViewerQuad& q = s.quad;
    q.left = -X / 2, q.top = -Y / 2, q.right = q.left + X, q.bottom = q.top + Y;
    float theta = float(s.angle) * 3.1415927410125732f / 180.0f;
    float c = std::cos(theta), sn = std::sin(theta);
    const float m[9] = {c, sn, 0, -sn, c, 0, float(s.x), float(s.y), 1};
    std::memcpy(q.transform, m, sizeof m);
    if (random() % 2) q.u[0] = 1, q.u[1] = 0;
    if (random() % 2) q.v[0] = 1, q.v[1] = 0;
    for (float& v : s.c0) v = float(random() % 1000) / 997.0f;
    for (float& v : s.c1) v = float(random() % 256) / 255.0f;
    s.shader = random() % 3 ? mtxStamp::kRecolorShader : mtxStamp::kPlainShader;
    return s;
}

// count stamps over a few runs; every wholeEvery-th stamp (none for 0) has a
// quad of its own.
inline mtxStampLog RandomLog(int count, int samples, uint32_t seed, int wholeEvery = 7) {
    std::mt19937 random(seed);
    mtxStampLog log;
    for (int i = 0; i < count; ++i) {
        if (i % 16 == 0) {
            mtxStampLog::Run run;
            run.startState = (uint64_t(random()) << 32) | random();
            run.options.sizeMax = 20 + i % 100;
            run.options.rotate = uint32_t(i % 2);
            run.mode = uint8_t(i % 2);
            run.base = mtxStampLog::Base(i % 3);
            run.baseColor = run.base == mtxStampLog::kColor ? random() : 0;
            log.BeginRun(run);
        }
        mtxStamp s = EngineStamp(random, samples);
        if (wholeEvery && i % wholeEvery == 3)
            s.quad.transform[2] = 0.001f * float(1 + i);  // a projective corner
        log.Append(s, uint8_t(i % 2));
        log.NoteState((uint64_t(random()) << 32) | random());
    }
    return log;
}

}  // namespace stamp_log_test
