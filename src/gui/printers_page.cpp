// "Printers": the printer list and the chosen printer, the list reload, the
// abandon-document command and the save button.
#include <QGridLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "gui/pages.h"

namespace dovevid::gui {

QWidget* BuildPrintersPage(PageTools& t) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("pagePrinters"));
  auto* grid = new QGridLayout(page);
  grid->addWidget(t.binder.Printers(), 0, 0, 4, 1);
  t.status.default_printer = ReadOnlyBox("txtDefaultPrinter");
  grid->addWidget(t.status.default_printer, 0, 1);
  grid->addWidget(
      t.requests.Button("cmdTestPrinter", QStringLiteral("Load Printers"), {}, {"printer", "list"}),
      1, 1);
  grid->addWidget(
      t.requests.Button("cmdKillDoc", QStringLiteral("Kill Document"), {}, {"printer", "kill-doc"}),
      2, 1);
  auto* save = new QPushButton(QStringLiteral("Save  Config. Data"));
  save->setObjectName(QStringLiteral("cmdSaveConfiguration"));
  QObject::connect(save, &QPushButton::clicked, page, [&server = t.server, &op = t.op] {
    if (server.SaveConfiguration()) op.ShowMessage("Data Saving Done");
  });
  grid->addWidget(save, 3, 1, Qt::AlignTop);
  return page;
}

}  // namespace dovevid::gui
