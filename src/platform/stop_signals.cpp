#include "platform/stop_signals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>
#include <cstring>

namespace dovevid::platform {

namespace {

int g_write_end = -1;

void OnSignal(int signo) {
  const char byte = static_cast<char>(signo);
  (void)!::write(g_write_end, &byte, 1);
}

class QtStopSignals : public StopSignals {
 public:
  QtStopSignals(int read_end, int write_end, std::function<void()> on_stop,
                std::function<void()> on_reload)
      : read_end_(read_end), write_end_(write_end), notifier_(read_end, QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this, on_stop, on_reload] {
      char byte = 0;
      if (::read(read_end_, &byte, 1) != 1) return;
      if (byte == SIGHUP) {
        on_reload();
      } else {
        on_stop();
      }
    });
  }
  ~QtStopSignals() override {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
    g_write_end = -1;
    ::close(read_end_);
    ::close(write_end_);
  }

 private:
  int read_end_;
  int write_end_;
  QSocketNotifier notifier_;
};

}  // namespace

std::unique_ptr<StopSignals> StopSignals::Install(std::function<void()> on_stop,
                                                  std::function<void()> on_reload,
                                                  std::string* error) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
    *error = std::string("cannot set up signal handling: ") + std::strerror(errno);
    return nullptr;
  }
  ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
  g_write_end = fds[1];
  auto handler = std::make_unique<QtStopSignals>(fds[0], fds[1], std::move(on_stop),
                                                 std::move(on_reload));
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGHUP, &sa, nullptr);
  return handler;
}

}  // namespace dovevid::platform
