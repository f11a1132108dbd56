#include "config/ini_text.h"

#include <cctype>

namespace dovevid::config {

namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The escape after a backslash at s[*i]; advances *i past it.
char Unescape(std::string_view s, size_t* i) {
  const char c = s[(*i)++];
  switch (c) {
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    case 'x': {
      int value = 0;
      for (int digits = 0; digits < 2 && *i < s.size() && HexDigit(s[*i]) >= 0; ++digits) {
        value = value * 16 + HexDigit(s[(*i)++]);
      }
      return static_cast<char>(value);
    }
    default:
      return c;  // \\, \", \' and anything unknown stand for themselves
  }
}

std::string ParseValue(std::string_view raw) {
  std::string value;
  size_t kept = 0;  // blanks after the last quoted or visible character are dropped
  bool quoted = false;
  for (size_t i = 0; i < raw.size();) {
    const char c = raw[i++];
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (c == ';' && !quoted) break;
    const bool blank = !quoted && std::isspace(static_cast<unsigned char>(c));
    if (blank && kept == 0 && value.empty()) continue;  // leading blanks
    value += c == '\\' && i < raw.size() ? Unescape(raw, &i) : c;
    if (!blank) kept = value.size();
  }
  value.resize(kept);
  return value;
}

}  // namespace

IniText IniText::Parse(std::string_view text) {
  IniText ini;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::string group;
  while (!text.empty()) {
    const size_t eol = text.find('\n');
    const std::string_view line = TrimBlanks(text.substr(0, eol));
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      group = TrimBlanks(line.substr(1, line.find(']') - 1));
      if (group == "General") group.clear();
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = TrimBlanks(line.substr(0, eq));
    if (!key.empty()) ini.groups_[group][std::string(key)] = ParseValue(line.substr(eq + 1));
  }
  return ini;
}

std::optional<std::string> IniText::Value(std::string_view group, std::string_view key) const {
  const auto g = groups_.find(group);
  if (g == groups_.end()) return std::nullopt;
  const auto k = g->second.find(key);
  if (k == g->second.end()) return std::nullopt;
  return k->second;
}

std::vector<std::string> IniText::Keys(std::string_view group) const {
  std::vector<std::string> keys;
  if (const auto g = groups_.find(group); g != groups_.end()) {
    for (const auto& [key, value] : g->second) keys.push_back(key);
  }
  return keys;
}

}  // namespace dovevid::config
