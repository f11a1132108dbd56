#include "platform/identification.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "temp_dir.h"

namespace dovevid::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteFileOrDie;

// A sysfs-like tree: devices live under devices/, class/net holds links.
class FakeSys {
 public:
  explicit FakeSys(const std::string& root) : root_(root) { fs::create_directories(root_ + "/class/net"); }

  // A network interface; `device_dir` is where it lives under devices/.
  void Add(const std::string& name, const std::string& device_dir, int type, int ifindex,
           const std::string& address, bool with_device_link, bool wireless = false) {
    const std::string dir = root_ + "/devices/" + device_dir + "/net/" + name;
    fs::create_directories(dir);
    WriteFileOrDie(dir + "/type", std::to_string(type) + "\n");
    WriteFileOrDie(dir + "/ifindex", std::to_string(ifindex) + "\n");
    WriteFileOrDie(dir + "/address", address + "\n");
    WriteFileOrDie(dir + "/addr_len", "6\n");
    if (with_device_link) fs::create_directory_symlink("../..", dir + "/device");
    if (wireless) fs::create_directories(dir + "/wireless");
    fs::create_directory_symlink("../../devices/" + device_dir + "/net/" + name,
                                 root_ + "/class/net/" + name);
  }

 private:
  std::string root_;
};

TEST(MacText, SmallestIfindexAmongPhysicalWiredEthernet) {
  TempDir tmp;
  FakeSys sys(tmp.path());
  sys.Add("lo", "virtual", 772, 1, "00:00:00:00:00:00", false);
  sys.Add("veth0", "virtual", 1, 2, "02:42:ac:11:00:02", true);  // under devices/virtual
  sys.Add("dummy0", "platform/x", 1, 3, "02:00:00:00:00:01", false);  // no device link
  sys.Add("wlan0", "pci0000:00/0000:00:14.0", 1, 4, "aa:bb:cc:dd:ee:ff", true, true);
  sys.Add("eth1", "pci0000:00/0000:00:1f.6", 1, 9, "00:11:22:33:44:55", true);
  sys.Add("eth0", "pci0000:00/0000:00:03.0", 1, 5, "00:1a:2b:3c:4d:5e", true);
  EXPECT_EQ(GetMacText(tmp.path()), "001A2B3C4D5E");
}

TEST(MacText, EmptyWithoutEthernetOrSysfs) {
  TempDir tmp;
  FakeSys sys(tmp.path());
  sys.Add("lo", "virtual", 772, 1, "00:00:00:00:00:00", false);
  EXPECT_EQ(GetMacText(tmp.path()), "");
  EXPECT_EQ(GetMacText(tmp.path() + "/missing"), "");
}

TEST(VolumeSerial, RootFilesystemHasAStableSerial) {
  const auto a = VolumeSerialNumber("/");
  const auto b = VolumeSerialNumber("/");
  EXPECT_EQ(a, b);
  EXPECT_EQ(VolumeSerialNumber("/no/such/path"), std::nullopt);
}

}  // namespace
}  // namespace dovevid::platform
