// Running a request on the server that serves a data directory, or, when no
// server runs there, on its files and port directly (holding the server's
// lock meanwhile, so no second process ever drives the same port or writes
// the same settings).
#pragma once

#include <string>
#include <vector>

#include "app/options.h"
#include "job/control.h"
#include "job/server_state.h"

namespace dovevid::app {

enum class RequestRoute {
  kServer,    // the running server answered
  kLocal,     // no server: carried out here
  kNoServer,  // no server, and the request needs one
  kFailed,    // reply.err says why
};

struct RequestOptions {
  // The request needs a running server (status, test receipt).
  bool needs_server = false;
  // The request changes state or drives the printer: without a server it
  // runs under the server's lock.
  bool exclusive = true;
  int timeout_ms = 600000;
  // What a request carried out here shows meanwhile (the logo's progress);
  // a running server shows it on its own view.
  job::StatusView* view = nullptr;
};

struct RequestResult {
  RequestRoute route = RequestRoute::kFailed;
  job::ControlReply reply;
  std::string data_dir;
};

RequestResult SendRequest(const CommonOptions& common, const std::vector<std::string>& request,
                          const RequestOptions& options);

// Prints the reply's texts and returns its exit code (1 after a failure).
int PrintReply(const RequestResult& result);

}  // namespace dovevid::app
