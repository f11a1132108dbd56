// The direct printers and the COM port mapping as configured: [Printers] and
// [ComPorts] in the user's and the system-wide settings files (real files in a
// temporary directory), then the command line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/com_ports.h"
#include "platform/direct_pipe.h"
#include "temp_dir.h"

namespace dovevid::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(DirectPrintersAndPorts, UserFileThenSystemFileThenCommandLine) {
  testing::TempDir dir;
  for (const char* sub : {"user/Quenbridge", "system/Quenbridge"}) {
    std::filesystem::create_directories(dir / sub);
  }
  testing::WriteFileOrDie(dir / "user/Quenbridge/QNBKORV1.conf",
                          "[Printers]\nLP=socket://10.0.0.5\nBAD=ipp://10.0.0.6\n"
                          "[ComPorts]\nCOM2=/dev/user2\n");
  testing::WriteFileOrDie(dir / "system/Quenbridge/QNBKORV1.conf",
                          "[Printers]\nLP=socket://10.0.0.9\nUSB=usb:/dev/usb/lp0\n"
                          "[ComPorts]\nCOM1=/dev/sys1\nCOM2=/dev/sys2\n");
  // Read once per process: set before anything asks.
  ::setenv("XDG_CONFIG_HOME", (dir / "user").c_str(), 1);
  ::setenv("XDG_CONFIG_DIRS", (dir / "system").c_str(), 1);

  std::vector<std::string> problems;
  std::vector<std::string> got;
  for (const printer::DirectPrinter& p :
       ConfiguredDirectPrinters({{"USB", "usb:/dev/usb/lp1"}, {"NET", "socket://h"}}, &problems)) {
    got.push_back(p.name + "=" + p.uri);
  }
  EXPECT_THAT(got, ElementsAre("LP=socket://10.0.0.5", "USB=usb:/dev/usb/lp1", "NET=socket://h"));
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_THAT(problems[0], HasSubstr("BAD=ipp://10.0.0.6"));

  // The service account has no home: its ports come from the system file.
  const ComPortMap ports = ComPortOverrides({{3, "/dev/cli3"}});
  EXPECT_EQ(ComPortDevicePath(1, ports), "/dev/sys1");
  EXPECT_EQ(ComPortDevicePath(2, ports), "/dev/user2");
  EXPECT_EQ(ComPortDevicePath(3, ports), "/dev/cli3");
}

}  // namespace
}  // namespace dovevid::platform
