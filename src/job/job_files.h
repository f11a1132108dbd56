// The job files shared with the cash-register application: their names, the
// answers written into them, and the small procedures that write the error
// file and delete one job file, retrying as the protocol requires.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/env.h"
#include "base/log.h"
#include "base/operator.h"
#include "config/files.h"
#include "config/settings.h"

namespace dovevid::job {

// Base names; each takes the file extension setting (".001" to ".008").
inline constexpr std::string_view kSrDati = "SR_DATI";
inline constexpr std::string_view kSrStart = "SR_START";
inline constexpr std::string_view kSrOut = "SR_OUT";
inline constexpr std::string_view kSrErr = "SR_ERR";
inline constexpr std::string_view kFinesco = "FINESCO";
inline constexpr std::string_view kSrMatr = "SR_MATR";
// Without extension.
inline constexpr std::string_view kCopyFile = "COPIA.TMP";

// The contents of the end-of-receipt marker: 7 bytes, no line end.
inline constexpr std::string_view kFinescoContents = "finesco";

// Error-file messages.
inline constexpr std::string_view kMsgNoPort = "E502: Nessuna porta di comunicazione disponibile";
inline constexpr std::string_view kMsgNoInput =
    "E511: Trasmissione non avvenuta: file di input non presente";
inline constexpr std::string_view kMsgPaperEnd = "E096: Fine carta scontrino, sostituire rotolo";
inline constexpr std::string_view kMsgNotReady =
    "E504: Nessun messaggio ricevuto: controllare connessione con l'Ecr";
inline constexpr std::string_view kMsgGeneric =
    "E : Errore generico sull'Ecr, verificare sul manuale del registratore";

// How a job ended. The numbers appear in the trace log ("Fase n.2B: -5").
enum class JobStatus {
  kJobOk = 0,
  kJobTimeout = -4,  // the printer was not ready or fell silent
  kJobFailed = -5,
  // The paper-end wait gave up: the receipt was not printed, SR_ERR keeps E096.
  kJobPaperEnd = -6,
};
using enum JobStatus;
constexpr int Number(JobStatus status) { return static_cast<int>(status); }

// "TUTTO OK", "TIMEOUT SCADUTO", "ERR. IMPREVISTO ECR".
std::string_view StatusText(JobStatus status);
// The error-file message of a failed job: E504 for a timeout, E096 for a
// paper end, the generic one else.
std::string_view ErrorMessageForStatus(JobStatus status);

// The two lines of SR_OUT after a successful job.
std::string ResultFileText(const DateTime& now, std::int32_t receipt_counter);

// How often and how far apart a failing file operation is tried.
inline constexpr int kFileTries = 20;
inline constexpr int kFileRetryPauseMs = 500;

class JobFiles {
 public:
  // The data directory and the extension are read from `dirs` and `settings`
  // at every operation, so a change of either applies to the next one.
  JobFiles(Env& env, TraceLog& trace, Operator& op, const config::Directories& dirs,
           const config::Settings& settings);

  // Data directory + base name + current extension.
  std::string Path(std::string_view base) const;
  std::string CopyPath() const;
  bool Exists(std::string_view base) const;

  // Replaces SR_ERR with one line. False when it gave up.
  bool WriteErrFile(std::string_view message);
  // Each deletes its file if it exists. False when the file could not be
  // deleted after every try (the give-up is logged; callers go on).
  bool SubKillErrFile();
  bool SubKillFileOut();
  bool SubKillDatiFile();
  // Deletes SR_START; only when there was one, no SR_ERR exists and
  // `mark_end` (the answer is complete), creates FINESCO. False when SR_START
  // is still there after every try.
  bool SubKillStartFile(bool mark_end = true);
  // Deletes `file_name` (name with its extension, e.g. "SR_OUT.002") in the
  // data directory if present; one try, a failure is told to the operator.
  void VerifyExistenceAndKill(std::string_view file_name);

  // SR_OUT with the two result lines, stamped now.
  bool WriteResultFile(std::int32_t receipt_counter);
  // SR_OUT created empty, as the print run does before sending.
  bool CreateEmptyOutFile();

  // The fault of the last file operation that failed for good.
  const Status& last_fault() const { return last_fault_; }
  // The last SubKillStartFile was to write FINESCO and could not.
  bool end_mark_failed() const { return end_mark_failed_; }

 private:
  // Runs `op` up to kFileTries times with the pause and trace entries between
  // tries; on the last failure appends `logfile_message` (when not empty) to
  // LOGFILE.TXT and traces the give-up.
  template <typename Op>
  bool Retry(std::string_view procedure, std::string_view logfile_message, Op op);
  bool KillWithRetry(std::string_view base, std::string_view procedure,
                     std::string_view logfile_message);

  Env& env_;
  TraceLog& trace_;
  Operator& op_;
  const config::Directories& dirs_;
  const config::Settings& settings_;
  Status last_fault_;
  bool end_mark_failed_ = false;
};

}  // namespace dovevid::job
