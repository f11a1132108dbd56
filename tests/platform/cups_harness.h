// A private CUPS scheduler for tests of the spooler path, and the small
// process helpers those tests need.
//
// Usage (GoogleTest):
//
//   std::unique_ptr<dovevid::testing::PrivateCupsd> cupsd;
//   DOVEVID_START_PRIVATE_CUPSD(cupsd);  // or skips / fails the test, see below
//   int port = dovevid::testing::FreeTcpPort();
//   dovevid::testing::ChildProcess printer;
//   printer.Start(dovevid::testing::VirtualPrinterPath(),
//                 {"--tcp", std::to_string(port), "--capture", capture_path});
//   dovevid::testing::WaitForTcpPort(port, 5000);
//   ASSERT_TRUE(cupsd->AddRawQueue("DOVQ", "127.0.0.1", port, &why)) << why;
//   ... print through libcups or run the program: both reach the private
//   scheduler, because Start() sets CUPS_SERVER for this process (inherited
//   by every program it starts) and points libcups of this thread at it ...
//   cupsd.reset();  // or Stop(): the scheduler ends, its directory goes
//
// The scheduler gets its own ServerRoot, RequestRoot, TempDir, CacheDir and
// StateDir under one temporary directory, listens only on a Unix socket in
// it, does no browsing and needs no authentication. It runs as root (CI) or
// as the current user. Where it cannot run (cupsd not installed, or it fails
// to start without root) the test is skipped with the reason; run as root, a
// scheduler that does not start fails the test. Each instance is
// independent, so tests may run in parallel.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace dovevid::testing {

class PrivateCupsd {
 public:
  // Null when it cannot start: *why_not says why, *skip whether that is a
  // limit of this machine (skip the test) rather than a fault (fail it).
  static std::unique_ptr<PrivateCupsd> Start(std::string* why_not, bool* skip);
  ~PrivateCupsd();
  PrivateCupsd(const PrivateCupsd&) = delete;
  PrivateCupsd& operator=(const PrivateCupsd&) = delete;

  // Adds an enabled raw queue whose device is socket://HOST:PORT (CUPS'
  // socket backend, the usual way to reach a network receipt printer).
  bool AddRawQueue(const std::string& name, const std::string& host, int port,
                   std::string* error);
  // Runs a CUPS command-line tool (lpstat, cupsdisable...) against this
  // scheduler.
  RunResult RunTool(const std::string& tool, const std::vector<std::string>& args);

  // Stops the scheduler and starts it again on the same socket, queues and
  // job history, as an upgrade or a service restart would.
  bool Restart(std::string* error);
  // Stops the scheduler and restores the previous CUPS_SERVER. Idempotent.
  void Stop();

  const std::string& socket_path() const { return socket_path_; }
  const std::string& dir() const { return dir_.path(); }
  // The end of the scheduler's error log, for failure messages.
  std::string LogTail() const;

 private:
  PrivateCupsd() = default;
  bool Launch(std::string* why_not);
  // Stops the running scheduler; false when none runs.
  bool Terminate();

  TempDir dir_;
  std::string cupsd_;
  std::string socket_path_;
  pid_t pid_ = -1;
  bool env_set_ = false;
  bool had_server_env_ = false;
  std::string old_server_env_;
};

// Starts a scheduler into `var` (a std::unique_ptr<PrivateCupsd>), or skips
// or fails the current test and returns from it.
#define DOVEVID_START_PRIVATE_CUPSD(var)                                        \
  do {                                                                          \
    std::string dovevid_why_;                                                   \
    bool dovevid_skip_ = false;                                                 \
    (var) = ::dovevid::testing::PrivateCupsd::Start(&dovevid_why_, &dovevid_skip_); \
    if (!(var)) {                                                               \
      if (dovevid_skip_) GTEST_SKIP() << dovevid_why_;                          \
      FAIL() << dovevid_why_;                                                   \
    }                                                                           \
  } while (0)

// A child process (no shell) that dies with the test: it is killed by Kill()
// or the destructor, and gets SIGKILL if the test process itself dies.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { Kill(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Standard output and error go to `log_path` when given, else /dev/null.
  bool Start(const std::string& program, const std::vector<std::string>& args,
             const std::string& log_path = "");
  // SIGKILL and reap. Idempotent.
  void Kill();
  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

// A loopback TCP port that is free at the time of the call.
int FreeTcpPort();
// Waits until something accepts connections on 127.0.0.1:PORT.
bool WaitForTcpPort(int port, int timeout_ms);
// Full path of a program found in PATH, /usr/sbin or /sbin; empty if absent.
std::string FindProgram(const std::string& name);
// The built dovevid-vprinter.
std::string VirtualPrinterPath();

}  // namespace dovevid::testing
