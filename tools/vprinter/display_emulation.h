// The virtual printer's customer display mode: a two-row display of 16 or 20
// columns that takes text and three control bytes: 0x0B cursor home, 0x0C
// clear (cursor home too), 0x0A cursor down one row (the lower row stays).
// Other control bytes are ignored. Text overwrites at the cursor; past the
// end of a row the cursor goes to the start of the other row, as pole
// displays do in overwrite mode.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace dovevid::vprinter {

class DisplayEmulation {
 public:
  explicit DisplayEmulation(int columns);

  // Takes the bytes received in one piece and returns each picture the
  // display showed: the two rows before every clear that ends a change, and
  // at the end of the piece, each picture as "display |row 1|" and
  // "        |row 2|" lines, in UTF-8. Nothing when nothing changed.
  std::string Feed(std::string_view bytes);
  const std::string& Row(int i) const { return rows_[static_cast<std::size_t>(i)]; }

 private:
  void Clear();
  void Put(char c);
  std::string Rows();  // the picture; marks it shown

  int columns_;
  std::array<std::string, 2> rows_;  // Windows-1252 bytes, `columns_` each
  int row_ = 0, column_ = 0;
  bool changed_ = false;  // since the picture was last returned
};

}  // namespace dovevid::vprinter
