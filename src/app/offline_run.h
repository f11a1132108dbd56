// What the commands that lay a job out without a server share (render,
// preview): their arguments, the installation's settings with --set
// overrides, a clock fixed by --now and a data directory for what the run
// writes.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/options.h"
#include "base/datetime.h"
#include "config/files.h"
#include "config/settings.h"
#include "platform/posix_env.h"
#include "platform/temporary_dir.h"

namespace dovevid::app {

// The real environment with the clock fixed by --now.
class FixedClockEnv : public platform::PosixEnv {
 public:
  explicit FixedClockEnv(std::optional<DateTime> now) : now_(now) {}
  DateTime Now() override { return now_ ? *now_ : PosixEnv::Now(); }

 private:
  std::optional<DateTime> now_;
};

struct JobArguments {
  CommonOptions common;
  std::optional<std::string> file;
  std::optional<DateTime> now;
  std::vector<std::pair<std::string, std::string>> overrides;  // --set
  std::map<std::string, std::string> values;  // the command's own valued options
  bool help = false;
};

// FILE, --set NAME=VALUE, --now TIME, --help, the common options and the
// options named in `valued`. An error text, or nothing.
std::optional<std::string> ParseJobArguments(const std::vector<std::string>& args,
                                             const std::set<std::string>& valued, JobArguments* out);

struct OfflineSetup {
  std::optional<platform::TemporaryDirectory> temp;
  config::Directories dirs;  // data_dir: where the run writes
  std::string installed_data_dir;  // the data directory the settings came from
  config::Settings settings;
};

// Loads the settings as 'dovevid settings' does (defaults where nothing is
// installed), applies the overrides and picks the data directory the run
// writes to: --data-dir unless `private_data_dir`, else a fresh temporary
// one. On failure returns the exit status after telling why (bad usage goes
// through `usage`). Without `cups_queues` the printer list has no CUPS
// queues (see LoadSettings).
std::optional<int> PrepareOffline(Env& env, const JobArguments& a, bool private_data_dir,
                                  const std::function<int(const std::string&)>& usage,
                                  OfflineSetup* out, bool cups_queues = true);

}  // namespace dovevid::app
