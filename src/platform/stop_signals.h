// SIGTERM and SIGINT (stop) and SIGHUP (reload the configuration files)
// delivered to the event loop: the handler only writes a byte to a socket
// pair, and the loop reads it and runs the callback, so neither ever
// interrupts a job half-way.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace dovevid::platform {

class StopSignals {
 public:
  // Installs the handlers; nothing, with *error, when it cannot. One
  // instance per process.
  static std::unique_ptr<StopSignals> Install(std::function<void()> on_stop,
                                              std::function<void()> on_reload, std::string* error);
  virtual ~StopSignals() = default;
};

}  // namespace dovevid::platform
