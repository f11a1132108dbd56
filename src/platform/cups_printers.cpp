#include "platform/cups_printers.h"

#include <cups/cups.h>

namespace dovevid::platform {

std::vector<printer::SpoolerPrinter> CupsPrinters() {
  std::vector<printer::SpoolerPrinter> printers;
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  for (int i = 0; i < count; ++i) {
    const cups_dest_t& d = dests[i];
    if (d.instance != nullptr) continue;
    const char* where = cupsGetOption("device-uri", d.num_options, d.options);
    if (where == nullptr) where = cupsGetOption("printer-make-and-model", d.num_options, d.options);
    printers.push_back({d.name, where != nullptr ? where : ""});
  }
  cupsFreeDests(count, dests);
  return printers;
}

}  // namespace dovevid::platform
