// "Logo Selection": a bitmap picker (volume, folder, *.bmp file) and the logo
// buttons. The buttons send the picked file's bytes to the server as the
// command line's logo requests, so a press during a job waits for it; the
// server reports the progress in lblLoadImage and its messages as boxes.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QStorageInfo>
#include <QVBoxLayout>
#include <functional>
#include <memory>

#include "gui/pages.h"
#include "logo/bmp.h"
#include "logo/logo.h"

namespace dovevid::gui {

namespace {

QListView* FolderView(const char* name, QFileSystemModel* model) {
  auto* view = new QListView;
  view->setObjectName(QString::fromLatin1(name));
  view->setModel(model);
  return view;
}

// Drive1, Dir1 and File1: picking a volume opens its folder, a double click
// on a folder enters it, and File1 shows that folder's bitmaps; a click on
// one of them calls `picked` with its path.
QWidget* Picker(std::function<void(const QString&)> picked) {
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
  QObject::connect(file_view, &QListView::clicked, box,
                   [=](const QModelIndex& i) { picked(files->filePath(i)); });
  open(QDir::homePath());
  column->addWidget(drives);
  column->addWidget(dir_view);
  column->addWidget(file_view);
  return box;
}

// The picture in imgLogo, shrunk to fit; empty when it cannot be read.
void ShowPicture(QLabel* image, const QString& path) {
  QPixmap picture(path);
  if (!picture.isNull() &&
      (picture.width() > image->width() || picture.height() > image->height())) {
    picture = picture.scaled(image->size(), Qt::KeepAspectRatio);
  }
  image->setPixmap(picture);
}

std::string FileBytes(const QString& path) {
  QFile file(path);
  if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// {"logo", sub, bytes of the picked file}; nothing, after telling the
// operator, when no file is picked or it cannot be read.
std::function<ServerRequests::Request()> PictureRequest(std::shared_ptr<QString> selected,
                                                        Operator* op, const char* sub) {
  return [selected, op, sub]() -> ServerRequests::Request {
    std::string bytes = FileBytes(*selected);
    if (bytes.empty()) {
      op->ShowMessage(logo::kMsgFileNotFound);
      return {};
    }
    return {"logo", sub, std::move(bytes)};
  };
}

// "Pre Wiew": the server converts the picked file and the page shows the
// preview it writes.
QPushButton* PreviewButton(PageTools& t, QWidget* page, QLabel* image,
                           std::function<ServerRequests::Request()> make) {
  auto* preview = new QPushButton(QStringLiteral("Pre Wiew"));
  preview->setObjectName(QStringLiteral("cmdPreview"));
  ServerRequests* requests = &t.requests;
  const QString preview_file =
      QString::fromStdString(JoinPath(t.server.dirs().app_dir, logo::kPreviewFileName));
  QObject::connect(preview, &QPushButton::clicked, page, [=] {
    ServerRequests::Request request = make();
    if (request.empty()) return;
    preview->setEnabled(false);
    requests->Send(std::move(request),
                   [=, guard = QPointer<QPushButton>(preview)](const job::ControlReply& reply) {
                     if (!guard) return;
                     guard->setEnabled(true);
                     if (reply.exit_code == 0) ShowPicture(image, preview_file);
                   });
  });
  return preview;
}

}  // namespace

QWidget* BuildLogoPage(PageTools& t) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("pageLogo"));
  auto* grid = new QGridLayout(page);
  auto* image = Label("imgLogo", QString());
  image->setMinimumSize(256, 128);
  image->setFrameShape(QFrame::Box);
  image->setAlignment(Qt::AlignCenter);
  auto* size = new QLineEdit;
  size->setObjectName(QStringLiteral("txtImageDim"));
  size->setToolTip(QStringLiteral("Image Dimension"));
  size->setReadOnly(true);
  t.status.logo_progress = Label("lblLoadImage", QStringLiteral("0 %"));

  // The selected image path lives as long as the page.
  auto selected = std::make_shared<QString>();
  grid->addWidget(Picker([=](const QString& path) {
                    *selected = path;
                    ShowPicture(image, path);
                    const auto header = logo::ReadBmpHeader(FileBytes(path));
                    size->setText(header ? QString::fromStdString(logo::ImageDimensionText(*header))
                                         : QString());
                  }),
                  0, 0, 3, 1);
  grid->addWidget(image, 0, 1, 1, 2);
  grid->addWidget(size, 1, 1);
  grid->addWidget(t.status.logo_progress, 1, 2);

  const auto with_picture = [selected, op = &t.op](const char* sub) {
    return PictureRequest(selected, op, sub);
  };
  QPushButton* preview = PreviewButton(t, page, image, with_picture("preview"));

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(t.requests.Button("cmdLoadLogo", QStringLiteral("Load Logo Image"), {},
                                       with_picture("load")));
  buttons->addWidget(preview);
  buttons->addWidget(
      t.requests.Button("printImage", QStringLiteral("Print Image"), {}, {"logo", "print"}));
  buttons->addWidget(t.requests.Button("cmdTest", QStringLiteral("T"), {}, with_picture("download")));
  buttons->addWidget(
      t.requests.Button("cmdPrintFeed", QStringLiteral("Paper Feed"), {}, {"printer", "feed"}));
  buttons->addStretch();
  grid->addLayout(buttons, 2, 1, 1, 2);
  return page;
}

}  // namespace dovevid::gui
