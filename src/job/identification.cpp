#include "job/identification.h"

#include <fmt/format.h>

#include <algorithm>

namespace dovevid::job {

std::string IdentificationFromMac(std::string_view mac_text) {
  if (mac_text.size() < 11) return std::string(mac_text.substr(0, 8));
  return std::string(mac_text.substr(2, 8));
}

std::optional<std::string> IdentificationFromPrinterReply(std::string_view reply) {
  std::string text(reply.substr(std::min<size_t>(1, reply.size()), 19));
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  if (text.size() >= 10) return text.substr(2, 8);
  if (text.size() >= 8) return text.substr(0, 8);
  return std::nullopt;
}

std::string ReadSerialNumber(std::optional<std::int32_t> volume_serial) {
  if (!volume_serial) return "12345678";
  std::string t = std::to_string(*volume_serial);
  if (const size_t dash = t.find('-'); dash != std::string::npos) t = t.substr(dash + 1);
  switch (t.size()) {
    case 0: case 1: case 2: case 3: case 4: case 5: return "0";
    case 6: return "J" + t;
    case 7: return "kY" + t;
    case 8: return t;
    case 9: return t.substr(0, 7) + t.substr(8, 1);
    case 10: return t.substr(0, 6) + t.substr(8, 2);
    default: return t.substr(0, 5) + t.substr(8, 3);
  }
}

IdentificationDump::IdentificationDump(Deps deps) : d_(std::move(deps)) {}

void IdentificationDump::StartDumpConf() {
  if (d_.state.dump_in_progress || d_.state.job_in_progress || d_.state.closing) return;
  d_.timer.SetEnabled(false);
  d_.state.dump_in_progress = true;
  d_.state.printer_error = true;

  if (!d_.channel.spooler_transport()) {
    // The identification comes from this computer; the printer is not asked.
    d_.channel.Generic_OpenPort();
    IdentifyFromNetworkAdapter();
    d_.channel.Generic_ClosePort();
    d_.state.dump_in_progress = false;
    return;
  }

  std::string reply;
  std::optional<std::string> id;
  if (d_.channel.DirectIO(kSerialNumberRequest, 20, 5000, &reply)) {
    id = IdentificationFromPrinterReply(reply);
  }
  if (!id) id = ReadSerialNumber(d_.source.VolumeSerialNumber());
  PublishIdentification(*id);
  d_.state.dump_in_progress = false;
}

void IdentificationDump::IdentifyFromNetworkAdapter() {
  PublishIdentification(IdentificationFromMac(d_.source.GetMacText()));
}

void IdentificationDump::PublishIdentification(const std::string& identification) {
  d_.state.printer_error = false;
  WriteMatrFile(identification);
  d_.view.ShowIdentification(identification);
  d_.files.SubKillErrFile();
  d_.view.ShowDumpState("DUMP EXECUTED", true);
  d_.state.dump_in_progress = false;
  d_.state.restore_interval = true;
  d_.timer.SetInterval(kReArmIntervalMs);
  d_.timer.SetEnabled(true);
}

void IdentificationDump::WriteMatrFile(const std::string& identification) {
  const Status st = d_.env.WriteFile(d_.files.Path(kSrMatr), identification + "\r\n");
  if (!st.ok()) d_.trace.WriteErrorLog("err_WriteMatrFile", st);
  d_.state.device_identification = identification;
}

}  // namespace dovevid::job
