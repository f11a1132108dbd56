// dovevid --headless: the print server without a window, for a service
// manager. Stopped cleanly by SIGTERM or SIGINT.
#pragma once

#include <string>
#include <vector>

namespace dovevid::app {

// Environment variable that shortens the paper-end wait (pauses of one
// second before a line gives up; 300 when unset). For tests and demos.
inline constexpr char kPaperEndPausesVariable[] = "DOVEVID_PAPER_END_PAUSES";

// `args` are the program's arguments without --headless.
int RunHeadless(int argc, char** argv, const std::vector<std::string>& args);

}  // namespace dovevid::app
