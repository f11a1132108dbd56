// Which device a COM port number stands for. COM n is /dev/ttyS{n-1} unless
// it is mapped elsewhere: in the settings group [ComPorts] (COM3=/dev/ttyUSB0)
// of the user's file or, for a key the user's file lacks, of the system-wide
// /etc/xdg/Quenbridge/QNBKORV1.conf (the service account has no home), or
// for one run with --com 3=/dev/ttyUSB0, which wins.
#pragma once

#include <map>
#include <string>

namespace dovevid::platform {

using ComPortMap = std::map<int, std::string>;

// The device path of COM `n` (n >= 1).
std::string ComPortDevicePath(int n, const ComPortMap& overrides);

// The user's overrides with `command_line` on top.
ComPortMap ComPortOverrides(const ComPortMap& command_line);

}  // namespace dovevid::platform
