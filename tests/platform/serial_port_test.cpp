// The serial transport against dovevid-vprinter on a pseudo terminal (the
// channel over it is exercised end to end, tests/e2e), then the display
// routines over their termios link against its display mode: the rows, the
// display vanishing, a stalled one.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <tuple>

#include "fake_env.h"
#include "platform/display_link.h"
#include "platform/serial_port.h"
#include "printer/escpos.h"
#include "temp_dir.h"
#include "vprinter_fixture.h"

namespace dovevid::platform {
namespace {

using ::testing::HasSubstr;

TEST(SerialSettings, Parse) {
  const auto s = ParseSerialSettings("19200,e,7,2");
  ASSERT_TRUE(s);
  EXPECT_EQ(std::tuple(s->baud, s->parity, s->data_bits, s->stop_bits),
            std::tuple(19200, 'E', 7, 2));
  for (const char* bad : {"", "9600,N,8", "9600,N,8,1,1", "9601,N,8,1", "9600,X,8,1", "9600,N,6,1",
                          "9600,N,8,3", "9600,NN,8,1", "-9600,N,8,1"}) {
    EXPECT_FALSE(ParseSerialSettings(bad)) << bad;
  }
}

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(printer_.Start(dir_.path(), &why)) << why;
  }

  testing::TempDir dir_;
  testing::VirtualPrinter printer_;
  ComPortMap ports() { return {{3, printer_.link()}}; }
};

TEST_F(SerialPortTest, SettingsAreAppliedEveryByteArrivesAndTheTestLeavesThePortFree) {
  PosixSerialPort port(ports());
  ASSERT_TRUE(port.Configure(3, "19200,N,8,2").ok());
  EXPECT_FALSE(port.IsOpen());
  const int fd = ::open(printer_.link().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  ::close(fd);

  ASSERT_TRUE(port.Open().ok());
  const termios t = printer_.Termios();
  EXPECT_EQ(::cfgetospeed(&t), B19200);
  EXPECT_EQ(::cfgetispeed(&t), B19200);
  EXPECT_EQ(t.c_cflag & (CSIZE | CSTOPB | PARENB), static_cast<tcflag_t>(CS8 | CSTOPB));
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), static_cast<tcflag_t>(IXON | IXOFF));
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_FALSE(t.c_oflag & OPOST);
  // Settings change on the open port at once.
  ASSERT_TRUE(port.Configure(3, "115200,N,8,1").ok());
  const termios changed = printer_.Termios();
  EXPECT_EQ(::cfgetospeed(&changed), B115200);
  EXPECT_FALSE(changed.c_cflag & CSTOPB);
  // XON/XOFF does not escape output: 0x11 and 0x13 go out as data, like
  // 0x00, 0x0A, 0x0D, 0x1B and 0xFA.
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  ASSERT_TRUE(port.Write(all + all).ok());
  EXPECT_TRUE(port.Close().ok());
  ASSERT_TRUE(printer_.WaitForCapture(512));
  EXPECT_EQ(printer_.Capture(), all + all);
}

TEST_F(SerialPortTest, RefusalsAndOneUserAtATime) {
  testing::WriteFileOrDie(dir_ / "plain", "x");
  PosixSerialPort first({{3, printer_.link()}, {4, dir_ / "nothing"}, {5, dir_ / "plain"}});
  EXPECT_EQ(first.Open().number(), fault::kInvalidPortNumber);  // nothing configured yet
  EXPECT_EQ(first.Write("x").number(), 8018);
  // A pseudo terminal takes no parity and no 7-bit characters.
  const Status parity = first.Configure(3, "9600,E,8,1");
  EXPECT_EQ(parity.number(), 380);
  EXPECT_THAT(parity.description(), HasSubstr("9600,E,8,1"));
  EXPECT_FALSE(first.Configure(3, "9600,N,7,1").ok());
  EXPECT_EQ(first.Configure(3, "9600;N;8;1").number(), 380);
  EXPECT_EQ(first.Configure(0, "9600,N,8,1").number(), fault::kInvalidPortNumber);
  EXPECT_FALSE(first.Configure(4, "9600,N,8,1").ok());
  EXPECT_EQ(first.Configure(5, "9600,N,8,1").number(), fault::kInvalidPortNumber);  // not a tty

  PosixSerialPort second(ports());
  ASSERT_TRUE(first.Configure(3, "9600,N,8,1").ok());
  ASSERT_TRUE(second.Configure(3, "9600,N,8,1").ok());
  ASSERT_TRUE(first.Open().ok());
  EXPECT_EQ(second.Open().number(), fault::kPortAlreadyOpen);
  EXPECT_EQ(second.Configure(3, "9600,N,8,1").number(), fault::kPortAlreadyOpen);
  EXPECT_EQ(first.Open().number(), fault::kPortAlreadyOpen);
  EXPECT_EQ(first.Configure(4, "9600,N,8,1").number(), fault::kPortAlreadyOpen);
  ASSERT_TRUE(first.Close().ok());
  EXPECT_TRUE(second.Open().ok());
}

// Each state's answers reach the server end to end; here, that a late one
// does not outlive a reopen, nor a stop by XOFF.
TEST_F(SerialPortTest, NoLateStatusAnswerAndNoXoffStopOutliveAReopen) {
  PosixSerialPort::Options options;
  options.write_timeout_ms = 200;
  PosixSerialPort port(ports(), options);
  ASSERT_TRUE(port.Configure(3, "9600,N,8,1").ok());
  ASSERT_TRUE(printer_.SetState("paper-end"));
  ASSERT_TRUE(port.Open().ok());
  std::string reply, stale;
  ASSERT_TRUE(port.Write(escpos::StatusQuery(4)).ok());
  testing::WaitFor([&] { return port.Read(&reply).ok() && !reply.empty(); });
  EXPECT_EQ(reply, "\x72");
  ASSERT_TRUE(port.Write(escpos::StatusQuery(1)).ok());
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(port.Close().ok());
  ASSERT_TRUE(port.Open().ok());
  EXPECT_TRUE(port.Read(&stale).ok());
  EXPECT_EQ(stale, "");
  EXPECT_EQ(printer_.Capture(), "");  // queries are not print data

  ASSERT_TRUE(printer_.SetState("xoff"));
  // The XOFF reaches the line discipline when the port is next used (later
  // on a busy machine).
  Status s;
  testing::WaitFor([&] { return !(s = port.Write("x")).ok(); });
  EXPECT_EQ(s.number(), fault::kDeviceIo);
  EXPECT_THAT(s.description(), HasSubstr("timeout"));
  port.Close();
  ASSERT_TRUE(port.Open().ok());
  EXPECT_TRUE(port.Write("after").ok());
  ASSERT_TRUE(port.Close().ok());
  ASSERT_TRUE(printer_.WaitForCapture(5));
  EXPECT_TRUE(printer_.Capture().ends_with("after"));
}

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
