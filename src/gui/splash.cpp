#include "gui/splash.h"

#include <QLabel>
#include <QVBoxLayout>

#include "gui/program_icons.h"
#include "gui/program_info.h"

namespace dovevid::gui {

namespace {

QLabel* Line(const char* name, const QString& text, int point_size = 0) {
  auto* label = new QLabel(text);
  label->setObjectName(QString::fromLatin1(name));
  label->setAlignment(Qt::AlignCenter);
  if (point_size > 0) {
    QFont font = label->font();
    font.setPointSize(point_size);
    font.setBold(true);
    label->setFont(font);
  }
  return label;
}

}  // namespace

Splash::Splash()
    : QWidget(nullptr, Qt::SplashScreen | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("frmSplash"));
  setAttribute(Qt::WA_DeleteOnClose);
  auto* logo = new QLabel;
  logo->setPixmap(ProgramIcon().pixmap(64, 64));
  logo->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(40, 24, 40, 24);
  layout->addWidget(logo);
  layout->addWidget(Line("lblProductName", kProductTitle, 20));
  layout->addWidget(Line("lblCompanyProduct", kCompanyName, 11));
  layout->addWidget(Line("lblPlatform", QStringLiteral("Per sistemi Linux 32/64 bit")));
  layout->addWidget(Line("lblVersion", QStringLiteral("Version ") + VersionText()));
  layout->addWidget(Line("lblCopyright", kLegalNotice));
  layout->addWidget(Line(
      "lblTrademarks",
      QStringLiteral("Marchi registrati: Linux \u00E8 un marchio registrato da Linus Torvalds")));
  setStyleSheet(QStringLiteral("#frmSplash { border: 2px solid #2f4f7f; }"));
}

}  // namespace dovevid::gui
