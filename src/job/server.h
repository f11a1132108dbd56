// The print server as every front end runs it: start-up (configuration,
// printer list, job-file clean-up, port test, polling armed), the job cycle
// on the polling timer, the requests of the control socket, and the ordered
// shutdown. The headless service and the window program differ only in what
// they hand it (timer, status view, operator) and in what they show.
//
// One thread: the front end calls OnPollTick on its timer and HandleRequest
// for each control request. A request that drives the printer or changes
// state never runs in the middle of a job: it waits in a queue until the job
// (or the request before it) has ended.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/log.h"
#include "base/operator.h"
#include "config/files.h"
#include "config/settings.h"
#include "display/customer_display.h"
#include "job/control.h"
#include "job/identification.h"
#include "job/job_cycle.h"
#include "job/job_files.h"
#include "job/print_run.h"
#include "job/server_state.h"
#include "job/sl_renderers.h"
#include "logo/logo.h"
#include "printer/channel.h"
#include "printer/maintenance.h"
#include "printer/transport.h"
#include "sl/render.h"

namespace dovevid::job {

// The machine as the server sees it; the front end owns every piece.
struct ServerEnvironment {
  Env& env;
  Operator& op;
  StatusView& view;
  PollTimer& timer;
  printer::SerialPort& serial;
  printer::Spooler& spooler;
  printer::StatusMonitor& monitor;
  printer::DirectPrinters& direct;
  IdentitySource& identity;
  display::SerialLink& display_link;
  // For the status report: this process, and the device behind COM n.
  int process_id = 0;
  std::function<std::string(int)> com_port_device;
  // Pictures of the logo requests; bitmaps alone through `env` when null.
  logo::ImageReader* image_reader = nullptr;
  // Picture options of a logo request that names none.
  logo::ConvertOptions logo_options{};
};

// The logo requests. A picture travels as its bytes, never as a path, so no
// request makes the server read a file outside its own directories:
//   {"logo", "load", BMP, OPTION...}     stores it in the selected printer; an
//                                        empty BMP loads PreviewImageFile.bmp
//   {"logo", "preview", BMP, OPTION...}  writes PreviewImageFile.bmp
//   {"logo", "download", BMP}            sends a 1-bit bitmap as a downloaded
//                                        bit image, whatever the printer entry
//   {"logo", "print"}                    prints the stored logo once
// OPTION is "dither", "threshold=N" or "paper-width=N".
std::vector<std::string> LogoOptionWords(const logo::ConvertOptions& options);

// How often an unusable printer port is tried again.
inline constexpr int kPortRetestMs = 1000;

class Server {
 public:
  Server(ServerEnvironment e, config::Directories dirs);
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // The configuration and the printer list, as start-up loads them. A
  // command acting on the files without a running server stops here.
  void Load(bool rewrite_timer_file);
  // The whole start-up, ending with the polling timer armed.
  void Start();
  // The polling timer's tick.
  void OnPollTick();
  // A file named `name` appeared in the data directory (the front end
  // watches it). When it is the start file and the timer waits idle, the
  // poll runs now instead of at the next tick (JobCycle::MayPollEarly).
  void OnFileAppeared(std::string_view name);

  // A stop request (signal, window closed): shuts down now when idle, else
  // once the job or request in progress has ended (a paper-end wait then
  // gives up at once). `on_stopped` runs after the shutdown.
  void RequestStop(std::function<void()> on_stopped);
  bool stopped() const { return stopped_; }

  using ReplyFn = std::function<void(const ControlReply&)>;
  // One control request. Status and the settings listing answer at once;
  // the rest run now when idle, else in order after what is in progress.
  void HandleRequest(std::vector<std::string> request, ReplyFn reply);
  // Runs `request` now; the caller knows nothing else is in progress.
  ControlReply Execute(const std::vector<std::string>& request);

  // NAME=VALUE changes as the settings window makes them: all checked first
  // (one refused value changes nothing), then applied with their selection
  // handlers, so the next job uses them; saved when `save`.
  ControlReply ChangeSettings(const std::vector<std::string>& assignments, bool save);
  // "Save  Config. Data": the settings and words files. False, after telling
  // the operator, on a fault.
  bool SaveConfiguration();

  // Reads the configuration files again (SIGHUP), once nothing is in
  // progress: settings not saved are replaced by the files' values.
  void RequestReload();

  // A job, an identification dump, a poll or a request is in progress.
  bool Busy() const;

  config::Settings& settings() { return settings_; }
  const ServerState& state() const { return state_; }
  printer::PrinterChannel& channel() { return channel_; }
  JobCycle& cycle() { return cycle_; }
  TraceLog& trace() { return trace_; }
  const config::Directories& dirs() const { return dirs_; }

 private:
  // Tells the front end's operator and, while a request runs, its reply.
  class RequestOperator : public Operator {
   public:
    explicit RequestOperator(Operator& inner) : inner_(inner) {}
    void ShowMessage(std::string_view text) override;
    std::string* capture = nullptr;

   private:
    Operator& inner_;
  };
  struct Pending {
    std::function<ControlReply()> run;
    ReplyFn reply;
  };

  void CleanUpJobFiles();
  // A job a crash interrupted (its marker left behind): answered with the
  // generic error unless its files were kept to be printed again.
  void AnswerInterruptedJob();
  // While the printer port is unusable, tries it again (about once a second,
  // and whenever a job waits) and tells each change once.
  void RetestUnusablePort();
  void TellPortState(bool usable);
  // The receipt counter into the settings file, at once and alone.
  bool PersistCounter(std::string* err);
  bool Saved(std::string_view what, const Status& st, std::string* err);
  ControlReply Reload();
  void Shutdown();
  void Drain();
  ControlReply RunExclusive(const std::function<ControlReply()>& run);
  void OnJobEnded(JobStatus status);

  // The requests (server_commands.cpp).
  // `probe`: ask the printer now (nothing else is in progress).
  ControlReply StatusReport(bool probe);
  // The printer jobs go to and its device: the serial printer and its port,
  // or the listed printer and its address.
  std::pair<std::string, std::string> CurrentPrinter() const;
  ControlReply ListSettings();
  ControlReply PrinterCommand(const std::vector<std::string>& request);
  ControlReply Reprint();
  ControlReply Counter(const std::vector<std::string>& request);
  ControlReply Timer(const std::vector<std::string>& request);
  ControlReply TestReceipt();
  ControlReply LogoCommand(const std::vector<std::string>& request);
  // What follows a change of these settings, as their selection handlers do.
  void ApplySelectionHandlers(const config::Settings& before);
  // Saves the configuration; false (with the message in *err) on a fault.
  bool Save(std::string* err);

  ServerEnvironment e_;
  config::Directories dirs_;
  config::Settings settings_;
  ServerState state_;
  TraceLog trace_;
  RequestOperator op_;
  display::SerialDisplay display_;
  JobFiles files_;
  ErrorFilePaperEndListener paper_listener_;
  printer::PrinterChannel channel_;
  SlRenderers renderers_;
  PrintRun print_;
  IdentificationDump dump_;
  JobCycle cycle_;
  logo::BmpFileReader bmp_reader_;

  std::deque<Pending> queue_;
  bool in_tick_ = false;
  bool executing_ = false;
  bool stop_requested_ = false;
  bool stopped_ = false;
  std::function<void()> on_stopped_;
  std::optional<DateTime> since_;
  std::optional<JobStatus> last_job_status_;
  DateTime last_job_time_;
  printer::PrinterProbe last_probe_;
  std::int64_t last_port_retest_ms_ = 0;
  std::string last_port_reason_;
};

}  // namespace dovevid::job
