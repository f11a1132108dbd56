#include "app/offline_run.h"

#include <iostream>

#include "app/configuration.h"
#include "config/schema.h"
#include "platform/user_settings.h"

namespace dovevid::app {

std::optional<std::string> ParseJobArguments(const std::vector<std::string>& args,
                                             const std::set<std::string>& valued, JobArguments* out) {
  std::vector<std::string> rest;
  std::string error;
  if (!TakeCommonOptions(args, &out->common, &rest, &error)) return error;
  for (size_t i = 0; i < rest.size(); ++i) {
    const std::string& a = rest[i];
    if (a == "--help" || a == "-h") {
      out->help = true;
      return std::nullopt;
    }
    if (a == "--set" || a == "--now" || valued.count(a)) {
      if (i + 1 >= rest.size()) return a + " needs a value";
      const std::string& value = rest[++i];
      if (a == "--now") {
        DateTime t;
        if (!ParseIsoDateTime(value, &t)) return "--now takes YYYY-MM-DDTHH:MM:SS";
        out->now = t;
      } else if (a == "--set") {
        const size_t eq = value.find('=');
        if (eq == std::string::npos || eq == 0) return "--set takes NAME=VALUE";
        out->overrides.emplace_back(value.substr(0, eq), value.substr(eq + 1));
      } else {
        out->values[a] = value;
      }
      continue;
    }
    if (a.rfind("--", 0) == 0 || out->file) return "unexpected argument '" + a + "'";
    out->file = a;
  }
  return std::nullopt;
}

std::optional<int> PrepareOffline(Env& env, const JobArguments& a, bool private_data_dir,
                                  const std::function<int(const std::string&)>& usage,
                                  OfflineSetup* out, bool cups_queues) {
  const CommonOptions& common = a.common;
  // The settings come from the installation's directories; what the run
  // writes goes to --data-dir or to a private temporary directory.
  if (!common.data_dir || private_data_dir) {
    out->temp = platform::TemporaryDirectory::Create("dovevid-render");
    if (!out->temp) {
      std::cerr << "dovevid: cannot create a temporary data directory\n";
      return 1;
    }
  }
  std::string resolve_error;
  if (auto resolved = ResolveDirectories(env, common, &resolve_error)) {
    out->dirs = *resolved;
  } else if (common.data_dir || (common.app_dir && !env.DirectoryExists(*common.app_dir))) {
    return usage(resolve_error);
  } else {
    // No data directory installed: the label words keep their defaults.
    out->dirs.app_dir = common.app_dir.value_or(platform::ApplicationDirectory());
    out->dirs.data_dir = out->temp->path();
  }
  out->installed_data_dir = out->dirs.data_dir;
  out->settings = LoadSettings(env, out->dirs, common, false, cups_queues);
  if (out->temp) out->dirs.data_dir = out->temp->path();
  for (const auto& [name, value] : a.overrides) {
    const Status st = config::SetSetting(out->settings, name, value);
    if (!st.ok()) return usage("--set " + name + ": " + st.description());
  }
  return std::nullopt;
}

}  // namespace dovevid::app
