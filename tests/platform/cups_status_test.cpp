// How a CUPS queue's state reads as the status word the channel tests.
#include <gtest/gtest.h>

#include "platform/cups_status.h"

namespace dovevid::platform {
namespace {

namespace bits = printer::status_bits;

constexpr int kIdle = 3;
constexpr int kProcessing = 4;
constexpr int kStopped = 5;

std::uint32_t Word(int state, std::vector<std::string> reasons, std::string message = "") {
  return CupsStatusWord(CupsPrinterState{state, std::move(reasons), std::move(message)});
}

TEST(CupsStatusWordTest, PaperAndCoverReasonsWhateverTheirSeverity) {
  EXPECT_EQ(Word(kIdle, {"none"}), 0u);
  for (const char* r : {"media-empty", "media-empty-error", "media-empty-warning",
                        "media-needed-report", "media-needed"}) {
    EXPECT_EQ(Word(kIdle, {r}), bits::kRollPaperEnd) << r;
  }
  EXPECT_EQ(Word(kIdle, {"media-low-warning"}), 0u) << "near end is not paper end";
  EXPECT_EQ(Word(kIdle, {"cover-open-error"}), bits::kCoverOpen);
  EXPECT_EQ(Word(kProcessing, {"media-empty-error", "cover-open"}),
            bits::kRollPaperEnd | bits::kCoverOpen);
  // A reason that merely starts like one of ours is not it.
  EXPECT_EQ(Word(kIdle, {"media-emptying", "cover-opened"}), 0u);
}

TEST(CupsStatusWordTest, OfflineAndStoppedAreNoResponseWithoutPrintCompleted) {
  EXPECT_EQ(Word(kIdle, {"offline-report"}), bits::kNoResponse);
  EXPECT_EQ(Word(kStopped, {"paused"}), bits::kNoResponse);
  EXPECT_EQ(Word(kStopped, {"media-empty-error"}), bits::kNoResponse | bits::kRollPaperEnd);
  EXPECT_EQ(Word(kProcessing, {"none"}, "Sending data to printer."), 0u);
}

TEST(CupsStatusWordTest, UnreachableDeviceOnlyCountsWhileAJobIsUnderWay) {
  const std::string socket_backend = "The printer may not exist or is unavailable at this time.";
  EXPECT_EQ(Word(kProcessing, {"none"}, socket_backend), bits::kNoResponse);
  EXPECT_EQ(Word(kIdle, {"none"}, socket_backend), 0u) << "left over from a finished job";
  EXPECT_EQ(Word(kProcessing, {}, "The printer is not responding."), bits::kNoResponse);
  EXPECT_EQ(Word(kProcessing, {}, "THE PRINTER IS UNREACHABLE AT THIS TIME."), bits::kNoResponse);
  EXPECT_EQ(Word(kProcessing, {}, "La stampante non risponde."), bits::kNoResponse);
  EXPECT_EQ(Word(kProcessing, {}, "In questo momento la stampante non \xC3\xA8 raggiungibile."),
            bits::kNoResponse);
  EXPECT_EQ(Word(kProcessing, {}, "Connected to printer."), 0u);
  EXPECT_EQ(Word(kProcessing, {}, ""), 0u);
}

}  // namespace
}  // namespace dovevid::platform
