#include "platform/receipt_drawing.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <algorithm>

namespace dovevid::platform {

namespace {

using preview::Align;
using preview::PageItem;

constexpr int kMargin = 16;
constexpr int kCellWidth = 12, kCellHeight = 24, kLineDots = 30;
constexpr int kCutSpace = 40;
const QColor kPaper(0xFF, 0xFF, 0xFF), kInk(0x10, 0x10, 0x10), kNote(0x90, 0x90, 0x90);

int RunWidth(const preview::TextRun& r) {
  return static_cast<int>(QString::fromStdString(r.text).size()) * kCellWidth * (r.double_width ? 2 : 1);
}

int BarcodeWidth(const PageItem& item) { return static_cast<int>(item.data.size() * 11 + 24) * std::max(1, item.module); }

// The height an item takes on the paper.
int Height(const PageItem& item) {
  switch (item.kind) {
    case PageItem::Kind::kText: {
      int h = kCellHeight;
      for (const auto& r : item.runs) h = std::max(h, kCellHeight * (r.double_height ? 2 : 1));
      return std::max(kLineDots, h + 6);
    }
    case PageItem::Kind::kImage:
      return item.image.empty() ? kLineDots : item.image.height() * item.scale_y;
    case PageItem::Kind::kBarcode:
      return item.bar_height + (item.hri & 1 ? kLineDots : 0) + (item.hri & 2 ? kLineDots : 0);
    case PageItem::Kind::kFeed: return item.dots;
    case PageItem::Kind::kCut: return kCutSpace;
  }
  return 0;
}

int Left(Align align, int width, int paper) {
  if (align == Align::kCenter) return kMargin + std::max(0, (paper - width) / 2);
  if (align == Align::kRight) return kMargin + std::max(0, paper - width);
  return kMargin;
}

class Drawer {
 public:
  Drawer(QPainter& p, int paper) : p_(p), paper_(paper) {
    font_.setFamily(QStringLiteral("DejaVu Sans Mono"));
    font_.setStyleHint(QFont::Monospace);
    font_.setPixelSize(20);
    const QFontMetricsF m(font_);
    advance_ = m.horizontalAdvance(QLatin1Char('M'));
    ascent_ = m.ascent();
    height_ = m.height();
  }

  void Item(const PageItem& item, int y) {
    switch (item.kind) {
      case PageItem::Kind::kText: Text(item, y); break;
      case PageItem::Kind::kImage: Image(item, y); break;
      case PageItem::Kind::kBarcode: Barcode(item, y); break;
      case PageItem::Kind::kFeed: break;
      case PageItem::Kind::kCut: Cut(item, y); break;
    }
  }

 private:
  // Text stretched into its cells; the runs of a line share the baseline.
  void Text(const PageItem& item, int y) {
    int width = 0;
    for (const auto& r : item.runs) width += RunWidth(r);
    int x = Left(item.align, width, paper_);
    const int bottom = y + Height(item) - 6;
    p_.setFont(font_);
    p_.setPen(kInk);
    for (const auto& r : item.runs) {
      const double sx = kCellWidth * (r.double_width ? 2 : 1) / advance_;
      const double sy = kCellHeight * (r.double_height ? 2 : 1) / height_;
      p_.save();
      p_.translate(x, bottom - (height_ - ascent_) * sy);
      p_.scale(sx, sy);
      p_.drawText(QPointF(0, 0), QString::fromStdString(r.text));
      p_.restore();
      x += RunWidth(r);
    }
  }

  void Image(const PageItem& item, int y) {
    if (item.image.empty()) {
      Note(item.align, y, QStringLiteral("(no logo stored)"));
      return;
    }
    const int x0 = Left(item.align, item.image.width() * item.scale_x, paper_);
    for (int dy = 0; dy < item.image.height(); ++dy) {
      for (int dx = 0; dx < item.image.width(); ++dx) {
        if (item.image.At(dx, dy)) {
          p_.fillRect(x0 + dx * item.scale_x, y + dy * item.scale_y, item.scale_x, item.scale_y, kInk);
        }
      }
    }
  }

  // An impression of the symbol: the bars come from the data's bits, so
  // different data looks different, but it is not meant to be scanned.
  void Barcode(const PageItem& item, int y) {
    const int module = std::max(1, item.module);
    int x = Left(item.align, BarcodeWidth(item), paper_);
    const int top = y + (item.hri & 1 ? kLineDots : 0);
    std::string pattern = "101";
    for (unsigned char c : item.data) {
      for (int bit = 7; bit >= 0; --bit) pattern += (c >> bit) & 1 ? '1' : '0';
      pattern += "110";
    }
    pattern += "101";
    for (char bar : pattern) {
      if (bar == '1') p_.fillRect(x, top, module, item.bar_height, kInk);
      x += module;
    }
    const QString hri = QString::fromStdString(item.data);
    if (item.hri & 1) Note(item.align, y, hri, kInk);
    if (item.hri & 2) Note(item.align, top + item.bar_height, hri, kInk);
  }

  void Cut(const PageItem& item, int y) {
    QPen pen(kNote);
    pen.setStyle(Qt::DashLine);
    p_.setPen(pen);
    const int mid = y + kCutSpace / 2;
    p_.drawLine(0, mid, paper_ + 2 * kMargin, mid);
    Note(Align::kRight, y + 2, item.full_cut ? QStringLiteral("full cut") : QStringLiteral("partial cut"));
  }

  void Note(Align align, int y, const QString& text, QColor colour = kNote) {
    const int width = static_cast<int>(text.size()) * kCellWidth;
    p_.setFont(font_);
    p_.setPen(colour);
    p_.save();
    p_.translate(Left(align, width, paper_), y + ascent_ * kCellHeight / height_);
    p_.scale(kCellWidth / advance_, kCellHeight / height_);
    p_.drawText(QPointF(0, 0), text);
    p_.restore();
  }

  QPainter& p_;
  int paper_;
  QFont font_;
  double advance_ = 12, ascent_ = 18, height_ = 24;
};

}  // namespace

Status DrawReceiptPng(const preview::Page& page, int paper_dots, const std::string& path) {
  int height = 2 * kMargin;
  for (const PageItem& item : page) height += Height(item);
  QImage image(paper_dots + 2 * kMargin, height, QImage::Format_RGB32);
  image.fill(kPaper);
  {
    QPainter painter(&image);
    Drawer drawer(painter, paper_dots);
    int y = kMargin;
    for (const PageItem& item : page) {
      drawer.Item(item, y);
      y += Height(item);
    }
  }
  // Gray levels are all the paper has; they keep the file small.
  if (!image.convertToFormat(QImage::Format_Grayscale8).save(QString::fromStdString(path), "PNG")) {
    return Status::Error(fault::kPathFileAccess, "cannot write " + path);
  }
  return Status::OK();
}

void PreferOffscreenPlatform() {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

}  // namespace dovevid::platform
