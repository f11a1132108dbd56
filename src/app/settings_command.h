#pragma once

#include <string>
#include <vector>

namespace dovevid::app {

// dovevid settings [--app-dir D] [--data-dir D]
// dovevid settings set NAME=VALUE ...
int RunSettingsCommand(const std::vector<std::string>& args);


}  // namespace dovevid::app
