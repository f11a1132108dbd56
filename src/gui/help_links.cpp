#include "gui/help_links.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include "base/env.h"

namespace dovevid::gui {

const char kWebSite[] = DOVEVID_WEB_SITE;
const char kInstalledManual[] = DOVEVID_MANUAL_PATH;

std::string ManualPath(const config::Directories& dirs, const std::string& installed) {
  if (QFileInfo::exists(QString::fromStdString(installed))) return installed;
  return JoinPath(dirs.data_dir_before_override, "darodad1.pdf");
}

void OpenManual(const std::string& path, Operator& op) {
  const QString file = QString::fromStdString(path);
  if (!QFileInfo::exists(file)) {
    op.ShowMessage("File: " + path + " non trovato");
    return;
  }
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file))) {
    op.ShowMessage("File not found: please verify Reader ");
  }
}

void OpenWebSite() { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebSite))); }

}  // namespace dovevid::gui
