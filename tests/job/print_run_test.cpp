#include "job/print_run.h"

#include "test_doubles.h"

namespace dovevid::job {
namespace {

// Bytes as the printer sees them.
const std::string kJl = "\x1B" "a0"s;
const std::string kJc = "\x1B" "a1"s;
const std::string kJr = "\x1B" "a2"s;
const std::string kPm0 = "\x1B!\0"s, kRotOff = "\x1BV\0"s, kSizeReset = "\x1D!\0"s;
const std::string kCrLf = "\r\n", kPartialCut = "\x1DV\x42\r\n"s;
std::string Pm(char n) { return "\x1B!"s + n; }

// Renderers that write a fixed rendered-lines file, or none.
class FakeRenderers : public Renderers {
 public:
  explicit FakeRenderers(FakeEnv& env) : env_(env) {}
  sl::RenderResult Receipt(const std::string& path) override { return Write(receipts, path); }
  sl::RenderResult Invoice(const std::string& path) override { return Write(invoices, path); }
  bool writes_file = true;
  bool completes = true;  // false: stopped early, e.g. on inconsistent VAT data
  // kPrint: an empty data file, nothing to lay out.
  sl::RenderOutcome result_without_file = sl::kRepeat;
  bool too_large = false;
  std::vector<std::string> receipts, invoices;

 private:
  sl::RenderResult Write(std::vector<std::string>& calls, const std::string& data_path) {
    calls.push_back(data_path);
    if (writes_file) env_.SetFile("/data/KV2EP.TXT", "RENDERED ROW\r\n");
    return {writes_file ? sl::kPrint : result_without_file, "/data/KV2EP.TXT",
            writes_file && completes, too_large};
  }
  FakeEnv& env_;
};

class PrintRunTest : public testing::JobTest {
 protected:
  PrintRunTest() {
    settings.optInputType = {false, true};  // text input
    settings.chkOptions = {};
    settings.chkOptions[config::kTraceEnable] = true;
    config::ApplyListDefaults(settings);
  }
  void Check(std::initializer_list<int> options) {
    for (int option : options) settings.chkOptions[static_cast<size_t>(option)] = true;
  }
  RunResult Print(const std::string& data) {
    serial.printed.clear();
    env.SetFile("/data/SR_DATI.001", data);
    return run_.DoSendFile("/data/SR_DATI.001");
  }
  void UseSlInput() { settings.optInputType = {true, false}; }

  FakeRenderers renderers_{env};
  PrintRun run_{PrintRun::Deps{env, trace_, op, dirs_, settings, state_, files_, channel,
                               renderers_}};
};

TEST_F(PrintRunTest, WholeReceiptByteStream) {
  settings.txtHeader[0] = "BAR ROMA";
  settings.chkDH_Header[0] = true;
  settings.txtHeader[2] = "Tel";
  settings.chkDH_Header[2] = settings.chkDW_Header[2] = true;
  settings.txtHeader[4] = "P.IVA";  // line 3 empty: skipped
  settings.txtFooter[0] = "Grazie";
  settings.chkDW_Footer[0] = true;
  Check({config::kPrintLogoUp, config::kPrintDateUp, config::kPrintDateDown, config::kDateCentered,
         config::kPostDateLf, config::kPartialCut, config::kTotalCut});  // the partial cut wins
  settings.cboEndSpaces = 3;
  settings.cboPostCutFeeds = 2;

  const std::string data =
      "Total 12,50\r\n"
      "\x1B!\r\n"
      "TRAS,:Hello,A2,W1\r\n"
      "TRAS,A3\r\n"
      "\x1B" "d\n\r\n"  // feed 10 lines: the lone LF belongs to the command
      "caff\xE8 \xE0 l'\xFF\r\n"s;
  ASSERT_EQ(Print(data), kRunSent);

  const std::string date = "07-03-26  09:05";
  const std::string line_end = kJl + kSizeReset;
  const std::string expected =
      // Top of the receipt.
      kRotOff + kCrLf + kJc + kCrLf +
      Pm(0x10) + kJc + "BAR ROMA" + kCrLf +
      Pm(0x30) + kJc + "Tel" + kCrLf +
      Pm(0x00) + kJc + "P.IVA" + kCrLf +
      kJl + kPm0 + kCrLf +
      kJc + kCrLf + "\x1D(L\x06\0" "0E  \x01\x01"s + kJl + kPm0 + kCrLf +
      kJc + "\x1B" "d\x02"s + date + kCrLf + kJl +
      // Body.
      kJl + "TOTAL 12,50" + kCrLf + kPm0 + line_end +
      kJl + "\x1B!\0"s + line_end +
      kJl + kJl + kJc + kRotOff + kPm0 + Pm(0x20) + "HELLO" + kCrLf + line_end +
      kJl + kJl + kJr + kRotOff + kPm0 + Pm(0x00) + "HELLO" + kCrLf + line_end +
      kJl + "\x1B" "d\n"s + line_end +
      kJl + "CAFF\xC8 \xC0 L'\x9F"s + kCrLf + kPm0 + line_end +
      // End of the receipt.
      kJl + kSizeReset +
      kJc + "\x1B" "d\x01"s + date + kCrLf + kJl +
      kJc + kCrLf +
      Pm(0x20) + kJc + "Grazie" + kCrLf +
      kJl + kPm0 + kCrLf +
      "\x1B" "d\x03"s + kCrLf +
      kPartialCut +
      "\x1B" "d\x02"s + kCrLf;
  EXPECT_EQ(serial.printed, expected);
  EXPECT_EQ(ReceiptDateLine(DateTime{2100, 12, 31, 23, 59, 59}), "31-12-00  23:59");
  EXPECT_EQ(serial.opens, 1);
  EXPECT_FALSE(serial.IsOpen());
  EXPECT_EQ(env.File("/data/SR_OUT.001"), "");
}

TEST_F(PrintRunTest, EmptyTextFileSendsOnlyTheEndOfTheReceiptSerialPrinterTheDownloadedLogo) {
  settings.txtHeader[0] = "HEADER";
  Check({config::kPrintLogoUp, config::kPrintDateUp, config::kTotalCut});
  ASSERT_EQ(Print(""), kRunSent);
  EXPECT_EQ(serial.printed, kJl + kSizeReset + kJc + kCrLf + kJl + kPm0 + kCrLf +
                                 "\x1DV\x41"s + kCrLf);
  // The serial printer's logo is the downloaded one, and its date uncentered.
  settings.listPrinters = 0;
  ASSERT_EQ(Print("x\r\n"), kRunSent);
  EXPECT_THAT(serial.printed, HasSubstr(kJc + kCrLf + "\x1D/\0\n"s + kJl + kPm0 + kCrLf +
                                        "07-03-26  09:05" + kCrLf + kJl + "X"));
}

TEST_F(PrintRunTest, AttributeLinesJustifyOnlyForPositiveNumbers) {
  const std::pair<std::string, std::string> cases[] = {
      {"TRAS,:A,A0", ""},  {"TRAS,:A,A-2", ""}, {"TRAS,:A,AX", ""},
      {"TRAS,:A,A1", kJl}, {"TRAS,:A,A2", kJc}, {"tras,:a,a7", kJr},
  };
  for (const auto& [line, justify] : cases) {
    SCOPED_TRACE(line);
    ASSERT_EQ(Print(line + "\r\n"), kRunSent);
    EXPECT_THAT(serial.printed, HasSubstr(kJl + kJl + justify + kRotOff + kPm0 + Pm(0) + "A\r\n"));
  }
  ASSERT_EQ(Print("TRAS,:Big,H1,W0\r\nTRAS,:Both,H2,W3\r\n"), kRunSent);
  EXPECT_THAT(serial.printed, HasSubstr(Pm(0x10) + "BIG\r\n"));
  EXPECT_THAT(serial.printed, HasSubstr(Pm(0x30) + "BOTH\r\n"));
  // Text carried over only within one run.
  ASSERT_EQ(Print("TRAS,W1\r\n"), kRunSent);
  EXPECT_THAT(serial.printed, HasSubstr(kPm0 + Pm(0x20) + "\r\n"));
}

TEST_F(PrintRunTest, SlRunChoosesReprintInvoiceOrReceipt) {
  UseSlInput();
  ASSERT_EQ(Print("SALE,N1,P100,:X;\r\n"), kRunSent);
  ASSERT_EQ(Print("OPNF;\r\nOPFS,:CLIENTE;\r\nSALE,N1,P100;\r\n"), kRunSent);
  // "opfs" is not an invoice; "rlpr" in any case is a reprint.
  ASSERT_EQ(Print("opfs;\r\n"), kRunSent);
  env.SetFile("/data/KV2EP.TXT", "LAST RECEIPT\r\n");
  ASSERT_EQ(Print("rLpR\r\n"), kRunSent);
  EXPECT_THAT(serial.printed, HasSubstr("LAST RECEIPT\r\n"));
  // The test receipt is text whatever the input type.
  state_.test_receipt = true;
  ASSERT_EQ(Print("PROVA DI STAMPA \r\n"), kRunSent);
  EXPECT_THAT(serial.printed, HasSubstr("PROVA DI STAMPA \r\n"));
  EXPECT_EQ(renderers_.receipts.size(), 2u);
  EXPECT_EQ(renderers_.invoices.size(), 1u);
}

TEST_F(PrintRunTest, RenderingWithoutOutputOrStoppedEarlyIsNotPrinted) {
  UseSlInput();
  renderers_.writes_file = false;
  EXPECT_EQ(Print("SALE,N1,P100;\r\n"), kRunRepeat);
  renderers_.too_large = true;  // refused for its size: no repeat either
  EXPECT_EQ(Print("SALE,N1,P100;\r\n"), kRunFailed);
  renderers_.too_large = false;
  EXPECT_EQ(serial.opens, 0);
  EXPECT_FALSE(env.HasFile("/data/SR_OUT.001"));

  renderers_.writes_file = true;
  renderers_.completes = false;
  EXPECT_EQ(Print("SALE,N1,P100,I99;\r\n"), kRunFailed);
  EXPECT_EQ(Print("OPFS,:CLIENTE;\r\nSALE,N1,P100,I99;\r\n"), kRunFailed);
  EXPECT_TRUE(serial.wire.empty());

  // An empty data file leaves no rendered lines: the run fails on the missing input.
  env.RemoveFile("/data/KV2EP.TXT");
  renderers_.writes_file = false;
  renderers_.result_without_file = sl::kPrint;
  EXPECT_EQ(Print(""), kRunFailed);
  EXPECT_EQ(env.File("/data/SR_OUT.001"), "");
  EXPECT_THAT(op.messages, ElementsAre("ERRORE3 = File not found"));
}

TEST_F(PrintRunTest, AFailedLineEndsTheBodyOneFaultIsForgivenTheSecondEndsTheRun) {
  Check({config::kPartialCut});
  serial.fail_marker = "BAD";
  EXPECT_EQ(Print("good\r\nbad\r\nnever\r\n"), kRunFailed);
  EXPECT_THAT(serial.printed, HasSubstr("GOOD\r\n"));
  EXPECT_THAT(serial.printed, Not(HasSubstr("NEVER")));
  EXPECT_THAT(serial.printed, EndsWith(kPartialCut));  // the receipt is closed all the same
  serial.fail_marker.clear();

  // SR_OUT cannot be created: the first fault, the receipt still prints.
  env.FailNext(FakeEnv::Op::kWrite, "/data/SR_OUT.001", 1, kDenied);
  EXPECT_EQ(Print("one\r\n"), kRunSent);
  EXPECT_THAT(serial.printed, HasSubstr("ONE\r\n"));

  // A reprint before any rendering: the missing input counts twice.
  UseSlInput();
  EXPECT_EQ(Print("RLPR\r\n"), kRunFailed);
  EXPECT_THAT(op.messages, ElementsAre("Device I/O error - 57", "ERRORE3 = File not found"));
  EXPECT_TRUE(serial.printed.empty());
  EXPECT_FALSE(serial.IsOpen());
  EXPECT_EQ(env.File("/data/SR_OUT.001"), "");
  EXPECT_THAT(Trace(),
              HasSubstr("err_DoSendFile n.9  | 07-03-2026 09:05:12 | File not found | 53"));
  // A port that cannot deliver what is still queued when it closes.
  serial.close_fault = Status::Error(fault::kDeviceIo, "Device I/O error");
  EXPECT_EQ(Print("good\r\n"), kRunFailed);
}

TEST_F(PrintRunTest, PrinterNotReadyStopsBeforeSending) {
  serial.state = FakeSerialPort::State::kSilent;
  EXPECT_EQ(Print("line\r\n"), kRunNotReady);
  EXPECT_TRUE(serial.printed.empty());
  // A port that does not open leaves the printer silent: not ready either.
  serial.state = FakeSerialPort::State::kReady;
  serial.open_fault = Status::Error(fault::kPortAlreadyOpen, "Port already open");
  EXPECT_EQ(Print("line\r\n"), kRunNotReady);
  EXPECT_TRUE(serial.printed.empty());
  EXPECT_FALSE(serial.IsOpen());
  EXPECT_FALSE(env.HasFile("/data/SR_OUT.001"));
  // Slow, not silent (a 9600 baud line behind a receipt line): the receipt prints whole.
  serial.open_fault = Status::OK();
  std::string lines;
  for (int i = 0; i < 8000; ++i) lines += "line\r\n";
  serial.reply_delay_ms = 60;
  EXPECT_EQ(Print(lines), kRunSent);
  // A spooler printer's readiness comes from its monitor.
  testing::UseSpoolerPrinter(channel, spooler);
  channel.OpenStatusMonitor();
  monitor.status = printer::status_bits::kNoResponse;
  EXPECT_EQ(Print("line\r\n"), kRunNotReady);
}

}  // namespace
}  // namespace dovevid::job
