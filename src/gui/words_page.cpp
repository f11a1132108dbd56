// "Words": the 33 label words the receipts print, three columns of caption
// and text box.
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "gui/pages.h"

namespace dovevid::gui {

QWidget* BuildWordsPage(PageTools& t) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("pageWords"));
  auto* grid = new QGridLayout(page);
  constexpr int kRows = (config::kWords + 2) / 3;
  for (int i = 0; i < config::kWords; ++i) {
    const std::string name = "txtWords(" + std::to_string(i) + ")";
    QLabel* caption = SettingBinder::Caption(name);
    caption->setObjectName(QStringLiteral("lblWords(%1)").arg(i));
    grid->addWidget(caption, i % kRows, 2 * (i / kRows));
    grid->addWidget(t.binder.Text(name), i % kRows, 2 * (i / kRows) + 1);
  }
  return page;
}

}  // namespace dovevid::gui
