#include "platform/temporary_dir.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

namespace dovevid::platform {

std::optional<TemporaryDirectory> TemporaryDirectory::Create(const std::string& prefix) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/" + prefix + ".XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) return std::nullopt;  // fills in the X's
  return TemporaryDirectory(std::move(pattern));
}

TemporaryDirectory::TemporaryDirectory(TemporaryDirectory&& other) noexcept
    : path_(std::move(other.path_)) {
  other.path_.clear();
}

TemporaryDirectory::~TemporaryDirectory() {
  if (path_.empty()) return;
  std::error_code ec;  // what cannot be removed stays; nothing to tell here
  std::filesystem::remove_all(path_, ec);
}

}  // namespace dovevid::platform
