// The machine's pieces a server runs on (files and clock, serial port, CUPS,
// identity sources), put together once for every front end: the headless
// service, the window program, and the commands that act on a data
// directory no server is serving.
#pragma once

#include <memory>

#include "app/options.h"
#include "base/operator.h"
#include "config/files.h"
#include "job/server.h"
#include "job/server_state.h"

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

}  // namespace dovevid::app
