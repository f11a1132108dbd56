// Number and text formatting shared by the SL renderers: amounts in cents,
// the two-step rounding of percentage adjustments, percentages in hundredths.
// (The "DD-MM-YYYY hh:mm:ss" timestamp is FormatTimestamp in base/datetime.h.)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dovevid::sl {

// Cents as the receipts print them: optional "-", whole units without
// thousands separator, ",", exactly two decimals ("0,00", "-0,05", "1234,56").
std::string FormatCents(std::int64_t cents);

// Rounds a decimal text with "," as separator to two decimals, half up on the
// third: "24,874" gives "24,87", "24,875" gives "24,88", "0,995" gives "1".
// The 0.01 is added to the signed value, so "-24,875" gives "-24,86". A text
// without "," comes back unchanged; so does one whose first two decimals do
// not form a number (nothing to round).
std::string RoundToCentsText(std::string_view text);

// A percentage with "." as decimal point, as the text of a whole number of
// hundredths of a percent: "5" gives "500", "10" and "100" give "1000" and
// "10000", "10.5" gives "1050", "0.5" gives "050".
std::string PercentToHundredths(std::string_view text);

// The text with its first "." replaced by ",".
std::string PointToComma(std::string_view text);

}  // namespace dovevid::sl
