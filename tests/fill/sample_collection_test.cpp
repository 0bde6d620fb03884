#include "fill/sample_collection.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "base/registry.h"
#include "fill/file_lawn_col.h"
#include "fill/message_sink.h"
#include "fill/project_session.h"
#include "image/file_stream.h"
#include "image/image.h"
#include "image/io/image_save.h"
#include "platform/device.h"
#include "render/image_editor_device.h"
#include "tests/render/render_test_support.h"
#include "tests/support/test_support.h"

using testing_support::SharedApp;
using testing_support::TempDir;

namespace {

struct Collector : mtxMessageSink {
    void Message(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

using render_test::Editor;

using PixelFn = std::function<mtxColor(int, int)>;

void SavePng(const std::string& path, int w, int h, const PixelFn& pixel) {
    mtxImage image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.At(x, y) = pixel(x, y);
    mtxFileStream<65536> file;
    ASSERT_TRUE(file.Open(path, mtxFile::kWrite | mtxFile::kCreate));
    ASSERT_EQ(mtxImageWritePng(image, file), 1);
}

mtxColor Opaque(int, int) {
    return 0xFF336699;
}

struct SampleCollectionTest : ::testing::Test {
    SampleCollectionTest() {
        SharedApp();
        EXPECT_NE(Editor().GetDevice(), nullptr) << "no headless device (EGL, Mesa llvmpipe)";
        samples.Bind(Editor(), &messages);
    }
    // A picture file in the test's folder, by name.
    std::string Picture(const std::string& name, int w = 8, int h = 8,
                        const PixelFn& pixel = Opaque) {
        std::string path = dir.File(name);
        SavePng(path, w, h, pixel);
        return path;
    }
    // The level-0 pixels of a sample's texture, row 0 first.
    std::vector<uint32_t> TexturePixels(const SampleCollection::Sample& s) {
        D3DLOCKED_RECT locked;
        std::vector<uint32_t> out;
        if (FAILED(s.texture->LockRect(0, &locked, nullptr, 0))) return out;
        for (int y = 0; y < s.height; ++y) {
            auto* row = reinterpret_cast<const uint32_t*>(
                static_cast<const uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch));
            out.insert(out.end(), row, row + s.width);
        }
        s.texture->UnlockRect(0);
        return out;
    }
    bool Told(const std::string& part) const {
        for (const std::string& t : messages.texts)
            if (t.find(part) != std::string::npos) return true;
        return false;
    }

    TempDir dir;
    Collector messages;
    SampleCollection samples;
};

TEST_F(SampleCollectionTest, PictureIsCentredInAPowerOfTwoTexture) {
    std::mt19937 random(5);
    std::vector<mtxColor> pixels(100 * 60);
    for (mtxColor& p : pixels) p = random() | 0x80000000u;
    std::string path =
        Picture("Wide Rose.PNG", 100, 60, [&](int x, int y) { return pixels[y * 100 + x]; });
    ASSERT_EQ(samples.AddSample(path), 1);
    const SampleCollection::Sample& s = samples.samples[0];
    ASSERT_NE(s.texture, nullptr);
    EXPECT_EQ(s.width, 128);
    EXPECT_EQ(s.height, 64);
    EXPECT_EQ(s.name, "wide rose");
    EXPECT_EQ(s.path, path);
    std::vector<uint32_t> texels = TexturePixels(s);
    ASSERT_EQ(texels.size(), 128u * 64u);
    int wrong = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x) {
            bool inside = x >= 14 && x < 114 && y >= 2 && y < 62;
            uint32_t want = inside ? pixels[(y - 2) * 100 + (x - 14)] : 0;
            wrong += texels[y * 128 + x] != want;
        }
    EXPECT_EQ(wrong, 0);
    // Every pixel is opaque, so R is the distance from (50, 30) to the corner pixel (0, 0); m = 64.
    EXPECT_FLOAT_EQ(s.scale, float((64 / std::sqrt(2.0)) / std::hypot(50.0, 30.0)));
}

// Scale and keys against a plain walk over every pixel.
TEST_F(SampleCollectionTest, ScaleAndKeysMatchAPlainComputation) {
    std::mt19937 random(11);
    for (int round = 0; round < 6; ++round) {
        int w = 1 + int(random() % 70), h = 1 + int(random() % 70);
        // A blob of opaque pixels at a random place, faint pixels (alpha 1..10) around it.
        int bx = int(random() % w), by = int(random() % h), br = 1 + int(random() % 20);
        std::vector<mtxColor> pixels(size_t(w * h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double d = std::hypot(x - bx, y - by);
                uint32_t a = d < br ? 11 + random() % 245 : d < br + 3 ? random() % 11 : 0;
                pixels[y * w + x] = a << 24 | (random() & 0xFFFFFF);
            }
        pixels[0] = 0xFF000000u | random();  // so that some pixel lies away from the centre
        std::string path = Picture("p" + std::to_string(round) + ".png", w, h,
                                   [&](int x, int y) { return pixels[y * w + x]; });
        ASSERT_EQ(samples.AddSample(path), 1) << messages.texts.size();
        const SampleCollection::Sample& s = samples.samples[samples.count - 1];

        double r2 = 0, sum[3] = {0, 0, 0}, n = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                mtxColor p = pixels[y * w + x];
                if (mtxAlpha(p) > 10)
                    r2 = std::max(r2, std::pow(x - w * 0.5, 2) + std::pow(y - h * 0.5, 2));
                if (mtxAlpha(p) == 0) continue;
                sum[0] += mtxRed(p), sum[1] += mtxGreen(p), sum[2] += mtxBlue(p), n += 1;
            }
        double m = std::min(std::bit_ceil(unsigned(w)), std::bit_ceil(unsigned(h)));
        EXPECT_NEAR(s.scale, (m / std::sqrt(2.0)) / std::sqrt(r2), 1e-5 * s.scale);
        double rgb[3];
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(s.meanColor[c], sum[c] / n / 255.0, 1e-5);
            rgb[c] = std::nearbyint(sum[c] / n);
        }
        double y = 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2];
        double cb = 128 - (0.1687 * rgb[0] + 0.3313 * rgb[1] - 0.5 * rgb[2]);
        double cr = 128 + (0.5 * rgb[0] - 0.4187 * rgb[1] - 0.0813 * rgb[2]);
        double want[3] = {y, cb, cr};
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(s.key[c] * 255.0, std::clamp(want[c], 0.0, 255.0), 0.5 + 1e-3) << c;
            EXPECT_TRUE(std::isfinite(s.key[c]));
        }
        EXPECT_TRUE(std::isfinite(s.scale));
    }
}

TEST_F(SampleCollectionTest, UnusablePicturesAreNotAddedAndTheUserIsTold) {
    std::string clear = Picture("Clear.png", 9, 9, [](int, int) { return 0x0AFFFFFFu; });
    std::string dot =
        Picture("Dot.png", 2, 2, [](int x, int y) { return x == 1 && y == 1 ? 0xFFFFFFFFu : 0u; });
    std::string wide = Picture("Wide.png", 8193, 1);
    ASSERT_EQ(mkfifo(dir.File("Pipe.png").c_str(), 0666), 0);
    for (const std::string& path : {clear, dot, wide, dir.File("Pipe.png")}) {
        size_t before = messages.texts.size();
        EXPECT_EQ(samples.AddSample(path), 0) << path;
        ASSERT_EQ(messages.texts.size(), before + 1) << path;
        EXPECT_NE(messages.texts.back().find(std::filesystem::path(path).filename().string()),
                  std::string::npos)
            << messages.texts.back();
    }
    EXPECT_TRUE(Told("Sample Wide.png is too big for your hardware"));
    EXPECT_EQ(samples.count, 0);

    mtxDxTestSwitches().failTextures = 1;
    messages.texts.clear();
    EXPECT_EQ(samples.AddSample(Picture("Fine.png")), 0);
    mtxDxTestSwitches().failTextures = 0;
    EXPECT_TRUE(Told("Fine.png")) << "texture failure not told";
    EXPECT_EQ(samples.count, 0);

    // A file that is no picture, or none at all, is told by name with the loader's reason.
    messages.texts.clear();
    testing_support::WriteFile(dir.File("text.png"), "not a picture");
    EXPECT_EQ(samples.AddSample(dir.File("text.png")), 0);
    EXPECT_EQ(samples.AddSample(dir.File("missing.png")), 0);
    EXPECT_EQ(samples.count, 0);
    ASSERT_EQ(messages.texts.size(), 2u);
    EXPECT_NE(messages.texts[0].find("Sample text.png cannot be loaded ("), std::string::npos)
        << messages.texts[0];
    EXPECT_NE(messages.texts[1].find("missing.png cannot be loaded (No such file"),
              std::string::npos)
        << messages.texts[1];
}

TEST_F(SampleCollectionTest, EachMissingEntryIsOneLineNamingItWithControlsEscaped) {
    mtxFileLawnCol file;
    for (int i = 0; i < SampleCollection::kMaxSamples; ++i)
        file.AddEntry(dir.File("gone\n" + std::to_string(i) + "\x1b[31m\t.png"));
    mtxFileStream<65536> out;
    ASSERT_TRUE(out.Open(dir.File("gone.msc"), mtxFile::kWrite | mtxFile::kCreate));
    ASSERT_EQ(file.WriteCollection(out), 1);
    out.Flush();
    // Nothing else reaches the error stream (no message box of the file layer).
    std::fflush(stderr);
    std::FILE* captured = std::tmpfile();
    const int saved = dup(2);
    dup2(fileno(captured), 2);
    EXPECT_EQ(samples.LoadCollection(dir.File("gone.msc")), 1);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    EXPECT_EQ(std::ftell(captured), 0L);
    std::fclose(captured);
    EXPECT_EQ(samples.count, 0);
    ASSERT_EQ(messages.texts.size(), size_t(SampleCollection::kMaxSamples));
    for (int i = 0; i < SampleCollection::kMaxSamples; ++i) {
        const std::string& text = messages.texts[size_t(i)];
        for (char c : text) ASSERT_GE(static_cast<unsigned char>(c), 0x20) << text;
        EXPECT_NE(text.find("Sample gone\\n" + std::to_string(i) + "\\x1B[31m\\t.png"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("No such file or directory: " + dir.Path()), std::string::npos) << text;
    }
    // The printer keeps a message on its line whatever it is handed.
    std::FILE* stream = std::tmpfile();
    mtxMessagePrinter(stream).Message(
        "a\nb\x1b]0;title\x07\xc2\x9b"
        "c\r");
    std::rewind(stream);
    char line[128] = {};
    ASSERT_NE(std::fgets(line, sizeof line, stream), nullptr);
    std::fclose(stream);
    EXPECT_STREQ(line, "a\\nb\\x1B]0;title\\x07\\u009Bc\\r\n");
}

TEST_F(SampleCollectionTest, ReplacingReadsTheNewSamplesBeforeLettingGoOfTheOld) {
    std::string a = Picture("a.png"), b = Picture("b.png"), c = Picture("c.png");
    mtxFileLawnCol list(dir.File("bc.msc"));
    list.AddEntry(b);
    list.AddEntry(c);
    ASSERT_EQ(list.WriteCollection(), 1);
    testing_support::WriteFile(dir.File("junk.msc"), "MLCL but nothing more");
    testing_support::WriteFile(dir.File("junk.png"), "no picture");
    samples.AddSample(a);
    samples.AddSample(b);
    samples.changed = 0;
    EXPECT_EQ(samples.ReplaceCollection(dir.File("junk.msc")), 0);
    EXPECT_EQ(samples.ReplaceCollection(dir.File("none.msc")), 0);
    EXPECT_EQ(samples.ReplaceWithSample(dir.File("junk.png")), 0);
    EXPECT_EQ(samples.ReplaceWithSample(dir.File("bc.msc")), 0);
    EXPECT_EQ(samples.count, 2);
    EXPECT_EQ(samples.samples[0].path, a);
    EXPECT_NE(samples.samples[1].texture, nullptr);
    EXPECT_EQ(samples.changed, 0u);
    EXPECT_EQ(messages.texts.size(), 4u);

    EXPECT_EQ(samples.ReplaceCollection(dir.File("bc.msc")), 1);
    ASSERT_EQ(samples.count, 2);
    EXPECT_EQ(samples.samples[0].path, b);
    EXPECT_EQ(samples.samples[1].path, c);
    EXPECT_EQ(samples.changed, 1u);
    // A picture replaces even a full collection, and one already in it.
    for (int i = samples.count; i < SampleCollection::kMaxSamples; ++i)
        ASSERT_EQ(samples.AddSample(Picture("f" + std::to_string(i) + ".png", 2, 2)), 1);
    samples.changed = 0;
    EXPECT_EQ(samples.ReplaceWithSample(c), 1);
    ASSERT_EQ(samples.count, 1);
    EXPECT_EQ(samples.samples[0].path, c);
    EXPECT_EQ(samples.samples[0].name, "c");
    EXPECT_NE(samples.samples[0].texture, nullptr);
    EXPECT_EQ(samples.samples[1].texture, nullptr);
    EXPECT_EQ(samples.selected, 0);
    EXPECT_EQ(samples.changed, 1u);
}

TEST_F(SampleCollectionTest, PathsAreKeptExactlyAndAddedOnce) {
    std::string upper = Picture("Rose.png"), lower = Picture("rose.png");
    EXPECT_EQ(samples.AddSample(upper), 1);
    EXPECT_EQ(samples.AddSample(upper), 0);
    EXPECT_EQ(samples.AddSample(lower), 1);
    EXPECT_EQ(samples.count, 2);
    EXPECT_TRUE(samples.IsPresent(upper));
    EXPECT_FALSE(samples.IsPresent(dir.File("ROSE.png")));
    EXPECT_EQ(samples.selected, 1);
}

// An opened project brings its own pictures, under the paths of the machine
// it was made on: its run uses them, and the samples a later start restores
// stay the user's. Once the user changes them, only files that are there
// are remembered.
TEST_F(SampleCollectionTest, AnOpenedProjectsSamplesAreNotRememberedAsTheUsers) {
    mtxRegistry settings;
    settings.Open("Daubry", dir.File("settings.ini"));
    auto restored = [&] {
        SampleCollection later;
        later.Bind(Editor(), &messages);
        later.LoadPaths(settings);
        std::vector<std::string> paths;
        for (int32_t i = 0; i < later.count; ++i) paths.push_back(later.samples[i].path);
        return paths;
    };
    const std::string mine = Picture("mine.png"), added = Picture("added.png");
    ASSERT_EQ(samples.AddSample(mine), 1);
    samples.SavePaths(settings);

    mtxProject project;
    auto sample = std::make_unique<mtxProject::Sample>();
    sample->path = "/machine/elsewhere/rose.png";
    sample->picture.Create(8, 8, 0xFF993366u);
    project.samples.push_back(std::move(sample));
    project.options = mtxStampLog::Options::Of(samples);
    std::string error;
    ASSERT_EQ(mtxLoadProjectSamples(project, samples, error), 1) << error;
    ASSERT_EQ(samples.count, 1);
    EXPECT_EQ(samples.samples[0].path, "/machine/elsewhere/rose.png");
    samples.SavePaths(settings);
    EXPECT_EQ(restored(), std::vector<std::string>{mine});

    ASSERT_EQ(samples.AddSample(added), 1);
    samples.SavePaths(settings);
    EXPECT_EQ(restored(), std::vector<std::string>{added}) << "the missing file is left out";
    samples.RemoveSample(1);
    samples.SavePaths(settings);
    EXPECT_EQ(restored(), std::vector<std::string>{added}) << "nothing there: the choice stays";
}

TEST_F(SampleCollectionTest, HoldsAtMost128Samples) {
    std::string path = Picture("one.png", 4, 4);
    std::string bytes = testing_support::ReadFile(path);
    for (int i = 0; i < 129; ++i)
        testing_support::WriteFile(dir.File("s" + std::to_string(i) + ".png"), bytes);
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ(samples.AddSample(dir.File("s" + std::to_string(i) + ".png")), 1);
    samples.changed = 0;
    EXPECT_EQ(samples.AddSample(dir.File("s128.png")), 0);
    EXPECT_EQ(samples.count, 128);
    EXPECT_EQ(samples.changed, 0u);
    EXPECT_EQ(samples.selected, 127);
}

TEST_F(SampleCollectionTest, RemovingKeepsTheSelectionInRange) {
    for (int i = 0; i < 4; ++i) samples.AddSample(Picture("s" + std::to_string(i) + ".png"));
    ASSERT_EQ(samples.count, 4);
    IDirect3DTexture9* third = samples.samples[2].texture;

    samples.selected = 2;
    samples.changed = 0;
    samples.RemoveSample(0);  // below the selection: the same sample stays selected
    EXPECT_EQ(samples.changed, 1u);
    EXPECT_EQ(samples.count, 3);
    EXPECT_EQ(samples.selected, 1);
    EXPECT_EQ(samples.samples[1].texture, third);
    EXPECT_EQ(samples.samples[3].texture, nullptr);
    EXPECT_EQ(samples.samples[1].path, dir.File("s2.png"));

    samples.selected = 2;
    samples.RemoveSample(2);  // the selected last one: its predecessor
    EXPECT_EQ(samples.selected, 1);
    samples.RemoveSample(5);
    samples.RemoveSample(-1);
    EXPECT_EQ(samples.count, 2);
    samples.selected = 0;
    samples.RemoveSample(1);  // above the selection
    EXPECT_EQ(samples.selected, 0);
    samples.RemoveSample(0);  // the only one
    EXPECT_EQ(samples.count, 0);
    EXPECT_EQ(samples.selected, 0);

    for (int i = 0; i < 3; ++i) samples.AddSample(dir.File("s" + std::to_string(i) + ".png"));
    samples.changed = 0;
    samples.ClearSamples();
    EXPECT_EQ(samples.count, 0);
    EXPECT_EQ(samples.selected, 0);
    EXPECT_EQ(samples.changed, 0u);
    EXPECT_EQ(samples.samples[0].texture, nullptr);
}

TEST_F(SampleCollectionTest, MatchesTheNearestKeyAndTheLowerIndexOnTies) {
    int32_t index = -7;
    EXPECT_EQ(samples.MatchSample(0.5f, 0.5f, 0.5f, index), nullptr);
    EXPECT_EQ(index, -7);
    samples.count = 3;
    // Exactly representable keys, so the distances tie exactly.
    float keys[3][3] = {{0.0f, 0.0f, 0.0f}, {0.25f, 0.5f, 0.5f}, {0.75f, 0.5f, 0.5f}};
    for (int i = 0; i < 3; ++i) std::copy(keys[i], keys[i] + 3, samples.samples[i].key);
    EXPECT_EQ(samples.MatchSample(0.5f, 0.5f, 0.5f, index), &samples.samples[1]);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(samples.MatchSample(0.625f, 0.5f, 0.5f, index), &samples.samples[2]);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(samples.MatchSample(0.0625f, 0.0f, 0.125f, index), &samples.samples[0]);
    EXPECT_EQ(index, 0);
    samples.count = 0;
}

TEST_F(SampleCollectionTest, CollectionsSaveAndLoadInBothForms) {
    std::string a = Picture("Rose.png"), b = Picture("Leaf.png");
    std::filesystem::create_directory(dir.File("other"));
    std::string c = Picture("other/Stone.png");
    samples.AddSample(a);
    samples.AddSample(b);
    EXPECT_EQ(samples.SaveCollection(dir.File("Garden")), 1);
    ASSERT_TRUE(std::filesystem::exists(dir.File("Garden.msc")));
    samples.AddSample(c);
    EXPECT_EQ(samples.SaveCollection(dir.File("Mixed.MSC")), 1);
    ASSERT_TRUE(std::filesystem::exists(dir.File("Mixed.MSC")));

    // The bare form moves with its folder.
    std::filesystem::create_directory(dir.File("moved"));
    for (const char* f : {"Garden.msc", "Rose.png", "Leaf.png"})
        std::filesystem::copy(dir.File(f), dir.File(std::string("moved/") + f));
    SampleCollection loaded;
    loaded.Bind(Editor(), &messages);
    EXPECT_EQ(loaded.LoadCollection(dir.File("moved/Garden.msc")), 1);
    ASSERT_EQ(loaded.count, 2);
    EXPECT_EQ(loaded.samples[0].path, dir.File("moved/Rose.png"));
    EXPECT_EQ(loaded.samples[1].path, dir.File("moved/Leaf.png"));

    loaded.ClearSamples();
    EXPECT_EQ(loaded.LoadCollection(dir.File("Mixed.MSC")), 1);
    ASSERT_EQ(loaded.count, 3);
    EXPECT_EQ(loaded.samples[2].path, c);
}

TEST_F(SampleCollectionTest, BadCollectionsAreToldAndAddNothingUnsafe) {
    EXPECT_EQ(samples.SaveCollection(dir.File("empty.msc")), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("empty.msc")));

    EXPECT_EQ(samples.LoadCollection(dir.File("none.msc")), 0);
    EXPECT_TRUE(Told("none.msc"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.msc")));

    testing_support::WriteFile(dir.File("junk.msc"), std::string(40, 'j'));
    messages.texts.clear();
    EXPECT_EQ(samples.LoadCollection(dir.File("junk.msc")), 0);
    EXPECT_TRUE(Told("junk.msc"));

    // Entries that climb out of the folder are skipped; the others load.
    std::filesystem::create_directory(dir.File("set"));
    Picture("outside.png");
    Picture("set/inside.png");
    SampleCollection writer;
    mtxFileLawnCol file;
    (void)writer;
    file.AddEntry("../outside.png");
    file.AddEntry("inside.png");
    mtxFileStream<65536> out;
    ASSERT_TRUE(out.Open(dir.File("set/climb.msc"), mtxFile::kWrite | mtxFile::kCreate));
    ASSERT_EQ(file.WriteCollection(out), 1);
    out.Flush();
    messages.texts.clear();
    EXPECT_EQ(samples.LoadCollection(dir.File("set/climb.msc")), 1);
    EXPECT_TRUE(Told("../outside.png"));
    ASSERT_EQ(samples.count, 1);
    EXPECT_EQ(samples.samples[0].path, dir.File("set/inside.png"));
}

}  // namespace
