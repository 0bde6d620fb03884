#pragma once
// The Gaussian weights of mtxImage::Blur, exposed so tests and slow reference
// implementations use the same table.

namespace mtxBlur {

constexpr int kMaxTaps = 64;

// n = ceil(4 sigma) + 1 taps (at most 64) of exp(-0.5 (i / sigma)^2) / (sqrt(2 pi) sigma),
// sigma raised to at least 0.01. Returns n.
int Weights(float sigma, float weights[kMaxTaps]);

}  // namespace mtxBlur
