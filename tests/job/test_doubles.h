// Test doubles of the job module's tests: Timer21 on the fake clock and an
// operator that keeps what it was told.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/operator.h"

#include "fake_env.h"
#include "job/server_state.h"
#include "recording_operator.h"

namespace dovevid::testing {

using RecordingOperator = ::dovevid::testing::RecordingOperator;

// Fires when the FakeEnv's time reaches its due time. Setting the interval of
// an enabled timer, or enabling a disabled one, starts a new period, as a
// window timer does.
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
  std::int64_t due() const { return due_; }

  // Fires every tick due up to `until` (monotonic ms), advancing the clock to
  // each one; then moves the clock to `until`.
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

}  // namespace dovevid::testing
