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
  const bool product_folder = in.vista && !in.common_app_data.empty();
  if (product_folder) {
    dirs.data_dir = JoinPath(StripOneTrailingSeparator(in.common_app_data), kProductFolder);
  }
  dirs.data_dir_before_override = dirs.data_dir;

  // An override naming an existing directory wins, whether or not the
  // default one exists: only a missing directory that is used ends the program.
  if (!in.custom_path.empty()) {
    const std::string dir = StripOneTrailingSeparator(in.custom_path);
    if (env.DirectoryExists(dir)) {
      dirs.data_dir = dir;
      return dirs;
    }
  }
  if (product_folder && !env.DirectoryExists(dirs.data_dir)) {
    *fatal_message = dirs.data_dir + " : DIR NON ESISTENTE";
    return std::nullopt;
  }
  return dirs;
}

}  // namespace dovevid::config
