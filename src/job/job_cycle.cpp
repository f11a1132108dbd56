#include "job/job_cycle.h"

#include <fmt/format.h>

#include <functional>
#include <limits>

#include "base/text.h"

namespace dovevid::job {

JobCycle::JobCycle(Deps deps) : d_(std::move(deps)) {}

void JobCycle::OnPollTick() {
  if (d_.state.dump_in_progress) return;
  d_.timer.SetEnabled(false);

  if (d_.state.restore_interval) {
    if (d_.clear_paper_end_episode) d_.clear_paper_end_episode();
    d_.state.restore_interval = false;
    d_.timer.SetInterval(d_.settings.polling_interval_ms);
    d_.timer.SetEnabled(true);
    interval_restored_ = true;
    return;
  }
  interval_restored_ = false;

  if (d_.state.status_display) {
    d_.view.ShowTick(d_.state.tick_toggle ? "Timer ON" : "Timer on");
    d_.state.tick_toggle = !d_.state.tick_toggle;
  }
  d_.state.tick_counter = d_.state.tick_counter >= 30001 ? 0 : d_.state.tick_counter + 1;
  CheckForJob();
}

bool JobCycle::MayPollEarly() const {
  return d_.timer.Enabled() && !d_.state.restore_interval && !interval_restored_ &&
         !d_.state.job_in_progress && !d_.state.dump_in_progress;
}

void JobCycle::CheckForJob() {
  d_.timer.SetEnabled(false);

  bool accepted = AcceptJob();
  if (accepted) {
    d_.trace.WriteErrorLog("Fase n.1: 1");
    if (!d_.files.Exists(kSrDati)) {
      unwritten_answer_.clear();
      if (!d_.files.WriteErrFile(kMsgNoInput)) ReportUnwrittenAnswer(kSrErr);
      d_.files.SubKillStartFile(false);
      accepted = false;
    }
  }
  if (!accepted || d_.state.printer_error || d_.state.dump_in_progress) {
    d_.timer.SetEnabled(true);
    return;
  }

  d_.state.job_in_progress = true;
  (void)d_.env.WriteFile(JoinPath(d_.dirs.data_dir, kJobMarker), d_.settings.FileExtension());
  d_.view.ShowBusy(true, kTipBusy);
  d_.view.ShowStatus("TRASMISSIONE QNB DOVEVID1 IN CORSO ..", false);
  d_.trace.WriteErrorLog("Fase n.2: 0");
  if (d_.settings.Option(config::kReceiptCounter)) {
    // Past the largest count the numbering starts again at 1, never negative.
    std::int32_t& counter = d_.settings.receipt_counter;
    counter = counter == std::numeric_limits<std::int32_t>::max() ? 1 : counter + 1;
    d_.view.ShowReceiptCounter(d_.settings.receipt_counter);
    if (d_.counter_raised) d_.counter_raised();
  }
  d_.trace.WriteErrorLog("Fase n.2A: 0");

  const JobStatus status = ExecuteJob();
  d_.trace.WriteErrorLog(fmt::format("Fase n.2B: {}", Number(status)));
  EndJob(status);
  d_.trace.WriteErrorLog(fmt::format("Fase n.3: {}", Number(status)));
  d_.state.test_receipt = false;
}

bool JobCycle::AcceptJob() {
  if (!d_.state.port_usable) {
    d_.files.WriteErrFile(kMsgNoPort);
    return false;
  }
  if (d_.settings.PrinterComPort() <= 0 && d_.print.NeedsComPort()) return false;
  if (!d_.files.Exists(kSrMatr)) {
    d_.dump.StartDumpConf();
    return false;
  }
  if (!d_.files.Exists(kSrStart)) {
    stuck_start_.reset();
    return false;
  }
  if (stuck_start_) {
    if (d_.env.Stamp(d_.files.Path(kSrStart)) == stuck_start_) return false;
    stuck_start_.reset();
  }
  if (d_.files.Exists(kFinesco)) (void)d_.env.RemoveFile(d_.files.Path(kFinesco));
  if (d_.files.Exists(kSrOut)) d_.files.SubKillFileOut();
  d_.state.printer_error = false;
  return true;
}

JobStatus JobCycle::ExecuteJob() {
  const std::string data_path = d_.files.Path(kSrDati);
  d_.trace.WriteErrorLog("Go_Executi n.1 ");
  printed_data_.reset();
  {
    std::string data;
    const Status read = d_.env.ReadFile(data_path, &data);
    if (read.ok()) printed_data_ = std::hash<std::string>{}(data);
    // A receipt is kilobytes: data beyond the file limit is not printed.
    if (read.number() == fault::kOutOfMemory) {
      TraceExecutionFault(read);
      return kJobFailed;
    }
  }
  const std::string copy_path = d_.files.CopyPath();
  d_.trace.WriteErrorLog("Go_Executi n.2 ");
  const Status copied = d_.env.CopyFile(data_path, copy_path);
  // The copy only serves a later reprint: note it and print all the same.
  if (!copied.ok()) TraceExecutionFault(copied);
  d_.trace.WriteErrorLog("Go_Executi n.3 ");
  return RunPrints(data_path);
}

void JobCycle::TraceExecutionFault(const Status& fault) {
  d_.trace.WriteErrorLog("Go_Executi n.4 ", fault);
  if (fault.number() != fault::kPortAlreadyOpen && fault.number() != fault::kInvalidPortNumber) {
    d_.trace.WriteErrorLog("Go_Executi n.5 ", fault);
    d_.trace.WriteErrorLog("Go_Executi n.6 ", fault);
  }
}

void JobCycle::ReportUnwrittenAnswer(std::string_view base) {
  const Status& fault = d_.files.last_fault();
  unwritten_answer_ = d_.files.Path(base) + ": " + fault.description();
  d_.op.ShowMessage(fmt::format("err_End_Execution: {} {}", d_.files.Path(base), fault.ToString()));
}

JobStatus JobCycle::RunPrints(const std::string& data_path) {
  for (int run = 1;; ++run) {
    switch (d_.print.DoSendFile(data_path)) {
      case kRunSent:
        d_.state.test_receipt = false;
        return kJobOk;
      case kRunRepeat:
        if (run < kMaxPrintRuns) continue;
        return kJobFailed;
      case kRunNotReady:
        return kJobTimeout;
      case kRunPaperEnd:
        return kJobPaperEnd;
      default:
        return kJobFailed;
    }
  }
}

void JobCycle::EndJob(JobStatus status) {
  if (d_.state.status_display && d_.state.job_in_progress) {
    d_.view.ShowStatus(fmt::format("QNB DOVEVID1 TERMINATO : {}", StatusText(status)),
                       status != kJobOk);
  }
  if (d_.state.job_in_progress) {
    const bool next_job = NextJobSubmitted();
    bool start_removed = true;
    unwritten_answer_.clear();
    if (status != kJobOk) {
      if (!d_.files.WriteErrFile(ErrorMessageForStatus(status))) ReportUnwrittenAnswer(kSrErr);
      if (!next_job) start_removed = d_.files.SubKillStartFile(false);
      d_.state.job_in_progress = false;
    } else {
      d_.files.SubKillErrFile();
      if (!next_job) d_.files.SubKillDatiFile();
      // The end marker tells the cash register that SR_OUT is complete, so
      // it comes only after the result lines are written.
      const bool answered = d_.files.WriteResultFile(d_.settings.receipt_counter);
      if (!answered) ReportUnwrittenAnswer(kSrOut);
      if (!next_job) start_removed = d_.files.SubKillStartFile(answered);
      if (d_.files.end_mark_failed()) ReportUnwrittenAnswer(kFinesco);
      d_.state.job_in_progress = false;
    }
    stuck_start_.reset();
    if (!start_removed) stuck_start_ = d_.env.Stamp(d_.files.Path(kSrStart));
    printed_data_.reset();
    (void)d_.env.RemoveFile(JoinPath(d_.dirs.data_dir, kJobMarker));
    if (d_.job_ended) d_.job_ended(status);
  }
  if (d_.clear_paper_end_episode) d_.clear_paper_end_episode();
  d_.state.restore_interval = true;
  d_.timer.SetInterval(kReArmIntervalMs);
  d_.timer.SetEnabled(true);
  d_.view.EnableTestButton(true);
  d_.view.ShowBusy(false, kTipWaiting);
}

bool JobCycle::NextJobSubmitted() {
  if (!printed_data_) return false;
  std::string now;
  if (!d_.env.ReadFile(d_.files.Path(kSrDati), &now).ok()) return false;
  return std::hash<std::string>{}(now) != *printed_data_ && d_.files.Exists(kSrStart);
}

std::optional<JobStatus> JobCycle::ReprintLastJob() {
  const std::string copy_path = d_.files.CopyPath();
  if (!d_.env.FileExists(copy_path)) {
    d_.op.ShowMessage("Function not available");
    return std::nullopt;
  }
  const JobStatus status = RunPrints(copy_path);
  EndJob(status);
  return status;
}

bool JobCycle::QueueTestReceipt() {
  if (d_.state.printer_error || !d_.state.port_usable) return false;
  if (d_.state.job_in_progress || d_.state.dump_in_progress) return false;
  d_.state.test_receipt = true;
  (void)d_.env.WriteFile(d_.files.Path(kSrDati),
                         "----------------\r\nPROVA DI STAMPA \r\n----------------\r\n");
  (void)d_.env.WriteFile(d_.files.Path(kSrStart), "00000000\r\n");
  if (!d_.timer.Enabled()) d_.timer.SetEnabled(true);
  d_.view.EnableTestButton(false);
  return true;
}

bool JobCycle::ChangePollingInterval(const std::string& text) {
  if (d_.state.job_in_progress) {
    d_.op.ShowMessage("Connessione in corso, valore non accettato");
    return false;
  }
  const double v = Val(text);
  if (v == 0) d_.op.ShowMessage("Valore non ammesso");
  const bool was_enabled = d_.timer.Enabled();
  d_.timer.SetEnabled(false);
  config::CalculateTimer(d_.env, d_.dirs, d_.settings, fmt::format("{}", v), true);
  d_.timer.SetInterval(d_.settings.polling_interval_ms);
  d_.timer.SetEnabled(was_enabled);
  return true;
}

}  // namespace dovevid::job
