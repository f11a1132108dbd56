#include "fake_transports.h"

#include "printer/escpos.h"

namespace dovevid::testing {

namespace {
Status NotOpen() { return Status::Error(8018, "Operation valid only when the port is open"); }
}  // namespace

Status FakeSerialPort::Write(std::string_view bytes) {
  if (!open_) return NotOpen();
  if (!write_fault.ok()) return write_fault;
  if (!fail_marker.empty() && bytes.find(fail_marker) != std::string_view::npos) {
    return Status::Error(fault::kDeviceIo, "Device I/O error");
  }
  wire += bytes;
  const bool printer_query = bytes == escpos::StatusQuery(escpos::kPrinterStatus);
  const bool paper_query = bytes == escpos::StatusQuery(escpos::kRollPaperStatus);
  if (!printer_query && !paper_query) {
    printed += bytes;
    return Status::OK();
  }
  ++status_queries;
  char answer = 0;
  switch (state) {
    case State::kSilent: return Status::OK();
    case State::kReady: answer = 0x12; break;
    case State::kOffline: answer = printer_query ? 0x1A : 0x12; break;
    case State::kPaperEnd: answer = printer_query ? 0x1A : 0x72; break;
  }
  Inject(std::string(1, answer), env_.MonotonicMs() + reply_delay_ms);
  return Status::OK();
}

Status FakeSerialPort::Read(std::string* bytes) {
  if (!open_) return NotOpen();
  while (!pending_.empty() && pending_.front().at_ms <= env_.MonotonicMs()) {
    *bytes += pending_.front().bytes;
    pending_.pop_front();
  }
  return Status::OK();
}

bool FakeSerialPort::WaitReadable(int ms) {
  const std::int64_t deadline = env_.MonotonicMs() + ms;
  if (!pending_.empty() && pending_.front().at_ms <= deadline) {
    if (pending_.front().at_ms > env_.MonotonicMs()) env_.AdvanceMs(pending_.front().at_ms - env_.MonotonicMs());
    return true;
  }
  env_.SleepMs(ms);
  return false;
}

std::int32_t FakeSpooler::OpenDocument(const std::string& printer, const std::string& document_name) {
  bool known = false;
  for (const auto& p : printers) known = known || p.name == printer;
  if (!known) return 0;
  documents.push_back({printer, document_name, {}, false});
  return static_cast<std::int32_t>(documents.size());
}

std::unique_ptr<printer::PrinterPipe> FakeDirectPrinters::MakePipe(const printer::DirectUri& uri) {
  made.push_back(uri.kind == printer::TransportKind::kTcp
                     ? uri.host + ":" + std::to_string(uri.port)
                     : uri.path);
  return std::make_unique<FakeSerialPort>(env_);
}

}  // namespace dovevid::testing
