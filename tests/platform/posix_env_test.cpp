// The platform's pieces on real files: the Env, where what someone else put
// into the shared directories (links, FIFOs, huge files) is never followed,
// blocked on or read whole, and a replaced file is never seen half-written;
// the instance lock; the machine's identification from a sysfs-like tree.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "platform/identification.h"
#include "platform/instance_lock.h"
#include "platform/posix_env.h"
#include "temp_dir.h"

namespace dovevid::platform {
namespace {

namespace fs = std::filesystem;

// A linked, FIFO or directory SR_DATI and a linked SR_ERR: the end-to-end
// fault matrix. Here what no job reaches: the log, the copy, a huge file.
TEST(PosixEnv, LinksAndOtherNonRegularFilesAreNeitherReadNorWrittenThrough) {
  testing::TempDir dir;
  PosixEnv env;
  const std::string secret = dir / "secret";
  testing::WriteFileOrDie(secret, "root:x:0:0\n");
  for (const char* name : {"SR_DATI.001", "SR_ERR.001", "LOGFILE.TXT"}) {
    ASSERT_EQ(::symlink(secret.c_str(), (dir / name).c_str()), 0);
  }
  testing::WriteFileOrDie(dir / "big", std::string(kMaxFileBytes + 1, 'x'));

  std::string data;
  EXPECT_FALSE(env.ReadFile(dir / "big", &data).ok());
  EXPECT_FALSE(env.CopyFile(dir / "SR_DATI.001", dir / "COPIA.TMP").ok());
  EXPECT_FALSE(env.AppendFile(dir / "LOGFILE.TXT", "line\r\n").ok());
  // Writing replaces the link itself, with a file for the server's group only.
  EXPECT_TRUE(env.WriteFile(dir / "SR_ERR.001", "E511\r\n").ok());
  struct stat st {};
  ASSERT_EQ(::lstat((dir / "SR_ERR.001").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07, 0u);
}

TEST(PosixEnv, AWriteThatFailsMidwayLeavesThePreviousFileWhole) {
  testing::TempDir dir;
  PosixEnv env;
  testing::WriteFileOrDie(dir / "SR_OUT.001", "old answer\r\n");
  // A file size limit fails the write part way, as a full disk does.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  const rlimit small{4, saved.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const Status st = env.WriteFile(dir / "SR_OUT.001", "TIME,CASS. 1 ,09:05\r\n");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_FALSE(st.ok());
  EXPECT_EQ(testing::ReadFileOrEmpty(dir / "SR_OUT.001"), "old answer\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}

// A second server refused, and the lock released at exit (even kill -9) and
// kept through a move: the end-to-end second-server and fault-matrix tests.
TEST(InstanceLock, SurvivesEveryFileOfTheDirectoryBeingDeleted) {
  testing::TempDir dir;
  std::string error;
  auto lock = InstanceLock::Acquire(dir.path(), &error);
  ASSERT_TRUE(lock) << error;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir.path())) fs::remove_all(entry);
  // Another process, as a second server would be, does not get it.
  EXPECT_EXIT(::_exit(InstanceLock::Acquire(dir.path(), &error) ? 0 : 1),
              ::testing::ExitedWithCode(1), "");
  EXPECT_FALSE(InstanceLock::Acquire(dir / "missing", &error));
  EXPECT_THAT(error, ::testing::HasSubstr("missing"));
}

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
  AddInterface(sys.path(), "wlan0", "pci0000:00/0000:00:14.0", 1, 4, "aa:bb:cc:dd:ee:ff", true,
               true);
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
