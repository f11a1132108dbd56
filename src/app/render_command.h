#pragma once

#include <string>
#include <vector>

namespace dovevid::app {

// dovevid render FILE [--set NAME=VALUE ...] [--now TIME] [--app-dir D] [--data-dir D]
// Exit status 0 when a rendered-lines file was produced, 1 when none was,
// 2 on bad usage.
int RunRenderCommand(const std::vector<std::string>& args);

}  // namespace dovevid::app
