#include "gui/about_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/program_icons.h"
#include "gui/program_info.h"

namespace dovevid::gui {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("Info about QNB DovEvid1"));
  auto* logo = new QLabel;
  logo->setPixmap(ProgramIcon().pixmap(48, 48));
  auto* title = new QLabel(kProductTitle + QStringLiteral(" for Linux systems 32/64 bit"));
  title->setObjectName(QStringLiteral("lblTitle"));
  auto* version = new QLabel(QStringLiteral("Versione ") + VersionText());
  version->setObjectName(QStringLiteral("lblVersion"));
  auto* description = new QLabel(kProductDescription);
  description->setObjectName(QStringLiteral("lblDescription"));
  auto* ok = new QPushButton(QStringLiteral("&OK"));
  ok->setObjectName(QStringLiteral("cmdOK"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  for (QLabel* l : {title, version, description}) texts->addWidget(l);
  auto* top = new QHBoxLayout;
  top->addWidget(logo, 0, Qt::AlignTop);
  top->addLayout(texts);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(ok, 0, Qt::AlignRight);
}

}  // namespace dovevid::gui
