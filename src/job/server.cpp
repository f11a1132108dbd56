#include "job/server.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

#include "base/text.h"

namespace dovevid::job {

Server::Server(ServerEnvironment e, config::Directories dirs)
    : e_(std::move(e)),
      dirs_(std::move(dirs)),
      trace_(e_.env, [this] { return settings_.Option(config::kTraceEnable); },
             [this] { return dirs_.vista ? dirs_.data_dir : dirs_.app_dir; }),
      op_(e_.op),
      display_(e_.env, trace_, settings_, e_.display_link),
      files_(e_.env, trace_, op_, dirs_, settings_),
      paper_listener_(files_),
      channel_(e_.env, op_, settings_, e_.serial, e_.spooler, e_.monitor, e_.direct),
      renderers_(e_.env, dirs_, settings_, trace_, op_, display_),
      print_({e_.env, trace_, op_, dirs_, settings_, state_, files_, channel_, renderers_}),
      dump_({e_.env, trace_, state_, files_, e_.timer, e_.view, channel_, e_.identity}),
      cycle_({e_.env, trace_, op_, dirs_, settings_, state_, files_, e_.timer, e_.view, print_,
              dump_, [this] { channel_.ClearPaperEndEpisode(); },
              [this](JobStatus status) { OnJobEnded(status); },
              [this] {
                std::string err;
                (void)PersistCounter(&err);
              }}),
      bmp_reader_(e_.env) {
  channel_.SetPaperEndListener(&paper_listener_);
}

void Server::RequestOperator::ShowMessage(std::string_view text) {
  inner_.ShowMessage(text);
  if (capture) *capture += "dovevid: " + std::string(text) + "\n";
}

void Server::Load(bool rewrite_timer_file) {
  // The printer list first (the saved printer is matched against it), then
  // again for the loaded COM port.
  channel_.BuildPrinterList();
  config::LoadConfiguration(
      e_.env, dirs_, settings_,
      [this](const std::string& name) { return channel_.SelectPrinterByName(name); },
      rewrite_timer_file);
  channel_.BuildPrinterList();
  config::ApplyListDefaults(settings_);
  channel_.UpdateTransport();
}

void Server::Start() {
  trace_.WriteErrorLog("INIZIO PROGRAMMA");
  Load(true);
  CleanUpJobFiles();
  AnswerInterruptedJob();
  if (channel_.spooler_transport()) channel_.OpenStatusMonitor();
  state_.port_usable = channel_.TestPrinterPort();
  if (!state_.port_usable) TellPortState(false);
  // The rows keep the configured display length: forcing 20 columns here
  // would wrap every row of a 16-column display.
  display_.Start();
  // The restore routine: a fresh start shows its status.
  state_.printer_error = false;
  e_.view.ShowDumpState("DUMP NOT DONE", false);
  state_.status_display = true;
  since_ = e_.env.Now();
  // The polling timer is armed last: from here on jobs are taken.
  e_.timer.SetInterval(settings_.polling_interval_ms);
  e_.timer.SetEnabled(true);
}

// Job files an earlier run left, extensions .001 to .004. Start and data
// files stay when "No Kill Dati/Start" is checked.
void Server::CleanUpJobFiles() {
  const bool keep_jobs = settings_.Option(config::kNoKillDatiStart);
  for (int n = 1; n <= 4; ++n) {
    const std::string ext = ".00" + std::to_string(n);
    if (!keep_jobs) {
      files_.VerifyExistenceAndKill(std::string(kSrStart) + ext);
      files_.VerifyExistenceAndKill(std::string(kSrDati) + ext);
    }
    for (std::string_view base : {kSrMatr, kSrErr, kSrOut, kFinesco}) {
      files_.VerifyExistenceAndKill(std::string(base) + ext);
    }
  }
}

void Server::AnswerInterruptedJob() {
  const std::string marker = JoinPath(dirs_.data_dir, kJobMarker);
  std::string ext;
  if (!e_.env.ReadFile(marker, &ext).ok()) return;
  ext = Trim(ext);
  const auto& known = config::ListItems(config::List::kFileExtension);
  const bool valid = std::find(known.begin(), known.end(), ext) != known.end();
  // With "No Kill Dati/Start" its files are still there and the job prints
  // again; without, the clean-up took them and the cash register must learn
  // that the receipt may be half printed.
  if (valid && !e_.env.FileExists(JoinPath(dirs_.data_dir, std::string(kSrStart) + ext))) {
    (void)e_.env.WriteFile(JoinPath(dirs_.data_dir, std::string(kSrErr) + ext),
                           std::string(ErrorMessageForStatus(kJobFailed)) + "\r\n");
    trace_.WriteErrorLog("job interrupted by a restart, answered: " + std::string(kSrErr) + ext);
  }
  (void)e_.env.RemoveFile(marker);
}

void Server::RetestUnusablePort() {
  if (state_.port_usable || channel_.transport_kind() != printer::TransportKind::kSerial ||
      settings_.PrinterComPort() <= 0) {
    return;
  }
  const std::int64_t now = e_.env.MonotonicMs();
  if (now - last_port_retest_ms_ < kPortRetestMs && !files_.Exists(kSrStart)) return;
  last_port_retest_ms_ = now;
  state_.port_usable = channel_.TestPrinterPort(/*quiet=*/true);
  TellPortState(state_.port_usable);
}

void Server::TellPortState(bool usable) {
  const int com = settings_.PrinterComPort();
  const std::string device = e_.com_port_device ? e_.com_port_device(com) : "";
  const Status& why = channel_.port_test_status();
  std::string reason = usable ? "" : why.description();
  if (!usable && why.number() == fault::kPermissionDenied) {
    reason += ": add the service user to the dialout group";
  }
  if (reason == last_port_reason_) return;
  last_port_reason_ = reason;
  op_.ShowMessage(usable ? fmt::format("COM{} ({}) is usable again", com, device)
                         : fmt::format("COM{} ({}) is not usable: {}", com, device, reason));
}

bool Server::PersistCounter(std::string* err) {
  return Saved("err_SaveReceiptCounter: ", config::SaveReceiptCounter(e_.env, dirs_, settings_), err);
}

// A failed save is shown to the operator and, unless the operator's messages
// are being captured for the caller, added to `err` for the command.
bool Server::Saved(std::string_view what, const Status& st, std::string* err) {
  if (st.ok()) return true;
  const std::string text = std::string(what) + st.ToString();
  op_.ShowMessage(text);
  if (!op_.capture) *err += "dovevid: " + text + "\n";
  return false;
}

bool Server::Busy() const {
  return in_tick_ || executing_ || state_.job_in_progress || state_.dump_in_progress;
}

void Server::OnPollTick() {
  if (stopped_ || executing_) return;
  RetestUnusablePort();
  in_tick_ = true;
  cycle_.OnPollTick();
  in_tick_ = false;
  Drain();
  if (stop_requested_ && !Busy()) Shutdown();
}

void Server::OnFileAppeared(std::string_view name) {
  if (stopped_ || stop_requested_ || Busy() || !cycle_.MayPollEarly()) return;
  if (name != std::string(kSrStart) + settings_.FileExtension()) return;
  OnPollTick();
}

void Server::OnJobEnded(JobStatus status) {
  last_job_status_ = status;
  last_job_time_ = e_.env.Now();
}

void Server::HandleRequest(std::vector<std::string> request, ReplyFn reply) {
  if (stop_requested_ || stopped_) {
    reply({1, "", "dovevid: the server is stopping\n"});
    return;
  }
  const std::string verb = request.empty() ? "" : request[0];
  // Answers that touch neither the printer nor the settings come at once,
  // even in the middle of a job.
  if (verb == "settings") {
    reply(Execute(request));
    return;
  }
  if (verb == "status" && request.size() == 1 && Busy()) {
    reply(StatusReport(false));
    return;
  }
  queue_.push_back({[this, request] { return Execute(request); }, std::move(reply)});
  Drain();
}

void Server::RequestReload() {
  if (stop_requested_ || stopped_) return;
  queue_.push_back({[this] { return Reload(); }, [](const ControlReply&) {}});
  Drain();
}

ControlReply Server::Reload() {
  trace_.WriteErrorLog("reload of the configuration files");
  const config::Settings before = settings_;
  settings_ = config::Settings();
  Load(false);
  ApplySelectionHandlers(before);
  channel_.UpdateTransport();
  state_.port_usable = channel_.TestPrinterPort();
  if (!state_.port_usable) TellPortState(false);
  display_.Reopen();
  if (!state_.job_in_progress && !state_.restore_interval) {
    e_.timer.SetInterval(settings_.polling_interval_ms);
  }
  e_.view.ShowSettingsChanged();
  return {};
}

void Server::Drain() {
  if (executing_) return;  // the loop below is already running
  while (!queue_.empty() && !Busy() && !stopped_) {
    Pending next = std::move(queue_.front());
    queue_.pop_front();
    next.reply(RunExclusive(next.run));
  }
  if (stop_requested_ && !Busy() && !stopped_) Shutdown();
}

ControlReply Server::RunExclusive(const std::function<ControlReply()>& run) {
  // No poll may start a job while the request drives the printer.
  const bool was_enabled = e_.timer.Enabled();
  e_.timer.SetEnabled(false);
  executing_ = true;
  ControlReply reply = run();
  executing_ = false;
  e_.timer.SetEnabled(was_enabled || e_.timer.Enabled());
  return reply;
}

void Server::RequestStop(std::function<void()> on_stopped) {
  on_stopped_ = std::move(on_stopped);
  if (stop_requested_) return;
  stop_requested_ = true;
  // Queued requests would run into a closed channel: they are refused.
  for (Pending& p : queue_) p.reply({1, "", "dovevid: the server is stopping\n"});
  queue_.clear();
  if (Busy()) {
    // Let the job answer; a paper-end wait gives up at once instead of
    // holding the stop for minutes.
    channel_.SetPaperEndPauseLimit(0);
    return;
  }
  Shutdown();
}

void Server::Shutdown() {
  if (stopped_) return;
  stopped_ = true;
  trace_.WriteErrorLog("FINE   PROGRAMM1");
  e_.timer.SetEnabled(false);
  state_.closing = true;
  channel_.CloseStatusMonitor();
  display_.Shutdown();
  channel_.Generic_ClosePort();
  const std::string ext = settings_.FileExtension();
  for (std::string_view base : {kSrMatr, kSrErr, kSrOut, kFinesco}) {
    files_.VerifyExistenceAndKill(std::string(base) + ext);
  }
  if (settings_.Option(config::kNoKillDatiStart)) {
    files_.VerifyExistenceAndKill(std::string(kSrStart) + ext);
  }
  std::string err;
  (void)Save(&err);
  trace_.WriteErrorLog("FINE   PROGRAMM3");
  trace_.WriteErrorLog("FINE   PROGRAMM4");
  if (on_stopped_) on_stopped_();
}

bool Server::SaveConfiguration() {
  std::string err;
  return Save(&err);
}

bool Server::Save(std::string* err) {
  return Saved("err_SaveChkComFile: ", config::SaveChkComFile(e_.env, dirs_, settings_), err);
}

}  // namespace dovevid::job
