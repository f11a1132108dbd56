#include "gui/desktop.h"

#include <QApplication>

#include "gui/closing_window.h"
#include "gui/main_window.h"
#include "gui/tray_icon.h"

namespace dovevid::gui {

Desktop::Desktop() = default;
Desktop::~Desktop() = default;

void Desktop::Open(job::Server& server) {
  server_ = &server;
  window_ = std::make_unique<MainWindow>(server, op_);
  op_.SetWindow(window_.get());
  tray_ = new TrayIcon(window_->fileMenu(), this);
  view_.Attach(server, *window_, tray_);
  connect(tray_, &TrayIcon::restoreRequested, this, &Desktop::ShowWindow);
  connect(window_.get(), &MainWindow::terminateRequested, this, &Desktop::Terminate);
  connect(&window_->requests(), &ServerRequests::answered, this,
          [this] { view_.ShowPrinterState(); });
}

void Desktop::Start() {
  server_->Start();
  view_.ShowSettingsChanged();  // the loaded configuration and its defaults
  tray_->Show();
  window_->SetHideWhenMinimised(true);
  window_->Restore();
}

void Desktop::ShowWindow() {
  if (!terminating_) window_->Restore();
}

void Desktop::Terminate() {
  if (terminating_) return;
  terminating_ = true;
  tray_->Remove();
  window_->hide();
  closing_ = std::make_unique<ClosingWindow>();
  closing_->show();
  QApplication::processEvents();  // paint it before a job keeps us busy
  server_->RequestStop([this] {
    closing_->hide();
    if (on_stopped_) on_stopped_();
  });
}

}  // namespace dovevid::gui
