// The headless server end to end: the built `dovevid --headless` on a
// temporary data directory, printing to dovevid-vprinter on a pty mapped to
// COM1, with a 100 ms polling interval. The tests act as the cash register
// does: they write job files (or run `dovevid submit`) and read the answers
// and the bytes the virtual printer received.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "logo/bmp.h"
#include "cups_harness.h"
#include "temp_dir.h"
#include "vprinter_fixture.h"

namespace dovevid::testing {
namespace {

using namespace std::string_literals;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;

const std::string kJl = "\x1B" "a0"s;
const std::string kJc = "\x1B" "a1"s;
const std::string kPm0 = "\x1B!\0"s;
const std::string kLineEnd = kJl + "\x1D!\0"s;
const std::string kNvLogo = "\x1D(L\x06\0" "0E  \x01\x01"s;

// The top of a receipt with the default options (logo, no date lines) and
// one double-width header line.
std::string Top() {
  return "\x1BV\0\r\n"s + kJc + "\r\n" + "\x1B!\x20"s + kJc + "BAR ROMA\r\n" + kJl + kPm0 +
         "\r\n" + kJc + "\r\n" + kNvLogo + kJl + kPm0 + "\r\n";
}
// A text row as the print run wraps it.
std::string Row(const std::string& upper) { return kJl + upper + "\r\n" + kPm0 + kLineEnd; }
// The end: footer, 3 feeds, partial cut.
std::string End() {
  return kLineEnd + kJc + "\r\n" + "\x1B!\0"s + kJc + "Grazie\r\n" + kJl + kPm0 + "\r\n" +
         "\x1B" "d\x03\r\n"s + "\x1DV\x42\r\n"s;
}

class E2e : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(printer_.Start(printer_dir_.path(), &why)) << why;
    // COM1, text input, 100 ms polling, trace on, no date lines (so the
    // bytes on the wire are predictable), a header, a footer, 3 feeds.
    Configure({"cboComPort=1", "txtTimerVal=100", "optInputType(0)=0", "optInputType(1)=1",
               "chkOptions(0)=0", "chkOptions(1)=0", "chkOptions(11)=1", "txtHeader(0)=BAR ROMA",
               "chkDW_Header(0)=1", "txtFooter(0)=Grazie", "cboEndSpaces=3"});
  }
  void TearDown() override {
    server_.Stop();
    if (HasFailure()) {
      std::cerr << "--- server output ---\n" << ServerLog() << "--- printer output ---\n"
                << ReadFileOrEmpty(printer_.log_path());
    }
  }

  // `dovevid settings set`; fails the test on a refusal.
  void Configure(std::vector<std::string> name_values) {
    name_values.insert(name_values.begin(), {"settings", "set"});
    name_values.insert(name_values.end(), {"--app-dir", dir_.path(), "--data-dir", dir_.path()});
    const RunResult r = RunProgram(DOVEVID_PATH, name_values);
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  }
  void StartServer(const std::map<std::string, std::string>& env = {},
                   const std::string& com1 = "") {
    ASSERT_TRUE(server_.Start(DOVEVID_PATH,
                              {"--headless", "--app-dir", dir_.path(), "--data-dir", dir_.path(),
                               "--com", "1=" + (com1.empty() ? printer_.link() : com1)},
                              LogPath(), env));
  }
  // Until the server has published its identification on its first poll.
  void WaitUntilServing() {
    ASSERT_TRUE(WaitFor([&] { return ServerLog().find("SR_MATR: ") != std::string::npos; }));
  }
  RunResult Submit(const std::string& receipt) {
    Write("receipt.txt", receipt);
    return RunProgram(DOVEVID_PATH, {"submit", Path("receipt.txt"), "--data-dir", dir_.path(),
                                     "--app-dir", dir_.path(), "--timeout", "10"});
  }

  std::string Path(const std::string& name) const { return dir_ / name; }
  bool Exists(const std::string& name) const { return std::filesystem::exists(Path(name)); }
  std::string Read(const std::string& name) const { return ReadFileOrEmpty(Path(name)); }
  void Write(const std::string& name, const std::string& bytes) const {
    WriteFileOrDie(Path(name), bytes);
  }
  // SR_DATI and then SR_START, as a cash register writes them.
  void SubmitFiles(const std::string& data) const {
    Write("SR_DATI.001", data);
    Write("SR_START.001", "");
  }
  // The end of the job: SR_START gone and FINESCO (with both lines of
  // SR_OUT) or SR_ERR there.
  bool WaitForAnswer() const {
    return WaitFor(
        [&] {
          const std::string out = Read("SR_OUT.001");
          return !Exists("SR_START.001") &&
                 (Exists("FINESCO.001") ? out.find("\r\n") != out.rfind("\r\n")
                                        : Exists("SR_ERR.001"));
        },
        10000);
  }
  std::string LogPath() const { return printer_dir_ / "server.log"; }
  std::string ServerLog() const { return ReadFileOrEmpty(LogPath()); }

  TempDir dir_;  // data and application directory
  TempDir printer_dir_;
  VirtualPrinter printer_;
  ChildProcess server_;
};

TEST_F(E2e, TextReceiptThroughSubmitIsByteExactAndAnswered) {
  StartServer();
  WaitUntilServing();  // the identification comes before any job
  EXPECT_THAT(Read("SR_MATR.001"), MatchesRegex("[0-9A-Za-z]*\r\n"));
  const RunResult r = Submit("Hello\r\nTotal 12,50\r\n");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_THAT(r.out, MatchesRegex("TIME,CASS\\. 1 ,[0-2][0-9]:[0-5][0-9], CASSA   1 ,E,A1;\n"
                                  "DATE,[0-9-]{8},  SCONTR\\. N\\.1,E,A1;\n"));
  {
    const std::string expected = Top() + Row("HELLO") + Row("TOTAL 12,50") + End();
    printer_.WaitForCapture(expected.size());  // the last bytes may still be on the pty
    EXPECT_EQ(printer_.Capture(), expected);
  }
  EXPECT_EQ(Read("FINESCO.001"), "finesco");
  EXPECT_FALSE(Exists("SR_DATI.001"));
  EXPECT_FALSE(Exists("SR_ERR.001"));
  EXPECT_EQ(Read("COPIA.TMP"), "Hello\r\nTotal 12,50\r\n");
  // A timeout too long to count in milliseconds is refused, not cut short.
  EXPECT_EQ(RunProgram(DOVEVID_PATH, {"submit", Path("receipt.txt"), "--data-dir", dir_.path(),
                                      "--timeout", "1e300"}).exit_code, 2);
}

TEST_F(E2e, SlReceiptIsRenderedAndSentLineByLine) {
  Configure({"optInputType(0)=1", "optInputType(1)=0"});
  StartServer();
  WaitUntilServing();
  SubmitFiles("SALE,N1,P250,:CAFFE;\r\nSALE,N2,Q2,P120,:CORNETTO;\r\nSUBT;\r\nCASH,P1000;\r\n");
  ASSERT_TRUE(WaitForAnswer());
  ASSERT_TRUE(Exists("FINESCO.001"));
  const std::string rendered = Read("KV2EP.TXT");
  EXPECT_THAT(rendered, HasSubstr("CAFFE                       2,50\r\n"));
  std::string body;
  for (size_t at = 0; at < rendered.size();) {
    const size_t end = rendered.find("\r\n", at);
    body += Row(rendered.substr(at, end - at));
    at = end + 2;
  }
  {
    const std::string expected = Top() + body + End();
    printer_.WaitForCapture(expected.size());
    EXPECT_EQ(printer_.Capture(), expected);
  }
}

TEST_F(E2e, StartWithoutDataIsAnsweredE511) {
  StartServer();
  WaitUntilServing();
  Write("SR_START.001", "");
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_EQ(Read("SR_ERR.001"), "E511: Trasmissione non avvenuta: file di input non presente\r\n");
  EXPECT_FALSE(Exists("FINESCO.001"));
}

TEST_F(E2e, UnusablePortAnswersE502AndKeepsTheJob) {
  StartServer({}, Path("no-such-tty"));
  ASSERT_TRUE(WaitFor([&] { return Exists("SR_ERR.001"); }));
  EXPECT_EQ(Read("SR_ERR.001"), "E502: Nessuna porta di comunicazione disponibile\r\n");
  EXPECT_THAT(ServerLog(), HasSubstr("Porta Com n.1 non disponibile"));
  SubmitFiles("x\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(Exists("SR_START.001"));
  EXPECT_FALSE(Exists("SR_MATR.001"));
}

TEST_F(E2e, OfflinePrinterAnswersE504AndKeepsTheData) {
  StartServer();
  WaitUntilServing();
  ASSERT_TRUE(printer_.SetState("offline"));
  const RunResult r = Submit("Hello\r\n");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "E504: Nessun messaggio ricevuto: controllare connessione con l'Ecr\n");
  EXPECT_TRUE(Exists("SR_DATI.001"));
  EXPECT_FALSE(Exists("FINESCO.001"));
  EXPECT_EQ(printer_.Capture(), "");
}

TEST_F(E2e, PaperEndShowsE096UntilPaperReturnsThenTheJobSucceeds) {
  StartServer();
  WaitUntilServing();
  ASSERT_TRUE(printer_.SetState("paper-end"));
  SubmitFiles("first line\r\nsecond line\r\n");
  ASSERT_TRUE(WaitFor([&] { return Exists("SR_ERR.001"); }));
  EXPECT_EQ(Read("SR_ERR.001"), "E096: Fine carta scontrino, sostituire rotolo\r\n");
  EXPECT_TRUE(Exists("SR_START.001"));  // still printing
  ASSERT_TRUE(printer_.SetState("ready"));
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_TRUE(Exists("FINESCO.001"));
  EXPECT_FALSE(Exists("SR_ERR.001"));
  {
    const std::string expected = Top() + Row("FIRST LINE") + Row("SECOND LINE") + End();
    printer_.WaitForCapture(expected.size());
    EXPECT_EQ(printer_.Capture(), expected);
  }
}

TEST_F(E2e, PaperEndWaitGivingUpFailsTheJobWithE096AndKeepsTheData) {
  StartServer({{"DOVEVID_PAPER_END_PAUSES", "0"}});
  WaitUntilServing();
  ASSERT_TRUE(printer_.SetState("paper-end"));
  SubmitFiles("never printed\r\n");
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_EQ(Read("SR_ERR.001"), "E096: Fine carta scontrino, sostituire rotolo\r\n");
  EXPECT_FALSE(Exists("FINESCO.001"));
  EXPECT_THAT(printer_.Capture(), Not(HasSubstr("NEVER")));
  EXPECT_THAT(printer_.Capture(), Not(HasSubstr("\x1DV")));
  // Paper back: the repeated start prints the kept data.
  ASSERT_TRUE(printer_.SetState("ready"));
  Write("SR_START.001", "");
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_TRUE(Exists("FINESCO.001"));
  EXPECT_THAT(printer_.Capture(), HasSubstr("NEVER PRINTED\r\n"));
}

TEST_F(E2e, TwoJobsInARowCountAndReplaceTheAnswer) {
  StartServer();
  WaitUntilServing();
  SubmitFiles("one\r\n");
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_THAT(Read("SR_OUT.001"), HasSubstr("SCONTR. N.1,E,A1;"));
  SubmitFiles("two\r\n");
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_THAT(Read("SR_OUT.001"), HasSubstr("SCONTR. N.2,E,A1;"));
  {
    const std::string expected = Top() + Row("ONE") + End() + Top() + Row("TWO") + End();
    printer_.WaitForCapture(expected.size());
    EXPECT_EQ(printer_.Capture(), expected);
  }
  // The counter survives a clean stop.
  EXPECT_EQ(server_.Stop(), 0);
  const RunResult r =
      RunProgram(DOVEVID_PATH, {"settings", "--app-dir", dir_.path(), "--data-dir", dir_.path()});
  EXPECT_THAT(r.out, HasSubstr("txtNumScontr=2\n"));
}

class StartUpAndShutdown : public E2e, public ::testing::WithParamInterface<bool> {};

TEST_P(StartUpAndShutdown, JobFilesAreCleanedAsNoKillDatiStartSays) {
  const bool no_kill = GetParam();
  Configure({no_kill ? "chkOptions(10)=1" : "chkOptions(10)=0"});
  for (const std::string ext : {".001", ".004", ".005"}) {
    for (const std::string base : {"SR_MATR", "SR_ERR", "SR_OUT", "FINESCO", "SR_DATI"}) {
      Write(base + ext, "left over\r\n");
    }
  }
  Write("SR_START.004", "");
  Write("SR_START.005", "");
  StartServer();
  WaitUntilServing();  // cleanup done, the dump wrote a new SR_MATR.001
  for (const std::string base : {"SR_ERR", "SR_OUT", "FINESCO"}) {
    EXPECT_FALSE(Exists(base + ".001")) << base;
    EXPECT_FALSE(Exists(base + ".004")) << base;
    EXPECT_TRUE(Exists(base + ".005")) << base;  // beyond .004: untouched
  }
  EXPECT_FALSE(Exists("SR_MATR.004"));
  EXPECT_EQ(Exists("SR_DATI.004"), no_kill);
  EXPECT_EQ(Exists("SR_START.004"), no_kill);
  EXPECT_TRUE(Exists("SR_START.005"));

  // A job, then SIGTERM: the answer and identification files go, the data
  // stays, and the start file goes only with "No Kill Dati/Start".
  SubmitFiles("x\r\n");
  ASSERT_TRUE(WaitForAnswer());
  Write("SR_ERR.001", "E504\r\n");
  SubmitFiles("kept\r\n");
  server_.Terminate();  // before the next poll could take the new start file
  EXPECT_EQ(server_.Wait(5000), 0);
  for (const std::string base : {"SR_MATR", "SR_ERR", "SR_OUT", "FINESCO"}) {
    EXPECT_FALSE(Exists(base + ".001")) << base;
  }
  EXPECT_TRUE(Exists("SR_DATI.001"));
  EXPECT_EQ(Exists("SR_START.001"), !no_kill);
  EXPECT_TRUE(Exists("SR_OUT.005"));
  EXPECT_TRUE(Exists("KV2EPcfg.txt"));
}

INSTANTIATE_TEST_SUITE_P(NoKillDatiStart, StartUpAndShutdown, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Checked" : "Unchecked"; });

TEST_F(E2e, JobLeftByACrashIsTakenAfterTheRestart) {
  SubmitFiles("left behind\r\n");
  StartServer();
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_TRUE(Exists("FINESCO.001"));
  EXPECT_THAT(printer_.Capture(), HasSubstr("LEFT BEHIND\r\n"));
}

TEST_F(E2e, SecondServerOnTheSameDataDirectoryEndsAtOnce) {
  StartServer();
  WaitUntilServing();
  ChildProcess second;
  ASSERT_TRUE(second.Start(DOVEVID_PATH, {"--headless", "--app-dir", dir_.path(), "--data-dir",
                                          dir_.path(), "--com", "1=" + printer_.link()},
                           Path("second.log")));
  EXPECT_EQ(second.Wait(5000), 3);
  EXPECT_THAT(Read("second.log"), HasSubstr("another server is running"));
}

TEST_F(E2e, ReceiptOnACupsQueue) {
  std::unique_ptr<PrivateCupsd> cupsd;
  DOVEVID_START_PRIVATE_CUPSD(cupsd);
  VirtualPrinter device;
  std::string why;
  ASSERT_TRUE(device.Start(cupsd->dir(), &why, VirtualPrinter::Mode::kTcp)) << why;
  ASSERT_TRUE(cupsd->AddRawQueue("DOVQ", device.port(), &why)) << why;
  Configure({"ListPrinters=DOVQ"});
  StartServer();
  WaitUntilServing();
  SubmitFiles("Hello\r\nTotal 12,50\r\n");
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_TRUE(Exists("FINESCO.001"));
  const std::string expected = Top() + Row("HELLO") + Row("TOTAL 12,50") + End();
  EXPECT_TRUE(device.WaitForCapture(expected.size(), 10000)) << cupsd->LogTail();
  EXPECT_EQ(device.Capture(), expected);
  EXPECT_EQ(printer_.Capture(), "");  // nothing went to the serial printer
}


// A logo stored with `dovevid logo load` on the serial printer entry comes
// out of the next receipt with "Print Logo Up", in the printer's decoding
// and in the preview.
TEST_F(E2e, StoredLogoPrintsAtTheTopOfReceipts) {
  Configure({"ListPrinters=RS232_PRINTER", "chkOptions(2)=1"});
  logo::Bitmap half(64, 32);  // the left half black
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) half.Set(x, y, true);
  }
  Write("logo.bmp", logo::EncodeBmp1(half));
  const std::vector<std::string> dirs = {"--app-dir", dir_.path(), "--data-dir", dir_.path()};
  auto logo = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "logo");
    args.insert(args.end(), dirs.begin(), dirs.end());
    args.insert(args.end(), {"--com", "1=" + printer_.link()});
    return RunProgram(DOVEVID_PATH, args);
  };
  EXPECT_EQ(logo({"check", Path("logo.bmp")}).out, "64 x 32\n");
  const RunResult missing = logo({"check", Path("none.bmp")});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_THAT(missing.err, HasSubstr("File not found"));
  // The serial printer needs the NV file too: convert first.
  EXPECT_EQ(logo({"load", Path("logo.bmp")}).exit_code, 1);
  ASSERT_EQ(logo({"convert", Path("logo.bmp")}).exit_code, 0);
  const RunResult loaded = logo({"load", Path("logo.bmp")});
  ASSERT_EQ(loaded.exit_code, 0) << loaded.err;
  EXPECT_THAT(loaded.err, HasSubstr("100 %"));

  StartServer();
  WaitUntilServing();
  ASSERT_EQ(Submit("Hello\r\n").exit_code, 0);
  ASSERT_TRUE(WaitFor([&] { return printer_.Capture().find("\x1DV") != std::string::npos; }));
  Write("capture.bin", printer_.Capture());
  std::string row, art;
  for (int i = 0; i < 16; ++i) row += "\u28FF";
  for (int i = 0; i < 16; ++i) row += "\u2800";
  for (int i = 0; i < 8; ++i) art += row + "\n";
  const std::string decoded = RunProgram(VirtualPrinterProgram(), {"decode", Path("capture.bin")}).out;
  EXPECT_THAT(decoded, HasSubstr("<logo defined, 64x32 dots>\n"));
  EXPECT_THAT(decoded, HasSubstr("<logo print, mode 0, 64x32 dots>\n" + art + "[C]\n[L]\n[L] HELLO\n"));

  const RunResult preview = RunProgram(DOVEVID_PATH, {"preview", Path("receipt.txt"), "--app-dir", dir_.path(),
                                                      "--data-dir", dir_.path(), "--png", Path("r.png")});
  EXPECT_EQ(preview.exit_code, 0) << preview.err;
  EXPECT_EQ(Read("r.png").substr(1, 3), "PNG");
  EXPECT_THAT(RunProgram(DOVEVID_PATH, {"preview", Path("receipt.txt"), "--app-dir", dir_.path(),
                                        "--data-dir", dir_.path()}).out,
              HasSubstr("<logo print, mode 0, 64x32 dots>\n" + art));
}

}  // namespace
}  // namespace dovevid::testing
