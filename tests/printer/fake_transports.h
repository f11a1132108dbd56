// Fakes of the printer transports for tests of the channel and of code built
// on it. Time passes only on the FakeEnv's clock.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "fake_env.h"
#include "printer/channel.h"
#include "printer/transport.h"
#include "recording_operator.h"

namespace dovevid::testing {

// A serial port with an ESC/POS printer behind it that answers the two status
// queries from its state.
class FakeSerialPort : public printer::SerialPort {
 public:
  enum class State { kReady, kPaperEnd, kOffline, kSilent };

  explicit FakeSerialPort(FakeEnv& env) : env_(env) {}

  State state = State::kReady;
  int reply_delay_ms = 2;  // a status answer arrives this long after the query
  // Bytes that arrive at the given clock time whatever was sent.
  void Inject(std::string bytes, std::int64_t at_ms) {
    pending_.push_back({at_ms, std::move(bytes)});
  }

  std::string printed;                                  // every write except the status queries
  std::string wire;                                     // every write
  std::vector<std::pair<int, std::string>> configured;  // port, settings
  int opens = 0;

  // Faults of the next calls, until Status::OK() is assigned.
  Status configure_fault, open_fault, write_fault, close_fault;
  std::string fail_marker;  // writes that carry it fail with a device error

  Status Configure(int port_number, std::string_view settings) override {
    if (!configure_fault.ok()) return configure_fault;
    configured.emplace_back(port_number, std::string(settings));
    return Status::OK();
  }
  Status Open() override {
    if (!open_fault.ok()) return open_fault;
    if (open_) return Status::Error(fault::kPortAlreadyOpen, "Port already open");
    ++opens;
    open_ = true;
    return Status::OK();
  }
  Status Close() override { return std::exchange(open_, false) ? close_fault : Status::OK(); }
  bool IsOpen() const override { return open_; }
  Status Write(std::string_view bytes) override;
  Status Read(std::string* bytes) override;
  bool WaitReadable(int ms) override;

 private:
  FakeEnv& env_;
  bool open_ = false;
  std::deque<std::pair<std::int64_t, std::string>> pending_;  // arrival time, bytes
};

class FakeSpooler : public printer::Spooler {
 public:
  struct Document {
    std::string printer, name, data;
    bool closed = false;
  };

  std::vector<printer::SpoolerPrinter> printers;
  bool fail_writes = false;
  bool fail_close = false;  // the document cannot be handed over at close
  // What Progress reports at each call, the last one from then on.
  std::deque<printer::DocumentProgress> progress{printer::DocumentProgress::kPrinted};
  std::vector<std::int32_t> cancelled;
  std::string read_back;  // what Read hands out (then empties)
  std::vector<Document> documents;

  std::vector<printer::SpoolerPrinter> ListPrinters() override { return printers; }
  std::int32_t OpenDocument(const std::string& printer, const std::string& document_name) override;
  bool Write(std::int32_t handle, std::string_view bytes) override {
    Document* d = Find(handle);
    if (fail_writes || !d || d->closed) return false;
    d->data += bytes;
    return true;
  }
  std::string Read(std::int32_t, std::size_t max_bytes) override {
    std::string out = read_back.substr(0, max_bytes);
    read_back.erase(0, out.size());
    return out;
  }
  bool CloseDocument(std::int32_t handle) override {
    Document* d = Find(handle);
    if (d) d->closed = true;
    return d && !fail_close;
  }
  printer::DocumentProgress Progress(std::int32_t) override {
    const printer::DocumentProgress p = progress.front();
    if (progress.size() > 1) progress.pop_front();
    return p;
  }
  void Cancel(std::int32_t handle) override { cancelled.push_back(handle); }
  void AbandonDocument(const std::string&) override {}

 private:
  Document* Find(std::int32_t handle) {
    return handle >= 1 && handle <= std::ssize(documents) ? &documents[handle - 1u] : nullptr;
  }
};

// Direct printers whose pipes are FakeSerialPorts.
class FakeDirectPrinters : public printer::DirectPrinters {
 public:
  explicit FakeDirectPrinters(FakeEnv& env) : env_(env) {}
  std::vector<printer::DirectPrinter> printers;
  std::vector<std::string> made;  // host:port or path of every pipe made

  std::vector<printer::DirectPrinter> List() override { return printers; }
  std::unique_ptr<printer::PrinterPipe> MakePipe(const printer::DirectUri& uri) override;

 private:
  FakeEnv& env_;
};

struct FakeStatusMonitor : printer::StatusMonitor {
  std::uint32_t status = printer::status_bits::kPrintCompleted;
  bool query_fails = false;
  std::vector<std::string> opened;
  std::vector<std::int32_t> closed;
  int drawer_pulses = 0;
  std::string direct_io_reply;  // empty: no reply

  std::int32_t Open(const std::string& printer) override {
    opened.push_back(printer);
    return 7;
  }
  bool GetStatus(std::int32_t, std::uint32_t* out) override {
    if (!query_fails) *out = status;
    return !query_fails;
  }
  void OpenDrawer(std::int32_t, std::uint8_t, std::uint8_t) override { ++drawer_pulses; }
  bool DirectIO(std::int32_t, std::string_view, std::size_t max_reply, int,
                std::string* reply) override {
    if (direct_io_reply.empty()) return false;
    *reply = direct_io_reply.substr(0, max_reply);
    return true;
  }
  void Close(std::int32_t handle) override { closed.push_back(handle); }
};

// A channel over the fakes, with the settings and the operator it reports to.
struct FakeChannelRig {
  FakeEnv env;
  RecordingOperator op;
  config::Settings settings;
  FakeSerialPort serial{env};
  FakeSpooler spooler;
  FakeStatusMonitor monitor;
  printer::PrinterChannel channel{env, op, settings, serial, spooler, monitor};
};

// Makes `name` the spooler's one printer and the channel's current printer.
inline void UseSpoolerPrinter(printer::PrinterChannel& channel, FakeSpooler& spooler,
                              const std::string& name = "PRN1") {
  spooler.printers = {{name, "socket://127.0.0.1:9100"}};
  channel.BuildPrinterList();
  channel.SelectPrinterByName(name);
}

}  // namespace dovevid::testing
