// The sample library the build draws: every picture loads through the
// program's own PNG decoder and looks like a sample (clear around the shape,
// solid inside, soft edges), and the collections offer colours all round the
// colour wheel. Each collection's file lists its pictures by bare name and
// loads into a sample collection as the program loads it, with keys that
// spread over the colour space the matching works in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "base/share_folder.h"
#include "fill/file_lawn_col.h"
#include "fill/message_sink.h"
#include "fill/sample_collection.h"
#include "image/image.h"
#include "image/io/image_load.h"
#include "render/image_editor_device.h"
#include "tests/render/render_test_support.h"
#include "tests/support/test_support.h"

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

struct Collector : mtxMessageSink {
    void Message(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

// The editor with a headless device whose textures the samples live in.
mtxImageEditorDevice& Editor() {
    return render_test::SharedEditor<mtxImageEditorDevice>();
}

std::vector<fs::path> Collections(const fs::path& root) {
    std::vector<fs::path> folders;
    for (const auto& entry : fs::directory_iterator(root))
        if (entry.is_directory()) folders.push_back(entry.path());
    std::sort(folders.begin(), folders.end());
    return folders;
}

int CountPictures(const fs::path& folder) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        n += entry.path().extension() == ".png";
    return n;
}

// The hue sector (0..7, 45 degrees each) of a key's chroma, or -1 when the
// key is nearly grey.
int ChromaSector(const float key[3]) {
    double cb = key[1] - 128.0 / 255, cr = key[2] - 128.0 / 255;
    if (std::hypot(cb, cr) < 0.025) return -1;
    double turn = std::atan2(cr, cb) / (2 * std::numbers::pi);
    return int(std::floor((turn - std::floor(turn)) * 8)) % 8;
}

}  // namespace

TEST(SampleLibrary, TheProgramFindsTheLibraryOfItsBuildTree) {
    std::error_code error;
    EXPECT_TRUE(fs::equivalent(mtxSampleLibraryFolder(), DAUBRY_SAMPLES_DIR, error))
        << mtxSampleLibraryFolder();
}

TEST(SampleLibrary, EveryCollectionFileLoadsWithFiniteScalesAndKeysThatSpread) {
    testing_support::SharedApp();
    ASSERT_NE(Editor().GetDevice(), nullptr) << "no headless device (EGL, Mesa llvmpipe)";
    const std::vector<fs::path> folders = Collections(DAUBRY_SAMPLES_DIR);
    ASSERT_GE(folders.size(), 6u);
    std::set<int> sectors;
    float lowY = 1, highY = 0;
    for (const fs::path& folder : folders) {
        const std::string list = (folder / folder.filename()).string() + ".msc";
        mtxFileLawnCol file(list);
        ASSERT_EQ(file.ReadCollection(), 1) << file.error;
        ASSERT_EQ(file.entryCount, CountPictures(folder)) << list;
        for (int i = 0; i < file.entryCount; ++i)
            EXPECT_EQ(file.entries[i].find('/'), std::string::npos) << file.entries[i];

        Collector messages;
        SampleCollection samples;
        samples.Bind(Editor(), &messages);
        ASSERT_EQ(samples.LoadCollection(list), 1) << list;
        EXPECT_EQ(samples.count, file.entryCount) << list;
        EXPECT_TRUE(messages.texts.empty()) << messages.texts.front();
        std::set<int> ownSectors;
        float ownLow = 1, ownHigh = 0;
        for (int i = 0; i < samples.count; ++i) {
            const SampleCollection::Sample& s = samples.samples[i];
            EXPECT_TRUE(std::isfinite(s.scale) && s.scale > 0) << s.path << " " << s.scale;
            for (float k : s.key) EXPECT_TRUE(std::isfinite(k) && k >= 0 && k <= 1) << s.path;
            sectors.insert(ChromaSector(s.key));
            ownSectors.insert(ChromaSector(s.key));
            ownLow = std::min(ownLow, s.key[0]), ownHigh = std::max(ownHigh, s.key[0]);
        }
        // Matching within one collection has colours or shades to choose from.
        EXPECT_TRUE(ownSectors.size() >= 3 || ownHigh - ownLow >= 0.25f)
            << folder << ": " << ownSectors.size() << " hue sectors, Y " << ownLow << ".."
            << ownHigh;
        lowY = std::min(lowY, ownLow), highY = std::max(highY, ownHigh);
    }
    sectors.erase(-1);
    EXPECT_GE(sectors.size(), 7u);  // all round the Cb-Cr plane
    EXPECT_LT(lowY, 0.25f);         // dark samples
    EXPECT_GT(highY, 0.8f);         // and light ones
}

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
