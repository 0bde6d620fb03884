#include "app/shell/fill_arguments.h"

#include <gtest/gtest.h>

namespace {

int Parse(std::vector<std::string> args, mtxFillArguments& out, std::string& error) {
    out = mtxFillArguments();
    return mtxParseFillArguments(args, out, error);
}

}  // namespace

TEST(FillArguments, EveryOptionIsRead) {
    mtxFillArguments a;
    std::string error;
    ASSERT_EQ(Parse({"photo.jpg",
                     "-o",
                     "out.png",
                     "--samples",
                     "leaves.msc",
                     "--seed",
                     "42",
                     "--stamps",
                     "5000",
                     "--seconds",
                     "2.5",
                     "--coverage",
                     "80",
                     "--size-min",
                     "3",
                     "--size-max",
                     "90",
                     "--overlap",
                     "0",
                     "--no-rotate",
                     "--no-mirror",
                     "--no-flip",
                     "--random-samples",
                     "--keep-colours",
                     "--background",
                     "#102030",
                     "--report",
                     "--mode",
                     "Classic",
                     "--quiet"},
                    a, error),
              1)
        << error;
    EXPECT_EQ(a.photo, "photo.jpg");
    EXPECT_EQ(a.output, "out.png");
    EXPECT_EQ(a.samples, "leaves.msc");
    EXPECT_EQ(a.seed, 42u);
    EXPECT_EQ(a.stamps, 5000u);
    EXPECT_EQ(a.seconds, 2.5);
    EXPECT_EQ(a.coverage, 80.0);
    EXPECT_EQ(a.sizeMin, 3);
    EXPECT_EQ(a.sizeMax, 90);
    EXPECT_EQ(a.overlap, 0);
    EXPECT_TRUE(a.noRotate && a.noMirror && a.noFlip && a.randomSamples && a.keepColours);
    EXPECT_EQ(a.background, mtxFillArguments::Background::kColor);
    EXPECT_EQ(a.backgroundColor, 0xFF102030u);
    EXPECT_TRUE(a.report && a.quiet);
    EXPECT_EQ(a.mode, 0u);

    ASSERT_EQ(Parse({"--background", "photo", "p.png", "--output", "o.bmp"}, a, error), 1);
    EXPECT_EQ(a.background, mtxFillArguments::Background::kPhoto);
    EXPECT_FALSE(a.seed || a.stamps || a.seconds || a.coverage || a.sizeMin || a.mode);
    ASSERT_EQ(Parse({"p.png", "-o", "o.png", "--mode", "fine"}, a, error), 1);
    EXPECT_EQ(a.mode, 1u);
    EXPECT_FALSE(a.quality);
    ASSERT_EQ(Parse({"p.png", "-o", "o.JPEG", "--quality", "100"}, a, error), 1) << error;
    EXPECT_EQ(a.quality, 100);
    ASSERT_EQ(Parse({"--help"}, a, error), 1);
    EXPECT_TRUE(a.help);
}

TEST(FillArguments, MistakesNameTheArgument) {
    struct Case {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"-o", "o.png"}, "no photo"},
        {{"a.jpg", "b.jpg", "-o", "o.png"}, "'b.jpg'"},
        {{"a.jpg"}, "-o FILE"},
        {{"a.jpg", "-o"}, "-o needs a value"},
        {{"a.jpg", "-o", "o.png", "--stamps", "0"}, "--stamps"},
        {{"a.jpg", "-o", "o.png", "--seconds", "nan"}, "--seconds"},
        {{"a.jpg", "-o", "o.png", "--coverage", "101"}, "--coverage"},
        {{"a.jpg", "-o", "o.png", "--size-min", "0"}, "--size-min takes a whole number from 1"},
        {{"a.jpg", "-o", "o.png", "--size-max", "12x"}, "'12x'"},
        {{"a.jpg", "-o", "o.png", "--overlap", "257"}, "--overlap"},
        {{"a.jpg", "-o", "o.png", "--size-min", "50", "--size-max", "20"}, "below"},
        {{"a.jpg", "-o", "o.png", "--background", "#12345"}, "--background"},
        {{"a.jpg", "-o", "o.png", "--seed", "-1"}, "--seed"},
        {{"a.jpg", "-o", "o.png", "--frobnicate"}, "unknown option --frobnicate"},
        {{"a.jpg", "-o", "o.jpg", "--quality", "0"},
         "--quality takes a whole number from 1 to 100"},
        {{"a.jpg", "-o", "o.png", "--quality", "80"}, "--quality is for a JPEG output"},
        {{"--resume", "p.daubry", "-o", "o.bmp", "--quality", "80"}, "'o.bmp'"},
        {{"a.jpg", "-o", "o.png", "--mode", "coarse"},
         "--mode takes classic or fine, not 'coarse'"},
    };
    for (const Case& c : cases) {
        mtxFillArguments a;
        std::string error;
        EXPECT_EQ(Parse(c.args, a, error), 0) << c.says;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

TEST(FillArguments, Colours) {
    uint32_t c = 0;
    EXPECT_EQ(mtxParseColor("#FFaa00", c), 1);
    EXPECT_EQ(c, 0xFFFFAA00u);
    EXPECT_EQ(mtxParseColor("80ff0000", c), 1);
    EXPECT_EQ(c, 0x80FF0000u);
    EXPECT_EQ(mtxParseColor("Transparent", c), 1);
    EXPECT_EQ(c, 0u);
    for (const char* bad : {"", "#", "#12345g", "1234567", "red "})
        EXPECT_EQ(mtxParseColor(bad, c), 0);
}
