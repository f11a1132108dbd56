#pragma once

#include <string>
#include <vector>

namespace dovevid::app {

// dovevid logo check|convert|load|print ...: the logo of the receipts.
// Exit status 0 done, 1 refused or not sent, 2 bad usage.
int RunLogoCommand(const std::vector<std::string>& args);

}  // namespace dovevid::app
