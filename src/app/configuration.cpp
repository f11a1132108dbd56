#include "app/configuration.h"

#include "platform/com_ports.h"

namespace dovevid::app {

MachinePrinter::MachinePrinter(Env& env, Operator& op, config::Settings& settings,
                               const std::map<int, std::string>& com)
    : settings_(settings),
      serial_(platform::ComPortOverrides(com)),
      monitor_(spooler_),
      channel_(env, op, settings, serial_, spooler_, monitor_) {}

void MachinePrinter::LoadConfiguration(Env& env, const config::Directories& dirs,
                                       bool rewrite_timer_file) {
  channel_.BuildPrinterList();
  config::LoadConfiguration(
      env, dirs, settings_, [&](const std::string& name) { return channel_.SelectPrinterByName(name); },
      rewrite_timer_file);
  config::ApplyListDefaults(settings_);
  channel_.BuildPrinterList();
  channel_.UpdateTransport();
}

config::Settings LoadSettings(Env& env, const config::Directories& dirs,
                              bool rewrite_timer_file) {
  config::Settings s;
  SilentOperator op;
  MachinePrinter printer(env, op, s, {});
  printer.LoadConfiguration(env, dirs, rewrite_timer_file);
  return s;
}

}  // namespace dovevid::app
