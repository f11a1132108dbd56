#include "gui/setting_binder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSignalBlocker>

#include "base/text.h"
#include "config/schema.h"
#include "gui/record_text.h"

namespace dovevid::gui {

namespace {

config::SettingDescription Describe(const config::Settings& s, const std::string& name) {
  return config::DescribeSetting(s, name).value_or(config::SettingDescription{});
}

// On the texts their buttons send: the record's value last shown there.
constexpr char kShownValue[] = "dovevidShownValue";

std::string Name(const QWidget* control) { return control->objectName().toStdString(); }

// The printer's name in a list entry ("RS232_PRINTER , COM1").
std::string PrinterName(const std::string& entry) { return Trim(entry.substr(0, entry.find(','))); }

}  // namespace

QString SettingText(const config::Settings& settings, const std::string& name) {
  std::string value;
  config::GetSetting(settings, name, &value);
  return FromRecord(value);
}

SettingBinder::SettingBinder(job::Server& server, Operator& op, QObject* parent)
    : QObject(parent), server_(server), op_(op) {}

QWidget* SettingBinder::Add(QWidget* control, const std::string& name) {
  control->setObjectName(QString::fromStdString(name));
  control->setToolTip(FromRecord(Describe(server_.settings(), name).tool_tip));
  controls_.push_back(control);
  Load(control);
  return control;
}

QComboBox* SettingBinder::List(config::List list) {
  auto* box = new QComboBox;
  for (const std::string& item : config::ListItems(list)) box->addItem(FromRecord(item));
  const std::string name(config::ListControlName(list));
  connect(box, &QComboBox::activated, this,
          [this, box, name](int i) { Change(name, ToRecord(box->itemText(i))); });
  Add(box, name);
  return box;
}

QCheckBox* SettingBinder::Check(const std::string& name, bool captioned) {
  auto* box = new QCheckBox;
  if (captioned) box->setText(FromRecord(Describe(server_.settings(), name).caption));
  connect(box, &QCheckBox::clicked, this, [this, name](bool on) { Change(name, on ? "1" : "0"); });
  Add(box, name);
  return box;
}

QRadioButton* SettingBinder::InputType(int index) {
  const std::string name = "optInputType(" + std::to_string(index) + ")";
  auto* button = new QRadioButton(FromRecord(Describe(server_.settings(), name).caption));
  button->setAutoExclusive(false);  // the record decides which one is on
  connect(button, &QRadioButton::clicked, this, [this, name] { Change(name, "1"); });
  Add(button, name);
  return button;
}

QLineEdit* SettingBinder::Text(const std::string& name, bool display_only) {
  auto* edit = new QLineEdit;
  new TypingLimit(Describe(server_.settings(), name).max_length, edit);
  if (display_only) {
    edit->setProperty(kShownValue, QString());
  } else {
    connect(edit, &QLineEdit::textEdited, this,
            [this, name](const QString& text) { Change(name, ToRecord(text)); });
  }
  Add(edit, name);
  return edit;
}

QListWidget* SettingBinder::Printers() {
  auto* list = new QListWidget;
  connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
    const auto& entries = server_.settings().printer_entries;
    if (row >= 0 && row < static_cast<int>(entries.size())) {
      Change("ListPrinters", PrinterName(entries[static_cast<std::size_t>(row)]));
    }
  });
  Add(list, "ListPrinters");
  return list;
}

QLabel* SettingBinder::Caption(const std::string& name) {
  return new QLabel(FromRecord(Describe(config::Settings{}, name).caption));
}

void SettingBinder::Change(const std::string& name, const std::string& value) {
  const job::ControlReply reply = server_.ChangeSettings({name + "=" + value}, /*save=*/false);
  if (reply.exit_code == 0) return;  // the server has told the window to reload
  for (const std::string& line : SplitAnyLineEnd(reply.err)) {
    op_.ShowMessage(line.rfind("dovevid: ", 0) == 0 ? line.substr(9) : line);
  }
  Reload();  // the control shows what is in force again
}

void SettingBinder::Reload() {
  for (QWidget* control : controls_) Load(control);
}

void SettingBinder::Load(QWidget* control) {
  const config::Settings& s = server_.settings();
  const std::string name = Name(control);
  const QString value = SettingText(s, name);
  const QSignalBlocker quiet(control);
  if (auto* box = qobject_cast<QComboBox*>(control)) {
    box->setCurrentIndex(box->findText(value, Qt::MatchExactly));
  } else if (auto* check = qobject_cast<QAbstractButton*>(control)) {
    check->setChecked(value == QLatin1String("1"));
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    // A text its button has not sent yet stays until the record changes.
    const QVariant shown = edit->property(kShownValue);
    if (shown.isValid() && shown.toString() == value && edit->isModified()) return;
    if (shown.isValid()) edit->setProperty(kShownValue, value);
    auto* limit = qobject_cast<TypingLimit*>(const_cast<QValidator*>(edit->validator()));
    limit->SetLimit(Describe(s, name).max_length);
    if (edit->text() != value) {
      limit->Allow(value.size());
      edit->setText(value);
    }
  } else if (auto* list = qobject_cast<QListWidget*>(control)) {
    QStringList entries;
    for (const std::string& e : s.printer_entries) entries << FromRecord(e);
    QStringList shown;
    for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
    if (shown != entries) {
      list->clear();
      list->addItems(entries);
    }
    list->setCurrentRow(s.listPrinters);
  }
}

}  // namespace dovevid::gui
