#pragma once

class mtxImage;

// How close one picture looks to another: the mean CIE76 colour difference
// (CIELAB, D65 white, from sRGB) over all pixels, after both pictures are laid
// over white and, for sigma > 0, blurred on their sRGB values with a Gaussian
// of that sigma (what a viewer sees from a distance; sigma at most 15.75).
// Under 1 the two are indistinguishable, under 4 close; a flat picture of a
// photo's mean colour scores far higher. Returns -1 when the sizes differ, a
// picture is empty or memory runs out.
double mtxMeanColorDifference(const mtxImage& a, const mtxImage& b, float sigma);
