// Direct printers: raw TCP (socket://HOST[:PORT]) and printer-class devices
// (usb:/dev/usb/lp0, or any character device), each a byte pipe with the
// printer's replies, as the serial port is.
//
// A TCP connection is made per Open() and ended per Close(); the link is
// lost when the printer closes or resets it, a write times out or a device
// fails: the pipe then closes itself (see printer::PrinterPipe) and the next
// Open() connects again.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "printer/transport.h"

namespace dovevid::platform {

class DirectPipe : public printer::PrinterPipe {
 public:
  struct Options {
    int connect_timeout_ms = 3000;
    // How long a write may wait for the printer to take its bytes.
    int write_timeout_ms = 10000;
    // How long Close() waits for the printer to take (TCP: acknowledge)
    // what is still queued.
    int drain_timeout_ms = 5000;
  };

  DirectPipe(printer::DirectUri uri, Options options);
  ~DirectPipe() override;
  DirectPipe(const DirectPipe&) = delete;
  DirectPipe& operator=(const DirectPipe&) = delete;

  // TCP: connects within the connect timeout (TCP_NODELAY: a status query
  // must not wait behind the previous line). Device: opens it for this
  // process alone; a terminal (a USB CDC printer) is switched to raw bytes.
  Status Open() override;
  Status Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
  Status Write(std::string_view bytes) override;
  Status Read(std::string* bytes) override;
  bool WaitReadable(int ms) override;

 private:
  bool tcp() const { return uri_.kind == printer::TransportKind::kTcp; }
  std::string Where() const;
  Status Connect(int* fd) const;
  Status OpenDevice(int* fd) const;
  // The link is gone: closes the descriptor and keeps `why` for Close().
  Status Lost(Status why);

  printer::DirectUri uri_;
  Options options_;
  int fd_ = -1;
  Status lost_;
};

// The configured direct printers and their pipes.
class DirectPipes : public printer::DirectPrinters {
 public:
  explicit DirectPipes(std::vector<printer::DirectPrinter> printers,
                       DirectPipe::Options options = {})
      : printers_(std::move(printers)), options_(options) {}
  std::vector<printer::DirectPrinter> List() override { return printers_; }
  std::unique_ptr<printer::PrinterPipe> MakePipe(const printer::DirectUri& uri) override {
    return std::make_unique<DirectPipe>(uri, options_);
  }

 private:
  std::vector<printer::DirectPrinter> printers_;
  DirectPipe::Options options_;
};

// The direct printers of this machine: the entries NAME=URI of the group
// Printers in the user's or the system-wide settings (see user_settings.h),
// then `command_line` (--printer NAME=URI), which replaces an entry of the
// same name. Entries that cannot be used are left out and described in
// *problems.
std::vector<printer::DirectPrinter> ConfiguredDirectPrinters(
    const std::vector<printer::DirectPrinter>& command_line, std::vector<std::string>* problems);

}  // namespace dovevid::platform
