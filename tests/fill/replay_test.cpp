// Pictures drawn again from their stamp logs on the headless device: the same
// bytes as the picture filled live, and a run that goes on from a project
// as if it had never stopped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "fill/fill_session.h"
#include "fill/log_picture.h"
#include "fill/project_file.h"
#include "fill/sample_collection.h"
#include "fill/stamp_brush.h"
#include "fill/stamp_reach.h"
#include "image/io/image_load.h"
#include "image/resample.h"
#include "render/layers/flatten_stack.h"
#include "render/layers/photo_layer.h"
#include "render/layers/viewer_layer.h"
#include "tests/render/render_test_support.h"

namespace {

// Soft discs of three colours, one of them twice as wide as high.
void Disc(int i, mtxImage& disc) {
    const mtxColor colours[] = {0xFFC04020u, 0xFF40A040u, 0xFFE0E0D0u};
    int w = i == 1 ? 40 : 24, h = 20;
    disc.Create(w, h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double r = std::hypot((x - (w - 1) / 2.0) / (w / 2.0), (y - (h - 1) / 2.0) / (h / 2.0));
            double a = std::clamp((1 - r) * 4, 0.0, 1.0);
            disc.At(x, y) = (colours[i] & 0xFFFFFFu) | (uint32_t(a * 255) << 24);
        }
}

const mtxImage& Photo() {
    static mtxImage small;
    if (small.IsEmpty()) {
        mtxImage big;
        EXPECT_EQ(mtxImageLoad(big, std::string(DAUBRY_TEST_DATA "/photos/coffee.png"), 0), 1);
        small.Create(big.width / 5, big.height / 5, 0);
        ScaleImage(big, small);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x) small.At(x, y) &= 0x00FFFFFFu;
    }
    return small;
}

// A photo on a layer of the shared device, the samples and a session.
struct Scene {
    SampleCollection samples;
    mtxPhotoLayer picture;
    mtxIEViewerLayer* layer = nullptr;
    std::unique_ptr<mtxFillSession> session;

    explicit Scene(const mtxImage& photo, int background = 0) {
        mtxImageEditorDevice& editor = render_test::Editor();
        samples.Bind(editor);
        samples.sizeMin = 4, samples.sizeMax = 24, samples.overlap = 2;
        samples.background = background, samples.backgroundColor = 0xFF203040u;
        // The runs and the going on below follow the Classic engine's generator.
        samples.fillMode = SampleCollection::kModeClassic;
        EXPECT_EQ(picture.Open(editor, photo), 1);
        layer = picture.layer.get();
        session = std::make_unique<mtxFillSession>(editor, samples, *layer);
    }
    void AddDiscs() {
        for (int i = 0; i < 3; ++i) {
            mtxImage disc;
            Disc(i, disc);
            ASSERT_EQ(samples.AddSamplePicture(disc, "disc" + std::to_string(i) + ".png"), 1);
        }
    }
    void Prepare(uint64_t seed) {
        session->Seed(seed);
        ASSERT_EQ(session->BeginPreparation(), 1);
        while (!session->PrepareSlice()) {
        }
        ASSERT_EQ(session->FinishPreparation(), 1);
    }
    void Place(uint64_t stamps) {
        uint64_t goal = session->stamps + stamps;
        for (int guard = 0; session->stamps < goal && guard < 1000000; ++guard) session->Step(1);
        ASSERT_EQ(session->stamps, goal);
    }
    void Picture(mtxImage& out) {
        ASSERT_EQ(layer->CommitTiles(), 1);
        ASSERT_EQ(FlattenStack(picture.stack, out), 1);
    }
};

bool SameBytes(mtxImage& a, mtxImage& b) {
    if (a.width != b.width || a.height != b.height) return false;
    for (int y = 0; y < a.height; ++y)
        if (std::memcmp(a.Row(y), b.Row(y), size_t(a.width) * 4) != 0) return false;
    return true;
}

TEST(Replay, DrawsThePictureFilledLiveByteForByte) {
    for (int background : {0, 2}) {
        Scene live(Photo(), background);
        live.AddDiscs();
        live.Prepare(5);
        live.Place(300);
        live.samples.rotate = 0;  // a second run with other options
        live.Place(200);
        mtxImage filled;
        live.Picture(filled);
        const mtxStampLog& log = live.session->log;
        ASSERT_EQ(log.Count(), 500u);
        ASSERT_EQ(log.RunCount(), 2u);
        EXPECT_EQ(log.WholeCount(), 0u) << "the engine's stamps fit the compact form";

        Scene again(Photo(), background);
        again.AddDiscs();
        ASSERT_EQ(again.session->SaveSourceCopy(), 1);
        ASSERT_EQ(again.session->Replay(log), 1);
        mtxImage drawn;
        again.Picture(drawn);
        EXPECT_TRUE(SameBytes(drawn, filled)) << "background " << background;
        EXPECT_EQ(again.session->random.state, live.session->random.state);
    }
}

// A Fine run to its end, drawn again from its log.
TEST(Replay, DrawsAFineRunByteForByte) {
    Scene live(Photo(), 2);
    live.samples.fillMode = SampleCollection::kModeFine;
    live.AddDiscs();
    live.Prepare(5);
    mtxPlaceResult result = mtxPlaceResult::kPlaced;
    for (int guard = 0; result != mtxPlaceResult::kFinished && guard < 1000000; ++guard)
        result = live.session->Step(1);
    ASSERT_EQ(result, mtxPlaceResult::kFinished);
    mtxImage filled;
    live.Picture(filled);
    const mtxStampLog& log = live.session->log;
    ASSERT_EQ(log.Count(), live.session->stamps);
    ASSERT_GT(log.Count(), 100u);

    Scene again(Photo(), 2);
    again.AddDiscs();
    ASSERT_EQ(again.session->SaveSourceCopy(), 1);
    ASSERT_EQ(again.session->Replay(log), 1);
    mtxImage drawn;
    again.Picture(drawn);
    EXPECT_TRUE(SameBytes(drawn, filled));
}

// An analysis made before the device (as daubry fill makes it) and adopted
// gives the picture the session's own preparation gives, in both modes.
TEST(Replay, AnAdoptedAnalysisFillsAsTheSessionsOwn) {
    for (uint32_t mode : {SampleCollection::kModeClassic, SampleCollection::kModeFine}) {
        Scene own(Photo(), 0), adopted(Photo(), 0);
        mtxImage pictures[2];
        for (Scene* scene : {&own, &adopted}) {
            scene->samples.fillMode = mode;
            scene->AddDiscs();
        }
        own.Prepare(9);
        mtxImage photo;
        photo.Assign(Photo());
        mcvSegmentGraph analysis, wrong;
        ASSERT_EQ(analysis.StartSegmentation(photo), 1);
        while (!analysis.Advance()) {
        }
        analysis.KeepRegionIndexOnly();
        mtxImage other;
        other.Create(photo.width - 1, photo.height, 0xFF808080u);
        ASSERT_EQ(wrong.StartSegmentation(other), 1);
        while (!wrong.Advance()) {
        }
        EXPECT_EQ(adopted.session->AdoptAnalysis(wrong), 0);
        adopted.session->Seed(9);
        ASSERT_EQ(adopted.session->AdoptAnalysis(analysis), 1);
        EXPECT_EQ(analysis.width, 0u) << "the analysis moved";
        ASSERT_EQ(adopted.session->FinishPreparation(), 1);
        own.Place(100);
        adopted.Place(100);
        own.Picture(pictures[0]);
        adopted.Picture(pictures[1]);
        EXPECT_TRUE(SameBytes(pictures[0], pictures[1])) << "mode " << mode;
    }
}

// Stamps by hand between engine runs, then erasures (each drawing only the
// tiles it touched again): the picture is the one the log draws whole.
TEST(Replay, StampsByHandAndErasuresAreThePictureTheLogDraws) {
    // Large enough for erasures to leave most tiles as they are.
    mtxImage large;
    ASSERT_EQ(mtxImageLoad(large, std::string(DAUBRY_TEST_DATA "/photos/coffee.png"), 0), 1);
    for (int background : {0, 2}) {
        Scene live(large, background);
        live.AddDiscs();
        live.Prepare(3);
        live.Place(300);
        mtxFillSession& session = *live.session;
        const mtxImage& photo = session.sourceCopy;
        std::mt19937 random(uint32_t(background) + 1);
        mtxStampBrush brush;
        brush.size = 20;
        uint64_t byHand = 0;
        for (int k = 0; k < 40; ++k) {
            brush.sample = k % 4 == 0 ? 1 : mtxStampBrush::kAnySample;
            mtxStamp stamp;
            if (!brush.Compose(int(random() % uint32_t(photo.width)),
                               int(random() % uint32_t(photo.height)), session.log.Count(),
                               live.samples, session.Shapes(), photo, session.segmentation.distance,
                               stamp))
                continue;
            ASSERT_EQ(session.PlaceHandStamp(stamp), 1);
            EXPECT_EQ(session.log.ModeOf(session.log.Count() - 1), mtxStampLog::kHandMode);
            EXPECT_LE(stamp.size, brush.size);
            if (brush.sample == 1) {
                EXPECT_EQ(stamp.sample, 1);
            }
            ++byHand;
        }
        ASSERT_GT(byHand, 20u);
        live.Place(50);
        EXPECT_NE(session.log.ModeOf(session.log.Count() - 1), mtxStampLog::kHandMode);

        mtxImage before, after;
        live.Picture(before);
        int64_t erased = 0;
        for (int k = 0; k < 9; ++k) {
            // Where a stamp lies, drawn by hand or by the engine.
            const mtxStamp near = session.log.At(random() % session.log.Count());
            const float x = float(near.x) + 0.5f, y = float(near.y) + 0.5f;
            const int64_t top = session.StampAt(x, y);
            std::vector<uint64_t> list =
                k % 3 ? session.StampsNear(x, y, 12)
                      : std::vector<uint64_t>{uint64_t(std::max<int64_t>(top, 0))};
            if (k % 3 == 0 && top < 0) continue;
            const int64_t n = session.EraseStamps(list);
            ASSERT_GE(n, 0);
            erased += n;
            if (k % 3 == 0) {
                EXPECT_NE(session.StampAt(x, y), top) << "the top one went";
            }
        }
        ASSERT_GT(erased, 6);
        EXPECT_EQ(session.log.ErasedCount(), size_t(erased));
        live.Picture(after);
        EXPECT_FALSE(SameBytes(before, after));

        Scene again(large, background);
        again.AddDiscs();
        ASSERT_EQ(again.session->SaveSourceCopy(), 1);
        ASSERT_EQ(again.session->Replay(session.log), 1);
        mtxImage drawn;
        again.Picture(drawn);
        EXPECT_TRUE(SameBytes(drawn, after)) << "background " << background;
    }
}

// An erased stamp's pixels are drawn again only within the box of those it
// may have marked: every pixel a stamp changes on the device lies in it, and
// it is the box a search of every pixel of the quad finds.
TEST(Replay, AStampChangesOnlyPixelsInTheBoxItMayMark) {
    Scene live(Photo(), 2);
    live.samples.sizeMax = 60;
    live.AddDiscs();
    live.Prepare(11);
    live.Place(100);
    mtxFillSession& session = *live.session;
    mtxImage shots[2];
    live.Picture(shots[0]);
    int64_t boxes = 0, bounds = 0;
    for (int k = 0; k < 40; ++k) {
        const mtxImage& before = shots[k % 2];
        mtxImage& after = shots[1 - k % 2];
        live.Place(1);
        const uint64_t i = session.log.Count() - 1;
        const mtxStamp stamp = session.log.At(i);
        const mtxSampleShapes::Shape* shape = session.Shapes().Get(live.samples, stamp.sample);
        ASSERT_NE(shape, nullptr);
        mtxRect box;
        ASSERT_TRUE(mtxStampMarkedBox(stamp, *shape, box));
        live.Picture(after);
        size_t outside = 0, changed = 0;
        for (int y = 0; y < after.height; ++y)
            for (int x = 0; x < after.width; ++x) {
                if (after.Row(y)[x] == before.Row(y)[x]) continue;
                ++changed;
                outside += !(x >= box.left && x < box.right && y >= box.top && y < box.bottom);
            }
        EXPECT_GT(changed, 0u) << k;
        EXPECT_EQ(outside, 0u) << k;

        mtxStampReach reach;
        ASSERT_TRUE(reach.Set(stamp, *shape, mtxStampReach::kEdgeSlack + 0.5,
                              mtxStampReach::kMarkReach + 1));
        mtxRect searched = {1 << 30, 1 << 30, -(1 << 30), -(1 << 30)};
        for (int y = int(std::floor(reach.top)); y <= int(std::ceil(reach.bottom)); ++y)
            for (int x = int(std::floor(reach.left)); x <= int(std::ceil(reach.right)); ++x)
                if (reach.Marks(x, y))
                    searched = {std::min(searched.left, x), std::min(searched.top, y),
                                std::max(searched.right, x + 1), std::max(searched.bottom, y + 1)};
        EXPECT_TRUE(box.left == searched.left && box.top == searched.top &&
                    box.right == searched.right && box.bottom == searched.bottom)
            << k;
        const mtxRect whole = session.log.Bounds(i);
        boxes += int64_t(box.right - box.left) * (box.bottom - box.top);
        bounds += int64_t(whole.right - whole.left) * (whole.bottom - whole.top);
    }
    // Discs leave their quads' corners untouched, however turned.
    EXPECT_LT(boxes, bounds * 9 / 10);
}

// Erasures scattered over the picture (a few stamps or many, in one call),
// along strokes and of the stamp under a point, with Undo and Redo between
// them (the log's end moved, the picture put back as the history keeps it):
// after each, the picture is the one the log draws whole.
TEST(Replay, ScatteredErasuresUndoAndRedoAreThePictureTheLogDraws) {
    mtxImage large;
    ASSERT_EQ(mtxImageLoad(large, std::string(DAUBRY_TEST_DATA "/photos/coffee.png"), 0), 1);
    for (int background : {0, 2}) {
        Scene live(large, background);
        live.samples.sizeMax = 60;  // stamps across tile edges too
        live.AddDiscs();
        live.Prepare(7);
        live.Place(1500);
        mtxFillSession& session = *live.session;
        Scene again(large, background);
        again.AddDiscs();
        ASSERT_EQ(again.session->SaveSourceCopy(), 1);

        struct Step {
            mtxStampLog::Mark mark;
            std::shared_ptr<mtxImage> picture = std::make_shared<mtxImage>();
        };
        std::vector<Step> steps(1), undone;
        steps[0].mark = session.log.Here();
        live.Picture(*steps[0].picture);
        auto putBack = [&](const Step& step) {
            ASSERT_TRUE(session.log.MoveTo(step.mark));
            mtxImage& source = *live.layer->source;
            ASSERT_EQ(source.Lock(), 1);
            for (int y = 0; y < source.height; ++y)
                std::copy(step.picture->Row(y), step.picture->Row(y) + source.width, source.Row(y));
            source.Unlock();
            for (int row = 0; row < live.layer->rows; ++row)
                for (int column = 0; column < live.layer->columns; ++column)
                    live.layer->stackLayer->viewerData.push_back({column, row, 0});
            ASSERT_EQ(live.layer->UploadChanges(), 1);
        };
        std::mt19937 random(uint32_t(background) + 40);
        int erasures = 0, walks = 0;
        for (int k = 0; k < 16; ++k) {
            const uint32_t what = k < 3 ? uint32_t(k) : random() % 5;
            const uint64_t count = session.log.Count();
            if (what < 3) {
                std::vector<uint64_t> list;
                if (what == 0) {  // anywhere, up to a hundred at once
                    const size_t n = 1 + random() % 100;
                    while (list.size() < n) list.push_back(random() % count);
                } else if (what == 1) {  // along a stroke
                    const mtxStamp near = session.log.At(random() % count);
                    list = session.StampsNear(float(near.x), float(near.y), 30);
                } else {  // the one under a point
                    const mtxStamp near = session.log.At(random() % count);
                    const int64_t top = session.StampAt(float(near.x) + 0.5f, float(near.y) + 0.5f);
                    if (top >= 0) list.push_back(uint64_t(top));
                }
                const int64_t n = session.EraseStamps(list);
                ASSERT_GE(n, 0);
                erasures += n > 0;
                undone.clear();
                steps.push_back({session.log.Here()});
                live.Picture(*steps.back().picture);
            } else if (what == 3 && steps.size() > 1) {
                undone.push_back(std::move(steps.back()));
                steps.pop_back();
                putBack(steps.back());
                ++walks;
            } else if (what == 4 && !undone.empty()) {
                steps.push_back(std::move(undone.back()));
                undone.pop_back();
                putBack(steps.back());
                ++walks;
            }
            ASSERT_EQ(again.session->Replay(session.log), 1);
            mtxImage drawn, shown;
            again.Picture(drawn);
            live.Picture(shown);
            ASSERT_TRUE(SameBytes(drawn, shown))
                << "background " << background << ", step " << k << " (" << what << ")";
        }
        EXPECT_GT(erasures, 5);
        EXPECT_GT(walks, 1);
    }
}

// A finished Fine run with stamps erased: they no longer count, so going on
// covers what they left; and a log taken between erasures and drawn again
// goes on with the stamps the live run placed, the erasures counted from
// where they were made.
TEST(Replay, AFineRunCoversWhatErasedStampsLeftAndGoesOnFromItsLog) {
    Scene live(Photo(), 2);
    live.samples.fillMode = SampleCollection::kModeFine;
    live.AddDiscs();
    live.Prepare(5);
    mtxFillSession& session = *live.session;
    auto toTheEnd = [&] {
        mtxPlaceResult result = mtxPlaceResult::kPlaced;
        for (int guard = 0; result != mtxPlaceResult::kFinished && guard < 1000000; ++guard)
            result = session.Step(1);
        ASSERT_EQ(result, mtxPlaceResult::kFinished);
    };
    toTheEnd();
    const double full = session.Coverage();
    ASSERT_GT(full, 0.9);
    auto eraseEvery = [&](uint64_t nth, uint64_t from) {
        std::vector<uint64_t> list;
        for (uint64_t i = from; i < session.log.Count(); i += nth) list.push_back(i);
        ASSERT_GT(session.EraseStamps(list), 0);
        session.RecountCoverage();  // as the window does after an eraser stroke
    };
    eraseEvery(3, 0);
    const double erased = session.Coverage();
    EXPECT_LT(erased, full - 0.05);
    const uint64_t before = session.log.Count();
    toTheEnd();
    EXPECT_GT(session.log.Count(), before) << "the erased stamps' places are covered again";
    EXPECT_GE(session.Coverage(), full - 0.01);

    // Erased again, partly covered, then the log taken as it stands.
    eraseEvery(4, 1);
    live.Place(30);
    mtxStampLog saved = session.log;
    live.Place(40);
    mtxImage uninterrupted;
    live.Picture(uninterrupted);

    Scene reopened(Photo(), 2);
    reopened.samples.fillMode = SampleCollection::kModeFine;
    reopened.AddDiscs();
    ASSERT_EQ(reopened.session->Reopen(saved), 1);
    ASSERT_EQ(reopened.session->BeginPreparation(), 1);
    while (!reopened.session->PrepareSlice()) {
    }
    ASSERT_EQ(reopened.session->FinishPreparation(), 1);
    reopened.Place(40);
    mtxImage drawn;
    reopened.Picture(drawn);
    EXPECT_EQ(reopened.session->log.Serialize(), session.log.Serialize());
    EXPECT_TRUE(SameBytes(drawn, uninterrupted));
}

TEST(Replay, AClearedPictureIsDrawnFromItsNewBackground) {
    Scene live(Photo());
    live.AddDiscs();
    live.Prepare(8);
    live.Place(100);
    live.samples.backgroundColor = 0xFFFFFFFFu;
    ASSERT_EQ(live.session->PrepareBackground(), 1);
    live.Place(50);
    mtxImage filled;
    live.Picture(filled);

    Scene again(Photo());
    again.AddDiscs();
    ASSERT_EQ(again.session->SaveSourceCopy(), 1);
    ASSERT_EQ(again.session->Replay(live.session->log), 1);
    mtxImage drawn;
    again.Picture(drawn);
    EXPECT_TRUE(SameBytes(drawn, filled));
    EXPECT_EQ(again.session->stamps, 50u);
}

TEST(Replay, SavedOpenedAndGoneOnEqualsOneUninterruptedRun) {
    Scene whole(Photo());
    whole.AddDiscs();
    whole.Prepare(21);
    whole.Place(400);
    mtxImage uninterrupted;
    whole.Picture(uninterrupted);

    std::vector<uint8_t> bytes;
    {
        Scene first(Photo());
        first.AddDiscs();
        first.Prepare(21);
        first.Place(250);
        mtxProject project;
        project.photo.Create(first.session->sourceCopy.width, first.session->sourceCopy.height, 0);
        project.photo.Blit(first.session->sourceCopy, mtxRect{}, 0, 0);
        for (int i = 0; i < 3; ++i) {
            auto sample = std::make_unique<mtxProject::Sample>();
            sample->path = first.samples.samples[i].path;
            Disc(i, sample->picture);
            project.samples.push_back(std::move(sample));
        }
        project.options = mtxStampLog::Options::Of(first.samples);
        project.log = first.session->log;
        std::string error;
        ASSERT_EQ(mtxProjectFile::Write(project, bytes, error), 1) << error;
    }

    mtxProject opened;
    std::string error;
    ASSERT_EQ(mtxProjectFile::Read(bytes.data(), bytes.size(), opened, error), 1) << error;
    Scene goOn(opened.photo);
    opened.options.ApplyTo(goOn.samples);
    for (auto& sample : opened.samples)
        ASSERT_EQ(goOn.samples.AddSamplePicture(sample->picture, sample->path), 1);
    goOn.Prepare(999);  // the log's generator state replaces this seed
    ASSERT_EQ(goOn.session->Replay(opened.log), 1);
    goOn.Place(150);
    mtxImage continued;
    goOn.Picture(continued);
    EXPECT_TRUE(SameBytes(continued, uninterrupted));
    EXPECT_EQ(goOn.session->log.Serialize(), whole.session->log.Serialize());
}

}  // namespace

namespace {

// The window's way back into a run: the log drawn over the photo before the
// photo is analysed, then the run goes on.
TEST(Replay, ReopenedBeforePreparingGoesOnAsOneUninterruptedRun) {
    Scene whole(Photo());
    whole.AddDiscs();
    whole.Prepare(33);
    whole.Place(260);
    mtxImage atSave;
    whole.Picture(atSave);
    mtxStampLog saved = whole.session->log;
    whole.Place(140);
    mtxImage uninterrupted;
    whole.Picture(uninterrupted);

    Scene reopened(Photo());
    reopened.AddDiscs();
    ASSERT_EQ(reopened.session->Reopen(saved), 1);
    mtxImage drawn;
    reopened.Picture(drawn);
    EXPECT_TRUE(SameBytes(drawn, atSave)) << "the picture shows before any preparation";
    // Analyses the photo; the generator keeps the log's state.
    ASSERT_EQ(reopened.session->BeginPreparation(), 1);
    while (!reopened.session->PrepareSlice()) {
    }
    ASSERT_EQ(reopened.session->FinishPreparation(), 1);
    reopened.Picture(drawn);
    EXPECT_TRUE(SameBytes(drawn, atSave)) << "preparing keeps the picture drawn";
    reopened.Place(140);
    reopened.Picture(drawn);
    EXPECT_TRUE(SameBytes(drawn, uninterrupted));
    EXPECT_EQ(reopened.session->log.Serialize(), whole.session->log.Serialize());
}

}  // namespace

namespace {

// A picture too large to hold is drawn band by band, each band in pieces side
// by side: the bands, of one tile row or two, in pieces of two tiles or whole,
// put together are the picture drawn whole, byte for byte.
TEST(Replay, BandsAreThePictureDrawnWhole) {
    Scene live(Photo(), 2);
    live.AddDiscs();
    live.Prepare(12);
    live.Place(300);
    const mtxStampLog& log = live.session->log;

    Scene again(Photo(), 2);
    again.AddDiscs();
    mtxImage photo;
    photo.Assign(Photo());
    mtxImageEditorDevice& editor = render_test::Editor();
    const int width = photo.width * 4, height = photo.height * 4;
    mtxImage whole;
    std::string error;
    ASSERT_EQ(mtxDrawLogPicture(editor, again.samples, photo, log, width, height, whole, error), 1)
        << error;
    const int step = mtxIEViewerLayer::kTileStep;
    for (auto [rows, columns] : {std::pair{step, 2 * step}, std::pair{2 * step, 0}}) {
        int next = 0;
        auto band = [&](mtxImage& picture, int top) {
            EXPECT_EQ(top, next);
            EXPECT_EQ(picture.width, width);
            EXPECT_EQ(picture.height, std::min(rows, height - top));
            for (int y = 0; y < picture.height; ++y)
                if (std::memcmp(picture.Row(y), whole.Row(top + y), size_t(width) * 4) != 0) {
                    ADD_FAILURE() << "row " << top + y << " differs in bands of " << rows;
                    return 0;
                }
            next = top + picture.height;
            return 1;
        };
        ASSERT_EQ(
            mtxDrawLogBands(editor, again.samples, photo, log, width, height, rows, band, error), 1)
            << error;
        EXPECT_EQ(next, height);
    }
    EXPECT_EQ(mtxDrawLogBands(
                  editor, again.samples, photo, log, width, height, 100,
                  [](mtxImage&, int) { return 1; }, error),
              0)
        << "bands that are not whole tile rows";
}

}  // namespace

// Steps placed apart from drawing may run on a thread without the device:
// every sample's shape, which comes from its texture, is read before.
TEST(Replay, PlacingApartFromDrawingKnowsEveryShapeFirst) {
    Scene scene(Photo());
    scene.AddDiscs();
    scene.Prepare(5);
    mtxFillSession& session = *scene.session;
    session.PlaceOnly(true);
    for (int32_t i = 0; i < scene.samples.count; ++i)
        EXPECT_NE(session.Shapes().Known(scene.samples, i), nullptr) << i;
    std::vector<mtxStamp> placed;
    std::thread placing([&] {
        for (int i = 0; i < 200; ++i) {
            mtxStamp stamp;
            if (session.Step(1, &stamp) == mtxPlaceResult::kPlaced) placed.push_back(stamp);
        }
    });
    placing.join();
    session.PlaceOnly(false);
    ASSERT_FALSE(placed.empty());
    ASSERT_EQ(session.DrawPlaced(placed), 1);
    mtxImage apart, whole;
    scene.Picture(apart);
    // The same stamps drawn as they are placed, on this thread.
    Scene drawing(Photo());
    drawing.AddDiscs();
    drawing.Prepare(5);
    for (int i = 0; i < 200; ++i) drawing.session->Step(1);
    drawing.Picture(whole);
    EXPECT_TRUE(SameBytes(apart, whole));
}
