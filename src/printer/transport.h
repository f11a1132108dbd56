// What the printer channel needs from the machine: a serial port, the print
// spooler and the spooler printers' status source. The channel (channel.h)
// holds all the rules; these interfaces only move bytes and report facts, so
// the platform implements them thinly (termios, CUPS) and tests fake them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace dovevid::printer {

// One serial port, closed until Open(). Ports are numbered from 1 (COM1).
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Selects the port number and applies the settings text "9600,N,8,1"
  // (baud, parity letter, data bits, stop bits) with XON/XOFF handshaking
  // (a byte from the device never restarts stopped output), the DTR and RTS
  // lines on and reads that take everything received. Checks that the device
  // accepts them, but leaves the port as it was: a closed port stays closed.
  // On an open port the new settings apply at once.
  virtual Status Configure(int port_number, std::string_view settings) = 0;
  // Opens the configured port, discarding stale input and output stopped by
  // an earlier XOFF. Fails with fault::kPortAlreadyOpen when it is open here
  // or held by another process.
  virtual Status Open() = 0;
  // Waits (bounded) for the queued output to reach the device, then closes.
  // An error means output was still queued or failed: it may not have been
  // delivered. Closing a closed port is OK.
  virtual Status Close() = 0;
  virtual bool IsOpen() const = 0;

  // Queues all of `bytes` for output, waiting (bounded) while the device
  // holds output with XOFF; an error means not all of it was queued.
  virtual Status Write(std::string_view bytes) = 0;
  // Appends everything received so far to *bytes; never waits.
  virtual Status Read(std::string* bytes) = 0;
  // Waits up to `ms` for received bytes; true as soon as some are there.
  virtual bool WaitReadable(int ms) = 0;
};

// A spooler printer as the platform enumerates it.
struct SpoolerPrinter {
  std::string name;         // device name, the printer name of its list entry
  std::string description;  // a second property (port or driver), shown only
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
