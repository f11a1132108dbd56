#include "preview/escpos_decoder.h"

#include <fmt/format.h>

#include <algorithm>

namespace dovevid::preview {

namespace {

constexpr char kDle = 0x10, kEot = 0x04, kEsc = 0x1B, kGs = 0x1D, kFs = 0x1C;
// Line spacing of the printer's default font (1/6 inch at 180 dots an inch).
constexpr int kLineDots = 30;

std::string Hex(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += fmt::format("{:02X}", c);
  }
  return out;
}

// Windows-1252 byte 0x80..0x9F as a Unicode code point (0 where undefined).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    *out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out += static_cast<char>(0xC0 | (cp >> 6));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | (cp >> 12));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string_view Symbology(int m) {
  switch (m) {
    case 0: case 65: return "UPC-A";
    case 1: case 66: return "UPC-E";
    case 2: case 67: return "EAN13";
    case 3: case 68: return "EAN8";
    case 4: case 69: return "CODE39";
    case 5: case 70: return "ITF";
    case 6: case 71: return "CODABAR";
    case 72: return "CODE93";
    case 73: return "CODE128";
    default: return "?";
  }
}

// Commands of the form PREFIX x n whose only effect worth showing is a name.
std::string_view EscOneParameter(char c) {
  switch (c) {
    case '-': return "underline";
    case 'E': return "emphasis";
    case 'G': return "double-strike";
    case 'M': return "font";
    case 'R': return "international set";
    case 't': return "code table";
    case '3': return "line spacing";
    case ' ': return "right spacing";
    case '{': return "upside down";
    case 'e': return "reverse feed";
    case 'c': return "panel/sensor";
    case 'U': return "unidirectional";
    case 'r': return "colour";
    default: return {};
  }
}

std::string Size(const logo::Bitmap& b) { return fmt::format("{}x{} dots", b.width(), b.height()); }

std::string HriText(int hri) {
  return hri == 0 ? "no HRI" : hri == 1 ? "HRI above" : hri == 2 ? "HRI below" : "HRI above and below";
}

}  // namespace

std::string Cp1252ToUtf8(unsigned char c) {
  std::string s;
  const char32_t cp = c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c;
  if (cp != 0) AppendUtf8(cp, &s);
  return s;
}

std::string BrailleArt(const logo::Bitmap& image, int max_columns) {
  const int scale = std::max(1, (image.width() + 2 * max_columns - 1) / (2 * max_columns));
  // A reduced dot is black when any dot it stands for is.
  auto black = [&](int rx, int ry) {
    for (int y = ry * scale; y < std::min(image.height(), (ry + 1) * scale); ++y) {
      for (int x = rx * scale; x < std::min(image.width(), (rx + 1) * scale); ++x) {
        if (image.At(x, y)) return true;
      }
    }
    return false;
  };
  static constexpr int kBit[4][2] = {{0x01, 0x08}, {0x02, 0x10}, {0x04, 0x20}, {0x40, 0x80}};
  const int w = (image.width() + scale - 1) / scale, h = (image.height() + scale - 1) / scale;
  std::string out;
  for (int cy = 0; cy < h; cy += 4) {
    for (int cx = 0; cx < w; cx += 2) {
      char32_t cell = 0x2800;
      for (int dy = 0; dy < 4; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
          if (cx + dx < w && cy + dy < h && black(cx + dx, cy + dy)) cell |= kBit[dy][dx];
        }
      }
      AppendUtf8(cell, &out);
    }
    out += '\n';
  }
  return out;
}

std::string EscPosDecoder::Marks() const {
  std::string m = "[";
  m += static_cast<char>(justify_);
  if (DoubleWidth()) m += " DW";
  if (DoubleHeight()) m += " DH";
  m += "]";
  return m;
}

void EscPosDecoder::Add(PageItem item) {
  if (page_enabled_) page_.push_back(std::move(item));
}

void EscPosDecoder::AddText(std::string_view text) {
  if (!line_started_) {
    line_marks_ = Marks();
    line_align_ = justify_;
    line_started_ = true;
  }
  line_ += text;
  if (runs_.empty() || runs_.back().double_width != DoubleWidth() ||
      runs_.back().double_height != DoubleHeight()) {
    runs_.push_back({"", DoubleWidth(), DoubleHeight()});
  }
  runs_.back().text += text;
}

void EscPosDecoder::FlushLine(std::string* out) {
  if (!line_started_) return;
  *out += line_marks_;
  if (!line_.empty()) *out += " " + line_;
  *out += "\n";
  PageItem item;
  item.align = line_align_;
  item.runs = std::move(runs_);
  Add(std::move(item));
  runs_.clear();
  line_.clear();
  line_started_ = false;
}

void EscPosDecoder::Event(const std::string& text, std::string* out) {
  FlushLine(out);
  *out += "<" + text + ">\n";
}

void EscPosDecoder::Picture(const std::string& text, const logo::Bitmap* image, int sx, int sy,
                            std::string* out) {
  Event(image ? text + ", " + Size(*image) : text, out);
  PageItem item;
  item.kind = PageItem::Kind::kImage;
  item.align = justify_;
  item.scale_x = sx;
  item.scale_y = sy;
  if (image) {
    *out += BrailleArt(*image);
    item.image = *image;
  }
  Add(std::move(item));
}

bool EscPosDecoder::Step(std::size_t* pos, std::string* out) {
  const std::string_view p = std::string_view(pending_).substr(*pos);
  const auto c = static_cast<unsigned char>(p[0]);
  std::size_t taken = 1;
  if (c == '\n') {
    if (!line_started_) {
      line_marks_ = Marks();
      line_align_ = justify_;
      line_started_ = true;
    }
    FlushLine(out);
  } else if (c == '\r') {
    // CR LF ends a line once.
  } else if (c >= 0x20 && c < 0x7F) {
    AddText(p.substr(0, 1));
  } else if (c >= 0x80) {
    const std::string s = Cp1252ToUtf8(c);
    AddText(s.empty() ? fmt::format("<{:02X}>", c) : s);
  } else if (c == kEsc) {
    if (!StepEsc(p, &taken, out)) return false;
  } else if (c == kGs) {
    if (!StepGs(p, &taken, out)) return false;
  } else if (c == kDle) {
    if (p.size() < 3) return false;
    taken = p[1] == kEot ? 3 : 2;
    Event(p[1] == kEot ? fmt::format("status query {}", static_cast<int>(p[2])) : "unknown " + Hex(p.substr(0, 2)),
          out);
  } else if (c == kFs && p.size() >= 2 && p[1] == 'p') {
    if (p.size() < 4) return false;
    Event(fmt::format("stored image {} print, mode {}", static_cast<int>(p[2]), static_cast<int>(p[3])), out);
    taken = 4;
  } else if (c == kFs && p.size() < 2) {
    return false;
  } else {
    AddText(fmt::format("<{:02X}>", c));
  }
  *pos += taken;
  return true;
}

// ESC * m nL nH d1..dk: a bit image of 8 or 24 dots' height.
bool EscPosDecoder::StepBitImage(std::string_view p, std::size_t* taken, std::string* out) {
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(p[i]); };
  if (p.size() < 5) return false;
  const std::size_t dots = byte(3) + byte(4) * 256u;
  const bool tall = byte(2) == 32 || byte(2) == 33;
  *taken = 5 + dots * (tall ? 3 : 1);
  if (p.size() < *taken) return false;
  const logo::Bitmap strip =
      logo::Bitmap::FromColumns(static_cast<int>(dots), tall ? 24 : 8, p.substr(5));
  // Single density doubles each dot across; 8-dot images are a third as dense down.
  Picture(fmt::format("bit image, {} dots wide", dots), &strip, byte(2) % 32 == 0 ? 2 : 1,
          tall ? 1 : 3, out);
  return true;
}

// ESC ! n: double height and width, marked in the line where they change.
void EscPosDecoder::SetPrintMode(std::uint8_t n, std::string* out) {
  const bool dh = n & 0x10, dw = n & 0x20;
  if (line_started_ && (dh != esc_dh_ || dw != esc_dw_)) {
    line_ += std::string("{") + (dw ? "DW" : "") + (dw && dh ? " " : "") + (dh ? "DH" : "") +
             (dw || dh ? "" : "normal") + "}";
  }
  esc_dh_ = dh;
  esc_dw_ = dw;
  if (n & ~0x30) Event(fmt::format("print mode extra bits {:02X}", n & ~0x30), out);
}

bool EscPosDecoder::StepEsc(std::string_view p, std::size_t* taken, std::string* out) {
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(p[i]); };
  if (p.size() < 2) return false;
  const char f = p[1];
  *taken = 2;
  if (f == '@') {
    justify_ = Align::kLeft;
    esc_dh_ = esc_dw_ = gs_dh_ = gs_dw_ = false;
    Event("initialize", out);
    return true;
  }
  if (f == '2' || f == '<') return true;
  if (f == 'p') {
    if (p.size() < 5) return false;
    const int pin = (byte(2) & 1) ? 5 : 2;
    Event(fmt::format("drawer pulse pin {}: on {} ms, off {} ms", pin, byte(3) * 2, byte(4) * 2), out);
    *taken = 5;
    return true;
  }
  if (f == '$' || f == '\\') {
    *taken = 4;  // positions: not shown
    return p.size() >= 4;
  }
  if (f == '*') return StepBitImage(p, taken, out);
  if (p.size() < 3) return false;
  *taken = 3;
  const std::uint8_t n = byte(2);
  switch (f) {
    case 'a': {
      const std::uint8_t j = n >= '0' ? n - '0' : n;
      justify_ = j == 1 ? Align::kCenter : j == 2 ? Align::kRight : Align::kLeft;
      return true;
    }
    case '!':
      SetPrintMode(n, out);
      return true;
    case 'V': return true;  // 90-degree rotation: not shown
    case 'd':
    case 'J': {
      Event(f == 'd' ? fmt::format("feed {} lines", n) : fmt::format("feed {} motion units", n), out);
      PageItem item;
      item.kind = PageItem::Kind::kFeed;
      item.dots = f == 'd' ? n * kLineDots : n;
      Add(std::move(item));
      return true;
    }
    default: break;
  }
  const std::string_view name = EscOneParameter(f);
  if (!name.empty()) {
    Event(fmt::format("{} {}", name, n), out);
    return true;
  }
  Event("unknown " + Hex(p.substr(0, 2)), out);
  *taken = 2;
  return true;
}

// GS ( L and GS 8 L: define or print NV graphics (other functions are named only).
bool EscPosDecoder::StepGraphics(std::string_view p, std::size_t* taken, std::string* out) {
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(p[i]); };
  const bool wide = p[1] == '8';
  const std::size_t head = wide ? 7 : 5;
  if (p.size() < head) return false;
  const std::size_t body = wide ? byte(3) + (byte(4) << 8) + (byte(5) << 16) +
                                      (static_cast<std::size_t>(byte(6)) << 24)
                                : byte(3) + byte(4) * 256u;
  *taken = head + body;
  if (p.size() < *taken) return false;
  const std::string_view b = p.substr(head, body);
  auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(b[i]); };
  if (p[2] == 'L' && body >= 6 && at(0) == 0x30 && at(1) == 0x45) {
    const std::string key(b.substr(2, 2));
    const auto found = memory_.nv.find(key);
    Picture(fmt::format("stored logo print, key \"{}\", scale {}x{}", key, at(4), at(5)),
            found == memory_.nv.end() ? nullptr : &found->second, std::max<int>(1, at(4)),
            std::max<int>(1, at(5)), out);
  } else if (p[2] == 'L' && body >= 11 && at(0) == 0x30 && at(1) == 0x43 && at(2) == 0x30) {
    const int w = at(6) | at(7) << 8, h = at(8) | at(9) << 8;
    const std::string key(b.substr(3, 2));
    memory_.nv[key] = logo::Bitmap::FromRasterRows(w, h, b.substr(11));
    Event(fmt::format("stored logo defined, key \"{}\", {}", key, Size(memory_.nv[key])), out);
  } else {
    Event(fmt::format("graphics/function {} {}, {} bytes", p[1], p[2], body), out);
  }
  return true;
}

bool EscPosDecoder::StepBarcode(std::string_view p, std::size_t* taken, std::string* out) {
  if (p.size() < 3) return false;
  const auto m = static_cast<std::uint8_t>(p[2]);
  std::size_t start = 3, len = 0, skip = 0;
  if (m <= 6) {
    const std::size_t nul = p.find('\0', 3);
    if (nul == std::string_view::npos) {
      if (p.size() <= 3 + 255) return false;
      // No terminator within reason: not a barcode.
      Event("unknown " + Hex(p.substr(0, 3)), out);
      *taken = 3;
      return true;
    }
    len = nul - 3;
    skip = 1;
  } else {
    if (p.size() < 4) return false;
    start = 4;
    len = static_cast<std::uint8_t>(p[3]);
    if (p.size() < 4 + len) return false;
  }
  PageItem item;
  item.kind = PageItem::Kind::kBarcode;
  item.align = justify_;
  item.symbology = Symbology(m);
  item.data = p.substr(start, len);
  item.bar_height = barcode_height_;
  item.module = barcode_width_;
  item.hri = barcode_hri_;
  Event(fmt::format("barcode {} \"{}\", height {}, width {}, {}", item.symbology, item.data,
                    barcode_height_, barcode_width_, HriText(barcode_hri_)),
        out);
  Add(std::move(item));
  *taken = start + len + skip;
  return true;
}

// GS v 0 m xL xH yL yH d1..dk: a raster bit image.
bool EscPosDecoder::StepRasterImage(std::string_view p, std::size_t* taken, std::string* out) {
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(p[i]); };
  if (p.size() < 8) return false;
  const std::size_t row = byte(4) + byte(5) * 256u, rows = byte(6) + byte(7) * 256u;
  *taken = 8 + row * rows;
  if (p.size() < *taken) return false;
  const logo::Bitmap image =
      logo::Bitmap::FromRasterRows(static_cast<int>(row * 8), static_cast<int>(rows), p.substr(8));
  const int m = byte(3) % 48 % 4;
  Picture("raster bit image", &image, m & 1 ? 2 : 1, m & 2 ? 2 : 1, out);
  return true;
}

// GS V m [n]: a full or partial cut, with a feed first for m 65 and 66.
bool EscPosDecoder::StepCut(std::string_view p, std::size_t* taken, std::string* out) {
  const std::uint8_t m = static_cast<std::uint8_t>(p[2]);
  const bool with_feed = m == 65 || m == 66;
  if (with_feed && p.size() < 4) return false;
  const bool full = m == 0 || m == 48 || m == 65;
  Event(std::string("cut ") + (full ? "full" : "partial"), out);
  *out += std::string(42, '=') + "\n";
  PageItem item;
  item.kind = PageItem::Kind::kCut;
  item.full_cut = full;
  Add(std::move(item));
  *taken = with_feed ? 4 : 3;
  return true;
}

bool EscPosDecoder::StepGs(std::string_view p, std::size_t* taken, std::string* out) {
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(p[i]); };
  if (p.size() < 2) return false;
  const char f = p[1];
  if (f == '(' || f == '8') {
    if (p.size() < 3) return false;
    return StepGraphics(p, taken, out);
  }
  if (f == 'k') return StepBarcode(p, taken, out);
  if (f == '*') {  // GS * x y d1..d(x*y*8)
    if (p.size() < 4) return false;
    *taken = 4 + byte(2) * byte(3) * 8u;
    if (p.size() < *taken) return false;
    memory_.downloaded = logo::Bitmap::FromColumns(byte(2) * 8, byte(3) * 8, p.substr(4));
    Event("logo defined, " + Size(*memory_.downloaded), out);
    return true;
  }
  if (f == 'v') return StepRasterImage(p, taken, out);
  if (p.size() < 3) return false;
  *taken = 3;
  const std::uint8_t n = byte(2);
  switch (f) {
    case 'V': return StepCut(p, taken, out);
    case '!':
      gs_dw_ = (n >> 4) > 0;
      gs_dh_ = (n & 0x0F) > 0;
      return true;
    case 'h': barcode_height_ = n; return true;
    case 'w': barcode_width_ = n; return true;
    case 'H': barcode_hri_ = n >= '0' ? n - '0' : n; return true;
    case 'f': return true;
    case '/': {
      const int m = n % 48 % 4;
      Picture(fmt::format("logo print, mode {}", n), memory_.downloaded ? &*memory_.downloaded : nullptr,
              m & 1 ? 2 : 1, m & 2 ? 2 : 1, out);
      return true;
    }
    case 'I': Event(fmt::format("identification request {}", n), out); return true;
    case 'a': Event(fmt::format("automatic status {:02X}", n), out); return true;
    case 'B': Event(fmt::format("reverse {}", n), out); return true;
    case 'L': case 'W': case 'P':
      *taken = 4;  // margins and units: not shown
      return p.size() >= 4;
    default: break;
  }
  Event("unknown " + Hex(p.substr(0, 2)), out);
  *taken = 2;
  return true;
}

std::string EscPosDecoder::Feed(std::string_view bytes) {
  pending_ += bytes;
  std::string out;
  std::size_t pos = 0;
  while (pos < pending_.size() && Step(&pos, &out)) {
  }
  pending_.erase(0, pos);
  return out;
}

std::string EscPosDecoder::Finish() {
  std::string out;
  if (!pending_.empty()) {
    Event("incomplete " + Hex(pending_), &out);
    pending_.clear();
  }
  FlushLine(&out);
  return out;
}

}  // namespace dovevid::preview
