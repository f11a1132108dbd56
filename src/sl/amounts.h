// The arithmetic of the SL renderers: amounts in signed 32-bit cents, computed
// exactly (integers and decimal digits, no binary fractions where the result
// is money) and checked for overflow. A step that cannot be computed throws
// Fault; the renderers catch it, report it and go on with the next step
// (Fault never leaves the sl module).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dovevid::sl {

// A run-time fault inside a rendering step, with the numbers and texts the
// operator messages and the trace log show.
struct Fault {
  int number;
  const char* description;
};
inline constexpr Fault kInvalidCall{5, "Invalid procedure call or argument"};
inline constexpr Fault kOverflow{6, "Overflow"};
inline constexpr Fault kSubscriptOutOfRange{9, "Subscript out of range"};
inline constexpr Fault kDivisionByZero{11, "Division by zero"};
inline constexpr Fault kTypeMismatch{13, "Type mismatch"};

[[noreturn]] void ThrowInvalidCall();

std::int32_t CheckedInt32(std::int64_t v);
std::int32_t CheckedAdd(std::int32_t a, std::int32_t b);
std::int32_t CheckedSub(std::int32_t a, std::int32_t b);
std::int32_t CheckedNegate(std::int32_t a);

// n / d rounded to the nearest integer, halves to the even one; d != 0.
std::int64_t DivideHalfEven(std::int64_t n, std::int64_t d);

// A field value as whole cents ("500" gives 500, "12.5" gives 12).
std::int32_t WholeCents(std::string_view value);

// Q x 1000 rounded to an integer ("2.500" gives 2500).
std::int32_t QuantityThousandths(std::string_view q);

// The Z field: rounded, 3 when above 3.
int PriceDecimals(std::string_view z);

// The unit price in cents of a P field with `decimals` decimals: with 2 its
// integer part, otherwise P x 10^-decimals rounded to three decimals, times
// 100, integer part, all in decimal ("290" with 3 gives 29).
std::int32_t UnitPriceCents(std::string_view p, int decimals);

// unit price x thousandths / 1000, to the cent, halves to even; the product
// is formed in 64 bits, the result must fit 32.
std::int32_t SaleAmount(std::int32_t unit_price, std::int64_t thousandths);

// A percentage with exactly two decimals: "10" gives "10.00".
std::string PercentLabel(std::string_view percent);

// base / 100 x hundredths / 100 cents, rounded first to two decimals of a
// cent (half up on the third, RoundToCentsText) and then to a whole cent,
// halves away from zero (199 at 12.5 % gives 25).
std::int32_t PercentAdjustmentCents(std::int32_t base, std::string_view percent);

// bucket x 10000 / (10000 + rate), to the cent, halves to even, in 64 bits.
std::int32_t TaxableCents(std::int32_t bucket, std::int32_t rate);

// The operator number of OPER: at least two digits, cut to two ("7" gives "07").
std::string OperatorNumber(std::string_view c);

// A count written as one byte (CUTT's feed lines); above 255 is a fault.
std::uint8_t ByteValue(double n);

// AmountLine of render.h, or kInvalidCall when the label leaves no room.
std::string AmountLineOrFault(std::string_view label, std::string_view amount, int width);

}  // namespace dovevid::sl
