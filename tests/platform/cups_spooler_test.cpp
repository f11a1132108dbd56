// The spooler transport and status monitor on CUPS: how a queue's state
// reads as the status word the channel tests, then both against a private
// scheduler with a raw queue whose device is the virtual printer on TCP.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cups_harness.h"
#include "platform/cups_spooler.h"
#include "platform/cups_status.h"
#include "printer/escpos.h"
#include "vprinter_fixture.h"

namespace dovevid::platform {
namespace {

using testing::WaitFor;

namespace bits = printer::status_bits;

TEST(CupsStatusWordTest, ReasonsStateAndMessage) {
  constexpr int kIdle = IPP_PSTATE_IDLE, kBusy = IPP_PSTATE_PROCESSING,
                kStopped = IPP_PSTATE_STOPPED;
  const std::string kUnreachable = "The printer may not exist or is unavailable at this time.";
  const struct {
    int state;
    std::vector<std::string> reasons;
    std::string message;
    std::uint32_t word;
  } cases[] = {
      {kIdle, {"none"}, "", 0},
      // Paper and cover reasons whatever their severity; near end is no end.
      {kIdle, {"media-empty"}, "", bits::kRollPaperEnd},
      {kIdle, {"media-empty-warning"}, "", bits::kRollPaperEnd},
      {kIdle, {"media-needed-report"}, "", bits::kRollPaperEnd},
      {kIdle, {"media-low-warning"}, "", 0},
      {kBusy, {"media-empty-error", "cover-open"}, "", bits::kRollPaperEnd | bits::kCoverOpen},
      {kIdle, {"media-emptying", "cover-opened"}, "", 0},  // only look alike
      // Off line or stopped: no response.
      {kIdle, {"offline-report"}, "", bits::kNoResponse},
      {kStopped, {"paused"}, "", bits::kNoResponse},
      {kStopped, {"media-empty-error"}, "", bits::kNoResponse | bits::kRollPaperEnd},
      // An unreachable device counts only while a job is under way.
      {kBusy, {"none"}, kUnreachable, bits::kNoResponse},
      {kIdle, {"none"}, kUnreachable, 0},
      {kBusy, {}, "THE PRINTER IS UNREACHABLE AT THIS TIME.", bits::kNoResponse},
      {kBusy, {}, "La stampante non risponde.", bits::kNoResponse},
      {kBusy, {}, "In questo momento la stampante non \xC3\xA8 raggiungibile.", bits::kNoResponse},
      {kBusy, {"none"}, "Sending data to printer.", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CupsStatusWord(CupsPrinterState{c.state, c.reasons, c.message}), c.word)
        << c.state << " " << (c.reasons.empty() ? "" : c.reasons[0]) << " " << c.message;
  }
}

std::vector<std::string> Titles(int which) {
  cups_job_t* jobs = nullptr;
  const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, "DOVQ", 0, which);
  std::vector<std::string> titles;
  for (int i = 0; i < n; ++i) titles.emplace_back(jobs[i].title);
  cupsFreeJobs(n, jobs);
  return titles;
}

class CupsSpoolerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A client whose locale is not English, as on a cash desk: what the
    // backend reports about our jobs must still be recognised.
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    DOVEVID_START_PRIVATE_CUPSD(cupsd_);
    std::string why;
    ASSERT_TRUE(printer_.Start(cupsd_->dir(), &why, testing::VirtualPrinter::Mode::kTcp)) << why;
    ASSERT_TRUE(cupsd_->AddRawQueue("DOVQ", printer_.port(), &why)) << why;
  }

  bool CompletedJobs(std::size_t n) {
    return WaitFor([&] { return Titles(CUPS_WHICHJOBS_COMPLETED).size() >= n; }, 10000);
  }

  std::unique_ptr<testing::PrivateCupsd> cupsd_;
  testing::VirtualPrinter printer_;
  CupsSpooler spooler_;
  CupsStatusMonitor monitor_{spooler_};
};

TEST_F(CupsSpoolerTest, EachDocumentIsOneJobWithTheBytesAsWrittenUntilTheQueueGoes) {
  std::string all_bytes;
  for (int b = 0; b < 256; ++b) all_bytes.push_back(static_cast<char>(b));
  const std::int32_t doc1 = spooler_.OpenDocument("DOVQ", "DOVQ_20261205_1034_1");
  ASSERT_GT(doc1, 0);
  EXPECT_TRUE(spooler_.Write(doc1, "A\r\n"));
  EXPECT_TRUE(spooler_.Write(doc1, ""));  // must not end the document early
  EXPECT_TRUE(spooler_.Write(doc1, all_bytes));
  EXPECT_TRUE(spooler_.CloseDocument(doc1));
  ASSERT_TRUE(CompletedJobs(1)) << cupsd_->LogTail();
  const std::int32_t doc2 = spooler_.OpenDocument("DOVQ", "DOVQ_20261205_1034_2");
  EXPECT_TRUE(spooler_.Write(doc2, "B\r\n"));
  EXPECT_TRUE(spooler_.CloseDocument(doc2));
  ASSERT_TRUE(CompletedJobs(2)) << cupsd_->LogTail();
  // The drawer pulse goes as a raw job of its own.
  const std::int32_t h = monitor_.Open("DOVQ");
  ASSERT_GT(h, 0);
  monitor_.OpenDrawer(h, 1, 1);
  ASSERT_TRUE(CompletedJobs(3)) << cupsd_->LogTail();

  EXPECT_EQ(
      Titles(CUPS_WHICHJOBS_ALL),
      (std::vector<std::string>{"DOVQ_20261205_1034_1", "DOVQ_20261205_1034_2", "DOVQ_DRAWER"}));
  const std::string expected = "A\r\n" + all_bytes + "B\r\n" + escpos::ButtonDrawerPulse();
  ASSERT_TRUE(printer_.WaitForCapture(expected.size(), 5000));
  EXPECT_EQ(printer_.Capture(), expected);

  ASSERT_EQ(cupsd_->RunTool("lpadmin", {"-x", "DOVQ"}).exit_code, 0);
  EXPECT_EQ(spooler_.OpenDocument("DOVQ", "DOVQ_20261205_1034_3"), 0);
  EXPECT_FALSE(spooler_.Write(0, "x"));
  EXPECT_LE(monitor_.Open("DOVQ"), 0);
}

TEST_F(CupsSpoolerTest, CarriesOnAfterARestartAndAStoppedPrinterIsNoResponseTillAbandoned) {
  const std::int32_t h = monitor_.Open("DOVQ");
  std::uint32_t status = 0xFFFFFFFF;
  ASSERT_TRUE(monitor_.GetStatus(h, &status));
  std::string why;
  ASSERT_TRUE(cupsd_->Restart(&why)) << why;
  // The kept connection is dead now; the very next paper test must not be
  // lost to it (a failed query reads as "paper present").
  status = 0xFFFFFFFF;
  EXPECT_TRUE(monitor_.GetStatus(h, &status));
  EXPECT_EQ(status, 0u);
  std::int32_t doc = spooler_.OpenDocument("DOVQ", "DOVQ_20261205_1034_1");
  EXPECT_TRUE(spooler_.Write(doc, "after restart\r\n"));
  EXPECT_TRUE(spooler_.CloseDocument(doc));
  ASSERT_TRUE(printer_.WaitForCapture(15, 10000)) << cupsd_->LogTail();
  EXPECT_EQ(printer_.Capture(), "after restart\r\n");

  printer_.Stop();
  doc = spooler_.OpenDocument("DOVQ", "DOVQ_20261205_1034_2");
  EXPECT_TRUE(spooler_.Write(doc, "lost?\r\n"));
  EXPECT_TRUE(spooler_.CloseDocument(doc));
  // The job stays queued while CUPS' backend keeps trying to connect.
  const auto no_response = [&] {
    return monitor_.GetStatus(h, &status) && (status & bits::kNoResponse) != 0;
  };
  EXPECT_TRUE(WaitFor(no_response, 10000)) << cupsd_->LogTail();
  EXPECT_EQ(Titles(CUPS_WHICHJOBS_ACTIVE), std::vector<std::string>{"DOVQ_20261205_1034_2"});
  // Kill Document: the stuck job goes, and with it the no-response state.
  spooler_.AbandonDocument("DOVQ");
  EXPECT_TRUE(WaitFor([&] { return !no_response(); }, 10000));
}

}  // namespace
}  // namespace dovevid::platform
