// What the job and window tests build on: the poll timer on the fake clock, fakes, fixtures.
#pragma once

#include <gmock/gmock.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "display/customer_display.h"
#include "fake_env.h"
#include "fake_transports.h"
#include "job/identification.h"  // and the cycle, its files and state it works on
#include "job/server.h"
#include "recording_operator.h"

// The matchers and fakes every job and window test uses.
namespace dovevid {
using namespace std::string_literals;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using testing::FakeEnv;
using testing::FakeSerialPort;
using ::testing::HasSubstr;
using ::testing::Not;
inline const Status kDenied = Status::Error(fault::kPermissionDenied, "Permission denied");
}  // namespace dovevid

namespace dovevid::testing {

// Fires when the FakeEnv's time reaches its due time. Setting the interval of an enabled
// timer, or enabling a disabled one, starts a new period, as a window timer does.
class FakeTimer : public job::PollTimer {
 public:
  explicit FakeTimer(FakeEnv& env) : env_(env) {}

  void SetInterval(int ms) override {
    interval_ = ms;
    if (enabled_) due_ = env_.MonotonicMs() + ms;
  }
  int Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override {
    if (enabled && !enabled_) due_ = env_.MonotonicMs() + interval_;
    enabled_ = enabled;
  }
  bool Enabled() const override { return enabled_; }

  // Fires every tick due up to `until` (monotonic ms), the clock moved to each, then to `until`.
  void RunUntil(std::int64_t until, const std::function<void()>& tick) {
    while (enabled_ && due_ <= until) {
      if (due_ > env_.MonotonicMs()) env_.AdvanceMs(due_ - env_.MonotonicMs());
      tick();
    }
    if (until > env_.MonotonicMs()) env_.AdvanceMs(until - env_.MonotonicMs());
  }

 private:
  FakeEnv& env_;
  int interval_ = 1000;
  bool enabled_ = false;
  std::int64_t due_ = 0;
};

// A machine with a fixed network address and, unless set, no volume serial number.
struct FixedIdentity : job::IdentitySource {
  std::string GetMacText() override { return mac; }
  std::optional<std::int32_t> VolumeSerialNumber() override { return volume; }
  std::string mac = "001A2B3C4D5E";
  std::optional<std::int32_t> volume;
};

// A 300 ms print run that returns the scripted results in turn (kRunSent once they run out).
class ScriptedPrint : public job::PrintRunner {
 public:
  explicit ScriptedPrint(FakeEnv& env) : env_(env) {}
  job::RunResult DoSendFile(const std::string& file) override {
    files.push_back(file);
    start_times.push_back(env_.MonotonicMs());
    if (during) during();
    env_.SleepMs(300);
    if (results.empty()) return job::kRunSent;
    const job::RunResult r = results.front();
    results.pop_front();
    return r;
  }
  FakeEnv& env_;
  std::deque<job::RunResult> results;
  std::vector<std::string> files;
  std::vector<std::int64_t> start_times;
  std::function<void()> during;
};

// A customer display that is never there.
struct NoDisplay : display::SerialLink {
  Status Open(int, std::string_view) override { return Status::Error(fault::kDeviceIo, "absent"); }
  bool IsOpen() const override { return false; }
  Status Write(std::string_view) override { return Status::Error(fault::kDeviceIo, "absent"); }
  void Close() override {}
};

class JobTest : public ::testing::Test, protected FakeChannelRig {
 protected:
  JobTest() {
    settings.cboComPort = 0;
    settings.chkOptions[config::kTraceEnable] = true;
  }
  std::string Trace() { return env.File("/data/ErrorLog_07_03_2026.txt"); }
  void Submit(const std::string& data = "Total 12,50\r\n", const std::string& ext = ".001") {
    env.SetFile("/data/SR_DATI" + ext, data);
    env.SetFile("/data/SR_START" + ext, "");
  }

  config::Directories dirs_{"/app", "/data", "/data", true};
  job::ServerState state_;
  TraceLog trace_{env, [this] { return settings.Option(config::kTraceEnable); },
                  [this] { return dirs_.data_dir; }};
  job::JobFiles files_{env, trace_, op, dirs_, settings};
  FakeTimer timer_{env};
};

// The rest of the machine a whole server runs on, and saved settings that keep receipts
// predictable: COM1, text input, trace on, no dates, no logo.
class ServerTestBase : public JobTest {
 protected:
  ServerTestBase() {
    env.AddDirectory("/app");
    env.AddDirectory("/data");
    SaveSettings(false);
  }
  void SaveSettings(bool no_kill_dati_start) {
    config::Settings s;
    s.cboComPort = 0;
    s.optInputType = {false, true};
    s.chkOptions[config::kTraceEnable] = true;
    s.chkOptions[config::kNoKillDatiStart] = no_kill_dati_start;
    s.chkOptions[config::kPrintDateUp] = s.chkOptions[config::kPrintDateDown] = false;
    s.chkOptions[config::kPrintLogoUp] = false;
    ASSERT_TRUE(config::SaveChkComFile(env, dirs_, s).ok());
  }
  job::ServerEnvironment Machine(Operator& op, job::StatusView& view, int pid = 1,
                                 std::function<std::string(int)> com_port_device = nullptr) {
    return {env,     op,      view,      timer_,   serial, spooler,
            monitor, direct_, identity_, display_, pid,    std::move(com_port_device)};
  }
  // Runs the poll timer for `ms`, the server's tick at each firing.
  void Run(job::Server& server, std::int64_t ms) {
    timer_.RunUntil(env.MonotonicMs() + ms, [&] { server.OnPollTick(); });
  }

  FakeDirectPrinters direct_{env};
  FixedIdentity identity_;
  NoDisplay display_;
};

}  // namespace dovevid::testing
