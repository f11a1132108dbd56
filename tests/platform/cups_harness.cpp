#include "cups_harness.h"

#include <cups/cups.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace dovevid::testing {
namespace {

std::string FindProgram(const std::string& name) {
  for (const char* dir : {"/usr/sbin/", "/usr/bin/", "/sbin/", "/bin/"}) {
    if (::access((dir + name).c_str(), X_OK) == 0) return dir + name;
  }
  return "";
}

bool Connects(const std::string& socket) {
  http_t* http =
      httpConnect2(socket.c_str(), 0, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1, 1000, nullptr);
  httpClose(http);
  return http != nullptr;
}

}  // namespace

std::unique_ptr<PrivateCupsd> PrivateCupsd::Start(std::string* why_not, bool* skip) {
  *skip = true;
  if (FindProgram("cupsd").empty()) *why_not = "cupsd is not installed (package cups-daemon)";
  if (::geteuid() != 0) *why_not = "a private cupsd needs root (its backends switch users)";
  if (!why_not->empty()) return nullptr;  // the CUPS path is not tested here
  std::unique_ptr<PrivateCupsd> d(new PrivateCupsd());
  const std::string& base = d->dir();
  // The backend runs as an unprivileged user and must reach the spool files.
  ::chmod(base.c_str(), 0755);
  for (const char* sub : {"root", "spool", "cache", "state", "log", "tmp"}) {
    std::filesystem::create_directories(base + "/" + sub);
  }
  ::chmod((base + "/tmp").c_str(), 01777);
  d->socket_path_ = base + "/cups.sock";
  WriteFileOrDie(base + "/root/cups-files.conf",
                 "ServerRoot " + base + "/root\nRequestRoot " + base + "/spool\nTempDir " + base +
                     "/tmp\nCacheDir " + base + "/cache\nStateDir " + base + "/state\nAccessLog " +
                     base + "/log/access_log\nErrorLog " + base + "/log/error_log\nPageLog " +
                     base + "/log/page_log\nFileDevice No\nSystemGroup root\n");
  WriteFileOrDie(base + "/root/cupsd.conf",
                 "LogLevel info\nListen " + d->socket_path_ +
                     "\nBrowsing No\nWebInterface No\n"
                     "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                     "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n");
  if (!d->Launch(why_not)) {
    *skip = false;  // as root the configuration is known to work
    return nullptr;
  }
  ::setenv("CUPS_SERVER", d->socket_path_.c_str(), 1);
  cupsSetServer(d->socket_path_.c_str());
  return d;
}

PrivateCupsd::~PrivateCupsd() {
  process_.Stop();
  ::unsetenv("CUPS_SERVER");
  cupsSetServer(nullptr);
}

bool PrivateCupsd::Launch(std::string* why_not) {
  const std::string& base = dir();
  if (process_.Start(FindProgram("cupsd"), {"-f", "-c", base + "/root/cupsd.conf", "-s",
                                             base + "/root/cups-files.conf"},
                     base + "/log/cupsd.out") &&
      WaitFor([&] { return Connects(socket_path_) || process_.Wait(0) >= 0; }, 10000) &&
      process_.running()) {
    return true;
  }
  process_.Kill();
  *why_not = "a private cupsd could not start: " + ReadFileOrEmpty(base + "/log/cupsd.out") +
             LogTail();
  return false;
}

bool PrivateCupsd::Restart(std::string* error) {
  process_.Stop();
  return Launch(error);
}

bool PrivateCupsd::AddRawQueue(const std::string& name, int port, std::string* error) {
  // Debian 12's lpadmin still takes "-m raw"; it only warns that raw queues
  // are deprecated.
  const RunResult r = RunTool("lpadmin", {"-p", name, "-E", "-v",
                                          "socket://127.0.0.1:" + std::to_string(port), "-m", "raw"});
  if (r.exit_code != 0) *error = "lpadmin failed: " + r.err + LogTail();
  return r.exit_code == 0;
}

RunResult PrivateCupsd::RunTool(const std::string& tool, const std::vector<std::string>& args) {
  return RunProgram(FindProgram(tool), args);
}

std::string PrivateCupsd::LogTail() const {
  std::string log = ReadFileOrEmpty(dir() + "/log/error_log");
  if (log.size() > 2000) log.erase(0, log.size() - 2000);
  return log;
}

}  // namespace dovevid::testing
