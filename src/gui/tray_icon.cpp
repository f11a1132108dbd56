#include "gui/tray_icon.h"

#include <QMenu>
#include <QSystemTrayIcon>

#include "gui/program_icons.h"
#include "gui/record_text.h"
#include "job/job_cycle.h"

namespace dovevid::gui {

TrayIcon::TrayIcon(QMenu* menu, QObject* parent)
    : QObject(parent), icon_(new QSystemTrayIcon(ProgramIcon(), this)) {
  icon_->setObjectName(QStringLiteral("trayIcon"));
  icon_->setToolTip(FromRecord(job::kTipWaiting));
  icon_->setContextMenu(menu);
  connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
    if (r == QSystemTrayIcon::DoubleClick) emit restoreRequested();
  });
}

void TrayIcon::Show() { icon_->show(); }
void TrayIcon::Remove() { icon_->hide(); }

void TrayIcon::SetBusy(bool busy, const QString& tip) {
  busy_ = busy;
  icon_->setIcon(busy ? BusyIcon() : ProgramIcon());
  icon_->setToolTip(tip);
}

}  // namespace dovevid::gui
