#include "printer/channel.h"

#include <fmt/format.h>

#include <algorithm>

#include "base/text.h"
#include "printer/escpos.h"

namespace dovevid::printer {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kPortTestSettings = "9600,N,8,1";
constexpr std::size_t kSpoolerReadBytes = 16;
// Waits up to half of it for a first byte.
constexpr int kPatientQueryMs = 1000;

// The printer name of a list entry: what comes before the first comma.
std::string EntryPrinterName(const std::string& entry) {
  return Trim(std::string_view(entry).substr(0, entry.find(',')));
}

std::string FaultText(const Status& s) { return fmt::format("{} - {}", s.description(), s.number()); }

// How often, and how long in a row, the wait for a spooler document looks at
// it before a stuck document is given up: a printer that reports itself
// unreachable for a moment while its job starts is not given up on.
constexpr int kProgressPollMs = 200;
constexpr int kStuckGraceMs = 1000;

class NoDirectPrinters : public DirectPrinters {
 public:
  std::vector<DirectPrinter> List() override { return {}; }
  std::unique_ptr<PrinterPipe> MakePipe(const DirectUri&) override { return nullptr; }
};
NoDirectPrinters g_no_direct_printers;

}  // namespace

PrinterChannel::PrinterChannel(Env& env, Operator& op, config::Settings& settings,
                               SerialPort& serial, Spooler& spooler, StatusMonitor& monitor,
                               DirectPrinters& direct)
    : env_(env),
      op_(op),
      settings_(settings),
      serial_(serial),
      spooler_(spooler),
      monitor_(monitor),
      direct_(direct) {}

PrinterChannel::PrinterChannel(Env& env, Operator& op, config::Settings& settings,
                               SerialPort& serial, Spooler& spooler, StatusMonitor& monitor)
    : PrinterChannel(env, op, settings, serial, spooler, monitor, g_no_direct_printers) {}

PrinterChannel::~PrinterChannel() = default;

// --- Generic operations -------------------------------------------------------

void PrinterChannel::Generic_OpenPort() {
  last_fault_told_.clear();
  unanswered_queries_ = 0;
  last_reply_ms_ = env_.MonotonicMs();
  if (transport_ == TransportKind::kTcp || transport_ == TransportKind::kDevice) {
    // Errors are swallowed as on the serial port: the printer then does not
    // answer the readiness query.
    if (!direct_pipe_) {
      open_status_ = Status::Error(fault::kDeviceIo, "no direct printer is selected");
    } else if (!direct_pipe_->IsOpen()) {
      open_status_ = direct_pipe_->Open();
    } else {
      open_status_ = Status::OK();
    }
    return;
  }
  if (spooler_transport()) {
    // A document still open (an open without its close) is ended first, so
    // the spooler is never left with a document nobody closes.
    if (lh_printer_ > 0) spooler_.CloseDocument(lh_printer_);
    const DateTime now = env_.Now();
    const std::string name =
        fmt::format("{}_{:04}{:02}{:02}_{:02}{:02}_{}", current_printer_, now.year, now.month,
                    now.day, now.hour, now.minute, current_num_doc_ + 1);
    const std::int32_t handle = spooler_.OpenDocument(current_printer_, name);
    if (handle <= 0) {
      lh_printer_ = 0;
      open_status_ = Status::Error(fault::kDeviceIo, current_printer_ + ": STAMPANTE NON RICONOSCIUTA");
      op_.ShowMessage("STAMPANTE NON RICONOSCIUTA");
      return;
    }
    lh_printer_ = handle;
    open_status_ = Status::OK();
    ++current_num_doc_;
    return;
  }
  if (!serial_.IsOpen()) {
    OpenSerialPort();
  } else {
    open_status_ = Status::OK();
  }
}

void PrinterChannel::OpenSerialPort() {
  // Errors are swallowed: the sends then fail.
  com_port_ = settings_.PrinterComPort();
  open_status_ = serial_.Configure(com_port_, settings_.SerialSettingsText());
  if (open_status_.ok() && !serial_.IsOpen()) open_status_ = serial_.Open();
}

SendResult PrinterChannel::CloseSerialPort() {
  if (serial_.IsOpen() && !serial_.Close().ok()) return kWriteFailed;
  return kSent;
}

SendResult PrinterChannel::Generic_ClosePort() {
  // Every transport is closed: the transport may have been switched by a
  // list click while a send was waiting.
  const SendResult document_result = CloseSpoolerDocument();
  const bool direct_ok = !direct_pipe_ || direct_pipe_->Close().ok();
  const SendResult serial_result = CloseSerialPort();
  return document_result == kSent && direct_ok ? serial_result : kWriteFailed;
}

SendResult PrinterChannel::CloseSpoolerDocument() {
  if (lh_printer_ <= 0) return kSent;
  const std::int32_t handle = lh_printer_;
  lh_printer_ = 0;  // the wait below lets events in: nobody closes it twice
  if (!spooler_.CloseDocument(handle)) return kWriteFailed;
  return AwaitPrinted(handle) ? kSent : kWriteFailed;
}

bool PrinterChannel::AwaitPrinted(std::int32_t handle) {
  int stuck_ms = 0;
  for (int waited = 0;; waited += kProgressPollMs) {
    switch (spooler_.Progress(handle)) {
      case DocumentProgress::kPrinted: return true;
      case DocumentProgress::kLost: return false;
      case DocumentProgress::kStuck: stuck_ms += kProgressPollMs; break;
      case DocumentProgress::kUnderWay: stuck_ms = 0; break;
    }
    if (stuck_ms > kStuckGraceMs || waited >= completion_timeout_ms_) {
      spooler_.Cancel(handle);
      return false;
    }
    Attendi(env_, kProgressPollMs);
  }
}

SendResult PrinterChannel::Generic_TrasmettiStringa_CRLF(std::string_view text) {
  std::string status;
  if (Generic_CheckFineCartaTM88(&status)) {
    if (!paper_end_episode_) {
      if (listener_) listener_->OnPaperEndBegin();
      paper_end_episode_ = true;
    }
    int pauses = 0;
    for (;;) {
      const bool end = Generic_CheckFineCartaTM88(&status);
      if (!end && !status.empty()) break;
      // Nothing brings the paper back over a link that is gone.
      if (PipeLost()) return kWriteFailed;
      Attendi(env_, 1000);
      if (++pauses > pause_limit_) return kPaperEndGaveUp;  // the episode stays open
    }
    if (listener_) listener_->OnPaperEndEnd();
    paper_end_episode_ = false;
  } else if (paper_end_episode_) {
    if (listener_) listener_->OnPaperEndEnd();
    paper_end_episode_ = false;
  }
  // One unanswered query is a slow printer; several in a row over seconds, a
  // silent one.
  if (status.empty()) {
    ++unanswered_queries_;
  } else {
    unanswered_queries_ = 0;
    last_reply_ms_ = env_.MonotonicMs();
  }
  if (unanswered_queries_ >= kMaxUnansweredQueries &&
      env_.MonotonicMs() - last_reply_ms_ >= kSilentAfterMs) {
    return kNoAnswer;
  }

  std::string line(text);
  line += kCrLf;
  return Send(line, true);
}

SendResult PrinterChannel::Generic_TrasmettiStringa_NoCRLF(std::string_view bytes) {
  return Send(bytes, false);
}

PrinterPipe* PrinterChannel::Pipe() {
  return transport_ == TransportKind::kSerial ? &serial_ : direct_pipe_.get();
}

bool PrinterChannel::PipeLost() {
  if (spooler_transport()) return false;
  const PrinterPipe* pipe = Pipe();
  return pipe == nullptr || !pipe->IsOpen();
}

SendResult PrinterChannel::Send(std::string_view bytes, bool line) {
  if (spooler_transport()) {
    return lh_printer_ > 0 && spooler_.Write(lh_printer_, bytes) ? kSent : kWriteFailed;
  }
  PrinterPipe* pipe = Pipe();
  const Status s = pipe != nullptr ? pipe->Write(bytes)
                                   : Status::Error(fault::kInvalidPortNumber, "No printer pipe");
  if (s.ok()) return kSent;
  // A line send tells the operator; a raw send leaves that to its caller.
  // The rest of a receipt on a lost link fails alike: told once.
  if (line && FaultText(s) != last_fault_told_) {
    last_fault_told_ = FaultText(s);
    op_.ShowMessage(last_fault_told_);
  }
  return kWriteFailed;
}

std::string PrinterChannel::Generic_TrasmettiStringa_CRLF_Ricevi(std::string_view text,
                                                                 int poll_ms, int timeout_ms,
                                                                 bool add_crlf) {
  std::string reply;
  std::string out(text);
  if (add_crlf) out += kCrLf;
  const int step = std::max(poll_ms, 1);  // a zero step would never reach the timeout
  std::int64_t elapsed = 0;
  auto keep_going = [&] {
    return elapsed <= timeout_ms && (!reply.empty() || 2 * elapsed <= timeout_ms);
  };

  if (spooler_transport()) {
    if (lh_printer_ <= 0 || !spooler_.Write(lh_printer_, out)) return reply;
    do {
      reply = spooler_.Read(lh_printer_, kSpoolerReadBytes);
      env_.PumpEvents();
      elapsed += step;
      env_.SleepMs(step);
      if (!reply.empty()) break;
    } while (keep_going());
    return reply;
  }

  // The two status queries are answered with exactly one byte: waiting on
  // after it has come only delays every line.
  const bool one_byte_reply = out == escpos::StatusQuery(escpos::kPrinterStatus) ||
                              out == escpos::StatusQuery(escpos::kRollPaperStatus);
  PrinterPipe* pipe = Pipe();
  if (pipe == nullptr) return reply;
  // A late answer to an earlier request must not pass for this one's.
  std::string stale;
  if (!pipe->Read(&stale).ok()) return reply;
  // A late answer is no answer to this request, but the printer is alive:
  // behind a slow line every answer may come late.
  if (!stale.empty()) last_reply_ms_ = env_.MonotonicMs();
  if (!pipe->Write(out).ok()) return reply;
  do {
    if (!pipe->Read(&reply).ok()) return reply;
    if (one_byte_reply && !reply.empty()) break;
    env_.PumpEvents();
    elapsed += step;
    if (one_byte_reply) {
      pipe->WaitReadable(step);
    } else {
      env_.SleepMs(step);
    }
  } while (keep_going());
  return reply;
}

bool PrinterChannel::Generic_CheckFineCartaTM88(std::string* status_char) {
  if (spooler_transport()) {
    *status_char = "a";
    std::uint32_t status = 0;
    if (mp_handle_ <= 0 || !monitor_.GetStatus(mp_handle_, &status)) return false;
    return (status & (status_bits::kCoverOpen | status_bits::kRollPaperEnd)) != 0;
  }
  return VerificaFineCarta(status_char);
}

bool PrinterChannel::VerificaFineCarta(std::string* status_char) {
  const std::string reply = Generic_TrasmettiStringa_CRLF_Ricevi(
      escpos::StatusQuery(escpos::kRollPaperStatus), 10, 50, false);
  if (reply.empty()) {
    status_char->clear();
    return false;
  }
  *status_char = reply.substr(0, 1);
  return escpos::IsPaperEnd(static_cast<std::uint8_t>(reply[0]));
}

// --- Readiness ----------------------------------------------------------------

bool PrinterChannel::VerificaStatoStampante() {
  std::string reply = Generic_TrasmettiStringa_CRLF_Ricevi(
      escpos::StatusQuery(escpos::kPrinterStatus), 10, 50, false);
  // One more, patient, query before a receipt is refused as not ready: a
  // reply held up by a slow line or a busy machine is not a dead printer.
  if (reply.empty()) {
    reply = Generic_TrasmettiStringa_CRLF_Ricevi(escpos::StatusQuery(escpos::kPrinterStatus), 10,
                                                 kPatientQueryMs, false);
  }
  return reply.empty() || escpos::IsOffline(static_cast<std::uint8_t>(reply[0]));
}

bool PrinterChannel::CheckNoResponse() {
  std::uint32_t status = 0;
  if (mp_handle_ <= 0 || !monitor_.GetStatus(mp_handle_, &status)) return false;
  return (status & status_bits::kNoResponse) != 0 &&
         (status & status_bits::kPrintCompleted) == 0;
}

// --- Serial port facility -----------------------------------------------------

bool PrinterChannel::PortTest(int port_number, bool quiet) {
  if (port_number < 1) {
    port_usable_ = false;
    port_test_status_ = Status::Error(fault::kInvalidPortNumber, "no COM port is configured");
    return false;
  }
  // The port this channel holds open is evidently usable, and the test's
  // fixed settings must not replace the ones it prints with.
  if (serial_.IsOpen() && port_number == com_port_) {
    port_usable_ = true;
    port_test_status_ = Status::OK();
    return true;
  }
  port_test_status_ = serial_.Configure(port_number, kPortTestSettings);
  port_usable_ = port_test_status_.ok();
  if (!port_usable_ && !quiet) {
    op_.ShowMessage(fmt::format("Porta Com n.{} non disponibile", port_number));
  }
  return port_usable_;
}

bool PrinterChannel::TestPrinterPort(bool quiet) {
  UpdateTransport();
  if (transport_ == TransportKind::kTcp || transport_ == TransportKind::kDevice) {
    port_usable_ = direct_pipe_ != nullptr;
    return port_usable_;
  }
  return PortTest(settings_.PrinterComPort(), quiet);
}

// --- Printer list and transport -----------------------------------------------

void PrinterChannel::BuildPrinterList() {
  const std::string selected = settings_.SelectedPrinterName();
  auto& entries = settings_.printer_entries;
  entries.clear();
  entries.push_back(fmt::format("{} , COM{}", kSerialPrinterName, settings_.PrinterComPort()));
  for (const SpoolerPrinter& p : spooler_.ListPrinters()) {
    entries.push_back(p.name + " ,  " + p.description);
  }
  // A direct printer named like an entry before it could never be chosen.
  listed_direct_.clear();
  for (const DirectPrinter& d : direct_.List()) {
    const bool taken = std::any_of(entries.begin(), entries.end(), [&](const std::string& e) {
      return EntryPrinterName(e) == d.name;
    });
    if (taken || !ParseDirectUri(d.uri)) continue;
    entries.push_back(d.name + " ,  " + d.uri);
    listed_direct_.push_back(d);
  }
  // Reloading the list must not silently move printing to another printer.
  settings_.listPrinters = config::kNone;
  if (selected.empty()) return;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (EntryPrinterName(entries[i]) == selected) {
      settings_.listPrinters = static_cast<int>(i);
      return;
    }
  }
}

std::vector<PrinterListItem> PrinterChannel::PrinterListItems() const {
  std::vector<PrinterListItem> items;
  const auto& entries = settings_.printer_entries;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    PrinterListItem item{EntryPrinterName(entries[i]), TransportKind::kSpooler, ""};
    const auto direct = std::find_if(listed_direct_.begin(), listed_direct_.end(),
                                     [&](const DirectPrinter& d) { return d.name == item.name; });
    if (i == 0) {
      item.transport = TransportKind::kSerial;
      item.uri = serial_.DeviceName(settings_.PrinterComPort());
    } else if (direct != listed_direct_.end()) {
      item.transport = ParseDirectUri(direct->uri)->kind;
      item.uri = direct->uri;
    } else if (const std::size_t comma = entries[i].find(','); comma != std::string::npos) {
      item.uri = Trim(std::string_view(entries[i]).substr(comma + 1));
    }
    items.push_back(std::move(item));
  }
  return items;
}

const DirectPrinter* PrinterChannel::SelectedDirectPrinter() const {
  if (settings_.listPrinters <= 0) return nullptr;
  const std::string name = settings_.SelectedPrinterName();
  for (const DirectPrinter& d : listed_direct_) {
    if (d.name == name) return &d;
  }
  return nullptr;
}

void PrinterChannel::SelectListedPrinter() {
  const int index = settings_.listPrinters;
  const auto& entries = settings_.printer_entries;
  if (index < 0 || index >= static_cast<int>(entries.size())) return;
  const std::string& entry = entries[static_cast<std::size_t>(index)];
  if (entry.starts_with(kSerialPrinterName)) {
    settings_.listPrinters = 0;
    default_printer_ = kSerialPrinterName;
  } else if (const DirectPrinter* direct = SelectedDirectPrinter()) {
    default_printer_ = direct->name;
  } else {
    const std::string name = EntryPrinterName(entry);
    for (const SpoolerPrinter& p : spooler_.ListPrinters()) {
      if (p.name != name) continue;
      current_printer_ = p.name;
      default_printer_ = p.name;
      spooler_selected_ = true;
      break;
    }
  }
  UpdateTransport();
}

int PrinterChannel::SelectPrinterByName(const std::string& name) {
  if (name == kSerialPrinterName) return 0;
  const auto named = [&](const auto& printer) { return printer.name == name; };
  const bool direct = std::any_of(listed_direct_.begin(), listed_direct_.end(), named);
  const std::vector<SpoolerPrinter> installed = direct ? std::vector<SpoolerPrinter>{}
                                                       : spooler_.ListPrinters();
  if (!direct && std::none_of(installed.begin(), installed.end(), named)) {
    settings_.listPrinters = config::kNone;
    return 0;
  }
  int index = 0;
  const auto& entries = settings_.printer_entries;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (EntryPrinterName(entries[i]) == name) {
      index = static_cast<int>(i);
      break;
    }
  }
  if (!direct) {
    default_printer_ = name;
    current_printer_ = name;
    spooler_selected_ = true;
  }
  settings_.listPrinters = index;
  SelectListedPrinter();
  return index;
}

void PrinterChannel::UpdateTransport() {
  const DirectPrinter* direct = SelectedDirectPrinter();
  if (direct == nullptr) {
    transport_ = settings_.listPrinters > 0 && spooler_selected_ ? TransportKind::kSpooler
                                                                 : TransportKind::kSerial;
    return;
  }
  const DirectUri uri = *ParseDirectUri(direct->uri);
  transport_ = uri.kind;
  if (direct_pipe_ && direct_pipe_uri_ == direct->uri) return;
  // Another direct printer: what was open on the previous one ends here.
  if (direct_pipe_) (void)direct_pipe_->Close();
  direct_pipe_ = direct_.MakePipe(uri);
  direct_pipe_uri_ = direct->uri;
}

// --- Status monitor -----------------------------------------------------------

void PrinterChannel::OpenStatusMonitor() {
  if (!spooler_transport() || mp_handle_ >= 1 || current_printer_.empty()) return;
  mp_handle_ = monitor_.Open(current_printer_);
}

void PrinterChannel::CloseStatusMonitor() {
  if (mp_handle_ > 0) monitor_.Close(mp_handle_);
  mp_handle_ = 0;
}

void PrinterChannel::OpenDrawerThroughMonitor() {
  if (mp_handle_ > 0) monitor_.OpenDrawer(mp_handle_, 1, 1);
}

bool PrinterChannel::DirectIO(std::string_view request, std::size_t max_reply, int timeout_ms,
                              std::string* reply) {
  reply->clear();
  if (mp_handle_ <= 0) return false;
  return monitor_.DirectIO(mp_handle_, request, max_reply, timeout_ms, reply);
}

void PrinterChannel::AbandonDocument() {
  if (!current_printer_.empty()) spooler_.AbandonDocument(current_printer_);
}

}  // namespace dovevid::printer
