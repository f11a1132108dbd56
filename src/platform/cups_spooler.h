// The print spooler on CUPS: one raw job per open/close pair, one
// Send-Document streamed over the job's own connection, one chunk per write.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cups_connection.h"
#include "printer/transport.h"

namespace dovevid::platform {

class CupsSpooler : public printer::Spooler {
 public:
  CupsSpooler();
  ~CupsSpooler() override;

  // CUPS destinations (queues, not instances) in the scheduler's order; the
  // description is the device URI, or the make and model when the URI is not
  // reported.
  std::vector<printer::SpoolerPrinter> ListPrinters() override;
  // Creates a job on `printer` and starts its only document, raw. 0 when
  // the queue is unknown, refuses jobs or the scheduler cannot be reached.
  std::int32_t OpenDocument(const std::string& printer,
                            const std::string& document_name) override;
  // Hands the bytes to the scheduler before returning, so a failure shows up
  // on the write that met it. After a failure every write fails.
  bool Write(std::int32_t handle, std::string_view bytes) override;
  // CUPS does not pass the printer's replies back to a client.
  std::string Read(std::int32_t handle, std::size_t max_bytes) override;
  // Finishes the document, so the job prints. A document that met a write
  // failure is cancelled instead: half a receipt is not printed.
  bool CloseDocument(std::int32_t handle) override;
  // From the job's state: completed is printed; cancelled or aborted is
  // lost; held or stopped, or queued or printing on a queue that is stopped
  // or whose device cannot be reached (the status monitor's no response),
  // is stuck.
  printer::DocumentProgress Progress(std::int32_t handle) override;
  // Cancels the job.
  void Cancel(std::int32_t handle) override;
  // Cancels the job the printer is printing now.
  void AbandonDocument(const std::string& printer) override;

 private:
  struct Document {
    HttpConnection http;
    std::string printer;
    int job_id = 0;
    bool failed = false;
  };

  struct HandedOver {
    std::string printer;
    int job_id = 0;
  };
  // The kept connection for the job queries, reconnected after a failure.
  http_t* StatusConnection();

  std::map<std::int32_t, Document> documents_;
  std::map<std::int32_t, HandedOver> handed_over_;
  HttpConnection status_http_;
  std::int32_t next_handle_ = 1;
};

}  // namespace dovevid::platform
