// The serial transport and the printer channel against dovevid-vprinter on a
// pseudo terminal.
#include "platform/serial_port.h"

#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "base/operator.h"
#include "config/settings.h"
#include "fake_transports.h"
#include "platform/com_ports.h"
#include "platform/posix_env.h"
#include "printer/channel.h"
#include "printer/escpos.h"
#include "temp_dir.h"
#include "vprinter_fixture.h"
#include "recording_operator.h"

namespace dovevid::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(printer_.Start(dir_.path(), {}, &why)) << why;
  }

  // termios of the device as another process sees it.
  termios DeviceTermios() {
    termios t{};
    const int fd = ::open(printer_.link().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::tcgetattr(fd, &t), 0);
    ::close(fd);
    return t;
  }

  std::string Query(PosixSerialPort& port, std::uint8_t n) {
    std::string reply;
    EXPECT_TRUE(port.Write(escpos::StatusQuery(n)).ok());
    for (int i = 0; i < 100 && reply.empty(); ++i) {
      port.WaitReadable(10);
      EXPECT_TRUE(port.Read(&reply).ok());
    }
    return reply;
  }

  testing::TempDir dir_;
  testing::VirtualPrinter printer_;
  ComPortMap ports() { return {{3, printer_.link()}}; }
};

TEST(SerialSettings, Parse) {
  const auto s = ParseSerialSettings("19200,e,7,2");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->baud, 19200);
  EXPECT_EQ(s->parity, 'E');
  EXPECT_EQ(s->data_bits, 7);
  EXPECT_EQ(s->stop_bits, 2);
  for (const char* bad : {"", "9600,N,8", "9600,N,8,1,1", "9601,N,8,1", "9600,X,8,1", "9600,N,6,1",
                          "9600,N,8,3", "9600,NN,8,1", "-9600,N,8,1"}) {
    EXPECT_FALSE(ParseSerialSettings(bad)) << bad;
  }
}

TEST_F(SerialPortTest, SettingsAreAppliedAndTheTestLeavesThePortClosed) {
  PosixSerialPort port(ports());
  ASSERT_TRUE(port.Configure(3, "19200,N,8,2").ok());
  EXPECT_FALSE(port.IsOpen());
  // Nobody holds the device after the test.
  const int fd = ::open(printer_.link().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  ::close(fd);

  ASSERT_TRUE(port.Open().ok());
  const termios t = DeviceTermios();
  EXPECT_EQ(::cfgetospeed(&t), B19200);
  EXPECT_EQ(::cfgetispeed(&t), B19200);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_FALSE(t.c_cflag & PARENB);
  EXPECT_TRUE(t.c_iflag & IXON);
  EXPECT_TRUE(t.c_iflag & IXOFF);
  EXPECT_FALSE(t.c_iflag & IXANY);
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_FALSE(t.c_oflag & OPOST);

  // Settings change on the open port at once.
  ASSERT_TRUE(port.Configure(3, "115200,N,8,1").ok());
  const termios changed = DeviceTermios();
  EXPECT_EQ(::cfgetospeed(&changed), B115200);
  EXPECT_FALSE(changed.c_cflag & CSTOPB);
  EXPECT_TRUE(port.Close().ok());
}

TEST_F(SerialPortTest, RefusedSettingsAndMissingPorts) {
  PosixSerialPort port({{3, printer_.link()}, {4, dir_ / "nothing"}, {5, dir_ / "plain"}});
  testing::WriteFileOrDie(dir_ / "plain", "x");
  // A pseudo terminal takes no parity and no 7-bit characters.
  Status s = port.Configure(3, "9600,E,8,1");
  EXPECT_EQ(s.number(), 380);
  EXPECT_THAT(s.description(), HasSubstr("9600,E,8,1"));
  EXPECT_FALSE(port.Configure(3, "9600,N,7,1").ok());
  EXPECT_EQ(port.Configure(3, "9600;N;8;1").number(), 380);
  EXPECT_EQ(port.Configure(0, "9600,N,8,1").number(), fault::kInvalidPortNumber);
  EXPECT_FALSE(port.Configure(4, "9600,N,8,1").ok());
  EXPECT_EQ(port.Configure(5, "9600,N,8,1").number(), fault::kInvalidPortNumber);  // not a tty
  EXPECT_EQ(port.Open().number(), fault::kInvalidPortNumber);  // nothing configured yet
  EXPECT_EQ(port.Write("x").number(), 8018);
}

TEST_F(SerialPortTest, OneUserAtATime) {
  PosixSerialPort first(ports()), second(ports());
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

TEST_F(SerialPortTest, EveryByteValueArrivesUnchanged) {
  // XON/XOFF does not escape output: 0x11 and 0x13 go out as data, like
  // 0x00, 0x0A, 0x0D, 0x1B and 0xFA.
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  PosixSerialPort port(ports());
  ASSERT_TRUE(port.Configure(3, "115200,N,8,1").ok());
  ASSERT_TRUE(port.Open().ok());
  ASSERT_TRUE(port.Write(all).ok());
  ASSERT_TRUE(port.Write(all).ok());
  ASSERT_TRUE(port.Close().ok());
  ASSERT_TRUE(printer_.WaitForCapture(512, 3000));
  EXPECT_EQ(printer_.Capture(), all + all);
}

TEST_F(SerialPortTest, StatusAnswersAcrossReopens) {
  PosixSerialPort port(ports());
  ASSERT_TRUE(port.Configure(3, "9600,N,8,1").ok());
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(port.Open().ok());
    EXPECT_EQ(Query(port, 1), "\x12") << round;
    EXPECT_EQ(Query(port, 4), "\x12") << round;
    ASSERT_TRUE(port.Close().ok());
  }
  ASSERT_TRUE(printer_.SetState("paper-end"));
  ASSERT_TRUE(port.Open().ok());
  EXPECT_EQ(Query(port, 4), "\x72");
  ASSERT_TRUE(printer_.SetState("offline"));
  EXPECT_EQ(Query(port, 1), "\x1A");
  // A late answer waiting in the input is gone after a reopen.
  ASSERT_TRUE(port.Write(escpos::StatusQuery(1)).ok());
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(port.Close().ok());
  ASSERT_TRUE(port.Open().ok());
  std::string stale;
  EXPECT_TRUE(port.Read(&stale).ok());
  EXPECT_EQ(stale, "");
  EXPECT_EQ(printer_.Capture(), "");  // queries are not print data
}

TEST_F(SerialPortTest, OutputStoppedByXoffTimesOutAndRecoversOnReopen) {
  PosixSerialPort::Options options;
  options.write_timeout_ms = 200;
  PosixSerialPort port(ports(), options);
  ASSERT_TRUE(port.Configure(3, "9600,N,8,1").ok());
  ASSERT_TRUE(port.Open().ok());
  ASSERT_TRUE(printer_.SetState("xoff"));
  // The XOFF reaches the line discipline when the port is next used.
  Status s;
  for (int i = 0; i < 20 && s.ok(); ++i) s = port.Write("x");
  EXPECT_EQ(s.number(), fault::kDeviceIo);
  EXPECT_THAT(s.description(), HasSubstr("timeout"));
  port.Close();
  // The stop outlives the close; opening clears it.
  ASSERT_TRUE(port.Open().ok());
  EXPECT_TRUE(port.Write("after").ok());
  ASSERT_TRUE(port.Close().ok());
  ASSERT_TRUE(printer_.WaitForCapture(5, 3000));
  EXPECT_TRUE(printer_.Capture().ends_with("after"));
}

// --- The printer channel over the real port ------------------------------------

using RecordingOperator = ::dovevid::testing::RecordingOperator;

class ChannelOverPty : public SerialPortTest, public printer::PaperEndListener {
 protected:
  void SetUp() override {
    SerialPortTest::SetUp();
    config::SelectListItem(settings_, config::List::kComPort, 2);   // COM3
    config::SelectListItem(settings_, config::List::kBaudRate, 6);  // 115200
    channel_.SetPaperEndListener(this);
  }
  void OnPaperEndBegin() override {
    events_.push_back("begin");
    if (!paper_back_.empty()) printer_.SetState(paper_back_);
  }
  void OnPaperEndEnd() override { events_.push_back("end"); }

  PosixEnv env_;
  RecordingOperator op_;
  config::Settings settings_;
  PosixSerialPort serial_{ComPortMap{{3, dir_ / "ttyV0"}, {9, dir_ / "none"}}};
  testing::FakeSpooler spooler_;
  testing::FakeStatusMonitor monitor_;
  printer::PrinterChannel channel_{env_, op_, settings_, serial_, spooler_, monitor_};
  std::vector<std::string> events_;
  std::string paper_back_;  // state to switch to when an episode begins
};

TEST_F(ChannelOverPty, PortTestReadinessAndLines) {
  EXPECT_TRUE(channel_.PortTest(3));
  EXPECT_FALSE(channel_.PortTest(9));
  EXPECT_THAT(op_.messages, ElementsAre("Porta Com n.9 non disponibile"));

  channel_.Generic_OpenPort();
  ASSERT_TRUE(serial_.IsOpen());
  const termios t = DeviceTermios();
  EXPECT_EQ(::cfgetospeed(&t), B115200);
  EXPECT_FALSE(channel_.VerificaStatoStampante());
  const std::string raw("\x1B\x61\x31\x00\xFA", 5);
  EXPECT_EQ(channel_.Generic_TrasmettiStringa_NoCRLF(raw), printer::kSent);
  EXPECT_EQ(channel_.Generic_TrasmettiStringa_CRLF("TOTALE 1,00"), printer::kSent);

  ASSERT_TRUE(printer_.SetState("offline"));
  EXPECT_TRUE(channel_.VerificaStatoStampante());
  ASSERT_TRUE(printer_.SetState("silent"));
  EXPECT_TRUE(channel_.VerificaStatoStampante());
  std::string status = "x";
  EXPECT_FALSE(channel_.Generic_CheckFineCartaTM88(&status));
  EXPECT_EQ(status, "");
  EXPECT_EQ(channel_.Generic_TrasmettiStringa_CRLF("silent"), printer::kSent);
  EXPECT_EQ(channel_.Generic_ClosePort(), printer::kSent);
  EXPECT_FALSE(serial_.IsOpen());

  const std::string expected = raw + "TOTALE 1,00\r\nsilent\r\n";
  ASSERT_TRUE(printer_.WaitForCapture(expected.size(), 3000));
  EXPECT_EQ(printer_.Capture(), expected);
  EXPECT_TRUE(events_.empty());
}

TEST_F(ChannelOverPty, PaperEndAndReturn) {
  ASSERT_TRUE(printer_.SetState("paper-end"));
  paper_back_ = "ready";
  channel_.Generic_OpenPort();
  EXPECT_EQ(channel_.Generic_TrasmettiStringa_CRLF("after the new roll"), printer::kSent);
  EXPECT_THAT(events_, ElementsAre("begin", "end"));
  EXPECT_FALSE(channel_.paper_end_episode());
  channel_.Generic_ClosePort();
  ASSERT_TRUE(printer_.WaitForCapture(20, 3000));
  EXPECT_EQ(printer_.Capture(), "after the new roll\r\n");
}

}  // namespace
}  // namespace dovevid::platform
