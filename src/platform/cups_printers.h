// The spooler's printers, as entries of the printer list.
#pragma once

#include <string>
#include <vector>

namespace dovevid::platform {

// One entry per CUPS destination: its name, " ,  ", then its device URI, or
// its make and model when the URI is not known.
std::vector<std::string> SpoolerPrinterEntries();

}  // namespace dovevid::platform
