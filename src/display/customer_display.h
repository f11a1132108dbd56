// The two-row customer display on a serial port of its own (9600,N,8,1, no
// handshaking). It greets the customer at start-up, shows the rows the SL
// receipt renderer sends while a receipt is laid out, and is cleared at
// shutdown. Control bytes: 0x0B cursor home, 0x0C clear, 0x0A cursor down.
//
// Nothing here ever stops or delays a receipt: every routine ends quietly on
// a fault and writes its own name (AsemDisplay_...) to the trace log, and the
// link bounds every write.
#pragma once

#include <string>
#include <string_view>

#include "base/env.h"
#include "base/log.h"
#include "base/status.h"
#include "config/settings.h"
#include "sl/render.h"

namespace dovevid::display {

// The serial line to the display, closed until Open().
class SerialLink {
 public:
  virtual ~SerialLink() = default;
  // Opens COM `port_number` (from 1) with the settings text "9600,N,8,1",
  // no handshaking, the DTR and RTS lines on.
  virtual Status Open(int port_number, std::string_view settings) = 0;
  virtual bool IsOpen() const = 0;
  // Sends all of `bytes` within a short bound; an error means the device is
  // gone or stalled and not all of it may have left.
  virtual Status Write(std::string_view bytes) = 0;
  // Closes at once, discarding output the device has not taken; nothing
  // happens on a closed link.
  virtual void Close() = 0;
};

inline constexpr char kHome = 0x0B;
inline constexpr char kClear = 0x0C;
inline constexpr char kDown = 0x0A;
inline constexpr int kDisplaySpeed = 9600;

// What the display shows for `row`: an empty row is `width` blanks.
std::string ShownRow(const std::string& row, int width);

// The display as the server drives it. Every routine reads the settings when
// it runs: the enable box (chkEnableComPortDisplay) gates what is sent, the
// input type gates everything (only SL receipts use the display), and the
// display port and line length are the current derived values.
class SerialDisplay : public sl::CustomerDisplay {
 public:
  // The references must outlive the display.
  SerialDisplay(Env& env, TraceLog& trace, const config::Settings& settings, SerialLink& link);
  SerialDisplay(const SerialDisplay&) = delete;
  SerialDisplay& operator=(const SerialDisplay&) = delete;

  // Start-up: opens the configured port at 9600,N,8,1, clears the display
  // and greets the customer.
  void Start();
  // After a new display port was selected: closes and opens again.
  void Reopen();
  // Shutdown: clears the display, waits 100 ms, closes the port.
  void Shutdown();

  // The routines, by the names the trace log records.
  // Checks `port` and `speed` and makes "speed,N,8,1" the settings of the
  // next open; false (logged) when they cannot be used.
  bool ProgrammaPortaSeriale(int port, int speed);
  // Opens the configured display port (when one is configured).
  void OpenPort();
  void ClosePort();
  // Homes and clears the display.
  void ResetDisplay();
  // Clears the display and shows the greeting (txtWords(31)).
  void Bonjour();

  // sl::CustomerDisplay: characters per row, and the two rows.
  int RowWidth() const override;
  void SendToDisplay(const std::string& row1, const std::string& row2) override;

 private:
  bool Sl() const { return settings_.IsSlInput(); }
  bool Active() const { return settings_.chkEnableComPortDisplay && Sl(); }
  // Opens the link on the configured port unless it is open there already.
  Status OpenLink();
  // Opens the link if needed and sends `bytes`; a fault is logged under
  // `routine`. A failed write closes the link, so a display plugged back in
  // works again at the next write.
  void Send(std::string_view routine, const std::string& bytes);

  Env& env_;
  TraceLog& trace_;
  const config::Settings& settings_;
  SerialLink& link_;
  std::string link_settings_;  // what the last programming chose
  int open_port_ = 0;          // the port the link was opened on
};

}  // namespace dovevid::display
