// The print run (DoSendFile): one job's data, rendered or taken as text, sent
// to the printer with the header, logo, date lines, footer, feeds and cut
// that the settings ask for.
#pragma once

#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/env.h"
#include "base/log.h"
#include "base/operator.h"
#include "config/files.h"
#include "config/settings.h"
#include "job/job_cycle.h"
#include "job/job_files.h"
#include "job/server_state.h"
#include "printer/channel.h"
#include "sl/render.h"

namespace dovevid::job {

// The SL renderers as the print run calls them.
class Renderers {
 public:
  virtual ~Renderers() = default;
  // SimulazioneScontrino on the data file.
  virtual sl::RenderResult Receipt(const std::string& data_path) = 0;
  // Loads the VAT table, then SimulazioneFattura on the data file.
  virtual sl::RenderResult Invoice(const std::string& data_path) = 0;
};

// "DD-MM-YY  hh:mm", the date line of the receipt.
std::string ReceiptDateLine(const DateTime& t);

// Writes the E096 error file when the channel finds the paper out and
// deletes it when the paper is back.
class ErrorFilePaperEndListener : public printer::PaperEndListener {
 public:
  explicit ErrorFilePaperEndListener(JobFiles& files) : files_(files) {}
  void OnPaperEndBegin() override { files_.WriteErrFile(kMsgPaperEnd); }
  void OnPaperEndEnd() override { files_.SubKillErrFile(); }

 private:
  JobFiles& files_;
};

class PrintRun : public PrintRunner {
 public:
  struct Deps {
    Env& env;
    TraceLog& trace;
    Operator& op;
    const config::Directories& dirs;
    config::Settings& settings;
    const ServerState& state;
    JobFiles& files;
    printer::PrinterChannel& channel;
    Renderers& renderers;
  };
  explicit PrintRun(Deps deps);

  RunResult DoSendFile(const std::string& data_path) override;
  bool NeedsComPort() const override;

  // The rendered-lines file of the last SL rendering (what a reprint request
  // prints again); empty until the first rendering since start-up.
  const std::string& rendered_path() const { return rendered_path_; }

 private:
  class Run;
  Deps d_;
  std::string rendered_path_;
};

}  // namespace dovevid::job
