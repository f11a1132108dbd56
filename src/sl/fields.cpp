#include "sl/fields.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/text.h"

namespace dovevid::sl {

namespace {

// Position of `key` in `text` without regard to case, or npos.
size_t FindNoCase(std::string_view text, std::string_view key) {
  if (key.empty()) return 0;
  const char first = ToUpper1252(key[0]);
  for (size_t i = 0; i + key.size() <= text.size(); ++i) {
    // Below 'A' a character is its own capital and no other's: jump to it.
    if (static_cast<unsigned char>(first) < 'A') {
      const void* next = std::memchr(text.data() + i, first, text.size() - key.size() + 1 - i);
      if (next == nullptr) break;
      i = static_cast<size_t>(static_cast<const char*>(next) - text.data());
    }
    size_t j = 0;
    while (j < key.size() && ToUpper1252(text[i + j]) == ToUpper1252(key[j])) ++j;
    if (j == key.size()) return i;
  }
  return std::string_view::npos;
}

std::string ValueAt(std::string_view record, size_t start) {
  if (start >= record.size()) return "";
  size_t end = start;
  while (end < record.size() && record[end] != ',' && record[end] != ';') ++end;
  return std::string(record.substr(start, end - start));
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  for (size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size())) {
    s.replace(pos, from.size(), to);
  }
}

// Letters of the DOS and Windows code pages that the printer's code page
// would show wrongly, by their plain equivalents.
const char* Replacement(unsigned char c) {
  switch (c) {
    case 0x80: return "E";
    case 0x82: case 0x8A: return "e";
    case 0x85: return "a";
    case 0x87: return "c";
    case 0x8D: return "i";
    case 0x95: return "o";
    case 0x97: return "u";
    case 0x9C: return "L";
    case 0xC0: case 0xC1: return "A";
    case 0xC8: case 0xC9: return "E";
    case 0xCC: case 0xCD: return "I";
    case 0xD2: case 0xD3: return "O";
    case 0xD9: case 0xDA: return "U";
    case 0xE0: case 0xE1: return "a";
    case 0xE8: case 0xE9: return "e";
    case 0xEC: case 0xED: return "i";
    case 0xF2: case 0xF3: return "o";
    case 0xF5: case 0xF8: return " ";
    case 0xF9: case 0xFA: return "u";
    case 0xE4: return "ae";
    case 0xC4: return "AE";
    case 0xF6: return "oe";
    case 0xD6: return "OE";
    case 0xFC: return "ue";
    case 0xDC: return "UE";
    case '&': return "e";
    default: return nullptr;
  }
}

std::string NormalizeText(std::string_view part, size_t max_text_length) {
  std::string out;
  out.reserve(part.size());
  for (char ch : part) {
    if (ch == '\t') continue;
    if (const char* r = Replacement(static_cast<unsigned char>(ch))) {
      out += r;
    } else {
      out += ch;
    }
  }
  if (out.size() - 1 > max_text_length) {
    out.resize(max_text_length + 1);
  } else if (out.size() == 1) {
    out += ' ';
  }
  return out;
}

enum class NumberRule { kKeep, kPlain, kThreeDecimals, kTwoDecimals };

NumberRule RuleFor(const std::string& keyword, char tag) {
  if (keyword == "SALE" || keyword == "PLUD") {
    if (tag == 'Q') return NumberRule::kThreeDecimals;
    if (tag == 'N' || tag == 'P') return NumberRule::kPlain;
    return NumberRule::kKeep;
  }
  if (keyword == "DISC" || keyword == "DOST" || keyword == "MAGG" || keyword == "MOST") {
    if (tag == '%') return NumberRule::kTwoDecimals;
  }
  if (keyword != "CLER" && (tag == 'V' || tag == 'N' || tag == 'C')) return NumberRule::kPlain;
  return NumberRule::kKeep;
}

// Pads with "0" or cuts to exactly `decimals` places when the number has a
// decimal point.
std::string FixDecimals(std::string s, size_t decimals) {
  const size_t dot = s.find('.');
  if (dot == std::string::npos) return s;
  s.resize(dot + 1 + decimals, '0');
  return s;
}

std::string NormalizeField(const std::string& keyword, std::string_view raw) {
  std::string part = ToUpper1252(Trim(raw));
  const char tag = part.empty() ? '\0' : part[0];
  if (keyword == "PLUD" && tag == 'C') return part;
  std::string kept;
  for (size_t i = 1; i < part.size(); ++i) {
    if (IsDigit(part[i]) || part[i] == '.') kept += part[i];
  }
  if (kept.empty() && tag != 'R' && tag != 'S') kept.push_back('1');
  const std::string tag_text = part.substr(0, part.empty() ? 0 : 1);
  const NumberRule rule = RuleFor(keyword, tag);
  if (rule == NumberRule::kKeep) return tag_text + kept;
  // Digits without a leading zero are already the shortest form.
  if (rule == NumberRule::kPlain && !kept.empty() && kept.size() <= 15 &&
      (kept.size() == 1 || kept[0] != '0') && kept.find('.') == std::string::npos) {
    return tag_text + kept;
  }
  const std::string number = CanonicalNumber(ParseNumber(kept).value_or(0.0));
  if (rule == NumberRule::kThreeDecimals) return tag_text + FixDecimals(number, 3);
  if (rule == NumberRule::kTwoDecimals) return tag_text + FixDecimals(number, 2);
  return tag_text + number;
}

}  // namespace

bool FindField(bool keyword_mode, std::string* value, std::string_view record,
               std::string_view key) {
  const std::string_view where = keyword_mode ? record.substr(0, 5) : record;
  const size_t pos = FindNoCase(where, key);
  if (pos == std::string::npos) return false;
  *value = ValueAt(record, pos + 2);
  return true;
}

std::optional<std::string> GetField(std::string_view record, std::string_view key) {
  std::string value;
  if (!FindField(false, &value, record, key)) return std::nullopt;
  return value;
}

std::string CanonicalNumber(double v) {
  if (!std::isfinite(v)) return "0";
  const double a = std::fabs(v);
  // Whole numbers, the usual case, need no rounding to 15 digits.
  if (a < 1e15 && v == std::trunc(v)) return fmt::format_int(static_cast<long long>(v)).str();
  if (a >= 1e15) return fmt::format("{:.15g}", v);
  const int int_digits = a < 1 ? 1 : static_cast<int>(std::floor(std::log10(a))) + 1;
  char buf[64];
  const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed,
                                 std::max(0, 15 - int_digits))
                       .ptr;
  std::string s(buf, end);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

std::string NormalizeSlRecord(std::string_view record, int max_text_length) {
  if (record.empty()) return std::string(record);
  const size_t max_text = static_cast<size_t>(std::max(0, max_text_length));
  std::string out;
  out.reserve(record.size() + 8);
  std::string keyword;
  // The comma-separated parts, each normalised as it is reached; an empty
  // one is dropped, and every part but the last is followed by a comma.
  for (size_t start = 0, index = 0;; ++index) {
    const size_t comma = record.find(',', start);
    const bool last = comma == std::string_view::npos;
    const std::string_view raw =
        record.substr(start, last ? std::string_view::npos : comma - start);
    std::string part;
    if (index == 0) {
      keyword = ToUpper1252(raw.substr(0, 4));
      part = keyword;
    } else if (!raw.empty()) {
      const size_t colon = raw.find(':');
      if (colon == std::string_view::npos) {
        part = NormalizeField(keyword, raw);
      } else {
        part = raw.substr(colon);
        // Same length, so a laid-out row keeps its width.
        ReplaceAll(part, "TOTALE", "TOT.  ");
        ReplaceAll(part, "totale", "tot.  ");
        part = NormalizeText(part, max_text);
      }
    }
    if (!part.empty()) {
      out += part;
      if (!last) out += ',';
    }
    if (last) break;
    start = comma + 1;
  }
  if (out.find(';') == std::string::npos) out += ';';
  // A tab left as a tag is no text either: nothing here acts on the printer.
  return BlankControlBytes(out);
}

SlCommand ClassifySlRecord(std::string_view record) {
  // Keyword mode of FindField, with the record's head upper-cased once.
  const std::string head = ToUpper1252(record.substr(0, 5));
  auto kw = [&](std::string_view key) { return head.find(key) != std::string::npos; };
  auto starts = [&](std::string_view prefix) { return record.substr(0, prefix.size()) == prefix; };
  if (kw("OPFS")) return SlCommand::kOpfs;
  if (kw("DEXT,")) return SlCommand::kDext;
  if (kw("OPNF")) return SlCommand::kOpnf;
  if (kw("CLNF")) return SlCommand::kClnf;
  if (kw("OPER,")) return SlCommand::kOper;
  if (kw("CLFS")) return SlCommand::kClfs;
  if (kw("DATE")) return SlCommand::kDate;
  if (kw("PLUD,") || kw("SALE,")) return SlCommand::kSale;
  if (kw("DISC,")) return SlCommand::kDisc;
  if (kw("MAGG,")) return SlCommand::kMagg;
  if (kw("DOST,")) return SlCommand::kDost;
  if (kw("MOST,")) return SlCommand::kMost;
  if (kw("SUBT")) return SlCommand::kSubt;
  if (kw("CUTT")) return SlCommand::kCutt;
  if (kw("COUP,")) return SlCommand::kCoup;
  if (kw("COST,")) return SlCommand::kCost;
  if (kw("ADDI,")) return SlCommand::kAddi;
  if (kw("ADDS,")) return SlCommand::kAdds;
  if (kw("CASH") || starts("TEND,N1")) return SlCommand::kCash;
  if (kw("CHEQ") || starts("TEND,N2")) return SlCommand::kCheq;
  if (kw("CARD") || starts("TEND,N3")) return SlCommand::kCard;
  if (kw("TEND") || starts("TEND,N4")) return SlCommand::kTend;
  if (kw("CRED")) return SlCommand::kCred;
  if (kw("OPEN")) return SlCommand::kOpen;
  if (kw("PRNT,")) return SlCommand::kPrnt;
  if (kw("EXTL,")) return SlCommand::kExtl;
  if (kw("BARC")) return SlCommand::kBarc;
  return SlCommand::kNone;
}

LineKind ClassifyReceiptLine(std::string_view line) {
  if (ToUpper1252(line.substr(0, 4)) == "XXXX") return LineKind::kSkipped;
  if (line.size() < 4) return LineKind::kAsIs;
  if (line.substr(0, 4) == "PRNT") return LineKind::kPrintLine;
  if (line.substr(0, 5) == "DEXT,") return LineKind::kAsIs;
  return LineKind::kNormalised;
}

std::string PrepareReceiptLine(std::string_view line, int max_text_length) {
  if (ClassifyReceiptLine(line) == LineKind::kNormalised) {
    return NormalizeSlRecord(line, max_text_length);
  }
  return std::string(line);
}

bool IsReprintRequest(std::string_view data) {
  return !data.empty() && ToUpper1252(data.substr(0, 4)) == "RLPR";
}

bool IsInvoiceData(std::string_view data) {
  // A line begins with OPFS where it follows the start or a CR or LF: one
  // search of the whole text, without splitting it into lines.
  for (size_t at = data.find("OPFS"); at != std::string_view::npos;
       at = data.find("OPFS", at + 1)) {
    if (at == 0 || data[at - 1] == '\r' || data[at - 1] == '\n') return true;
  }
  return false;
}

bool VerificaStampaCopia(Env& env, const std::string& path) {
  std::string data;
  if (!env.FileExists(path) || !env.ReadFile(path, &data).ok()) return false;
  return IsReprintRequest(data);
}

bool VerificaFattura(Env& env, const std::string& path) {
  std::string data;
  if (!env.ReadFile(path, &data).ok()) return false;
  return IsInvoiceData(data);
}

}  // namespace dovevid::sl
