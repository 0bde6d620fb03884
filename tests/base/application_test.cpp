#include "base/application.h"

#include <gtest/gtest.h>

#include "platform/os_file.h"
#include "tests/support/test_support.h"

using testing_support::SharedApp;

namespace {

TEST(Application, AccessorReachesTheOneObject) {
    EXPECT_EQ(mtxGetApp(), &SharedApp());
    EXPECT_EQ(SharedApp().stringBase, 10000u);
    EXPECT_GT(SharedApp().cpu.cyclesPerMicrosecond, 0u);
}

TEST(Application, LoadStringFindsEntriesAndReportsGaps) {
    std::string s = "stale";
    EXPECT_EQ(SharedApp().LoadString(302, s), 1);
    EXPECT_EQ(s, "Preparing Image");
    EXPECT_EQ(SharedApp().LoadString(1, s), 1);
    EXPECT_EQ(s, "Ok");
    EXPECT_EQ(SharedApp().LoadString(61, s), 1);
    EXPECT_EQ(s, "HTML \xc3\xb1ode");
    EXPECT_EQ(SharedApp().LoadString(702, s), 1);
    EXPECT_EQ(s, "You should select samples");
    for (uint32_t gap : {0u, 3u, 13u, 326u, 703u}) {
        s = "stale";
        EXPECT_EQ(SharedApp().LoadString(gap, s), 0) << gap;
        EXPECT_EQ(s, "") << gap;
    }
}

TEST(Application, StringTableHoldsExactlyTheProgramsEntries) {
    int count = 0;
    std::string s;
    for (uint32_t n = 0; n < 1000; ++n) count += SharedApp().LoadString(n, s);
    EXPECT_EQ(count, 189);
    EXPECT_EQ(SharedApp().LoadString(315, s), 1);
    EXPECT_FALSE(s.empty());
    EXPECT_EQ(SharedApp().LoadString(325, s), 1);
    EXPECT_FALSE(s.empty());
    // The background tasks' failures, the filling tool's texts, the recovery
    // question and the empty window's texts.
    for (uint32_t n : {720u, 721u, 722u, 723u, 724u, 734u, 735u, 736u, 740u, 741u, 742u}) {
        EXPECT_EQ(SharedApp().LoadString(n, s), 1) << n;
        EXPECT_FALSE(s.empty()) << n;
    }
}

TEST(Application, Crc32TableIsTheIeeeTable) {
    const uint32_t* t = SharedApp().crc32Table;
    EXPECT_EQ(t[0], 0u);
    EXPECT_EQ(t[1], 0x77073096u);
    EXPECT_EQ(t[255], 0x2D02EF8Du);
    // The standard check value: CRC-32 of "123456789" is 0xCBF43926.
    uint32_t crc = ~mtxCrc32Update(t, 0xFFFFFFFFu, "123456789", 9);
    EXPECT_EQ(crc, 0xCBF43926u);
}

TEST(Application, StartDirectoryIsTheCurrentDirectory) {
    std::string cwd = mtxOs::CurrentDirectory();
    EXPECT_EQ(SharedApp().startDirectory, cwd == "/" ? "" : cwd);
    EXPECT_NE(SharedApp().startDirectory.back(), '/');
}

}  // namespace
