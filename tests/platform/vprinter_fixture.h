// dovevid-vprinter as a child process of a test, on a pseudo terminal in a
// temporary directory.
//
//   dovevid::testing::TempDir dir;
//   dovevid::testing::VirtualPrinter printer;
//   std::string why;
//   ASSERT_TRUE(printer.Start(dir.path(), {}, &why)) << why;
//   ... map a COM port to printer.link() and print ...
//   printer.SetState("paper-end");       // returns once it has taken effect
//   printer.WaitForCapture(n, 2000);     // until n print bytes have arrived
//   EXPECT_EQ(printer.Capture(), expected);
//
// The capture holds the print data without the status queries. The child is
// ended (SIGTERM, then SIGKILL) by Stop() or the destructor, and gets SIGKILL
// if the test process dies first.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace dovevid::testing {

// The built dovevid-vprinter.
std::string VirtualPrinterProgram();

class VirtualPrinter {
 public:
  VirtualPrinter() = default;
  ~VirtualPrinter() { Stop(); }
  VirtualPrinter(const VirtualPrinter&) = delete;
  VirtualPrinter& operator=(const VirtualPrinter&) = delete;

  // Starts it with --link DIR/ttyV0 --control DIR/control --capture
  // DIR/capture.bin and `extra` arguments; waits until it is ready.
  bool Start(const std::string& dir, const std::vector<std::string>& extra, std::string* why);
  void Stop();

  // "ready", "paper-end", "offline", "silent"; also "xoff", "xon".
  bool SetState(const std::string& command);
  std::string Capture() const;
  // True once the capture holds at least `bytes` bytes.
  bool WaitForCapture(std::size_t bytes, int timeout_ms) const;

  const std::string& link() const { return link_; }
  const std::string& capture_path() const { return capture_; }
  const std::string& log_path() const { return log_; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::string link_, control_, capture_, log_;
};

}  // namespace dovevid::testing
