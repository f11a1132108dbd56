// The customer display's serial line on POSIX termios: the serial port of
// the printer without handshaking, with short bounds, so a display that is
// missing, unplugged or stalled costs a receipt a fraction of a second at
// most, never the receipt.
#pragma once

#include <string_view>

#include "display/customer_display.h"
#include "platform/com_ports.h"
#include "platform/serial_port.h"

namespace dovevid::platform {

class PosixDisplayLink : public display::SerialLink {
 public:
  // How long a write may wait for the device beyond the bytes' time on the
  // wire (a pseudo terminal nobody reads, a device holding the line).
  static constexpr int kWriteBoundMs = 200;

  explicit PosixDisplayLink(ComPortMap device_paths);

  Status Open(int port_number, std::string_view settings) override;
  bool IsOpen() const override { return port_.IsOpen(); }
  Status Write(std::string_view bytes) override { return port_.Write(bytes); }
  void Close() override { (void)port_.Close(); }

 private:
  PosixSerialPort port_;
};

}  // namespace dovevid::platform
