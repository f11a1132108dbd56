// The display routines over the termios link against the virtual printer's
// display mode on a pty, and displays that vanish or stall mid-run.
#include "platform/display_link.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_env.h"
#include "temp_dir.h"
#include "vprinter_fixture.h"

namespace dovevid::platform {
namespace {

std::string Picture(const std::string& row1, const std::string& row2) {
  return "display |" + row1 + "|\n        |" + row2 + "|\n";
}

class DisplayLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(vp_.Start(dir_.path(), &why, testing::VirtualPrinter::Mode::kDisplay)) << why;
    settings_.display_com_port = 3;
    settings_.chkEnableComPortDisplay = true;
  }
  // Trace entries of the display's writes.
  int WriteFaults() {
    const std::string log = env_.files().empty() ? "" : env_.files().begin()->second;
    int n = 0;
    for (size_t at = 0; (at = log.find("err_AsemDisplay_SendToDisplay |", at)) != std::string::npos; ++at) ++n;
    return n;
  }

  testing::TempDir dir_;
  testing::VirtualPrinter vp_;
  testing::FakeEnv env_;
  TraceLog trace_{env_, [] { return true; }, [] { return std::string("/d"); }};
  config::Settings settings_;
};

TEST_F(DisplayLinkTest, GreetingAndRowsReachTheDisplay) {
  PosixDisplayLink link({{3, vp_.link()}});
  display::SerialDisplay display(env_, trace_, settings_, link);
  display.Start();
  termios t{};
  const int fd = ::open(vp_.link().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_EQ(::tcgetattr(fd, &t), 0);
  ::close(fd);
  EXPECT_EQ(::cfgetospeed(&t), B9600);
  EXPECT_EQ(t.c_cflag & (CSIZE | CSTOPB | PARENB), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), 0u);  // no handshaking

  const std::string total = "TOTALE          2,70", change = "RESTO          17,30", blank(20, ' ');
  display.SendToDisplay(total, blank);
  display.SendToDisplay("", change);
  display.Shutdown();
  EXPECT_FALSE(link.IsOpen());
  const std::string bytes = "\x0B\x0C\x0B\x0C** Buongiorno **\x0B\x0C" + total + "\x0B\x0A" + blank +
                            "\x0B\x0C" + blank + "\x0B\x0A" + change + "\x0B\x0C";
  ASSERT_TRUE(vp_.WaitForCapture(bytes.size()));
  EXPECT_EQ(vp_.Capture(), bytes);
  const std::string pictures = Picture("** Buongiorno **    ", blank) + Picture(total, blank) +
                               Picture(blank, change) + Picture(blank, blank);
  EXPECT_TRUE(testing::WaitFor([&] { return vp_.Output().ends_with(pictures); })) << vp_.Output();
  EXPECT_EQ(WriteFaults(), 0);
}

TEST_F(DisplayLinkTest, AVanishedOrStalledDisplayOnlyCostsTraceEntries) {
  // A terminal nobody reads: its buffer fills and the writes must give up.
  const int stalled = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(stalled >= 0 && ::grantpt(stalled) == 0 && ::unlockpt(stalled) == 0);
  PosixDisplayLink link({{3, vp_.link()}, {4, ::ptsname(stalled)}});
  display::SerialDisplay display(env_, trace_, settings_, link);
  display.Start();
  vp_.Stop();  // unplugged mid-run: the write fails, then the open
  display.SendToDisplay("A", "B");
  display.SendToDisplay("A", "B");
  EXPECT_EQ(WriteFaults(), 2);

  settings_.display_com_port = 4;
  display.Reopen();
  const std::string row(40, 'x');
  for (int i = 0; i < 100000 && WriteFaults() == 2; ++i) display.SendToDisplay(row, row);
  EXPECT_EQ(WriteFaults(), 3);
  ::close(stalled);
}

}  // namespace
}  // namespace dovevid::platform
