#include "sl/amounts.h"

#include <fmt/format.h>

#include <cmath>
#include <limits>
#include <optional>

#include "base/text.h"
#include "sl/fields.h"
#include "sl/format.h"
#include "sl/render.h"

namespace dovevid::sl {

namespace {

constexpr std::int64_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();

double NumberOrFault(std::string_view s) {
  const auto v = ParseNumber(s);
  if (!v || !std::isfinite(*v)) throw kTypeMismatch;
  return *v;
}

// Rounds half to even into 32 bits, checking the range first.
std::int32_t RoundToInt32(double v) {
  if (!(v > static_cast<double>(kMin32) - 0.5 && v < static_cast<double>(kMax32) + 0.5)) {
    throw kOverflow;
  }
  return CheckedInt32(RoundHalfEven(v));
}

// A decimal number as digits x 10^exponent, without loss.
struct Decimal {
  bool negative = false;
  std::string digits;  // no leading zeros; empty for zero
  int exponent = 0;
};

Decimal ParseDecimal(std::string_view s) {
  if (!IsNumeric(s)) throw kTypeMismatch;
  const std::string t = Trim(s);
  Decimal d;
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) d.negative = t[i++] == '-';
  bool point = false;
  for (; i < t.size() && t[i] != 'e' && t[i] != 'E'; ++i) {
    if (t[i] == '.') {
      point = true;
      continue;
    }
    d.digits += t[i];
    if (point) --d.exponent;
  }
  if (i < t.size()) {
    const double e = Val(std::string_view(t).substr(i + 1));
    if (std::fabs(e) > 1000) throw kOverflow;
    d.exponent += static_cast<int>(e);
  }
  const size_t first = d.digits.find_first_not_of('0');
  d.digits.erase(0, first == std::string::npos ? d.digits.size() : first);
  return d;
}

// digits x 10^exponent truncated towards zero, as a 64-bit value that must
// fit 32 bits.
std::int32_t TruncatedInt32(std::string digits, int exponent, bool negative) {
  if (exponent < 0) {
    const size_t drop = static_cast<size_t>(-exponent);
    digits.erase(digits.size() - std::min(drop, digits.size()));
  } else if (!digits.empty()) {
    if (digits.size() + static_cast<size_t>(exponent) > 11) throw kOverflow;
    digits.append(static_cast<size_t>(exponent), '0');
  }
  if (digits.size() > 11) throw kOverflow;
  std::int64_t v = 0;
  for (char c : digits) v = v * 10 + (c - '0');
  return CheckedInt32(negative ? -v : v);
}

// Rounds digits x 10^exponent to `decimals` places, halves to even.
void RoundDecimal(Decimal& d, int decimals) {
  if (d.exponent >= -decimals) return;
  const size_t drop = static_cast<size_t>(-decimals - d.exponent);
  std::string kept = drop < d.digits.size() ? d.digits.substr(0, d.digits.size() - drop) : "";
  std::string dropped = drop < d.digits.size() ? d.digits.substr(d.digits.size() - drop)
                                               : std::string(drop - d.digits.size(), '0') + d.digits;
  d.exponent = -decimals;
  std::string half(dropped.size(), '0');  // 5000... as long as the dropped digits
  half[0] = '5';
  const int cmp = dropped.compare(half);
  const bool kept_odd = !kept.empty() && (kept.back() - '0') % 2 == 1;
  if (cmp > 0 || (cmp == 0 && kept_odd)) {
    // Add one to the kept digits.
    int i = static_cast<int>(kept.size()) - 1;
    while (i >= 0 && kept[static_cast<size_t>(i)] == '9') kept[static_cast<size_t>(i--)] = '0';
    if (i < 0) {
      kept.insert(kept.begin(), '1');
    } else {
      ++kept[static_cast<size_t>(i)];
    }
  }
  const size_t first = kept.find_first_not_of('0');
  kept.erase(0, first == std::string::npos ? kept.size() : first);
  d.digits = kept;
}

}  // namespace

void ThrowInvalidCall() { throw kInvalidCall; }

std::int32_t CheckedInt32(std::int64_t v) {
  if (v < kMin32 || v > kMax32) throw kOverflow;
  return static_cast<std::int32_t>(v);
}
std::int32_t CheckedAdd(std::int32_t a, std::int32_t b) {
  return CheckedInt32(static_cast<std::int64_t>(a) + b);
}
std::int32_t CheckedSub(std::int32_t a, std::int32_t b) {
  return CheckedInt32(static_cast<std::int64_t>(a) - b);
}
std::int32_t CheckedNegate(std::int32_t a) { return CheckedInt32(-static_cast<std::int64_t>(a)); }

std::int64_t DivideHalfEven(std::int64_t n, std::int64_t d) {
  if (d < 0) n = -n, d = -d;
  std::int64_t q = n / d;
  std::int64_t r = n % d;
  if (r < 0) --q, r += d;  // floor division: 0 <= r < d
  if (2 * r > d || (2 * r == d && q % 2 != 0)) ++q;
  return q;
}

std::int32_t WholeCents(std::string_view value) { return RoundToInt32(NumberOrFault(value)); }

std::int32_t QuantityThousandths(std::string_view q) {
  return RoundToInt32(NumberOrFault(q) * 1000);
}

int PriceDecimals(std::string_view z) {
  const double v = NumberOrFault(z);
  if (v > 3) return 3;
  // Normalisation drops the sign, so a negative count only comes from an
  // unnormalised record; it counts as none.
  if (v < 0) return 0;
  return static_cast<int>(RoundHalfEven(v));
}

std::int32_t UnitPriceCents(std::string_view p, int decimals) {
  Decimal d = ParseDecimal(p);
  if (decimals == 2) return TruncatedInt32(d.digits, d.exponent, d.negative);
  d.exponent -= decimals;  // now in currency units
  RoundDecimal(d, 3);
  return TruncatedInt32(d.digits, d.exponent + 2, d.negative);
}

std::int32_t SaleAmount(std::int32_t unit_price, std::int64_t thousandths) {
  return CheckedInt32(DivideHalfEven(static_cast<std::int64_t>(unit_price) * thousandths, 1000));
}

std::string PercentLabel(std::string_view percent) {
  std::string s(percent);
  const size_t point = s.find('.');
  if (point == std::string::npos) return s + ".00";
  s.resize(point + 3, '0');
  return s;
}

std::int32_t PercentAdjustmentCents(std::int32_t base, std::string_view percent) {
  const double hundredths = NumberOrFault(PercentToHundredths(percent));
  const double raw = static_cast<double>(base) / 100 * hundredths / 100;
  if (!std::isfinite(raw)) throw kOverflow;
  // The fifteen significant digits of the text form hide the binary error
  // (1 cent at 10.5 % is 0.10499999... in binary, 0.105 as text).
  const std::string rounded = RoundToCentsText(PointToComma(CanonicalNumber(raw)));
  std::string point_text = rounded;
  const size_t comma = point_text.find(',');
  if (comma != std::string::npos) point_text[comma] = '.';
  const double v = NumberOrFault(point_text);
  const double whole = std::round(v);  // halves away from zero
  if (!(whole >= static_cast<double>(kMin32) && whole <= static_cast<double>(kMax32))) {
    throw kOverflow;
  }
  return static_cast<std::int32_t>(whole);
}

std::int32_t TaxableCents(std::int32_t bucket, std::int32_t rate) {
  const std::int64_t divisor = 10000 + static_cast<std::int64_t>(rate);
  if (divisor == 0) throw kDivisionByZero;
  return CheckedInt32(DivideHalfEven(static_cast<std::int64_t>(bucket) * 10000, divisor));
}

std::string OperatorNumber(std::string_view c) {
  std::string text;
  if (const auto v = ParseNumber(c)) {
    text = fmt::format("{:02.0f}", std::round(*v));
  } else {
    text = std::string(c);
  }
  return text.substr(0, 2);
}

std::uint8_t ByteValue(double n) {
  if (!(n > -0.5 && n < 255.5)) throw kInvalidCall;
  const long long b = RoundHalfEven(n);
  if (b < 0 || b > 255) throw kInvalidCall;
  return static_cast<std::uint8_t>(b);
}

std::string AmountLineOrFault(std::string_view label, std::string_view amount, int width) {
  auto line = AmountLine(label, amount, width);
  if (!line) throw kInvalidCall;
  return *line;
}

}  // namespace dovevid::sl
