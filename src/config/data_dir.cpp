#include "config/data_dir.h"

namespace dovevid::config {

std::string StripOneTrailingSeparator(std::string path) {
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

AppDirChoice ChooseApplicationDirectory(const AppDirInputs& in) {
  if (in.executable_dir_writable && in.executable_dir != in.install_bindir) {
    return {in.executable_dir, false};
  }
  if (in.system_account || in.home.empty()) {
    return {JoinPath(StripOneTrailingSeparator(in.common_app_data), kProductFolder), false};
  }
  // The XDG base directory rules ignore a relative $XDG_STATE_HOME.
  if (!in.xdg_state_home.empty() && in.xdg_state_home[0] == '/') {
    return {JoinPath(StripOneTrailingSeparator(in.xdg_state_home), kUserStateFolder), true};
  }
  return {JoinPath(StripOneTrailingSeparator(in.home), std::string(".local/state/") + kUserStateFolder),
          true};
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
