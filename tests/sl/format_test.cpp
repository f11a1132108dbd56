#include "sl/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace dovevid::sl {
namespace {

TEST(FormatTest, RoundToCentsTextRoundsHalfUpOnTheThirdDecimal) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"24,874", "24,87"},   {"24,875", "24,88"}, {"24,8751234", "24,88"},
      {"0,995", "1"},        {"2,895", "2,9"},    {"99,999", "100"},  // trailing zeros dropped
      {"-24,875", "-24,86"}, {"-0,005", "0,01"},                      // negatives towards zero
      {"1,5", "1,5"},        {"105", "105"},      {"2,00", "2,00"},
      {"2,004", "2,00"},     {"3,12x", "3,12"},   {"ab,cd7", "ab,cd"},
  };
  for (const auto& c : cases) EXPECT_EQ(RoundToCentsText(c.in), c.out) << c.in;
}

TEST(FormatTest, CentsAndPercentTexts) {
  EXPECT_EQ(FormatCents(std::numeric_limits<std::int32_t>::min()), "-21474836,48");
  EXPECT_EQ(FormatCents(std::numeric_limits<std::int64_t>::min()), "-92233720368547758,08");
  const std::pair<const char*, const char*> cases[] = {
      {"5", "500"},     {"100", "10000"},                    // the whole amount, not none
      {"10.5", "1050"}, {"10.", "1000"},  {"7.125", "712"},  // cut to two decimals
      {"", "0"}};
  for (const auto& [in, out] : cases) EXPECT_EQ(PercentToHundredths(in), out) << in;
  EXPECT_EQ(PointToComma("1.2.3"), "1,2.3");
}

}  // namespace
}  // namespace dovevid::sl
