// The commands that drive the server of a data directory: status, printer
// maintenance, reprint, receipt counter, polling interval, test receipt.
#pragma once

#include <string>
#include <vector>

namespace dovevid::app {

// `args` starts with the command's name. Returns the exit status; false
// from IsControlCommand for names that are not such a command.
bool IsControlCommand(const std::string& name);
int RunControlCommand(const std::vector<std::string>& args);

}  // namespace dovevid::app
