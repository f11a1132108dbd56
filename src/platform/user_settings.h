// Per-user overrides kept outside the configuration files, in the INI files
// of organisation "Quenbridge", application "QNBKORV1":
// ~/.config/Quenbridge/QNBKORV1.conf, then /etc/xdg/Quenbridge/QNBKORV1.conf
// (searched as Qt searches its settings files, see config/ini_text.h). Read
// without Qt, so that `dovevid render` starts without loading it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dovevid::platform {

// CustomPathDataDir, empty when not set.
std::string ReadCustomPathDataDir();

// Group ComPorts: "COM3" -> "/dev/ttyUSB0", from the user's file and, for the
// ports it does not name, the system-wide one.
std::map<int, std::string> ReadComPortOverrides();

// Group Printers: the direct printers, NAME=URI, in key order. The user's
// file comes first; the system-wide one (/etc/xdg/Quenbridge/QNBKORV1.conf)
// adds the names it does not have.
std::vector<std::pair<std::string, std::string>> ReadPrinterEntries();

// Group Logo, PaperWidthDots: the printable width logos must fit (dots);
// nothing when not set or not a positive number.
std::optional<int> ReadLogoPaperWidth();

// The directory of the running executable.
std::string ExecutableDirectory();

// The application directory when --app-dir is not given: the executable's
// directory when it is writable and not the install directory, else a state
// directory (/var/lib/QNBKORV1 for root and service accounts,
// $XDG_STATE_HOME/dovevid or ~/.local/state/dovevid for a user, made when
// missing).
std::string ApplicationDirectory();

// The common application-data folder: /var/lib.
std::string CommonAppDataFolder();

// Whether trace logs go to the data directory (always on this platform).
bool IsOsVista();

}  // namespace dovevid::platform
