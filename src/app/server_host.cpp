#include "app/server_host.h"

#include <unistd.h>

#include <QCoreApplication>

#include "platform/com_ports.h"
#include "platform/control_socket.h"
#include "platform/cups_spooler.h"
#include "platform/cups_status.h"
#include "platform/direct_pipe.h"
#include "platform/display_link.h"
#include "platform/identification.h"
#include "platform/image_reader.h"
#include "platform/posix_env.h"
#include "platform/serial_port.h"
#include "platform/user_settings.h"

namespace dovevid::app {

namespace {

class Identity : public job::IdentitySource {
 public:
  std::string GetMacText() override { return platform::GetMacText(); }
  std::optional<std::int32_t> VolumeSerialNumber() override {
    return platform::VolumeSerialNumber("/");
  }
};

}  // namespace

struct ServerHost::Parts {
  Parts(const CommonOptions& common, const config::Directories& dirs, Operator& op,
        job::StatusView& view, job::PollTimer& timer)
      : com_ports(platform::ComPortOverrides(common.com)),
        serial(com_ports),
        monitor(spooler),
        direct(platform::ConfiguredDirectPrinters(common.printers, &problems)),
        display_link(com_ports),
        server({env, op, view, timer, serial, spooler, monitor, direct, identity, display_link,
                static_cast<int>(::getpid()),
                [this](int n) { return platform::ComPortDevicePath(n, com_ports); }, &reader,
                LogoOptions()},
               dirs) {}

  static logo::ConvertOptions LogoOptions() {
    logo::ConvertOptions options;
    options.paper_width_dots = platform::ReadLogoPaperWidth().value_or(logo::kDefaultPaperWidthDots);
    return options;
  }

  platform::PosixEnv env{[] { QCoreApplication::processEvents(); }};
  platform::ComPortMap com_ports;
  platform::PosixSerialPort serial;
  platform::CupsSpooler spooler;
  platform::CupsStatusMonitor monitor;
  // Entries of [Printers] or --printer that could not be used.
  std::vector<std::string> problems;
  platform::DirectPipes direct;
  Identity identity;
  platform::PosixDisplayLink display_link;
  platform::QtImageReader reader{env};
  job::Server server;
};

ServerHost::ServerHost(const CommonOptions& common, const config::Directories& dirs,
                       Operator& op, job::StatusView& view, job::PollTimer& timer)
    : parts_(std::make_unique<Parts>(common, dirs, op, view, timer)) {
  for (const std::string& p : parts_->problems) op.ShowMessage(p);
}

ServerHost::~ServerHost() = default;

job::Server& ServerHost::server() { return parts_->server; }
Env& ServerHost::env() { return parts_->env; }

std::string ControlSocketPath(const config::Directories& dirs) {
  return JoinPath(dirs.data_dir, platform::kControlSocketName);
}

DirectoryListeners::DirectoryListeners(std::string dir, job::Server& server, Listen listen)
    : dir_(std::move(dir)), server_(server), listen_(std::move(listen)) {}

bool DirectoryListeners::Open(std::string* error, std::string* watch_error) {
  control_.reset();  // closing removes the socket's path: before the new one is made
  control_ = listen_(error);
  watcher_ = platform::FileWatcher::Watch(
      dir_, [this](std::string_view name) { server_.OnFileAppeared(name); }, watch_error);
  return control_ != nullptr;
}

std::string DirectoryListeners::Reopen() {
  std::string error, watch_error;
  return Open(&error, &watch_error) ? "" : "without a control socket: " + error;
}

void TakeOverIfReplaced(Env& env, const std::string& dir,
                        std::optional<platform::InstanceLock>& lock, Operator& op,
                        const std::function<std::string()>& reopen,
                        const std::function<void()>& stop) {
  if (!lock->Replaced(dir) || !env.DirectoryExists(dir)) return;
  std::string error;
  std::optional<platform::InstanceLock> again = platform::InstanceLock::Acquire(dir, &error);
  if (!again) {
    op.ShowMessage(error + ": this server stops");
    stop();
    return;
  }
  lock = std::move(again);
  const std::string failed = reopen();
  op.ShowMessage("data directory " + dir + " made again: serving the new one" +
                 (failed.empty() ? "" : ", " + failed));
}

}  // namespace dovevid::app
