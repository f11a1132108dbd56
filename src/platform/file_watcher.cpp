#include "platform/file_watcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <vector>

namespace dovevid::platform {

namespace {

class InotifyWatcher : public FileWatcher {
 public:
  InotifyWatcher(int fd, Appeared appeared)
      : fd_(fd), appeared_(std::move(appeared)), notifier_(fd, QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { ReadEvents(); });
  }
  ~InotifyWatcher() override { ::close(fd_); }

 private:
  void ReadEvents() {
    // All names are taken first: a callback may run a whole job, and the
    // events pumped meanwhile come back here.
    std::vector<std::string> names;
    alignas(inotify_event) char buf[4096];
    for (;;) {
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) break;  // EAGAIN: all read
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
        if (e->len > 0) names.emplace_back(e->name);  // NUL-padded
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      }
    }
    for (const std::string& name : names) appeared_(name);
  }

  int fd_;
  Appeared appeared_;
  QSocketNotifier notifier_;
};

}  // namespace

std::unique_ptr<FileWatcher> FileWatcher::Watch(const std::string& dir, Appeared appeared,
                                                std::string* error) {
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0 || ::inotify_add_watch(fd, dir.c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR) < 0) {
    *error = "cannot watch " + dir + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return nullptr;
  }
  return std::make_unique<InotifyWatcher>(fd, std::move(appeared));
}

}  // namespace dovevid::platform
