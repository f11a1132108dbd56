// fDAVid1: settings panel, status display and maintenance console at once.
// The window only lays the parts out and carries the menus; the controls
// talk to the server through the binder and the request sender.
#pragma once

#include <QMainWindow>

#include "base/operator.h"
#include "gui/pages.h"
#include "gui/server_requests.h"
#include "gui/setting_binder.h"
#include "job/server.h"

class QMenu;
class QTabWidget;

namespace dovevid::gui {

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(job::Server& server, Operator& op);

  SettingBinder& binder() { return binder_; }
  ServerRequests& requests() { return requests_; }
  StatusWidgets& status() { return status_; }
  QMenu* fileMenu() const { return file_menu_; }
  QTabWidget* tabs() const { return tabs_; }

  // Minimising hides the window (the tray icon brings it back), except
  // while the desktop has no notification area.
  void SetHideWhenMinimised(bool hide) { hide_when_minimised_ = hide; }
  // Back to normal state, shown and in front.
  void Restore();

 signals:
  // "Terminate" or the window's close button: the program shuts down.
  void terminateRequested();

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus(job::Server& server, Operator& op);

  SettingBinder binder_;
  ServerRequests requests_;
  StatusWidgets status_;
  QMenu* file_menu_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  bool hide_when_minimised_ = false;
};

}  // namespace dovevid::gui
