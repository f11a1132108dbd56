#include "platform/cups_status.h"

#include <algorithm>
#include <cctype>

#include "printer/escpos.h"

namespace dovevid::platform {
namespace {

namespace bits = printer::status_bits;

// The reason without its severity suffix: "media-empty-error" -> "media-empty".
std::string_view ReasonBase(std::string_view reason) {
  for (std::string_view suffix : {"-error", "-warning", "-report"}) {
    if (reason.size() > suffix.size() && reason.ends_with(suffix)) {
      return reason.substr(0, reason.size() - suffix.size());
    }
  }
  return reason;
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

}  // namespace

bool IsUnreachableMessage(std::string_view message) {
  // Fragments of what CUPS' network backends report while they cannot
  // connect, in English and in CUPS' Italian catalogue (UTF-8).
  static constexpr std::string_view kFragments[] = {
      "may not exist",                // "The printer may not exist or is unavailable at this time."
      "unavailable",
      "not responding",               // "The printer is not responding."
      "unreachable",                  // "The printer is unreachable at this time."
      "unable to locate printer",     // host name does not resolve
      "not connected",                // "The printer is not connected."
      "unable to contact printer",
      "non risponde",                 // "La stampante non risponde."
      "non \xC3\xA8 raggiungibile",   // "In questo momento la stampante non è raggiungibile."
      "localizzare la stampante",     // "Non è possibile localizzare la stampante."
      "non \xC3\xA8 connessa",        // "La stampante non è connessa."
  };
  const std::string lower = AsciiLower(message);
  return std::any_of(std::begin(kFragments), std::end(kFragments),
                     [&](std::string_view f) { return lower.find(f) != std::string::npos; });
}

std::uint32_t CupsStatusWord(const CupsPrinterState& state) {
  std::uint32_t word = 0;
  for (const std::string& reason : state.reasons) {
    const std::string_view base = ReasonBase(reason);
    if (base == "media-empty" || base == "media-needed") word |= bits::kRollPaperEnd;
    if (base == "cover-open" || base == "door-open") word |= bits::kCoverOpen;
    if (base == "offline") word |= bits::kNoResponse;
  }
  if (state.state == IPP_PSTATE_STOPPED) word |= bits::kNoResponse;
  // Only while a job is under way: an idle queue may keep the last message
  // of a job that did reach the printer in the end.
  if (state.state == IPP_PSTATE_PROCESSING && IsUnreachableMessage(state.message)) {
    word |= bits::kNoResponse;
  }
  return word;
}

bool QueryPrinterState(http_t* http, const std::string& printer, CupsPrinterState* state) {
  static const char* const kRequested[] = {"printer-state", "printer-state-reasons",
                                           "printer-state-message"};
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               PrinterUri(printer).c_str());
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(kRequested)), nullptr, kRequested);
  ipp_t* response = cupsDoRequest(http, request, "/");
  const bool ok = response != nullptr && cupsLastError() <= IPP_STATUS_OK_CONFLICTING;
  if (ok) {
    *state = CupsPrinterState{};
    if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM)) {
      state->state = ippGetInteger(a, 0);
    }
    if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state-reasons", IPP_TAG_KEYWORD)) {
      for (int i = 0; i < ippGetCount(a); ++i) {
        if (const char* r = ippGetString(a, i, nullptr)) state->reasons.emplace_back(r);
      }
    }
    if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state-message", IPP_TAG_ZERO)) {
      if (const char* m = ippGetString(a, 0, nullptr)) state->message = m;
    }
  }
  ippDelete(response);
  return ok;
}

CupsStatusMonitor::CupsStatusMonitor(CupsSpooler& spooler) : spooler_(spooler) {}

http_t* CupsStatusMonitor::Connection() {
  if (!http_) http_ = ConnectToScheduler();
  return http_.get();
}

std::int32_t CupsStatusMonitor::Open(const std::string& printer) {
  http_t* http = Connection();
  CupsPrinterState state;
  if (printer.empty() || http == nullptr || !QueryPrinterState(http, printer, &state)) return -1;
  const std::int32_t handle = next_handle_++;
  printers_[handle] = printer;
  return handle;
}

bool CupsStatusMonitor::GetStatus(std::int32_t handle, std::uint32_t* status) {
  auto it = printers_.find(handle);
  if (it == printers_.end()) return false;
  http_t* http = Connection();
  CupsPrinterState state;
  if (http == nullptr || !QueryPrinterState(http, it->second, &state)) {
    http_.reset();  // the next query starts on a fresh connection
    return false;
  }
  *status = CupsStatusWord(state);
  return true;
}

void CupsStatusMonitor::OpenDrawer(std::int32_t handle, std::uint8_t drawer, std::uint8_t) {
  auto it = printers_.find(handle);
  if (it == printers_.end()) return;
  std::string pulse = escpos::ButtonDrawerPulse();  // ESC p m t1 t2
  if (drawer == 2) pulse[2] = 0x31;                  // connector pin 5
  const std::int32_t doc = spooler_.OpenDocument(it->second, it->second + "_DRAWER");
  if (doc <= 0) return;
  spooler_.Write(doc, pulse);
  spooler_.CloseDocument(doc);
}

bool CupsStatusMonitor::DirectIO(std::int32_t, std::string_view, std::size_t, int,
                                 std::string* reply) {
  reply->clear();
  return false;
}

void CupsStatusMonitor::Close(std::int32_t handle) {
  printers_.erase(handle);
  if (printers_.empty()) http_.reset();
}

}  // namespace dovevid::platform
