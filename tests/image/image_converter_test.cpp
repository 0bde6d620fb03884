#include "image/image_converter.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace {

class Counter : public mtxImageConverter {
  public:
    int Run() override { return ++runs; }
    int runs = 0;
};

}  // namespace

TEST(ImageConverter, BudgetFollowsTheMeasuredClock) {
    auto& app = testing_support::SharedApp();
    Counter worker;
    EXPECT_EQ(worker.status, 0u);
    uint64_t perUs = app.cpu.cyclesPerMicrosecond;
    EXPECT_EQ(worker.budget, perUs * 300000);
    worker.SetTimeBudget(100);
    EXPECT_EQ(worker.budget, perUs * 100000);
    worker.StartSlice();
    EXPECT_FALSE(worker.BudgetSpent());
    worker.SetTimeBudget(0);
    worker.StartSlice();
    worker.startTime -= 10;  // the clock has surely moved on
    EXPECT_TRUE(worker.BudgetSpent());
}

TEST(ImageConverter, CodecBindsFileAndImage) {
    class Codec : public mtxImageCodec {
      public:
        using mtxImageCodec::mtxImageCodec;
        int Run() override { return 0; }
    };
    Codec codec(nullptr, nullptr, 3);
    EXPECT_EQ(codec.flags, 3u);
    EXPECT_EQ(codec.CheckSignature(), 0);
    EXPECT_EQ(codec.Reset(), 0);
}
