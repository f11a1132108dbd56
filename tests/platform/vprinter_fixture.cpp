#include "vprinter_fixture.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>

#include "temp_dir.h"

namespace dovevid::testing {

namespace {
std::string FirstLine(const std::string& path) {
  const std::string text = ReadFileOrEmpty(path);
  const std::size_t end = text.find('\n');
  return end == std::string::npos ? "" : text.substr(0, end);
}
}  // namespace

std::string VirtualPrinterProgram() { return DOVEVID_VPRINTER; }

bool VirtualPrinter::Start(const std::string& dir, std::string* why, Mode mode, int tcp_port) {
  link_ = dir + "/ttyV0";
  control_ = dir + "/control";
  capture_ = dir + "/capture.bin";
  log_ = dir + "/vprinter.log";
  std::vector<std::string> args = {"--control", control_, "--capture", capture_};
  if (mode == Mode::kTcp) args.insert(args.end(), {"--tcp", std::to_string(tcp_port)});
  if (mode != Mode::kTcp) args.insert(args.end(), {"--link", link_});
  if (mode == Mode::kDisplay) args.push_back("--display");
  // The first line it prints says where it is, once it is there (a restart
  // must not read its predecessor's).
  ::unlink(log_.c_str());
  std::string where;
  const bool started = process_.Start(VirtualPrinterProgram(), args, log_) &&
                       WaitFor([&] { return !(where = FirstLine(log_)).empty(); });
  if (!started || !where.starts_with(mode == Mode::kTcp ? "listening on " : "pty ")) {
    *why = "the virtual printer did not start: " + ReadFileOrEmpty(log_);
    Stop();
    return false;
  }
  if (mode == Mode::kTcp) port_ = std::stoi(where.substr(where.rfind(':') + 1));
  return true;
}

bool VirtualPrinter::SetState(const std::string& command) {
  // The state file is rewritten after every command: wait for a fresh one.
  const std::string state_file = control_ + ".state";
  ::unlink(state_file.c_str());
  std::ofstream(control_) << command << "\n";
  const bool is_state = command != "xoff" && command != "xon";
  return WaitFor([&] {
    const std::string now = FirstLine(state_file);
    return is_state ? now == command : !now.empty();
  });
}

termios VirtualPrinter::Termios() const {
  termios t{};
  const int fd = ::open(link_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ::tcgetattr(fd, &t);
  ::close(fd);
  return t;
}

std::string VirtualPrinter::Capture() const { return ReadFileOrEmpty(capture_); }

bool VirtualPrinter::WaitForCapture(std::size_t bytes, int timeout_ms) const {
  return WaitFor([&] { return Capture().size() >= bytes; }, timeout_ms);
}

}  // namespace dovevid::testing
