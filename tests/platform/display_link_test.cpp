// The display routines over the termios link against the virtual printer's
// display mode on a pty, then the display vanishing, then a stalled one.
#include "platform/display_link.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "fake_env.h"
#include "temp_dir.h"
#include "vprinter_fixture.h"

namespace dovevid::platform {
namespace {

TEST(DisplayLink, ShowsTheRowsAndNeverWaitsForAGoneOrStalledDisplay) {
  testing::TempDir dir;
  testing::VirtualPrinter vp;
  std::string why;
  ASSERT_TRUE(vp.Start(dir.path(), &why, testing::VirtualPrinter::Mode::kDisplay)) << why;
  const int stalled = ::posix_openpt(O_RDWR | O_NOCTTY);  // a terminal nobody reads
  ASSERT_TRUE(stalled >= 0 && ::grantpt(stalled) == 0 && ::unlockpt(stalled) == 0);
  testing::FakeEnv env;
  TraceLog trace(
      env, [] { return true; }, [] { return std::string("/d"); });
  // Only the rows' writes fail here: one trace entry each.
  const auto write_faults = [&] {
    return env.files().empty() ? 0 : std::ranges::count(env.files().begin()->second, '\n');
  };
  config::Settings s;
  s.display_com_port = 3;
  s.chkEnableComPortDisplay = true;
  PosixDisplayLink link({{3, vp.link()}, {4, ::ptsname(stalled)}});
  display::SerialDisplay display(env, trace, s, link);

  display.Start();
  const termios t = vp.Termios();
  EXPECT_EQ(::cfgetospeed(&t), B9600);
  EXPECT_EQ(t.c_cflag & (CSIZE | CSTOPB | PARENB), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), 0u);  // no handshaking
  const std::string total = "TOTALE          2,70", change = "RESTO          17,30";
  display.Shutdown();  // the rows between: end to end
  const std::string bytes = "\x0B\x0C\x0B\x0C** Buongiorno **\x0B\x0C";
  ASSERT_TRUE(vp.WaitForCapture(bytes.size()));
  EXPECT_EQ(vp.Capture(), bytes);

  display.OpenPort();
  vp.Stop();  // unplugged: the write fails, then the open
  display.SendToDisplay("A", "B");
  display.SendToDisplay("A", "B");
  EXPECT_EQ(write_faults(), 2);
  EXPECT_TRUE(env.files().begin()->second.starts_with("err_AsemDisplay_SendToDisplay |"));
  s.display_com_port = 4;
  display.Reopen();
  for (int i = 0; i < 100000 && write_faults() == 2; ++i) display.SendToDisplay(total, change);
  EXPECT_EQ(write_faults(), 3);
  ::close(stalled);
}

}  // namespace
}  // namespace dovevid::platform
