// The parts of the main window: the groups above the tab control and the six
// tab pages. Each builder makes its controls through the binder (settings)
// and the request sender (buttons); the status widgets the server writes to
// are handed back in StatusWidgets.
#pragma once

#include <QWidget>
#include <string>

#include "base/operator.h"
#include "gui/server_requests.h"
#include "gui/setting_binder.h"
#include "job/server.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace dovevid::gui {

struct StatusWidgets {
  QLineEdit* status = nullptr;           // Text2
  QLineEdit* tick = nullptr;             // Text3
  QLineEdit* dump_state = nullptr;       // Text4
  QLineEdit* identification = nullptr;   // txtMatr
  QLabel* port_lamp = nullptr;           // Shape1
  QLineEdit* counter = nullptr;          // txtNumScontr
  QPushButton* test_receipt = nullptr;   // CMBFile
  QLineEdit* default_printer = nullptr;  // txtDefaultPrinter
  QLabel* logo_progress = nullptr;       // lblLoadImage
};

struct PageTools {
  job::Server& server;
  Operator& op;
  SettingBinder& binder;
  ServerRequests& requests;
  StatusWidgets& status;
};

QWidget* BuildTopPanel(PageTools& t);
// "Header" (header true) or "Footer".
QWidget* BuildTextLinesPage(PageTools& t, bool header);
QWidget* BuildOptionsPage(PageTools& t);
QWidget* BuildLogoPage(PageTools& t);
QWidget* BuildPrintersPage(PageTools& t);
QWidget* BuildWordsPage(PageTools& t);

// A read-only text box named `name`.
QLineEdit* ReadOnlyBox(const char* name, const QString& tip = {});
// A group box with a caption and, optionally, a tool tip.
class QGroupBox* Group(const QString& caption, const QString& tip = {});
QLabel* Label(const char* name, const QString& text);

}  // namespace dovevid::gui
