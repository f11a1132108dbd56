#pragma once

#include <string>
#include <vector>

namespace dovevid::app {

// dovevid submit FILE [--data-dir D] [--ext .001] [--timeout S]: hands FILE
// to the server the way a cash register does and prints the answer.
int RunSubmitCommand(const std::vector<std::string>& args);

}  // namespace dovevid::app
