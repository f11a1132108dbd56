// The VAT rates of codes A to E, read from KVVALIVA.txt in the application
// directory. Rates are in hundredths of a percent (2200 = 22 %).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/env.h"

namespace dovevid::sl {

inline constexpr char kVatRatesFileName[] = "KVVALIVA.txt";

// Entries 0 to 4 are codes A to E; entry 5 is not used.
using VatRates = std::array<std::int32_t, 6>;

// A 400, B 1000, C 1600, D 2200, E 0.
VatRates DefaultVatRates();

// The defaults, with A to D replaced by the first four numbers of the file
// (values separated by line ends or commas; anything else is skipped). E
// stays 0 whatever the file says. A missing file is written with the
// defaults; a file that cannot be read leaves the defaults in force.
// *stamp receives the stamp of the file the rates were read from, nothing
// when the file could not be read (so the next check reads it again).
VatRates LoadVatRates(Env& env, const std::string& app_dir,
                      std::optional<FileStamp>* stamp = nullptr);

// Writes codes A to E of `rates`, one per line, CR LF after each.
void WriteDefaultVatRates(Env& env, const std::string& app_dir,
                          const VatRates& rates = DefaultVatRates());

// The letter of the first code whose rate equals `rate` ("A" to "E") and its
// index 0 to 4 in *index; "" and *index untouched when no code has it.
std::string VatCodeOfRate(const VatRates& rates, std::int32_t rate, int* index);

}  // namespace dovevid::sl
