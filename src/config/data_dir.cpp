#include "config/data_dir.h"

namespace dovevid::config {

std::string StripOneTrailingSeparator(std::string path) {
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::optional<Directories> ResolveDataDirectory(Env& env, const DataDirInputs& in,
                                                std::string* fatal_message) {
  Directories dirs;
  dirs.app_dir = StripOneTrailingSeparator(in.app_dir);
  dirs.vista = in.vista;

  if (in.explicit_data_dir) {
    const std::string dir = StripOneTrailingSeparator(*in.explicit_data_dir);
    if (!env.DirectoryExists(dir)) {
      *fatal_message = dir + " : DIR NON ESISTENTE";
      return std::nullopt;
    }
    dirs.data_dir = dir;
    dirs.data_dir_before_override = dir;
    return dirs;
  }

  dirs.data_dir = dirs.app_dir;
  if (in.vista && !in.common_app_data.empty()) {
    const std::string dir = JoinPath(StripOneTrailingSeparator(in.common_app_data), kProductFolder);
    if (!env.DirectoryExists(dir)) {
      *fatal_message = dir + " : DIR NON ESISTENTE";
      return std::nullopt;
    }
    dirs.data_dir = dir;
  }
  dirs.data_dir_before_override = dirs.data_dir;

  if (!in.custom_path.empty()) {
    const std::string dir = StripOneTrailingSeparator(in.custom_path);
    if (env.DirectoryExists(dir)) dirs.data_dir = dir;
  }
  return dirs;
}

}  // namespace dovevid::config
