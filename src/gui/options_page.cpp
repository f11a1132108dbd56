// "Options": row length, feeds, barcode type, the option switches, input
// type, receipt counter, customer display and the printer test buttons.
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/text.h"
#include "gui/pages.h"
#include "gui/record_text.h"

namespace dovevid::gui {

namespace {

QWidget* Lists(PageTools& t) {
  auto* box = new QWidget;
  auto* form = new QFormLayout(box);
  for (config::List list :
       {config::List::kRowLength, config::List::kEndSpaces, config::List::kPostCutFeeds,
        config::List::kBarcode, config::List::kUnused1, config::List::kUnused2,
        config::List::kUnused3, config::List::kUnused4}) {
    form->addRow(SettingBinder::Caption(std::string(config::ListControlName(list))),
                 t.binder.List(list));
  }
  return box;
}

QWidget* Switches(PageTools& t) {
  auto* box = new QWidget;
  auto* column = new QVBoxLayout(box);
  for (int i = 0; i < config::kOptions; ++i) {
    column->addWidget(t.binder.Check("chkOptions(" + std::to_string(i) + ")"));
  }
  column->addStretch();
  return box;
}

QWidget* InputAndCounter(PageTools& t) {
  auto* box = new QWidget;
  auto* column = new QVBoxLayout(box);
  QGroupBox* input = Group(QStringLiteral("Input Type"), QStringLiteral("Define Input Type File"));
  auto* options = new QHBoxLayout(input);
  options->addWidget(t.binder.InputType(0));
  options->addWidget(t.binder.InputType(1));
  column->addWidget(input);

  auto* counter_row = new QHBoxLayout;
  QLineEdit* counter = t.binder.Text("txtNumScontr", /*display_only=*/true);
  t.status.counter = counter;
  // Whatever is typed that is not a number gives way to the counter at once.
  QObject::connect(counter, &QLineEdit::textEdited, counter,
                   [&server = t.server, counter](const QString& text) {
                     if (!text.isEmpty() && !IsNumeric(ToRecord(text))) {
                       counter->setText(QString::number(server.settings().receipt_counter));
                     }
                   });
  counter_row->addWidget(counter);
  counter_row->addWidget(
      t.requests.Button("cmdSetNumScontr", QStringLiteral("Set Num. Rec."), {}, [counter] {
        const std::string text = ToRecord(counter->text());
        return IsNumeric(text) ? ServerRequests::Request{"counter", Trim(text)}
                               : ServerRequests::Request{};
      }));
  column->addLayout(counter_row);

  auto* display = new QFormLayout;
  display->addRow(SettingBinder::Caption("cmbComPortDisplay"),
                  t.binder.List(config::List::kComPortDisplay));
  display->addRow(t.binder.Check("chkEnableComPortDisplay"));
  display->addRow(SettingBinder::Caption("cboDisplayLength"),
                  t.binder.List(config::List::kDisplayLength));
  column->addLayout(display);
  column->addStretch();
  return box;
}

QWidget* PrinterButtons(PageTools& t) {
  auto* box = new QWidget;
  auto* column = new QVBoxLayout(box);
  ServerRequests& r = t.requests;
  column->addWidget(r.Button("cmdResetPrinter", QStringLiteral("Init. Printer"),
                             QStringLiteral("Initialize the printer"), {"printer", "init"}));
  column->addWidget(
      r.Button("cmdOpenDrawer", QStringLiteral("Open Drawer"), {}, {"printer", "drawer"}));
  column->addWidget(
      r.Button("cmdTestBarcode", QStringLiteral("Test Barcode"), {}, {"printer", "barcode"}));
  column->addWidget(
      r.Button("Command2", QStringLiteral("Test Paper"), {}, {"printer", "test-paper"}));
  column->addStretch();
  return box;
}

}  // namespace

QWidget* BuildOptionsPage(PageTools& t) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("pageOptions"));
  auto* row = new QHBoxLayout(page);
  row->addWidget(Lists(t));
  row->addWidget(Switches(t));
  row->addWidget(InputAndCounter(t));
  row->addWidget(PrinterButtons(t));
  return page;
}

}  // namespace dovevid::gui
