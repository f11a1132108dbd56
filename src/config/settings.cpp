#include "config/settings.h"

#include <fmt/format.h>

#include "base/text.h"

namespace dovevid::config {

namespace {

std::vector<std::string> Numbers(int from, int to) {
  std::vector<std::string> items;
  for (int n = from; n <= to; ++n) items.push_back(std::to_string(n));
  return items;
}

std::vector<std::string> RowLengths() {
  std::vector<std::string> items = {"24", "30"};
  for (int n = 32; n <= 60; n += 2) items.push_back(std::to_string(n));
  return items;
}

std::vector<std::string> ComNames() {
  std::vector<std::string> items;
  for (int n = 1; n <= 10; ++n) items.push_back(fmt::format("COM{}", n));
  return items;
}

struct ListDef {
  std::string_view name;
  std::string_view caption;
  std::string_view tool_tip;
  std::vector<std::string> items;
};

const std::vector<ListDef>& Lists() {
  static const std::vector<ListDef> lists = {
      {"cboComPort", "Com Port", "Com Port selection", Numbers(1, 20)},
      {"cboBaudRate", "B.Rate", "Baud Rate selection", {"2400", "4800", "9600", "19200", "38400", "57600", "115200"}},
      {"cboParity", "Parity", "Parity selection", {"N", "O", "E"}},
      {"cboDataBit", "DataBit", "Data Bit selection", {"7", "8"}},
      {"cboStopBit", "StopBit", "Stop Bit selection", {"1", "2"}},
      {"cboRowLength", "Row Length", "Define max. row length", RowLengths()},
      {"cboEndSpaces", "Pre Cut Feeds", "Number of feeds before cutting", Numbers(0, 20)},
      {"cboFileExtension", "File Extension and Code", "Define file extension", {".001", ".002", ".003", ".004", ".005", ".006", ".007", ".008"}},
      {"cboPostCutFeeds", "Post Cut Feeds", "Number of feeds after cutting", Numbers(0, 20)},
      {"cboBarcode", "Barcode Type", "Barcode Type Selection",
       {"UPC/A", "UPC/E", "EAN 13", "EAN 8", "CODE 39", "ITF 2/5", "CODABAR", "CODE 93",
        "CODE 128"}},
      {"cboUnused1", "Unused 1", "", {"0"}},
      {"cboUnused2", "Unused 2", "", {"0"}},
      {"cboUnused3", "Unused 3", "", {"0"}},
      {"cboUnused4", "Unused 4", "", {"0"}},
      {"cmbComPortDisplay", "Porta COM Display", "Seleziona porta COM del Display", ComNames()},
      {"cboDisplayLength", "Display Length", "", {"16", "20"}},
  };
  return lists;
}

const std::array<WordSpec, kWords> kWordSpecs = {{
    {"Total", "TOTALE", 20},
    {"Subotal", "SUBT.", 20},
    {"Quantity", "QTA'", 20},
    {"Price", "PREZZO", 20},
    {"Sale", "ARTICOLO", 20},
    {"Description", "DESCRIZIONE", 20},
    {"Discount", "SCONTO", 20},
    {"Surcharge", "MAGG.", 20},
    {"Cash", "CONTANTI", 20},
    {"Card", "CARTA DI CR.", 20},
    {"Cheque", "ASSEGNI", 20},
    {"Invoice", "FATTURA", 20},
    {"Tot. Invoice", "TOT. FATTURA", 20},
    {"Date", "DATA", 20},
    {"Time", "ORA", 20},
    {"Euro", "EURO", 15},
    {"Change", "RESTO", 20},
    {"Bancomat", "PAG. BANCOMAT", 20},
    {"Credit", "CREDITO", 20},
    {"No Paid", "CORR. NON PAGATO", 30},
    {"Paid", "CORRISP. PAGATO", 30},
    {"Taxable", "IMPONIBILE", 20},
    {"Exempt", "ESENTE", 20},
    {"VAT", "IVA", 20},
    {"Cust Header", "Intestazione Cliente", 30},
    {"Disc. On Item", "SCONTO SU ART.", 24},
    {"Disc. on Subt.", "SCONTO SU SUBT.", 24},
    {"Surch. On Item", "MAGG. SU ART.", 24},
    {"Surch. On Subt", "MAGG. SU SUBT.", 24},
    {"Reso", "*** RESO ***", 20},
    {"Operator", "OPERATORE", 20},
    {"Bonjour", "** Buongiorno **", 20},
    {"", "", 15},
}};

const std::array<OptionSpec, kOptions> kOptionSpecs = {{
    {"Print Date Up", "Enable Date/Time printing at the top of the receipt", true},
    {"Print Date Down", "Enable Date/Time printing at the end of the receipt", true},
    {"Print Logo Up", "Enable the Logo printing", true},
    {"Partial Paper Cut", "Enable the partial paper cutting", true},
    {"Total Paper Cut", "Enable the total paper cutting", false},
    {"Receipt Counter", "Enable Receipt Counter", true},
    {"Date Centered", "Set DateTime Centered", false},
    {"Post Date LF", "Add LF post Date", false},
    {"Calc. + Print  VAT", "Calculate and print VAT", true},
    {"Jump Payments", "", true},
    {"No Kill Dati/Start", "", true},
    {"Trace enable", "", false},
}};

}  // namespace

std::span<const std::string> ListItems(List list) {
  return Lists()[static_cast<size_t>(list)].items;
}

std::string_view ListControlName(List list) { return Lists()[static_cast<size_t>(list)].name; }
std::string_view ListCaption(List list) { return Lists()[static_cast<size_t>(list)].caption; }
std::string_view ListToolTip(List list) { return Lists()[static_cast<size_t>(list)].tool_tip; }

const WordSpec& WordInfo(int index) { return kWordSpecs.at(static_cast<size_t>(index)); }

const OptionSpec& OptionInfo(int index) { return kOptionSpecs.at(static_cast<size_t>(index)); }

Settings::Settings() {
  for (int i = 0; i < kOptions; ++i) chkOptions[static_cast<size_t>(i)] = OptionInfo(i).default_checked;
  for (int i = 0; i < kWords; ++i) txtWords[static_cast<size_t>(i)] = WordInfo(i).default_text;
}

int& Settings::Position(List list) {
  switch (list) {
    case List::kComPort: return cboComPort;
    case List::kBaudRate: return cboBaudRate;
    case List::kParity: return cboParity;
    case List::kDataBit: return cboDataBit;
    case List::kStopBit: return cboStopBit;
    case List::kRowLength: return cboRowLength;
    case List::kEndSpaces: return cboEndSpaces;
    case List::kFileExtension: return cboFileExtension;
    case List::kPostCutFeeds: return cboPostCutFeeds;
    case List::kBarcode: return cboBarcode;
    case List::kUnused1: return cboUnused[0];
    case List::kUnused2: return cboUnused[1];
    case List::kUnused3: return cboUnused[2];
    case List::kUnused4: return cboUnused[3];
    case List::kComPortDisplay: return cmbComPortDisplay;
    case List::kDisplayLength: return cboDisplayLength;
  }
  return cboComPort;  // not reached: every enumerator is handled above
}

int Settings::Position(List list) const { return const_cast<Settings*>(this)->Position(list); }

std::string Settings::SelectedItem(List list) const {
  const int pos = Position(list);
  const auto items = ListItems(list);
  if (pos < 0 || pos >= static_cast<int>(items.size())) return {};
  return items[static_cast<size_t>(pos)];
}

std::string Settings::FileExtension() const {
  const std::string ext = SelectedItem(List::kFileExtension);
  return ext.empty() ? ".001" : ext;
}

int Settings::PrinterComPort() const { return cboComPort >= 0 ? cboComPort + 1 : 0; }

int Settings::RowLength() const {
  const std::string item = SelectedItem(List::kRowLength);
  return item.empty() ? 32 : std::stoi(item);
}

std::string Settings::SelectedPrinterName() const {
  if (listPrinters < 0 || listPrinters >= static_cast<int>(printer_entries.size())) return {};
  const std::string& entry = printer_entries[static_cast<size_t>(listPrinters)];
  return Trim(entry.substr(0, entry.find(',')));
}

std::string Settings::SerialSettingsText() const {
  auto item = [this](List list, const char* fallback) {
    const std::string s = SelectedItem(list);
    return s.empty() ? std::string(fallback) : s;
  };
  return fmt::format("{},{},{},{}", item(List::kBaudRate, "9600"), item(List::kParity, "N"),
                     item(List::kDataBit, "8"), item(List::kStopBit, "1"));
}

void SelectListItem(Settings& s, List list, int position) {
  s.Position(list) = position;
  const std::string item = s.SelectedItem(list);
  if (list == List::kComPortDisplay && !item.empty()) {
    s.display_com_port = position + 1;
  } else if (list == List::kDisplayLength && !item.empty()) {
    s.display_line_length = std::stoi(item);
  }
}

}  // namespace dovevid::config
