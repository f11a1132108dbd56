#include "base/datetime.h"

#include <fmt/format.h>

#include <cstdio>

namespace dovevid {

std::string FormatTimestamp(const DateTime& t) {
  return fmt::format("{:02}-{:02}-{:04} {:02}:{:02}:{:02}", t.day, t.month, t.year, t.hour,
                     t.minute, t.second);
}

bool ParseIsoDateTime(const std::string& text, DateTime* out) {
  DateTime t;
  char sep = 0;
  int consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &t.year, &t.month, &t.day, &sep,
                  &t.hour, &t.minute, &t.second, &consumed) != 7 ||
      static_cast<size_t>(consumed) != text.size() || (sep != 'T' && sep != ' ')) {
    return false;
  }
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
      t.second > 59 || t.hour < 0 || t.minute < 0 || t.second < 0) {
    return false;
  }
  *out = t;
  return true;
}

}  // namespace dovevid
