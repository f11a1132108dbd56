#include "platform/identification.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "temp_dir.h"

namespace dovevid::platform {
namespace {

namespace fs = std::filesystem;

// A network interface in a sysfs-like tree: it lives under devices/DEVICE_DIR,
// class/net holds a link to it.
void AddInterface(const std::string& root, const std::string& name, const std::string& device_dir,
                  int type, int ifindex, const std::string& address, bool device_link,
                  bool wireless = false) {
  const std::string dir = root + "/devices/" + device_dir + "/net/" + name;
  fs::create_directories(dir);
  fs::create_directories(root + "/class/net");
  testing::WriteFileOrDie(dir + "/type", std::to_string(type) + "\n");
  testing::WriteFileOrDie(dir + "/ifindex", std::to_string(ifindex) + "\n");
  testing::WriteFileOrDie(dir + "/address", address + "\n");
  testing::WriteFileOrDie(dir + "/addr_len", "6\n");
  if (device_link) fs::create_directory_symlink("../..", dir + "/device");
  if (wireless) fs::create_directories(dir + "/wireless");
  fs::create_directory_symlink("../../devices/" + device_dir + "/net/" + name,
                               root + "/class/net/" + name);
}

TEST(MacText, SmallestIfindexAmongPhysicalWiredEthernet) {
  testing::TempDir sys;
  AddInterface(sys.path(), "lo", "virtual", 772, 1, "00:00:00:00:00:00", false);
  EXPECT_EQ(GetMacText(sys.path()), "");
  EXPECT_EQ(GetMacText(sys / "missing"), "");
  AddInterface(sys.path(), "veth0", "virtual", 1, 2, "02:42:ac:11:00:02", true);
  AddInterface(sys.path(), "dummy0", "platform/x", 1, 3, "02:00:00:00:00:01", false);  // no device
  AddInterface(sys.path(), "wlan0", "pci0000:00/0000:00:14.0", 1, 4, "aa:bb:cc:dd:ee:ff", true, true);
  AddInterface(sys.path(), "eth1", "pci0000:00/0000:00:1f.6", 1, 9, "00:11:22:33:44:55", true);
  AddInterface(sys.path(), "eth0", "pci0000:00/0000:00:03.0", 1, 5, "00:1a:2b:3c:4d:5e", true);
  EXPECT_EQ(GetMacText(sys.path()), "001A2B3C4D5E");
}

TEST(VolumeSerial, OneSerialPerFilesystem) {
  testing::TempDir dir;
  fs::create_directories(dir / "sub");
  const auto serial = VolumeSerialNumber(dir.path());
  ASSERT_TRUE(serial.has_value());
  EXPECT_EQ(VolumeSerialNumber(dir / "sub"), serial);
  EXPECT_EQ(VolumeSerialNumber(dir / "missing"), std::nullopt);
}

}  // namespace
}  // namespace dovevid::platform
