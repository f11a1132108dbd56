#include "app/options.h"

#include <charconv>
#include <iostream>

#include "platform/user_settings.h"

namespace dovevid::app {

namespace {

// "3=/dev/ttyUSB0" into the map.
bool ParseComMapping(const std::string& text, std::map<int, std::string>* com) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0 || eq + 1 == text.size()) return false;
  int n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + eq, n);
  if (ec != std::errc() || end != text.data() + eq || n < 1 || n > 20) return false;
  (*com)[n] = text.substr(eq + 1);
  return true;
}

// "LP=socket://192.168.1.50" into the list; a later one of the same name wins.
bool ParsePrinter(const std::string& text, std::vector<printer::DirectPrinter>* printers,
                  std::string* error) {
  const size_t eq = text.find('=');
  const std::string name = text.substr(0, eq);
  const std::string uri = eq == std::string::npos ? "" : text.substr(eq + 1);
  if (const auto why = printer::DirectPrinterProblem(name, uri)) {
    *error = "--printer " + *why + " (e.g. --printer LP=socket://192.168.1.50)";
    return false;
  }
  std::erase_if(*printers, [&](const printer::DirectPrinter& p) { return p.name == name; });
  printers->push_back({name, uri});
  return true;
}

}  // namespace

void CommandOperator::ShowMessage(std::string_view text) { std::cerr << prefix_ << text << '\n'; }

bool TakeCommonOptions(const std::vector<std::string>& args, CommonOptions* common,
                       std::vector<std::string>* rest, std::string* error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string name = a;
    std::optional<std::string> value;
    if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
      name = a.substr(0, a.find('='));
      value = a.substr(a.find('=') + 1);
    }
    if (name != "--app-dir" && name != "--data-dir" && name != "--com" && name != "--printer") {
      rest->push_back(a);
      continue;
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        *error = name + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (name == "--app-dir") {
      common->app_dir = *value;
    } else if (name == "--data-dir") {
      common->data_dir = *value;
    } else if (name == "--printer") {
      if (!ParsePrinter(*value, &common->printers, error)) return false;
    } else if (!ParseComMapping(*value, &common->com)) {
      *error = "--com takes N=PATH with N from 1 to 20, e.g. --com 1=/dev/ttyUSB0";
      return false;
    }
  }
  return true;
}

std::optional<config::Directories> ResolveDirectories(Env& env, const CommonOptions& common,
                                                      std::string* error) {
  config::DataDirInputs in;
  in.app_dir = common.app_dir.value_or(platform::ApplicationDirectory());
  in.explicit_data_dir = common.data_dir;
  in.vista = platform::IsOsVista();
  in.common_app_data = platform::CommonAppDataFolder();
  if (!common.data_dir) in.custom_path = platform::ReadCustomPathDataDir();
  if (common.app_dir && !env.DirectoryExists(config::StripOneTrailingSeparator(*common.app_dir))) {
    *error = *common.app_dir + " : DIR NON ESISTENTE";
    return std::nullopt;
  }
  return config::ResolveDataDirectory(env, in, error);
}

}  // namespace dovevid::app
