#include "app/headless.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "app/options.h"
#include "base/log.h"
#include "base/text.h"
#include "config/files.h"
#include "job/identification.h"
#include "job/job_cycle.h"
#include "job/job_files.h"
#include "job/print_run.h"
#include "job/server_state.h"
#include "job/sl_renderers.h"
#include "platform/com_ports.h"
#include "platform/cups_spooler.h"
#include "platform/cups_status.h"
#include "platform/direct_pipe.h"
#include "platform/identification.h"
#include "platform/instance_lock.h"
#include "platform/posix_env.h"
#include "platform/serial_port.h"
#include "printer/channel.h"

namespace dovevid::app {

namespace {

constexpr char kUsage[] =
    "usage: dovevid --headless [--data-dir DIR] [--app-dir DIR] [--com N=PATH ...]\n"
    "                          [--printer NAME=URI ...]\n"
    "\n"
    "Runs the print server without a window: polls the data directory for\n"
    "SR_START, prints SR_DATI on the configured printer (serial COM port, CUPS\n"
    "queue or direct printer, see 'dovevid settings') and answers with SR_OUT\n"
    "and FINESCO or SR_ERR. One server per data directory (lock file\n"
    "DOVEVID.LCK there).\n"
    "Operator messages go to standard error and, with \"Trace enable\", to the\n"
    "trace log; finished jobs are reported on standard output.\n"
    "SIGTERM or SIGINT stops it: a job in progress is finished first, then\n"
    "the job files of the current extension are removed and the\n"
    "configuration is saved.\n"
    "\n"
    "  --data-dir DIR   directory of the job files\n"
    "  --app-dir DIR    directory of KV2EPcfg.txt and KVVALIVA.txt\n"
    "  --com N=PATH     serial device of COM N (e.g. --com 1=/dev/ttyUSB0)\n"
    "  --printer NAME=URI  a direct printer for the printer list, URI\n"
    "                   socket://HOST[:PORT] (raw TCP, port 9100 by default) or\n"
    "                   usb:/dev/usb/lp0 (a printer-class device)\n"
    "\n"
    "Environment: DOVEVID_PAPER_END_PAUSES=N waits N one-second pauses for\n"
    "paper before a line gives up and the job fails with E096 (default 300).\n"
    "\n"
    "Exit status: 0 after a clean stop, 1 when the data directory is missing,\n"
    "2 on bad usage, 3 when another server holds the data directory.\n";

int g_signal_pipe[2] = {-1, -1};

void OnStopSignal(int signo) {
  const char byte = static_cast<char>(signo);
  (void)!::write(g_signal_pipe[1], &byte, 1);
}

// Operator messages: never wait for anyone.
class StderrOperator : public Operator {
 public:
  explicit StderrOperator(TraceLog& trace) : trace_(trace) {}
  void ShowMessage(std::string_view text) override {
    std::cerr << "dovevid: " << text << std::endl;
    trace_.WriteErrorLog(text);
  }

 private:
  TraceLog& trace_;
};

// What a window would show, as lines on standard output.
class StdoutStatusView : public job::StatusView {
 public:
  void ShowStatus(std::string_view text, bool) override {
    if (text.rfind("QNB DOVEVID1 TERMINATO", 0) == 0) std::cout << text << std::endl;
  }
  void ShowIdentification(std::string_view id) override {
    std::cout << "SR_MATR: " << id << std::endl;
  }
};

class QtPollTimer : public job::PollTimer {
 public:
  QtPollTimer() { timer_.setTimerType(Qt::PreciseTimer); }
  QTimer& timer() { return timer_; }
  void SetInterval(int ms) override { timer_.setInterval(ms); }
  int Interval() const override { return timer_.interval(); }
  void SetEnabled(bool enabled) override {
    if (!enabled) {
      timer_.stop();
    } else if (!timer_.isActive()) {
      timer_.start();
    }
  }
  bool Enabled() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
};

class Identity : public job::IdentitySource {
 public:
  std::string GetMacText() override { return platform::GetMacText(); }
  std::optional<std::int32_t> VolumeSerialNumber() override {
    return platform::VolumeSerialNumber("/");
  }
};

std::optional<int> PaperEndPauses() {
  const char* v = std::getenv(kPaperEndPausesVariable);
  if (v == nullptr || !IsNumeric(v) || Val(v) < 0) return std::nullopt;
  return static_cast<int>(std::min<long long>(RoundHalfEven(Val(v)), 1000000));
}

}  // namespace

int RunHeadless(int argc, char** argv, const std::vector<std::string>& args) {
  CommonOptions common;
  std::vector<std::string> rest;
  std::string error;
  if (!TakeCommonOptions(args, &common, &rest, &error)) {
    std::cerr << "dovevid --headless: " << error << '\n' << kUsage;
    return 2;
  }
  for (const std::string& a : rest) {
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    }
    std::cerr << "dovevid --headless: unknown argument '" << a << "'\n" << kUsage;
    return 2;
  }

  QCoreApplication qt(argc, argv);
  platform::PosixEnv env([] { QCoreApplication::processEvents(); });

  // Data directory first: the lock lives there.
  const std::optional<config::Directories> resolved = ResolveDirectories(env, common, &error);
  if (!resolved) {
    std::cerr << "dovevid: " << error << '\n';
    return 1;
  }
  const config::Directories dirs = *resolved;
  std::optional<platform::InstanceLock> lock = platform::InstanceLock::Acquire(dirs.data_dir, &error);
  if (!lock) {
    std::cerr << "dovevid: " << error << '\n';
    return 3;
  }

  config::Settings settings;
  job::ServerState state;
  TraceLog trace(env, [&] { return settings.Option(config::kTraceEnable); },
                 [&] { return dirs.vista ? dirs.data_dir : dirs.app_dir; });
  trace.WriteErrorLog("INIZIO PROGRAMMA");
  StderrOperator op(trace);
  StdoutStatusView view;

  platform::PosixSerialPort serial(platform::ComPortOverrides(common.com));
  platform::CupsSpooler spooler;
  platform::CupsStatusMonitor monitor(spooler);
  std::vector<std::string> problems;
  platform::DirectPipes direct(platform::ConfiguredDirectPrinters(common.printers, &problems));
  for (const std::string& p : problems) op.ShowMessage(p);
  printer::PrinterChannel channel(env, op, settings, serial, spooler, monitor, direct);
  job::JobFiles files(env, trace, op, dirs, settings);
  job::ErrorFilePaperEndListener paper_listener(files);
  channel.SetPaperEndListener(&paper_listener);
  if (const auto pauses = PaperEndPauses()) channel.SetPaperEndPauseLimit(*pauses);

  // Printer list, then the configuration (its printer record is matched
  // against the list), then the list again for the loaded COM port.
  channel.BuildPrinterList();
  config::LoadConfiguration(env, dirs, settings,
                            [&](const std::string& name) { return channel.SelectPrinterByName(name); });
  channel.BuildPrinterList();

  // Job files left by an earlier run, extensions .001 to .004.
  const bool keep_jobs = settings.Option(config::kNoKillDatiStart);
  for (int n = 1; n <= 4; ++n) {
    const std::string ext = ".00" + std::to_string(n);
    if (!keep_jobs) {
      files.VerifyExistenceAndKill(std::string(job::kSrStart) + ext);
      files.VerifyExistenceAndKill(std::string(job::kSrDati) + ext);
    }
    for (std::string_view base : {job::kSrMatr, job::kSrErr, job::kSrOut, job::kFinesco}) {
      files.VerifyExistenceAndKill(std::string(base) + ext);
    }
  }
  config::ApplyListDefaults(settings);

  channel.UpdateTransport();
  if (channel.spooler_transport()) channel.OpenStatusMonitor();
  state.port_usable = channel.TestPrinterPort();
  // The customer display would be greeted here.

  // The restore routine: a fresh start shows its status.
  state.printer_error = false;
  view.ShowDumpState("DUMP NOT DONE", false);
  state.status_display = true;

  Identity identity;
  QtPollTimer timer;
  sl::NoCustomerDisplay display;
  job::SlRenderers renderers(env, dirs, settings, trace, op, display);
  job::PrintRun print({env, trace, op, dirs, settings, state, files, channel, renderers});
  job::IdentificationDump dump({env, trace, state, files, timer, view, channel, identity});
  job::JobCycle cycle({env, trace, op, dirs, settings, state, files, timer, view, print, dump,
                       [&] { channel.ClearPaperEndEpisode(); }});

  bool stop_requested = false;
  const auto shutdown = [&] {
    trace.WriteErrorLog("FINE   PROGRAMM1");
    timer.SetEnabled(false);
    state.closing = true;
    channel.CloseStatusMonitor();
    channel.Generic_ClosePort();
    const std::string ext = settings.FileExtension();
    for (std::string_view base : {job::kSrMatr, job::kSrErr, job::kSrOut, job::kFinesco}) {
      files.VerifyExistenceAndKill(std::string(base) + ext);
    }
    if (settings.Option(config::kNoKillDatiStart)) {
      files.VerifyExistenceAndKill(std::string(job::kSrStart) + ext);
    }
    const Status saved = config::SaveChkComFile(env, dirs, settings);
    if (!saved.ok()) {
      op.ShowMessage("err_SaveChkComFile: " + saved.description() + std::to_string(saved.number()));
    }
    trace.WriteErrorLog("FINE   PROGRAMM3");
    trace.WriteErrorLog("FINE   PROGRAMM4");
    QCoreApplication::quit();
  };
  // A poll that waits (file retries) lets the stop signal in before it has
  // decided on a job: stopping there would print that job after the clean-up.
  bool in_tick = false;
  const auto busy = [&] { return in_tick || state.job_in_progress || state.dump_in_progress; };

  QObject::connect(&timer.timer(), &QTimer::timeout, [&] {
    in_tick = true;
    cycle.Timer21_Timer();
    in_tick = false;
    if (stop_requested && !busy()) shutdown();
  });

  // Signals reach the event loop through a socket pair.
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signal_pipe) != 0) {
    std::cerr << "dovevid: cannot set up signal handling\n";
    return 1;
  }
  ::fcntl(g_signal_pipe[1], F_SETFL, O_NONBLOCK);
  QSocketNotifier notifier(g_signal_pipe[0], QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
    char byte = 0;
    (void)!::read(g_signal_pipe[0], &byte, 1);
    if (stop_requested) return;
    stop_requested = true;
    if (busy()) {
      // Let the job answer; a paper-end wait gives up at once instead of
      // holding the stop for minutes.
      channel.SetPaperEndPauseLimit(0);
      return;
    }
    shutdown();
  });
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);

  std::cout << "dovevid: serving " << dirs.data_dir << " (extension " << settings.FileExtension()
            << ", printer "
            << (channel.transport_kind() == printer::TransportKind::kSerial
                    ? settings.printer_entries[0]
                    : channel.txtDefaultPrinter())
            << ", polling every " << settings.polling_interval_ms << " ms)" << std::endl;

  // The polling timer is armed last: from here on jobs are taken.
  timer.SetInterval(settings.polling_interval_ms);
  timer.SetEnabled(true);
  const int rc = qt.exec();
  ::close(g_signal_pipe[0]);
  ::close(g_signal_pipe[1]);
  return rc;
}

}  // namespace dovevid::app
