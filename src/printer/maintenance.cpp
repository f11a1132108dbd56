#include "printer/maintenance.h"

#include <cmath>

#include "base/text.h"
#include "printer/escpos.h"

namespace dovevid::printer {

namespace {

constexpr int kProbeTimeoutMs = 1000;

// Open, the lines, close: the calling order every channel user keeps.
void SendLines(PrinterChannel& channel, const std::vector<std::string>& lines) {
  channel.Generic_OpenPort();
  for (const std::string& line : lines) channel.Generic_TrasmettiStringa_CRLF(line);
  channel.Generic_ClosePort();
}

}  // namespace

void InitPrinter(PrinterChannel& channel) { SendLines(channel, {escpos::Initialize()}); }

void PaperFeed(PrinterChannel& channel) { SendLines(channel, {escpos::FeedUnits()}); }

void TestPaper(PrinterChannel& channel) {
  channel.Generic_OpenPort();
  std::string status;
  (void)channel.Generic_CheckFineCartaTM88(&status);
  channel.Generic_TrasmettiStringa_CRLF(escpos::FeedUnits());
  channel.Generic_ClosePort();
}

void OpenDrawer(PrinterChannel& channel) {
  if (channel.spooler_transport()) {
    channel.OpenDrawerThroughMonitor();
    return;
  }
  SendLines(channel, {escpos::ButtonDrawerPulse()});
}

std::vector<long long> ParseRawCodes(std::string_view text) {
  std::vector<long long> codes;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::string piece(text.substr(start, comma - start));
    codes.push_back(static_cast<long long>(RoundHalfEven(Val(piece))));
    if (comma == std::string_view::npos) return codes;
    start = comma + 1;
  }
}

void SendRawCodes(PrinterChannel& channel, std::string_view text) {
  if (text.empty()) return;
  if (channel.spooler_transport()) {
    channel.OpenDrawerThroughMonitor();
    return;
  }
  channel.Generic_OpenPort();
  for (long long code : ParseRawCodes(text)) {
    if (code < 0 || code > 255) continue;
    channel.Generic_TrasmettiStringa_NoCRLF(std::string(1, static_cast<char>(code)));
  }
  channel.Generic_TrasmettiStringa_CRLF(" ");
  channel.Generic_ClosePort();
}

void TestBarcode(PrinterChannel& channel) {
  // The second command repeats the symbology with 0x44 before the digits,
  // without NUL or count byte; sent as the button always sent it.
  SendLines(channel, {escpos::BarcodeHeight(80), escpos::BarcodeWidth(3), escpos::BarcodeHri(2),
                      escpos::BarcodePrintA(3, "80176336"), "\x1D\x6B\x03\x44" "80176336", "\n"});
}

std::string_view PrinterStateText(PrinterState state) {
  switch (state) {
    case PrinterState::kReady: return "ready";
    case PrinterState::kPaperEnd: return "paper end";
    case PrinterState::kOffline: return "offline";
    case PrinterState::kNoResponse: return "no response";
    case PrinterState::kPortUnusable: return "port unusable";
  }
  return "unknown";
}

PrinterProbe ProbePrinter(PrinterChannel& channel) {
  PrinterProbe probe;
  std::string paper;
  if (channel.spooler_transport()) {
    if (channel.CheckNoResponse()) {
      probe.state = PrinterState::kNoResponse;
    } else if (channel.Generic_CheckFineCartaTM88(&paper)) {
      probe.state = PrinterState::kPaperEnd;
    }
    return probe;
  }
  channel.Generic_OpenPort();
  if (!channel.open_status().ok()) {
    probe = {PrinterState::kPortUnusable, channel.open_status().description()};
  } else {
    // A patient query: the answer decides a status report, not a line.
    const std::string reply = channel.Generic_TrasmettiStringa_CRLF_Ricevi(
        escpos::StatusQuery(escpos::kPrinterStatus), 10, kProbeTimeoutMs, false);
    if (reply.empty()) {
      probe.state = PrinterState::kNoResponse;
    } else if (escpos::IsOffline(static_cast<std::uint8_t>(reply[0]))) {
      probe.state = PrinterState::kOffline;
    } else if (channel.Generic_CheckFineCartaTM88(&paper)) {
      probe.state = PrinterState::kPaperEnd;
    }
  }
  channel.Generic_ClosePort();
  return probe;
}

}  // namespace dovevid::printer
