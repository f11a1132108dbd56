#include "base/text.h"

#include <gtest/gtest.h>

#include "base/datetime.h"
#include "base/env.h"
#include "fake_env.h"

namespace dovevid {
namespace {

TEST(Numbers, ValIsNumericRoundingAndBooleans) {
  // Val reads the leading number only; an exponent without digits is not part of it.
  const std::pair<const char*, double> vals[] = {{"500ms", 500}, {"  0.5", 0.5}, {".5", 0.5},
                                                 {"-3abc", -3},  {"abc", 0},     {"", 0},
                                                 {"1e3x", 1000}, {"2e", 2}};
  for (const auto& [text, value] : vals) EXPECT_EQ(Val(text), value) << text;
  // Blanks around a number, nothing else.
  for (const char* yes : {" 2 ", "-1 ", "2.5"}) EXPECT_TRUE(IsNumeric(yes)) << yes;
  for (const char* no : {"", "  ", ".", "-", "2x", "True"}) EXPECT_FALSE(IsNumeric(no)) << no;
  // Half to even; a number from a damaged file stays in range.
  const std::pair<double, long long> rounded[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {2.6, 3}};
  for (const auto& [x, n] : rounded) EXPECT_EQ(RoundHalfEven(x), n) << x;
  EXPECT_EQ(RoundHalfEven(4e32), 9000000000000000000LL);
  EXPECT_EQ(RoundHalfEven(-1e300 * 1e300), -9000000000000000000LL);
  const std::pair<const char*, std::optional<bool>> booleans[] = {
      {"True", true}, {"FALSE", false}, {" -1 ", true}, {"0", false}, {"yes", std::nullopt}};
  for (const auto& [text, value] : booleans) EXPECT_EQ(ParseBoolean(text), value) << text;
}

// Files the program writes end lines in CR LF only; hand-edited ones in any way.
TEST(Lines, CrLfOnlyOrAnyLineEnd) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(SplitCrLf("a\rb\r\n\033d\n\r\nlast"), (Lines{"a\rb", "\033d\n", "last"}));
  EXPECT_TRUE(SplitCrLf("").empty());
  EXPECT_EQ(SplitCrLf("\r\n\r\n"), (Lines{"", ""}));
  EXPECT_EQ(SplitAnyLineEnd("a\nb\r\nc\rd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitAnyLineEnd("x\r\n\r\n"), (Lines{"x", ""}));
}

TEST(Text, UpperCaseFollowsWindows1252) {
  EXPECT_EQ(ToUpper1252("abc xyz 1,2;"), "ABC XYZ 1,2;");
  // è (E8) -> È (C8); ÷ (F7) stays; ÿ (FF) -> Ÿ (9F); š (9A) -> Š (8A); œ (9C) -> Œ (8C).
  EXPECT_EQ(ToUpper1252("\xE8\xF7\xFF\x9A\x9C"), "\xC8\xF7\x9F\x8A\x8C");
  // Control bytes and capitals are not touched.
  EXPECT_EQ(ToUpper1252(std::string("\033a1\0\xC0", 5)), std::string("\033A1\0\xC0", 5));
}

TEST(Time, IsoParsingAndWaits) {
  DateTime t;
  ASSERT_TRUE(ParseIsoDateTime("2026-12-31T23:59:58", &t));
  EXPECT_EQ(t, (DateTime{2026, 12, 31, 23, 59, 58}));
  EXPECT_FALSE(ParseIsoDateTime("2026-13-01T00:00:00", &t));
  EXPECT_FALSE(ParseIsoDateTime("2026-12-31T23:59:58Z", &t));
  EXPECT_FALSE(ParseIsoDateTime("yesterday", &t));
  // Attendi waits in whole 50 ms steps and pumps after each.
  testing::FakeEnv env;
  Attendi(env, 120);
  EXPECT_EQ(env.slept_ms(), 100);
  EXPECT_EQ(env.pump_count(), 2);
  Attendi(env, 49);
  EXPECT_EQ(env.slept_ms(), 100);
}

}  // namespace
}  // namespace dovevid
