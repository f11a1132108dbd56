#include "app/settings_command.h"

#include <cstdio>
#include <iostream>

#include "app/configuration.h"
#include "app/options.h"
#include "base/text.h"
#include "config/files.h"
#include "config/schema.h"
#include "platform/posix_env.h"

namespace dovevid::app {

namespace {

constexpr char kUsage[] =
    "usage: dovevid settings [--app-dir DIR] [--data-dir DIR]\n"
    "       dovevid settings set NAME=VALUE ... [--app-dir DIR] [--data-dir DIR]\n"
    "\n"
    "Without 'set', prints every setting as NAME=VALUE: lists by item text\n"
    "(<none> when nothing is selected), check boxes as 1 or 0, texts as stored.\n"
    "With 'set', checks every value against its list or type; when all are\n"
    "accepted it saves KV2EPcfg.txt (application directory) and KV2EPcfg2.txt\n"
    "(data directory); when one is refused nothing is written.\n"
    "txtTimerVal takes seconds (below 100, at most 60) or milliseconds\n"
    "(100 to 60000) and is saved to KVTIMER1.TXT.\n"
    "ListPrinters takes a printer name: RS232_PRINTER, a CUPS queue, or a direct\n"
    "printer of [Printers] in QNBKORV1.conf or of --printer (give the server the\n"
    "same --printer, or the selection is dropped when it saves).\n";

int Print(const config::Settings& s) {
  for (const std::string& name : config::SettingNames()) {
    std::string value;
    config::GetSetting(s, name, &value);
    std::cout << name << '=' << value << '\n';
  }
  return 0;
}

}  // namespace

int RunSettingsCommand(const std::vector<std::string>& args) {
  CommonOptions common;
  std::vector<std::string> rest;
  std::string error;
  if (!TakeCommonOptions(args, &common, &rest, &error)) {
    std::cerr << "dovevid settings: " << error << '\n' << kUsage;
    return 2;
  }
  for (const std::string& a : rest) {
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    }
  }
  const bool set = !rest.empty() && rest[0] == "set";
  if ((!set && !rest.empty()) || (set && rest.size() < 2)) {
    std::cerr << kUsage;
    return 2;
  }

  platform::PosixEnv env;
  const auto dirs = ResolveDirectories(env, common, &error);
  if (!dirs) {
    std::cerr << "dovevid settings: " << error << '\n';
    return 1;
  }
  config::Settings settings = LoadSettings(env, *dirs, common);
  if (!set) return Print(settings);

  // Validate everything first: a refused value leaves the files untouched.
  std::optional<std::string> timer_value;
  for (size_t i = 1; i < rest.size(); ++i) {
    const size_t eq = rest[i].find('=');
    if (eq == std::string::npos) {
      std::cerr << "dovevid settings set: '" << rest[i] << "' is not NAME=VALUE\n";
      return 2;
    }
    const std::string name = rest[i].substr(0, eq);
    const std::string value = rest[i].substr(eq + 1);
    if (name == "txtTimerVal") {
      if (Val(value) <= 0) {
        std::cerr << "dovevid settings set: txtTimerVal: '" << value
                  << "' is not accepted: a positive number of seconds, or of milliseconds\n";
        return 2;
      }
      timer_value = value;
      continue;
    }
    const Status st = config::SetSetting(settings, name, value);
    if (!st.ok()) {
      std::cerr << "dovevid settings set: " << st.description() << '\n';
      return 2;
    }
  }
  if (timer_value) config::CalculateTimer(env, *dirs, settings, *timer_value, true);
  const Status st = config::SaveChkComFile(env, *dirs, settings);
  if (!st.ok()) {
    std::cerr << "err_SaveChkComFile: " << st.description() << st.number() << '\n';
    return 1;
  }
  return 0;
}

}  // namespace dovevid::app
