#include "app/remote.h"

#include <iostream>
#include <optional>

#include "app/server_host.h"
#include "base/operator.h"
#include "platform/control_socket.h"
#include "platform/instance_lock.h"
#include "platform/posix_env.h"
#include "platform/qt_poll_timer.h"

namespace dovevid::app {

namespace {

job::ControlReply Failure(std::string text) { return {1, "", "dovevid: " + text + "\n"}; }

// The request carried out by a server of this process that is loaded but
// never started: no polling, no job-file clean-up.
job::ControlReply RunLocally(const CommonOptions& common, const config::Directories& dirs,
                             const std::vector<std::string>& request, job::StatusView* shown) {
  SilentOperator op;  // messages reach the reply
  job::StatusView silent;
  platform::QtPollTimer timer;
  ServerHost host(common, dirs, op, shown ? *shown : silent, timer);
  job::Server& server = host.server();
  server.Load(false);
  server.channel().OpenStatusMonitor();
  job::ControlReply reply = server.Execute(request);
  server.channel().CloseStatusMonitor();
  return reply;
}

}  // namespace

RequestResult SendRequest(const CommonOptions& common, const std::vector<std::string>& request,
                          const RequestOptions& options) {
  RequestResult result;
  platform::PosixEnv env;
  std::string error;
  const std::optional<config::Directories> dirs = ResolveDirectories(env, common, &error);
  if (!dirs) {
    result.reply = Failure(error);
    return result;
  }
  result.data_dir = dirs->data_dir;
  const std::string socket = ControlSocketPath(*dirs);
  switch (platform::CallServer(socket, request, options.timeout_ms, &result.reply, &error)) {
    case platform::CallOutcome::kReplied: result.route = RequestRoute::kServer; return result;
    case platform::CallOutcome::kFailed: result.reply = Failure(error); return result;
    case platform::CallOutcome::kNoServer: break;
  }
  std::optional<platform::InstanceLock> lock;
  if (options.needs_server || options.exclusive) {
    lock = platform::InstanceLock::Acquire(dirs->data_dir, &error);
    if (!lock) {
      // Held, yet nobody answers on the socket: another command at work, or
      // a server starting up or stuck.
      result.reply = Failure(error + ", but nothing answers on " + socket +
                             " (a command still at work, or a server starting or stuck); "
                             "try again");
      return result;
    }
  }
  if (options.needs_server) {
    result.route = RequestRoute::kNoServer;
    return result;
  }
  result.reply = RunLocally(common, *dirs, request, options.view);
  result.route = RequestRoute::kLocal;
  return result;
}

int PrintReply(const RequestResult& result) {
  std::cout << result.reply.out << std::flush;
  std::cerr << result.reply.err << std::flush;
  return result.reply.exit_code;
}

}  // namespace dovevid::app
