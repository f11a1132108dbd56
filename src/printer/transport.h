// What the printer channel needs from the machine: a serial port, direct
// printers (raw TCP, printer-class devices), the print spooler and the spooler
// printers' status source. The channel (channel.h) holds all the rules; these
// interfaces only move bytes and report facts, so the platform implements
// them thinly (termios, sockets, CUPS) and tests fake them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "printer/direct_uri.h"

namespace dovevid::printer {

// A byte pipe to a printer that answers the ESC/POS real-time status
// queries: the serial port, a TCP connection or a printer-class device.
// Closed until Open(). A pipe whose link is lost (the printer hung up, reset
// the connection or went away) closes itself: IsOpen() turns false, writes
// fail, and the next Close() reports the loss, so output that may not have
// arrived is never taken for delivered.
class PrinterPipe {
 public:
  virtual ~PrinterPipe() = default;

  // Fails with fault::kPortAlreadyOpen when it is open here or held by
  // another process.
  virtual Status Open() = 0;
  // Waits (bounded) for the queued output to reach the device, then closes.
  // An error means output was still queued or failed: it may not have been
  // delivered. Closing a closed pipe is OK, except after a lost link.
  virtual Status Close() = 0;
  virtual bool IsOpen() const = 0;

  // Queues all of `bytes` for output, waiting (bounded) while the device
  // holds output; an error means not all of it was queued.
  virtual Status Write(std::string_view bytes) = 0;
  // Appends everything received so far to *bytes; never waits.
  virtual Status Read(std::string* bytes) = 0;
  // Waits up to `ms` for received bytes; true as soon as some are there.
  virtual bool WaitReadable(int ms) = 0;
};

// One serial port, closed until Open(). Ports are numbered from 1 (COM1).
class SerialPort : public PrinterPipe {
 public:

  // Selects the port number and applies the settings text "9600,N,8,1"
  // (baud, parity letter, data bits, stop bits) with XON/XOFF handshaking
  // (a byte from the device never restarts stopped output), the DTR and RTS
  // lines on and reads that take everything received. Checks that the device
  // accepts them, but leaves the port as it was: a closed port stays closed.
  // On an open port the new settings apply at once.
  virtual Status Configure(int port_number, std::string_view settings) = 0;
  // Open() of a serial port discards stale input and output stopped by an
  // earlier XOFF; Write() waits while the device holds output with XOFF.

  // What COM `port_number` stands for on this machine, for the printer list.
  virtual std::string DeviceName(int port_number) const {
    return "COM" + std::to_string(port_number);
  }
};

// A printer reached without the spooler, on a pipe of its own.
struct DirectPrinter {
  std::string name;  // its printer name in the printer list
  std::string uri;   // socket://HOST[:PORT] or usb:DEVICE (ParseDirectUri)
};

// The direct printers configured on this machine, and pipes to them.
class DirectPrinters {
 public:
  virtual ~DirectPrinters() = default;
  // In the configured order; every URI is one ParseDirectUri accepts.
  virtual std::vector<DirectPrinter> List() = 0;
  // A new, closed pipe to `uri`.
  virtual std::unique_ptr<PrinterPipe> MakePipe(const DirectUri& uri) = 0;
};

// A spooler printer as the platform enumerates it.
struct SpoolerPrinter {
  std::string name;         // device name, the printer name of its list entry
  std::string description;  // a second property (port or driver), shown only
};

// Where a document handed over to the spooler has got to.
enum class DocumentProgress {
  kUnderWay,  // queued or printing
  kPrinted,   // the printer has taken all of it
  kStuck,     // it cannot go on now: the spooler holds or stopped it, or its
              // printer is stopped or cannot be reached; left alone it may
              // print much later
  kLost,      // the spooler cancelled or aborted it: it will not print
};

// The print spooler, raw writing: one document per open/close pair.
class Spooler {
 public:
  virtual ~Spooler() = default;

  // Installed printers in the platform's enumeration order.
  virtual std::vector<SpoolerPrinter> ListPrinters() = 0;
  // Opens `printer` and starts a raw document named `document_name`.
  // Returns a handle > 0, or 0 when the printer cannot be opened.
  virtual std::int32_t OpenDocument(const std::string& printer,
                                    const std::string& document_name) = 0;
  // One write of the whole of `bytes`; false when it failed.
  virtual bool Write(std::int32_t handle, std::string_view bytes) = 0;
  // Up to `max_bytes` the printer sent back; empty when none (or never).
  virtual std::string Read(std::int32_t handle, std::size_t max_bytes) = 0;
  // Ends the document and closes the printer. False when the document could
  // not be handed over whole (it is then not printed), so a receipt that did
  // not reach the spooler is never taken for printed.
  virtual bool CloseDocument(std::int32_t handle) = 0;
  // After CloseDocument(handle) handed the document over: where it has got
  // to. Once it is printed or lost the handle is forgotten (kLost after).
  virtual DocumentProgress Progress(std::int32_t handle) = 0;
  // Cancels the handed-over document so that it never prints; forgets it.
  virtual void Cancel(std::int32_t handle) = 0;
  // Asks `printer` to abandon the document it is printing (maintenance
  // command); errors are ignored.
  virtual void AbandonDocument(const std::string& printer) = 0;
};

// Status word bits reported by a StatusMonitor.
namespace status_bits {
inline constexpr std::uint32_t kNoResponse = 0x00000001;
inline constexpr std::uint32_t kPrintCompleted = 0x00000002;
inline constexpr std::uint32_t kCoverOpen = 0x00000020;
// Either bit means the roll paper has run out.
inline constexpr std::uint32_t kRollPaperEnd = 0x00040000 | 0x00080000;
}  // namespace status_bits

// The status source of spooler printers.
class StatusMonitor {
 public:
  virtual ~StatusMonitor() = default;

  // Starts monitoring the printer named `printer`; a handle > 0, or <= 0
  // when it cannot.
  virtual std::int32_t Open(const std::string& printer) = 0;
  // Fills *status with status_bits; false when the query did not complete.
  virtual bool GetStatus(std::int32_t handle, std::uint32_t* status) = 0;
  // Pulses the cash drawer `drawer` (1 or 2) with pulse length code `pulse`.
  virtual void OpenDrawer(std::int32_t handle, std::uint8_t drawer, std::uint8_t pulse) = 0;
  // Sends `request` to the printer and collects its reply (at most
  // `max_reply` bytes) within `timeout_ms`; false when there is no reply.
  virtual bool DirectIO(std::int32_t handle, std::string_view request, std::size_t max_reply,
                        int timeout_ms, std::string* reply) = 0;
  virtual void Close(std::int32_t handle) = 0;
};

}  // namespace dovevid::printer
