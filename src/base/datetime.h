// Local wall-clock time as the job files and logs print it.
#pragma once

#include <string>

namespace dovevid {

struct DateTime {
  int year = 2000;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;

  friend bool operator==(const DateTime&, const DateTime&) = default;
};

// "DD-MM-YYYY hh:mm:ss", whatever the locale's separators are.
std::string FormatTimestamp(const DateTime& t);

// Parses "YYYY-MM-DDTHH:MM:SS" (the form the command line takes); false when
// the text is not such a time.
bool ParseIsoDateTime(const std::string& text, DateTime* out);

}  // namespace dovevid
