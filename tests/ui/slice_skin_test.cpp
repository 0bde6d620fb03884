// SliceSkin against the layout that drew the skin: random grids of pieces
// between separator lines must come back as exactly their rectangles.
#include <gtest/gtest.h>

#include <random>

#include "image/image.h"
#include "tests/ui/ui_test_support.h"
#include "ui/profile.h"

namespace {

constexpr uint32_t kSeparator = 0xFFFF00FF;

TEST(SliceSkin, FindsEveryPieceOfRandomGrids) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<RECT> expected;
        // Bands of pieces, each below a separator row.
        int bands = 1 + int(random() % 4), y = 1;
        std::vector<std::vector<std::pair<int, int>>> layout;  // per band: (x0, x1)
        std::vector<std::pair<int, int>> bandRows;
        int width = 1;
        for (int b = 0; b < bands; ++b) {
            int height = 1 + int(random() % 9);
            int pieces = 1 + int(random() % 4), x = 0;
            std::vector<std::pair<int, int>> row;
            for (int p = 0; p < pieces; ++p) {
                int pw = 1 + int(random() % 7);
                row.push_back({x, x + pw});
                x += pw + 1;  // a separator column between pieces
            }
            width = std::max(width, x);
            layout.push_back(row);
            bandRows.push_back({y, y + height});
            y += height + 1;
        }
        int height = y;
        mtxImage skin(width, height);
        skin.Create(width, height, kSeparator);
        for (int b = 0; b < bands; ++b)
            for (auto [x0, x1] : layout[size_t(b)]) {
                // A piece may end above the band's bottom (a shorter piece).
                int y0 = bandRows[size_t(b)].first, y1 = bandRows[size_t(b)].second;
                if (x0 > 0 && random() % 3 == 0) y1 = y0 + 1 + int(random() % (y1 - y0));
                for (int py = y0; py < y1; ++py)
                    for (int px = x0; px < x1; ++px)
                        skin.At(px, py) = 0xFF000000 | uint32_t(random() % 0xFF00FE);
                expected.push_back({x0, y0, x1, y1});
            }
        std::vector<RECT> got = {{1, 2, 3, 4}};  // emptied first
        mtxIEProfile::SliceSkin(skin, got);
        ASSERT_EQ(got.size(), expected.size()) << "round " << round;
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(ui_test::Str(got[i]), ui_test::Str(expected[i])) << "round " << round;
    }
}

TEST(SliceSkin, APictureOfOnlyTheSeparatorHasNoPieces) {
    mtxImage skin(8, 8);
    skin.Create(8, 8, kSeparator);
    std::vector<RECT> got;
    mtxIEProfile::SliceSkin(skin, got);
    EXPECT_TRUE(got.empty());
    mtxImage empty(0, 0);
    mtxIEProfile::SliceSkin(empty, got);
    EXPECT_TRUE(got.empty());
}

}  // namespace
