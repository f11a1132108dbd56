#include "config/schema.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <functional>

#include "base/text.h"

namespace dovevid::config {

namespace {

enum class Kind { kList, kCounter, kInputType, kPrinter, kHeader, kFooter, kCheck, kEnableDisplay,
                  kWord };

struct Entry {
  std::string name;
  Kind kind;
  int index = 0;  // list number, array index
  std::array<bool, kHeaderLines> Settings::*boxes = nullptr;
};

constexpr char kNoneText[] = "<none>";

std::vector<Entry> BuildEntries() {
  std::vector<Entry> e;
  auto list = [&e](List l) { e.push_back({std::string(ListControlName(l)), Kind::kList, static_cast<int>(l)}); };
  for (List l : {List::kComPort, List::kBaudRate, List::kParity, List::kDataBit, List::kStopBit}) list(l);
  e.push_back({"txtNumScontr", Kind::kCounter});
  for (List l : {List::kRowLength, List::kEndSpaces, List::kFileExtension, List::kPostCutFeeds,
                 List::kBarcode, List::kUnused1, List::kUnused2, List::kUnused3, List::kUnused4}) {
    list(l);
  }
  for (int i = 0; i < 2; ++i) e.push_back({fmt::format("optInputType({})", i), Kind::kInputType, i});
  e.push_back({"ListPrinters", Kind::kPrinter});
  for (int i = 0; i < kHeaderLines; ++i) e.push_back({fmt::format("txtHeader({})", i), Kind::kHeader, i});
  for (int i = 0; i < kHeaderLines; ++i) e.push_back({fmt::format("txtFooter({})", i), Kind::kFooter, i});
  const std::pair<const char*, std::array<bool, kHeaderLines> Settings::*> boxes[] = {
      {"chkDH_Header", &Settings::chkDH_Header},
      {"chkDW_Header", &Settings::chkDW_Header},
      {"chkDH_Footer", &Settings::chkDH_Footer},
      {"chkDW_Footer", &Settings::chkDW_Footer},
  };
  for (const auto& [name, member] : boxes) {
    for (int i = 0; i < kHeaderLines; ++i) e.push_back({fmt::format("{}({})", name, i), Kind::kCheck, i, member});
  }
  for (int i = 0; i < kOptions; ++i) e.push_back({fmt::format("chkOptions({})", i), Kind::kCheck, i});
  list(List::kComPortDisplay);
  e.push_back({"chkEnableComPortDisplay", Kind::kEnableDisplay});
  list(List::kDisplayLength);
  for (int i = 0; i < kWords; ++i) e.push_back({fmt::format("txtWords({})", i), Kind::kWord, i});
  return e;
}

const std::vector<Entry>& Entries() {
  static const std::vector<Entry> entries = BuildEntries();
  return entries;
}

const Entry* Find(std::string_view name) {
  for (const Entry& e : Entries()) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

bool& CheckBox(Settings& s, const Entry& e) {
  if (e.boxes) return (s.*e.boxes)[static_cast<size_t>(e.index)];
  return s.chkOptions[static_cast<size_t>(e.index)];
}

std::optional<bool> ParseCheck(std::string_view value) {
  if (value == "1") return true;
  if (value == "0") return false;
  return std::nullopt;
}

Status Bad(const Entry& e, std::string_view value, std::string_view why) {
  return Status::Error(fault::kPathFileAccess,
                       fmt::format("{}: '{}' is not accepted: {}", e.name, value, why));
}

Status CheckText(const Entry& e, std::string_view value, size_t max_length) {
  for (char c : value) {
    if (c == '\r' || c == '\n') return Bad(e, value, "a line end cannot be stored");
    // The texts go to the printer, which would take such a byte as a command.
    if (IsControlByte(c)) {
      std::string shown;  // the message must not act on the terminal either
      for (char v : value) {
        shown += IsControlByte(v) ? fmt::format("\\x{:02X}", static_cast<unsigned char>(v))
                                  : std::string(1, v);
      }
      return Bad(e, shown, "control characters cannot be printed");
    }
  }
  if (value.size() > max_length) {
    return Bad(e, value, fmt::format("at most {} characters", max_length));
  }
  return Status::OK();
}

Status SetList(Settings& s, const Entry& e, std::string_view value) {
  const List list = static_cast<List>(e.index);
  const bool may_be_empty = list == List::kComPort || list == List::kComPortDisplay;
  if (may_be_empty && value == kNoneText) {
    s.Position(list) = kNone;
    if (list == List::kComPortDisplay) s.display_com_port = 0;
    return Status::OK();
  }
  const auto items = ListItems(list);
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] == value) {
      SelectListItem(s, list, static_cast<int>(i));
      return Status::OK();
    }
  }
  std::string choices;
  for (const std::string& item : items) choices += (choices.empty() ? "" : ", ") + item;
  if (may_be_empty) choices += std::string(", ") + kNoneText;
  return Bad(e, value, "choose one of " + choices);
}

Status SetPrinter(Settings& s, const Entry& e, std::string_view value) {
  if (value == kNoneText) {
    s.listPrinters = kNone;
    return Status::OK();
  }
  std::string names;
  for (size_t i = 0; i < s.printer_entries.size(); ++i) {
    const std::string& entry = s.printer_entries[i];
    const std::string name = Trim(entry.substr(0, entry.find(',')));
    if (name == value) {
      s.listPrinters = static_cast<int>(i);
      return Status::OK();
    }
    names += (names.empty() ? "" : ", ") + name;
  }
  return Bad(e, value, names.empty() ? "no printer is known" : "choose one of " + names);
}

}  // namespace

std::vector<std::string> SettingNames() {
  std::vector<std::string> names;
  for (const Entry& e : Entries()) names.push_back(e.name);
  names.emplace_back("txtTimerVal");
  return names;
}

bool GetSetting(const Settings& s, std::string_view name, std::string* value) {
  if (name == "txtTimerVal") {
    *value = s.txtTimerVal;
    return true;
  }
  const Entry* e = Find(name);
  if (!e) return false;
  Settings& m = const_cast<Settings&>(s);  // read only; CheckBox is shared with SetSetting
  const size_t i = static_cast<size_t>(e->index);
  switch (e->kind) {
    case Kind::kList: {
      const std::string item = s.SelectedItem(static_cast<List>(e->index));
      *value = item.empty() ? kNoneText : item;
      break;
    }
    case Kind::kCounter: *value = std::to_string(s.receipt_counter); break;
    case Kind::kInputType: *value = s.optInputType[i] ? "1" : "0"; break;
    case Kind::kPrinter:
      *value = s.listPrinters == kNone ? kNoneText : s.SelectedPrinterName();
      break;
    case Kind::kHeader: *value = s.txtHeader[i]; break;
    case Kind::kFooter: *value = s.txtFooter[i]; break;
    case Kind::kCheck: *value = CheckBox(m, *e) ? "1" : "0"; break;
    case Kind::kEnableDisplay: *value = s.chkEnableComPortDisplay ? "1" : "0"; break;
    case Kind::kWord: *value = s.txtWords[i]; break;
  }
  return true;
}

Status SetSetting(Settings& s, std::string_view name, std::string_view value) {
  const Entry* e = Find(name);
  if (!e) {
    return Status::Error(fault::kPathFileAccess, fmt::format("{}: no such setting", name));
  }
  const size_t i = static_cast<size_t>(e->index);
  switch (e->kind) {
    case Kind::kList: return SetList(s, *e, value);
    case Kind::kCounter: {
      std::int32_t n = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
      if (ec != std::errc() || end != value.data() + value.size()) {
        return Bad(*e, value, "a whole number from -2147483648 to 2147483647");
      }
      s.receipt_counter = n;
      return Status::OK();
    }
    case Kind::kInputType: {
      const auto b = ParseCheck(value);
      if (!b) return Bad(*e, value, "1 or 0");
      s.optInputType[i] = *b;
      s.optInputType[1 - i] = !*b;  // option buttons: exactly one is selected
      return Status::OK();
    }
    case Kind::kPrinter: return SetPrinter(s, *e, value);
    case Kind::kHeader:
    case Kind::kFooter: {
      std::string& line = (e->kind == Kind::kHeader ? s.txtHeader : s.txtFooter)[i];
      // A line kept from a longer row length may still be edited, as long as
      // it does not grow.
      const size_t row = static_cast<size_t>(s.RowLength());
      const size_t limit = value.size() <= line.size() ? std::max(row, line.size()) : row;
      Status st = CheckText(*e, value, limit);
      if (!st.ok()) return st;
      // The settings file keeps no leading blanks: hold what the next start reads.
      line = LTrim(value);
      return Status::OK();
    }
    case Kind::kCheck:
    case Kind::kEnableDisplay: {
      const auto b = ParseCheck(value);
      if (!b) return Bad(*e, value, "1 or 0");
      (e->kind == Kind::kCheck ? CheckBox(s, *e) : s.chkEnableComPortDisplay) = *b;
      return Status::OK();
    }
    case Kind::kWord: {
      Status st = CheckText(*e, value, static_cast<size_t>(WordInfo(e->index).max_length));
      if (!st.ok()) return st;
      s.txtWords[i] = std::string(value);
      return Status::OK();
    }
  }
  return Status::OK();
}

std::optional<SettingDescription> DescribeSetting(const Settings& s, std::string_view name) {
  if (name == "txtTimerVal") {
    return SettingDescription{"Timer in sec.", "Timer value in second",
                              "seconds below 100 (at most 60), or milliseconds from 100 to 60000", 2};
  }
  const Entry* e = Find(name);
  if (!e) return std::nullopt;
  const std::string row = fmt::format("text, at most {} characters (the row length)", s.RowLength());
  const int i = e->index;
  switch (e->kind) {
    case Kind::kList: {
      const List list = static_cast<List>(i);
      std::string items;
      for (const std::string& item : ListItems(list)) items += (items.empty() ? "" : ", ") + item;
      if (list == List::kComPort || list == List::kComPortDisplay) items += std::string(", ") + kNoneText;
      return SettingDescription{std::string(ListCaption(list)), std::string(ListToolTip(list)), items};
    }
    case Kind::kCounter:
      return SettingDescription{"Set Num. Rec.", "Set Num. Scontr.", "a whole number", 5};
    case Kind::kInputType:
      return SettingDescription{i == 0 ? "SL" : "Txt",
                                i == 0 ? "Select input type as Zaduru Language (SL)"
                                       : "Select Input Type as normal text preformatted",
                                "1 or 0 (selecting one clears the other)"};
    case Kind::kPrinter:
      return SettingDescription{"Printers", "", "a printer name of 'dovevid printer list'"};
    case Kind::kHeader: return SettingDescription{"Header", "Header line ", row, s.RowLength()};
    case Kind::kFooter: return SettingDescription{"Footer", "Footer line ", row, s.RowLength()};
    case Kind::kCheck: {
      if (!e->boxes) {
        const OptionSpec& o = OptionInfo(i);
        return SettingDescription{std::string(o.caption), std::string(o.tool_tip), "1 or 0"};
      }
      const bool header = e->boxes == &Settings::chkDH_Header || e->boxes == &Settings::chkDW_Header;
      const bool height = e->boxes == &Settings::chkDH_Header || e->boxes == &Settings::chkDH_Footer;
      std::string tip;
      if (header) {
        tip = height ? "Enable Double Heigth on Header Lines" : "Enable Double Width on Header Lines";
      }
      return SettingDescription{height ? (header ? "D.H" : "D.H.") : "D.W.", tip, "1 or 0"};
    }
    case Kind::kEnableDisplay:
      return SettingDescription{"Enable Display", "", "1 or 0"};
    case Kind::kWord:
      return SettingDescription{std::string(WordInfo(i).caption), "",
                                fmt::format("text, at most {} characters", WordInfo(i).max_length),
                                WordInfo(i).max_length};
  }
  return std::nullopt;
}

}  // namespace dovevid::config
