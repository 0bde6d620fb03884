// The window's filling tool (mtxIEMdfField, Calm and Fast) against `daubry
// fill` (mtxRunFillCommand): one seed, one set of options and samples, the
// same number of stamps give the same file.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/filling/mdf_field.h"
#include "app/shell/fill_command.h"
#include "fill/sample_collection.h"
#include "image/file_stream.h"
#include "image/image_stack.h"
#include "image/io/image_load.h"
#include "image/io/image_save.h"
#include "render/image_dx.h"
#include "render/layers/flatten_stack.h"
#include "tests/app/filling/tool_preparation.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/tool_bar.h"
#include "ui/viewer/viewer.h"

using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint64_t kSeed = 23, kStamps = 500;

int WritePng(mtxImage& image, const std::string& path) {
    mtxFileStream<65536> file;
    if (!file.Open(path, mtxFile::kWrite | mtxFile::kCreate)) return 0;
    return mtxImageWritePng(image, file);
}

// A photo of soft colour bands and three samples of different sizes.
struct Files {
    TempDir dir;
    std::string photo = dir.File("photo.png"), samples = dir.File("samples");
    std::vector<std::string> samplePaths;
    Files() {
        mtxImage picture;
        picture.Create(180, 130, 0);
        for (int y = 0; y < 130; ++y)
            for (int x = 0; x < 180; ++x)
                picture.At(x, y) = 0xFF000000u | uint32_t((x / 45) * 60) << 16 |
                                   uint32_t((y / 33) * 70) << 8 | uint32_t((x + y) % 200);
        EXPECT_EQ(WritePng(picture, photo), 1);
        std::filesystem::create_directory(samples);
        const int sides[3][2] = {{40, 30}, {16, 16}, {64, 20}};
        for (int i = 0; i < 3; ++i) {
            int w = sides[i][0], h = sides[i][1];
            mtxImage disc;
            disc.Create(w, h, 0);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    double r = std::hypot((x + 0.5 - w / 2.0) / (w / 2.0),
                                          (y + 0.5 - h / 2.0) / (h / 2.0));
                    double a = std::clamp((1 - r) * 3, 0.0, 1.0);
                    disc.At(x, y) = uint32_t(a * 255) << 24 | (0x304050u * uint32_t(i + 1));
                }
            samplePaths.push_back(samples + "/s" + std::to_string(i) + ".png");
            EXPECT_EQ(WritePng(disc, samplePaths.back()), 1);
        }
    }
};

// The options on the command line, as the tool sets them below.
std::vector<std::string> CommandArguments(const Files& f, const std::string& out, uint32_t mode) {
    return {f.photo,
            "--mode",
            mode == SampleCollection::kModeFine ? "fine" : "classic",
            "-o",
            out,
            "--samples",
            f.samples,
            "--seed",
            std::to_string(kSeed),
            "--stamps",
            std::to_string(kStamps),
            "--size-min",
            "3",
            "--size-max",
            "28",
            "--overlap",
            "2",
            "--background",
            "photo",
            "-q"};
}

// The tool in a headless editor fills the photo to kStamps stamps at speed
// and the picture is saved as `daubry fill` saves it. Both sizes given on
// the command line fix the Fine mode's sizes, as Auto off does here.
std::string FillInTheWindow(const Files& f, uint32_t mode, uint32_t speed, const std::string& out) {
    ui_test::Editor editor(480, 320);
    testing_support::SharedApp();
    SampleCollection samples;
    samples.Bind(editor);
    for (const std::string& path : f.samplePaths) samples.AddSample(path);
    samples.sizeMin = 3, samples.sizeMax = 28, samples.overlap = 2, samples.background = 2;
    samples.speed = speed;
    samples.fillMode = mode, samples.autoSize = 0;
    mtxImageStack stack;
    auto photo = std::make_unique<mtxImageDx>(editor.GetDevice());
    EXPECT_EQ(mtxImageLoad(*photo, f.photo, 0), 1);
    stack.AddLayer(0, std::move(photo));
    auto* bar = new mtxIEToolBar(editor.canvas.get());
    auto* viewer = new mtxIEViewer(editor.canvas.get());
    viewer->SetRect({0, 45, 480, 320});
    auto* tool = new mtxIEMdfField(viewer, bar, samples);
    uint32_t now = 1000;
    mtxFillSession* session = nullptr;
    tool->placeOnWorker = false;  // the fake clock is this thread's
    tool->clock = [&] {
        // Every reading takes a millisecond; the batch ends at the last stamp.
        now += 1;
        if (session && session->stamps >= kStamps) now += 1000;
        return now;
    };
    viewer->SetStack(&stack);
    tool->Process(mtxIEMdfField::kGo, 0);
    EXPECT_NE(tool->Session(), nullptr);
    if (tool->Session()) tool->Session()->Seed(kSeed);
    fill_test::WaitForPreparation(*tool);
    EXPECT_TRUE(tool->Prepared());
    session = tool->Session();
    for (int i = 0; i < 100000 && session && session->stamps < kStamps; ++i) {
        now += 5;
        tool->OnTimer(tool->timerId);
    }
    tool->Process(mtxIEMdfField::kStop, 0);
    EXPECT_EQ(session ? session->stamps : 0, kStamps);
    mtxImage picture;
    EXPECT_EQ(FlattenStack(stack, picture), 1);
    EXPECT_EQ(WritePng(picture, out), 1);
    viewer->RemoveChild(tool);
    viewer->SetStack(nullptr);
    return ReadFile(out);
}

TEST(FillSpeeds, CalmFastAndTheCommandGiveTheSameFile) {
    // The command reads the user's options: there are none here.
    TempDir config;
    const char* before = getenv("XDG_CONFIG_HOME");
    std::string saved = before ? before : "";
    setenv("XDG_CONFIG_HOME", config.File("").c_str(), 1);
    Files f;
    for (uint32_t mode : {SampleCollection::kModeClassic, SampleCollection::kModeFine}) {
        SCOPED_TRACE(mode);
        std::string command = f.dir.File("command.png");
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        EXPECT_EQ(mtxRunFillCommand(CommandArguments(f, command, mode), out, err), 0);
        std::fclose(out);
        std::fclose(err);
        std::string expected = ReadFile(command);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(FillInTheWindow(f, mode, SampleCollection::kSpeedCalm, f.dir.File("calm.png")),
                  expected);
        EXPECT_EQ(FillInTheWindow(f, mode, SampleCollection::kSpeedFast, f.dir.File("fast.png")),
                  expected);
    }
    if (before)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
