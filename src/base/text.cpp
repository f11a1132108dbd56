#include "base/text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace dovevid {

std::string LTrim(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && s[b] == ' ') ++b;
  return std::string(s.substr(b));
}

std::string RTrim(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && s[e - 1] == ' ') --e;
  return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) { return RTrim(LTrim(s)); }

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the number at the start of s (after optional blanks), 0 when
// there is none (a sign or a point without digits is no number).
size_t ScanNumber(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  bool digits = false;
  while (i < s.size() && IsDigit(s[i])) ++i, digits = true;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, digits = true;
  }
  if (!digits) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) ++j;
      i = j;
    }
  }
  return i;
}

// The value of the number ScanNumber found in the first `len` characters.
double ToDouble(std::string_view s, size_t len) {
  std::string_view n = s.substr(0, len);
  while (!n.empty() && n.front() == ' ') n.remove_prefix(1);
  if (!n.empty() && n.front() == '+') n.remove_prefix(1);
  double v = 0;
  if (std::from_chars(n.data(), n.data() + n.size(), v).ec == std::errc()) return v;
  // Beyond the range of a double: strtod's infinity or zero.
  return std::strtod(std::string(n).c_str(), nullptr);
}

}  // namespace

bool IsNumeric(std::string_view s) {
  const size_t len = ScanNumber(s);
  if (len == 0) return false;
  for (size_t i = len; i < s.size(); ++i) {
    if (s[i] != ' ') return false;
  }
  return true;
}

double Val(std::string_view s) {
  const size_t len = ScanNumber(s);
  return len == 0 ? 0.0 : ToDouble(s, len);
}

std::optional<double> ParseNumber(std::string_view s) {
  if (!IsNumeric(s)) return std::nullopt;
  return ToDouble(s, s.size());
}

long long RoundHalfEven(double v) {
  // A number read from a damaged file may be far beyond any whole number the
  // system keeps: clamp it rather than convert out of range.
  constexpr double kLimit = 9.0e18;
  if (!(v > -kLimit)) return v != v ? 0 : static_cast<long long>(-kLimit);
  if (v > kLimit) return static_cast<long long>(kLimit);
  // nearbyint follows the current rounding mode, which is to-nearest-even.
  return static_cast<long long>(std::nearbyint(v));
}

std::optional<bool> ParseBoolean(std::string_view s) {
  const std::string t = Trim(s);
  std::string lower;
  for (char c : t) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (lower == "true") return true;
  if (lower == "false") return false;
  if (auto n = ParseNumber(t)) return *n != 0;
  return std::nullopt;
}

bool LineReader::Next(std::string_view* line) {
  if (pos_ >= data_.size()) return false;
  const std::string_view rest = data_.substr(pos_);
  size_t end = std::string_view::npos;
  if (ends_ == Ends::kCrLf) {
    end = rest.find("\r\n");
  } else {
    // find_first_of would call memchr on "\r\n" for every byte of the line.
    const auto it = std::find_if(rest.begin(), rest.end(),
                                 [](char c) { return c == '\r' || c == '\n'; });
    if (it != rest.end()) end = static_cast<size_t>(it - rest.begin());
  }
  if (end == std::string_view::npos) {
    *line = rest;
    pos_ = data_.size();
    return true;
  }
  *line = rest.substr(0, end);
  const bool crlf = rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n';
  pos_ += end + (crlf ? 2 : 1);
  return true;
}

namespace {

std::vector<std::string> Split(std::string_view data, LineReader::Ends ends) {
  std::vector<std::string> lines;
  LineReader reader(data, ends);
  for (std::string_view line; reader.Next(&line);) lines.emplace_back(line);
  return lines;
}

}  // namespace

std::vector<std::string> SplitCrLf(std::string_view data) {
  return Split(data, LineReader::Ends::kCrLf);
}

std::vector<std::string> SplitAnyLineEnd(std::string_view data) {
  return Split(data, LineReader::Ends::kAny);
}

bool IsControlByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b < 0x20 || b == 0x7F;
}

std::string BlankControlBytes(std::string_view s, bool keep_tabs) {
  std::string out(s);
  for (char& c : out) {
    if (IsControlByte(c) && !(keep_tabs && c == '\t')) c = ' ';
  }
  return out;
}

namespace {

constexpr std::array<char, 256> UpperTable() {
  std::array<char, 256> table{};
  for (int c = 0; c < 256; ++c) {
    int u = c;
    if (c >= 'a' && c <= 'z') {
      u = c - 0x20;
    } else if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
      u = c - 0x20;
    } else if (c == 0x9A || c == 0x9C || c == 0x9E) {
      u = c - 0x10;
    } else if (c == 0xFF) {
      u = 0x9F;
    }
    table[static_cast<size_t>(c)] = static_cast<char>(u);
  }
  return table;
}
}  // namespace

namespace detail {
constexpr std::array<char, 256> kUpper1252 = UpperTable();
}  // namespace detail

std::string ToUpper1252(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = ToUpper1252(ch);
  return out;
}

}  // namespace dovevid
