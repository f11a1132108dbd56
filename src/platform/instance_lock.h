// One server per data directory: an exclusive flock on the directory itself,
// so no file that someone could delete or replace decides who runs. The lock
// goes with the process, so a crashed server never blocks the next.
#pragma once

#include <optional>
#include <string>

namespace dovevid::platform {

class InstanceLock {
 public:
  // Takes the lock on `dir` without waiting; nothing when another process
  // holds it or the directory cannot be opened (*error says which).
  static std::optional<InstanceLock> Acquire(const std::string& dir, std::string* error);

  InstanceLock(InstanceLock&& other) noexcept;
  InstanceLock& operator=(InstanceLock&& other) noexcept;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  ~InstanceLock();

  // `dir` is no longer the directory locked: removed, or removed and made
  // again (a new directory that nobody locks).
  bool Replaced(const std::string& dir) const;

 private:
  explicit InstanceLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace dovevid::platform
