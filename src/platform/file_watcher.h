// Files appearing in a directory, told by name on the event loop as soon as
// they are created or moved in (inotify). A network file system may tell
// nothing of files another machine writes: the polling timer stays the
// fallback that finds them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace dovevid::platform {

class FileWatcher {
 public:
  using Appeared = std::function<void(std::string_view name)>;
  // Watches `dir` until destroyed; nothing, with *error, when it cannot.
  static std::unique_ptr<FileWatcher> Watch(const std::string& dir, Appeared appeared,
                                            std::string* error);
  virtual ~FileWatcher() = default;
};

}  // namespace dovevid::platform
