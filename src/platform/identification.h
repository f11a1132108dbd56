// Where the device identification comes from on Linux: the primary Ethernet
// adapter in sysfs and the serial of the filesystem holding "/".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dovevid::platform {

// The hardware address of the Ethernet adapter (ARPHRD_ETHER, not wireless,
// not virtual) with the smallest ifindex, as upper-case hex digits without
// separators ("001A2B3C4D5E"); at most 8 address bytes. Empty when there is
// none. `sys_root` is the sysfs mount point, so tests can use a fake tree.
std::string GetMacText(const std::string& sys_root = "/sys");

// The filesystem serial of `path` (statvfs f_fsid, its low 32 bits as a
// signed number, like a volume serial); nothing when the filesystem reports
// none.
std::optional<std::int32_t> VolumeSerialNumber(const std::string& path = "/");

}  // namespace dovevid::platform
