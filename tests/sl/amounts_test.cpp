#include "sl/amounts.h"

#include <gtest/gtest.h>

#include <limits>

namespace dovevid::sl {
namespace {

constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();

// The fault number a step raises, or -1 when it raises none.
template <typename F>
int FaultOf(F&& f) {
  try {
    f();
  } catch (const Fault& fault) {
    return fault.number;
  }
  return -1;
}

TEST(AmountsTest, HalvesGoToTheEvenCentForBothSigns) {
  EXPECT_EQ(DivideHalfEven(-497500, 1000), -498);
  EXPECT_EQ(DivideHalfEven(-498501, 1000), -499);
  EXPECT_EQ(DivideHalfEven(7, -2), -4);
}

TEST(AmountsTest, UnitPriceInExactDecimals) {
  // Rounded to three decimals of the currency first, then cut to the cent.
  EXPECT_EQ(UnitPriceCents("1999.51", 3), 200);  // 1.99951 -> 2.000
  EXPECT_EQ(UnitPriceCents("9.9995", 0), 1000);  // the carry adds a digit
  EXPECT_EQ(UnitPriceCents("2147483647", 2), kMax32);
  EXPECT_EQ(FaultOf([] { UnitPriceCents("2147483648", 2); }), 6);
  EXPECT_EQ(FaultOf([] { UnitPriceCents("99999999999999999999", 3); }), 6);
  EXPECT_EQ(FaultOf([] { UnitPriceCents("1.2.3", 2); }), 13);
}

TEST(AmountsTest, FieldNumbersAndCheckedArithmetic) {
  EXPECT_EQ(QuantityThousandths("1.001"), 1001);
  EXPECT_EQ(FaultOf([] { QuantityThousandths("2147484"); }), 6);
  EXPECT_EQ(PriceDecimals("9"), 3);
  EXPECT_EQ(PriceDecimals("2.5"), 2);
  EXPECT_EQ(FaultOf([] { PriceDecimals("."); }), 13);
  EXPECT_EQ(WholeCents("12.5"), 12);
  EXPECT_EQ(FaultOf([] { WholeCents("2147483648"); }), 6);
  EXPECT_EQ(FaultOf([] { WholeCents("1e400"); }), 13);
  EXPECT_EQ(OperatorNumber("0"), "00");
  EXPECT_EQ(ByteValue(255), 255);
  EXPECT_EQ(FaultOf([] { ByteValue(256); }), 5);
  EXPECT_EQ(FaultOf([] { CheckedNegate(kMin32); }), 6);
  EXPECT_EQ(CheckedSub(-2000000000, 147483648), kMin32);
}

TEST(AmountsTest, PercentagesRoundInTwoSteps) {
  EXPECT_EQ(PercentAdjustmentCents(250, "1"), 3);         // 2.5: halves away from zero
  EXPECT_EQ(PercentAdjustmentCents(299, "0.50"), 2);      // 1.495 -> 1.50 -> 2
  EXPECT_EQ(PercentAdjustmentCents(250, "100"), 250);
  EXPECT_EQ(FaultOf([] { PercentAdjustmentCents(2000000000, "200"); }), 6);
  EXPECT_EQ(FaultOf([] { TaxableCents(100, -10000); }), 11);
}

}  // namespace
}  // namespace dovevid::sl
