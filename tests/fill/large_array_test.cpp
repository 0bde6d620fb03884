#include <gtest/gtest.h>

#include <cstdint>

#include "fill/large_array.h"

namespace {

TEST(LargeArray, BlocksReadAsZerosAndHoldWhatIsWritten) {
    // One size from the heap, two from whole (huge) pages, one not a multiple of a page.
    for (size_t count : {size_t(1000), size_t(3) << 20, (size_t(5) << 20) + 123}) {
        mcvLargeArray<uint32_t> a;
        EXPECT_FALSE(a);
        a.allocate(count);
        ASSERT_TRUE(a);
        // Whole pages for large arrays.
        if (count * 4 >= (size_t(1) << 20)) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(a.get()) % 4096, 0u);
        }
        for (size_t i = 0; i < count; i += 1013) ASSERT_EQ(a[i], 0u);
        EXPECT_EQ(a[count - 1], 0u);
        for (size_t i = 0; i < count; ++i) a[i] = uint32_t(i * 7);
        for (size_t i = 0; i < count; i += 997) ASSERT_EQ(a[i], uint32_t(i * 7));
        mcvLargeArray<uint32_t> moved = std::move(a);
        EXPECT_FALSE(a);
        EXPECT_EQ(moved[count - 1], uint32_t((count - 1) * 7));
        // Reallocating gives a fresh, zeroed block.
        moved.allocate(count / 2);
        EXPECT_EQ(moved[count / 2 - 1], 0u);
    }
}

TEST(LargeArray, EmptyRequestStillGivesAnElement) {
    mcvLargeArray<float> a;
    a.allocate(0);
    ASSERT_TRUE(a);
    EXPECT_EQ(a[0], 0.0f);
}

}  // namespace
