#include "vprinter_fixture.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "temp_dir.h"

namespace dovevid::testing {

namespace {

std::int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

template <typename Pred>
bool WaitUntil(Pred done, int timeout_ms) {
  const std::int64_t deadline = NowMs() + timeout_ms;
  while (!done()) {
    if (NowMs() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::string FirstLine(const std::string& path) {
  const std::string text = ReadFileOrEmpty(path);
  return text.substr(0, text.find('\n'));
}

}  // namespace

std::string VirtualPrinterProgram() { return DOVEVID_VPRINTER; }

bool VirtualPrinter::Start(const std::string& dir, const std::vector<std::string>& extra,
                           std::string* why) {
  link_ = dir + "/ttyV0";
  control_ = dir + "/control";
  capture_ = dir + "/capture.bin";
  log_ = dir + "/vprinter.log";
  std::vector<std::string> args = {VirtualPrinterProgram(), "--link", link_, "--control", control_,
                                   "--capture", capture_};
  args.insert(args.end(), extra.begin(), extra.end());

  const pid_t parent = ::getpid();
  pid_ = ::fork();
  if (pid_ < 0) {
    *why = "fork failed";
    return false;
  }
  if (pid_ == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    const int log = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log >= 0) {
      ::dup2(log, 1);
      ::dup2(log, 2);
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  struct stat st {};
  const bool ready = WaitUntil(
      [&] { return ::lstat(link_.c_str(), &st) == 0 && FirstLine(control_ + ".state") != ""; },
      5000);
  if (!ready) {
    *why = "the virtual printer did not start: " + ReadFileOrEmpty(log_);
    Stop();
    return false;
  }
  return true;
}

void VirtualPrinter::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  if (!WaitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, 3000)) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
  }
  pid_ = -1;
}

bool VirtualPrinter::SetState(const std::string& command) {
  const std::string state_file = control_ + ".state";
  // The state file is rewritten after every command; wait for a fresh one.
  ::unlink(state_file.c_str());
  {
    std::ofstream fifo(control_);
    fifo << command << "\n";
  }
  const bool is_state = command != "xoff" && command != "xon";
  return WaitUntil(
      [&] {
        const std::string now = FirstLine(state_file);
        return is_state ? now == command : !now.empty();
      },
      3000);
}

std::string VirtualPrinter::Capture() const { return ReadFileOrEmpty(capture_); }

bool VirtualPrinter::WaitForCapture(std::size_t bytes, int timeout_ms) const {
  return WaitUntil([&] { return Capture().size() >= bytes; }, timeout_ms);
}

}  // namespace dovevid::testing
