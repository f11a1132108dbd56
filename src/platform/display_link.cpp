#include "platform/display_link.h"

#include <utility>

namespace dovevid::platform {

namespace {
PosixSerialPort::Options DisplayOptions() {
  PosixSerialPort::Options o;
  o.write_timeout_ms = PosixDisplayLink::kWriteBoundMs;
  o.drain_timeout_ms = PosixDisplayLink::kWriteBoundMs;
  o.xon_xoff = false;
  return o;
}
}  // namespace

PosixDisplayLink::PosixDisplayLink(ComPortMap device_paths)
    : port_(std::move(device_paths), DisplayOptions()) {}

Status PosixDisplayLink::Open(int port_number, std::string_view settings) {
  const Status configured = port_.Configure(port_number, settings);
  return configured.ok() ? port_.Open() : configured;
}

}  // namespace dovevid::platform
