// The window program's front end of the server: its operator (message
// boxes), its status view, the main window, the tray icon, and the shutdown
// order. Made in two steps, because the server needs the operator and the
// view before the window can be built over it:
//
//   Desktop desktop;
//   job::Server server({..., desktop.op(), desktop.view(), timer, ...}, dirs);
//   desktop.Open(server);
//   desktop.Start();   // the server's start-up, then the window is shown
#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "gui/message_operator.h"
#include "gui/window_status_view.h"
#include "job/server.h"

namespace dovevid::gui {

class ClosingWindow;
class MainWindow;
class TrayIcon;

class Desktop : public QObject {
  Q_OBJECT

 public:
  Desktop();
  ~Desktop() override;

  MessageOperator& op() { return op_; }
  job::StatusView& view() { return view_; }

  // Builds the window and the tray icon over `server`.
  void Open(job::Server& server);
  // The server's start-up; then the tray icon and the window are shown.
  void Start();
  // Brings the window back (tray double click, a second start).
  void ShowWindow();
  // The shutdown order: window hidden, icon removed, closing window shown,
  // the server stopped (after the job in progress), then `on_stopped`.
  void Terminate();
  void SetOnStopped(std::function<void()> on_stopped) { on_stopped_ = std::move(on_stopped); }

  MainWindow* window() const { return window_.get(); }
  TrayIcon* tray() const { return tray_; }
  ClosingWindow* closing() const { return closing_.get(); }

 private:
  MessageOperator op_;
  WindowStatusView view_;
  job::Server* server_ = nullptr;
  std::unique_ptr<MainWindow> window_;
  TrayIcon* tray_ = nullptr;
  std::unique_ptr<ClosingWindow> closing_;
  std::function<void()> on_stopped_;
  bool terminating_ = false;
};

}  // namespace dovevid::gui
