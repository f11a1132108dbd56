// What the server reports, shown on the window and the tray icon: the status
// line (red after a failed job), the tick indicator, the dump state, the
// identification, the receipt counter, the test-receipt button and the busy
// icon. A change of the record from outside reloads every control.
#pragma once

#include <QString>

#include "job/server.h"
#include "job/server_state.h"

namespace dovevid::gui {

class MainWindow;
class TrayIcon;

class WindowStatusView : public job::StatusView {
 public:
  // Until attached, reports are dropped (the server reports nothing before
  // it starts).
  void Attach(job::Server& server, MainWindow& window, TrayIcon* tray);

  void ShowStatus(std::string_view text, bool error) override;
  void ShowTick(std::string_view text) override;
  void ShowReceiptCounter(std::int32_t counter) override;
  void ShowBusy(bool busy, std::string_view tip) override;
  void EnableTestButton(bool enabled) override;
  void ShowIdentification(std::string_view identification) override;
  void ShowDumpState(std::string_view text, bool done) override;
  void ShowSettingsChanged() override;
  void ShowLogoProgress(int percent) override;

  // The port lamp and the chosen printer, which follow the port test and
  // the printer selection.
  void ShowPrinterState();

 private:
  job::Server* server_ = nullptr;
  MainWindow* window_ = nullptr;
  TrayIcon* tray_ = nullptr;
};

}  // namespace dovevid::gui
