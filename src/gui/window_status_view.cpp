#include "gui/window_status_view.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/main_window.h"
#include "gui/record_text.h"
#include "gui/tray_icon.h"
#include "logo/logo.h"

namespace dovevid::gui {

namespace {

// The system's status colours.
const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);

void Colour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(role, colour);
  widget->setPalette(palette);
}

}  // namespace

void WindowStatusView::Attach(job::Server& server, MainWindow& window, TrayIcon* tray) {
  server_ = &server;
  window_ = &window;
  tray_ = tray;
}

void WindowStatusView::ShowStatus(std::string_view text, bool error) {
  if (!window_) return;
  QLineEdit* box = window_->status().status;
  Colour(box, QPalette::Text, error ? kRed : QColor(Qt::black));
  box->setText(FromRecord(text));
}

void WindowStatusView::ShowTick(std::string_view text) {
  if (window_) window_->status().tick->setText(FromRecord(text));
}

void WindowStatusView::ShowReceiptCounter(std::int32_t counter) {
  if (window_) window_->status().counter->setText(QString::number(counter));
}

void WindowStatusView::ShowBusy(bool busy, std::string_view tip) {
  if (tray_) tray_->SetBusy(busy, FromRecord(tip));
}

void WindowStatusView::EnableTestButton(bool enabled) {
  if (window_) window_->status().test_receipt->setEnabled(enabled);
}

void WindowStatusView::ShowIdentification(std::string_view identification) {
  if (!window_) return;
  window_->status().identification->setText(FromRecord(identification));
  window_->status().status->setText(FromRecord(identification));
}

void WindowStatusView::ShowDumpState(std::string_view text, bool done) {
  if (!window_) return;
  QLineEdit* box = window_->status().dump_state;
  Colour(box, QPalette::Base, done ? kGreen : window_->palette().color(QPalette::Base));
  box->setText(FromRecord(text));
  box->repaint();
}

void WindowStatusView::ShowSettingsChanged() {
  if (!window_) return;
  window_->binder().Reload();
  ShowPrinterState();
}

void WindowStatusView::ShowLogoProgress(int percent) {
  if (window_) window_->status().logo_progress->setText(QString::fromStdString(logo::ProgressText(percent)));
}

void WindowStatusView::ShowPrinterState() {
  if (!window_) return;
  Colour(window_->status().port_lamp, QPalette::Window,
         server_->state().port_usable ? kGreen : kRed);
  // The channel names the printer once it has been chosen; before that the
  // saved choice stands.
  const std::string chosen = server_->channel().txtDefaultPrinter();
  window_->status().default_printer->setText(
      FromRecord(chosen.empty() ? server_->settings().SelectedPrinterName() : chosen));
}

}  // namespace dovevid::gui
