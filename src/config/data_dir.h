// Where the job files live. Decided once at start-up.
#pragma once

#include <optional>
#include <string>

#include "base/env.h"
#include "config/files.h"

namespace dovevid::config {

inline constexpr char kProductFolder[] = "QNBKORV1";

struct DataDirInputs {
  std::string app_dir;
  // --data-dir: replaces the whole resolution when given.
  std::optional<std::string> explicit_data_dir;
  // The platform's common application-data folder ("/var/lib" on Linux);
  // empty when it could not be asked.
  std::string common_app_data;
  // The CustomPathDataDir override, empty when not set.
  std::string custom_path;
  bool vista = true;
};

// Returns the directories, or nothing with *fatal_message set to the text
// the operator must see before the program ends ("<path> : DIR NON ESISTENTE").
std::optional<Directories> ResolveDataDirectory(Env& env, const DataDirInputs& in,
                                                std::string* fatal_message);

// Where the settings file and the VAT rates file live when --app-dir is not
// given. A copy run from a writable directory of its own (a build tree, a
// demo) keeps them beside itself; an installed program never writes beside
// its executable but in a state directory: the machine's for root and the
// service account, the user's own otherwise.
struct AppDirInputs {
  std::string executable_dir;
  bool executable_dir_writable = false;
  // Where an installed copy runs from (/usr/bin); empty when unknown.
  std::string install_bindir;
  // root or a service account: its settings are those of the machine.
  bool system_account = false;
  std::string xdg_state_home;  // $XDG_STATE_HOME, may be empty
  std::string home;            // empty when there is no usable home
  std::string common_app_data;
};

inline constexpr char kUserStateFolder[] = "dovevid";

struct AppDirChoice {
  std::string dir;
  bool create = false;  // a per-user directory, made on first use
};

AppDirChoice ChooseApplicationDirectory(const AppDirInputs& in);

// Removes one trailing path separator ("/var/x/" gives "/var/x"); "/" stays.
std::string StripOneTrailingSeparator(std::string path);

}  // namespace dovevid::config
