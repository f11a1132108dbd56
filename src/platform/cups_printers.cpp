#include "platform/cups_printers.h"

#include <cups/cups.h>

namespace dovevid::platform {

std::vector<std::string> SpoolerPrinterEntries() {
  std::vector<std::string> entries;
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  for (int i = 0; i < count; ++i) {
    const cups_dest_t& d = dests[i];
    if (d.instance != nullptr) continue;  // instances share their printer's queue
    const char* where = cupsGetOption("device-uri", d.num_options, d.options);
    if (where == nullptr) where = cupsGetOption("printer-make-and-model", d.num_options, d.options);
    entries.push_back(std::string(d.name) + " ,  " + (where ? where : ""));
  }
  cupsFreeDests(count, dests);
  return entries;
}

}  // namespace dovevid::platform
