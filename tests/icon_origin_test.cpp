// tests/icon_origin_test.cpp: the icon of a minimised main window sits centred, with
// divisions that truncate toward zero.
#include <gtest/gtest.h>

#include "ui/icon_origin.h"

namespace {

TEST(CentreIcon, CentresAndTruncatesTowardZero) {
    IconOrigin origin = CentreIcon(160, 100, 32, 32);
    EXPECT_EQ(64, origin.x); // (160 - 32 + 1) / 2 = 64.5
    EXPECT_EQ(34, origin.y); // (100 - 32 + 1) / 2 = 34.5
    origin = CentreIcon(33, 32, 32, 32);
    EXPECT_EQ(1, origin.x);
    EXPECT_EQ(0, origin.y);
    // Smaller than the icon, as a minimised window's empty client area is today.
    origin = CentreIcon(0, 0, 32, 32);
    EXPECT_EQ(-15, origin.x);
    EXPECT_EQ(-15, origin.y);
    origin = CentreIcon(1, 0, 48, 48);
    EXPECT_EQ(-23, origin.x);
    EXPECT_EQ(-23, origin.y);
}

} // namespace
