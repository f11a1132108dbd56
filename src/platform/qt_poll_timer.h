// The polling timer on Qt's event loop.
#pragma once

#include <QTimer>

#include "job/server_state.h"

namespace dovevid::platform {

class QtPollTimer : public job::PollTimer {
 public:
  QtPollTimer() { timer_.setTimerType(Qt::PreciseTimer); }
  QTimer& timer() { return timer_; }
  void SetInterval(int ms) override { timer_.setInterval(ms); }
  int Interval() const override { return timer_.interval(); }
  void SetEnabled(bool enabled) override {
    if (!enabled) {
      timer_.stop();
    } else if (!timer_.isActive()) {
      timer_.start();
    }
  }
  bool Enabled() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
};

}  // namespace dovevid::platform
