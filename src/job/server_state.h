// The state the main window owns and the job cycle, the print run and the
// identification dump share: the busy flags, the port state and the device
// identification. One instance per server, on the event-loop thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dovevid::job {

struct ServerState {
  bool job_in_progress = false;
  bool dump_in_progress = false;
  // Status texts are shown (the window is visible).
  bool status_display = false;
  // Set while the printer side is in error: from the start of a dump until
  // it ends well; cleared when a job is accepted and by the restore routine.
  bool printer_error = false;
  // The printer port passed its availability test.
  bool port_usable = false;
  // The current job is the test receipt (printed as text whatever the input type).
  bool test_receipt = false;
  bool closing = false;
  // The next tick only restores the polling interval (set after a job or dump).
  bool restore_interval = false;
  // Polling ticks so far, counting 0..30001 round.
  int tick_counter = 0;
  bool tick_toggle = false;
  // What SR_MATR holds; empty until the first dump.
  std::string device_identification;
};

// What the window shows of the job cycle. Every call is a notification; the
// headless service prints some of them and drops the rest.
class StatusView {
 public:
  virtual ~StatusView() = default;
  // Text2, red when `error`.
  virtual void ShowStatus(std::string_view /*text*/, bool /*error*/) {}
  // Text3, the tick indicator.
  virtual void ShowTick(std::string_view /*text*/) {}
  // txtNumScontr.
  virtual void ShowReceiptCounter(std::int32_t /*counter*/) {}
  // The tray icon: busy or waiting, with its tip.
  virtual void ShowBusy(bool /*busy*/, std::string_view /*tip*/) {}
  // CMBFile, the test-receipt button.
  virtual void EnableTestButton(bool /*enabled*/) {}
  // txtMatr and Text2 after a dump.
  virtual void ShowIdentification(std::string_view /*identification*/) {}
  // Text4: "DUMP NOT DONE" / "DUMP EXECUTED" (green when done).
  virtual void ShowDumpState(std::string_view /*text*/, bool /*done*/) {}
  // The settings record was changed from outside the window (a command).
  virtual void ShowSettingsChanged() {}
  // lblLoadImage: how much of a logo has reached the printer.
  virtual void ShowLogoProgress(int /*percent*/) {}
};

// The polling timer as the job cycle sees it. Setting the interval of an enabled timer
// starts its period again, as enabling it does.
class PollTimer {
 public:
  virtual ~PollTimer() = default;
  virtual void SetInterval(int ms) = 0;
  virtual int Interval() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
};

}  // namespace dovevid::job
