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

// The printer name of a list entry: what comes before the first comma.
std::string EntryPrinterName(const std::string& entry) {
  return Trim(std::string_view(entry).substr(0, entry.find(',')));
}

std::string FaultText(const Status& s) { return fmt::format("{} - {}", s.description(), s.number()); }

}  // namespace

PrinterChannel::PrinterChannel(Env& env, Operator& op, config::Settings& settings,
                               SerialPort& serial, Spooler& spooler, StatusMonitor& monitor)
    : env_(env), op_(op), settings_(settings), serial_(serial), spooler_(spooler), monitor_(monitor) {}

// --- Generic operations -------------------------------------------------------

void PrinterChannel::Generic_OpenPort() {
  if (spooler_transport_) {
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
    Qnbocx21_OpenPort();
  } else {
    open_status_ = Status::OK();
  }
}

void PrinterChannel::Qnbocx21_OpenPort() {
  // Errors are swallowed: the sends then fail.
  com_port_ = settings_.PrinterComPort();
  open_status_ = serial_.Configure(com_port_, settings_.SerialSettingsText());
  if (open_status_.ok() && !serial_.IsOpen()) open_status_ = serial_.Open();
}

std::int16_t PrinterChannel::Qnbocx21_ClosePort() {
  if (serial_.IsOpen() && !serial_.Close().ok()) return kWriteFailed;
  return kSent;
}

std::int16_t PrinterChannel::Generic_ClosePort() {
  // Both transports are closed: the transport may have been switched by a
  // list click while a send was waiting.
  const bool document_ok = lh_printer_ <= 0 || spooler_.CloseDocument(lh_printer_);
  lh_printer_ = 0;
  const std::int16_t serial_result = Qnbocx21_ClosePort();
  return document_ok ? serial_result : kWriteFailed;
}

std::int16_t PrinterChannel::Generic_TrasmettiStringa_CRLF(std::string_view text) {
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
      Attendi(env_, 1000);
      if (++pauses > pause_limit_) return kPaperEndGaveUp;  // the episode stays open
    }
    if (listener_) listener_->OnPaperEndEnd();
    paper_end_episode_ = false;
  } else if (paper_end_episode_) {
    if (listener_) listener_->OnPaperEndEnd();
    paper_end_episode_ = false;
  }

  std::string line(text);
  line += kCrLf;
  return Send(line, true);
}

std::int16_t PrinterChannel::Generic_TrasmettiStringa_NoCRLF(std::string_view bytes) {
  return Send(bytes, false);
}

std::int16_t PrinterChannel::Send(std::string_view bytes, bool line) {
  if (spooler_transport_) {
    return lh_printer_ > 0 && spooler_.Write(lh_printer_, bytes) ? kSent : kWriteFailed;
  }
  const Status s = serial_.Write(bytes);
  if (s.ok()) return kSent;
  // A line send tells the operator; a raw send leaves that to its caller.
  if (line) op_.ShowMessage(FaultText(s));
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

  if (spooler_transport_) {
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
  // A late answer to an earlier request must not pass for this one's.
  std::string stale;
  if (!serial_.Read(&stale).ok()) return reply;
  if (!serial_.Write(out).ok()) return reply;
  do {
    if (!serial_.Read(&reply).ok()) return reply;
    if (one_byte_reply && !reply.empty()) break;
    env_.PumpEvents();
    elapsed += step;
    if (one_byte_reply) {
      serial_.WaitReadable(step);
    } else {
      env_.SleepMs(step);
    }
  } while (keep_going());
  return reply;
}

bool PrinterChannel::Generic_CheckFineCartaTM88(std::string* status_char) {
  if (spooler_transport_) {
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
  const std::string reply = Generic_TrasmettiStringa_CRLF_Ricevi(
      escpos::StatusQuery(escpos::kPrinterStatus), 10, 50, false);
  return reply.empty() || escpos::IsOffline(static_cast<std::uint8_t>(reply[0]));
}

bool PrinterChannel::CheckNoResponse() {
  std::uint32_t status = 0;
  if (mp_handle_ <= 0 || !monitor_.GetStatus(mp_handle_, &status)) return false;
  return (status & status_bits::kNoResponse) != 0 &&
         (status & status_bits::kPrintCompleted) == 0;
}

// --- Serial port facility -----------------------------------------------------

bool PrinterChannel::PortTest(int port_number) {
  if (port_number < 1) {
    port_usable_ = false;
    return false;
  }
  // The port this channel holds open is evidently usable, and the test's
  // fixed settings must not replace the ones it prints with.
  if (serial_.IsOpen() && port_number == com_port_) {
    port_usable_ = true;
    return true;
  }
  port_usable_ = serial_.Configure(port_number, kPortTestSettings).ok();
  if (!port_usable_) op_.ShowMessage(fmt::format("Porta Com n.{} non disponibile", port_number));
  return port_usable_;
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

void PrinterChannel::ListPrinters_Click() {
  const int index = settings_.listPrinters;
  const auto& entries = settings_.printer_entries;
  if (index < 0 || index >= static_cast<int>(entries.size())) return;
  const std::string& entry = entries[static_cast<std::size_t>(index)];
  if (entry.starts_with(kSerialPrinterName)) {
    settings_.listPrinters = 0;
    default_printer_ = kSerialPrinterName;
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
  bool installed = false;
  for (const SpoolerPrinter& p : spooler_.ListPrinters()) {
    if (p.name == name) {
      installed = true;
      break;
    }
  }
  if (!installed) {
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
  default_printer_ = name;
  current_printer_ = name;
  spooler_selected_ = true;
  settings_.listPrinters = index;
  ListPrinters_Click();
  return index;
}

void PrinterChannel::UpdateTransport() {
  spooler_transport_ = settings_.listPrinters > 0 && spooler_selected_;
}

// --- Status monitor -----------------------------------------------------------

void PrinterChannel::OpenStatusMonitor() {
  if (!spooler_transport_ || mp_handle_ >= 1 || current_printer_.empty()) return;
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
