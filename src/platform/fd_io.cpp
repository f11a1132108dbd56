#include "platform/fd_io.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace dovevid::platform {

std::int64_t MonotonicNowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

Status ErrnoStatus(const std::string& what, int err) {
  return Status::Error(fault::kDeviceIo, what + ": " + std::strerror(err));
}

Status OpenExclusive(const std::string& path, int* out) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    if (err == EBUSY) return Status::Error(fault::kPortAlreadyOpen, "Port already open");
    return ErrnoStatus(path, err);
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK) return Status::Error(fault::kPortAlreadyOpen, "Port already open");
    return ErrnoStatus(path, err);
  }
  *out = fd;
  return Status::OK();
}

Status WriteUntil(int fd, std::string_view bytes, std::int64_t deadline_ms, bool socket) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = socket ? ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                             : ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return ErrnoStatus("write", errno);
    // The output queue is full or stopped: wait for room.
    const std::int64_t left = deadline_ms - MonotonicNowMs();
    if (left <= 0) {
      return Status::Error(fault::kDeviceIo, "Write timeout: the device took " +
                                                 std::to_string(done) + " of " +
                                                 std::to_string(bytes.size()) + " bytes");
    }
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, static_cast<int>(std::min<std::int64_t>(left, 100))) < 0 && errno != EINTR) {
      return ErrnoStatus("poll", errno);
    }
  }
  return Status::OK();
}

Status ReadAvailable(int fd, std::string* bytes, bool* end_of_file) {
  *end_of_file = false;
  char buf[512];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      bytes->append(buf, static_cast<std::size_t>(n));
      continue;
    }
    if (n == 0) *end_of_file = true;
    if (n == 0 || errno == EAGAIN) return Status::OK();
    if (errno == EINTR) continue;
    return ErrnoStatus("read", errno);
  }
}

bool PollReadable(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  const int n = ::poll(&p, 1, ms);
  return n > 0 && (p.revents & POLLIN) != 0;
}

Status DrainOutput(int fd, int timeout_ms) {
  const std::int64_t deadline = MonotonicNowMs() + timeout_ms;
  for (;;) {
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0) {
      // No queue to look at (a printer-class device): its last write has been
      // taken once it is writable again.
      pollfd p{fd, POLLOUT, 0};
      const auto left = std::max<std::int64_t>(0, deadline - MonotonicNowMs());
      if (::poll(&p, 1, static_cast<int>(left)) > 0 && (p.revents & POLLOUT) != 0 &&
          (p.revents & (POLLERR | POLLHUP)) == 0) {
        return Status::OK();
      }
      return Status::Error(fault::kDeviceIo, "Output not delivered: the device took no more");
    }
    if (queued <= 0) return Status::OK();
    if (MonotonicNowMs() >= deadline) {
      return Status::Error(fault::kDeviceIo, "Output not delivered: " + std::to_string(queued) +
                                                 " bytes still queued at close");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace dovevid::platform
