// The display routines over a recording link: the bytes each sends, the
// gates, and the faults that only reach the trace log.
#include "display/customer_display.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_env.h"

namespace dovevid::display {
namespace {

using ::testing::ElementsAre;

struct FakeLink : SerialLink {
  Status Open(int port, std::string_view settings) override {
    if (busy) return Status::Error(fault::kPortAlreadyOpen, "Port already open");
    log += "[open " + std::to_string(port) + " " + std::string(settings) + "]";
    open = true;
    return Status::OK();
  }
  bool IsOpen() const override { return open; }
  Status Write(std::string_view bytes) override {
    if (failed_writes-- > 0) return Status::Error(fault::kDeviceIo, "gone");
    log += bytes;
    return Status::OK();
  }
  void Close() override {
    log += open ? "[close]" : "";
    open = false;
  }
  std::string log;
  bool open = false, busy = false;
  int failed_writes = 0;
};

const std::string kOpen3 = "[open 3 9600,N,8,1]", kClear = "\x0B\x0C", kRow2 = "\x0B\x0A";
constexpr char kTrace[] = "/d/ErrorLog_07_03_2026.txt";

class SerialDisplayTest : public ::testing::Test {
 protected:
  SerialDisplayTest() {
    s_.display_com_port = 3;
    s_.chkEnableComPortDisplay = true;
  }

  testing::FakeEnv env_;
  TraceLog trace_{env_, [] { return true; }, [] { return std::string("/d"); }};
  config::Settings s_;
  FakeLink link_;
  SerialDisplay d_{env_, trace_, s_, link_};
};

TEST_F(SerialDisplayTest, BytesOfEachRoutine) {
  d_.Start();
  s_.txtWords[31].clear();
  s_.display_line_length = 16;
  d_.Bonjour();
  d_.SendToDisplay("", "RESTO 1,00");
  d_.SendToDisplay("400", "");
  s_.display_com_port = 4;
  d_.Reopen();
  d_.Shutdown();
  const std::string b16(16, ' ');
  EXPECT_EQ(link_.log, kOpen3 + kClear + kClear + "** Buongiorno **" + kClear + "*** Bonjour ***" +
                           kClear + b16 + kRow2 + "RESTO 1,00" + kClear + "400" + kRow2 + b16 +
                           "[close][open 4 9600,N,8,1]" + kClear + "[close]");
  EXPECT_FALSE(env_.HasFile(kTrace));
}

TEST_F(SerialDisplayTest, GatesAndFaultsOnlyReachTheTraceLog) {
  s_.chkEnableComPortDisplay = false;  // the port is held, nothing is sent
  d_.Start();
  d_.SendToDisplay("A", "B");
  s_.chkEnableComPortDisplay = true;
  s_.optInputType = {false, true};  // text input: nothing at all, not even a close
  d_.Shutdown();
  d_.SendToDisplay("A", "B");
  s_.optInputType = {true, false};
  s_.display_com_port = -1;
  d_.Reopen();
  d_.SendToDisplay("A", "B");
  s_.display_com_port = 3;
  link_.busy = true;
  d_.OpenPort();
  d_.Bonjour();
  link_.busy = false;
  link_.failed_writes = 1;  // closes; the next write opens again
  d_.ResetDisplay();
  d_.ResetDisplay();
  d_.ProgrammaPortaSeriale(0, 9600);
  EXPECT_EQ(link_.log, kOpen3 + "[close]" + kOpen3 + "[close]" + kOpen3 + kClear);
  EXPECT_THAT(
      testing::TraceMessages(env_.File(kTrace)),
      ElementsAre("AsemDisplay_SendToDisplay", "AsemDisplay_OpenPort", "AsemDisplay_Bonjour",
                  "AsemDisplay_ResetDisplay", "AsemDisplay_ProgrammaPortaSeriale"));
}

}  // namespace
}  // namespace dovevid::display
