// The machine's pieces a server runs on (files and clock, serial port, CUPS,
// identity sources), put together once for every front end: the headless
// service, the window program, and the commands that act on a data
// directory no server is serving.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/options.h"
#include "base/operator.h"
#include "config/files.h"
#include "job/server.h"
#include "job/server_state.h"
#include "platform/control_socket.h"
#include "platform/file_watcher.h"
#include "platform/instance_lock.h"

namespace dovevid::app {

class ServerHost {
 public:
  // `op`, `view` and `timer` belong to the front end and must outlive it.
  ServerHost(const CommonOptions& common, const config::Directories& dirs, Operator& op,
             job::StatusView& view, job::PollTimer& timer);
  ~ServerHost();

  job::Server& server();
  Env& env();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

// Where the control socket of the server of `dirs` is.
std::string ControlSocketPath(const config::Directories& dirs);

// The served data directory's control socket and its watch for start files
// (a start file is taken as soon as it appears; the timer still polls).
class DirectoryListeners {
 public:
  using Listen = std::function<std::unique_ptr<platform::ControlServer>(std::string* error)>;
  DirectoryListeners(std::string dir, job::Server& server, Listen listen);
  // False, with *error, without a control socket; *watch_error is set when
  // the directory cannot be watched (jobs then wait for the polling timer).
  bool Open(std::string* error, std::string* watch_error);
  // Both made again on the directory as it is now: what failed, or nothing.
  std::string Reopen();

 private:
  std::string dir_;
  job::Server& server_;
  Listen listen_;
  std::unique_ptr<platform::ControlServer> control_;
  std::unique_ptr<platform::FileWatcher> watcher_;
};

// A data directory removed and made again would leave the server unseen by
// every command and unlocked for a second one: the new directory is taken
// over, its lock first, then `reopen` (the control socket and the watch,
// telling what failed). Locked by another server, it is that one's: `stop`.
// Called at every polling tick.
void TakeOverIfReplaced(Env& env, const std::string& dir,
                        std::optional<platform::InstanceLock>& lock, Operator& op,
                        const std::function<std::string()>& reopen,
                        const std::function<void()>& stop);

}  // namespace dovevid::app
