#include "fake_transports.h"

#include "printer/escpos.h"

namespace dovevid::testing {

namespace {
Status NotOpen() { return Status::Error(8018, "Operation valid only when the port is open"); }
}  // namespace

Status FakeSerialPort::Configure(int port_number, std::string_view settings) {
  if (!configure_fault.ok()) return configure_fault;
  configured.emplace_back(port_number, std::string(settings));
  return Status::OK();
}

Status FakeSerialPort::Open() {
  if (!open_fault.ok()) return open_fault;
  if (open_) return Status::Error(fault::kPortAlreadyOpen, "Port already open");
  open_ = true;
  ++opens;
  return Status::OK();
}

Status FakeSerialPort::Close() {
  if (!open_) return Status::OK();
  open_ = false;
  return close_fault;
}

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

bool FakeSpooler::Write(std::int32_t handle, std::string_view bytes) {
  if (fail_writes || handle < 1 || handle > static_cast<std::int32_t>(documents.size())) return false;
  Document& d = documents[static_cast<size_t>(handle - 1)];
  if (d.closed) return false;
  d.data += bytes;
  return true;
}

std::string FakeSpooler::Read(std::int32_t, std::size_t max_bytes) {
  std::string out = read_back.substr(0, max_bytes);
  read_back.erase(0, out.size());
  return out;
}

bool FakeSpooler::CloseDocument(std::int32_t handle) {
  if (handle < 1 || handle > static_cast<std::int32_t>(documents.size())) return false;
  documents[static_cast<size_t>(handle - 1)].closed = true;
  return !fail_close;
}

printer::DocumentProgress FakeSpooler::Progress(std::int32_t) {
  const printer::DocumentProgress p = progress.front();
  if (progress.size() > 1) progress.pop_front();
  return p;
}

std::unique_ptr<printer::PrinterPipe> FakeDirectPrinters::MakePipe(const printer::DirectUri& uri) {
  made.push_back(uri.kind == printer::TransportKind::kTcp
                     ? uri.host + ":" + std::to_string(uri.port)
                     : uri.path);
  auto pipe = std::make_unique<FakeSerialPort>(env_);
  last = pipe.get();
  return pipe;
}

std::int32_t FakeStatusMonitor::Open(const std::string& printer) {
  opened.push_back(printer);
  return next_handle;
}

bool FakeStatusMonitor::GetStatus(std::int32_t, std::uint32_t* out) {
  if (query_fails) return false;
  *out = status;
  return true;
}

bool FakeStatusMonitor::DirectIO(std::int32_t, std::string_view, std::size_t max_reply, int,
                                 std::string* reply) {
  if (direct_io_reply.empty()) return false;
  *reply = direct_io_reply.substr(0, max_reply);
  return true;
}

}  // namespace dovevid::testing
