#include "platform/cups_spooler.h"

#include "platform/cups_printers.h"
#include "platform/cups_status.h"

namespace dovevid::platform {
namespace {

bool IppSucceeded() { return cupsLastError() <= IPP_STATUS_OK_CONFLICTING; }

// Create-Job asking for English: the backend reports in the job's language,
// and the status monitor reads those reports.
int CreateJob(http_t* http, const std::string& printer, const std::string& title) {
  ipp_t* request = ippNewRequest(IPP_OP_CREATE_JOB);
  ipp_attribute_t* language =
      ippFindAttribute(request, "attributes-natural-language", IPP_TAG_LANGUAGE);
  if (language != nullptr) ippSetString(request, &language, 0, "en");
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               PrinterUri(printer).c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, title.c_str());
  ipp_t* response = cupsDoRequest(http, request, PrinterResource(printer).c_str());
  int job_id = 0;
  if (IppSucceeded()) {
    if (ipp_attribute_t* id = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER)) {
      job_id = ippGetInteger(id, 0);
    }
  }
  ippDelete(response);
  return job_id;
}

void CancelJob(const std::string& printer, int job_id) {
  HttpConnection http = ConnectToScheduler();
  if (http) cupsCancelJob2(http.get(), printer.c_str(), job_id, 0);
}

// The job's job-state; nothing when the scheduler did not say.
std::optional<int> JobState(http_t* http, int job_id) {
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr,
               ("ipp://localhost/jobs/" + std::to_string(job_id)).c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
               "job-state");
  ipp_t* response = cupsDoRequest(http, request, "/jobs/");
  std::optional<int> state;
  if (IppSucceeded()) {
    if (ipp_attribute_t* a = ippFindAttribute(response, "job-state", IPP_TAG_ENUM)) {
      state = ippGetInteger(a, 0);
    }
  }
  ippDelete(response);
  return state;
}

// Handed-over documents nobody asks about are forgotten beyond this many.
constexpr std::size_t kKeptHandedOver = 16;

}  // namespace

CupsSpooler::CupsSpooler() = default;

CupsSpooler::~CupsSpooler() {
  // Unfinished documents would only print when their connection drops;
  // abandoning them is the same outcome, said explicitly.
  for (auto& [handle, doc] : documents_) {
    doc.http.reset();
    CancelJob(doc.printer, doc.job_id);
  }
}

std::vector<printer::SpoolerPrinter> CupsSpooler::ListPrinters() { return CupsPrinters(); }

std::int32_t CupsSpooler::OpenDocument(const std::string& printer,
                                       const std::string& document_name) {
  if (printer.empty()) return 0;
  HttpConnection http = ConnectToScheduler();
  if (!http) return 0;
  const int job_id = CreateJob(http.get(), printer, document_name);
  if (job_id <= 0) return 0;
  if (cupsStartDocument(http.get(), printer.c_str(), job_id, document_name.c_str(),
                        CUPS_FORMAT_RAW, /*last_document=*/1) != HTTP_STATUS_CONTINUE) {
    http.reset();
    CancelJob(printer, job_id);
    return 0;
  }
  const std::int32_t handle = next_handle_++;
  documents_[handle] = Document{std::move(http), printer, job_id, false};
  return handle;
}

bool CupsSpooler::Write(std::int32_t handle, std::string_view bytes) {
  auto it = documents_.find(handle);
  if (it == documents_.end() || it->second.failed) return false;
  // A zero-length chunk would end the document.
  if (bytes.empty()) return true;
  Document& doc = it->second;
  if (cupsWriteRequestData(doc.http.get(), bytes.data(), bytes.size()) != HTTP_STATUS_CONTINUE ||
      httpFlushWrite(doc.http.get()) < 0) {
    doc.failed = true;
    return false;
  }
  return true;
}

std::string CupsSpooler::Read(std::int32_t, std::size_t) { return {}; }

bool CupsSpooler::CloseDocument(std::int32_t handle) {
  auto it = documents_.find(handle);
  if (it == documents_.end()) return false;
  Document doc = std::move(it->second);
  documents_.erase(it);
  bool handed_over = false;
  if (!doc.failed) {
    cupsFinishDocument(doc.http.get(), doc.printer.c_str());
    handed_over = IppSucceeded();
  }
  doc.http.reset();
  if (!handed_over) {
    CancelJob(doc.printer, doc.job_id);
    return false;
  }
  if (handed_over_.size() >= kKeptHandedOver) handed_over_.erase(handed_over_.begin());
  handed_over_[handle] = {doc.printer, doc.job_id};
  return true;
}

http_t* CupsSpooler::StatusConnection() {
  if (!status_http_) status_http_ = ConnectToScheduler();
  return status_http_.get();
}

printer::DocumentProgress CupsSpooler::Progress(std::int32_t handle) {
  using printer::DocumentProgress;
  const auto it = handed_over_.find(handle);
  if (it == handed_over_.end()) return DocumentProgress::kLost;
  http_t* http = StatusConnection();
  const std::optional<int> state = http ? JobState(http, it->second.job_id) : std::nullopt;
  if (!state) {
    status_http_.reset();  // the next look starts on a fresh connection
    return DocumentProgress::kUnderWay;
  }
  switch (*state) {
    case IPP_JSTATE_COMPLETED:
      handed_over_.erase(it);
      return DocumentProgress::kPrinted;
    case IPP_JSTATE_CANCELED:
    case IPP_JSTATE_ABORTED:
      handed_over_.erase(it);
      return DocumentProgress::kLost;
    case IPP_JSTATE_HELD:
    case IPP_JSTATE_STOPPED:
      return DocumentProgress::kStuck;
    default:
      break;
  }
  // Queued or printing, on a printer that is stopped or cannot be reached.
  CupsPrinterState printer;
  if (QueryPrinterState(http, it->second.printer, &printer) &&
      (CupsStatusWord(printer) & printer::status_bits::kNoResponse) != 0) {
    return DocumentProgress::kStuck;
  }
  return DocumentProgress::kUnderWay;
}

void CupsSpooler::Cancel(std::int32_t handle) {
  const auto it = handed_over_.find(handle);
  if (it == handed_over_.end()) return;
  CancelJob(it->second.printer, it->second.job_id);
  handed_over_.erase(it);
}

void CupsSpooler::AbandonDocument(const std::string& printer) {
  if (printer.empty()) return;
  HttpConnection http = ConnectToScheduler();
  if (http) cupsCancelJob2(http.get(), printer.c_str(), CUPS_JOBID_CURRENT, 0);
}

}  // namespace dovevid::platform
