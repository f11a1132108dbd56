// How a CUPS queue's state reads as the status word the channel tests.
#include <gtest/gtest.h>

#include "platform/cups_status.h"

namespace dovevid::platform {
namespace {

namespace bits = printer::status_bits;

TEST(CupsStatusWordTest, ReasonsStateAndMessage) {
  constexpr int kIdle = IPP_PSTATE_IDLE, kBusy = IPP_PSTATE_PROCESSING, kStopped = IPP_PSTATE_STOPPED;
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

}  // namespace
}  // namespace dovevid::platform
