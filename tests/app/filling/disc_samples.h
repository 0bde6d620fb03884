#pragma once
#include "platform/device.h"

class SampleCollection;

namespace fill_test {

// Appends count opaque discs of radius 14 in 32 x 32 textures, each of its
// own colour and colour key, to the collection.
void AddDiscs(SampleCollection& samples, IDirect3DDevice9* device, int count);

}  // namespace fill_test
