#include "base/number.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(Number, IntegerBases) {
    EXPECT_STREQ(mtxNumberINT(-5).Base10(), "-5");
    EXPECT_STREQ(mtxNumberINT(-5).Base16(), "fffffffb");
    EXPECT_STREQ(mtxNumberINT(-1).Base2(), "11111111111111111111111111111111");
    EXPECT_STREQ(mtxNumberINT(INT_MIN).Base10(), "-2147483648");
    EXPECT_STREQ(mtxNumberINT(0).Base10(), "0");
    EXPECT_STREQ(mtxNumberUINT(10).Base2(), "1010");
    EXPECT_STREQ(mtxNumberUINT(0xFFFFFFFFu).Base10(), "4294967295");
    EXPECT_STREQ(mtxNumberUINT(0xABCu).Base16(), "abc");
}

TEST(Number, FloatKeepsExactlyTheDecimalsAsked) {
    EXPECT_STREQ(mtxNumberFLOAT(12).Text(5, 1), "12.0");
    EXPECT_STREQ(mtxNumberFLOAT(33.3333).Text(5, 1), "33.3");
    EXPECT_STREQ(mtxNumberFLOAT(-0.25).Text(5, 1), "-0.2");
    EXPECT_STREQ(mtxNumberFLOAT(7).Text(5, 3), "7.000");
    EXPECT_STREQ(mtxNumberFLOAT(123456).Text(5, 1), "1.2");  // 1.2346e+05: cut after the point
    mtxNumberFLOAT f(1.5);
    EXPECT_EQ(f.Base10(), nullptr);
}

}  // namespace
