#include "sl/amounts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

namespace dovevid::sl {
namespace {

constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();

// A step that raises the fault numbered `n`.
auto Raises(int n) { return ::testing::Throws<Fault>(::testing::Field(&Fault::number, n)); }

TEST(AmountsTest, UnitPriceInExactDecimals) {
  // Rounded to three decimals of the currency first, then cut to the cent.
  EXPECT_EQ(UnitPriceCents("1999.51", 3), 200);  // 1.99951 -> 2.000
  EXPECT_EQ(UnitPriceCents("9.9995", 0), 1000);  // the carry adds a digit
  EXPECT_EQ(UnitPriceCents("2147483647", 2), std::numeric_limits<std::int32_t>::max());
  EXPECT_THAT([] { UnitPriceCents("2147483648", 2); }, Raises(6));
  EXPECT_THAT([] { UnitPriceCents("99999999999999999999", 3); }, Raises(6));
  EXPECT_THAT([] { UnitPriceCents("1.2.3", 2); }, Raises(13));
}

TEST(AmountsTest, FieldNumbersAndCheckedArithmetic) {
  EXPECT_EQ(QuantityThousandths("1.001"), 1001);
  EXPECT_THAT([] { QuantityThousandths("2147484"); }, Raises(6));
  EXPECT_EQ(PriceDecimals("9"), 3);
  EXPECT_EQ(PriceDecimals("2.5"), 2);
  EXPECT_THAT([] { PriceDecimals("."); }, Raises(13));
  EXPECT_EQ(WholeCents("12.5"), 12);
  EXPECT_THAT([] { WholeCents("2147483648"); }, Raises(6));
  EXPECT_THAT([] { WholeCents("1e400"); }, Raises(13));
  EXPECT_EQ(ByteValue(255), 255);
  EXPECT_THAT([] { ByteValue(256); }, Raises(5));
  EXPECT_THAT([] { CheckedNegate(kMin32); }, Raises(6));
  EXPECT_EQ(CheckedSub(-2000000000, 147483648), kMin32);
}

// Halves go to the even cent for both signs; percentages round in two steps.
TEST(AmountsTest, HalvesAndPercentages) {
  EXPECT_EQ(DivideHalfEven(-497500, 1000), -498);
  EXPECT_EQ(DivideHalfEven(-498501, 1000), -499);
  EXPECT_EQ(DivideHalfEven(7, -2), -4);
  EXPECT_EQ(PercentAdjustmentCents(250, "1"), 3);     // 2.5: halves away from zero
  EXPECT_EQ(PercentAdjustmentCents(299, "0.50"), 2);  // 1.495 -> 1.50 -> 2
  EXPECT_EQ(PercentAdjustmentCents(250, "100"), 250);
  EXPECT_THAT([] { PercentAdjustmentCents(2000000000, "200"); }, Raises(6));
  EXPECT_THAT([] { TaxableCents(100, -10000); }, Raises(11));
}

}  // namespace
}  // namespace dovevid::sl
