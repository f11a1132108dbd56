// The spooler printers' status on CUPS: the queue's state, reasons and
// message (IPP Get-Printer-Attributes) read as the status word bits of
// printer::status_bits.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cups_connection.h"
#include "platform/cups_spooler.h"
#include "printer/transport.h"

namespace dovevid::platform {

// What the scheduler says about a queue.
struct CupsPrinterState {
  int state = 3;                     // printer-state: 3 idle, 4 processing, 5 stopped
  std::vector<std::string> reasons;  // printer-state-reasons keywords
  std::string message;               // printer-state-message
};

// The status word of a queue state:
// - media-empty, media-needed (any severity suffix): roll paper end;
// - cover-open, door-open: cover open;
// - offline, a stopped queue, or a queue busy with a job whose backend says
//   the device cannot be reached: no response (print completed stays clear).
// CUPS' socket backend leaves the reasons at "none" when the device is
// unreachable and only says so in the message, so the message is matched.
std::uint32_t CupsStatusWord(const CupsPrinterState& state);

// True when a backend message says the device cannot be reached. Our jobs
// ask for English reports; Italian ones (other clients' jobs on an Italian
// system) are recognised too.
bool IsUnreachableMessage(std::string_view message);

// Asks the scheduler for `printer`'s state; false when it could not.
bool QueryPrinterState(http_t* http, const std::string& printer, CupsPrinterState* state);

class CupsStatusMonitor : public printer::StatusMonitor {
 public:
  // The drawer pulse goes out as a raw job through `spooler`.
  explicit CupsStatusMonitor(CupsSpooler& spooler);

  // A handle when the scheduler knows the queue, else -1.
  std::int32_t Open(const std::string& printer) override;
  bool GetStatus(std::int32_t handle, std::uint32_t* status) override;
  // One raw job holding the drawer pulse of the Open Drawer button, on pin 2
  // for drawer 1 and pin 5 for drawer 2 (the pulse code is not used: the
  // button's on/off times are the ones the drawers are known to open with).
  void OpenDrawer(std::int32_t handle, std::uint8_t drawer, std::uint8_t pulse) override;
  // CUPS does not pass the printer's replies back: always false.
  bool DirectIO(std::int32_t handle, std::string_view request, std::size_t max_reply,
                int timeout_ms, std::string* reply) override;
  void Close(std::int32_t handle) override;

 private:
  // The kept connection, reconnected after a failure.
  http_t* Connection();

  CupsSpooler& spooler_;
  HttpConnection http_;
  std::map<std::int32_t, std::string> printers_;
  std::int32_t next_handle_ = 1;
};

}  // namespace dovevid::platform
