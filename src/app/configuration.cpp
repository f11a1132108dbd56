#include "app/configuration.h"

#include <fmt/format.h>

#include "base/text.h"
#include "platform/cups_printers.h"

namespace dovevid::app {

std::vector<std::string> PrinterEntries(int com_port) {
  std::vector<std::string> entries = {fmt::format("RS232_PRINTER , COM{}", com_port)};
  for (std::string& e : platform::SpoolerPrinterEntries()) entries.push_back(std::move(e));
  return entries;
}

config::Settings LoadSettings(Env& env, const config::Directories& dirs,
                              bool rewrite_timer_file) {
  config::Settings s;
  s.printer_entries = PrinterEntries(0);
  const auto select = [&s](const std::string& name) {
    for (size_t i = 0; i < s.printer_entries.size(); ++i) {
      const std::string& e = s.printer_entries[i];
      if (Trim(e.substr(0, e.find(','))) == name) return static_cast<int>(i);
    }
    return 0;
  };
  config::LoadConfiguration(env, dirs, s, select, rewrite_timer_file);
  config::ApplyListDefaults(s);
  s.printer_entries[0] = fmt::format("RS232_PRINTER , COM{}", s.PrinterComPort());
  return s;
}

}  // namespace dovevid::app
