// The spooler transport and status monitor on CUPS, against a private
// scheduler with a raw queue whose device is the virtual printer on TCP.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/operator.h"
#include "config/settings.h"
#include "cups_harness.h"
#include "fake_env.h"
#include "fake_transports.h"
#include "platform/cups_printers.h"
#include "platform/cups_spooler.h"
#include "platform/cups_status.h"
#include "printer/channel.h"
#include "printer/escpos.h"
#include "printer/transport.h"
#include "recording_operator.h"

namespace dovevid::platform {
namespace {

using testing::ChildProcess;
using testing::PrivateCupsd;
namespace bits = printer::status_bits;

struct Job {
  std::string title;
  ipp_jstate_t state;
};

std::vector<Job> Jobs(const std::string& queue, int which) {
  cups_job_t* jobs = nullptr;
  const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, which);
  std::vector<Job> out;
  for (int i = 0; i < n; ++i) out.push_back({jobs[i].title, jobs[i].state});
  cupsFreeJobs(n, jobs);
  return out;
}

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

class CupsSpoolerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A client whose locale is not English, as on a cash desk: what the
    // backend reports about our jobs must still be recognised.
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    DOVEVID_START_PRIVATE_CUPSD(cupsd_);
    std::string why;
    port_ = testing::FreeTcpPort();
    capture_ = cupsd_->dir() + "/capture.bin";
    StartPrinter();
    ASSERT_TRUE(cupsd_->AddRawQueue("DOVQ", "127.0.0.1", port_, &why)) << why;
  }

  void StartPrinter() {
    const std::string vprinter = testing::VirtualPrinterPath();
    ASSERT_FALSE(vprinter.empty()) << "dovevid-vprinter is not built";
    ASSERT_TRUE(printer_.Start(vprinter, {"--tcp", std::to_string(port_), "--capture", capture_},
                               cupsd_->dir() + "/log/vprinter.log"));
    ASSERT_TRUE(testing::WaitForTcpPort(port_, 5000)) << "the virtual printer does not listen";
  }

  std::string Captured() const { return testing::ReadFileOrEmpty(capture_); }

  // Waits until `n` jobs of the queue are completed.
  ::testing::AssertionResult CompletedJobs(std::size_t n) {
    if (WaitFor([&] { return Jobs("DOVQ", CUPS_WHICHJOBS_COMPLETED).size() >= n; }, 10000)) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "jobs did not complete\n" << cupsd_->LogTail();
  }

  std::unique_ptr<PrivateCupsd> cupsd_;
  ChildProcess printer_;
  int port_ = 0;
  std::string capture_;
  CupsSpooler spooler_;
};

TEST_F(CupsSpoolerTest, ListsQueuesWithTheirDevice) {
  std::string why;
  ASSERT_TRUE(cupsd_->AddRawQueue("AAQ", "127.0.0.1", 9, &why)) << why;
  const std::vector<printer::SpoolerPrinter> printers = spooler_.ListPrinters();
  ASSERT_EQ(printers.size(), 2u);
  EXPECT_EQ(printers[0].name, "AAQ");
  EXPECT_EQ(printers[0].description, "socket://127.0.0.1:9");
  EXPECT_EQ(printers[1].name, "DOVQ");
  EXPECT_EQ(SpoolerPrinterEntries()[1], "DOVQ ,  socket://127.0.0.1:" + std::to_string(port_));
}

TEST_F(CupsSpoolerTest, EachOpenClosePairIsOneJobWithTheBytesAsWritten) {
  std::string all_bytes;
  for (int b = 0; b < 256; ++b) all_bytes.push_back(static_cast<char>(b));
  const std::string first_a("A\x00\x1B\x0A\xFA", 5);
  const std::string first_b = "line two\r\n";

  const std::int32_t doc1 = spooler_.OpenDocument("DOVQ", "DOVQ_20261205_1034_1");
  ASSERT_GT(doc1, 0);
  EXPECT_TRUE(spooler_.Write(doc1, first_a));
  EXPECT_TRUE(spooler_.Write(doc1, ""));  // must not end the document early
  EXPECT_TRUE(spooler_.Write(doc1, first_b));
  EXPECT_EQ(spooler_.Read(doc1, 16), "");
  EXPECT_TRUE(spooler_.CloseDocument(doc1));
  ASSERT_TRUE(CompletedJobs(1));

  const std::int32_t doc2 = spooler_.OpenDocument("DOVQ", "DOVQ_20261205_1034_2");
  ASSERT_GT(doc2, 0);
  EXPECT_NE(doc2, doc1);
  EXPECT_TRUE(spooler_.Write(doc2, all_bytes));
  EXPECT_TRUE(spooler_.CloseDocument(doc2));
  ASSERT_TRUE(CompletedJobs(2));

  const std::vector<Job> jobs = Jobs("DOVQ", CUPS_WHICHJOBS_ALL);
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].title, "DOVQ_20261205_1034_1");
  EXPECT_EQ(jobs[1].title, "DOVQ_20261205_1034_2");
  ASSERT_TRUE(WaitFor([&] { return Captured().size() >= 15 + 256; }, 5000));
  EXPECT_EQ(Captured(), first_a + first_b + all_bytes);
}

TEST_F(CupsSpoolerTest, UnknownQueueCannotBeOpenedAndWritesFail) {
  EXPECT_EQ(spooler_.OpenDocument("NOSUCHQ", "NOSUCHQ_20261205_1034_1"), 0);
  EXPECT_FALSE(spooler_.Write(0, "x"));
  EXPECT_FALSE(spooler_.CloseDocument(0));

  CupsStatusMonitor monitor(spooler_);
  EXPECT_LE(monitor.Open("NOSUCHQ"), 0);
  std::uint32_t status = 0;
  EXPECT_FALSE(monitor.GetStatus(1, &status));
}

using RecordingOperator = ::dovevid::testing::RecordingOperator;

// The core channel over the CUPS transports, as the program wires them.
class CupsChannelTest : public CupsSpoolerTest {
 protected:
  void SetUp() override {
    CupsSpoolerTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    env_.SetNow(DateTime{2026, 12, 5, 10, 34, 0});
    channel_.BuildPrinterList();
    ASSERT_EQ(channel_.SelectPrinterByName("DOVQ"), 1);
    ASSERT_TRUE(channel_.spooler_transport());
    channel_.OpenStatusMonitor();
    ASSERT_GT(channel_.mpHandle(), 0);
  }

  void PrintReceipt(const std::string& line) {
    channel_.Generic_OpenPort();
    EXPECT_EQ(channel_.Generic_TrasmettiStringa_CRLF(line), printer::kSent);
    EXPECT_EQ(channel_.Generic_ClosePort(), printer::kSent);
  }

  testing::FakeEnv env_;
  RecordingOperator operator_;
  config::Settings settings_;
  testing::FakeSerialPort serial_{env_};
  CupsStatusMonitor monitor_{spooler_};
  printer::PrinterChannel channel_{env_, operator_, settings_, serial_, spooler_, monitor_};
};

TEST_F(CupsChannelTest, DocumentsAreNamedAndADeadPrinterIsNoResponse) {
  PrintReceipt("first");
  ASSERT_TRUE(CompletedJobs(1));
  EXPECT_FALSE(channel_.CheckNoResponse());
  std::string status_char;
  EXPECT_FALSE(channel_.Generic_CheckFineCartaTM88(&status_char));
  EXPECT_EQ(status_char, "a");

  printer_.Kill();
  PrintReceipt("second");
  // The job stays queued while CUPS' backend keeps trying to connect.
  EXPECT_TRUE(WaitFor([&] { return channel_.CheckNoResponse(); }, 10000)) << cupsd_->LogTail();
  const std::vector<Job> jobs = Jobs("DOVQ", CUPS_WHICHJOBS_ALL);
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].title, "DOVQ_20261205_1034_1");
  EXPECT_EQ(jobs[1].title, "DOVQ_20261205_1034_2");
  EXPECT_EQ(jobs[1].state, IPP_JSTATE_PROCESSING);
  EXPECT_EQ(Captured(), "first\r\n");

  // Kill Document: the stuck job goes, and with it the no-response state.
  channel_.AbandonDocument();
  EXPECT_TRUE(WaitFor([&] { return !channel_.CheckNoResponse(); }, 10000));
  EXPECT_TRUE(operator_.messages.empty());
}

TEST_F(CupsChannelTest, RemovedQueueCannotBeOpenedAndLinesFail) {
  ASSERT_EQ(cupsd_->RunTool("lpadmin", {"-x", "DOVQ"}).exit_code, 0);
  channel_.Generic_OpenPort();
  EXPECT_EQ(operator_.messages, std::vector<std::string>{"STAMPANTE NON RICONOSCIUTA"});
  EXPECT_EQ(channel_.Generic_TrasmettiStringa_NoCRLF("x"), printer::kWriteFailed);
  EXPECT_EQ(channel_.Generic_TrasmettiStringa_CRLF("line"), printer::kWriteFailed);
  EXPECT_EQ(channel_.lhPrinter(), 0);
  // Without its queue the status query fails, which the checks read as "no".
  EXPECT_FALSE(channel_.CheckNoResponse());
}

TEST_F(CupsSpoolerTest, StoppedQueueIsNoResponse) {
  CupsStatusMonitor monitor(spooler_);
  const std::int32_t h = monitor.Open("DOVQ");
  ASSERT_GT(h, 0);
  ASSERT_EQ(cupsd_->RunTool("cupsdisable", {"DOVQ"}).exit_code, 0);
  std::uint32_t status = 0;
  ASSERT_TRUE(monitor.GetStatus(h, &status));
  EXPECT_EQ(status, bits::kNoResponse);
  ASSERT_EQ(cupsd_->RunTool("cupsenable", {"DOVQ"}).exit_code, 0);
  ASSERT_TRUE(monitor.GetStatus(h, &status));
  EXPECT_EQ(status, 0u);
}

TEST_F(CupsSpoolerTest, MonitorAndSpoolerCarryOnAfterTheSchedulerRestarts) {
  CupsStatusMonitor monitor(spooler_);
  const std::int32_t h = monitor.Open("DOVQ");
  ASSERT_GT(h, 0);
  std::uint32_t status = 0xFFFFFFFF;
  ASSERT_TRUE(monitor.GetStatus(h, &status));
  std::string why;
  ASSERT_TRUE(cupsd_->Restart(&why)) << why;
  // The kept connection is dead now; the very next paper test must not be
  // lost to it (a failed query reads as "paper present").
  status = 0xFFFFFFFF;
  EXPECT_TRUE(monitor.GetStatus(h, &status));
  EXPECT_EQ(status, 0u);
  const std::int32_t doc = spooler_.OpenDocument("DOVQ", "DOVQ_20261205_1034_1");
  ASSERT_GT(doc, 0);
  EXPECT_TRUE(spooler_.Write(doc, "after restart\r\n"));
  spooler_.CloseDocument(doc);
  ASSERT_TRUE(CompletedJobs(1));
  ASSERT_TRUE(WaitFor([&] { return !Captured().empty(); }, 5000));
  EXPECT_EQ(Captured(), "after restart\r\n");
}

TEST_F(CupsSpoolerTest, DrawerPulseIsItsOwnRawJobAndDirectIoHasNoReply) {
  CupsStatusMonitor monitor(spooler_);
  const std::int32_t h = monitor.Open("DOVQ");
  ASSERT_GT(h, 0);
  monitor.OpenDrawer(h, 1, 1);
  ASSERT_TRUE(CompletedJobs(1));
  EXPECT_EQ(Jobs("DOVQ", CUPS_WHICHJOBS_ALL)[0].title, "DOVQ_DRAWER");
  ASSERT_TRUE(WaitFor([&] { return !Captured().empty(); }, 5000));
  EXPECT_EQ(Captured(), escpos::ButtonDrawerPulse());

  std::string reply = "stale";
  EXPECT_FALSE(monitor.DirectIO(h, "\x1D\x49\x44", 20, 5000, &reply));
  EXPECT_EQ(reply, "");
}

}  // namespace
}  // namespace dovevid::platform
