// A private CUPS scheduler for tests of the spooler path: its own
// directories under a temporary one, a Unix socket only, no browsing, no
// authentication. Start() sets CUPS_SERVER (inherited by every program the
// test starts) and points this process's libcups at it. Instances are
// independent, so tests may run in parallel.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "child_process.h"
#include "temp_dir.h"

namespace dovevid::testing {

class PrivateCupsd {
 public:
  // Null when it cannot start: *why_not says why, *skip whether that is a
  // limit of this machine (skip the test) rather than a fault (fail it).
  static std::unique_ptr<PrivateCupsd> Start(std::string* why_not, bool* skip);
  ~PrivateCupsd();

  // An enabled raw queue whose device is socket://127.0.0.1:PORT.
  bool AddRawQueue(const std::string& name, int port, std::string* error);
  // A CUPS command-line tool (lpadmin, cupsdisable...) against this scheduler.
  RunResult RunTool(const std::string& tool, const std::vector<std::string>& args);
  // Stops the scheduler and starts it again on the same socket and queues,
  // as a service restart would.
  bool Restart(std::string* error);

  const std::string& dir() const { return dir_.path(); }
  // The end of the scheduler's error log, for failure messages.
  std::string LogTail() const;

 private:
  PrivateCupsd() = default;
  bool Launch(std::string* why_not);

  TempDir dir_;
  std::string socket_path_;
  ChildProcess process_{SIGTERM};  // lets it stop its backends
};

// Starts a scheduler into `var` (a std::unique_ptr<PrivateCupsd>), or skips
// or fails the current test and returns from it.
#define DOVEVID_START_PRIVATE_CUPSD(var)                                            \
  do {                                                                              \
    std::string dovevid_why_;                                                       \
    bool dovevid_skip_ = false;                                                     \
    (var) = ::dovevid::testing::PrivateCupsd::Start(&dovevid_why_, &dovevid_skip_); \
    if (!(var) && dovevid_skip_) GTEST_SKIP() << dovevid_why_;                      \
    if (!(var)) FAIL() << dovevid_why_;                                             \
  } while (0)

}  // namespace dovevid::testing
