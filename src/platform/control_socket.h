// The control socket of a running server: a Unix-domain socket in the data
// directory, open to the server's user and group only. Each connection
// carries one request and gets one reply (job/control.h); the server side
// never blocks on a client, and drops clients that send garbage, too much or
// too slowly.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "job/control.h"

namespace dovevid::platform {

inline constexpr char kControlSocketName[] = "DOVEVID.SOCK";

// A request must arrive whole within this time after the connection.
inline constexpr int kControlRequestTimeoutMs = 5000;

class ControlServer {
 public:
  using Reply = std::function<void(const job::ControlReply&)>;
  // Called on the event loop for every complete request; `reply` may be
  // called later (a queued request), or never if the client has gone.
  using Handler = std::function<void(std::vector<std::string> request, Reply reply)>;

  // Listens at `path`, replacing a stale socket there (the caller holds the
  // instance lock, so no live server owns it). Nothing, with *error, when
  // it cannot.
  static std::unique_ptr<ControlServer> Listen(const std::string& path, Handler handler,
                                               std::string* error);
  virtual ~ControlServer() = default;
};

enum class CallOutcome {
  kReplied,
  kNoServer,  // nobody listens at the path
  kFailed,    // connected, but no complete reply (*error says why)
};

// Sends `request` to the server at `path` and waits up to `timeout_ms` for
// its reply.
CallOutcome CallServer(const std::string& path, const std::vector<std::string>& request,
                       int timeout_ms, job::ControlReply* reply, std::string* error);

}  // namespace dovevid::platform
