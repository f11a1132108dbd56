#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace dovevid::platform {

std::optional<InstanceLock> InstanceLock::Acquire(const std::string& dir, std::string* error) {
  const std::string path = dir + "/" + kInstanceLockFileName;
  // Group-writable: the service, the window's user and a command run by root
  // share the directory through its group, and each must take the lock in turn.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0664);
  if (fd < 0) {
    *error = path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    *error = err == EWOULDBLOCK ? "another server is running on " + dir
                                : path + ": " + std::strerror(err);
    return std::nullopt;
  }
  // The holder's pid, for whoever wonders who holds it.
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) (void)!::write(fd, pid.data(), pid.size());
  return InstanceLock(fd);
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace dovevid::platform
