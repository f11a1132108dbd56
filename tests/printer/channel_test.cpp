#include "printer/channel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/settings.h"
#include "fake_transports.h"
#include "printer/escpos.h"

namespace dovevid::printer {
namespace {

using ::testing::ElementsAre;
using testing::FakeSerialPort;
using State = FakeSerialPort::State;

const std::string kPaperQuery = escpos::StatusQuery(escpos::kRollPaperStatus);
const std::string kPrinterQuery = escpos::StatusQuery(escpos::kPrinterStatus);

// Records the episode events with what had reached the printer by then, so
// the order "error file, wait, delete, line" shows.
struct RecordingListener : PaperEndListener {
  explicit RecordingListener(const FakeSerialPort& p) : port(p) {}
  void OnPaperEndBegin() override { events.push_back("begin after [" + port.printed + "]"); }
  void OnPaperEndEnd() override { events.push_back("end after [" + port.printed + "]"); }
  const FakeSerialPort& port;
  std::vector<std::string> events;
};

class ChannelTest : public ::testing::Test, protected testing::FakeChannelRig {
 protected:
  ChannelTest() {
    config::SelectListItem(settings, config::List::kComPort, 2);  // COM3
    channel.SetPaperEndListener(&listener);
  }

  // Does `act` at every pump once the clock has reached `at_ms`.
  void At(std::int64_t at_ms, std::function<void()> act) {
    env.OnPump([this, at_ms, act] {
      if (env.MonotonicMs() >= at_ms) act();
    });
  }

  RecordingListener listener{serial};
};

TEST_F(ChannelTest, SerialPortSendsExactBytes) {
  config::SelectListItem(settings, config::List::kBaudRate, 6);  // 115200
  EXPECT_TRUE(channel.PortTest(3));
  EXPECT_FALSE(serial.IsOpen());
  EXPECT_FALSE(channel.PortTest(0));
  EXPECT_TRUE(op.messages.empty());  // no test, no message
  channel.Generic_OpenPort();
  channel.Generic_OpenPort();        // already open: left alone
  EXPECT_TRUE(channel.PortTest(3));  // the port a job holds keeps its settings
  EXPECT_THAT(serial.configured, ElementsAre(std::make_pair(3, std::string("9600,N,8,1")),
                                             std::make_pair(3, std::string("115200,N,8,1"))));
  EXPECT_EQ(serial.opens, 1);
  const std::string raw("\x1B\x70\x00\x19\xFA", 5);
  EXPECT_EQ(channel.Generic_TrasmettiStringa_NoCRLF(raw), kSent);
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("\x1D\x56\x42"), kSent);
  // Each line is preceded by the roll paper query; raw sends carry none.
  EXPECT_EQ(serial.wire, raw + kPaperQuery + "\x1D\x56\x42\r\n");
  channel.Generic_TrasmettiStringa_CRLF_Ricevi("\x1D\x49\x44", 10, 50, false);
  channel.Generic_TrasmettiStringa_CRLF_Ricevi("AB", 10, 50, true);
  EXPECT_TRUE(serial.printed.ends_with("\x1DVB\r\n\x1DIDAB\r\n"));
  EXPECT_EQ(channel.Generic_ClosePort(), kSent);
  EXPECT_FALSE(serial.IsOpen());
  EXPECT_TRUE(channel.VerificaStatoStampante());  // a closed port does not answer
}

TEST_F(ChannelTest, SerialWriteFailuresAreNotReportedAsSent) {
  serial.open_fault = Status::Error(fault::kPathNotFound, "No such file or directory");
  channel.Generic_OpenPort();
  EXPECT_EQ(channel.Generic_TrasmettiStringa_NoCRLF("x"), kWriteFailed);
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("line"), kWriteFailed);
  EXPECT_THAT(op.messages, ElementsAre("Operation valid only when the port is open - 8018"));

  serial.open_fault = Status::OK();
  channel.Generic_OpenPort();
  serial.write_fault = Status::Error(fault::kDeviceIo, "Input/output error");
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("line"), kWriteFailed);
  EXPECT_EQ(op.messages.back(), "Input/output error - 57");
}

TEST_F(ChannelTest, PaperEndEpisodeBeginsOnceAndEndsBeforeTheWaitingLine) {
  channel.Generic_OpenPort();
  serial.state = State::kPaperEnd;
  At(5000, [this] { serial.state = State::kReady; });
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("one"), kSent);
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("two"), kSent);
  EXPECT_THAT(listener.events, ElementsAre("begin after []", "end after []"));
  // Whole one-second pauses.
  EXPECT_GE(env.MonotonicMs(), 5000);
  EXPECT_LT(env.MonotonicMs(), 7000);

  // A new episode on a later line begins again.
  serial.state = State::kPaperEnd;
  At(env.MonotonicMs() + 2000, [this] { serial.state = State::kReady; });
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("three"), kSent);
  EXPECT_EQ(listener.events.size(), 4u);
  EXPECT_EQ(listener.events[2], "begin after [one\r\ntwo\r\n]");
}

TEST_F(ChannelTest, PaperEndWaitGivesUpWithoutSendingTheLine) {
  channel.Generic_OpenPort();
  serial.state = State::kPaperEnd;
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("lost?"), kPaperEndGaveUp);
  EXPECT_TRUE(channel.paper_end_episode());
  // More than 300 one-second pauses, not many more.
  EXPECT_GT(env.MonotonicMs(), 301 * 1000);
  EXPECT_LT(env.MonotonicMs(), 302 * 1000 + 301 * 100);
  // Still out on the next line: the same episode, begun once.
  channel.SetPaperEndPauseLimit(1);
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("again"), kPaperEndGaveUp);
  EXPECT_THAT(listener.events, ElementsAre("begin after []"));

  // The open episode ends on the next line, even from a silent printer.
  serial.state = State::kSilent;
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("next"), kSent);
  EXPECT_THAT(listener.events, ElementsAre("begin after []", "end after []"));
  // An episode the job cycle forgot has no end.
  serial.state = State::kPaperEnd;
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("c"), kPaperEndGaveUp);
  channel.ClearPaperEndEpisode();
  serial.state = State::kReady;
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("d"), kSent);
  EXPECT_EQ(listener.events.size(), 3u);
  EXPECT_EQ(serial.printed, "next\r\nd\r\n");  // no line given up on went out
}

TEST_F(ChannelTest, SilentPrinterDuringTheWaitKeepsItWaiting) {
  channel.Generic_OpenPort();
  serial.state = State::kPaperEnd;
  env.OnPump([this] {
    const auto t = env.MonotonicMs();
    serial.state = t < 2000 ? State::kPaperEnd : t < 9000 ? State::kSilent : State::kReady;
  });
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("after"), kSent);
  EXPECT_GE(env.MonotonicMs(), 9000);
  EXPECT_THAT(listener.events, ElementsAre("begin after []", "end after []"));

  // A pipe that is gone ends the wait: nothing brings the paper back.
  serial.state = State::kPaperEnd;
  At(20000, [this] { (void)serial.Close(); });
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("lost"), kWriteFailed);
  EXPECT_LT(env.MonotonicMs(), 23000);
  env.OnPump(nullptr);
  channel.Generic_OpenPort();

  // Outside a wait a silent printer is no paper end: the line goes out,
  // until it has left kMaxUnansweredQueries queries in a row unanswered
  // over kSilentAfterMs.
  serial.state = State::kSilent;
  std::string status = "x";
  EXPECT_FALSE(channel.Generic_CheckFineCartaTM88(&status));
  EXPECT_EQ(status, "");
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("silent"), kSent);
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("silent"), kSent);
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("late"), kSent);  // not for long enough
  env.AdvanceMs(kSilentAfterMs);
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("gone"), kNoAnswer);
  EXPECT_TRUE(serial.printed.ends_with("silent\r\nsilent\r\nlate\r\n"));
}

TEST_F(ChannelTest, SerialReceiveLoopTiming) {
  channel.Generic_OpenPort();
  // A printer that answers keeps the loop reading until the timeout.
  serial.Inject("AB", 5);
  serial.Inject("CD", 35);
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF_Ricevi("\x1D\x49\x44", 10, 50, false), "ABCD");
  EXPECT_EQ(env.MonotonicMs(), 60);
  // A silent one ends after half the timeout.
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF_Ricevi("\x1D\x49\x44", 10, 50, false), "");
  EXPECT_EQ(env.MonotonicMs(), 60 + 30);
  // The one-byte status queries stop as soon as the byte is there...
  serial.reply_delay_ms = 3;
  std::string status;
  EXPECT_FALSE(channel.Generic_CheckFineCartaTM88(&status));
  EXPECT_EQ(status, "\x12");
  EXPECT_EQ(env.MonotonicMs(), 90 + 3);
  // ...and keep their timeouts when nothing comes.
  serial.state = State::kSilent;
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF_Ricevi(kPrinterQuery, 10, 50, false), "");
  EXPECT_EQ(env.MonotonicMs(), 93 + 30);
  // A late byte from an earlier exchange is not taken for the answer.
  serial.Inject("\x72", env.MonotonicMs());
  EXPECT_FALSE(channel.Generic_CheckFineCartaTM88(&status));
  EXPECT_EQ(status, "");
  // A zero poll step still ends.
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF_Ricevi("\x1D\x49\x44", 0, 5, false), "");
}

TEST_F(ChannelTest, SpoolerDocumentsWritesAndReplies) {
  testing::UseSpoolerPrinter(channel, spooler);
  env.SetNow(DateTime{2026, 12, 5, 10, 34, 0});
  for (int i = 0; i < 3; ++i) {
    channel.Generic_OpenPort();
    channel.Generic_ClosePort();
  }
  ASSERT_EQ(spooler.documents.size(), 3u);
  EXPECT_EQ(spooler.documents[2].name, "PRN1_20261205_1034_3");

  channel.Generic_OpenPort();
  // A reply ends the wait at its first bytes (16 at most); none, after half the timeout.
  spooler.read_back = std::string(20, 'r');
  const std::int64_t start = env.MonotonicMs();
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF_Ricevi("Q", 10, 5000, false),
            std::string(16, 'r'));
  EXPECT_EQ(env.MonotonicMs() - start, 10);
  spooler.read_back.clear();
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF_Ricevi("Q", 10, 50, false), "");
  EXPECT_EQ(env.MonotonicMs() - start, 10 + 30);
  spooler.fail_writes = true;
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("B"), kWriteFailed);
  EXPECT_EQ(channel.Generic_ClosePort(), kSent);
  EXPECT_EQ(channel.Generic_ClosePort(), kSent);  // nothing open

  // A document the spooler did not take whole is not reported as sent.
  spooler.fail_writes = false;
  spooler.fail_close = true;
  channel.Generic_OpenPort();
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("C"), kSent);
  EXPECT_EQ(channel.Generic_ClosePort(), kWriteFailed);
  // Nor one that has not printed: progress reports, close result, cancels.
  // (Printed, and stuck for good, are the two CUPS cases end to end.)
  spooler.fail_close = false;
  using P = DocumentProgress;
  const std::tuple<std::deque<P>, SendResult, size_t> cases[] = {
      {{P::kUnderWay, P::kLost}, kWriteFailed, 0},
      {{P::kStuck, P::kStuck, P::kUnderWay, P::kPrinted}, kSent, 0},  // only for a moment
      {{P::kUnderWay}, kWriteFailed, 1},  // never done within the timeout
  };
  for (const auto& [progress, result, cancelled] : cases) {
    spooler.progress = progress;
    spooler.cancelled.clear();
    channel.Generic_OpenPort();
    EXPECT_EQ(channel.Generic_ClosePort(), result) << spooler.documents.size();
    EXPECT_EQ(spooler.cancelled.size(), cancelled) << spooler.documents.size();
  }

  // A printer removed after it was selected cannot be opened.
  spooler.printers.clear();
  channel.Generic_OpenPort();
  EXPECT_THAT(op.messages, ElementsAre("STAMPANTE NON RICONOSCIUTA"));
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("x"), kWriteFailed);
}

TEST_F(ChannelTest, SpoolerStatusFromTheMonitor) {
  testing::UseSpoolerPrinter(channel, spooler);
  std::string status;
  // Without a monitor both checks report false.
  monitor.status = status_bits::kNoResponse;
  EXPECT_FALSE(channel.Generic_CheckFineCartaTM88(&status));
  EXPECT_EQ(status, "a");
  EXPECT_FALSE(channel.CheckNoResponse());

  channel.OpenStatusMonitor();
  channel.OpenStatusMonitor();
  EXPECT_THAT(monitor.opened, ElementsAre("PRN1"));
  EXPECT_TRUE(channel.CheckNoResponse());
  monitor.status = status_bits::kNoResponse | status_bits::kPrintCompleted;
  EXPECT_FALSE(channel.CheckNoResponse());
  // Cover open and either roll paper end bit; not near end.
  for (std::uint32_t bits : {0x00000020u, 0x00040000u, 0x00080000u, 0x00000004u}) {
    monitor.status = bits;
    EXPECT_EQ(channel.Generic_CheckFineCartaTM88(&status), bits != 4) << bits;
  }
  monitor.status = status_bits::kRollPaperEnd;
  monitor.query_fails = true;
  EXPECT_FALSE(channel.Generic_CheckFineCartaTM88(&status));

  // A paper end on the spooler printer is waited out like on the serial one.
  monitor.query_fails = false;
  channel.Generic_OpenPort();
  At(3000, [this] { monitor.status = 0; });
  EXPECT_EQ(channel.Generic_TrasmettiStringa_CRLF("L"), kSent);
  EXPECT_EQ(listener.events.size(), 2u);
  EXPECT_EQ(spooler.documents[0].data, "L\r\n");

  channel.OpenDrawerThroughMonitor();
  channel.CloseStatusMonitor();
  EXPECT_THAT(monitor.closed, ElementsAre(7));
  channel.OpenDrawerThroughMonitor();
  EXPECT_EQ(monitor.drawer_pulses, 1);
}

TEST_F(ChannelTest, PrinterListEntriesAndSelectionByName) {
  config::SelectListItem(settings, config::List::kComPort, config::kNone);
  spooler.printers = {{"PRN1", "usb://x"}, {"PRN2", "socket://y"}};
  channel.BuildPrinterList();
  EXPECT_THAT(settings.printer_entries,
              ElementsAre("RS232_PRINTER , COM0", "PRN1 ,  usb://x", "PRN2 ,  socket://y"));
  config::SelectListItem(settings, config::List::kComPort, 2);
  settings.listPrinters = 2;
  channel.BuildPrinterList();
  EXPECT_EQ(settings.printer_entries[0], "RS232_PRINTER , COM3");
  EXPECT_EQ(settings.listPrinters, 2);  // the selected printer stays selected
  // By name at start-up: the serial printer changes nothing, an unknown one deselects.
  EXPECT_EQ(channel.SelectPrinterByName("RS232_PRINTER"), 0);
  EXPECT_EQ(settings.listPrinters, 2);
  EXPECT_FALSE(channel.spooler_selected());
  EXPECT_EQ(channel.SelectPrinterByName("PRN2"), 2);
  EXPECT_TRUE(channel.spooler_transport());
  EXPECT_EQ(channel.current_printer(), "PRN2");
  EXPECT_EQ(channel.SelectPrinterByName("NOPE"), 0);
  EXPECT_EQ(settings.listPrinters, config::kNone);
  // The selected printer gone from the spooler: nothing selected.
  settings.listPrinters = 2;
  spooler.printers.pop_back();
  channel.BuildPrinterList();
  EXPECT_EQ(settings.listPrinters, config::kNone);
}

TEST_F(ChannelTest, SelectionRulesAndTransportFlag) {
  // A highlighted spooler entry that never matched keeps the serial transport.
  spooler.printers = {{"PRN1", "usb://x"}};
  channel.BuildPrinterList();
  settings.printer_entries.push_back("GONE ,  usb://old");
  settings.listPrinters = 2;
  channel.SelectListedPrinter();
  EXPECT_FALSE(channel.spooler_selected());
  EXPECT_FALSE(channel.spooler_transport());

  // A match makes it current; a later non-matching click changes nothing.
  settings.listPrinters = 1;
  channel.SelectListedPrinter();
  EXPECT_TRUE(channel.spooler_transport());
  EXPECT_EQ(channel.current_printer(), "PRN1");
  EXPECT_EQ(channel.txtDefaultPrinter(), "PRN1");
  settings.listPrinters = 2;
  channel.SelectListedPrinter();
  EXPECT_EQ(channel.current_printer(), "PRN1");
  EXPECT_TRUE(channel.spooler_transport());

  // Back to the serial entry; the spooler-selected flag stays set.
  settings.listPrinters = 0;
  channel.SelectListedPrinter();
  EXPECT_FALSE(channel.spooler_transport());
  EXPECT_TRUE(channel.spooler_selected());
  EXPECT_EQ(channel.txtDefaultPrinter(), "RS232_PRINTER");
  channel.Generic_OpenPort();
  EXPECT_TRUE(serial.IsOpen());
}

TEST_F(ChannelTest, DirectPrintersJoinTheListAndTakeTheSerialPrintersPlace) {
  testing::FakeDirectPrinters direct(env);
  direct.printers = {
      {"LP", "socket://10.0.0.5"}, {"PRN1", "usb:/dev/usb/lp1"}, {"USB", "usb:/dev/usb/lp0"}};
  PrinterChannel ch(env, op, settings, serial, spooler, monitor, direct);
  spooler.printers = {{"PRN1", "usb://x"}};
  ch.BuildPrinterList();
  std::vector<std::string> items;
  for (const PrinterListItem& i : ch.PrinterListItems()) {
    items.push_back(i.name + " " + std::string(TransportName(i.transport)) + " " + i.uri);
  }
  // A direct printer named like a CUPS queue is left out.
  EXPECT_THAT(items, ElementsAre("RS232_PRINTER serial COM3", "PRN1 cups usb://x",
                                 "LP tcp socket://10.0.0.5", "USB usb usb:/dev/usb/lp0"));

  EXPECT_EQ(ch.SelectPrinterByName("LP"), 2);
  EXPECT_TRUE(ch.TestPrinterPort());
  EXPECT_TRUE(serial.configured.empty());  // the COM port is not asked
  ch.Generic_OpenPort();

  // Another direct printer ends what was open on the first.
  settings.listPrinters = 3;
  ch.SelectListedPrinter();
  EXPECT_EQ(ch.transport_kind(), TransportKind::kDevice);
  EXPECT_THAT(direct.made, ElementsAre("10.0.0.5:9100", "/dev/usb/lp0"));
  settings.listPrinters = 0;
  ch.SelectListedPrinter();
  EXPECT_EQ(ch.transport_kind(), TransportKind::kSerial);
}

// The near-end bits 2 and 3 are not the end.
TEST(EscPos, StatusByteTests) {
  for (std::uint8_t offline : {0x08, 0xFF}) EXPECT_TRUE(escpos::IsOffline(offline)) << +offline;
  EXPECT_FALSE(escpos::IsOffline(0x12));
  for (std::uint8_t end : {0x20, 0x40, 0x72}) EXPECT_TRUE(escpos::IsPaperEnd(end)) << +end;
  for (std::uint8_t present : {0x12, 0x0C}) EXPECT_FALSE(escpos::IsPaperEnd(present)) << +present;
}

TEST(DirectUri, Parse) {
  const std::pair<const char*, const char*> parsed[] = {
      {"socket://192.168.1.50", "tcp 192.168.1.50:9100"},
      {"socket://printer.lan:9101/", "tcp printer.lan:9101"},
      {"socket://[fe80::1]:9100", "tcp fe80::1:9100"},
      {"usb:/dev/usb/lp0", "usb /dev/usb/lp0"}};
  for (const auto& [uri, want] : parsed) {
    const auto u = ParseDirectUri(uri);
    ASSERT_TRUE(u) << uri;
    const bool tcp = u->kind == TransportKind::kTcp;
    EXPECT_EQ(std::string(TransportName(u->kind)) + " " +
                  (tcp ? u->host + ":" + std::to_string(u->port) : u->path),
              want);
  }
  for (const char* refused :
       {"socket://", "socket://h:", "socket://h:0", "socket://h:70000", "socket://[::1",
        "socket://h/x", "usb://EPSON/TM-T88", "usb:dev/lp0", "ipp://h", "/dev/usb/lp0"}) {
    EXPECT_FALSE(ParseDirectUri(refused)) << refused;
  }
  EXPECT_FALSE(DirectPrinterProblem("LP", "usb:/dev/usb/lp0"));
  for (const char* name : {"", "A,B", " LP", "RS232_PRINTER"}) {
    EXPECT_TRUE(DirectPrinterProblem(name, "usb:/dev/usb/lp0")) << name;
  }
}

}  // namespace
}  // namespace dovevid::printer
