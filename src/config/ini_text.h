// The per-user settings file (CustomPathDataDir, [ComPorts], [Printers],
// [Logo]): a small INI text a service technician edits by hand, read the way
// Qt's INI settings files are read, so files written for earlier versions
// keep their meaning.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dovevid::config {

class IniText {
 public:
  // Lines "[GROUP]" and "KEY=VALUE"; keys before any group, or under
  // [General], have the group "". Blank lines, lines beginning with ";" or
  // "#" and lines without "=" are skipped; a key given twice keeps its last
  // value. Values lose surrounding blanks and a ";" comment; "..." keeps
  // blanks and ";", and \\ \" \n \r \t \xHH are escapes. A "," is a plain
  // character (Qt would read a list and give an empty text).
  static IniText Parse(std::string_view text);

  std::optional<std::string> Value(std::string_view group, std::string_view key) const;
  // The group's keys in byte order.
  std::vector<std::string> Keys(std::string_view group) const;

 private:
  using Group = std::map<std::string, std::string, std::less<>>;
  std::map<std::string, Group, std::less<>> groups_;
};

}  // namespace dovevid::config
