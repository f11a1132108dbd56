// A private directory under $TMPDIR (or /tmp), removed with what it holds
// when the object goes.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace dovevid::platform {

class TemporaryDirectory {
 public:
  // Nothing when the directory cannot be made.
  static std::optional<TemporaryDirectory> Create(const std::string& prefix);
  TemporaryDirectory(TemporaryDirectory&& other) noexcept;
  TemporaryDirectory& operator=(TemporaryDirectory&& other) noexcept {
    path_.swap(other.path_);  // the other one removes what this one held
    return *this;
  }
  ~TemporaryDirectory();

  const std::string& path() const { return path_; }

 private:
  explicit TemporaryDirectory(std::string path) : path_(std::move(path)) {}
  std::string path_;  // empty once moved from
};

}  // namespace dovevid::platform
