// A program run as a child of a test (no shell), with its standard output and
// error in a log file. It never outlives the test: Stop, Kill or the
// destructor end it, and the kernel signals it if the test process dies.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace dovevid::testing {

class ChildProcess {
 public:
  // `death_signal` is what the child gets if the test process dies first.
  explicit ChildProcess(int death_signal = SIGKILL) : death_signal_(death_signal) {}
  ~ChildProcess() { Kill(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Output is appended to `log_path` (or dropped when it is empty), standard
  // error to `err_path` when given; `env` is added to the inherited environment.
  bool Start(const std::string& program, const std::vector<std::string>& args,
             const std::string& log_path = "", const std::map<std::string, std::string>& env = {},
             const std::string& err_path = "");
  // The exit code (128 + signal when killed) once the child has ended within
  // `timeout_ms`, else -1.
  int Wait(int timeout_ms);
  // SIGTERM and Wait; SIGKILL when it did not end in time (-1 then).
  int Stop(int timeout_ms = 5000);
  // SIGKILL and reap. Idempotent.
  void Kill();
  bool running() const { return pid_ > 0; }

 private:
  int death_signal_;
  pid_t pid_ = -1;
};

// Polls `done` every 10 ms for up to `timeout_ms`.
bool WaitFor(const std::function<bool()>& done, int timeout_ms = 5000);

}  // namespace dovevid::testing
