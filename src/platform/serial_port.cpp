#include "platform/serial_port.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

#include "base/text.h"
#include "platform/fd_io.h"

namespace dovevid::platform {

namespace {

// Fault numbers of the serial control, as operators and support know them.
constexpr int kInvalidPropertyValue = 380;
constexpr int kPortNotOpen = 8018;

std::optional<speed_t> BaudConstant(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return std::nullopt;
  }
}

}  // namespace

std::optional<SerialSettings> ParseSerialSettings(std::string_view text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    parts.push_back(Trim(text.substr(start, comma == std::string_view::npos ? comma : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (parts.size() != 4) return std::nullopt;
  auto integer = [](const std::string& s) -> std::optional<int> {
    if (s.empty() || s.size() > 7 || s.find_first_not_of("0123456789") != std::string::npos) {
      return std::nullopt;
    }
    return std::stoi(s);
  };
  SerialSettings s;
  const auto baud = integer(parts[0]);
  const auto data = integer(parts[2]);
  const auto stop = integer(parts[3]);
  if (!baud || !BaudConstant(*baud) || !data || !stop || parts[1].size() != 1) return std::nullopt;
  s.baud = *baud;
  s.parity = static_cast<char>(parts[1][0] & ~0x20);  // upper case
  s.data_bits = *data;
  s.stop_bits = *stop;
  if (s.parity != 'N' && s.parity != 'E' && s.parity != 'O') return std::nullopt;
  if (s.data_bits != 7 && s.data_bits != 8) return std::nullopt;
  if (s.stop_bits != 1 && s.stop_bits != 2) return std::nullopt;
  return s;
}

PosixSerialPort::PosixSerialPort(ComPortMap device_paths)
    : PosixSerialPort(std::move(device_paths), Options()) {}

PosixSerialPort::PosixSerialPort(ComPortMap device_paths, Options options)
    : device_paths_(std::move(device_paths)), options_(options) {}

PosixSerialPort::~PosixSerialPort() { (void)Close(); }

std::string PosixSerialPort::DevicePath() const {
  return port_number_ >= 1 ? ComPortDevicePath(port_number_, device_paths_) : std::string();
}

std::string PosixSerialPort::DeviceName(int port_number) const {
  return port_number >= 1 ? ComPortDevicePath(port_number, device_paths_) : std::string();
}

Status PosixSerialPort::Configure(int port_number, std::string_view settings) {
  if (port_number < 1 || port_number > 255) {
    return Status::Error(fault::kInvalidPortNumber, "Invalid port number");
  }
  const auto parsed = ParseSerialSettings(settings);
  if (!parsed) {
    return Status::Error(kInvalidPropertyValue,
                         "Invalid property value: settings \"" + std::string(settings) + "\"");
  }
  if (IsOpen()) {
    if (port_number != port_number_) return Status::Error(fault::kPortAlreadyOpen, "Port already open");
    Status s = Apply(fd_, *parsed);
    if (s.ok()) settings_ = *parsed;
    return s;
  }
  // Check that the device exists, is free and takes the settings, without
  // keeping it open.
  int fd = -1;
  const std::string path = ComPortDevicePath(port_number, device_paths_);
  Status s = OpenDevice(path, &fd);
  if (s.ok()) {
    s = Apply(fd, *parsed);
    ::close(fd);
  }
  if (!s.ok()) return s;
  port_number_ = port_number;
  settings_ = *parsed;
  return Status::OK();
}

Status PosixSerialPort::OpenDevice(const std::string& path, int* out) const {
  int fd = -1;
  if (Status s = OpenExclusive(path, &fd); !s.ok()) return s;
  if (!::isatty(fd)) {
    ::close(fd);
    return Status::Error(fault::kInvalidPortNumber, path + " is not a serial port");
  }
  *out = fd;
  return Status::OK();
}

Status PosixSerialPort::Apply(int fd, const SerialSettings& s) const {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) return ErrnoStatus("tcgetattr", errno);
  ::cfmakeraw(&t);
  const speed_t speed = *BaudConstant(s.baud);
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
  t.c_cflag |= CLOCAL | CREAD | (s.data_bits == 7 ? CS7 : CS8);
  if (s.parity != 'N') t.c_cflag |= PARENB | (s.parity == 'O' ? PARODD : 0);
  if (s.stop_bits == 2) t.c_cflag |= CSTOPB;
  const tcflag_t handshake = options_.xon_xoff ? (IXON | IXOFF) : 0;
  t.c_iflag &= ~(IXANY | IXON | IXOFF);
  t.c_iflag |= handshake;
  t.c_cc[VMIN] = 0;  // reads take what is there and never wait
  t.c_cc[VTIME] = 0;
  t.c_cc[VSTART] = 0x11;
  t.c_cc[VSTOP] = 0x13;
  if (::tcsetattr(fd, TCSANOW, &t) != 0) return ErrnoStatus("tcsetattr", errno);

  // tcsetattr succeeds when any part was applied: check what took.
  termios got{};
  if (::tcgetattr(fd, &got) != 0) return ErrnoStatus("tcgetattr", errno);
  const tcflag_t kChecked = CSIZE | PARENB | PARODD | CSTOPB;
  if (::cfgetospeed(&got) != speed || (got.c_cflag & kChecked) != (t.c_cflag & kChecked) ||
      (got.c_iflag & (IXON | IXOFF | IXANY)) != handshake) {
    return Status::Error(kInvalidPropertyValue,
                         "Invalid property value: the device refuses " + std::to_string(s.baud) +
                             "," + s.parity + "," + std::to_string(s.data_bits) + "," +
                             std::to_string(s.stop_bits));
  }

  int lines = TIOCM_DTR | TIOCM_RTS;
  if (::ioctl(fd, TIOCMBIS, &lines) != 0 && errno != ENOTTY && errno != EINVAL) {
    return ErrnoStatus("DTR/RTS", errno);
  }
  return Status::OK();
}

Status PosixSerialPort::Open() {
  if (IsOpen()) return Status::Error(fault::kPortAlreadyOpen, "Port already open");
  if (port_number_ < 1) return Status::Error(fault::kInvalidPortNumber, "Invalid port number");
  int fd = -1;
  Status s = OpenDevice(DevicePath(), &fd);
  if (!s.ok()) return s;
  s = Apply(fd, settings_);
  if (!s.ok()) {
    ::close(fd);
    return s;
  }
  // Nothing from an earlier session counts: stale input goes, and output
  // stopped by an XOFF the device sent then (the stop outlives a close) is
  // restarted. TCOON alone does not clear a stop on every driver.
  ::tcflush(fd, TCIOFLUSH);
  ::tcflow(fd, TCOOFF);
  ::tcflow(fd, TCOON);
  fd_ = fd;
  return Status::OK();
}

Status PosixSerialPort::Close() {
  if (!IsOpen()) return Status::OK();
  // Wait for the queued output to leave; the device may hold it with XOFF.
  const Status result = DrainOutput(fd_, options_.drain_timeout_ms);
  // Closing would otherwise wait for what is still queued in the kernel.
  if (!result.ok()) ::tcflush(fd_, TCOFLUSH);
  ::close(fd_);
  fd_ = -1;
  return result;
}

Status PosixSerialPort::Write(std::string_view bytes) {
  if (!IsOpen()) return Status::Error(kPortNotOpen, "Operation valid only when the port is open");
  const std::int64_t wire_ms =
      static_cast<std::int64_t>(bytes.size()) * 10 * 1000 / settings_.baud + 1;
  return WriteUntil(fd_, bytes, MonotonicNowMs() + options_.write_timeout_ms + wire_ms,
                    /*socket=*/false);
}

Status PosixSerialPort::Read(std::string* bytes) {
  if (!IsOpen()) return Status::Error(kPortNotOpen, "Operation valid only when the port is open");
  bool end_of_file = false;  // a terminal has no end: nothing arrived
  return ReadAvailable(fd_, bytes, &end_of_file);
}

bool PosixSerialPort::WaitReadable(int ms) { return IsOpen() && PollReadable(fd_, ms); }

}  // namespace dovevid::platform
