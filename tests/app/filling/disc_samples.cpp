#include "tests/app/filling/disc_samples.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "fill/sample_collection.h"
#include "tests/render/render_test_support.h"

namespace fill_test {

void AddDiscs(SampleCollection& samples, IDirect3DDevice9* device, int count) {
    for (int i = 0; i < count; ++i) {
        std::vector<uint32_t> pixels(32 * 32, 0);
        uint32_t color = 0xFF000000u | (0x405080u + 0x302010u * uint32_t(i));
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                if (std::hypot(x + 0.5 - 16, y + 0.5 - 16) < 14) pixels[y * 32 + x] = color;
        SampleCollection::Sample& s = samples.samples[samples.count++];
        s.texture = render_test::MakeTexture(device, 32, 32, pixels);
        s.width = s.height = 32;
        s.scale = float((32 / std::sqrt(2.0)) / 14);
        s.key[0] = 0.2f + 0.2f * float(i), s.key[1] = 0.5f, s.key[2] = 0.5f;
        s.meanColor[0] = s.meanColor[1] = s.meanColor[2] = 0.5f;
    }
    samples.changed = 1;
}

}  // namespace fill_test
