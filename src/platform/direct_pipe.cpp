#include "platform/direct_pipe.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/fd_io.h"
#include "platform/user_settings.h"

namespace dovevid::platform {

namespace {

constexpr int kNotConnected = 8018;

// One non-blocking connect attempt to `ai` until `deadline_ms`.
Status ConnectOne(const addrinfo& ai, std::int64_t deadline_ms, int* out) {
  const int fd =
      ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol);
  if (fd < 0) return ErrnoStatus("socket", errno);
  int err = ::connect(fd, ai.ai_addr, ai.ai_addrlen) == 0 ? 0 : errno;
  if (err == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    const auto left = std::max<std::int64_t>(0, deadline_ms - MonotonicNowMs());
    socklen_t len = sizeof err;
    err = ::poll(&p, 1, static_cast<int>(left)) <= 0 ? ETIMEDOUT : 0;
    if (err == 0) ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
  }
  if (err != 0) {
    ::close(fd);
    return ErrnoStatus("connect", err);
  }
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  *out = fd;
  return Status::OK();
}

}  // namespace

DirectPipe::DirectPipe(printer::DirectUri uri, Options options)
    : uri_(std::move(uri)), options_(options) {}

DirectPipe::~DirectPipe() { (void)Close(); }

std::string DirectPipe::Where() const {
  return tcp() ? "socket://" + uri_.host + ":" + std::to_string(uri_.port) : uri_.path;
}

Status DirectPipe::Open() {
  if (IsOpen()) return Status::Error(fault::kPortAlreadyOpen, "Port already open");
  lost_ = Status::OK();
  int fd = -1;
  const Status s = tcp() ? Connect(&fd) : OpenDevice(&fd);
  if (s.ok()) fd_ = fd;
  return s;
}

Status DirectPipe::Connect(int* fd) const {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc =
      ::getaddrinfo(uri_.host.c_str(), std::to_string(uri_.port).c_str(), &hints, &found);
  if (rc != 0) {
    return Status::Error(fault::kDeviceIo, Where() + ": " + ::gai_strerror(rc));
  }
  const std::int64_t deadline = MonotonicNowMs() + options_.connect_timeout_ms;
  Status s = Status::Error(fault::kDeviceIo, Where() + ": no address");
  for (const addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
    s = ConnectOne(*ai, deadline, fd);
    if (s.ok()) break;
    s = Status::Error(s.number(), Where() + ": " + s.description());
  }
  ::freeaddrinfo(found);
  return s;
}

Status DirectPipe::OpenDevice(int* out) const {
  int fd = -1;
  if (Status s = OpenExclusive(uri_.path, &fd); !s.ok()) return s;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
    ::close(fd);
    return Status::Error(fault::kInvalidPortNumber, uri_.path + " is not a character device");
  }
  // A terminal would translate line ends and eat control bytes.
  termios t{};
  if (::tcgetattr(fd, &t) == 0) {
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    ::tcflush(fd, TCIFLUSH);
  }
  *out = fd;
  return Status::OK();
}

Status DirectPipe::Lost(Status why) {
  ::close(fd_);
  fd_ = -1;
  lost_ = Status::Error(why.number(), Where() + ": " + why.description());
  return lost_;
}

Status DirectPipe::Close() {
  if (IsOpen()) {
    Status result = DrainOutput(fd_, options_.drain_timeout_ms);
    int err = 0;
    socklen_t len = sizeof err;
    if (result.ok() && tcp() && ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err) {
      result = ErrnoStatus("connection", err);
    }
    if (result.ok()) {
      ::close(fd_);
      fd_ = -1;
    } else {
      Lost(result);
    }
  }
  return std::exchange(lost_, Status::OK());
}

Status DirectPipe::Write(std::string_view bytes) {
  if (!IsOpen()) {
    return lost_.ok() ? Status::Error(kNotConnected, Where() + ": not connected") : lost_;
  }
  const Status s = WriteUntil(fd_, bytes, MonotonicNowMs() + options_.write_timeout_ms, tcp());
  return s.ok() ? s : Lost(s);
}

Status DirectPipe::Read(std::string* bytes) {
  if (!IsOpen()) {
    return lost_.ok() ? Status::Error(kNotConnected, Where() + ": not connected") : lost_;
  }
  bool end_of_file = false;
  const Status s = ReadAvailable(fd_, bytes, &end_of_file);
  if (!s.ok()) return Lost(s);
  // A device has no end; a connection the printer closed is over.
  if (end_of_file && tcp()) {
    return Lost(Status::Error(fault::kDeviceIo, "the printer closed the connection"));
  }
  return s;
}

bool DirectPipe::WaitReadable(int ms) { return IsOpen() && PollReadable(fd_, ms); }

std::vector<printer::DirectPrinter> ConfiguredDirectPrinters(
    const std::vector<printer::DirectPrinter>& command_line, std::vector<std::string>* problems) {
  std::vector<printer::DirectPrinter> printers;
  for (const auto& [name, uri] : ReadPrinterEntries()) {
    if (const auto why = printer::DirectPrinterProblem(name, uri)) {
      problems->push_back("[Printers] " + *why);
    } else {
      printers.push_back({name, uri});
    }
  }
  for (const printer::DirectPrinter& p : command_line) {
    const auto same = std::find_if(printers.begin(), printers.end(),
                                   [&](const auto& q) { return q.name == p.name; });
    if (same != printers.end()) {
      same->uri = p.uri;
    } else {
      printers.push_back(p);
    }
  }
  return printers;
}

}  // namespace dovevid::platform
