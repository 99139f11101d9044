#include <gtest/gtest.h>

#include <cmath>

#include "engine/core/saturate.h"

TEST(Saturate, TruncatesTowardsZeroAndHoldsToTheRange) {
    EXPECT_EQ(saturate_cast<int32_t>(-2.9f), -2);
    EXPECT_EQ(saturate_cast<uint8_t>(-2.9f), 0);
    EXPECT_EQ(saturate_cast<uint8_t>(256.0f), 255);
    EXPECT_EQ(saturate_cast<int32_t>(6.46e21f), INT32_MAX);
    EXPECT_EQ(saturate_cast<int32_t>(-INFINITY), INT32_MIN);
    EXPECT_EQ(saturate_cast<int32_t>(2147483647.9), INT32_MAX);
    EXPECT_EQ(saturate_cast<int64_t>(-9.3e18f), INT64_MIN);
    // Read at run time: folded, a NaN or 2^31 would not show what the conversion does with it.
    volatile float nan = NAN, two31 = 2147483648.0f;
    volatile double wide = 2147483648.0;
    EXPECT_EQ(saturate_cast<int32_t>(nan), 0);
    EXPECT_EQ(saturate_cast<int32_t>(two31), INT32_MAX);
    EXPECT_EQ(saturate_cast<int32_t>(wide), INT32_MAX);
}
