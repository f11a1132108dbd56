// Transports that keep the bytes in memory: a serial printer that is always
// ready and records what it is sent, and no spooler at all. A preview runs
// the real print run against them to see exactly what a printer would get.
#pragma once

#include <string>

#include "printer/transport.h"

namespace dovevid::printer {

class MemorySerialPort : public SerialPort {
 public:
  // Everything written except the real-time status queries.
  const std::string& printed() const { return printed_; }

  Status Configure(int, std::string_view) override { return Status::OK(); }
  Status Open() override;
  Status Close() override;
  bool IsOpen() const override { return open_; }
  // Status queries are answered at once: on line, paper present.
  Status Write(std::string_view bytes) override;
  Status Read(std::string* bytes) override;
  bool WaitReadable(int) override { return !replies_.empty(); }

 private:
  bool open_ = false;
  std::string printed_;
  std::string replies_;
};

// A machine without spooler printers.
class NoSpooler : public Spooler {
 public:
  std::vector<SpoolerPrinter> ListPrinters() override { return {}; }
  std::int32_t OpenDocument(const std::string&, const std::string&) override { return 0; }
  bool Write(std::int32_t, std::string_view) override { return false; }
  std::string Read(std::int32_t, std::size_t) override { return {}; }
  bool CloseDocument(std::int32_t) override { return false; }
  DocumentProgress Progress(std::int32_t) override { return {}; }
  void Cancel(std::int32_t) override {}
  void AbandonDocument(const std::string&) override {}
};

class NoStatusMonitor : public StatusMonitor {
 public:
  std::int32_t Open(const std::string&) override { return 0; }
  bool GetStatus(std::int32_t, std::uint32_t*) override { return false; }
  void OpenDrawer(std::int32_t, std::uint8_t, std::uint8_t) override {}
  bool DirectIO(std::int32_t, std::string_view, std::size_t, int, std::string*) override { return false; }
  void Close(std::int32_t) override {}
};

}  // namespace dovevid::printer
