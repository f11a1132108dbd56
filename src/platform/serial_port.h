// The serial port on POSIX termios.
//
// Handshaking is XON/XOFF in both directions (IXON | IXOFF) without IXANY
// unless Options turn it off (the customer display has none):
// the printer stops our output with XOFF, and its status replies (which are
// never 0x11 or 0x13) must not restart it. Output data is not escaped, so
// the bytes 0x11 and 0x13 reach the device unchanged; a printer that itself
// takes XON/XOFF from the host would read them as flow control, the same
// limitation every ESC/POS printer with this handshake has.
//
// A pseudo terminal works too (the virtual printer): its DTR/RTS ioctls fail
// with ENOTTY, which is tolerated, and it only takes 8 data bits without
// parity, so other settings are refused there.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/com_ports.h"
#include "printer/transport.h"

namespace dovevid::platform {

// "9600,N,8,1": baud rate, parity letter (N, O, E), data bits (7, 8), stop
// bits (1, 2).
struct SerialSettings {
  int baud = 9600;
  char parity = 'N';
  int data_bits = 8;
  int stop_bits = 1;
};
std::optional<SerialSettings> ParseSerialSettings(std::string_view text);

class PosixSerialPort : public printer::SerialPort {
 public:
  struct Options {
    // How long a write may wait for the device to take its bytes (beyond
    // their time on the wire) before it fails.
    int write_timeout_ms = 10000;
    // How long Close() waits for queued output to leave.
    int drain_timeout_ms = 5000;
    // XON/XOFF handshaking; without it every byte from the device is input.
    bool xon_xoff = true;
  };

  explicit PosixSerialPort(ComPortMap device_paths);
  PosixSerialPort(ComPortMap device_paths, Options options);
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  Status Configure(int port_number, std::string_view settings) override;
  Status Open() override;
  Status Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
  Status Write(std::string_view bytes) override;
  Status Read(std::string* bytes) override;
  bool WaitReadable(int ms) override;
  std::string DeviceName(int port_number) const override;

  // The device of the configured port (empty before Configure()).
  std::string DevicePath() const;

 private:
  Status OpenDevice(const std::string& path, int* fd) const;
  Status Apply(int fd, const SerialSettings& s) const;

  ComPortMap device_paths_;
  Options options_;
  int port_number_ = 0;
  SerialSettings settings_;
  int fd_ = -1;
};

}  // namespace dovevid::platform
