// The configuration record: every setting of the settings window under its
// control name, the derived values the other modules read, and the fixed
// items of the drop-down lists.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dovevid::config {

inline constexpr int kHeaderLines = 9;
inline constexpr int kOptions = 12;
inline constexpr int kWords = 33;
inline constexpr int kNone = -1;  // list position when nothing is selected

// Indices of chkOptions.
enum Option : int {
  kPrintDateUp = 0,
  kPrintDateDown = 1,
  kPrintLogoUp = 2,
  kPartialCut = 3,
  kTotalCut = 4,
  kReceiptCounter = 5,
  kDateCentered = 6,
  kPostDateLf = 7,
  kCalcPrintVat = 8,
  kJumpPayments = 9,
  kNoKillDatiStart = 10,
  kTraceEnable = 11,
};

// The drop-down lists whose items are fixed.
enum class List : int {
  kComPort,
  kBaudRate,
  kParity,
  kDataBit,
  kStopBit,
  kRowLength,
  kEndSpaces,
  kFileExtension,
  kPostCutFeeds,
  kBarcode,
  kUnused1,
  kUnused2,
  kUnused3,
  kUnused4,
  kComPortDisplay,
  kDisplayLength,
};

std::span<const std::string> ListItems(List list);
std::string_view ListControlName(List list);
// The label and tool tip the settings window shows for the list.
std::string_view ListCaption(List list);
std::string_view ListToolTip(List list);

// The designed default of each words entry, its caption and its maximum length.
struct WordSpec {
  std::string_view caption;
  std::string_view default_text;
  int max_length;
};
const WordSpec& WordInfo(int index);

struct OptionSpec {
  std::string_view caption;
  std::string_view tool_tip;  // empty when the switch has none
  bool default_checked;
};
const OptionSpec& OptionInfo(int index);

struct Settings {
  Settings();

  // Selected positions of the fixed lists, kNone when nothing is selected.
  int cboComPort = kNone;
  int cboBaudRate = kNone;
  int cboParity = kNone;
  int cboDataBit = kNone;
  int cboStopBit = kNone;
  int cboRowLength = kNone;
  int cboEndSpaces = kNone;
  int cboFileExtension = kNone;
  int cboPostCutFeeds = kNone;
  int cboBarcode = kNone;
  std::array<int, 4> cboUnused = {kNone, kNone, kNone, kNone};
  int cmbComPortDisplay = kNone;
  int cboDisplayLength = kNone;

  std::int32_t receipt_counter = 0;           // record 6, txtNumScontr
  std::array<bool, 2> optInputType = {true, false};  // SL, preformatted text

  // ListPrinters: the entries the printer channel filled in, and the selection.
  std::vector<std::string> printer_entries;
  int listPrinters = kNone;

  std::array<std::string, kHeaderLines> txtHeader;
  std::array<std::string, kHeaderLines> txtFooter;
  std::array<bool, kHeaderLines> chkDH_Header{};
  std::array<bool, kHeaderLines> chkDW_Header{};
  std::array<bool, kHeaderLines> chkDH_Footer{};
  std::array<bool, kHeaderLines> chkDW_Footer{};
  std::array<bool, kOptions> chkOptions{};

  int display_com_port = 0;  // 0 and -1 mean no display
  bool chkEnableComPortDisplay = false;
  int display_line_length = 20;

  std::array<std::string, kWords> txtWords;
  std::string txtTimerVal = "1";
  std::int32_t polling_interval_ms = 1000;

  // Accessors for the lists.
  int& Position(List list);
  int Position(List list) const;
  // The selected item's text, or empty when nothing is selected.
  std::string SelectedItem(List list) const;

  // Derived values.
  std::string FileExtension() const;   // ".001" when nothing is selected
  int PrinterComPort() const;          // 0 when nothing is selected
  int RowLength() const;               // 32 when nothing is selected
  bool IsSlInput() const { return optInputType[0]; }
  bool Option(int index) const { return chkOptions[static_cast<size_t>(index)]; }
  // The first comma-separated part, trimmed, of the selected printer entry.
  std::string SelectedPrinterName() const;
  // "9600,N,8,1" from the four serial lists (defaults where unselected).
  std::string SerialSettingsText() const;
};

// Selecting a list item by position, with the effects the selection handlers
// have on derived values (display port number, display line length).
void SelectListItem(Settings& s, List list, int position);

}  // namespace dovevid::config
