// Loading the configuration the way start-up does, for the commands.
#pragma once

#include <map>
#include <string>

#include "base/env.h"
#include "base/operator.h"
#include "config/files.h"
#include "config/settings.h"
#include "platform/cups_spooler.h"
#include "platform/cups_status.h"
#include "platform/serial_port.h"
#include "printer/channel.h"

namespace dovevid::app {

// The printer channel on this machine's serial ports (with the --com
// mappings) and CUPS queues, for commands that talk to the printer.
class MachinePrinter {
 public:
  MachinePrinter(Env& env, Operator& op, config::Settings& settings,
                 const std::map<int, std::string>& com);
  printer::PrinterChannel& channel() { return channel_; }

  // Timer, settings and words files, then the list defaults. The printer
  // list is filled first, as record 18 is matched against it, and again
  // after, so its serial entry names the loaded COM port. Commands that only
  // look at the settings leave the timer file alone.
  void LoadConfiguration(Env& env, const config::Directories& dirs, bool rewrite_timer_file);

 private:
  config::Settings& settings_;
  platform::PosixSerialPort serial_;
  platform::CupsSpooler spooler_;
  platform::CupsStatusMonitor monitor_;
  printer::PrinterChannel channel_;
};

// The configuration as MachinePrinter::LoadConfiguration loads it; no port
// is opened for that.
config::Settings LoadSettings(Env& env, const config::Directories& dirs,
                              bool rewrite_timer_file = false);

}  // namespace dovevid::app
