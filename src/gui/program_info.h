// What the program says about itself in the splash and about windows.
#pragma once

#include <QString>

namespace dovevid::gui {

inline const QString kProductTitle = QStringLiteral("DovEvid1");
inline const QString kCompanyName = QStringLiteral("Quenbridge");
inline const QString kProductDescription =
    QStringLiteral("Receipt print server for ESC/POS printers");
inline const QString kLegalNotice = QStringLiteral("Copyright \u00A9 Quenbridge");

// Major.minor.0.revision, as the version information shows it.
inline QString VersionText() {
  return QStringLiteral("%1.%2.0.%3")
      .arg(DOVEVID_VERSION_MAJOR)
      .arg(DOVEVID_VERSION_MINOR)
      .arg(DOVEVID_VERSION_PATCH);
}

}  // namespace dovevid::gui
