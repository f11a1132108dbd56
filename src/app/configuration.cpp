#include "app/configuration.h"

#include "base/operator.h"
#include "platform/com_ports.h"
#include "platform/cups_spooler.h"
#include "platform/cups_status.h"
#include "platform/direct_pipe.h"
#include "platform/serial_port.h"
#include "printer/channel.h"

namespace dovevid::app {

namespace {

class NoQueues : public platform::CupsSpooler {
 public:
  std::vector<printer::SpoolerPrinter> ListPrinters() override { return {}; }
};

}  // namespace

config::Settings LoadSettings(Env& env, const config::Directories& dirs,
                              const CommonOptions& common, bool rewrite_timer_file,
                              bool cups_queues) {
  config::Settings s;
  // The channel builds and selects the printer list as the server does; no
  // port is opened for that.
  SilentOperator op;
  platform::PosixSerialPort serial(platform::ComPortOverrides(common.com));
  platform::CupsSpooler queues;
  NoQueues no_queues;
  platform::CupsSpooler& spooler = cups_queues ? queues : no_queues;
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
