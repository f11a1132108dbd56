// The settings window's controls, made from the settings schema and bound to
// the server's settings record: each control is named after its setting
// (cboRowLength, txtHeader(3), chkOptions(5)), carries the schema's caption,
// tool tip and length limit, and a change made by the person goes to the
// server at once, without saving, so the next job uses it. Reload() shows the
// record again (after a change from the command line, or a refused value).
#pragma once

#include <QObject>
#include <QString>
#include <string>
#include <vector>

#include "base/operator.h"
#include "config/settings.h"
#include "job/server.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QWidget;

namespace dovevid::gui {

class SettingBinder : public QObject {
  Q_OBJECT

 public:
  SettingBinder(job::Server& server, Operator& op, QObject* parent = nullptr);

  // A drop-down list with the list's fixed items.
  QComboBox* List(config::List list);
  // A check box; with `captioned` it shows the setting's caption.
  QCheckBox* Check(const std::string& name, bool captioned = true);
  // optInputType(index).
  QRadioButton* InputType(int index);
  // A text box. Edited texts go to the record unless `display_only` (the
  // counter and the polling interval, which their buttons set).
  QLineEdit* Text(const std::string& name, bool display_only = false);
  // ListPrinters: the printer channel's entries.
  QListWidget* Printers();
  // A label with the setting's caption.
  static QLabel* Caption(const std::string& name);

  // Every control from the record.
  void Reload();
  // Every control made here, in the order made.
  const std::vector<QWidget*>& controls() const { return controls_; }

 private:
  void Change(const std::string& name, const std::string& value);
  void Load(QWidget* control);
  QWidget* Add(QWidget* control, const std::string& name);

  job::Server& server_;
  Operator& op_;
  std::vector<QWidget*> controls_;
};

// The setting's text (a drop-down item, a text) as the widgets show it.
QString SettingText(const config::Settings& settings, const std::string& name);

}  // namespace dovevid::gui
