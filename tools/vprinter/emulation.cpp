#include "emulation.h"

#include <fmt/format.h>

namespace dovevid::vprinter {

namespace {

constexpr char kDle = 0x10, kEot = 0x04, kEsc = 0x1B, kGs = 0x1D, kFs = 0x1C;
constexpr std::uint8_t kOnline = 0x12;  // bits 1 and 4 are always set

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

}  // namespace

std::string Cp1252ToUtf8(unsigned char c) {
  std::string s;
  const char32_t cp = c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c;
  if (cp != 0) AppendUtf8(cp, &s);
  return s;
}

std::string_view StateName(State s) {
  switch (s) {
    case State::kReady: return "ready";
    case State::kPaperEnd: return "paper-end";
    case State::kOffline: return "offline";
    case State::kSilent: return "silent";
  }
  return "ready";
}

std::optional<State> ParseState(std::string_view name) {
  for (State s : {State::kReady, State::kPaperEnd, State::kOffline, State::kSilent}) {
    if (name == StateName(s)) return s;
  }
  return std::nullopt;
}

// --- Status answers -----------------------------------------------------------

std::optional<std::uint8_t> StatusResponder::Answer(std::uint8_t n) const {
  switch (state) {
    case State::kSilent: return std::nullopt;
    case State::kReady: return kOnline;
    case State::kOffline: return n == 1 ? kOnline | 0x08 : kOnline;
    // The roll paper sensor reports the end (bits 5 and 6). The printer
    // status stays on line so that a job starts and meets the paper end at
    // its first line (a real printer may also report itself off line).
    case State::kPaperEnd: return n == 4 ? kOnline | 0x60 : kOnline;
  }
  return std::nullopt;
}

StatusResponder::Result StatusResponder::Feed(std::string_view bytes) {
  Result r;
  std::string in = held_;
  in += bytes;
  held_.clear();
  std::size_t i = 0;
  while (i < in.size()) {
    if (in[i] != kDle) {
      r.data += in[i++];
      continue;
    }
    const std::size_t left = in.size() - i;
    if (left == 1 || (left == 2 && in[i + 1] == kEot)) {  // may still become a query
      held_ = in.substr(i);
      break;
    }
    const auto n = static_cast<std::uint8_t>(in[i + 2]);
    if (in[i + 1] == kEot && n >= 1 && n <= 4) {
      r.queries.append(in, i, 3);
      if (const auto a = Answer(n)) r.replies += static_cast<char>(*a);
      i += 3;
    } else {
      r.data += in[i++];
    }
  }
  return r;
}

// --- Decoding -----------------------------------------------------------------

std::string EscPosDecoder::Marks() const {
  std::string m = "[";
  m += justify_;
  if (esc_dw_ || gs_dw_) m += " DW";
  if (esc_dh_ || gs_dh_) m += " DH";
  m += "]";
  return m;
}

void EscPosDecoder::AddText(std::string_view text) {
  if (!line_started_) {
    line_marks_ = Marks();
    line_started_ = true;
  }
  line_ += text;
}

void EscPosDecoder::FlushLine(std::string* out) {
  if (!line_started_) return;
  *out += line_marks_;
  if (!line_.empty()) *out += " " + line_;
  *out += "\n";
  line_.clear();
  line_started_ = false;
}

void EscPosDecoder::Event(const std::string& text, std::string* out) {
  FlushLine(out);
  *out += "<" + text + ">\n";
}

bool EscPosDecoder::Step(std::size_t* pos, std::string* out) {
  const std::string_view p = std::string_view(pending_).substr(*pos);
  auto need = [&](std::size_t n) { return p.size() >= n; };
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(p[i]); };
  auto take = [&](std::size_t n) { *pos += n; return true; };
  const auto c = static_cast<unsigned char>(p[0]);

  if (c == '\n') {
    if (!line_started_) {
      line_marks_ = Marks();
      line_started_ = true;
    }
    FlushLine(out);
    return take(1);
  }
  if (c == '\r') return take(1);  // CR LF ends a line once
  if (c >= 0x20 && c < 0x7F) {
    AddText(p.substr(0, 1));
    return take(1);
  }
  if (c >= 0x80) {
    const std::string s = Cp1252ToUtf8(c);
    AddText(s.empty() ? fmt::format("<{:02X}>", c) : s);
    return take(1);
  }

  if (c == kEsc) {
    if (!need(2)) return false;
    const char f = p[1];
    if (f == '@') {
      justify_ = 'L';
      esc_dh_ = esc_dw_ = gs_dh_ = gs_dw_ = false;
      Event("initialize", out);
      return take(2);
    }
    if (f == '2' || f == '<') return take(2);
    if (f == 'p') {
      if (!need(5)) return false;
      const int pin = (byte(2) & 1) ? 5 : 2;
      Event(fmt::format("drawer pulse pin {}: on {} ms, off {} ms", pin, byte(3) * 2, byte(4) * 2),
            out);
      return take(5);
    }
    if (f == '$' || f == '\\') {
      if (!need(4)) return false;
      return take(4);  // positions: not shown
    }
    if (f == '*') {  // bit image: ESC * m nL nH d1..dk
      if (!need(5)) return false;
      const std::size_t dots = byte(3) + byte(4) * 256u;
      const std::size_t len = 5 + dots * ((byte(2) == 32 || byte(2) == 33) ? 3 : 1);
      if (!need(len)) return false;
      Event(fmt::format("bit image, {} dots wide", dots), out);
      return take(len);
    }
    if (!need(3)) return false;
    const std::uint8_t n = byte(2);
    switch (f) {
      case 'a': {
        const std::uint8_t j = n >= '0' ? n - '0' : n;
        justify_ = j == 1 ? 'C' : j == 2 ? 'R' : 'L';
        return take(3);
      }
      case '!': {
        const bool dh = n & 0x10, dw = n & 0x20;
        if (line_started_ && (dh != esc_dh_ || dw != esc_dw_)) {
          line_ += std::string("{") + (dw ? "DW" : "") + (dw && dh ? " " : "") + (dh ? "DH" : "") +
                   (dw || dh ? "" : "normal") + "}";
        }
        esc_dh_ = dh;
        esc_dw_ = dw;
        if (n & ~0x30) Event(fmt::format("print mode extra bits {:02X}", n & ~0x30), out);
        return take(3);
      }
      case 'V': return take(3);  // 90-degree rotation: not shown
      case 'd': Event(fmt::format("feed {} lines", n), out); return take(3);
      case 'J': Event(fmt::format("feed {} motion units", n), out); return take(3);
      default: break;
    }
    const std::string_view name = EscOneParameter(f);
    if (!name.empty()) {
      Event(fmt::format("{} {}", name, n), out);
      return take(3);
    }
    Event("unknown " + Hex(p.substr(0, 2)), out);
    return take(2);
  }

  if (c == kGs) {
    if (!need(2)) return false;
    const char f = p[1];
    if (f == '(' || f == '8') {  // GS ( X pL pH ..., GS 8 L p1 p2 p3 p4 ...
      const std::size_t head = f == '(' ? 5 : 7;
      if (!need(head)) return false;
      const std::size_t body = f == '(' ? byte(3) + byte(4) * 256u
                                        : byte(3) + (byte(4) << 8) + (byte(5) << 16) +
                                              (static_cast<std::size_t>(byte(6)) << 24);
      if (!need(head + body)) return false;
      if (p[2] == 'L' && body >= 2 && byte(head) == 0x30 && byte(head + 1) == 0x45 && body >= 6) {
        Event(fmt::format("stored logo print, key \"{}\", scale {}x{}",
                          std::string(p.substr(head + 2, 2)), byte(head + 4), byte(head + 5)),
              out);
      } else {
        Event(fmt::format("graphics/function {} {}, {} bytes", std::string(1, f), std::string(1, p[2]),
                          body),
              out);
      }
      return take(head + body);
    }
    if (f == '*') {  // GS * x y d1..d(x*y*8)
      if (!need(4)) return false;
      const std::size_t len = 4 + byte(2) * byte(3) * 8u;
      if (!need(len)) return false;
      Event(fmt::format("logo defined, {}x{} dots", byte(2) * 8, byte(3) * 8), out);
      return take(len);
    }
    if (f == 'k') {
      if (!need(3)) return false;
      const std::uint8_t m = byte(2);
      std::size_t start = 3, len = 0, skip = 0;
      if (m <= 6) {
        const std::size_t nul = p.find('\0', 3);
        if (nul == std::string_view::npos) {
          if (p.size() > 3 + 255) {  // no terminator within reason: not a barcode
            Event("unknown " + Hex(p.substr(0, 3)), out);
            return take(3);
          }
          return false;
        }
        len = nul - 3;
        skip = 1;
      } else {
        if (!need(4)) return false;
        start = 4;
        len = byte(3);
        if (!need(4 + len)) return false;
      }
      const std::string hri = barcode_hri_ == 0 ? "no HRI" : barcode_hri_ == 1 ? "HRI above"
                              : barcode_hri_ == 2 ? "HRI below" : "HRI above and below";
      Event(fmt::format("barcode {} \"{}\", height {}, width {}, {}", Symbology(m),
                        std::string(p.substr(start, len)), barcode_height_, barcode_width_, hri),
            out);
      return take(start + len + skip);
    }
    if (!need(3)) return false;
    const std::uint8_t n = byte(2);
    switch (f) {
      case 'V': {
        const bool with_feed = n == 65 || n == 66;
        if (with_feed && !need(4)) return false;
        const bool full = n == 0 || n == 48 || n == 65;
        Event(std::string("cut ") + (full ? "full" : "partial"), out);
        *out += std::string(42, '=') + "\n";
        return take(with_feed ? 4 : 3);
      }
      case '!':
        gs_dw_ = (n >> 4) > 0;
        gs_dh_ = (n & 0x0F) > 0;
        return take(3);
      case 'h': barcode_height_ = n; return take(3);
      case 'w': barcode_width_ = n; return take(3);
      case 'H': barcode_hri_ = n >= '0' ? n - '0' : n; return take(3);
      case 'f': return take(3);
      case '/': Event(fmt::format("logo print, mode {}", n), out); return take(3);
      case 'I': Event(fmt::format("identification request {}", n), out); return take(3);
      case 'a': Event(fmt::format("automatic status {:02X}", n), out); return take(3);
      case 'B': Event(fmt::format("reverse {}", n), out); return take(3);
      case 'L': case 'W': case 'P':
        if (!need(4)) return false;
        return take(4);  // margins and units: not shown
      default: break;
    }
    Event("unknown " + Hex(p.substr(0, 2)), out);
    return take(2);
  }

  if (c == kDle) {
    if (!need(3)) return false;
    if (p[1] == kEot) {
      Event(fmt::format("status query {}", byte(2)), out);
      return take(3);
    }
    Event("unknown " + Hex(p.substr(0, 2)), out);
    return take(2);
  }

  if (c == kFs && need(2) && p[1] == 'p') {
    if (!need(4)) return false;
    Event(fmt::format("stored image {} print, mode {}", byte(2), byte(3)), out);
    return take(4);
  }
  if (c == kFs && !need(2)) return false;

  AddText(fmt::format("<{:02X}>", c));
  return take(1);
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

}  // namespace dovevid::vprinter
