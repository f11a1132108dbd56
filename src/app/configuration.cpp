#include "app/configuration.h"

#include "base/operator.h"
#include "platform/com_ports.h"
#include "platform/cups_spooler.h"
#include "platform/cups_status.h"
#include "platform/direct_pipe.h"
#include "platform/serial_port.h"
#include "printer/channel.h"

namespace dovevid::app {

config::Settings LoadSettings(Env& env, const config::Directories& dirs,
                              const CommonOptions& common, bool rewrite_timer_file) {
  config::Settings s;
  // The channel builds and selects the printer list as the server does; no
  // port is opened for that.
  SilentOperator op;
  platform::PosixSerialPort serial(platform::ComPortOverrides(common.com));
  platform::CupsSpooler spooler;
  platform::CupsStatusMonitor monitor(spooler);
  std::vector<std::string> problems;  // the server reports them
  platform::DirectPipes direct(platform::ConfiguredDirectPrinters(common.printers, &problems));
  printer::PrinterChannel channel(env, op, s, serial, spooler, monitor, direct);
  channel.BuildPrinterList();
  config::LoadConfiguration(
      env, dirs, s, [&](const std::string& name) { return channel.SelectPrinterByName(name); },
      rewrite_timer_file);
  config::ApplyListDefaults(s);
  channel.BuildPrinterList();  // the serial entry names the loaded COM port
  return s;
}

}  // namespace dovevid::app
