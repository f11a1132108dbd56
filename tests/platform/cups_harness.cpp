#include "cups_harness.h"

#include <arpa/inet.h>
#include <cups/cups.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#ifndef DOVEVID_VPRINTER_PATH
#define DOVEVID_VPRINTER_PATH ""
#endif

namespace dovevid::testing {
namespace {

using Clock = std::chrono::steady_clock;

bool ConnectsUnix(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof(addr.sun_path) - 1);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
  ::close(fd);
  return ok;
}

bool ConnectsTcp(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
  ::close(fd);
  return ok;
}

// Reaps `pid` if it has exited; true when it is gone.
bool Reaped(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, WNOHANG) == pid;
}

pid_t Spawn(const std::string& program, const std::vector<std::string>& args,
            const std::string& log_path, int death_signal) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const std::string log = log_path.empty() ? "/dev/null" : log_path;
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;  // parent, or -1
  // Child: only async-signal-safe calls from here on.
  ::prctl(PR_SET_PDEATHSIG, death_signal);
  if (::getppid() != parent) ::_exit(127);
  ::setpgid(0, 0);  // keeps terminal signals meant for the test away
  const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  const int in = ::open("/dev/null", O_RDONLY);
  if (out >= 0) {
    ::dup2(out, 1);
    ::dup2(out, 2);
  }
  if (in >= 0) ::dup2(in, 0);
  ::execv(program.c_str(), argv.data());
  ::_exit(127);
}

}  // namespace

// --- ChildProcess -----------------------------------------------------------

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::string& log_path) {
  Kill();
  pid_ = Spawn(program, args, log_path, SIGKILL);
  return pid_ > 0;
}

void ChildProcess::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

// --- PrivateCupsd -----------------------------------------------------------

std::unique_ptr<PrivateCupsd> PrivateCupsd::Start(std::string* why_not, bool* skip) {
  *skip = true;
  const std::string cupsd = FindProgram("cupsd");
  if (cupsd.empty()) {
    *why_not = "cupsd is not installed (Debian package cups-daemon); the CUPS path is not tested";
    return nullptr;
  }
  std::unique_ptr<PrivateCupsd> d(new PrivateCupsd());
  const std::string& base = d->dir();
  // The backend runs as an unprivileged user and must reach the spool files.
  ::chmod(base.c_str(), 0755);
  for (const char* sub : {"root", "spool", "cache", "state", "log", "tmp"}) {
    std::filesystem::create_directories(base + "/" + sub);
  }
  ::chmod((base + "/tmp").c_str(), 01777);
  d->socket_path_ = base + "/cups.sock";

  std::string files_conf =
      "ServerRoot " + base + "/root\n"
      "RequestRoot " + base + "/spool\n"
      "TempDir " + base + "/tmp\n"
      "CacheDir " + base + "/cache\n"
      "StateDir " + base + "/state\n"
      "AccessLog " + base + "/log/access_log\n"
      "ErrorLog " + base + "/log/error_log\n"
      "PageLog " + base + "/log/page_log\n"
      "FileDevice No\n";
  if (::geteuid() == 0) {
    files_conf += "SystemGroup root\n";
  } else {
    // An ordinary user cannot switch users: run everything as ourselves.
    const passwd* pw = ::getpwuid(::geteuid());
    const group* gr = ::getgrgid(::getegid());
    if (pw == nullptr || gr == nullptr) {
      *why_not = "cannot run a private cupsd: the current user or group has no name";
      return nullptr;
    }
    files_conf += std::string("User ") + pw->pw_name + "\nGroup " + gr->gr_name +
                  "\nSystemGroup " + gr->gr_name + "\n";
    std::filesystem::permissions(base, std::filesystem::perms::all);
  }
  WriteFileOrDie(base + "/root/cups-files.conf", files_conf);
  WriteFileOrDie(base + "/root/cupsd.conf",
                 "LogLevel info\n"
                 "Listen " + d->socket_path_ + "\n"
                 "Browsing No\n"
                 "WebInterface No\n"
                 "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                 "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n");

  d->cupsd_ = cupsd;
  if (!d->Launch(why_not)) {
    // As root the configuration is known to work: not starting is a fault.
    *skip = ::geteuid() != 0;
    return nullptr;
  }

  if (const char* old = std::getenv("CUPS_SERVER")) {
    d->had_server_env_ = true;
    d->old_server_env_ = old;
  }
  ::setenv("CUPS_SERVER", d->socket_path_.c_str(), 1);
  cupsSetServer(d->socket_path_.c_str());
  d->env_set_ = true;
  return d;
}

bool PrivateCupsd::Launch(std::string* why_not) {
  const std::string& base = dir();
  pid_ = Spawn(cupsd_,
               {"-f", "-c", base + "/root/cupsd.conf", "-s", base + "/root/cups-files.conf"},
               base + "/log/cupsd.out", SIGTERM);
  if (pid_ <= 0) {
    *why_not = "cannot start cupsd";
    return false;
  }
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!ConnectsUnix(socket_path_)) {
    const bool exited = Reaped(pid_);
    if (exited || Clock::now() > deadline) {
      if (!exited) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
      }
      pid_ = -1;
      *why_not = std::string("a private cupsd could not start") +
                 (::geteuid() == 0 ? "" : " (not running as root)") + ": " +
                 ReadFileOrEmpty(base + "/log/cupsd.out") + LogTail();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

bool PrivateCupsd::Terminate() {
  if (pid_ <= 0) return false;
  // SIGTERM lets the scheduler stop its backends, which SIGKILL would orphan.
  ::kill(pid_, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (!Reaped(pid_)) {
    if (Clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
  return true;
}

bool PrivateCupsd::Restart(std::string* error) {
  if (!Terminate()) {
    *error = "the scheduler is not running";
    return false;
  }
  return Launch(error);
}

PrivateCupsd::~PrivateCupsd() { Stop(); }

void PrivateCupsd::Stop() {
  Terminate();
  if (!env_set_) return;
  env_set_ = false;
  if (had_server_env_) {
    ::setenv("CUPS_SERVER", old_server_env_.c_str(), 1);
  } else {
    ::unsetenv("CUPS_SERVER");
  }
  cupsSetServer(nullptr);
}

bool PrivateCupsd::AddRawQueue(const std::string& name, const std::string& host, int port,
                               std::string* error) {
  // Debian 12's lpadmin still takes "-m raw"; it only warns that raw queues
  // are deprecated.
  const RunResult r = RunTool(
      "lpadmin",
      {"-p", name, "-E", "-v", "socket://" + host + ":" + std::to_string(port), "-m", "raw"});
  if (r.exit_code != 0) {
    *error = "lpadmin failed (" + std::to_string(r.exit_code) + "): " + r.err + LogTail();
    return false;
  }
  return true;
}

RunResult PrivateCupsd::RunTool(const std::string& tool, const std::vector<std::string>& args) {
  const std::string path = FindProgram(tool);
  if (path.empty()) {
    RunResult missing;
    missing.err = tool + " is not installed";
    return missing;
  }
  return RunProgram(path, args);
}

std::string PrivateCupsd::LogTail() const {
  std::string log = ReadFileOrEmpty(dir() + "/log/error_log");
  if (log.size() > 2000) log.erase(0, log.size() - 2000);
  return log;
}

// --- helpers ----------------------------------------------------------------

int FreeTcpPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof(addr);
  int port = -1;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    port = ntohs(addr.sin_port);
  }
  ::close(fd);
  return port;
}

bool WaitForTcpPort(int port, int timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!ConnectsTcp(port)) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string FindProgram(const std::string& name) {
  std::string dirs = std::getenv("PATH") ? std::getenv("PATH") : "";
  dirs += ":/usr/sbin:/sbin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = dirs.substr(start, end - start);
    if (!dir.empty()) {
      const std::string path = dir + "/" + name;
      if (::access(path.c_str(), X_OK) == 0) return path;
    }
    start = end + 1;
  }
  return "";
}

std::string VirtualPrinterPath() { return DOVEVID_VPRINTER_PATH; }

}  // namespace dovevid::testing
