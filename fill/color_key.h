#pragma once

// The colour key that sample matching compares: a mean colour (red, green, blue, each 0..1)
// rounded to 8-bit values, converted to Y, Cb, Cr (each rounded and clamped to 0..255) and
// divided by 255. Regions of the segmented picture and samples get their keys here, so the two
// always agree.
void mcvColorKey(const float meanColor[3], float key[3]);
