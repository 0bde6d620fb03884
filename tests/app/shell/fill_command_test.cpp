#include "app/shell/fill_command.h"
#include "app/shell/render_command.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "base/share_folder.h"
#include "fill/project_file.h"
#include "image/color_difference.h"
#include "image/file_stream.h"
#include "image/image.h"
#include "image/io/image_load.h"
#include "image/io/image_save.h"
#include "image/resample.h"
#include "render/image_editor_device.h"
#include "render/layers/flatten_stack.h"
#include "tests/oracles/jpeg.h"
#include "tests/support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

int WriteImage(mtxImage& image, const std::string& path) {
    mtxFileStream<65536> file;
    if (!file.Open(path, mtxFile::kWrite | mtxFile::kCreate)) return 0;
    return mtxImageWritePng(image, file);
}

// A photo (the coffee picture made small, with a transparent corner) and a
// folder of three samples: discs of three colours with soft edges.
struct Job {
    TempDir dir;
    std::string photo = dir.File("photo.png"), samples = dir.File("samples");
    int width = 0, height = 0;
    Job() {
        mtxImage big, small;
        EXPECT_EQ(mtxImageLoad(big, std::string(DAUBRY_TEST_DATA "/photos/coffee.png"), 0), 1);
        width = big.width / 4, height = big.height / 4;
        small.Create(width, height, 0);
        ScaleImage(big, small);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) small.At(x, y) &= 0x00FFFFFFu;
        EXPECT_EQ(WriteImage(small, photo), 1);
        std::filesystem::create_directory(samples);
        const mtxColor colours[] = {0xFFC04020u, 0xFF40A040u, 0xFFE0E0D0u};
        for (int i = 0; i < 3; ++i) {
            mtxImage disc;
            disc.Create(40, 30, 0);
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 40; ++x) {
                    double r = std::hypot((x - 19.5) / 20, (y - 14.5) / 15);
                    double a = std::clamp((1 - r) * 4, 0.0, 1.0);
                    disc.At(x, y) = (colours[i] & 0xFFFFFFu) | (uint32_t(a * 255) << 24);
                }
            EXPECT_EQ(WriteImage(disc, samples + "/disc" + std::to_string(i) + ".png"), 1);
        }
    }

    // Fills the photo with seed 3 up to stamps stamps, saving the picture at
    // out and the project at project; the exit code, errors as Run's.
    int FillProject(const std::string& out, const std::string& project, const char* stamps,
                    std::string* errors) {
        return Run({photo, "-o", out, "--samples", samples, "--seed", "3", "--stamps", stamps,
                    "--size-max", "30", "--project", project, "--quiet"},
                   nullptr, errors);
    }

    // Runs `daubry fill` with the arguments; the exit code, with what it
    // printed on its two streams.
    int Run(std::vector<std::string> args, std::string* report = nullptr,
            std::string* errors = nullptr) {
        return RunArgs(std::move(args), report, errors);
    }
    static int RunArgs(std::vector<std::string> args, std::string* report = nullptr,
                       std::string* errors = nullptr) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        int code = mtxRunFillCommand(args, out, err);
        auto slurp = [](std::FILE* f) {
            std::string text;
            std::rewind(f);
            for (int c; (c = std::fgetc(f)) != EOF;) text += char(c);
            std::fclose(f);
            return text;
        };
        std::string o = slurp(out), e = slurp(err);
        if (report) *report = o;
        if (errors) *errors = e;
        return code;
    }
};

double Field(const std::string& json, const std::string& name) {
    size_t at = json.find("\"" + name + "\": ");
    return at == std::string::npos ? NAN : std::atof(json.c_str() + at + name.size() + 4);
}

}  // namespace

TEST(FillCommand, FillsThePhotoAndReportsTheTrueCoverage) {
    Job job;
    std::string out = job.dir.File("out.png"), report, errors;
    ASSERT_EQ(job.Run({job.photo, "-o", out, "--samples", job.samples, "--mode", "classic",
                       "--seed", "7", "--stamps", "1500", "--background", "transparent",
                       "--size-max", "30", "--report", "--quiet"},
                      &report, &errors),
              0)
        << errors;
    mtxImage result;
    ASSERT_EQ(mtxImageLoad(result, out, 0), 1);
    ASSERT_EQ(result.width, job.width);
    ASSERT_EQ(result.height, job.height);
    EXPECT_EQ(Field(report, "stamps"), 1500);
    // On a transparent background the covered pixels are those a stamp made
    // at least half opaque.
    mtxImage photo;
    ASSERT_EQ(mtxImageLoad(photo, job.photo, 0), 1);
    int64_t counting = 0, covered = 0;
    for (int y = 0; y < result.height; ++y)
        for (int x = 0; x < result.width; ++x)
            if (mtxAlpha(photo.At(x, y)) > 0) {
                ++counting;
                covered += mtxAlpha(result.At(x, y)) >= 128;
            }
    double exact = 100.0 * double(covered) / double(counting);
    EXPECT_GT(exact, 20);
    EXPECT_NEAR(Field(report, "coverage"), exact, 1.0);
    EXPECT_GT(Field(report, "likeness_sigma8"), 0);
    EXPECT_NE(report.find("\"background\": \"#00000000\""), std::string::npos) << report;
}

// A .jpg output is written at quality 92 with halved chroma unless --quality
// asks for another; from 95 up the chroma keeps full resolution.
TEST(FillCommand, AJpegOutputTakesTheDefaultQualityOrTheOneAskedFor) {
    Job job;
    for (auto [quality, factors] : {std::pair{"", "2x2,1x1,1x1"}, std::pair{"96", "1x1,1x1,1x1"}}) {
        std::string out = job.dir.File("out.jpg"), errors;
        std::vector<std::string> args = {job.photo,   "-o",       out,  "--samples",
                                         job.samples, "--stamps", "20", "--quiet"};
        if (*quality) args.insert(args.end(), {"--quality", quality});
        ASSERT_EQ(job.Run(args, nullptr, &errors), 0) << errors;
        std::string bytes = ReadFile(out);
        EXPECT_EQ(oracle::JpegSamplingFactors(bytes), factors) << quality;
        oracle::Pixels decoded;
        ASSERT_TRUE(oracle::DecodeJpeg(bytes, decoded));
        EXPECT_EQ(decoded.width, job.width);
    }
}

TEST(FillCommand, WithoutSamplesTheDemoPhotoIsFilledWithTheBundledFlowers) {
    const std::string library = mtxSampleLibraryFolder(), photo = mtxDemoPhoto();
    ASSERT_FALSE(library.empty());
    ASSERT_FALSE(photo.empty());
    const std::string flowers = (std::filesystem::path(library) / "flowers").string();
    int pictures = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(flowers))
        pictures += entry.path().extension() == ".png";
    TempDir dir;
    std::string out = dir.File("demo.png"), report, errors;
    ASSERT_EQ(Job().Run({photo, "-o", out, "--seed", "3", "--stamps", "300"}, &report, &errors), 0)
        << errors;
    EXPECT_NE(errors.find("Filling with " + std::to_string(pictures) + " samples from " + flowers),
              std::string::npos)
        << errors;
    mtxImage result;
    ASSERT_EQ(mtxImageLoad(result, out, 0), 1);
    EXPECT_EQ(result.width, 512);
}

TEST(FillCommand, TheSameSeedGivesTheSameFileInBothModes) {
    Job job;
    for (std::string mode : {"classic", "fine"}) {
        SCOPED_TRACE(mode);
        std::string a = job.dir.File("a.bmp"), b = job.dir.File("b.bmp"), c = job.dir.File("c.bmp");
        auto with = [&](std::string out, std::string seed) {
            return std::vector<std::string>{job.photo, "--samples", job.samples, "--mode",
                                            mode,      "--seed",    seed,        "--stamps",
                                            "400",     "-q",        "-o",        out};
        };
        ASSERT_EQ(job.Run(with(a, "99")), 0);
        ASSERT_EQ(job.Run(with(b, "99")), 0);
        ASSERT_EQ(job.Run(with(c, "100")), 0);
        EXPECT_EQ(ReadFile(a), ReadFile(b));
        EXPECT_NE(ReadFile(a), ReadFile(c));
    }
}

namespace {

// A synthetic photo filled by `daubry fill` in the Fine mode with the bundled
// flowers on a transparent background, both loaded back.
struct FineFill {
    TempDir dir;
    mtxImage photo, result;
    std::string report;
    template <class Pixel>
    FineFill(int w, int h, Pixel pixel, std::vector<std::string> extra = {}) {
        photo.Create(w, h, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) photo.At(x, y) = pixel(x, y);
        std::string in = dir.File("photo.png"), out = dir.File("out.png"), errors;
        EXPECT_EQ(WriteImage(photo, in), 1);
        std::vector<std::string> args = {in,        "-o", out,  "--mode",       "fine",
                                         "--seed",  "1",  "-q", "--background", "transparent",
                                         "--report"};
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(Job::RunArgs(args, &report, &errors), 0) << errors;
        EXPECT_EQ(mtxImageLoad(result, out, 0), 1);
    }
};

double Distance(mtxColor a, mtxColor b) {
    double dr = double(mtxRed(a)) - mtxRed(b), dg = double(mtxGreen(a)) - mtxGreen(b),
           db = double(mtxBlue(a)) - mtxBlue(b);
    return std::sqrt(dr * dr + dg * dg + db * db);
}

}  // namespace

TEST(FillCommand, FineCoversEveryPixelWithAlphaAndNothingOutside) {
    struct Case {
        const char* name;
        mtxColor (*pixel)(int, int);
    } cases[] = {
        {"disc on transparent",
         [](int x, int y) { return std::hypot(x - 48.0, y - 36.0) < 25 ? 0xFF3050A0u : 0u; }},
        {"ring",
         [](int x, int y) {
             double r = std::hypot(x - 48.0, y - 36.0);
             return r > 14 && r < 24 ? 0xFFC02020u : 0xFF203020u;
         }},
        {"gradient",
         [](int x, int y) { return mtxArgb(255, uint32_t(x * 2), uint32_t(y * 3), 90); }},
        {"one-pixel line",
         [](int x, int y) { return y == 30 || x == 50 ? 0xFFFFFFFFu : 0xFF102040u; }},
        {"transparent parts",
         [](int x, int y) { return x < 30 || (y > 40 && x > 60) ? 0u : 0xFF60A040u; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FineFill fill(96, 72, c.pixel);
        ASSERT_EQ(fill.result.width, 96);
        int uncovered = 0, outside = 0;
        for (int y = 0; y < 72; ++y)
            for (int x = 0; x < 96; ++x) {
                uint32_t drawn = mtxAlpha(fill.result.At(x, y));
                if (mtxAlpha(fill.photo.At(x, y)) > 0)
                    uncovered += drawn < 128;
                else
                    outside += drawn > 24;
            }
        EXPECT_EQ(uncovered, 0);
        EXPECT_EQ(outside, 0);
        EXPECT_NEAR(Field(fill.report, "coverage"), 100, 1e-9) << fill.report;
        EXPECT_GT(Field(fill.report, "seconds_to_100"), 0) << fill.report;
        EXPECT_NE(fill.report.find("\"mode\": \"fine\""), std::string::npos) << fill.report;
    }
}

TEST(FillCommand, FineKeepsSmallDotsAndOnePixelLines) {
    const mtxColor field = 0xFF183060u;
    auto pixel = [field](int x, int y) -> mtxColor {
        if (y == 20 && x > 10 && x < 110) return 0xFFF0F0F0u;  // a white line
        if (x == 90 && y > 30 && y < 85) return 0xFFF0D020u;   // a yellow line
        for (int k = 0; k < 6; ++k)
            if (std::abs(x - (15 + 12 * k)) <= 1 && std::abs(y - (40 + 7 * k)) <= 1)
                return k % 2 ? 0xFFE03030u : 0xFFFFFFFFu;  // red and white dots
        return field;
    };
    FineFill fill(120, 90, pixel, {"--background", "white"});
    mtxImage photo, picture;
    ASSERT_EQ(photo.Create(120, 90, 0), 1);
    photo.Blit(fill.photo, mtxRect{}, 0, 0);
    ASSERT_EQ(picture.Create(120, 90, 0), 1);
    picture.Blit(fill.result, mtxRect{}, 0, 0);
    photo.Blur(1.0f);
    picture.Blur(1.0f);
    // Where a detail is, the picture is nearer the photo than the plain field would be.
    std::vector<std::pair<int, int>> details = {{30, 20}, {60, 20}, {100, 20}, {90, 40}, {90, 70}};
    for (int k = 0; k < 6; ++k) details.push_back({15 + 12 * k, 40 + 7 * k});
    for (auto [x, y] : details) {
        double missed = Distance(picture.At(x, y), photo.At(x, y));
        double plain = Distance(field, photo.At(x, y));
        EXPECT_LT(missed, 0.6 * plain) << "detail at " << x << ", " << y;
    }
}

TEST(FillCommand, FineTakesThePhotosColours) {
    struct Case {
        const char* name;
        mtxColor (*pixel)(int, int);
    } cases[] = {
        {"flat patches",
         [](int x, int y) {
             const mtxColor patches[4] = {0xFFD02020u, 0xFF20A040u, 0xFF2040C0u, 0xFFE0D0B0u};
             return patches[(x / 60) + 2 * (y / 45)];
         }},
        {"gradient",
         [](int x, int y) {
             return mtxArgb(255, uint32_t(x * 2), 60 + uint32_t(y), 200 - uint32_t(y));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FineFill fill(120, 90, c.pixel, {"--background", "white"});
        // At the scale of the stamps the picture is the photo.
        double fine = mtxMeanColorDifference(fill.result, fill.photo, 4.0f);
        EXPECT_GE(fine, 0);
        EXPECT_LT(fine, 4.0);
        FineFill classic(120, 90, c.pixel, {"--background", "white", "--mode", "classic"});
        EXPECT_LT(fine, mtxMeanColorDifference(classic.result, classic.photo, 4.0f));
    }
}

TEST(FillCommand, ProblemsHaveTheirExitCodeAMessageAndNoOutput) {
    Job job;
    WriteFile(job.dir.File("bad.msc"), "MLCL not a collection");
    ::chmod(job.dir.Path().c_str(), 0755);
    std::string out = job.dir.File("out.png");
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string says;
    } cases[] = {
        {{job.dir.File("missing.jpg"), "-o", out, "--samples", job.samples}, 2, "missing.jpg"},
        {{job.samples + "/disc0.png", "-o", out, "--samples", job.dir.File("bad.msc")},
         2,
         "bad.msc"},
        {{job.photo, "-o", out, "--samples", job.dir.File("nowhere")}, 2, "nowhere"},
        {{job.photo, "-o", job.dir.File("no/such/folder/out.png"), "--samples", job.samples},
         3,
         "no/such/folder"},
        {{job.photo, "-o", job.dir.File("out.tiff"), "--samples", job.samples}, 1, "out.tiff"},
        {{job.photo, "--samples", job.samples}, 1, "-o FILE"},
    };
    for (const Case& c : cases) {
        std::string errors;
        EXPECT_EQ(job.Run(c.args, nullptr, &errors), c.code) << c.says;
        EXPECT_NE(errors.find(c.says), std::string::npos) << errors;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.says;
    }
    // An output that cannot be written: its folder refuses new files.
    std::string locked = job.dir.File("locked");
    std::filesystem::create_directory(locked);
    ::chmod(locked.c_str(), 0555);
    if (::geteuid() != 0) {
        std::string errors;
        EXPECT_EQ(job.Run({job.photo, "-o", locked + "/out.png", "--samples", job.samples, "-q"},
                          nullptr, &errors),
                  3);
        EXPECT_NE(errors.find("locked"), std::string::npos) << errors;
    }
    // A directory standing where the file should go: refused, nothing replaced.
    std::filesystem::create_directory(job.dir.File("taken.png"));
    std::string errors;
    EXPECT_EQ(job.Run({job.photo, "-o", job.dir.File("taken.png"), "--samples", job.samples,
                       "--stamps", "10", "-q"},
                      nullptr, &errors),
              3);
    EXPECT_TRUE(std::filesystem::is_directory(job.dir.File("taken.png")));
    ::chmod(locked.c_str(), 0755);
}

TEST(FillCommand, RefusesAnOutputThatIsThePhotoBeforeAnyWork) {
    Job job;
    const std::string before = ReadFile(job.photo);
    std::filesystem::create_symlink(job.photo, job.dir.File("link.png"));
    std::filesystem::create_hard_link(job.photo, job.dir.File("hard.png"));
    const std::string relative =
        std::filesystem::relative(job.photo, std::filesystem::current_path()).string();
    for (const std::string& output :
         {job.photo, job.dir.File("samples/../photo.png"), job.dir.File("link.png"),
          job.dir.File("hard.png"), relative}) {
        SCOPED_TRACE(output);
        std::string errors;
        EXPECT_EQ(job.Run({job.photo, "-o", output, "--samples", job.samples, "--stamps", "10"},
                          nullptr, &errors),
                  1);
        EXPECT_NE(errors.find("is the photo itself"), std::string::npos) << errors;
        // Refused before anything was prepared or filled.
        EXPECT_EQ(errors.find("Preparing"), std::string::npos) << errors;
    }
    EXPECT_EQ(ReadFile(job.photo), before);
    // Another file of the same content is no obstacle.
    std::filesystem::copy_file(job.photo, job.dir.File("copy.png"));
    EXPECT_EQ(job.Run({job.photo, "-o", job.dir.File("copy.png"), "--samples", job.samples,
                       "--stamps", "10", "-q"}),
              0);
    EXPECT_EQ(ReadFile(job.photo), before);
}

TEST(FillCommand, AFolderOfDamagedPicturesIsNoSampleSet) {
    // Each sample with its image data cut short: every one is refused by
    // name, and nothing is left to fill with.
    Job job;
    std::string damaged = job.dir.File("damaged");
    std::filesystem::create_directory(damaged);
    for (int i = 0; i < 3; ++i) {
        std::string name = "disc" + std::to_string(i) + ".png";
        std::string bytes = ReadFile(job.samples + "/" + name);
        size_t idat = bytes.find("IDAT");
        ASSERT_NE(idat, std::string::npos);
        // Keep the IDAT chunk's first 8 bytes of data, then IEND (with its CRC).
        std::string cut =
            bytes.substr(0, idat - 4) + std::string("\0\0\0\x08", 4) + bytes.substr(idat, 12);
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(cut.data() + cut.size() - 12), 12);
        for (int shift = 24; shift >= 0; shift -= 8) cut += char(crc >> shift);
        cut += bytes.substr(bytes.size() - 12);
        WriteFile(damaged + "/" + name, cut);
    }
    std::string errors, out = job.dir.File("out.png");
    EXPECT_EQ(job.Run({job.photo, "-o", out, "--samples", damaged, "-q"}, nullptr, &errors), 2);
    EXPECT_NE(errors.find("Sample disc2.png cannot be loaded (PNG: image data end at row "),
              std::string::npos)
        << errors;
    EXPECT_NE(errors.find("no usable samples"), std::string::npos) << errors;
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(FillCommand, HelpAndUsage) {
    Job job;
    std::string report, errors;
    EXPECT_EQ(job.Run({"--help"}, &report), 0);
    EXPECT_NE(report.find("Usage: daubry fill PHOTO -o OUT"), std::string::npos);
    EXPECT_EQ(job.Run({"--nonsense"}, nullptr, &errors), 1);
    EXPECT_NE(errors.find("daubry fill --help"), std::string::npos);
}

// The picture drawn again from the project that `daubry fill --project`
// saved is the picture it saved, pixel for pixel.
TEST(RenderCommand, DrawsTheFilledPictureAgainFromItsProject) {
    Job job;
    std::string out = job.dir.File("out.png"), project = job.dir.File("out.daubry"), errors;
    ASSERT_EQ(job.FillProject(out, project, "800", &errors), 0) << errors;
    std::string again = job.dir.File("again.png");
    std::FILE* err = std::tmpfile();
    ASSERT_EQ(mtxRunRenderCommand({project, "-o", again, "-q"}, stdout, err), 0);
    std::fclose(err);
    mtxImage filled, drawn;
    ASSERT_EQ(mtxImageLoad(filled, out, 0), 1);
    ASSERT_EQ(mtxImageLoad(drawn, again, 0), 1);
    ASSERT_EQ(drawn.width, filled.width);
    ASSERT_EQ(drawn.height, filled.height);
    int differing = 0;
    for (int y = 0; y < filled.height; ++y)
        for (int x = 0; x < filled.width; ++x) differing += filled.At(x, y) != drawn.At(x, y);
    EXPECT_EQ(differing, 0);

    // Twice as large, the same picture: scaled back down it differs from the
    // one drawn at its own size only where the samples' finer pixels show.
    std::string large = job.dir.File("large.png");
    err = std::tmpfile();
    ASSERT_EQ(mtxRunRenderCommand({project, "-o", large, "--scale", "2", "-q"}, stdout, err), 0);
    std::fclose(err);
    mtxImage big, down;
    ASSERT_EQ(mtxImageLoad(big, large, 0), 1);
    ASSERT_EQ(big.width, 2 * filled.width);
    ASSERT_EQ(big.height, 2 * filled.height);
    down.Create(filled.width, filled.height, 0);
    ScaleImage(big, down);
    double total = 0;
    for (int y = 0; y < filled.height; ++y)
        for (int x = 0; x < filled.width; ++x)
            for (int c = 0; c < 32; c += 8)
                total +=
                    std::abs(int((filled.At(x, y) >> c) & 0xFF) - int((down.At(x, y) >> c) & 0xFF));
    double mean = total / (4.0 * filled.width * filled.height);
    EXPECT_LT(mean, 3.0);
    EXPECT_GT(mean, 0.0) << "drawn at twice the size, not scaled up";
    std::fprintf(stderr, "mean difference at 2 x: %.3f\n", mean);

    // A damaged project is refused with its name, and nothing is written.
    std::string bytes = ReadFile(project);
    WriteFile(project, bytes.substr(0, bytes.size() / 2));
    std::string broken = job.dir.File("broken.png");
    std::FILE* messages = std::tmpfile();
    EXPECT_EQ(mtxRunRenderCommand({project, "-o", broken}, stdout, messages), 2);
    std::rewind(messages);
    char line[512] = {};
    EXPECT_NE(std::fgets(line, sizeof line, messages), nullptr);
    std::fclose(messages);
    EXPECT_NE(std::string(line).find("out.daubry"), std::string::npos) << line;
    EXPECT_FALSE(std::filesystem::exists(broken));
}

// A project whose layer was turned and moved and whose light is on is drawn
// again as the window saves it: the turn in its place at any size (its move
// scaled with the picture), the light of that angle and strength over the
// picture at the size drawn, and a time-lapse ending on the picture.
TEST(RenderCommand, DrawsTheProjectsTransformAndLightAtAnySize) {
    Job job;
    std::string out = job.dir.File("out.png"), project = job.dir.File("out.daubry"), errors;
    ASSERT_EQ(job.FillProject(out, project, "600", &errors), 0) << errors;
    mtxProject changed;
    std::string error;
    ASSERT_EQ(mtxProjectFile::Load(project, changed, error), 1) << error;
    // About 17 degrees about the middle, and a move of whole pixels.
    const double turn = 0.3, cx = job.width / 2.0, cy = job.height / 2.0;
    const float c = float(std::cos(turn)), s = float(std::sin(turn));
    changed.transforms = {
        {c, -s, float(cx - c * cx + s * cy + 7), s, c, float(cy - s * cx - c * cy - 4), 0, 0, 1}};
    std::string turned = job.dir.File("turned.daubry"), lit = job.dir.File("lit.daubry");
    ASSERT_EQ(mtxProjectFile::Save(changed, turned, error), 1) << error;
    mtxReliefLight light;
    light.on = true, light.angle = 300, light.strength = 60;
    changed.light = light;
    ASSERT_EQ(mtxProjectFile::Save(changed, lit, error), 1) << error;

    auto render = [&](std::vector<std::string> args) {
        std::FILE* err = std::tmpfile();
        int code = mtxRunRenderCommand(args, stdout, err);
        std::fclose(err);
        return code;
    };
    auto picture = [&](const std::string& from, const std::string& scale, const std::string& to) {
        EXPECT_EQ(render({from, "-o", to, "--scale", scale, "-q"}), 0) << to;
        return to;
    };
    mtxImage plain, small, large, litLarge;
    ASSERT_EQ(mtxImageLoad(plain, out, 0), 1);
    ASSERT_EQ(mtxImageLoad(small, picture(turned, "1", job.dir.File("small.png")), 0), 1);
    ASSERT_EQ(mtxImageLoad(large, picture(turned, "2", job.dir.File("large.png")), 0), 1);
    ASSERT_EQ(mtxImageLoad(litLarge, picture(lit, "2", job.dir.File("lit-large.png")), 0), 1);
    ASSERT_EQ(small.width, plain.width);
    ASSERT_EQ(large.width, 2 * plain.width);
    ASSERT_EQ(large.height, 2 * plain.height);

    // The mean difference from the small picture over the colours of the
    // pixels two or more inside the turned layer, whose edge against the
    // transparent ground the resampling draws finer at twice the size.
    auto inside = [&](int x, int y) {
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
                int u = x + dx, v = y + dy;
                if (u < 0 || v < 0 || u >= small.width || v >= small.height ||
                    mtxAlpha(small.At(u, v)) != 255)
                    return false;
            }
        return true;
    };
    auto meanFrom = [&](mtxImage& other) {
        double total = 0;
        int count = 0;
        for (int y = 0; y < small.height; ++y)
            for (int x = 0; x < small.width; ++x) {
                if (!inside(x, y)) continue;
                ++count;
                for (int k = 0; k < 24; k += 8)
                    total += std::abs(int((small.At(x, y) >> k) & 0xFF) -
                                      int((other.At(x, y) >> k) & 0xFF));
            }
        return count ? total / (3.0 * count) : 1e9;
    };
    // Scaled back down, the large picture has the turn where the small one
    // has it, within what the samples' finer pixels change (a mean of 5
    // levels; 4.3 for the pictures neither turned nor lit, 4.1 turned), where
    // the picture not turned is far off.
    mtxImage down;
    down.Create(small.width, small.height, 0);
    ScaleImage(large, down);
    const double near = meanFrom(down), far = meanFrom(plain);
    std::fprintf(stderr, "turned, mean difference at 2 x: %.3f; from the plain picture: %.3f\n",
                 near, far);
    EXPECT_LT(near, 5.0);
    EXPECT_GT(far, 4 * near);

    // The light over the large picture is the light of the same angle and
    // strength rendered of that picture: it is not made stronger or weaker
    // with the size (so it shades the gentler slopes of a larger picture less).
    mtxImageEditorDevice editor;
    ASSERT_TRUE(editor.CreateDevice(nullptr) && editor.GetDevice());
    editor.SetFrameStates();
    mtxImage shade;
    ASSERT_EQ(mtxRenderReliefLight(&editor, large, light, shade), 1);
    ASSERT_EQ(LayImageOver(large, shade), 1);
    ASSERT_EQ(litLarge.width, large.width);
    int differing = 0;
    for (int y = 0; y < large.height; ++y)
        for (int x = 0; x < large.width; ++x) differing += large.At(x, y) != litLarge.At(x, y);
    EXPECT_EQ(differing, 0);

    // The time-lapse's last frame is the picture, byte for byte.
    std::string frames = job.dir.File("frames"), movie = job.dir.File("movie.png");
    std::string one = picture(lit, "1", job.dir.File("lit-small.png"));
    ASSERT_EQ(render({lit, "--timelapse", movie, "--frames", "3", "--frames-dir", frames, "-q"}),
              0);
    EXPECT_EQ(ReadFile(frames + "/frame-00003.png"), ReadFile(one));
    EXPECT_NE(ReadFile(frames + "/frame-00003.png"), ReadFile(job.dir.File("small.png")))
        << "the light is on";

    // Drawn whole, such a picture has the limits of a frame: refused, not
    // drawn in bands without its light.
    std::string wide = job.dir.File("wide.png");
    EXPECT_EQ(render({lit, "-o", wide, "--width", "20000", "-q"}), 1);
    EXPECT_FALSE(std::filesystem::exists(wide));
}

// A run saved as a project and gone on with is the run made in one go.
// In either mode: the Classic engine takes the generator's state at the
// log's end, the Fine engine is caught up with the log's stamps.
TEST(FillCommand, ResumedProjectGoesOnAsOneUninterruptedRun) {
    Job job;
    std::string first = job.dir.File("first.png"), project = job.dir.File("first.daubry");
    std::string resumed = job.dir.File("resumed.png"), whole = job.dir.File("whole.png"), errors;
    // The fine run goes on under the maps it began with, which its project keeps.
    mtxImage protect, detail;
    protect.Create(job.width, job.height, 0xFFFFFFFFu);
    detail.Create(job.width, job.height, 0xFF808080u);
    for (int y = 0; y < job.height; ++y)
        for (int x = 0; x < job.width / 3; ++x)
            protect.At(x, y) = 0xFF000000u, detail.At(x + job.width / 2, y) = 0xFFFFFFFFu;
    ASSERT_EQ(WriteImage(protect, job.dir.File("protect.png")), 1);
    ASSERT_EQ(WriteImage(detail, job.dir.File("detail.png")), 1);
    for (std::string mode : {"classic", "fine"}) {
        SCOPED_TRACE(mode);
        std::vector<std::string> options = {
            "--samples", job.samples, "--seed", "4", "--size-max", "30", "--mode", mode, "--quiet"};
        if (mode == "fine")
            options.insert(options.end(), {"--protect-map", job.dir.File("protect.png"),
                                           "--detail-map", job.dir.File("detail.png")});
        auto with = [&](std::vector<std::string> args) {
            args.insert(args.end(), options.begin(), options.end());
            return args;
        };
        ASSERT_EQ(job.Run(with({job.photo, "-o", first, "--stamps", "300", "--project", project}),
                          nullptr, &errors),
                  0)
            << errors;
        ASSERT_EQ(job.Run(with({job.photo, "-o", whole, "--stamps", "500"}), nullptr, &errors), 0)
            << errors;
        ASSERT_EQ(job.Run({"--resume", project, "--stamps", "200", "-o", resumed, "--quiet"},
                          nullptr, &errors),
                  0)
            << errors;
        mtxImage a, b, c;
        ASSERT_EQ(mtxImageLoad(a, resumed, 0), 1);
        ASSERT_EQ(mtxImageLoad(b, whole, 0), 1);
        ASSERT_EQ(mtxImageLoad(c, first, 0), 1);
        ASSERT_EQ(a.width, b.width);
        int differing = 0, grown = 0;
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x)
                differing += a.At(x, y) != b.At(x, y), grown += a.At(x, y) != c.At(x, y);
        EXPECT_EQ(differing, 0);
        EXPECT_GT(grown, 100) << "the resumed run placed nothing";
    }

    EXPECT_EQ(job.Run({"--resume", project, "--seed", "5", "-o", resumed}, nullptr, &errors), 1);
    EXPECT_NE(errors.find("--resume"), std::string::npos) << errors;
    EXPECT_EQ(job.Run({job.photo, "--resume", project, "-o", resumed}, nullptr, &errors), 1);
}

// Filled and saved at twice the size, the picture is the project drawn again
// at twice the size.
TEST(FillCommand, ScaleSavesThePictureDrawnAgainLarger) {
    Job job;
    std::string out = job.dir.File("big.png"), project = job.dir.File("big.daubry");
    std::string drawn = job.dir.File("drawn.png"), errors;
    ASSERT_EQ(job.Run({job.photo, "-o", out, "--samples", job.samples, "--seed", "6", "--stamps",
                       "400", "--scale", "2", "--project", project, "--quiet"},
                      nullptr, &errors),
              0)
        << errors;
    std::FILE* err = std::tmpfile();
    ASSERT_EQ(
        mtxRunRenderCommand({project, "-o", drawn, "--width", std::to_string(2 * job.width), "-q"},
                            stdout, err),
        0);
    std::fclose(err);
    mtxImage a, b;
    ASSERT_EQ(mtxImageLoad(a, out, 0), 1);
    ASSERT_EQ(mtxImageLoad(b, drawn, 0), 1);
    ASSERT_EQ(a.width, 2 * job.width);
    ASSERT_EQ(a.height, 2 * job.height);
    ASSERT_EQ(b.width, a.width);
    ASSERT_EQ(b.height, a.height);
    int differing = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) differing += a.At(x, y) != b.At(x, y);
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(job.Run({job.photo, "-o", out, "--scale", "17"}, nullptr, &errors), 1);
}

TEST(FillCommand, NoSampleGoesWhereTheProtectMapIsDarkAndTheRestIsFilled) {
    TempDir maps;
    // Dark where protected: a disc and a band; a light grey elsewhere.
    auto guarded = [](int x, int y) {
        return std::hypot(x - 60.0, y - 30.0) < 14 || (x >= 18 && x < 21);
    };
    mtxImage protect;
    protect.Create(96, 72, 0);
    for (int y = 0; y < 72; ++y)
        for (int x = 0; x < 96; ++x) protect.At(x, y) = guarded(x, y) ? 0xFF202020u : 0xFFC0C0C0u;
    ASSERT_EQ(WriteImage(protect, maps.File("protect.png")), 1);
    FineFill fill(96, 72,
                  [](int x, int y) { return mtxArgb(255, uint32_t(x * 2), uint32_t(y * 3), 90); },
                  {"--protect-map", maps.File("protect.png")});
    ASSERT_EQ(fill.result.width, 96);
    int marked = 0, bare = 0;
    for (int y = 0; y < 72; ++y)
        for (int x = 0; x < 96; ++x) {
            uint32_t drawn = mtxAlpha(fill.result.At(x, y));
            if (guarded(x, y))
                marked += drawn > 0;
            else if (std::hypot(x - 60.0, y - 30.0) > 14 + 3 && std::abs(x - 19) > 1 + 3)
                bare += drawn < 128;
        }
    EXPECT_EQ(marked, 0);
    EXPECT_EQ(bare, 0);
    // The protected pixels are not counted as left uncovered.
    EXPECT_GT(Field(fill.report, "coverage"), 95) << fill.report;
}

TEST(FillCommand, MapsOfAnotherSizeOrForTheClassicModeAreRefused) {
    Job job;
    mtxImage wrong, right;
    wrong.Create(job.width + 1, job.height, 0xFF000000u);
    right.Create(job.width, job.height, 0xFF808080u);
    ASSERT_EQ(WriteImage(wrong, job.dir.File("wrong.png")), 1);
    ASSERT_EQ(WriteImage(right, job.dir.File("right.png")), 1);
    std::string out = job.dir.File("out.png");
    const std::string sizes[] = {std::to_string(job.width + 1) + " x " + std::to_string(job.height),
                                 std::to_string(job.width) + " x " + std::to_string(job.height)};
    for (const char* flag : {"--protect-map", "--detail-map"}) {
        SCOPED_TRACE(flag);
        std::string errors;
        EXPECT_EQ(job.Run({job.photo, "-o", out, "--samples", job.samples, "--mode", "fine", flag,
                           job.dir.File("wrong.png"), "-q"},
                          nullptr, &errors),
                  2);
        EXPECT_NE(errors.find("wrong.png"), std::string::npos) << errors;
        for (const std::string& size : sizes)
            EXPECT_NE(errors.find(size), std::string::npos) << errors;
        EXPECT_EQ(job.Run({job.photo, "-o", out, "--samples", job.samples, "--mode", "fine", flag,
                           job.dir.File("none.png"), "-q"},
                          nullptr, &errors),
                  2);
        EXPECT_NE(errors.find("none.png"), std::string::npos) << errors;
        EXPECT_EQ(job.Run({job.photo, "-o", out, "--samples", job.samples, "--mode", "classic",
                           flag, job.dir.File("right.png"), "-q"},
                          nullptr, &errors),
                  1);
        EXPECT_NE(errors.find("fine mode"), std::string::npos) << errors;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}
