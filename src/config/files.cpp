#include "config/files.h"

#include <fmt/format.h>

#include <cmath>
#include <limits>
#include <vector>

#include "base/text.h"

namespace dovevid::config {

namespace {

// Lists of records 1..5 and 7..15, in file order (record 6 sits between).
constexpr List kLeadingLists[] = {List::kComPort, List::kBaudRate, List::kParity, List::kDataBit,
                                  List::kStopBit};
constexpr List kTrailingLists[] = {List::kRowLength,    List::kEndSpaces, List::kFileExtension,
                                   List::kPostCutFeeds, List::kBarcode,   List::kUnused1,
                                   List::kUnused2,      List::kUnused3,   List::kUnused4};

// " 2 " for a non-negative number, "-1 " for a negative one.
std::string NumberRecord(long long n) {
  return n >= 0 ? fmt::format(" {} ", n) : fmt::format("{} ", n);
}

// Reads the records of one file in order; `Next` gives nothing at the end.
class RecordReader {
 public:
  explicit RecordReader(std::vector<std::string> lines) : lines_(std::move(lines)) {}
  bool AtEnd() const { return next_ >= lines_.size(); }
  // The record text: the whole line without its leading blanks.
  std::string Next() { return LTrim(lines_[next_++]); }

 private:
  std::vector<std::string> lines_;
  size_t next_ = 0;
};

void ApplyListRecord(Settings& s, List list, const std::string& text) {
  const auto value = ParseNumber(text);
  if (!value) return;
  const long long count = static_cast<long long>(ListItems(list).size());
  const long long pos = RoundHalfEven(*value);
  // A position the list would refuse (beyond its items, or below "none") is
  // ignored like any other unusable record.
  if (*value < static_cast<double>(count) && pos >= kNone && pos < count) {
    SelectListItem(s, list, static_cast<int>(pos));
  }
}

void ApplyCounterRecord(Settings& s, const std::string& text) {
  const auto value = ParseNumber(text);
  if (value && std::fabs(*value) <= std::numeric_limits<std::int32_t>::max()) {
    s.receipt_counter = static_cast<std::int32_t>(RoundHalfEven(*value));
  } else {
    s.receipt_counter = 0;
  }
}

void ApplyPrinterRecord(Settings& s, const std::string& text, const PrinterSelector& select) {
  const std::string name = Trim(text);
  if (name.empty()) return;
  bool matched = false;
  int position = 0;
  for (const std::string& entry : s.printer_entries) {
    if (Trim(entry.substr(0, entry.find(','))) == name) {
      position = select ? select(name) : 0;
      matched = true;
    }
  }
  if (!s.printer_entries.empty()) s.listPrinters = matched ? position : kNone;
}

void ApplyDisplayLengthRecord(Settings& s, const std::string& text) {
  const auto items = ListItems(List::kDisplayLength);
  const long long count = static_cast<long long>(items.size());
  const auto value = ParseNumber(text);
  if (!value) {
    SelectListItem(s, List::kDisplayLength, 0);
    return;
  }
  ApplyListRecord(s, List::kDisplayLength, text);
  const long long pos = RoundHalfEven(*value);
  if (pos >= 0 && pos < count) {
    s.display_line_length = std::stoi(items[static_cast<size_t>(pos)]);
  }
}

void ReadSettingsFile(RecordReader& r, Settings& s, const PrinterSelector& select) {
  for (List list : kLeadingLists) {
    if (r.AtEnd()) return;
    ApplyListRecord(s, list, r.Next());
  }
  if (r.AtEnd()) return;
  ApplyCounterRecord(s, r.Next());
  for (List list : kTrailingLists) {
    if (r.AtEnd()) return;
    ApplyListRecord(s, list, r.Next());
  }
  for (bool& option : s.optInputType) {
    if (r.AtEnd()) return;
    if (auto b = ParseBoolean(r.Next())) option = *b;
  }
  if (r.AtEnd()) return;
  ApplyPrinterRecord(s, r.Next(), select);
  for (auto* lines : {&s.txtHeader, &s.txtFooter}) {
    for (std::string& line : *lines) {
      if (r.AtEnd()) return;
      // A hand-edited file must not smuggle printer commands in either.
      const std::string text = BlankControlBytes(r.Next());
      line = Trim(text).empty() ? std::string() : text;
    }
  }
  for (auto* boxes : {&s.chkDH_Header, &s.chkDW_Header, &s.chkDH_Footer, &s.chkDW_Footer}) {
    for (bool& box : *boxes) {
      if (r.AtEnd()) return;
      box = Val(r.Next()) > 0;
    }
  }
  for (bool& box : s.chkOptions) {
    if (r.AtEnd()) return;
    box = Val(r.Next()) > 0;
  }
  if (r.AtEnd()) return;
  r.Next();  // record 85: reserved
  if (r.AtEnd()) return;
  {
    const auto value = ParseNumber(r.Next());
    const double count = static_cast<double>(ListItems(List::kComPortDisplay).size());
    if (value && *value > 0 && *value <= count) {
      SelectListItem(s, List::kComPortDisplay, static_cast<int>(RoundHalfEven(*value)) - 1);
    } else {
      s.display_com_port = -1;
    }
  }
  if (r.AtEnd()) return;
  s.chkEnableComPortDisplay = Trim(r.Next()) == "1";
  if (r.AtEnd()) {
    SelectListItem(s, List::kDisplayLength, 1);
    return;
  }
  ApplyDisplayLengthRecord(s, r.Next());
}

// The leading number of the text exactly as written ("500" of " 500ms").
std::string LeadingNumberText(const std::string& text) {
  const std::string t = LTrim(text);
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  while (i < t.size() && ((t[i] >= '0' && t[i] <= '9') || t[i] == '.')) ++i;
  return t.substr(0, i);
}

}  // namespace

void LoadConfiguration(Env& env, const Directories& dirs, Settings& settings,
                       const PrinterSelector& select_printer, bool rewrite_timer_file) {
  // 1. Timer file.
  const std::string timer_path = JoinPath(dirs.data_dir, kTimerFileName);
  std::string timer_text;
  std::string contents;
  if (env.FileExists(timer_path) && env.ReadFile(timer_path, &contents).ok()) {
    const auto lines = SplitAnyLineEnd(contents);
    if (!lines.empty()) timer_text = lines[0];
  }
  CalculateTimer(env, dirs, settings, timer_text, false);
  if (rewrite_timer_file) (void)env.WriteFile(timer_path, settings.txtTimerVal + "\r\n");

  // 2. Settings file.
  const std::string settings_path = JoinPath(dirs.app_dir, kSettingsFileName);
  contents.clear();
  if (env.FileExists(settings_path) && env.ReadFile(settings_path, &contents).ok()) {
    RecordReader reader(SplitAnyLineEnd(contents));
    ReadSettingsFile(reader, settings, select_printer);
  }

  // 3. Words file: taken as it stands, empty lines included.
  const std::string words_path = JoinPath(dirs.data_dir, kWordsFileName);
  contents.clear();
  if (env.FileExists(words_path) && env.ReadFile(words_path, &contents).ok()) {
    const auto lines = SplitAnyLineEnd(contents);
    for (size_t i = 0; i < lines.size() && i < settings.txtWords.size(); ++i) {
      settings.txtWords[i] = BlankControlBytes(lines[i]);
    }
  }
}

void ApplyListDefaults(Settings& s) {
  struct Default {
    List list;
    int position;
  };
  constexpr Default kDefaults[] = {
      {List::kBaudRate, 2},     {List::kDataBit, 1},      {List::kParity, 0},
      {List::kStopBit, 0},      {List::kEndSpaces, 0},    {List::kFileExtension, 0},
      {List::kPostCutFeeds, 0}, {List::kRowLength, 2},    {List::kBarcode, 0},
      {List::kUnused1, 0},      {List::kUnused2, 0},      {List::kUnused3, 0},
      {List::kUnused4, 0},
  };
  for (const Default& d : kDefaults) {
    if (s.Position(d.list) == kNone) SelectListItem(s, d.list, d.position);
  }
}

std::string SettingsFileText(const Settings& s) {
  std::vector<std::string> records;
  for (List list : kLeadingLists) records.push_back(NumberRecord(s.Position(list)));
  records.push_back(NumberRecord(s.receipt_counter));
  for (List list : kTrailingLists) records.push_back(NumberRecord(s.Position(list)));
  for (bool option : s.optInputType) records.push_back(option ? "True" : "False");
  const std::string printer = s.SelectedPrinterName();
  records.push_back(s.listPrinters == kNone ? "  " : printer);
  for (const auto* lines : {&s.txtHeader, &s.txtFooter}) {
    for (const std::string& line : *lines) records.push_back(line.empty() ? " " : line);
  }
  for (const auto* boxes : {&s.chkDH_Header, &s.chkDW_Header, &s.chkDH_Footer, &s.chkDW_Footer}) {
    for (bool box : *boxes) records.push_back(box ? "1" : "0");
  }
  for (bool box : s.chkOptions) records.push_back(box ? "1" : "0");
  records.push_back(std::string(64, '0'));
  records.push_back(NumberRecord(s.display_com_port));
  records.push_back(s.chkEnableComPortDisplay ? "1" : "0");
  records.push_back(NumberRecord(s.cboDisplayLength));

  std::string text;
  for (const std::string& r : records) text += r + "\r\n";
  return text;
}

std::string WordsFileText(const Settings& s) {
  std::string text;
  for (const std::string& word : s.txtWords) text += word + "\r\n";
  return text;
}

Status SaveChkComFile(Env& env, const Directories& dirs, const Settings& settings) {
  Status first = env.WriteFile(JoinPath(dirs.app_dir, kSettingsFileName), SettingsFileText(settings));
  // The words file is written even when the settings file could not be.
  Status second = env.WriteFile(JoinPath(dirs.data_dir, kWordsFileName), WordsFileText(settings));
  return first.ok() ? second : first;
}

// The receipt counter's record in the settings file (1-based).
constexpr std::size_t kCounterRecord = 6;

Status SaveReceiptCounter(Env& env, const Directories& dirs, const Settings& settings) {
  const std::string path = JoinPath(dirs.app_dir, kSettingsFileName);
  const std::string full = SettingsFileText(settings);
  std::string text;
  if (env.ReadFile(path, &text).ok() && SplitCrLf(text).size() == SplitCrLf(full).size()) {
    // Record 6 sits where the whole file puts it: take it from there.
    std::vector<std::string> records = SplitCrLf(text);
    records[kCounterRecord - 1] = SplitCrLf(full)[kCounterRecord - 1];
    text.clear();
    for (const std::string& r : records) text += r + "\r\n";
  } else {
    text = full;
  }
  return env.WriteFile(path, text);  // whole or not at all
}

void CalculateTimer(Env& env, const Directories& dirs, Settings& s, const std::string& value,
                    bool save) {
  const double v = Val(value);
  const auto whole_ms = [](double ms) { return static_cast<std::int32_t>(RoundHalfEven(ms)); };
  if (Trim(value).empty() || v <= 0) {
    s.polling_interval_ms = 1000;
  } else if (v < 100) {
    const std::string shown = v <= 60 ? value : "60";
    const std::int32_t ms = whole_ms(Val(shown) * 1000);
    // A tiny value would round to a timer that spins: treat it as no value.
    if (ms <= 0) {
      s.polling_interval_ms = 1000;
    } else {
      s.txtTimerVal = shown;
      s.polling_interval_ms = ms;
    }
  } else if (v <= 60000) {
    // The leading number as written, so a stored "500ms" keeps its form.
    s.txtTimerVal = LeadingNumberText(value) + "ms";
    s.polling_interval_ms = whole_ms(v);
  } else {
    s.txtTimerVal = "60";
    s.polling_interval_ms = 60000;
  }
  if (save) {
    (void)env.WriteFile(JoinPath(dirs.data_dir, kTimerFileName),
                        TimerFileRecord(s.polling_interval_ms) + "\r\n");
  }
}

std::string TimerFileRecord(std::int32_t interval_ms) {
  // A number below 100 reads back as seconds, so such an interval is saved
  // in seconds too ("0.05"), or the next start would poll every 50 s.
  if (interval_ms >= 100 && interval_ms < 1000) return std::to_string(interval_ms);
  if (interval_ms % 1000 == 0) return std::to_string(interval_ms / 1000);
  return fmt::format("{}", interval_ms / 1000.0);
}

}  // namespace dovevid::config
