// Text and number helpers with the conventions of the system's files: 8-bit
// Windows-1252 text, CR LF line ends, blanks (not tabs) as padding, "." as the
// decimal point of numbers in files.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dovevid {

std::string Trim(std::string_view s);   // blanks on both sides
std::string LTrim(std::string_view s);  // leading blanks
std::string RTrim(std::string_view s);  // trailing blanks

// Whether the whole text (blanks around it allowed) is one number: optional
// sign, digits with at most one ".", optional exponent.
bool IsNumeric(std::string_view s);

// The numeric value of the leading number of the text, 0 when there is none:
// leading blanks skipped, optional sign, digits with one ".", optional
// exponent; the rest of the text is ignored ("500ms" gives 500).
double Val(std::string_view s);

// The numeric value when the text is a number (IsNumeric), else nothing.
std::optional<double> ParseNumber(std::string_view s);

// Rounds half to even, as the system does when it turns a number into a whole
// one (2.5 gives 2, 3.5 gives 4). Values beyond +-9e18 are clamped there.
long long RoundHalfEven(double v);

// "True"/"False" (any case) or a number (non-zero is true); nothing otherwise.
std::optional<bool> ParseBoolean(std::string_view s);

// The lines of a text one by one, without copying it. With kCrLf only CR LF
// ends a line (a lone CR or LF stays inside it); with kAny CR LF, LF and CR
// each end one. A last line without an end counts when it is not empty.
class LineReader {
 public:
  enum class Ends { kCrLf, kAny };
  LineReader(std::string_view data, Ends ends) : data_(data), ends_(ends) {}
  // False after the last line.
  bool Next(std::string_view* line);

 private:
  std::string_view data_;
  Ends ends_;
  size_t pos_ = 0;
};

// Splits at CR LF only: a lone CR or LF stays inside its line. A last line
// without CR LF counts when it is not empty.
std::vector<std::string> SplitCrLf(std::string_view data);

// Splits at CR LF, LF or CR, for files a person may have edited by hand.
std::vector<std::string> SplitAnyLineEnd(std::string_view data);

// A control character (below 0x20, or 0x7F): a printer takes it as a command.
bool IsControlByte(char c);

// `s` with every control byte made a blank, so a text can only be printed,
// never act on the printer. With `keep_tabs` the tabs stay.
std::string BlankControlBytes(std::string_view s, bool keep_tabs = false);

// Upper case in Windows-1252: a-z, the accented letters and the few letters
// of 0x9A..0xFF whose capitals live in 0x8A..0x9F.
std::string ToUpper1252(std::string_view s);
namespace detail {
extern const std::array<char, 256> kUpper1252;
}
inline char ToUpper1252(char c) { return detail::kUpper1252[static_cast<unsigned char>(c)]; }

}  // namespace dovevid
