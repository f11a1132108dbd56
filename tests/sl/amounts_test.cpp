#include "sl/amounts.h"

#include <gtest/gtest.h>

namespace dovevid::sl {
namespace {

// The fault a step raises, or -1 when it raises none.
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
  EXPECT_EQ(DivideHalfEven(497500, 1000), 498);
  EXPECT_EQ(DivideHalfEven(498500, 1000), 498);
  EXPECT_EQ(DivideHalfEven(-497500, 1000), -498);
  EXPECT_EQ(DivideHalfEven(-498500, 1000), -498);
  EXPECT_EQ(DivideHalfEven(-498501, 1000), -499);
  EXPECT_EQ(DivideHalfEven(-498499, 1000), -498);
  EXPECT_EQ(DivideHalfEven(7, -2), -4);
  EXPECT_EQ(SaleAmount(3000000, 1000), 3000000);  // product beyond 32 bits
  EXPECT_EQ(FaultOf([] { SaleAmount(3000000, 1000000); }), 6);
  EXPECT_EQ(SaleAmount(std::numeric_limits<std::int32_t>::max(), 1000),
            std::numeric_limits<std::int32_t>::max());
}

TEST(AmountsTest, UnitPriceInExactDecimals) {
  EXPECT_EQ(UnitPriceCents("0", 3), 0);
  // Rounded to three decimals of the currency first, halves to even:
  // 1.2345 -> 1.234 (123 cents), 1.99951 -> 2.000 (200), 0.0105 -> 0.010 (1).
  EXPECT_EQ(UnitPriceCents("1234.5", 3), 123);
  EXPECT_EQ(UnitPriceCents("1999.51", 3), 200);
  EXPECT_EQ(UnitPriceCents("9.9995", 0), 1000);  // the carry adds a digit
  EXPECT_EQ(UnitPriceCents("0.0005", 0), 0);
  EXPECT_EQ(UnitPriceCents("0.0015", 0), 0);
  EXPECT_EQ(UnitPriceCents("0.0105", 0), 1);
  EXPECT_EQ(UnitPriceCents("2147483647", 2), 2147483647);
  EXPECT_EQ(FaultOf([] { UnitPriceCents("2147483648", 2); }), 6);
  EXPECT_EQ(FaultOf([] { UnitPriceCents("99999999999999999999", 3); }), 6);
  EXPECT_EQ(FaultOf([] { UnitPriceCents("1e+20", 1); }), 6);
  EXPECT_EQ(FaultOf([] { UnitPriceCents("1.2.3", 2); }), 13);
}

TEST(AmountsTest, FieldNumbers) {
  EXPECT_EQ(QuantityThousandths("2.500"), 2500);
  EXPECT_EQ(QuantityThousandths("1.001"), 1001);
  EXPECT_EQ(FaultOf([] { QuantityThousandths("2147484"); }), 6);
  EXPECT_EQ(PriceDecimals("9"), 3);
  EXPECT_EQ(PriceDecimals("2.5"), 2);
  EXPECT_EQ(PriceDecimals("1e300"), 3);
  EXPECT_EQ(FaultOf([] { PriceDecimals("."); }), 13);
  EXPECT_EQ(WholeCents("500"), 500);
  EXPECT_EQ(WholeCents("12.5"), 12);
  EXPECT_EQ(FaultOf([] { WholeCents("2147483648"); }), 6);
  EXPECT_EQ(FaultOf([] { WholeCents("1e400"); }), 13);
  EXPECT_EQ(OperatorNumber("0"), "00");
  EXPECT_EQ(ByteValue(3), 3);
  EXPECT_EQ(ByteValue(255), 255);
  EXPECT_EQ(FaultOf([] { ByteValue(256); }), 5);
  EXPECT_EQ(FaultOf([] { CheckedNegate(std::numeric_limits<std::int32_t>::min()); }), 6);
  EXPECT_EQ(FaultOf([] { CheckedAdd(2000000000, 2000000000); }), 6);
  EXPECT_EQ(CheckedSub(-2000000000, 147483648), std::numeric_limits<std::int32_t>::min());
}

TEST(AmountsTest, PercentagesRoundInTwoSteps) {
  EXPECT_EQ(PercentAdjustmentCents(244, "1.00"), 2);  // 2.44
  EXPECT_EQ(PercentAdjustmentCents(45, "1"), 0);      // 0.45
  EXPECT_EQ(PercentAdjustmentCents(150, "1"), 2);     // 1.5: halves away from zero
  // 1.495: the third decimal lifts it to 1.50 first, then 2.
  EXPECT_EQ(PercentAdjustmentCents(299, "0.50"), 2);
  EXPECT_EQ(PercentAdjustmentCents(-199, "12.50"), -25);  // -24.875 -> -24.86 -> -25
  EXPECT_EQ(PercentAdjustmentCents(250, "100"), 250);     // a whole percentage of three digits
  EXPECT_EQ(FaultOf([] { PercentAdjustmentCents(2000000000, "200"); }), 6);
}

TEST(AmountsTest, TaxableAmounts) {
  EXPECT_EQ(TaxableCents(2147483647, 2200), 1760232498);
  EXPECT_EQ(FaultOf([] { TaxableCents(100, -10000); }), 11);
}

}  // namespace
}  // namespace dovevid::sl
