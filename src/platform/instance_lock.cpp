#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace dovevid::platform {

std::optional<InstanceLock> InstanceLock::Acquire(const std::string& dir, std::string* error) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    *error = dir + ": " + std::strerror(errno);
    return std::nullopt;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    *error = err == EWOULDBLOCK ? "another server is running on " + dir
                                : dir + ": " + std::strerror(err);
    return std::nullopt;
  }
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

bool InstanceLock::Replaced(const std::string& dir) const {
  struct stat locked {}, now {};
  return ::fstat(fd_, &locked) != 0 || ::stat(dir.c_str(), &now) != 0 ||
         locked.st_dev != now.st_dev || locked.st_ino != now.st_ino;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace dovevid::platform
