#pragma once

#include <string>
#include <vector>

namespace dovevid::app {

// dovevid preview FILE [--png OUT.png] ...: the whole receipt a job prints,
// as decoded text or as a drawing. Exit status 0 shown, 1 the print run
// failed (what it sent is still shown), 2 bad usage.
int RunPreviewCommand(int argc, char** argv, const std::vector<std::string>& args);

}  // namespace dovevid::app
