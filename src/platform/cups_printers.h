// The spooler's printers: the CUPS destinations of the scheduler in use.
#pragma once

#include <string>
#include <vector>

#include "printer/transport.h"

namespace dovevid::platform {

// One per CUPS queue, in the scheduler's (alphabetical) order: the queue name
// and its device URI, or its make and model when the URI is not reported.
// Instances of lpoptions are left out: they print on their queue's printer.
std::vector<printer::SpoolerPrinter> CupsPrinters();

}  // namespace dovevid::platform
