// dovevid-vprinter as a child process of a test, with its control FIFO,
// capture and log in a directory of the test's, either on a pseudo terminal
// (link DIR/ttyV0, to map a COM port to) or on a free loopback TCP port (the
// device of a CUPS raw queue). The capture holds the print data without the
// status queries.
#pragma once

#include <termios.h>

#include <string>

#include "child_process.h"

namespace dovevid::testing {

std::string VirtualPrinterProgram();

class VirtualPrinter {
 public:
  // kDisplay: the customer display on a pty (--display).
  enum class Mode { kPty, kTcp, kDisplay };

  // Returns once the printer is ready; *why tells why it is not. On TCP it
  // listens on `tcp_port`, a free one when 0.
  bool Start(const std::string& dir, std::string* why, Mode mode = Mode::kPty, int tcp_port = 0);
  void Stop() { process_.Stop(3000); }

  // "ready", "paper-end", "offline", "silent", "xoff" or "xon"; returns once
  // it has taken effect.
  bool SetState(const std::string& command);
  std::string Capture() const;
  bool WaitForCapture(std::size_t bytes, int timeout_ms = 3000) const;

  termios Termios() const;
  const std::string& link() const { return link_; }
  int port() const { return port_; }
  const std::string& log_path() const { return log_; }

 private:
  ChildProcess process_;
  std::string link_, control_, capture_, log_;
  int port_ = 0;
};

}  // namespace dovevid::testing
