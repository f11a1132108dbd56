#include "app/headless.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>

#include "app/options.h"
#include "app/server_host.h"
#include "base/log.h"
#include "base/text.h"
#include "job/server.h"
#include "platform/control_socket.h"
#include "platform/file_watcher.h"
#include "platform/instance_lock.h"
#include "platform/posix_env.h"
#include "platform/qt_poll_timer.h"
#include "platform/stop_signals.h"

namespace dovevid::app {

namespace {

constexpr char kUsage[] =
    "usage: dovevid --headless [--data-dir DIR] [--app-dir DIR] [--com N=PATH ...]\n"
    "                          [--printer NAME=URI ...]\n"
    "\n"
    "Runs the print server without a window: polls the data directory for\n"
    "SR_START, prints SR_DATI on the configured printer (serial COM port, CUPS\n"
    "queue or direct printer, see 'dovevid settings') and answers with SR_OUT\n"
    "and FINESCO or SR_ERR. One server per data directory (it locks the\n"
    "directory); commands reach it through its control socket\n"
    "DOVEVID.SOCK there (see 'dovevid status', 'dovevid printer').\n"
    "Operator messages go to standard error and, with \"Trace enable\", to the\n"
    "trace log; finished jobs are reported on standard output.\n"
    "SIGHUP reads the configuration files again (between jobs).\n"
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

// Operator messages: never wait for anyone.
class StderrOperator : public Operator {
 public:
  void ShowMessage(std::string_view text) override {
    std::cerr << "dovevid: " << text << std::endl;
    if (trace) trace->WriteErrorLog(text);
  }
  TraceLog* trace = nullptr;
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

std::optional<int> PaperEndPauses() {
  const char* v = std::getenv(kPaperEndPausesVariable);
  if (v == nullptr || !IsNumeric(v) || Val(v) < 0) return std::nullopt;
  return static_cast<int>(std::min<long long>(RoundHalfEven(Val(v)), 1000000));
}

// The options of the service; an exit code when it ends here (help, bad usage).
std::optional<int> ReadArguments(const std::vector<std::string>& args, CommonOptions* common) {
  std::vector<std::string> rest;
  std::string error;
  if (!TakeCommonOptions(args, common, &rest, &error)) {
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
  return std::nullopt;
}

// The line that tells the service is up and what it serves.
void AnnounceServing(const config::Directories& dirs, job::Server& server) {
  const config::Settings& settings = server.settings();
  std::cout << "dovevid: serving " << dirs.data_dir << " (extension " << settings.FileExtension()
            << ", printer "
            << (server.channel().transport_kind() == printer::TransportKind::kSerial
                    ? settings.printer_entries[0]
                    : settings.SelectedPrinterName())
            << ", polling every " << settings.polling_interval_ms << " ms)" << std::endl;
}

// Serves the data directory until a stop: the server, its signals, its
// control socket and its start-file watch.
int Serve(Env& env, const CommonOptions& common, const config::Directories& dirs,
          std::optional<platform::InstanceLock>& lock) {
  std::string error;
  StderrOperator op;
  StdoutStatusView view;
  platform::QtPollTimer timer;
  ServerHost host(common, dirs, op, view, timer);
  job::Server& server = host.server();
  op.trace = &server.trace();
  if (const auto pauses = PaperEndPauses()) server.channel().SetPaperEndPauseLimit(*pauses);
  QObject::connect(&timer.timer(), &QTimer::timeout, [&] { server.OnPollTick(); });
  const auto stop = [&] { server.RequestStop([] { QCoreApplication::quit(); }); };
  const auto stop_signals =
      platform::StopSignals::Install(stop, [&] { server.RequestReload(); }, &error);
  if (!stop_signals) {
    std::cerr << "dovevid: " << error << '\n';
    return 1;
  }
  DirectoryListeners listeners(dirs.data_dir, server, [&](std::string* reason) {
    return platform::ControlServer::Listen(
        ControlSocketPath(dirs),
        [&](std::vector<std::string> request, platform::ControlServer::Reply reply) {
          server.HandleRequest(std::move(request), std::move(reply));
        },
        reason);
  });
  std::string watch_error;
  if (!listeners.Open(&error, &watch_error)) {
    std::cerr << "dovevid: control socket: " << error << '\n';
    return 1;
  }
  if (!watch_error.empty()) {
    std::cerr << "dovevid: " << watch_error << " (jobs wait for the polling timer)\n";
  }
  const auto reopen = [&] { return listeners.Reopen(); };
  QObject::connect(&timer.timer(), &QTimer::timeout,
                   [&] { TakeOverIfReplaced(env, dirs.data_dir, lock, op, reopen, stop); });
  server.Start();
  AnnounceServing(dirs, server);
  return QCoreApplication::exec();
}

}  // namespace

int RunHeadless(int argc, char** argv, const std::vector<std::string>& args) {
  CommonOptions common;
  if (const auto exit_code = ReadArguments(args, &common)) return *exit_code;
  std::string error;
  QCoreApplication qt(argc, argv);
  platform::PosixEnv env;
  // Data directory first: the lock lives there.
  const std::optional<config::Directories> dirs = ResolveDirectories(env, common, &error);
  if (!dirs) {
    std::cerr << "dovevid: " << error << '\n';
    return 1;
  }
  std::optional<platform::InstanceLock> lock = platform::InstanceLock::Acquire(dirs->data_dir, &error);
  if (!lock) {
    std::cerr << "dovevid: " << error << '\n';
    return 3;
  }
  return Serve(env, common, *dirs, lock);
}

}  // namespace dovevid::app
