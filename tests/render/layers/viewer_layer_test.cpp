// Stamps drawn into a layer's tiles, checked against the CPU reference of one
// stamp, and their way back into the image in memory.
#include "render/layers/viewer_layer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "render/layers/viewer_tile.h"
#include "tests/render/layers/view_test_support.h"
#include "tests/render/render_test_support.h"

namespace {

using namespace view_test;

// A picture on a stack, shown by one layer of the shared editor.
struct Picture {
    int width, height;
    std::vector<uint32_t> start;
    mtxImageStack stack;
    mtxIEViewerLayer layer{&Editor()};

    Picture(int w, int h, uint32_t seed) : width(w), height(h) {
        start = render_test::RandomPixels(w * h, seed);
        for (uint32_t& p : start) p |= 0x40000000u;  // some alpha below everything
        stack.AddLayer(0, MakeImage(w, h, start));
        layer.SetSource(stack.GetLayer(0));
        Editor().layers.push_back(&layer);
    }
    ~Picture() { std::erase(Editor().layers, &layer); }
    std::vector<uint32_t> Committed() {
        EXPECT_EQ(layer.CommitTiles(), 1);
        return PixelsOf(*stack.GetLayer(0)->source);
    }
};

// Describes the first pixel that breaks the reference: inside the stamp more
// than tolerance off in a channel, outside it changed at all.
std::string CheckAgainstReference(const std::vector<uint32_t>& got,
                                  const std::vector<uint32_t>& want,
                                  const std::vector<uint8_t>& inside,
                                  const std::vector<uint8_t>& outside, int width, int tolerance) {
    for (size_t i = 0; i < got.size(); ++i) {
        if (!inside[i] && !outside[i]) continue;
        int limit = inside[i] ? tolerance : 0;
        for (int c = 0; c < 4; ++c) {
            int a = int((got[i] >> (8 * c)) & 0xFF), b = int((want[i] >> (8 * c)) & 0xFF);
            if (std::abs(a - b) > limit)
                return "pixel (" + std::to_string(i % size_t(width)) + ", " +
                       std::to_string(i / size_t(width)) + ") channel " + std::to_string(c) +
                       ": got " + std::to_string(a) + ", want " + std::to_string(b) +
                       (inside[i] ? " (inside)" : " (outside)");
        }
    }
    return "";
}

TEST(ViewerLayer, StampMatchesTheCpuReference) {
    Picture picture(120, 100, 1);
    Sample sample(16, 2);
    std::vector<uint8_t> inside, outside;
    for (float angle : {0.0f, 0.6f, 2.2f}) {
        mtxIEViewerQuad quad = Stamp(57.3f, 48.6f, 41.0f, angle);
        std::vector<uint32_t> before = picture.Committed();
        ASSERT_EQ(DrawStamp(picture.layer, sample, quad, 0.8f), 1);
        std::vector<uint32_t> want = ReferenceStamp(before, picture.width, picture.height, sample,
                                                    quad, 0.8f, 1.0f, &inside, &outside);
        EXPECT_EQ(
            CheckAgainstReference(picture.Committed(), want, inside, outside, picture.width, 2), "")
            << "angle " << angle;
    }
}

TEST(ViewerLayer, StampAcrossATileCornerHasNoSeam) {
    Picture picture(253, 253, 3);
    Sample sample(32, 4);
    // Centred on the corner shared by four tiles, and along a seam.
    for (auto [x, y] : {std::pair{126.0f, 126.0f}, std::pair{125.5f, 60.0f}}) {
        mtxIEViewerQuad quad = Stamp(x, y, 64.0f, 0.3f);
        std::vector<uint32_t> before = picture.Committed();
        ASSERT_EQ(DrawStamp(picture.layer, sample, quad, 1.0f), 1);
        std::vector<uint8_t> inside, outside;
        std::vector<uint32_t> want = ReferenceStamp(before, picture.width, picture.height, sample,
                                                    quad, 1.0f, 1.0f, &inside, &outside);
        EXPECT_EQ(
            CheckAgainstReference(picture.Committed(), want, inside, outside, picture.width, 2),
            "");
    }
}

// A tile's border holds a copy of its neighbour's pixel from the time of the
// upload. A stamp whose bounding box starts at a tile's origin is drawn into
// that tile alone, so committing the left neighbour's border later would undo it.
TEST(ViewerLayer, CommitKeepsAStampThatStartsAtATileOrigin) {
    Picture picture(252, 60, 5);
    Sample sample(8, 6);
    const size_t at = 30 * 252 + 126;
    ASSERT_EQ(DrawStamp(picture.layer, sample, Stamp(60.0f, 30.0f, 10.0f, 0.0f), 1.0f), 1);
    picture.Committed();
    // Left edge on 126.0: pixel 126 is covered (its centre lies on a left edge).
    ASSERT_EQ(DrawStamp(picture.layer, sample, Stamp(131.0f, 30.0f, 10.0f, 0.0f), 1.0f), 1);
    EXPECT_EQ(picture.layer.GetTile(0, 0)->dirty, 0u);
    std::vector<uint32_t> stamped = picture.Committed();
    ASSERT_NE(stamped[at], picture.start[at]) << "the stamp does not cover pixel 126";
    ASSERT_EQ(DrawStamp(picture.layer, sample, Stamp(60.0f, 30.0f, 10.0f, 0.0f), 1.0f), 1);
    EXPECT_EQ(picture.Committed()[at], stamped[at]) << "the left tile's border overwrote pixel 126";
}

// Random stamps over several tiles; the picture must not depend on when the
// tiles are copied back.
std::vector<uint32_t> RunOfStamps(uint32_t commitSeed, bool commitAtRandom) {
    Picture picture(300, 200, 7);
    Sample sample(32, 8);
    std::mt19937 stamps(9), commits(commitSeed);
    std::uniform_real_distribution<float> x(-20.0f, 320.0f), y(-20.0f, 220.0f), size(4.0f, 70.0f),
        angle(0.0f, 6.3f);
    for (int i = 0; i < 60; ++i) {
        mtxIEViewerQuad quad = Stamp(x(stamps), y(stamps), size(stamps), angle(stamps));
        EXPECT_EQ(DrawStamp(picture.layer, sample, quad, 0.9f), 1);
        if (commitAtRandom && commits() % 3 == 0) {
            EXPECT_EQ(picture.layer.CommitTiles(), 1);
        }
    }
    return picture.Committed();
}

TEST(ViewerLayer, CommittingAtRandomMomentsChangesNoByte) {
    std::vector<uint32_t> once = RunOfStamps(0, false);
    for (uint32_t seed : {11u, 12u, 13u}) EXPECT_TRUE(RunOfStamps(seed, true) == once) << seed;
}

TEST(ViewerLayer, DeviceLossInARunOfStampsKeepsEveryStamp) {
    std::vector<uint32_t> want = RunOfStamps(0, false);
    Picture picture(300, 200, 7);
    Sample sample(32, 8);
    LayerEditor& editor = Editor();
    std::mt19937 stamps(9);
    std::uniform_real_distribution<float> x(-20.0f, 320.0f), y(-20.0f, 220.0f), size(4.0f, 70.0f),
        angle(0.0f, 6.3f);
    for (int i = 0; i < 60; ++i) {
        mtxIEViewerQuad quad = Stamp(x(stamps), y(stamps), size(stamps), angle(stamps));
        if (i == 25) {
            mtxDxTestSwitches().loseAtNextPresent = 1;
            ASSERT_EQ(editor.PresentRect(nullptr), D3DERR_DEVICELOST);
            EXPECT_EQ(picture.layer.DirtyTileCount(), 0);
            EXPECT_EQ(picture.layer.GetTile(0, 0)->color, nullptr);
            // While lost a stamp is refused, not silently dropped.
            EXPECT_EQ(DrawStamp(picture.layer, sample, quad, 0.9f), 0);
            while (!editor.RecoverDevice()) {
            }
            editor.SetFrameStates();
        }
        ASSERT_EQ(DrawStamp(picture.layer, sample, quad, 0.9f), 1);
    }
    EXPECT_TRUE(picture.Committed() == want);
}

// Stamps of two samples over several tiles, drawn one by one or in a batch
// that committing at random moments breaks up.
// Draws them into picture; its tiles are committed at the end.
void DrawMixedStamps(Picture& picture, bool batched, uint32_t commitSeed) {
    Sample samples[2] = {Sample(32, 8), Sample(20, 9)};
    mtxIEPixelShader* shader = Editor().GetPixelShader(5372);
    std::mt19937 stamps(10), commits(commitSeed);
    std::uniform_real_distribution<float> x(-20.0f, 320.0f), y(-20.0f, 220.0f), size(4.0f, 70.0f),
        angle(0.0f, 6.3f);
    if (batched) picture.layer.OpenBatch();
    for (int i = 0; i < 200; ++i) {
        mtxIEViewerQuad quad = Stamp(x(stamps), y(stamps), size(stamps), angle(stamps));
        const Sample& sample = samples[i % 3 == 0];
        const float alpha = i % 2 ? 0.9f : 0.6f;
        if (!batched) {
            EXPECT_EQ(DrawStamp(picture.layer, sample, quad, alpha), 1);
            continue;
        }
        const float c0[4] = {0.5f, 0.5f, 0.5f, 1.0f}, c1[4] = {0.0f, 0.0f, 0.0f, alpha};
        EXPECT_EQ(picture.layer.DrawQuad(quad, shader, sample.texture, c0, c1), 1);
        if (commitSeed && commits() % 50 == 0) {
            EXPECT_EQ(picture.layer.CommitTiles(), 1);
        }
    }
    if (batched) {
        EXPECT_GT(picture.layer.WaitingCount(), 0u);
        EXPECT_EQ(picture.layer.CloseBatch(), 1);
    }
}

std::vector<uint32_t> MixedStamps(bool batched, uint32_t commitSeed) {
    Picture picture(300, 200, 7);
    DrawMixedStamps(picture, batched, commitSeed);
    return picture.Committed();
}

TEST(ViewerLayer, ABatchGivesThePictureOfStampsDrawnOneByOne) {
    std::vector<uint32_t> oneByOne = MixedStamps(false, 0);
    EXPECT_TRUE(MixedStamps(true, 0) == oneByOne);
    EXPECT_TRUE(MixedStamps(true, 5) == oneByOne);
}

// Stamps of eleven samples (more than one draw's stages hold) through the
// recolouring shader with runs of the plain one, axis-aligned and turned,
// with constants of every kind (a factor that is infinite or not a number
// among them), drawn one by one or in a batch, through a clip or not.
std::vector<uint32_t> StampsOfManySamples(bool batched, bool clipped) {
    Picture picture(300, 200, 7);
    std::vector<std::unique_ptr<Sample>> samples;
    for (uint32_t i = 0; i < 11; ++i)
        samples.push_back(std::make_unique<Sample>(8 << (i % 3), 40 + i));
    mtxIEPixelShader* shaders[2] = {Editor().GetPixelShader(5357), Editor().GetPixelShader(5372)};
    std::mt19937 random(12);
    std::uniform_real_distribution<float> x(-20.0f, 320.0f), y(-20.0f, 220.0f), size(4.0f, 70.0f),
        angle(0.0f, 6.3f), unit(0.0f, 1.0f);
    if (clipped) picture.layer.SetClip({{30, 20, 200, 90}, {150, 60, 290, 180}});
    if (batched) picture.layer.OpenBatch();
    for (int i = 0; i < 300; ++i) {
        const float turn = i % 7 == 0 ? 0.0f : angle(random);
        const mtxIEViewerQuad quad = Stamp(x(random), y(random), size(random), turn);
        const Sample& sample = *samples[random() % samples.size()];
        mtxIEPixelShader* shader = shaders[(i / 20) % 5 == 4 ? 1 : 0];
        const float factor = i % 13 == 0   ? INFINITY
                             : i % 17 == 0 ? NAN
                                           : 0.5f + 2.0f * unit(random);
        const float c0[4] = {0.0f, unit(random), unit(random), factor};
        const float c1[4] = {unit(random), unit(random), unit(random),
                             i % 5 == 0 ? 1.0f : unit(random)};
        EXPECT_EQ(picture.layer.DrawQuad(quad, shader, sample.texture, c0, c1), 1);
    }
    if (batched) {
        EXPECT_EQ(picture.layer.CloseBatch(), 1);
    }
    if (clipped) picture.layer.ClearClip();
    return picture.Committed();
}

// A batch draws the stamps of a tile many to a draw, with their constants as
// vertex data and up to eight textures: the bytes are those of one draw each.
TEST(ViewerLayer, ManyStampsToADrawGiveTheBytesOfOneDrawEach) {
    // Without these programs a batch draws one by one, and the test would compare that.
    ASSERT_NE(Editor().GetPixelShader(5373), nullptr);
    ASSERT_NE(Editor().GetPixelShader(5374), nullptr);
    ASSERT_NE(Editor().GetVertexShader(5375), nullptr);
    // A GPU's device has a draw end where the sample changes.
    for (int asOnGpu : {0, 1}) {
        mtxDxTestSwitches().samplersAsOnGpu = asOnGpu;
        for (bool clipped : {false, true}) {
            const std::vector<uint32_t> oneByOne = StampsOfManySamples(false, clipped);
            const std::vector<uint32_t> batched = StampsOfManySamples(true, clipped);
            size_t wrong = 0;
            for (size_t i = 0; i < oneByOne.size(); ++i) wrong += batched[i] != oneByOne[i];
            EXPECT_EQ(wrong, 0u) << (clipped ? "clipped" : "whole") << " as on a GPU " << asOnGpu;
        }
    }
    mtxDxTestSwitches().samplersAsOnGpu = 0;
}

TEST(ViewerLayer, QuadsOutsideOrBrokenDrawNothing) {
    Picture picture(130, 130, 14);
    Sample sample(8, 15);
    EXPECT_EQ(DrawStamp(picture.layer, sample, Stamp(-50.0f, 60.0f, 20.0f, 0.0f), 1.0f), 1);
    EXPECT_EQ(DrawStamp(picture.layer, sample, Stamp(60.0f, 400.0f, 20.0f, 0.0f), 1.0f), 1);
    EXPECT_EQ(picture.layer.DirtyTileCount(), 0);
    mtxIEViewerQuad infinite = Stamp(60.0f, 60.0f, 20.0f, 0.0f);
    infinite.transform[8] = 0.0f;
    infinite.transform[6] = infinite.transform[7] = 0.0f;
    EXPECT_EQ(DrawStamp(picture.layer, sample, infinite, 1.0f), 0);
    EXPECT_EQ(picture.layer.DirtyTileCount(), 0);
    EXPECT_TRUE(picture.Committed() == picture.start);
}

// Tiles touched by a stamp become dirty and only those.
TEST(ViewerLayer, AStampTouchesOnlyTheTilesUnderIt) {
    Picture picture(400, 300, 16);
    Sample sample(8, 17);
    ASSERT_EQ(DrawStamp(picture.layer, sample, Stamp(252.0f, 126.0f, 10.0f, 0.0f), 1.0f), 1);
    EXPECT_EQ(picture.layer.DirtyTileCount(), 4);
    for (auto [c, r] : {std::pair{1, 0}, {2, 0}, {1, 1}, {2, 1}})
        EXPECT_EQ(picture.layer.GetTile(c, r)->dirty, 1u) << c << "," << r;
}

// A layer whose image has no device surface cannot be uploaded: nothing is
// drawn, nothing becomes dirty, and no pool texture is kept.
TEST(ViewerLayer, ATileThatCannotBeUploadedIsNeverCommitted) {
    LayerEditor& editor = Editor();
    mtxImageStack stack;
    auto memory = std::make_unique<mtxImage>(50, 50);
    stack.AddLayer(0, std::move(memory));
    mtxIEViewerLayer layer(&editor);
    layer.SetSource(stack.GetLayer(0));
    Sample sample(8, 19);
    size_t used = editor.pools[mtxImageEditorDevice::kPoolColor].used.size();
    EXPECT_EQ(DrawStamp(layer, sample, Stamp(25.0f, 25.0f, 10.0f, 0.0f), 1.0f), 0);
    EXPECT_EQ(layer.repaintWanted, 1u);
    EXPECT_EQ(layer.DirtyTileCount(), 0);
    EXPECT_EQ(layer.GetTile(0, 0)->color, nullptr);
    EXPECT_EQ(editor.pools[mtxImageEditorDevice::kPoolColor].used.size(), used);
}

// Following the stack again (a layer was added above) keeps what was drawn.
TEST(ViewerLayer, ShowingTheSameLayerAgainKeepsTheStamps) {
    Picture picture(140, 90, 20);
    Sample sample(8, 21);
    ASSERT_EQ(DrawStamp(picture.layer, sample, Stamp(130.0f, 40.0f, 30.0f, 0.4f), 1.0f), 1);
    std::vector<uint32_t> want = [&] {
        Picture copy(140, 90, 20);
        EXPECT_EQ(DrawStamp(copy.layer, sample, Stamp(130.0f, 40.0f, 30.0f, 0.4f), 1.0f), 1);
        return copy.Committed();
    }();
    picture.stack.AddLayer(-1, MakeImage(10, 10, std::vector<uint32_t>(100, 0)));
    picture.layer.SetSource(picture.stack.GetLayer(0));
    EXPECT_EQ(picture.layer.DirtyTileCount(), 2);
    EXPECT_TRUE(picture.Committed() == want);
}

// A clip: rectangles that overlap and cross tile edges become pieces, each
// within one tile, none overlapping another, together covering every pixel
// of the rectangles; stamps drawn through it (one by one and in a batch)
// change exactly the pixels of the pieces, each as drawing them everywhere
// gives it.
TEST(ViewerLayer, AClipDrawsItsPiecesAsTheWholeLayerHasThemAndNothingElse) {
    for (bool batched : {false, true}) {
        const std::vector<uint32_t> everywhere = MixedStamps(batched, 0);
        Picture picture(300, 200, 7);
        std::mt19937 random(batched ? 31 : 32);
        std::vector<mtxRect> rects = {
            {120, 20, 135, 140}, {100, 100, 140, 130}, {-5, 190, 20, 230}};
        for (int k = 0; k < 12; ++k) {
            const int x = int(random() % 300), y = int(random() % 200);
            rects.push_back({x, y, x + 1 + int(random() % 50), y + 1 + int(random() % 50)});
        }
        picture.layer.SetClip(rects);
        ASSERT_TRUE(picture.layer.Clipped());
        const std::vector<mtxRect>& pieces = picture.layer.ClipPieces();
        std::vector<uint8_t> inPiece(size_t(300) * 200, 0);
        for (const mtxRect& p : pieces) {
            ASSERT_FALSE(p.IsEmpty());
            EXPECT_EQ(p.left / 126, (p.right - 1) / 126) << "a piece in two tiles";
            EXPECT_EQ(p.top / 126, (p.bottom - 1) / 126) << "a piece in two tiles";
            for (int y = p.top; y < p.bottom; ++y)
                for (int x = p.left; x < p.right; ++x) {
                    ASSERT_EQ(inPiece[size_t(y) * 300 + size_t(x)], 0) << "pieces overlap";
                    inPiece[size_t(y) * 300 + size_t(x)] = 1;
                }
        }
        for (const mtxRect& r : rects)
            for (int y = std::max(r.top, 0); y < std::min(r.bottom, 200); ++y)
                for (int x = std::max(r.left, 0); x < std::min(r.right, 300); ++x)
                    ASSERT_EQ(inPiece[size_t(y) * 300 + size_t(x)], 1) << "a pixel left out";
        EXPECT_TRUE(picture.layer.ClipReaches({125, 30, 127, 32}));
        EXPECT_FALSE(picture.layer.ClipReaches({-40, -40, -30, -30}));

        DrawMixedStamps(picture, batched, 0);
        picture.layer.ClearClip();
        const std::vector<uint32_t> clipped = picture.Committed();
        size_t wrong = 0;
        for (size_t i = 0; i < clipped.size(); ++i)
            wrong += clipped[i] != (inPiece[i] ? everywhere[i] : picture.start[i]);
        EXPECT_EQ(wrong, 0u) << (batched ? "batched" : "one by one");
    }
}

// The pieces of a clip taken back from the source image, with the rest of
// their tiles as drawn: a tile's drawing outside the pieces stays.
TEST(ViewerLayer, UploadingTheClipReplacesOnlyItsPieces) {
    Picture picture(260, 140, 22);
    Sample sample(32, 23);
    ASSERT_EQ(DrawStamp(picture.layer, sample, Stamp(120.0f, 70.0f, 200.0f, 0.3f), 1.0f), 1);
    const std::vector<uint32_t> stamped = picture.Committed();
    ASSERT_EQ(DrawStamp(picture.layer, sample, Stamp(120.0f, 70.0f, 200.0f, 1.1f), 1.0f), 1);
    // The second stamp not committed: the source image still holds the first.
    picture.layer.SetClip({{100, 40, 160, 90}});
    ASSERT_EQ(picture.layer.UploadClip(), 1);
    picture.layer.ClearClip();
    const std::vector<uint32_t> twice = [&] {
        Picture copy(260, 140, 22);
        EXPECT_EQ(DrawStamp(copy.layer, sample, Stamp(120.0f, 70.0f, 200.0f, 0.3f), 1.0f), 1);
        EXPECT_EQ(DrawStamp(copy.layer, sample, Stamp(120.0f, 70.0f, 200.0f, 1.1f), 1.0f), 1);
        return copy.Committed();
    }();
    const std::vector<uint32_t> got = picture.Committed();
    size_t wrong = 0;
    for (int y = 0; y < 140; ++y)
        for (int x = 0; x < 260; ++x) {
            const size_t i = size_t(y) * 260 + size_t(x);
            const bool piece = x >= 100 && x < 160 && y >= 40 && y < 90;
            wrong += got[i] != (piece ? stamped[i] : twice[i]);
        }
    EXPECT_EQ(wrong, 0u);
}

}  // namespace
