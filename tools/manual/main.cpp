// dovevid-manual: writes the operator's manual, a Markdown file, as the PDF
// the help menu opens. Runs at build time, without a display.
//
// usage: dovevid-manual MANUAL.md OUTPUT.pdf
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <cstdio>

namespace {

// The text of the first "# " heading, for the PDF's title.
QString FirstHeading(const QString& markdown) {
  for (const QString& line : markdown.split(QLatin1Char('\n'))) {
    if (line.startsWith(QLatin1String("# "))) return line.mid(2).trimmed();
  }
  return QStringLiteral("DovEvid1");
}

// Tables across the page, with room around the text of each cell.
void WidenTables(QTextDocument& doc) {
  for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
    auto* table = qobject_cast<QTextTable*>(frame);
    if (table == nullptr) continue;
    QTextTableFormat format = table->format();
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setCellPadding(2);
    table->setFormat(format);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: dovevid-manual MANUAL.md OUTPUT.pdf\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString in_path = QString::fromLocal8Bit(argv[1]);
  const QString out_path = QString::fromLocal8Bit(argv[2]);

  QFile in(in_path);
  if (!in.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "dovevid-manual: %s: %s\n", argv[1], qPrintable(in.errorString()));
    return 1;
  }
  const QString markdown = QString::fromUtf8(in.readAll());
  QTextDocument doc;
  doc.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 9));
  doc.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
  WidenTables(doc);

  // Written aside and renamed, so a failed run leaves no half a manual.
  QSaveFile out(out_path);
  if (!out.open(QIODevice::WriteOnly)) {
    std::fprintf(stderr, "dovevid-manual: %s: %s\n", argv[2], qPrintable(out.errorString()));
    return 1;
  }
  {
    QPdfWriter pdf(&out);
    pdf.setTitle(FirstHeading(markdown));
    pdf.setCreator(QStringLiteral("dovevid-manual"));
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                  QMarginsF(18, 16, 18, 16), QPageLayout::Millimeter));
    doc.print(&pdf);
  }
  if (!out.commit()) {
    std::fprintf(stderr, "dovevid-manual: %s: %s\n", argv[2], qPrintable(out.errorString()));
    return 1;
  }
  return 0;
}
