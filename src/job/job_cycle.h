// The job cycle: the polling tick, job acceptance, the print execution with
// its repeats, the answer files and the re-arming of the timer. A state
// machine over an abstract timer, so the timing rules run under a fake clock.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "base/env.h"
#include "base/log.h"
#include "base/operator.h"
#include "config/files.h"
#include "config/settings.h"
#include "job/job_files.h"
#include "job/server_state.h"

namespace dovevid::job {

// How one print run ended (the numbers are shown by `dovevid preview`).
enum class RunResult {
  kRunSent = 0,
  kRunRepeat = 2,    // no rendered-lines file; run again
  kRunNotReady = 3,  // printer not ready, or silent mid-receipt
  kRunPaperEnd = 4,  // the paper-end wait gave up mid-receipt
  kRunFailed = 9,    // a line failed or a second fault
};
using enum RunResult;

// A print run that keeps asking for a repeat is run at most this often.
inline constexpr int kMaxPrintRuns = 3;

inline constexpr int kReArmIntervalMs = 1000;

inline constexpr std::string_view kTipBusy = "DAVid1 in esecuzione...";
inline constexpr std::string_view kTipWaiting = "DovEvid1 waiting for execution...";

// Present in the data directory while a job runs; it holds the job's file
// extension. Found at start-up, it tells of a job a crash interrupted.
inline constexpr std::string_view kJobMarker = "DOVEVID.JOB";

class PrintRunner {
 public:
  virtual ~PrintRunner() = default;
  // One print run of the job data file `data_path`.
  virtual RunResult DoSendFile(const std::string& data_path) = 0;
  // Whether jobs wait for a printer COM port to be configured: not while a
  // direct printer, which has a port of its own, is chosen.
  virtual bool NeedsComPort() const { return true; }
};

class DumpRunner {
 public:
  virtual ~DumpRunner() = default;
  // The identification dump; ends by re-arming the timer itself.
  virtual void StartDumpConf() = 0;
};

class JobCycle {
 public:
  struct Deps {
    Env& env;
    TraceLog& trace;
    Operator& op;
    const config::Directories& dirs;
    config::Settings& settings;
    ServerState& state;
    JobFiles& files;
    PollTimer& timer;
    StatusView& view;
    PrintRunner& print;
    DumpRunner& dump;
    // Ends a paper-end episode of the printer channel (its flag).
    std::function<void()> clear_paper_end_episode;
    // Told the status of every job once its answer is written.
    std::function<void(JobStatus)> job_ended = nullptr;
    // Told when a job has raised the receipt counter.
    std::function<void()> counter_raised = nullptr;
  };
  explicit JobCycle(Deps deps);

  // The polling timer's tick: restores the polling interval after a job,
  // or polls for one.
  void OnPollTick();
  // Whether a poll may run before the timer's next tick (a start file has
  // just appeared): only while the timer waits out a plain polling period.
  // Not during a job or the re-arming after it, nor in the first period
  // after that, so a job still follows the previous one by one second plus
  // the polling interval.
  bool MayPollEarly() const;
  // Runs the job waiting in the data directory, if any (once per poll).
  void CheckForJob();
  // True when a start file is there and the server can take the job now; the
  // previous job's answer is then removed. Answers E502 while the printer
  // port is unusable and starts the identification dump when SR_MATR is
  // missing.
  bool AcceptJob();
  // Copies the job's data aside and prints it.
  JobStatus ExecuteJob();
  // Answers the job with `status` and re-arms the polling timer.
  void EndJob(JobStatus status);

  // The test-receipt button. Refused while a job or a dump runs, so the files
  // it writes never change the job being printed. True when queued.
  bool QueueTestReceipt();
  // "Set timer" with the text typed into txtTimerVal. False when refused.
  bool ChangePollingInterval(const std::string& text);
  // Prints the saved copy of the last job's data again and ends as a job
  // does, without touching the job files: the cash register's next job may
  // already be waiting in SR_DATI. Nothing, after "Function not available",
  // when there is no copy.
  std::optional<JobStatus> ReprintLastJob();

  // "<answer file>: <reason>" when the last job's answer could not be
  // written (the cash register sees none); empty once an answer was.
  const std::string& unwritten_answer() const { return unwritten_answer_; }

 private:
  // SR_DATI no longer holds what this job printed: the cash register has
  // queued its next job meanwhile, whose files must survive this answer.
  bool NextJobSubmitted();
  // Print runs of `data_path` until one does not ask for a repeat.
  JobStatus RunPrints(const std::string& data_path);
  // The trace entries of a fault met by ExecuteJob.
  void TraceExecutionFault(const Status& fault);
  // An answer file could not be written: the cash register will see no
  // answer, so the operator must know.
  void ReportUnwrittenAnswer(std::string_view base);

  Deps d_;
  // A hash of SR_DATI when the job started; nothing when unreadable.
  std::optional<std::size_t> printed_data_;
  // SR_START could not be deleted at the end of the last job: taking it
  // again would print the same receipt on every poll. Its stamp, so that a
  // start file written again, however soon, is a new job.
  std::optional<FileStamp> stuck_start_;
  std::string unwritten_answer_;
  // The re-arming tick has restored the polling interval and no poll has
  // run since.
  bool interval_restored_ = false;
};

}  // namespace dovevid::job
