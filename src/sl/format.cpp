#include "sl/format.h"

#include <cstdlib>
#include <limits>

#include "base/text.h"

namespace dovevid::sl {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads "[-|+]digits[,d[d]]" as hundredths. False when the text is anything
// else or too large to hold.
bool ReadHundredths(std::string_view u, std::int64_t* out) {
  size_t i = 0;
  bool negative = false;
  if (i < u.size() && (u[i] == '-' || u[i] == '+')) negative = u[i++] == '-';
  std::int64_t whole = 0;
  bool digits = false;
  constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 1000;
  while (i < u.size() && IsDigit(u[i])) {
    if (whole > kLimit) return false;
    whole = whole * 10 + (u[i++] - '0');
    digits = true;
  }
  if (i >= u.size() || u[i] != ',') return false;
  ++i;
  std::int64_t fraction = 0;
  int decimals = 0;
  while (i < u.size() && IsDigit(u[i])) {
    fraction = fraction * 10 + (u[i++] - '0');
    ++decimals;
    digits = true;
  }
  if (i != u.size() || !digits) return false;
  if (decimals == 1) fraction *= 10;
  const std::int64_t value = whole * 100 + fraction;
  *out = negative ? -value : value;
  return true;
}

// Hundredths written back with "," and without trailing zeros ("24,9", "1").
std::string HundredthsText(std::int64_t h) {
  const bool negative = h < 0;
  const std::uint64_t a = negative ? 0 - static_cast<std::uint64_t>(h) : static_cast<std::uint64_t>(h);
  std::string text = (negative ? "-" : "") + std::to_string(a / 100);
  const unsigned fraction = static_cast<unsigned>(a % 100);
  if (fraction != 0) {
    text += ',';
    text += static_cast<char>('0' + fraction / 10);
    if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
  }
  return text;
}

}  // namespace

std::string FormatCents(std::int64_t cents) {
  if (cents == 0) return "0,00";
  // Unsigned, so the most negative value has an absolute value too.
  const std::uint64_t a =
      cents < 0 ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
  std::string digits = std::to_string(a);
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
  std::string text = cents < 0 ? "-" : "";
  text += digits.substr(0, digits.size() - 2);
  text += ',';
  text += digits.substr(digits.size() - 2);
  return text;
}

std::string RoundToCentsText(std::string_view text) {
  const size_t comma = text.find(',');
  if (comma == std::string_view::npos) return std::string(text);
  const std::string_view u = text.substr(0, comma + 3);  // clamped to the end
  const size_t third = comma + 3;
  const bool round_up = third < text.size() && IsDigit(text[third]) && text[third] >= '5';
  if (!round_up) return std::string(u);
  std::int64_t hundredths = 0;
  if (!ReadHundredths(u, &hundredths)) return std::string(u);
  // Decimal arithmetic: 24,87 + 0,01 is 24,88 exactly, never 24,879999...
  return HundredthsText(hundredths + 1);
}

std::string PercentToHundredths(std::string_view text) {
  if (text.size() < 2) {
    return std::to_string(static_cast<long long>(Val(text)) * 100);
  }
  const size_t point = text.find('.');
  if (point == std::string_view::npos) {
    // A whole percentage of any length: "100" is the whole amount, not none.
    return std::string(text) + "00";
  }
  // Exactly two decimals: "10." means 10 %, and a third decimal would shift
  // the value a hundredfold.
  std::string decimals(text.substr(point + 1));
  decimals.resize(2, '0');
  return std::string(text.substr(0, point)) + decimals;
}

std::string PointToComma(std::string_view text) {
  std::string out(text);
  const size_t point = out.find('.');
  if (point != std::string::npos) out[point] = ',';
  return out;
}

}  // namespace dovevid::sl
