// Decoding of ESC/POS print data, as the virtual printer shows what it
// receives and as the program previews a receipt: readable text lines, and a
// page of items (text with its sizes, pictures, barcodes, feeds, cuts) that a
// drawer turns into an image. The decoder keeps the printer's picture memory
// (the downloaded bit image and the NV graphics by key code), so a logo
// defined earlier shows where it is printed.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "logo/bitmap.h"

namespace dovevid::preview {

enum class Align : char { kLeft = 'L', kCenter = 'C', kRight = 'R' };

struct TextRun {
  std::string text;  // UTF-8
  bool double_width = false;
  bool double_height = false;
};

struct PageItem {
  enum class Kind { kText, kImage, kBarcode, kFeed, kCut };
  Kind kind = Kind::kText;
  Align align = Align::kLeft;
  std::vector<TextRun> runs;  // kText; none for an empty line
  logo::Bitmap image;         // kImage; empty when nothing was stored
  int scale_x = 1, scale_y = 1;
  std::string symbology, data;  // kBarcode
  int bar_height = 0, module = 0, hri = 0;  // hri: 0 none, 1 above, 2 below, 3 both
  int dots = 0;               // kFeed: paper fed, in dots
  bool full_cut = false;      // kCut
};

using Page = std::vector<PageItem>;

// Pictures the printer holds.
struct PrinterMemory {
  std::optional<logo::Bitmap> downloaded;  // GS *
  std::map<std::string, logo::Bitmap> nv;  // GS ( L function 67, by key code
};

// Streaming: lines with their justification ([L], [C], [R]) and size marks
// (DW, DH), one line per feed, cut, drawer pulse, barcode, picture or
// unknown command in angle brackets; a printed picture is followed by a
// small rendition in braille characters. A cut is followed by a separator
// line: it ends a receipt. Bytes 0x80..0xFF are shown as Windows-1252
// characters (in UTF-8), other control bytes in hex.
class EscPosDecoder {
 public:
  // The complete lines these bytes finish, each ended by "\n".
  std::string Feed(std::string_view bytes);
  // Whatever is still pending: a line without LF, an incomplete command.
  std::string Finish();

  // Everything decoded so far as page items (kept from the first call of
  // Feed after EnablePage).
  void EnablePage() { page_enabled_ = true; }
  const Page& page() const { return page_; }

  PrinterMemory& memory() { return memory_; }

 private:
  // Decodes one item at pending_[pos]; false when more bytes are needed.
  bool Step(std::size_t* pos, std::string* out);
  bool StepEsc(std::string_view p, std::size_t* taken, std::string* out);
  bool StepGs(std::string_view p, std::size_t* taken, std::string* out);
  bool StepBitImage(std::string_view p, std::size_t* taken, std::string* out);
  void SetPrintMode(std::uint8_t n, std::string* out);
  bool StepRasterImage(std::string_view p, std::size_t* taken, std::string* out);
  bool StepCut(std::string_view p, std::size_t* taken, std::string* out);
  bool StepGraphics(std::string_view p, std::size_t* taken, std::string* out);
  bool StepBarcode(std::string_view p, std::size_t* taken, std::string* out);
  void FlushLine(std::string* out);
  void Event(const std::string& text, std::string* out);
  void AddText(std::string_view text);
  void Picture(const std::string& text, const logo::Bitmap* image, int sx, int sy, std::string* out);
  void Add(PageItem item);
  std::string Marks() const;
  bool DoubleWidth() const { return esc_dw_ || gs_dw_; }
  bool DoubleHeight() const { return esc_dh_ || gs_dh_; }

  std::string pending_;
  std::string line_;
  bool line_started_ = false;
  std::string line_marks_;
  Align line_align_ = Align::kLeft;
  std::vector<TextRun> runs_;
  Align justify_ = Align::kLeft;
  bool esc_dh_ = false, esc_dw_ = false;  // ESC !
  bool gs_dh_ = false, gs_dw_ = false;    // GS !
  int barcode_height_ = 162, barcode_width_ = 3, barcode_hri_ = 0;
  bool page_enabled_ = false;
  Page page_;
  PrinterMemory memory_;
};

// A picture in braille characters (2 x 4 dots each), reduced to at most
// `max_columns` characters a line; each line ends with "\n".
// A Windows-1252 byte as UTF-8; empty for the five bytes the code page leaves
// undefined.
std::string Cp1252ToUtf8(unsigned char c);

std::string BrailleArt(const logo::Bitmap& image, int max_columns = 48);

}  // namespace dovevid::preview
