#include "e2e_fixture.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <cstdlib>
#include <thread>

namespace dovevid::testing {

namespace {

std::int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int ExitCode(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string TrimEnd(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

}  // namespace

Background::~Background() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

bool Background::Start(const std::string& program, const std::vector<std::string>& args,
                       const std::string& log_path, const std::map<std::string, std::string>& env) {
  const pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int fd = ::open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      ::close(fd);
    }
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  pid_ = pid;
  return true;
}

int Background::Wait(int timeout_ms) {
  if (pid_ <= 0) return -1;
  const std::int64_t deadline = NowMs() + timeout_ms;
  do {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return ExitCode(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (NowMs() < deadline);
  return -1;
}

void Background::Terminate() {
  if (pid_ > 0) ::kill(pid_, SIGTERM);
}

int Background::Stop(int timeout_ms) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  const int rc = Wait(timeout_ms);
  if (rc < 0 && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  return rc;
}

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  const std::int64_t deadline = NowMs() + timeout_ms;
  for (;;) {
    if (done()) return true;
    if (NowMs() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string DovevidPath() { return DOVEVID_PATH; }
std::string VprinterPath() { return DOVEVID_VPRINTER_PATH; }

void ServerTest::SetUp() {
  tty_ = printer_dir_ / "ttyV0";
  capture_ = printer_dir_ / "capture.bin";
  control_ = printer_dir_ / "control";
  server_log_ = printer_dir_ / "server.log";
  ASSERT_TRUE(printer_.Start(VprinterPath(),
                             {"--link", tty_, "--capture", capture_, "--control", control_},
                             printer_dir_ / "printer.log"));
  ASSERT_TRUE(WaitFor([&] {
    struct stat st {};
    return ::stat(tty_.c_str(), &st) == 0 && ::access(control_.c_str(), F_OK) == 0;
  })) << ReadFileOrEmpty(printer_dir_ / "printer.log");
  Configure({"cboComPort=1", "txtTimerVal=100", "optInputType(0)=0", "optInputType(1)=1",
             "chkOptions(0)=0", "chkOptions(1)=0", "chkOptions(11)=1"});
}

void ServerTest::TearDown() {
  if (server_.running()) server_.Stop();
  printer_.Stop();
  if (HasFailure()) {
    std::cerr << "--- server output ---\n" << ServerLog() << "--- printer output ---\n"
              << ReadFileOrEmpty(printer_dir_ / "printer.log");
  }
}

void ServerTest::Configure(const std::vector<std::string>& name_values) {
  std::vector<std::string> args = {"settings", "set"};
  args.insert(args.end(), name_values.begin(), name_values.end());
  args.insert(args.end(), {"--app-dir", dir_.path(), "--data-dir", dir_.path()});
  const RunResult r = RunProgram(DovevidPath(), args);
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
}

void ServerTest::StartServer(const std::map<std::string, std::string>& env,
                             const std::vector<std::string>& extra_args) {
  std::vector<std::string> args = {"--headless", "--app-dir", dir_.path(), "--data-dir",
                                   dir_.path()};
  if (std::find(extra_args.begin(), extra_args.end(), "--com") == extra_args.end()) {
    args.insert(args.end(), {"--com", "1=" + tty_});
  }
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  ASSERT_TRUE(server_.Start(DovevidPath(), args, server_log_, env));
}

int ServerTest::StopServer() { return server_.Stop(); }

void ServerTest::WaitUntilServing() {
  ASSERT_TRUE(WaitFor([&] { return ServerLog().find("SR_MATR: ") != std::string::npos; }))
      << ServerLog();
  ASSERT_TRUE(Exists("SR_MATR.001"));
}

void ServerTest::SetPrinterState(const std::string& state) {
  const int fd = ::open(control_.c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0) << "control FIFO " << control_;
  const std::string line = state + "\n";
  ASSERT_EQ(::write(fd, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  ::close(fd);
  ASSERT_TRUE(WaitFor([&] { return TrimEnd(ReadFileOrEmpty(control_ + ".state")) == state; }));
}

bool ServerTest::Exists(const std::string& name) const {
  return ::access(Path(name).c_str(), F_OK) == 0;
}

void ServerTest::SubmitFiles(const std::string& data, const std::string& ext) const {
  Write("SR_DATI" + ext, data);
  Write("SR_START" + ext, "");
}

bool ServerTest::WaitForAnswer(const std::string& ext, int timeout_ms) const {
  return WaitFor(
      [&] {
        if (Exists("SR_START" + ext)) return false;
        if (Exists("FINESCO" + ext)) {
          const std::string out = Read("SR_OUT" + ext);
          return out.find("\r\n") != out.rfind("\r\n");  // both lines there
        }
        return Exists("SR_ERR" + ext);
      },
      timeout_ms);
}

}  // namespace dovevid::testing
