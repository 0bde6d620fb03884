// The sample library the build draws: every picture loads through the
// program's own PNG decoder and looks like a sample (clear around the shape,
// solid inside, soft edges), and the collections offer colours all round the
// colour wheel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "image/image.h"
#include "image/io/image_load.h"

namespace {

namespace fs = std::filesystem;

// The hue sector (0..11) of the mean colour of the solid pixels, or -1 when
// that colour is nearly grey.
int HueSector(double r, double g, double b) {
    double hi = std::max({r, g, b}), lo = std::min({r, g, b});
    if (hi - lo < 0.08 * 255) return -1;
    double h;
    if (hi == r)
        h = std::fmod((g - b) / (hi - lo) + 6, 6.0);
    else if (hi == g)
        h = (b - r) / (hi - lo) + 2;
    else
        h = (r - g) / (hi - lo) + 4;
    return int(h * 2) % 12;
}

}  // namespace

TEST(SampleLibrary, EveryPictureIsASampleAndColoursSpreadRoundTheWheel) {
    const fs::path root = DAUBRY_SAMPLES_DIR;
    ASSERT_TRUE(fs::is_directory(root)) << root;
    std::map<std::string, int> perCollection;
    std::set<int> sectors;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.path().extension() != ".png") continue;
        const std::string name = entry.path().string();
        mtxImage image;
        ASSERT_EQ(mtxImageLoad(image, name, 0), 1) << name;
        ASSERT_GE(image.width, 128) << name;
        ASSERT_LE(image.width, 256) << name;
        int clear = 0, solid = 0, soft = 0;
        double r = 0, g = 0, b = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                mtxColor c = image.At(x, y);
                uint32_t a = mtxAlpha(c);
                if (a == 0) {
                    ++clear;
                } else if (a == 255) {
                    ++solid;
                    r += mtxRed(c), g += mtxGreen(c), b += mtxBlue(c);
                } else {
                    ++soft;
                }
            }
        const int all = image.width * image.height;
        EXPECT_EQ(mtxAlpha(image.At(0, 0)), 0u) << name;
        EXPECT_GT(clear, all / 10) << name;
        EXPECT_GT(solid, all / 12) << name;    // feathers are slender
        EXPECT_GT(soft, image.width) << name;  // antialiased all round
        sectors.insert(HueSector(r / solid, g / solid, b / solid));
        ++perCollection[entry.path().parent_path().filename().string()];
    }
    EXPECT_GE(perCollection.size(), 6u);
    for (const auto& [collection, count] : perCollection) EXPECT_GE(count, 12) << collection;
    // Reds, oranges, yellows, greens, cyans, blues, purples, pinks and greys.
    EXPECT_GE(sectors.size(), 11u);
}
