// "Header" and "Footer": nine lines each in a fixed-pitch font, so a line
// looks as it will print, with double-height and double-width boxes.
#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "gui/pages.h"

namespace dovevid::gui {

QWidget* BuildTextLinesPage(PageTools& t, bool header) {
  const std::string part = header ? "Header" : "Footer";
  auto* page = new QWidget;
  page->setObjectName(QString::fromStdString("page" + part));
  auto* grid = new QGridLayout(page);
  const std::string height = "chkDH_" + part, width = "chkDW_" + part;
  grid->addWidget(SettingBinder::Caption(height + "(0)"), 0, 1, Qt::AlignHCenter);
  grid->addWidget(SettingBinder::Caption(width + "(0)"), 0, 2, Qt::AlignHCenter);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (int i = 0; i < config::kHeaderLines; ++i) {
    const std::string index = "(" + std::to_string(i) + ")";
    QLineEdit* line = t.binder.Text("txt" + part + index);
    line->setFont(fixed);
    // Wide enough for the longest row the printer takes.
    line->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(QString(61, QLatin1Char('M'))));
    grid->addWidget(line, i + 1, 0);
    grid->addWidget(t.binder.Check(height + index, false), i + 1, 1, Qt::AlignHCenter);
    grid->addWidget(t.binder.Check(width + index, false), i + 1, 2, Qt::AlignHCenter);
  }
  grid->setRowStretch(config::kHeaderLines + 1, 1);
  return page;
}

}  // namespace dovevid::gui
