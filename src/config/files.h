// The configuration files: the settings file KV2EPcfg.txt (88 records, in the
// application directory), the words file KV2EPcfg2.txt and the timer file
// KVTIMER1.TXT (both in the data directory).
#pragma once

#include <functional>
#include <string>

#include "base/env.h"
#include "base/status.h"
#include "config/settings.h"

namespace dovevid::config {

inline constexpr char kSettingsFileName[] = "KV2EPcfg.txt";
inline constexpr char kWordsFileName[] = "KV2EPcfg2.txt";
inline constexpr char kTimerFileName[] = "KVTIMER1.TXT";
inline constexpr int kSettingsRecords = 88;

struct Directories {
  std::string app_dir;
  std::string data_dir;
  std::string data_dir_before_override;  // the manual lives there
  bool vista = true;                     // trace log in the data directory
};

// Asked to make the named printer the selected one; returns the entry's
// position in settings.printer_entries (the printer channel's rule).
using PrinterSelector = std::function<int(const std::string& name)>;

// Steps 1 to 3 of the load: timer file, settings file, words file. Each step
// tolerates a missing or damaged file and leaves what it cannot read as it
// was. settings.printer_entries must already be filled. The server rewrites
// the timer file from what it read; the commands that only look pass false.
void LoadConfiguration(Env& env, const Directories& dirs, Settings& settings,
                       const PrinterSelector& select_printer, bool rewrite_timer_file = true);

// Step 4 of the load: every list still without a selection gets its default
// (not cboComPort, ListPrinters or cmbComPortDisplay).
void ApplyListDefaults(Settings& settings);

// Writes the settings file and the words file. On a fault returns it; the
// caller tells the operator "err_SaveChkComFile: " + description + number.
Status SaveChkComFile(Env& env, const Directories& dirs, const Settings& settings);

// Writes the receipt counter of `settings` into the settings file at once,
// replacing only its record there (other settings not yet saved stay
// unsaved); the Env replaces a file whole, so a crash never leaves half of
// one. Without a complete settings file, writes the whole file.
Status SaveReceiptCounter(Env& env, const Directories& dirs, const Settings& settings);

// The bytes of the settings file and of the words file for these settings.
std::string SettingsFileText(const Settings& settings);
std::string WordsFileText(const Settings& settings);

// Polling interval from the timer text: sets settings.polling_interval_ms and
// may rewrite settings.txtTimerVal; with `save` it also rewrites KVTIMER1.TXT.
void CalculateTimer(Env& env, const Directories& dirs, Settings& settings,
                    const std::string& value, bool save);

// The KVTIMER1.TXT record for an interval: milliseconds from 100 to 999, else
// seconds with a fraction when needed ("500", "2", "1.5").
std::string TimerFileRecord(std::int32_t interval_ms);

}  // namespace dovevid::config
