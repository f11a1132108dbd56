// dovevid without a command: the print server with its settings window and
// tray icon. A second start on the same data directory only brings the
// running program's window to the front.
#pragma once

#include <string>
#include <vector>

namespace dovevid::app {

// `args` are the program's arguments (common options only).
int RunWindowProgram(int argc, char** argv, const std::vector<std::string>& args);

}  // namespace dovevid::app
