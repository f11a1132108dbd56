#include "app/terminal_text.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstring>

namespace dovevid::app {

namespace {

constexpr char kFileCharset[] = "WINDOWS-1252";

// The encoding of the environment's locale, asked apart from the program's
// own locale (Qt switches that to UTF-8).
std::string TerminalCharset() {
  std::string charset;
  if (const locale_t env = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0))) {
    charset = ::nl_langinfo_l(CODESET, env);
    ::freelocale(env);
  }
  // The C locale says ASCII; terminals of today send UTF-8 there too.
  if (charset.empty() || charset == "ANSI_X3.4-1968") charset = "UTF-8";
  return charset;
}

// Converts with iconv; with `lossy` a byte that cannot be converted becomes
// "?", otherwise it fails the conversion.
std::optional<std::string> Convert(const std::string& to, const std::string& from,
                                   std::string_view text, bool lossy) {
  const iconv_t cd = ::iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  bool ok = true;
  while (ok && in_left > 0) {
    char buf[256];
    char* o = buf;
    size_t o_left = sizeof buf;
    const size_t r = ::iconv(cd, &in, &in_left, &o, &o_left);
    out.append(buf, static_cast<size_t>(o - buf));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      ok = lossy;
      out += '?';
      ++in;
      --in_left;
    } else if (r != static_cast<size_t>(-1) && r > 0 && !lossy) {
      ok = false;  // an approximation is no conversion
    }
  }
  ::iconv_close(cd);
  if (!ok) return std::nullopt;
  return out;
}

}  // namespace

std::optional<std::string> TerminalToWindows1252(std::string_view text) {
  return Convert(kFileCharset, TerminalCharset(), text, false);
}

std::string Windows1252ToTerminal(std::string_view text) {
  return Convert(TerminalCharset(), kFileCharset, text, true).value_or(std::string(text));
}

}  // namespace dovevid::app
