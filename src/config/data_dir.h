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

// Removes one trailing path separator ("/var/x/" gives "/var/x"); "/" stays.
std::string StripOneTrailingSeparator(std::string path);

}  // namespace dovevid::config
