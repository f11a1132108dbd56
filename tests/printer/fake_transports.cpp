#include "fake_transports.h"

#include "printer/escpos.h"

namespace dovevid::testing {

Status FakeSerialPort::Write(std::string_view bytes) {
  if (!open_) return Status::Error(8018, "Operation valid only when the port is open");
  if (!write_fault.ok()) return write_fault;
  if (!fail_marker.empty() && bytes.find(fail_marker) != std::string_view::npos) {
    return Status::Error(fault::kDeviceIo, "Device I/O error");
  }
  wire += bytes;
  const bool printer_query = bytes == escpos::StatusQuery(escpos::kPrinterStatus);
  if (!printer_query && bytes != escpos::StatusQuery(escpos::kRollPaperStatus)) {
    printed += bytes;
  } else if (state != State::kSilent) {
    const char answer = printer_query ? (state == State::kReady ? 0x12 : 0x1A)
                                      : (state == State::kPaperEnd ? 0x72 : 0x12);
    Inject(std::string(1, answer), env_.MonotonicMs() + reply_delay_ms);
  }
  return Status::OK();
}

Status FakeSerialPort::Read(std::string* bytes) {
  if (!open_) return Status::Error(8018, "Operation valid only when the port is open");
  while (!pending_.empty() && pending_.front().first <= env_.MonotonicMs()) {
    *bytes += pending_.front().second;
    pending_.pop_front();
  }
  return Status::OK();
}

bool FakeSerialPort::WaitReadable(int ms) {
  if (!pending_.empty() && pending_.front().first <= env_.MonotonicMs() + ms) {
    const std::int64_t wait = pending_.front().first - env_.MonotonicMs();
    if (wait > 0) env_.AdvanceMs(wait);
    return true;
  }
  env_.SleepMs(ms);
  return false;
}

std::int32_t FakeSpooler::OpenDocument(const std::string& printer, const std::string& name) {
  bool known = false;
  for (const auto& p : printers) known = known || p.name == printer;
  if (!known) return 0;
  documents.push_back({printer, name, {}, false});
  return static_cast<std::int32_t>(documents.size());
}

std::unique_ptr<printer::PrinterPipe> FakeDirectPrinters::MakePipe(const printer::DirectUri& uri) {
  made.push_back(uri.kind == printer::TransportKind::kTcp
                     ? uri.host + ":" + std::to_string(uri.port)
                     : uri.path);
  return std::make_unique<FakeSerialPort>(env_);
}

}  // namespace dovevid::testing
