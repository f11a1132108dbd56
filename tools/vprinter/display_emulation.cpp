#include "display_emulation.h"

#include "emulation.h"
#include "preview/escpos_decoder.h"

namespace dovevid::vprinter {

namespace {
std::string Shown(const std::string& row) {
  std::string out = "|";
  for (const unsigned char c : row) {
    const std::string s = preview::Cp1252ToUtf8(c);
    out += s.empty() ? "?" : s;
  }
  return out + "|";
}
}  // namespace

DisplayEmulation::DisplayEmulation(int columns) : columns_(columns) {
  Clear();
  changed_ = false;  // a blank display to start with is no news
}

void DisplayEmulation::Clear() {
  for (std::string& r : rows_) r.assign(static_cast<std::size_t>(columns_), ' ');
  row_ = column_ = 0;
  changed_ = true;
}

void DisplayEmulation::Put(char c) {
  rows_[static_cast<std::size_t>(row_)][static_cast<std::size_t>(column_)] = c;
  changed_ = true;
  if (++column_ == columns_) {
    column_ = 0;
    row_ = 1 - row_;
  }
}

std::string DisplayEmulation::Feed(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (c == 0x0B) {
      row_ = column_ = 0;
    } else if (c == 0x0C) {
      if (changed_) out += Rows();  // what was shown until this clear
      Clear();
    } else if (c == 0x0A) {
      row_ = 1;
    } else if (u >= 0x20 && u != 0x7F) {
      Put(c);
    }
  }
  if (changed_) out += Rows();
  return out;
}

std::string DisplayEmulation::Rows() {
  changed_ = false;
  return "display " + Shown(rows_[0]) + "\n        " + Shown(rows_[1]) + "\n";
}

}  // namespace dovevid::vprinter
