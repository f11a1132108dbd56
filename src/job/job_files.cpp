#include "job/job_files.h"

#include <fmt/format.h>

#include "base/status.h"

namespace dovevid::job {

std::string_view StatusText(JobStatus status) {
  switch (status) {
    case kJobOk: return "TUTTO OK";
    case kJobTimeout: return "TIMEOUT SCADUTO";
    default: return "ERR. IMPREVISTO ECR";
  }
}

std::string_view ErrorMessageForStatus(JobStatus status) {
  switch (status) {
    case kJobTimeout: return kMsgNotReady;
    case kJobPaperEnd: return kMsgPaperEnd;
    default: return kMsgGeneric;
  }
}

std::string ResultFileText(const DateTime& now, std::int32_t receipt_counter) {
  return fmt::format(
      "TIME,CASS. 1 ,{:02}:{:02}, CASSA   1 ,E,A1;\r\n"
      "DATE,{:02}-{:02}-{:02},  SCONTR. N.{},E,A1;\r\n",
      now.hour, now.minute, now.day, now.month, now.year % 100, receipt_counter);
}

JobFiles::JobFiles(Env& env, TraceLog& trace, Operator& op, const config::Directories& dirs,
                   const config::Settings& settings)
    : env_(env), trace_(trace), op_(op), dirs_(dirs), settings_(settings) {}

std::string JobFiles::Path(std::string_view base) const {
  return JoinPath(dirs_.data_dir, std::string(base) + settings_.FileExtension());
}

std::string JobFiles::CopyPath() const { return JoinPath(dirs_.data_dir, kCopyFile); }

bool JobFiles::Exists(std::string_view base) const { return env_.FileExists(Path(base)); }

template <typename Op>
bool JobFiles::Retry(std::string_view procedure, std::string_view logfile_message, Op op) {
  for (int attempt = 1;; ++attempt) {
    const Status st = op();
    if (st.ok()) return true;
    if (attempt >= kFileTries) {
      last_fault_ = st;
      if (!logfile_message.empty()) AppendLogFile(env_, dirs_.data_dir, logfile_message);
      trace_.WriteErrorLog(fmt::format("err_{}", procedure), st);
      return false;
    }
    Attendi(env_, kFileRetryPauseMs);
    trace_.WriteErrorLog(fmt::format("err_{} | {}", procedure, attempt), st);
  }
}

bool JobFiles::WriteErrFile(std::string_view message) {
  const std::string path = Path(kSrErr);
  const std::string line = std::string(message) + "\r\n";
  return Retry("WriteErrFile", "", [&] { return env_.WriteFile(path, line); });
}

bool JobFiles::KillWithRetry(std::string_view base, std::string_view procedure,
                             std::string_view logfile_message) {
  const std::string path = Path(base);
  return Retry(procedure, logfile_message, [&] {
    if (!env_.FileExists(path)) return Status::OK();
    Status st = env_.RemoveFile(path);
    // Gone in the meantime (the cash register cleans up too): that is done.
    if (st.number() == fault::kFileNotFound) return Status::OK();
    return st;
  });
}

bool JobFiles::SubKillErrFile() {
  return KillWithRetry(kSrErr, "SubKillErrFile", "Errore nella Kill di SR_ERR");
}

bool JobFiles::SubKillFileOut() {
  return KillWithRetry(kSrOut, "SubKillFileOut", "Errore nella Kill di SR_OUT");
}

bool JobFiles::SubKillDatiFile() {
  return KillWithRetry(kSrDati, "SubKillDatiFile", "Errore nella Kill di SR_DATI");
}

bool JobFiles::SubKillStartFile(bool mark_end) {
  end_mark_failed_ = false;
  if (!Exists(kSrStart)) return true;
  const bool removed = KillWithRetry(kSrStart, "SubKillStartFile", "Errore nella Kill di SR_START");
  if (mark_end && !Exists(kSrErr)) {
    const std::string finesco = Path(kFinesco);
    end_mark_failed_ =
        !Retry("SubKillStartFile", "", [&] { return env_.WriteFile(finesco, kFinescoContents); });
  }
  return removed;
}

void JobFiles::VerifyExistenceAndKill(std::string_view file_name) {
  std::string_view name = file_name;
  while (!name.empty() && (name.front() == '/' || name.front() == '\\')) name.remove_prefix(1);
  const std::string path = JoinPath(dirs_.data_dir, name);
  if (!env_.FileExists(path)) return;
  const Status st = env_.RemoveFile(path);
  if (st.ok() || st.number() == fault::kFileNotFound) return;
  op_.ShowMessage(fmt::format("Err_VerifyExistenceAndKill: {}{}{}",
                              st.number() == fault::kPermissionDenied ? "Permesso negato " : "",
                              st.description(), st.number()));
}

bool JobFiles::WriteResultFile(std::int32_t receipt_counter) {
  const Status st = env_.WriteFile(Path(kSrOut), ResultFileText(env_.Now(), receipt_counter));
  if (!st.ok()) {
    last_fault_ = st;
    trace_.WriteErrorLog("err_WriteOutFile", st);
  }
  return st.ok();
}

bool JobFiles::CreateEmptyOutFile() {
  const Status st = env_.WriteFile(Path(kSrOut), "");
  if (!st.ok()) trace_.WriteErrorLog("err_CreateOutFile", st);
  return st.ok();
}

}  // namespace dovevid::job
