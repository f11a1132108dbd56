// The File menu's manual and web-site entries.
#pragma once

#include <QString>
#include <string>

#include "base/operator.h"
#include "config/files.h"

namespace dovevid::gui {

// The maker's web site: the menu entry's caption and what it opens.
extern const char kWebSite[];
// Where the package installs the manual.
extern const char kInstalledManual[];

// The installed manual when it is there, else darodad1.pdf in the data
// directory as it stood before CustomPathDataDir moved it.
std::string ManualPath(const config::Directories& dirs,
                       const std::string& installed = kInstalledManual);

// Opens the manual with the desktop's PDF reader; tells the operator
// "File: <path> non trovato" when it is missing.
void OpenManual(const std::string& path, Operator& op);
void OpenWebSite();

}  // namespace dovevid::gui
