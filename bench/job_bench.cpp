// The server as a cash register sees it: the time from SR_START to FINESCO
// with a 100 ms polling interval and the virtual printer on a pty (set to
// 115200 baud, which a pty ignores), and the idle server's CPU use and
// resident memory.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

pid_t Spawn(const std::vector<std::string>& args, const std::string& log) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

int Run(const std::vector<std::string>& args) {
  const pid_t pid = Spawn(args, "/dev/null");
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

void WriteFile(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

// A server on a fresh data directory with the virtual printer on COM1.
class Server {
 public:
  Server() {
    char tmpl[] = "/tmp/dovevid-bench.XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    const std::string tty = dir_ / "ttyV0";
    printer_ = Spawn({DOVEVID_VPRINTER_PATH, "--link", tty, "--baud", "115200"},
                     dir_ / "printer.log");
    WaitFor([&] { return fs::exists(tty); }, 5000);
    Run({DOVEVID_PATH, "settings", "set", "cboComPort=1", "cboBaudRate=115200", "txtTimerVal=100",
         "optInputType(0)=0", "optInputType(1)=1", "--app-dir", dir_, "--data-dir", dir_});
    server_ = Spawn({DOVEVID_PATH, "--headless", "--app-dir", dir_, "--data-dir", dir_, "--com",
                     "1=" + tty},
                    dir_ / "server.log");
    ok_ = WaitFor([&] { return fs::exists(dir_ / "SR_MATR.001"); }, 10000);
  }
  ~Server() {
    for (pid_t pid : {server_, printer_}) {
      ::kill(pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
    }
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  bool ok() const { return ok_; }
  const fs::path& dir() const { return dir_; }
  pid_t pid() const { return server_; }

 private:
  fs::path dir_;
  pid_t printer_ = -1, server_ = -1;
  bool ok_ = false;
};

const std::string kReceipt =
    "Caffe           2,50\r\nCornetto x2     2,40\r\n--------------------\r\n"
    "Totale          4,90\r\n";

// One job at a time, as a cash register sends them: each starts at a random
// point of the polling interval, after the server has re-armed.
void BM_StartToFinesco(benchmark::State& state) {
  static Server server;
  if (!server.ok()) {
    state.SkipWithError("server did not start");
    return;
  }
  const fs::path start = server.dir() / "SR_START.001";
  const fs::path finesco = server.dir() / "FINESCO.001";
  for (auto _ : state) {
    // Past the one-second re-arming after the previous job.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100 + std::rand() % 100));
    WriteFile(server.dir() / "SR_DATI.001", kReceipt);
    const auto t0 = Clock::now();
    WriteFile(start, "");
    if (!WaitFor([&] { return !fs::exists(start) && fs::exists(finesco); }, 10000)) {
      state.SkipWithError("no answer");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - t0).count());
  }
}
BENCHMARK(BM_StartToFinesco)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(50)
    ->ReportAggregatesOnly(true);

// CPU ticks (user + system) of a process.
long CpuTicks(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(in, line);
  std::istringstream rest(line.substr(line.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; rest >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) {
      stime = std::stol(field);
      break;
    }
  }
  return utime + stime;
}

long ResidentKiB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// The idle server polling every 100 ms, over 10 s.
void BM_IdleServer(benchmark::State& state) {
  Server server;
  if (!server.ok()) {
    state.SkipWithError("server did not start");
    return;
  }
  const long hz = ::sysconf(_SC_CLK_TCK);
  for (auto _ : state) {
    const long before = CpuTicks(server.pid());
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    const long ticks = CpuTicks(server.pid()) - before;
    state.SetIterationTime(seconds);
    state.counters["cpu_percent"] = 100.0 * static_cast<double>(ticks) / static_cast<double>(hz) / seconds;
    state.counters["rss_KiB"] = static_cast<double>(ResidentKiB(server.pid()));
  }
}
BENCHMARK(BM_IdleServer)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
