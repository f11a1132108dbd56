// "Logo Selection": a bitmap picker (volume, folder, *.bmp file) and the logo
// buttons. Loading a logo into the printer is not built yet: those buttons
// are shown disabled. The paper feed works as on the Options page.
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStorageInfo>
#include <QVBoxLayout>

#include "gui/pages.h"

namespace dovevid::gui {

namespace {

QListView* FolderView(const char* name, QFileSystemModel* model) {
  auto* view = new QListView;
  view->setObjectName(QString::fromLatin1(name));
  view->setModel(model);
  return view;
}

// Drive1, Dir1 and File1: picking a volume opens its folder, a double click
// on a folder enters it, and File1 shows that folder's bitmaps.
QWidget* Picker() {
  auto* box = new QWidget;
  auto* column = new QVBoxLayout(box);
  column->addWidget(Label("lblBmpFileSelection", QStringLiteral("Bmp File Selection")));
  auto* drives = new QComboBox;
  drives->setObjectName(QStringLiteral("Drive1"));
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (volume.isValid() && volume.isReady()) drives->addItem(volume.rootPath());
  }
  auto* dirs = new QFileSystemModel(box);
  dirs->setFilter(QDir::AllDirs | QDir::NoDot);
  auto* files = new QFileSystemModel(box);
  files->setFilter(QDir::Files);
  files->setNameFilters({QStringLiteral("*.bmp"), QStringLiteral("*.BMP")});
  files->setNameFilterDisables(false);
  QListView* dir_view = FolderView("Dir1", dirs);
  QListView* file_view = FolderView("File1", files);
  const auto open = [=](const QString& path) {
    const QString clean = QDir::cleanPath(path);
    dir_view->setRootIndex(dirs->setRootPath(clean));
    file_view->setRootIndex(files->setRootPath(clean));
  };
  QObject::connect(drives, &QComboBox::textActivated, box, open);
  QObject::connect(dir_view, &QListView::doubleClicked, box,
                   [=](const QModelIndex& i) { open(dirs->filePath(i)); });
  open(QDir::homePath());
  column->addWidget(drives);
  column->addWidget(dir_view);
  column->addWidget(file_view);
  return box;
}

QPushButton* LaterButton(const char* name, const QString& caption) {
  auto* button = new QPushButton(caption);
  button->setObjectName(QString::fromLatin1(name));
  button->setEnabled(false);
  return button;
}

}  // namespace

QWidget* BuildLogoPage(PageTools& t) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("pageLogo"));
  auto* grid = new QGridLayout(page);
  grid->addWidget(Picker(), 0, 0, 3, 1);
  auto* image = Label("imgLogo", QString());
  image->setMinimumSize(256, 128);
  image->setFrameShape(QFrame::Box);
  image->setAlignment(Qt::AlignCenter);
  grid->addWidget(image, 0, 1, 1, 2);
  auto* size = new QLineEdit;
  size->setObjectName(QStringLiteral("txtImageDim"));
  size->setToolTip(QStringLiteral("Image Dimension"));
  size->setReadOnly(true);
  grid->addWidget(size, 1, 1);
  grid->addWidget(Label("lblLoadImage", QStringLiteral("0 %")), 1, 2);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(LaterButton("cmdLoadLogo", QStringLiteral("Load Logo Image")));
  buttons->addWidget(LaterButton("cmdPreview", QStringLiteral("Pre Wiew")));
  buttons->addWidget(LaterButton("printImage", QStringLiteral("Print Image")));
  buttons->addWidget(LaterButton("cmdTest", QStringLiteral("T")));
  buttons->addWidget(
      t.requests.Button("cmdPrintFeed", QStringLiteral("Paper Feed"), {}, {"printer", "feed"}));
  buttons->addStretch();
  grid->addLayout(buttons, 2, 1, 1, 2);
  return page;
}

}  // namespace dovevid::gui
