#include "base/log.h"

#include <fmt/format.h>

#include <utility>

namespace dovevid {

TraceLog::TraceLog(Env& env, std::function<bool()> enabled,
                   std::function<std::string()> directory)
    : env_(env), enabled_(std::move(enabled)), directory_(std::move(directory)) {}

std::string TraceLog::FileName(const DateTime& t) {
  return fmt::format("ErrorLog_{:02}_{:02}_{:04}.txt", t.day, t.month, t.year);
}

void TraceLog::WriteErrorLog(std::string_view message, const Status& fault) {
  if (!enabled_ || !enabled_()) return;
  const DateTime now = env_.Now();
  const std::string line = fmt::format("err_{} | {} | {} | {}\r\n", message, FormatTimestamp(now),
                                       fault.description(), fault.number());
  // Dropped silently when it cannot be written: tracing must never stop a job.
  (void)env_.AppendFile(JoinPath(directory_(), FileName(now)), line);
}

void AppendLogFile(Env& env, const std::string& data_dir, std::string_view message) {
  const std::string line =
      fmt::format("{} {}\r\n", env.FormatLocaleDateTime(env.Now()), message);
  (void)env.AppendFile(JoinPath(data_dir, "LOGFILE.TXT"), line);
}

}  // namespace dovevid
