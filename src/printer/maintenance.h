// The maintenance and test commands of the printer: plain functions over the
// printer channel, so the window's buttons and the command line run the same
// code. Each one opens the channel, sends and closes it; errors are skipped,
// as a technician pressing a button expects the rest to go on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "printer/channel.h"

namespace dovevid::printer {

// ESC @ as a line.
void InitPrinter(PrinterChannel& channel);
// ESC J '1' as a line.
void PaperFeed(PrinterChannel& channel);
// The paper check (its answer unused), then a feed.
void TestPaper(PrinterChannel& channel);
// Spooler printer: through its status monitor. Serial: the drawer pulse.
void OpenDrawer(PrinterChannel& channel);
// "27,64" as the codes 27 and 64: each piece read as a leading decimal
// number (blanks skipped, 0 when there is none) and rounded.
std::vector<long long> ParseRawCodes(std::string_view text);
// Spooler printer: opens the drawer instead. Serial: each code from 0 to 255
// as one byte (others are skipped), then " " as a line.
void SendRawCodes(PrinterChannel& channel, std::string_view text);
// Two barcodes of "80176336" and a line feed.
void TestBarcode(PrinterChannel& channel);

// The printer's state, as a status display names it.
enum class PrinterState { kReady, kPaperEnd, kOffline, kNoResponse, kPortUnusable };
std::string_view PrinterStateText(PrinterState state);

struct PrinterProbe {
  PrinterState state = PrinterState::kReady;
  // Why the port is unusable (the system's text), when it is.
  std::string reason;
};
// Asks the printer now: serial, by the real-time status queries on the
// opened port; spooler, through the status monitor. Never waits for paper.
PrinterProbe ProbePrinter(PrinterChannel& channel);

}  // namespace dovevid::printer
