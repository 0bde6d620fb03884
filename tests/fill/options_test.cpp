#include <gtest/gtest.h>

#include "fill/sample_collection.h"
#include "tests/support/test_support.h"

using testing_support::TempDir;

namespace {

struct OptionsTest : ::testing::Test {
    OptionsTest() {
        settings.Init();
        settings.Open("Software\\Ferrow\\Daubry", dir.File("settings.reg"));
    }
    // Loads from settings; the collection is handed back so a test can inspect it.
    void Load(SampleCollection& c) { c.LoadOptions(settings); }
    void Set(const char* name, int32_t v) { settings.SetInt("sm", name, static_cast<uint32_t>(v)); }

    TempDir dir;
    mtxRegistry settings;
};

TEST_F(OptionsTest, NothingStoredGivesDefaults) {
    SampleCollection c;
    c.sizeMin = 77;
    c.rotate = 0;
    Load(c);
    EXPECT_EQ(c.sizeMin, 1);
    EXPECT_EQ(c.sizeMax, 150);
    EXPECT_EQ(c.overlap, 4);
    EXPECT_EQ(c.rotate + c.mirror + c.flip, 3u);
    EXPECT_EQ(c.chooseMode, 0u);
    EXPECT_EQ(c.colorMode, 0u);
    EXPECT_EQ(c.background, 0);
    EXPECT_EQ(c.backgroundColor, 0xFFFFFFFFu);
}

TEST_F(OptionsTest, OptWordDecoding) {
    struct Case {
        int32_t opt;
        uint32_t rotate, flip, mirror, choose, color;
    } cases[] = {
        {0, 0, 0, 0, 0, 0},         {-1, 1, 1, 1, 0, 0},      {-5000, 1, 1, 1, 0, 0},
        {1, 1, 0, 0, 0, 0},         {2, 0, 1, 0, 0, 0},       {4, 0, 0, 1, 0, 0},
        {0x300, 0, 0, 0, 0, 0},     {0x100, 0, 0, 0, 256, 0}, {0x200, 0, 0, 0, 0, 0},
        {0x1000, 0, 0, 0, 0, 4096}, {0x2000, 0, 0, 0, 0, 0},  {0x1107, 1, 1, 1, 256, 4096},
    };
    for (const Case& k : cases) {
        Set("opt", k.opt);
        SampleCollection c;
        Load(c);
        EXPECT_EQ(c.rotate, k.rotate) << k.opt;
        EXPECT_EQ(c.flip, k.flip) << k.opt;
        EXPECT_EQ(c.mirror, k.mirror) << k.opt;
        EXPECT_EQ(c.chooseMode, k.choose) << k.opt;
        EXPECT_EQ(c.colorMode, k.color) << k.opt;
    }
}

TEST_F(OptionsTest, LoadClampsEveryValue) {
    struct Case {
        const char* name;
        int32_t stored;
        int32_t SampleCollection::*member;
        int32_t expect;
    } cases[] = {
        {"min", 0, &SampleCollection::sizeMin, 1},
        {"min", -7, &SampleCollection::sizeMin, 1},
        {"min", 2000, &SampleCollection::sizeMin, 1024},
        {"min", 30, &SampleCollection::sizeMin, 30},
        {"ovl", -5, &SampleCollection::overlap, 0},
        {"ovl", 300, &SampleCollection::overlap, 256},
        {"ovl", 17, &SampleCollection::overlap, 17},
        {"bg", 7, &SampleCollection::background, 2},
        {"bg", -1, &SampleCollection::background, 0},
        {"bg", 1, &SampleCollection::background, 1},
    };
    for (const Case& k : cases) {
        settings.SetInt("sm", "min", 1);
        Set(k.name, k.stored);
        SampleCollection c;
        Load(c);
        EXPECT_EQ(c.*k.member, k.expect) << k.name << " " << k.stored;
    }
}

TEST_F(OptionsTest, MaxFollowsMin) {
    Set("min", 2000);
    Set("max", 10);
    SampleCollection c;
    Load(c);
    EXPECT_EQ(c.sizeMin, 1024);
    EXPECT_EQ(c.sizeMax, 1024);
    Set("min", 50);
    Set("max", 10);
    Load(c);
    EXPECT_EQ(c.sizeMax, 50);
    Set("max", 5000);
    Load(c);
    EXPECT_EQ(c.sizeMax, 1024);
    Set("bg_color", 0x12345678);
    Load(c);
    EXPECT_EQ(c.backgroundColor, 0x12345678u);
}

TEST_F(OptionsTest, SaveThenLoadRoundTrips) {
    SampleCollection a;
    a.sizeMin = 12;
    a.sizeMax = 99;
    a.overlap = 0;
    a.rotate = 1;
    a.mirror = 0;
    a.flip = 1;
    a.chooseMode = SampleCollection::kChooseRandom;
    a.colorMode = SampleCollection::kColorKeep;
    a.background = 2;
    a.backgroundColor = 0x80FF0000;
    a.SaveOptions(settings);
    uint32_t opt = 0;
    ASSERT_EQ(settings.GetInt("sm", "opt", opt), 1);
    EXPECT_EQ(opt, 0x1000u | 0x100u | 2u | 1u);
    SampleCollection b;
    Load(b);
    EXPECT_EQ(b.sizeMin, 12);
    EXPECT_EQ(b.sizeMax, 99);
    EXPECT_EQ(b.overlap, 0);
    EXPECT_EQ(b.rotate, 1u);
    EXPECT_EQ(b.mirror, 0u);
    EXPECT_EQ(b.flip, 1u);
    EXPECT_EQ(b.chooseMode, 256u);
    EXPECT_EQ(b.colorMode, 4096u);
    EXPECT_EQ(b.background, 2);
    EXPECT_EQ(b.backgroundColor, 0x80FF0000u);
}

TEST_F(OptionsTest, OldSettingsGetTheFineModeAndAStoredModeSurvives) {
    // A file written before the modes: the six old values only.
    Set("opt", 7), Set("min", 4), Set("max", 60), Set("ovl", 2), Set("bg", 0), Set("bg_color", -1);
    SampleCollection old;
    old.fillMode = SampleCollection::kModeClassic, old.autoSize = 0;
    Load(old);
    EXPECT_EQ(old.fillMode, SampleCollection::kModeFine);
    EXPECT_EQ(old.autoSize, 1u);
    EXPECT_EQ(old.sizeMax, 60);

    for (uint32_t mode : {SampleCollection::kModeClassic, SampleCollection::kModeFine})
        for (uint32_t automatic : {0u, 1u}) {
            SampleCollection a;
            a.fillMode = mode, a.autoSize = automatic;
            a.SaveOptions(settings);
            SampleCollection b;
            b.fillMode = 1 - mode, b.autoSize = 1 - automatic;
            Load(b);
            EXPECT_EQ(b.fillMode, mode);
            EXPECT_EQ(b.autoSize, automatic);
        }
    // A value no mode has reads as the default.
    Set("mode", 7);
    SampleCollection c;
    Load(c);
    EXPECT_EQ(c.fillMode, SampleCollection::kModeFine);
}

// Fast unless Calm was stored; an unknown value is taken as the default.
TEST_F(OptionsTest, SpeedDefaultsToFastAndKeepsCalm) {
    SampleCollection c;
    Load(c);
    EXPECT_EQ(c.speed, SampleCollection::kSpeedFast);
    c.speed = SampleCollection::kSpeedCalm;
    c.SaveOptions(settings);
    SampleCollection d;
    Load(d);
    EXPECT_EQ(d.speed, SampleCollection::kSpeedCalm);
    Set("spd", 7);
    Load(d);
    EXPECT_EQ(d.speed, SampleCollection::kSpeedFast);
}

}  // namespace
