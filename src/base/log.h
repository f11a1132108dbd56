// The two plain-text logs: the daily trace log (only while "Trace enable" is
// checked) and LOGFILE.TXT (file operations that failed for good, always).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/env.h"
#include "base/status.h"

namespace dovevid {

class TraceLog {
 public:
  // `enabled` and `directory` are asked at every entry, so switching the
  // trace on or off, or moving it, takes effect at once.
  TraceLog(Env& env, std::function<bool()> enabled, std::function<std::string()> directory);

  // One entry: "err_" + message | timestamp | fault description | fault
  // number. Pass the fault being handled, if any. An entry that cannot be
  // written is dropped.
  void WriteErrorLog(std::string_view message, const Status& fault = Status::OK());

  // "ErrorLog_DD_MM_YYYY.txt" for the given day.
  static std::string FileName(const DateTime& t);

 private:
  Env& env_;
  std::function<bool()> enabled_;
  std::function<std::string()> directory_;
};

// Appends "<short date> <long time> <message>" CR LF to LOGFILE.TXT in the
// data directory. A failure is not retried.
void AppendLogFile(Env& env, const std::string& data_dir, std::string_view message);

}  // namespace dovevid
