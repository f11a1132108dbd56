// The direct printers as configured: [Printers] in the user's and the
// system-wide settings files (real files in a temporary directory), then the
// command line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/direct_pipe.h"
#include "temp_dir.h"

namespace dovevid::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(DirectPrinters, UserFileThenSystemFileThenCommandLine) {
  testing::TempDir dir;
  for (const char* sub : {"user/Quenbridge", "system/Quenbridge"}) {
    std::filesystem::create_directories(dir / sub);
  }
  testing::WriteFileOrDie(dir / "user/Quenbridge/QNBKORV1.conf",
                          "[Printers]\nLP=socket://10.0.0.5\nBAD=ipp://10.0.0.6\n");
  testing::WriteFileOrDie(dir / "system/Quenbridge/QNBKORV1.conf",
                          "[Printers]\nLP=socket://10.0.0.9\nUSB=usb:/dev/usb/lp0\n");
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
}

}  // namespace
}  // namespace dovevid::platform
