#include "app/window_program.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "app/options.h"
#include "app/server_host.h"
#include "gui/desktop.h"
#include "gui/main_window.h"
#include "gui/splash.h"
#include "platform/control_socket.h"
#include "platform/file_watcher.h"
#include "platform/instance_lock.h"
#include "platform/posix_env.h"
#include "platform/qt_poll_timer.h"
#include "platform/stop_signals.h"

namespace dovevid::app {

namespace {

constexpr char kUsage[] =
    "usage: dovevid [--data-dir DIR] [--app-dir DIR] [--com N=PATH ...] [--printer NAME=URI ...]\n"
    "\n"
    "Runs the print server with its settings window and notification-area icon\n"
    "(see 'dovevid help' for the server without a window and the commands).\n"
    "Minimising the window hides it; a double click on the icon brings it back,\n"
    "and so does starting dovevid again on the same data directory. Closing the\n"
    "window or \"Terminate\" stops the server after the job in progress.\n"
    "\n"
    "Exit status: 0 after a clean stop or when the running program was asked to\n"
    "show its window, 1 when the data directory is missing, 2 on bad usage,\n"
    "3 when a server without a window holds the data directory.\n";

// The request a second start sends to the running program.
const std::vector<std::string> kShowWindow = {"show-window"};

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* v = std::getenv(name);
    if (v != nullptr && *v != '\0') return true;
  }
  return false;
}

// Another process holds the data directory: ask it for its window. It may
// be starting still, so its socket gets a few seconds to appear.
int ShowRunningWindow(const config::Directories& dirs) {
  job::ControlReply reply;
  std::string error;
  for (int attempt = 0; attempt < 50; ++attempt) {
    switch (platform::CallServer(ControlSocketPath(dirs), kShowWindow, 5000, &reply, &error)) {
      case platform::CallOutcome::kReplied:
        if (reply.exit_code == 0) return 0;
        std::cerr << "dovevid: a server without a window serves " << dirs.data_dir
                  << "; stop it first (or use 'dovevid status')\n";
        return 3;
      case platform::CallOutcome::kNoServer:
        QThread::msleep(100);
        continue;
      case platform::CallOutcome::kFailed:
        break;
    }
    break;
  }
  std::cerr << "dovevid: another process holds " << dirs.data_dir << " and does not answer "
            << error << '\n';
  return 3;
}

void Fail(const QString& title, const std::string& text) {
  std::cerr << "dovevid: " << text << '\n';
  QMessageBox::warning(nullptr, title, QString::fromLocal8Bit(text.c_str()));
}

// The options of the window program; an exit code when it cannot start.
std::optional<int> ReadArguments(const std::vector<std::string>& args, CommonOptions* common) {
  std::vector<std::string> rest;
  std::string error;
  if (!TakeCommonOptions(args, common, &rest, &error)) {
    std::cerr << "dovevid: " << error << '\n' << kUsage;
    return 2;
  }
  for (const std::string& a : rest) {
    std::cerr << "dovevid: unknown argument '" << a << "'\n" << kUsage;
    return 2;
  }
  if (!HasDisplay()) {
    std::cerr << "dovevid: no display to show the window on; 'dovevid --headless' runs the "
                 "server without one\n";
    return 2;
  }
  return std::nullopt;
}

// The control socket: a second start asks for the window, commands go to the
// server.
std::unique_ptr<platform::ControlServer> ListenForRequests(const config::Directories& dirs,
                                                           gui::Desktop& desktop,
                                                           job::Server& server,
                                                           std::string* error) {
  return platform::ControlServer::Listen(
      ControlSocketPath(dirs),
      [desktop = &desktop, server = &server](std::vector<std::string> request,
                                             platform::ControlServer::Reply reply) {
        if (request == kShowWindow) {
          desktop->ShowWindow();
          reply({});
          return;
        }
        server->HandleRequest(std::move(request), std::move(reply));
      },
      error);
}

// The window, the tray icon and the server on the locked data directory,
// until the program ends.
int ServeWithWindow(const CommonOptions& common, const config::Directories& dirs, Env& env,
                    std::optional<platform::InstanceLock>& lock) {
  std::string error;
  auto* splash = new gui::Splash;
  splash->show();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QApplication::processEvents();

  gui::Desktop desktop;
  platform::QtPollTimer timer;
  ServerHost host(common, dirs, desktop.op(), desktop.view(), timer);
  job::Server& server = host.server();
  QObject::connect(&timer.timer(), &QTimer::timeout, [&] { server.OnPollTick(); });
  desktop.Open(server);
  desktop.SetOnStopped([] { QCoreApplication::quit(); });

  const QString load_error = QStringLiteral("Errore durante il caricamento dell'applicazione");
  const auto stop_signals = platform::StopSignals::Install(
      [&] { desktop.Terminate(); }, [&] { server.RequestReload(); }, &error);
  DirectoryListeners listeners(dirs.data_dir, server, [&](std::string* reason) {
    return ListenForRequests(dirs, desktop, server, reason);
  });
  std::string watch_error;
  if (!stop_signals || !listeners.Open(&error, &watch_error)) {
    splash->close();
    QApplication::restoreOverrideCursor();
    Fail(load_error, error);
    return 1;
  }

  if (!watch_error.empty()) {
    desktop.op().ShowMessage(watch_error + " (jobs wait for the polling timer)");
  }
  QObject::connect(&timer.timer(), &QTimer::timeout, [&] {
    TakeOverIfReplaced(
        env, dirs.data_dir, lock, desktop.op(), [&] { return listeners.Reopen(); },
        [&] { desktop.Terminate(); });
  });

  desktop.Start();
  splash->close();
  QApplication::restoreOverrideCursor();
  return QApplication::exec();
}

}  // namespace

int RunWindowProgram(int argc, char** argv, const std::vector<std::string>& args) {
  CommonOptions common;
  if (const auto exit_code = ReadArguments(args, &common)) return *exit_code;
  std::string error;

  QApplication qt(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);  // the window hides in the tray
  platform::PosixEnv env;
  const std::optional<config::Directories> dirs = ResolveDirectories(env, common, &error);
  if (!dirs) {
    Fail(QStringLiteral("DovEvid1"), error);
    return 1;
  }
  std::optional<platform::InstanceLock> lock =
      platform::InstanceLock::Acquire(dirs->data_dir, &error);
  if (!lock) return ShowRunningWindow(*dirs);

  return ServeWithWindow(common, *dirs, env, lock);
}

}  // namespace dovevid::app
