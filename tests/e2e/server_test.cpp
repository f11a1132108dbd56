// The headless server end to end on a virtual serial printer.
#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "cups_harness.h"

#include "e2e_fixture.h"

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

class E2e : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    if (HasFatalFailure()) return;
    Configure({"txtHeader(0)=BAR ROMA", "chkDW_Header(0)=1", "txtFooter(0)=Grazie",
               "cboEndSpaces=3"});
  }
};

TEST_F(E2e, TextReceiptThroughSubmitIsByteExactAndAnswered) {
  StartServer();
  WaitUntilServing();  // the identification comes before any job
  EXPECT_THAT(Read("SR_MATR.001"), MatchesRegex("[0-9A-Za-z]*\r\n"));
  Write("receipt.txt", "Hello\r\nTotal 12,50\r\n");
  const RunResult r = RunProgram(DovevidPath(), {"submit", Path("receipt.txt"), "--data-dir",
                                                 dir_.path(), "--app-dir", dir_.path(),
                                                 "--timeout", "10"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_THAT(r.out, MatchesRegex("TIME,CASS\\. 1 ,[0-2][0-9]:[0-5][0-9], CASSA   1 ,E,A1;\n"
                                  "DATE,[0-9-]{8},  SCONTR\\. N\\.1,E,A1;\n"));
  EXPECT_EQ(Captured(), Top() + Row("HELLO") + Row("TOTAL 12,50") + End());
  EXPECT_EQ(Read("FINESCO.001"), "finesco");
  EXPECT_FALSE(Exists("SR_DATI.001"));
  EXPECT_FALSE(Exists("SR_ERR.001"));
  EXPECT_EQ(Read("COPIA.TMP"), "Hello\r\nTotal 12,50\r\n");
  EXPECT_THAT(ServerLog(), HasSubstr("QNB DOVEVID1 TERMINATO : TUTTO OK"));
}

TEST_F(E2e, SlReceiptIsRenderedAndSentLineByLine) {
  Configure({"optInputType(0)=1", "optInputType(1)=0"});
  StartServer();
  WaitUntilServing();
  SubmitFiles("SALE,N1,P250,:CAFFE;\r\nSALE,N2,Q2,P120,:CORNETTO;\r\nSUBT;\r\nCASH,P1000;\r\n");
  ASSERT_TRUE(WaitForAnswer()) << ServerLog();
  ASSERT_TRUE(Exists("FINESCO.001"));
  const std::string rendered = Read("KV2EP.TXT");
  EXPECT_THAT(rendered, HasSubstr("CAFFE                       2,50\r\n"));
  std::string body;
  for (size_t at = 0; at < rendered.size();) {
    const size_t end = rendered.find("\r\n", at);
    body += Row(rendered.substr(at, end - at));
    at = end + 2;
  }
  EXPECT_EQ(Captured(), Top() + body + End());
}

TEST_F(E2e, StartWithoutDataIsAnsweredE511) {
  StartServer();
  WaitUntilServing();
  Write("SR_START.001", "");
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_EQ(Read("SR_ERR.001"), "E511: Trasmissione non avvenuta: file di input non presente\r\n");
  EXPECT_FALSE(Exists("FINESCO.001"));
  EXPECT_EQ(Captured(), "");
}

TEST_F(E2e, UnusablePortAnswersE502AndKeepsTheJob) {
  StartServer({}, {"--com", "1=" + dir_.path() + "/no-such-tty"});
  ASSERT_TRUE(WaitFor([&] { return Exists("SR_ERR.001"); })) << ServerLog();
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
  SetPrinterState("offline");
  Write("receipt.txt", "Hello\r\n");
  const RunResult r = RunProgram(DovevidPath(), {"submit", Path("receipt.txt"), "--data-dir",
                                                 dir_.path(), "--app-dir", dir_.path()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "E504: Nessun messaggio ricevuto: controllare connessione con l'Ecr\n");
  EXPECT_TRUE(Exists("SR_DATI.001"));
  EXPECT_FALSE(Exists("FINESCO.001"));
  EXPECT_EQ(Captured(), "");

  // The same data again once the printer is back: printed, answered.
  SetPrinterState("ready");
  Write("SR_START.001", "");
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_TRUE(Exists("FINESCO.001"));
  EXPECT_FALSE(Exists("SR_ERR.001"));
  EXPECT_THAT(Captured(), HasSubstr("HELLO\r\n"));
}

TEST_F(E2e, PaperEndShowsE096UntilPaperReturnsThenTheJobSucceeds) {
  StartServer();
  WaitUntilServing();
  SetPrinterState("paper-end");
  SubmitFiles("first line\r\nsecond line\r\n");
  ASSERT_TRUE(WaitFor([&] { return Exists("SR_ERR.001"); })) << ServerLog();
  EXPECT_EQ(Read("SR_ERR.001"), "E096: Fine carta scontrino, sostituire rotolo\r\n");
  EXPECT_TRUE(Exists("SR_START.001"));  // still printing
  SetPrinterState("ready");
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_TRUE(Exists("FINESCO.001"));
  EXPECT_FALSE(Exists("SR_ERR.001"));
  EXPECT_THAT(Captured(), HasSubstr("FIRST LINE\r\n"));
  EXPECT_THAT(Captured(), HasSubstr("SECOND LINE\r\n"));
}

TEST_F(E2e, PaperEndWaitGivingUpFailsTheJobWithE096) {
  StartServer({{"DOVEVID_PAPER_END_PAUSES", "0"}});
  WaitUntilServing();
  SetPrinterState("paper-end");
  SubmitFiles("never printed\r\n");
  ASSERT_TRUE(WaitForAnswer()) << ServerLog();
  EXPECT_EQ(Read("SR_ERR.001"), "E096: Fine carta scontrino, sostituire rotolo\r\n");
  EXPECT_FALSE(Exists("FINESCO.001"));
  EXPECT_TRUE(Exists("SR_DATI.001"));
  EXPECT_THAT(Captured(), Not(HasSubstr("NEVER")));
  EXPECT_THAT(Captured(), Not(HasSubstr("\x1DV")));

  // Paper back: the repeated start prints the kept data.
  SetPrinterState("ready");
  Write("SR_START.001", "");
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_TRUE(Exists("FINESCO.001"));
  EXPECT_THAT(Captured(), HasSubstr("NEVER PRINTED\r\n"));
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
  EXPECT_EQ(Captured(), Top() + Row("ONE") + End() + Top() + Row("TWO") + End());

  // The counter survives a clean stop.
  EXPECT_EQ(StopServer(), 0);
  const RunResult r = RunProgram(DovevidPath(), {"settings", "--app-dir", dir_.path(),
                                                 "--data-dir", dir_.path()});
  EXPECT_THAT(r.out, HasSubstr("txtNumScontr=2\n"));
}

class StartUpAndShutdown : public E2e, public ::testing::WithParamInterface<bool> {};

TEST_P(StartUpAndShutdown, JobFilesAreCleanedAsNoKillDatiStartSays) {
  const bool no_kill = GetParam();
  Configure({no_kill ? "chkOptions(10)=1" : "chkOptions(10)=0"});
  for (const char* ext : {".001", ".004", ".005"}) {
    for (const char* base : {"SR_MATR", "SR_ERR", "SR_OUT", "FINESCO", "SR_DATI"}) {
      Write(std::string(base) + ext, "left over\r\n");
    }
  }
  Write("SR_START.004", "");
  Write("SR_START.005", "");
  StartServer();
  WaitUntilServing();  // cleanup done, the dump wrote a new SR_MATR.001

  for (const char* base : {"SR_ERR", "SR_OUT", "FINESCO"}) {
    EXPECT_FALSE(Exists(std::string(base) + ".001")) << base;
    EXPECT_FALSE(Exists(std::string(base) + ".004")) << base;
    EXPECT_TRUE(Exists(std::string(base) + ".005")) << base;  // beyond .004: untouched
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
  Write("SR_DATI.001", "kept\r\n");
  Write("SR_START.001", "");
  server_.Terminate();  // before the next poll could take the new start file
  EXPECT_EQ(server_.Wait(5000), 0) << ServerLog();
  for (const char* base : {"SR_MATR", "SR_ERR", "SR_OUT", "FINESCO"}) {
    EXPECT_FALSE(Exists(std::string(base) + ".001")) << base;
  }
  EXPECT_TRUE(Exists("SR_DATI.001"));
  EXPECT_EQ(Exists("SR_START.001"), !no_kill);
  EXPECT_TRUE(Exists("SR_OUT.005"));
  EXPECT_TRUE(Exists("KV2EPcfg.txt"));
}

INSTANTIATE_TEST_SUITE_P(NoKillDatiStart, StartUpAndShutdown, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Checked" : "Unchecked"; });

TEST_F(E2e, SecondServerOnTheSameDataDirectoryEndsAtOnce) {
  StartServer();
  WaitUntilServing();
  Background second;
  ASSERT_TRUE(second.Start(DovevidPath(), {"--headless", "--app-dir", dir_.path(), "--data-dir",
                                           dir_.path(), "--com", "1=" + tty_},
                           Path("second.log")));
  EXPECT_EQ(second.Wait(5000), 3);
  EXPECT_THAT(Read("second.log"), HasSubstr("another server is running"));
}

TEST_F(E2e, JobLeftByACrashIsTakenAfterTheRestartWithNoKillDatiStart) {
  SubmitFiles("left behind\r\n");
  StartServer();
  ASSERT_TRUE(WaitForAnswer()) << ServerLog();
  EXPECT_TRUE(Exists("FINESCO.001"));
  EXPECT_THAT(Captured(), HasSubstr("LEFT BEHIND\r\n"));
}

TEST_F(E2e, ReceiptOnACupsQueue) {
  std::unique_ptr<PrivateCupsd> cupsd;
  DOVEVID_START_PRIVATE_CUPSD(cupsd);
  const int port = FreeTcpPort();
  const std::string capture = Path("cups-capture.bin");
  Background device;
  ASSERT_TRUE(device.Start(VprinterPath(), {"--tcp", std::to_string(port), "--capture", capture},
                           Path("cups-printer.log")));
  ASSERT_TRUE(WaitForTcpPort(port, 5000));
  std::string why;
  ASSERT_TRUE(cupsd->AddRawQueue("DOVQ", "127.0.0.1", port, &why)) << why;
  Configure({"ListPrinters=DOVQ"});

  StartServer();
  WaitUntilServing();
  SubmitFiles("Hello\r\nTotal 12,50\r\n");
  ASSERT_TRUE(WaitForAnswer()) << ServerLog();
  EXPECT_TRUE(Exists("FINESCO.001"));
  const std::string expected = Top() + Row("HELLO") + Row("TOTAL 12,50") + End();
  EXPECT_TRUE(WaitFor([&] { return ReadFileOrEmpty(capture).size() >= expected.size(); }, 10000))
      << cupsd->LogTail();
  EXPECT_EQ(ReadFileOrEmpty(capture), expected);
  EXPECT_EQ(Captured(), "");  // nothing went to the serial printer
  device.Stop();
}

}  // namespace
}  // namespace dovevid::testing
