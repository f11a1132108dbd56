// The printer channel: the one road to the receipt printer. Users call the
// Generic_ operations in the order open, sends, close and never ask which
// transport is behind them: a byte pipe (the serial port, or a direct printer
// on raw TCP or a printer-class device; status by ESC/POS real-time queries)
// or a spooler printer (status from the StatusMonitor). The channel also owns
// the printer list, the transport choice, the serial port test, the
// paper-end wait and the wait for a spooler document to print.
//
// Everything runs on the event-loop thread; waits go through Env (SleepMs and
// PumpEvents), so other events can run while the channel waits.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/operator.h"
#include "config/settings.h"
#include "printer/transport.h"

namespace dovevid::printer {

// Results of the sends.
enum class SendResult {
  kSent,
  // The spooler write failed, or the serial port failed to take the bytes.
  kWriteFailed,
  // The paper stayed out for the whole paper-end wait: the line was NOT sent.
  // The paper-end episode (and its error file) stays open.
  kPaperEndGaveUp,
  // The printer left kMaxUnansweredQueries status queries in a row
  // unanswered, and none for kSilentAfterMs: it is gone or hung, and the
  // line was NOT sent (nothing sent into the void is printed). The time keeps
  // a loaded machine, whose replies come late now and then, from failing a
  // receipt.
  kNoAnswer,
};
using enum SendResult;
inline constexpr int kMaxUnansweredQueries = 3;
inline constexpr int kSilentAfterMs = 2000;

// Pauses of one second a line send waits for paper before giving up.
inline constexpr int kPaperEndPauseLimit = 300;

// How long closing a spooler document waits for it to print.
inline constexpr int kSpoolerCompletionTimeoutMs = 30000;

// One entry of the printer list, for listings.
struct PrinterListItem {
  std::string name;         // the entry's printer name
  TransportKind transport;  // how it is reached
  std::string uri;          // serial device, the spooler's device URI, or the direct URI
};

// Told when the channel finds the paper out before a line (begin: the error
// file "E096: ..." is to be written) and when it finds it back (end: the
// error file is to be deleted). Begin is told once per episode.
class PaperEndListener {
 public:
  virtual ~PaperEndListener() = default;
  virtual void OnPaperEndBegin() = 0;
  virtual void OnPaperEndEnd() = 0;
};

class PrinterChannel {
 public:
  // `settings` is the configuration record the channel reads (printer COM
  // port, serial settings) and whose printer list (printer_entries,
  // listPrinters) it fills and selects. `direct` adds its printers to the
  // list, after the spooler's. All references must outlive it.
  PrinterChannel(Env& env, Operator& op, config::Settings& settings, SerialPort& serial,
                 Spooler& spooler, StatusMonitor& monitor, DirectPrinters& direct);
  // Without direct printers.
  PrinterChannel(Env& env, Operator& op, config::Settings& settings, SerialPort& serial,
                 Spooler& spooler, StatusMonitor& monitor);
  ~PrinterChannel();

  void SetPaperEndListener(PaperEndListener* listener) { listener_ = listener; }
  // Pauses before a line send gives up on a paper end (kPaperEndPauseLimit).
  void SetPaperEndPauseLimit(int pauses) { pause_limit_ = pauses; }
  // How long closing a spooler document waits for it to print
  // (kSpoolerCompletionTimeoutMs).
  void SetSpoolerCompletionTimeout(int ms) { completion_timeout_ms_ = ms; }

  // --- The generic operations ---------------------------------------------

  // Serial: configures the port from the settings (printer COM port,
  // SerialSettingsText) and opens it; errors are swallowed (later sends
  // fail). Direct printer: connects or opens its device, errors swallowed
  // alike. Spooler: starts a document NAME_YYYYMMDD_hhmm_N on the current
  // printer; "STAMPANTE NON RICONOSCIUTA" when it cannot be opened.
  void Generic_OpenPort();
  // kSent, or kWriteFailed when the pipe could not deliver what was still
  // queued (or lost its link), or the spooler document did not print: the
  // spooler stopped, held or lost it, its printer could not be reached, or
  // it had not printed within the completion timeout. A document that has
  // not printed is cancelled, so it cannot print later unseen.
  SendResult Generic_ClosePort();
  // Paper-end wait, then text + CR LF. kSent, kWriteFailed or kPaperEndGaveUp.
  // A pipe that loses its link during the wait ends it with kWriteFailed.
  SendResult Generic_TrasmettiStringa_CRLF(std::string_view text);
  // The bytes as they are, no paper check. kSent or kWriteFailed.
  SendResult Generic_TrasmettiStringa_NoCRLF(std::string_view bytes);
  // Sends, then collects the reply polling every `poll_ms` up to `timeout_ms`.
  std::string Generic_TrasmettiStringa_CRLF_Ricevi(std::string_view text, int poll_ms,
                                                   int timeout_ms, bool add_crlf);
  // True on paper end (or cover open on a spooler printer). *status_char gets
  // the first reply byte (serial), "a" (spooler), or stays empty when the
  // serial printer did not answer.
  bool Generic_CheckFineCartaTM88(std::string* status_char);

  // --- Readiness ---------------------------------------------------------

  // Serial or direct printer: true (not ready) when it does not answer the
  // printer status query (or cannot be reached) or reports itself off line.
  bool VerificaStatoStampante();
  // Spooler printer: true when the status monitor reports no response
  // (false without a monitor or when the query fails).
  bool CheckNoResponse();

  // --- Serial port facility ----------------------------------------------

  // Tests `port_number` with the fixed settings "9600,N,8,1" without leaving
  // it open. Sets port_usable(); on failure tells the operator
  // "Porta Com n.<port> non disponibile". Returns port_usable().
  // `quiet`: no message on failure (a test repeated while the port is out).
  bool PortTest(int port_number, bool quiet = false);
  // The start-up test of the printer port: the selected direct printer
  // passes untried (one switched on later prints; until then jobs find it
  // not ready), otherwise PortTest() of the printer COM port when one is
  // configured. Returns port_usable().
  bool TestPrinterPort(bool quiet = false);
  // Why the last port test failed (the system's reason); OK after a pass.
  const Status& port_test_status() const { return port_test_status_; }
  bool port_usable() const { return port_usable_; }

  // --- Printer list and transport ----------------------------------------

  // Rebuilds settings.printer_entries: "RS232_PRINTER , COM<port>", then one
  // "<name> ,  <description>" per spooler printer, then one "<name> ,  <uri>"
  // per direct printer whose name is not listed already. The selected
  // printer stays selected when it is still listed.
  void BuildPrinterList();
  // The entries of the printer list with their transports and URIs.
  std::vector<PrinterListItem> PrinterListItems() const;
  // Makes the entry selected in settings.listPrinters the printer in use
  // (ending with UpdateTransport()).
  void SelectListedPrinter();
  // Start-up selection of the saved printer name; returns the entry index
  // (0 for the serial printer or when nothing matched).
  int SelectPrinterByName(const std::string& name);
  // Recomputes the transport: the direct printer of the selected entry;
  // else the spooler when an entry after the first is selected and a spooler
  // printer has ever been matched; else the serial port.
  void UpdateTransport();
  TransportKind transport_kind() const { return transport_; }
  bool spooler_transport() const { return transport_ == TransportKind::kSpooler; }
  bool spooler_selected() const { return spooler_selected_; }
  // The spooler printer made current by a selection (empty when none).
  const std::string& current_printer() const { return current_printer_; }
  // "RS232_PRINTER", the device name of the chosen spooler printer or the
  // name of the chosen direct printer.
  const std::string& txtDefaultPrinter() const { return default_printer_; }

  // --- Status monitor (spooler printers) ----------------------------------

  // Opens the monitor when the spooler transport is chosen, none is open and
  // the current printer has a name.
  void OpenStatusMonitor();
  void CloseStatusMonitor();
  // The open monitor's handle; 0 when none is open.
  std::int32_t status_monitor_handle() const { return mp_handle_; }
  // Drawer 1, pulse 1 through the monitor; nothing without a monitor.
  void OpenDrawerThroughMonitor();
  // The printer's reply to `request` through the monitor; false without one.
  bool DirectIO(std::string_view request, std::size_t max_reply, int timeout_ms,
                std::string* reply);
  // Abandons the current spooler printer's document (maintenance command).
  void AbandonDocument();

  // --- State ---------------------------------------------------------------

  bool paper_end_episode() const { return paper_end_episode_; }
  // The job cycle forgets an episode at the end of every job.
  void ClearPaperEndEpisode() { paper_end_episode_ = false; }
  // The open spooler document's handle (0 when none is open) and how many
  // documents the channel has started (their names end with the count).
  std::int32_t spooler_document_handle() const { return lh_printer_; }
  std::int32_t spooler_documents_started() const { return current_num_doc_; }
  int printer_com_port() const { return com_port_; }
  // How the last Generic_OpenPort went: the system's reason when the serial
  // port could not be set up or opened, or the spooler printer not opened.
  const Status& open_status() const { return open_status_; }

 private:
  // The serial halves of the generic operations.
  void OpenSerialPort();
  SendResult CloseSerialPort();
  bool VerificaFineCarta(std::string* status_char);
  SendResult Send(std::string_view bytes, bool line);
  // The pipe of a serial or direct transport (null when a direct printer's
  // pipe could not be made).
  PrinterPipe* Pipe();
  bool PipeLost();
  const DirectPrinter* SelectedDirectPrinter() const;
  SendResult CloseSpoolerDocument();
  bool AwaitPrinted(std::int32_t handle);

  Env& env_;
  Operator& op_;
  config::Settings& settings_;
  SerialPort& serial_;
  Spooler& spooler_;
  StatusMonitor& monitor_;
  DirectPrinters& direct_;
  PaperEndListener* listener_ = nullptr;
  int pause_limit_ = kPaperEndPauseLimit;
  int completion_timeout_ms_ = kSpoolerCompletionTimeoutMs;

  bool port_usable_ = false;
  bool spooler_selected_ = false;
  TransportKind transport_ = TransportKind::kSerial;
  // The direct printers in the list, and the pipe to the selected one.
  std::vector<DirectPrinter> listed_direct_;
  std::unique_ptr<PrinterPipe> direct_pipe_;
  std::string direct_pipe_uri_;
  std::string last_fault_told_;  // since the last open
  bool paper_end_episode_ = false;
  std::string current_printer_;
  std::string default_printer_;
  std::int32_t lh_printer_ = 0;
  std::int32_t current_num_doc_ = 0;
  std::int32_t mp_handle_ = 0;
  int com_port_ = 0;
  Status open_status_;
  Status port_test_status_;
  int unanswered_queries_ = 0;
  std::int64_t last_reply_ms_ = 0;
};

}  // namespace dovevid::printer
