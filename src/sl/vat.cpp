#include "sl/vat.h"

#include <cmath>
#include <limits>
#include <string_view>

#include "base/text.h"

namespace dovevid::sl {

VatRates DefaultVatRates() { return {400, 1000, 1600, 2200, 0, 0}; }

VatRates LoadVatRates(Env& env, const std::string& app_dir, std::optional<FileStamp>* stamp) {
  std::optional<FileStamp> unused;
  if (stamp == nullptr) stamp = &unused;
  VatRates rates = DefaultVatRates();
  const std::string path = JoinPath(app_dir, kVatRatesFileName);
  // Stamped before the read: a change made while reading shows at the next check.
  *stamp = env.Stamp(path);
  if (!*stamp) {
    WriteDefaultVatRates(env, app_dir, rates);
    *stamp = env.Stamp(path);
    return rates;
  }
  std::string data;
  if (!env.ReadFile(path, &data).ok()) {
    stamp->reset();
    return rates;
  }

  size_t taken = 0;
  size_t start = 0;
  while (start <= data.size() && taken < 4) {
    size_t end = data.find_first_of(",\r\n", start);
    if (end == std::string::npos) end = data.size();
    const std::string_view value = std::string_view(data).substr(start, end - start);
    if (auto number = ParseNumber(value)) {
      const double rounded = std::nearbyint(*number);
      // A rate that no 32-bit entry can hold is no rate; skip it like text.
      if (rounded >= std::numeric_limits<std::int32_t>::min() &&
          rounded <= std::numeric_limits<std::int32_t>::max()) {
        rates[taken++] = static_cast<std::int32_t>(rounded);
      }
    }
    // A CR LF pair ends one value, not two.
    if (end + 1 < data.size() && data[end] == '\r' && data[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return rates;
}

void WriteDefaultVatRates(Env& env, const std::string& app_dir, const VatRates& rates) {
  std::string text;
  for (size_t i = 0; i < 5; ++i) text += std::to_string(rates[i]) + "\r\n";
  // A directory that cannot take the file leaves the defaults in memory only.
  (void)env.WriteFile(JoinPath(app_dir, kVatRatesFileName), text);
}

std::string VatCodeOfRate(const VatRates& rates, std::int32_t rate, int* index) {
  for (int i = 0; i < 5; ++i) {
    if (rates[static_cast<size_t>(i)] == rate) {
      *index = i;
      return std::string(1, static_cast<char>('A' + i));
    }
  }
  return "";
}

}  // namespace dovevid::sl
