// The groups outside the tab control: file extension and identification,
// polling interval, data directory, serial settings with the port lamp, the
// message line and the test line.
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/pages.h"
#include "gui/record_text.h"

namespace dovevid::gui {

QLineEdit* ReadOnlyBox(const char* name, const QString& tip) {
  auto* box = new QLineEdit;
  box->setObjectName(QString::fromLatin1(name));
  box->setReadOnly(true);
  box->setToolTip(tip);
  return box;
}

QGroupBox* Group(const QString& caption, const QString& tip) {
  auto* group = new QGroupBox(caption);
  group->setToolTip(tip);
  return group;
}

QLabel* Label(const char* name, const QString& text) {
  auto* label = new QLabel(text);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

namespace {

QGroupBox* ExtensionGroup(PageTools& t) {
  QGroupBox* group =
      Group(QStringLiteral("File Extension and Code"), QStringLiteral("Define file extension"));
  auto* row = new QHBoxLayout(group);
  row->addWidget(t.binder.List(config::List::kFileExtension));
  t.status.identification = ReadOnlyBox("txtMatr");
  row->addWidget(t.status.identification);
  return group;
}

QGroupBox* TimerGroup(PageTools& t) {
  QGroupBox* group = Group(QStringLiteral("Timer in sec."));
  auto* row = new QHBoxLayout(group);
  QLineEdit* value = t.binder.Text("txtTimerVal", /*display_only=*/true);
  value->setMaximumWidth(80);
  row->addWidget(value);
  row->addWidget(
      t.requests.Button("cmdChgTimer", QStringLiteral("Set timer"),
                        QStringLiteral("ClicK to set the timer"), [value] {
                          return ServerRequests::Request{"timer", ToRecord(value->text())};
                        }));
  row->addWidget(Label("Label1", QStringLiteral("Status:")));
  t.status.tick = ReadOnlyBox("Text3");
  t.status.tick->setMaximumWidth(90);
  row->addWidget(t.status.tick);
  return group;
}

QGroupBox* PathGroup(PageTools& t) {
  QGroupBox* group = Group(QStringLiteral("I/O Path for Linux "));
  auto* row = new QHBoxLayout(group);
  QLineEdit* path = ReadOnlyBox("txtAppDataVista");
  path->setText(QString::fromStdString(t.server.dirs().data_dir));
  row->addWidget(path);
  return group;
}

QGroupBox* SerialGroup(PageTools& t) {
  QGroupBox* group = Group(QStringLiteral("Serial Communication"));
  auto* grid = new QGridLayout(group);
  int column = 0;
  for (config::List list : {config::List::kComPort, config::List::kBaudRate, config::List::kParity,
                            config::List::kDataBit, config::List::kStopBit}) {
    grid->addWidget(SettingBinder::Caption(std::string(config::ListControlName(list))), 0, column);
    grid->addWidget(t.binder.List(list), 1, column++);
  }
  t.status.port_lamp = Label("Shape1", QString());
  t.status.port_lamp->setFixedSize(18, 18);
  t.status.port_lamp->setAutoFillBackground(true);
  grid->addWidget(t.status.port_lamp, 1, column++);
  t.status.dump_state = ReadOnlyBox("Text4", QStringLiteral("Show connection status on COM PORT"));
  grid->addWidget(t.status.dump_state, 1, column);
  return group;
}

QWidget* MessageLine(PageTools& t) {
  auto* line = new QWidget;
  auto* row = new QHBoxLayout(line);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(Label("Label2", QStringLiteral("Msg :")));
  t.status.status = ReadOnlyBox("Text2", QStringLiteral("Stato del programma DAVID1"));
  row->addWidget(t.status.status);
  return line;
}

QWidget* TestLine(PageTools& t) {
  auto* line = new QWidget;
  auto* row = new QHBoxLayout(line);
  row->setContentsMargins(0, 0, 0, 0);
  auto* codes = new QLineEdit;
  codes->setObjectName(QStringLiteral("txtCreaEscPos"));
  codes->setPlaceholderText(QStringLiteral("27,64"));
  codes->hide();
  row->addWidget(codes);
  // The first press shows the box; the press after typing hides it and sends.
  row->addWidget(
      t.requests.Button("btnSendEscPos", QStringLiteral("EscPos"),
                        QStringLiteral("Send EscPos characters for test"), [codes] {
                          codes->setVisible(!codes->isVisible());
                          if (codes->text().isEmpty()) return ServerRequests::Request{};
                          return ServerRequests::Request{"printer", "raw", ToRecord(codes->text())};
                        }));
  row->addStretch();
  row->addWidget(t.requests.Button("btnReprint", QStringLiteral("Reprint"), {}, {"reprint"}));
  t.status.test_receipt =
      t.requests.Button("CMBFile", QStringLiteral(" ExecuteTest"),
                        QStringLiteral("Esegue scontrino di prova per test collegamento"),
                        {"test-receipt"}, ServerRequests::Enabling::kByServer);
  row->addWidget(t.status.test_receipt);
  return line;
}

}  // namespace

QWidget* BuildTopPanel(PageTools& t) {
  auto* panel = new QWidget;
  auto* grid = new QGridLayout(panel);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(ExtensionGroup(t), 0, 0);
  grid->addWidget(TimerGroup(t), 0, 1);
  grid->addWidget(PathGroup(t), 1, 0, 1, 2);
  grid->addWidget(SerialGroup(t), 2, 0, 1, 2);
  grid->addWidget(MessageLine(t), 3, 0, 1, 2);
  grid->addWidget(TestLine(t), 4, 0, 1, 2);
  return panel;
}

}  // namespace dovevid::gui
