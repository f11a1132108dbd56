// The notification-area icon: the program's icon between jobs, the busy icon
// during a job, each with its tip; a double click brings the window back and
// the right button opens the File menu, "Terminate" first. Where the desktop
// has no notification area the icon is not shown and the window is never
// hidden (see MainWindow).
#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace dovevid::gui {

class TrayIcon : public QObject {
  Q_OBJECT

 public:
  TrayIcon(QMenu* menu, QObject* parent = nullptr);

  void Show();
  void Remove();
  void SetBusy(bool busy, const QString& tip);
  bool busy() const { return busy_; }
  QSystemTrayIcon* icon() const { return icon_; }

 signals:
  void restoreRequested();

 private:
  QSystemTrayIcon* icon_;
  bool busy_ = false;
};

}  // namespace dovevid::gui
