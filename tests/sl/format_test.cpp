#include "sl/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace dovevid::sl {
namespace {

TEST(FormatCents, ZeroSmallNegativeAndLargeAmounts) {
  EXPECT_EQ(FormatCents(0), "0,00");
  EXPECT_EQ(FormatCents(5), "0,05");
  EXPECT_EQ(FormatCents(-5), "-0,05");
  EXPECT_EQ(FormatCents(50), "0,50");
  EXPECT_EQ(FormatCents(100), "1,00");
  EXPECT_EQ(FormatCents(-100), "-1,00");
  EXPECT_EQ(FormatCents(123456), "1234,56");
  EXPECT_EQ(FormatCents(3000000), "30000,00");  // no thousands separator
}

TEST(FormatCents, ExtremeValuesKeepTheirSign) {
  EXPECT_EQ(FormatCents(std::numeric_limits<std::int32_t>::max()), "21474836,47");
  EXPECT_EQ(FormatCents(std::numeric_limits<std::int32_t>::min()), "-21474836,48");
  EXPECT_EQ(FormatCents(std::numeric_limits<std::int64_t>::min()), "-92233720368547758,08");
}

TEST(RoundToCentsText, KeepsTwoDecimalsAndRoundsHalfUpOnTheThird) {
  EXPECT_EQ(RoundToCentsText("24,874"), "24,87");
  EXPECT_EQ(RoundToCentsText("24,875"), "24,88");
  EXPECT_EQ(RoundToCentsText("24,8751234"), "24,88");
  EXPECT_EQ(RoundToCentsText("0,995"), "1");       // trailing zeros dropped
  EXPECT_EQ(RoundToCentsText("2,895"), "2,9");
  EXPECT_EQ(RoundToCentsText("99,999"), "100");
  EXPECT_EQ(RoundToCentsText("-24,875"), "-24,86");  // towards zero
  EXPECT_EQ(RoundToCentsText("-0,005"), "0,01");
}

TEST(RoundToCentsText, ShortOrCommaFreeTextsComeBackAsTheyAre) {
  EXPECT_EQ(RoundToCentsText("1,5"), "1,5");
  EXPECT_EQ(RoundToCentsText("105"), "105");
  EXPECT_EQ(RoundToCentsText("2,00"), "2,00");
  EXPECT_EQ(RoundToCentsText("2,004"), "2,00");
  EXPECT_EQ(RoundToCentsText("1E-05"), "1E-05");
  EXPECT_EQ(RoundToCentsText("3,12x"), "3,12");  // a non-digit third place counts as 0
  EXPECT_EQ(RoundToCentsText("ab,cd7"), "ab,cd");
}

TEST(PercentToHundredths, WholeAndDecimalPercentages) {
  EXPECT_EQ(PercentToHundredths("5"), "500");
  EXPECT_EQ(PercentToHundredths("10"), "1000");
  EXPECT_EQ(PercentToHundredths("100"), "10000");  // the whole amount, not none
  EXPECT_EQ(PercentToHundredths("10.5"), "1050");
  EXPECT_EQ(PercentToHundredths("0.5"), "050");
  EXPECT_EQ(PercentToHundredths("100.00"), "10000");
  EXPECT_EQ(PercentToHundredths("10."), "1000");
  EXPECT_EQ(PercentToHundredths("7.125"), "712");  // cut to two decimals
  EXPECT_EQ(PercentToHundredths(""), "0");
}

TEST(PointToComma, ReplacesOnlyTheFirstPoint) {
  EXPECT_EQ(PointToComma("24.875"), "24,875");
  EXPECT_EQ(PointToComma("1.2.3"), "1,2.3");
  EXPECT_EQ(PointToComma("105"), "105");
}

}  // namespace
}  // namespace dovevid::sl
