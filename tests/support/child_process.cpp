#include "child_process.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace dovevid::testing {

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::string& log_path, const std::map<std::string, std::string>& env,
                         const std::string& err_path) {
  Kill();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const std::string log = log_path.empty() ? "/dev/null" : log_path;
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, death_signal_);
    if (::getppid() != parent) ::_exit(127);
    ::setpgid(0, 0);  // terminal signals meant for the test stay away
    const auto redirect = [](const std::string& path, int flags, int fd) {
      const int opened = ::open(path.c_str(), flags, 0644);
      if (opened >= 0) ::dup2(opened, fd);
    };
    redirect("/dev/null", O_RDONLY, 0);
    redirect(log, O_WRONLY | O_CREAT | O_APPEND, 1);
    redirect(err_path.empty() ? log : err_path, O_WRONLY | O_CREAT | O_APPEND, 2);
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  pid_ = pid > 0 ? pid : -1;
  return pid > 0;
}

int ChildProcess::Wait(int timeout_ms) {
  int status = 0;
  if (pid_ <= 0 ||
      !WaitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, timeout_ms)) {
    return -1;
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int ChildProcess::Stop(int timeout_ms) {
  if (pid_ > 0) ::kill(pid_, SIGTERM);
  const int rc = Wait(timeout_ms);
  Kill();
  return rc;
}

void ChildProcess::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace dovevid::testing
