#include "gui/closing_window.h"

#include <QLabel>
#include <QVBoxLayout>

#include "gui/program_icons.h"

namespace dovevid::gui {

ClosingWindow::ClosingWindow() : QWidget(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("DovEvid1"));
  setWindowIcon(ProgramIcon());
  auto* label = new QLabel(QStringLiteral("DovEvid1 Closing ..."));
  label->setObjectName(QStringLiteral("Label1"));
  QFont font = label->font();
  font.setPointSize(14);
  label->setFont(font);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(40, 24, 40, 24);
  layout->addWidget(label);
}

}  // namespace dovevid::gui
