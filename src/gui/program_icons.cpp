#include "gui/program_icons.h"

#include <QPainter>
#include <QPixmap>

namespace dovevid::gui {

namespace {

QPixmap Draw(int size, bool busy) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  // Printer body, then the paper with its printed rows.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2f, 0x4f, 0x7f));
  p.drawRoundedRect(QRectF(2, 16, 28, 13), 3, 3);
  p.setBrush(Qt::white);
  p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
  p.drawRect(QRectF(8, 2, 16, 20));
  p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1.5));
  for (int y = 6; y <= 14; y += 4) p.drawLine(QPointF(11, y), QPointF(21, y));
  if (busy) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe0, 0x20, 0x20));
    p.drawEllipse(QRectF(20, 18, 11, 11));
  }
  return pixmap;
}

QIcon Make(bool busy) {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64}) icon.addPixmap(Draw(size, busy));
  return icon;
}

}  // namespace

QIcon ProgramIcon() { return Make(false); }
QIcon BusyIcon() { return Make(true); }

}  // namespace dovevid::gui
