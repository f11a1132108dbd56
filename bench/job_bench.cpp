// The server as a cash register sees it, end to end: the built program
// headless on a fresh data directory, printing to the virtual printer on a
// pty. Measured: start file to FINESCO of a one-line job at the default
// polling interval, a 40-line receipt against the time its bytes take on a
// 9600 and a 115200 baud line, 1,000 jobs back to back, the idle server's
// CPU and memory, and `dovevid render` of 20,000 sale lines as a whole
// process. Latency samples go to $DOVEVID_BENCH_RESULTS (default
// bench-results/) for the plot in docs/.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <fmt/format.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>


#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

pid_t Spawn(const std::vector<std::string>& args, const std::string& out,
            const std::string& err = "") {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    const int efd = err.empty() ? fd : ::open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ::dup2(fd, 1);
    ::dup2(efd, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

int Run(const std::vector<std::string>& args, const std::string& out = "/dev/null") {
  const pid_t pid = Spawn(args, out);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Looks every 0.2 ms for the first 50 ms, then every 2 ms: fine-grained
// where the latencies are, without loading the machine for the rest.
bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  const auto start = Clock::now();
  const auto deadline = start + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    const auto now = Clock::now();
    if (now > deadline) return false;
    std::this_thread::sleep_for(now - start < std::chrono::milliseconds(50)
                                    ? std::chrono::microseconds(200)
                                    : std::chrono::microseconds(2000));
  }
  return true;
}

void WriteFile(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

fs::path ResultsDir() {
  const char* dir = std::getenv("DOVEVID_BENCH_RESULTS");
  fs::path p = dir != nullptr ? dir : "bench-results";
  fs::create_directories(p);
  return p;
}

void SaveSamples(const std::string& name, const std::vector<double>& ms) {
  std::ofstream out(ResultsDir() / name);
  for (double v : ms) out << v << '\n';
}

// The q-quantile (0..1) of `v`, nearest rank.
double Quantile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const auto rank = static_cast<size_t>(q * static_cast<double>(v.size()) + 0.999999);
  return v[std::clamp<size_t>(rank, 1, v.size()) - 1];
}

// CPU time of every thread of a process, in nanoseconds.
double CpuNs(pid_t pid) {
  double total = 0;
  std::error_code ec;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    std::ifstream in(task.path() / "schedstat");
    double ns = 0;
    if (in >> ns) total += ns;
  }
  return total;
}

long ResidentKiB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

long OpenDescriptors(pid_t pid) {
  std::error_code ec;
  long n = 0;
  for ([[maybe_unused]] const auto& fd :
       fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec))
    ++n;
  return n;
}

// A server on a fresh data directory with the virtual printer on COM1.
class Server {
 public:
  struct Options {
    std::string interval = "1";        // txtTimerVal
    std::string baud = "115200";       // cboBaudRate
    std::vector<std::string> printer;  // more dovevid-vprinter options
    bool capture = false;              // every byte the printer receives, to capture()
  };
  explicit Server(const Options& o) {
    char tmpl[] = "/tmp/dovevid-bench.XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    const std::string tty = dir_ / "ttyV0";
    std::vector<std::string> vp = {DOVEVID_VPRINTER_PATH, "--link", tty};
    vp.insert(vp.end(), o.printer.begin(), o.printer.end());
    if (o.capture) vp.insert(vp.end(), {"--capture-queries", "--capture", capture()});
    printer_ = Spawn(vp, dir_ / "printer.log");
    WaitFor([&] { return fs::exists(tty); }, 5000);
    Run({DOVEVID_PATH, "settings", "set", "cboComPort=1", "cboBaudRate=" + o.baud,
         "txtTimerVal=" + o.interval, "optInputType(0)=0", "optInputType(1)=1", "--app-dir", dir_,
         "--data-dir", dir_});
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
  fs::path capture() const { return dir_ / "wire.bin"; }
  pid_t pid() const { return server_; }

  struct Answer {
    bool answered = false;
    bool printed = false;  // FINESCO, not SR_ERR
    double seconds = 0;    // from the start file to the answer
  };
  // Hands over one job as the cash register does and waits for its answer.
  Answer Job(const std::string& data) {
    const fs::path start = dir_ / "SR_START.001";
    const fs::path finesco = dir_ / "FINESCO.001";
    const fs::path error = dir_ / "SR_ERR.001";
    WriteFile(dir_ / "SR_DATI.001", data);
    const auto t0 = Clock::now();
    WriteFile(start, "");
    Answer a;
    a.answered = WaitFor(
        [&] { return !fs::exists(start) && (fs::exists(finesco) || fs::exists(error)); }, 60000);
    a.seconds = Seconds(Clock::now() - t0);
    a.printed = a.answered && fs::exists(finesco);
    return a;
  }

 private:
  fs::path dir_;
  pid_t printer_ = -1, server_ = -1;
  bool ok_ = false;
};

const std::string kOneLine = "Caffe           2,50\r\n";

// One job at a time at the default 1 s polling interval, each at a random
// point after the re-arming tick and the whole polling period that follows
// a job (the earliest a start file can be taken as soon as it appears).
void BM_StartToFinesco(benchmark::State& state) {
  Server server({});
  if (!server.ok()) return state.SkipWithError("server did not start");
  std::mt19937 random(1);
  std::vector<double> ms;
  int errors = 0;
  for (auto _ : state) {
    for (int i = 0; i < 50; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2050 + random() % 1000));
      const Server::Answer a = server.Job(kOneLine);
      if (!a.answered) return state.SkipWithError("no answer");
      if (!a.printed) ++errors;  // e.g. no status answer in time on a loaded machine
      ms.push_back(a.seconds * 1000);
    }
    state.SetIterationTime(Quantile(ms, 0.5) / 1000);
  }
  SaveSamples("start_to_finesco.dat", ms);
  state.counters["error_answers"] = errors;
  state.counters["p50_ms"] = Quantile(ms, 0.5);
  state.counters["p95_ms"] = Quantile(ms, 0.95);
  state.counters["max_ms"] = Quantile(ms, 1);
}
BENCHMARK(BM_StartToFinesco)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

std::string FortyLines() {
  std::string data;
  for (int i = 0; i < 40; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "RIGA %02d  ARTICOLO DI PROVA      %5.2f\r\n", i, i * 1.1);
    data += line;
  }
  return data;
}

// A 40-line text receipt on a line of state.range(0) baud that the virtual
// printer holds to its speed: the job (start file to FINESCO, or to the
// last byte's arrival when that is later) against the time its bytes, status
// queries included, take on the wire at 10 bits a byte.
void BM_FortyLinesOnTheWire(benchmark::State& state) {
  const std::string baud = std::to_string(state.range(0));
  Server server({"1", baud, {"--baud", "port"}, true});
  if (!server.ok()) return state.SkipWithError("server did not start");
  const fs::path capture = server.capture();
  std::vector<double> ratios, jobs, wires, tails;
  int errors = 0;
  for (auto _ : state) {
    for (int i = 0; i < 5; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2100));
      const auto before = fs::exists(capture) ? fs::file_size(capture) : 0;
      const auto t0 = Clock::now();
      const Server::Answer a = server.Job(FortyLines());
      if (!a.answered) return state.SkipWithError("no answer");
      if (!a.printed) {
        ++errors;
        continue;
      }
      const double job = a.seconds;
      // The last byte may still be on its way when FINESCO appears.
      auto size = fs::file_size(capture);
      auto last = Clock::now();
      while (Clock::now() - last < std::chrono::milliseconds(300)) {
        if (const auto s = fs::file_size(capture); s != size) size = s, last = Clock::now();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      const double end = std::max(job, Seconds(last - t0));
      const double wire =
          static_cast<double>(size - before) * 10 / static_cast<double>(state.range(0));
      jobs.push_back(end);
      wires.push_back(wire);
      ratios.push_back(end / wire);
      tails.push_back(std::max(0.0, Seconds(last - t0) - job) * 1000);
    }
    state.SetIterationTime(Quantile(jobs, 0.5));
  }
  state.counters["job_s"] = Quantile(jobs, 0.5);
  state.counters["wire_s"] = Quantile(wires, 0.5);
  state.counters["ratio"] = Quantile(ratios, 0.5);
  state.counters["ratio_max"] = Quantile(ratios, 1);
  state.counters["tail_ms"] = Quantile(tails, 0.5);
  state.counters["error_answers"] = errors;
}
BENCHMARK(BM_FortyLinesOnTheWire)
    ->Arg(9600)
    ->Arg(115200)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Jobs back to back through the protocol at the shortest polling interval
// (100 ms): each is written as soon as the previous one is answered, so
// each waits out the re-arming second and one interval. $DOVEVID_LOAD_JOBS
// (default 1000) jobs.
void BM_BackToBack(benchmark::State& state) {
  const char* n_text = std::getenv("DOVEVID_LOAD_JOBS");
  const int n = n_text != nullptr ? std::max(1, std::atoi(n_text)) : 1000;
  Server server({"100", "115200", {}, false});
  if (!server.ok()) return state.SkipWithError("server did not start");
  std::vector<double> ms;
  int errors = 0;
  const long fds_start = OpenDescriptors(server.pid());
  const long rss_start = ResidentKiB(server.pid());
  const auto t0 = Clock::now();
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) {
      const Server::Answer a = server.Job(FortyLines());
      if (!a.answered) return state.SkipWithError("no answer");
      if (!a.printed) ++errors;
      ms.push_back(a.seconds * 1000);
    }
  }
  const double total = Seconds(Clock::now() - t0);
  state.SetIterationTime(total);
  SaveSamples("back_to_back.dat", ms);
  state.counters["jobs"] = n;
  state.counters["error_answers"] = errors;
  state.counters["jobs_per_min"] = n * 60 / total;
  state.counters["p50_ms"] = Quantile(ms, 0.5);
  state.counters["p95_ms"] = Quantile(ms, 0.95);
  state.counters["p99_ms"] = Quantile(ms, 0.99);
  state.counters["fds_start"] = static_cast<double>(fds_start);
  state.counters["fds_end"] = static_cast<double>(OpenDescriptors(server.pid()));
  state.counters["rss_start_KiB"] = static_cast<double>(rss_start);
  state.counters["rss_end_KiB"] = static_cast<double>(ResidentKiB(server.pid()));
}
BENCHMARK(BM_BackToBack)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

// The soak: $DOVEVID_SOAK_JOBS (default 10,000) 40-line jobs through the
// protocol at 100 ms polling, shared out among $DOVEVID_SOAK_SERVERS
// (default 4) servers side by side, each with its own data directory and
// virtual printer: a job takes at least the re-arming second plus one
// polling interval, so one server alone needs about three hours for 10,000.
// The benchmark consumes each answer as a cash register would (FINESCO and
// SR_OUT, or SR_ERR) and checks that every job was answered exactly once:
// one answer each, none arriving unasked, and the receipt number in SR_OUT
// raised by one for every job accepted in between. Each server's open
// descriptors and resident memory are sampled at its first job, every
// twentieth of its share and at the end (soak.dat in the results directory).
struct SoakTally {
  int jobs = 0, printed = 0, errors = 0, unanswered = 0;
  int both_answers = 0;     // FINESCO and SR_ERR for one job
  int stray_answers = 0;    // an answer file before the job was handed over
  int counter_skips = 0;    // receipt number not the previous one plus the jobs since
  std::vector<std::array<long, 3>> samples;  // job, descriptors, KiB resident
  std::map<std::string, int> error_texts;    // SR_ERR line, how often

  SoakTally& operator+=(const SoakTally& o) {
    jobs += o.jobs, printed += o.printed, errors += o.errors, unanswered += o.unanswered;
    both_answers += o.both_answers, stray_answers += o.stray_answers;
    counter_skips += o.counter_skips;
    for (const auto& [text, n] : o.error_texts) error_texts[text] += n;
    return *this;
  }
};

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The receipt number of a complete SR_OUT ("...SCONTR. N.42,E,A1;"), or -1.
long ReceiptNumber(const std::string& out) {
  const size_t at = out.find("SCONTR. N.");
  return at == std::string::npos ? -1 : std::atol(out.c_str() + at + 10);
}

void SoakOneServer(Server& server, int n, SoakTally& t) {
  const fs::path dir = server.dir();
  const fs::path start = dir / "SR_START.001", finesco = dir / "FINESCO.001",
                 error = dir / "SR_ERR.001", out = dir / "SR_OUT.001";
  const auto sample = [&](long job) {
    t.samples.push_back({job, OpenDescriptors(server.pid()), ResidentKiB(server.pid())});
  };
  std::optional<long> first_number;  // the receipt number before the first job
  for (int i = 0; i < n; ++i, ++t.jobs) {
    if (i % std::max(1, n / 20) == 0) sample(i);
    if (fs::exists(finesco) || fs::exists(error)) ++t.stray_answers;
    WriteFile(dir / "SR_DATI.001", FortyLines());
    WriteFile(start, "");
    if (!WaitFor([&] { return !fs::exists(start) && (fs::exists(finesco) || fs::exists(error)); },
                 60000)) {
      ++t.unanswered;  // the server is stuck: later jobs would tell nothing
      break;
    }
    const bool printed = fs::exists(finesco), failed = fs::exists(error);
    t.both_answers += printed && failed;
    t.errors += failed;
    if (failed) {
      const std::string text = ReadAll(error);
      ++t.error_texts[text.substr(0, text.find('\r'))];
    }
    if (printed) {
      ++t.printed;
      // FINESCO comes just before the two lines of SR_OUT.
      std::string lines;
      WaitFor([&] { return (lines = ReadAll(out)).find("\r\n", lines.find("\r\n") + 2) !=
                               std::string::npos; },
              5000);
      const long number = ReceiptNumber(lines);
      if (!first_number) first_number = number - i;
      t.counter_skips += number < 0 || number != *first_number + i;
    }
    std::error_code ec;
    for (const fs::path& p : {finesco, error, out}) fs::remove(p, ec);
  }
  sample(t.jobs);
}

long EnvNumber(const char* name, long fallback) {
  const char* text = std::getenv(name);
  return text != nullptr ? std::max(1L, std::atol(text)) : fallback;
}

void BM_Soak(benchmark::State& state) {
  const long total = EnvNumber("DOVEVID_SOAK_JOBS", 10000);
  const long count = EnvNumber("DOVEVID_SOAK_SERVERS", 4);
  // Started one after the other from this thread: forking while other
  // threads run could copy a held lock into the child.
  std::vector<std::unique_ptr<Server>> servers;
  for (long s = 0; s < count; ++s) {
    servers.push_back(std::make_unique<Server>(Server::Options{"100", "115200", {}, false}));
    if (!servers.back()->ok()) return state.SkipWithError("server did not start");
  }
  std::vector<SoakTally> tallies(servers.size());
  const auto t0 = Clock::now();
  for (auto _ : state) {
    std::vector<std::thread> threads;
    for (size_t s = 0; s < servers.size(); ++s) {
      const int share = static_cast<int>(total / count + (static_cast<long>(s) < total % count));
      threads.emplace_back([&, s, share] { SoakOneServer(*servers[s], share, tallies[s]); });
    }
    for (std::thread& th : threads) th.join();
  }
  const double seconds = Seconds(Clock::now() - t0);
  state.SetIterationTime(seconds);
  SoakTally sum;
  std::array<long, 3> fds{}, rss{};  // the most at the first job, at the end, at any sample
  bool fds_grew = false;
  std::ofstream dat(ResultsDir() / "soak.dat");
  for (size_t s = 0; s < tallies.size(); ++s) {
    sum += tallies[s];
    const auto& samples = tallies[s].samples;
    for (const auto& [job, fd, kib] : samples) {
      dat << s << ' ' << job << ' ' << fd << ' ' << kib << '\n';
      fds[2] = std::max(fds[2], fd), rss[2] = std::max(rss[2], kib);
    }
    fds[0] = std::max(fds[0], samples.front()[1]), fds[1] = std::max(fds[1], samples.back()[1]);
    rss[0] = std::max(rss[0], samples.front()[2]), rss[1] = std::max(rss[1], samples.back()[2]);
    fds_grew = fds_grew || samples.back()[1] > samples.front()[1];
  }
  const std::string summary = fmt::format(
      "{} jobs on {} servers: {} printed, {} error answers, {} unanswered, {} with both "
      "answers, {} stray answers, {} receipt-number skips; descriptors {}/{}/{}, resident "
      "{}/{}/{} KiB (first job/end/most)",
      sum.jobs, count, sum.printed, sum.errors, sum.unanswered, sum.both_answers,
      sum.stray_answers, sum.counter_skips, fds[0], fds[1], fds[2], rss[0], rss[1], rss[2]);
  std::fprintf(stderr, "soak: %s\n", summary.c_str());
  for (const auto& [text, n] : sum.error_texts) {
    std::fprintf(stderr, "soak: %d error answers \"%s\"\n", n, text.c_str());
  }
  state.counters["jobs"] = sum.jobs;
  state.counters["printed"] = sum.printed;
  state.counters["error_answers"] = sum.errors;
  state.counters["jobs_per_min"] = sum.jobs * 60 / seconds;
  state.counters["fds_start"] = static_cast<double>(fds[0]);
  state.counters["fds_end"] = static_cast<double>(fds[1]);
  state.counters["rss_start_KiB"] = static_cast<double>(rss[0]);
  state.counters["rss_end_KiB"] = static_cast<double>(rss[1]);
  state.counters["rss_max_KiB"] = static_cast<double>(rss[2]);
  if (sum.jobs != total || sum.printed + sum.errors - sum.both_answers != total ||
      sum.unanswered + sum.both_answers + sum.stray_answers + sum.counter_skips != 0) {
    state.SkipWithError(("not every job answered exactly once: " + summary).c_str());
  } else if (fds_grew) {
    state.SkipWithError(("open descriptors grew: " + summary).c_str());
  }
}
BENCHMARK(BM_Soak)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

// The idle server at the default 1 s polling interval, over 60 s.
void BM_IdleServer(benchmark::State& state) {
  Server server({});
  if (!server.ok()) return state.SkipWithError("server did not start");
  std::this_thread::sleep_for(std::chrono::seconds(3));  // past the start-up dump
  for (auto _ : state) {
    const double before = CpuNs(server.pid());
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(60));
    const double seconds = Seconds(Clock::now() - t0);
    state.SetIterationTime(seconds);
    state.counters["cpu_percent"] = 100.0 * (CpuNs(server.pid()) - before) / 1e9 / seconds;
    state.counters["rss_KiB"] = static_cast<double>(ResidentKiB(server.pid()));
  }
}
BENCHMARK(BM_IdleServer)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

// `dovevid render` of 20,000 sale lines and a CASH record, the whole
// process from exec to exit, with a VAT rates file in place.
void BM_RenderProcess(benchmark::State& state) {
  char tmpl[] = "/tmp/dovevid-bench.XXXXXX";
  const fs::path dir = ::mkdtemp(tmpl);
  std::string data;
  for (int i = 0; i < 20000; ++i) {
    data += "SALE,N" + std::to_string(i % 4 + 1) + ",P" + std::to_string(100 + i % 900) +
            ",:ARTICOLO " + std::to_string(i) + "\r\n";
  }
  data += "CASH\r\n";
  WriteFile(dir / "sales.sl", data);
  WriteFile(dir / "KVVALIVA.txt", "400\r\n1000\r\n1600\r\n2200\r\n0\r\n");
  const std::vector<std::string> args = {DOVEVID_PATH, "render", dir / "sales.sl",     "--app-dir",
                                         dir,          "--now",  "2026-01-02T10:00:00"};
  std::vector<double> seconds;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    if (Run(args) != 0) return state.SkipWithError("render failed");
    seconds.push_back(Seconds(Clock::now() - t0));
    state.SetIterationTime(seconds.back());
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  state.counters["records/s"] = 20001 / Quantile(seconds, 0.5);
}
BENCHMARK(BM_RenderProcess)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
