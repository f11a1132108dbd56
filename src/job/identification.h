// The identification dump: the device identification the cash register
// expects in SR_MATR, taken from the printer's serial number (spooler
// printer) or from the computer's Ethernet address (serial printer), with the
// system volume's serial number as the fallback.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/env.h"
#include "base/log.h"
#include "job/job_cycle.h"
#include "job/job_files.h"
#include "job/server_state.h"
#include "printer/channel.h"

namespace dovevid::job {

// Where the identification comes from on this machine.
class IdentitySource {
 public:
  virtual ~IdentitySource() = default;
  // The primary Ethernet adapter's hardware address as upper-case hex
  // without separators ("001A2B3C4D5E"); empty when there is none.
  virtual std::string GetMacText() = 0;
  // The system volume's serial number; nothing when it cannot be read.
  virtual std::optional<std::int32_t> VolumeSerialNumber() = 0;
};

// Characters 3 to 10 of the hardware address text, or its first 8 when it
// is shorter than 11 characters.
std::string IdentificationFromMac(std::string_view mac_text);

// The serial number in the printer's reply to GS I 68 (header byte
// skipped, NULs removed): characters 3 to 10 of 10 or more, the first 8 of
// 8 or 9; nothing when shorter.
std::optional<std::string> IdentificationFromPrinterReply(std::string_view reply);

// ReadSerialNumber's cutting of the volume serial number (in decimal, after
// the first "-"): "0" below 6 digits, "J" + 6, "kY" + 7, 8 as they are, and
// longer ones shortened to 8; "12345678" when the number is unknown.
std::string ReadSerialNumber(std::optional<std::int32_t> volume_serial);

// The printer's serial-number request (GS I 68).
inline constexpr std::string_view kSerialNumberRequest = "\x1D\x49\x44";

class IdentificationDump : public DumpRunner {
 public:
  struct Deps {
    Env& env;
    TraceLog& trace;
    ServerState& state;
    JobFiles& files;
    PollTimer& timer;
    StatusView& view;
    printer::PrinterChannel& channel;
    IdentitySource& source;
  };
  explicit IdentificationDump(Deps deps);

  void StartDumpConf() override;
  // The serial printer's identification: taken from the network adapter.
  void IdentifyFromNetworkAdapter();
  // Publishes the identification and re-arms the polling timer.
  void PublishIdentification(const std::string& identification);
  // SR_MATR with the identification as its one line.
  void WriteMatrFile(const std::string& identification);

 private:
  Deps d_;
};

}  // namespace dovevid::job
