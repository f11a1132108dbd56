#include "platform/com_ports.h"

#include "platform/user_settings.h"

namespace dovevid::platform {

std::string ComPortDevicePath(int n, const ComPortMap& overrides) {
  const auto it = overrides.find(n);
  if (it != overrides.end() && !it->second.empty()) return it->second;
  return "/dev/ttyS" + std::to_string(n - 1);
}

ComPortMap ComPortOverrides(const ComPortMap& command_line) {
  ComPortMap ports = ReadComPortOverrides();
  for (const auto& [n, path] : command_line) ports[n] = path;
  return ports;
}

}  // namespace dovevid::platform
