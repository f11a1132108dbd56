#include "gui/main_window.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/about_dialog.h"
#include "gui/help_links.h"
#include "gui/program_icons.h"

namespace dovevid::gui {

MainWindow::MainWindow(job::Server& server, Operator& op)
    : binder_(server, op), requests_(server, op) {
  setObjectName(QStringLiteral("fDAVid1"));
  setWindowTitle(QStringLiteral("QNB DovEvid1    (vers. Epson TM 88 and compat.)"));
  setWindowIcon(ProgramIcon());
  PageTools tools{server, op, binder_, requests_, status_};
  auto* central = new QWidget;
  auto* column = new QVBoxLayout(central);
  column->addWidget(BuildTopPanel(tools));
  tabs_ = new QTabWidget;
  tabs_->setObjectName(QStringLiteral("SSTab1"));
  tabs_->addTab(BuildTextLinesPage(tools, true), QStringLiteral("Header"));
  tabs_->addTab(BuildTextLinesPage(tools, false), QStringLiteral("Footer"));
  tabs_->addTab(BuildOptionsPage(tools), QStringLiteral("Options"));
  tabs_->addTab(BuildLogoPage(tools), QStringLiteral("Logo Selection"));
  tabs_->addTab(BuildPrintersPage(tools), QStringLiteral("Printers"));
  tabs_->addTab(BuildWordsPage(tools), QStringLiteral("Words"));
  column->addWidget(tabs_, 1);
  setCentralWidget(central);
  // The pages turn from anywhere in the window, not only from inside a page.
  const auto turn = [this](int step) {
    tabs_->setCurrentIndex((tabs_->currentIndex() + step + tabs_->count()) % tabs_->count());
  };
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), this), &QShortcut::activated,
          this, [turn] { turn(1); });
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), this), &QShortcut::activated, this,
          [turn] { turn(-1); });
  BuildMenus(server, op);
  // Every answer may have changed the record (counter, polling interval,
  // printer list).
  connect(&requests_, &ServerRequests::answered, &binder_, &SettingBinder::Reload);
}

void MainWindow::BuildMenus(job::Server& server, Operator& op) {
  file_menu_ = menuBar()->addMenu(QStringLiteral("&File"));
  file_menu_->setObjectName(QStringLiteral("m_file"));
  QAction* quit = file_menu_->addAction(QStringLiteral("T&erminate DovEvid1"), this,
                                        &MainWindow::terminateRequested);
  quit->setObjectName(QStringLiteral("m_esci"));
  file_menu_->setDefaultAction(quit);
  const config::Directories dirs = server.dirs();
  QAction* manual = file_menu_->addAction(QStringLiteral("DovEvid1 &Manual"), this,
                                          [dirs, &op] { OpenManual(ManualPath(dirs), op); });
  manual->setObjectName(QStringLiteral("m_manual"));
  QAction* link = file_menu_->addAction(QStringLiteral("\"%1\"").arg(QString::fromLatin1(kWebSite)),
                                        this, &OpenWebSite);
  link->setObjectName(QStringLiteral("m_link"));

  QMenu* help = menuBar()->addMenu(QStringLiteral("&?"));
  help->setObjectName(QStringLiteral("m_help"));
  QAction* info = help->addAction(QStringLiteral("&Informations about DovEvid1"), this, [this] {
    auto* about = new AboutDialog(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();  // modal to the window, without a loop of its own
  });
  info->setObjectName(QStringLiteral("m_info"));
}

void MainWindow::Restore() {
  setWindowState(windowState() & ~Qt::WindowMinimized);
  showNormal();
  raise();
  activateWindow();
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized() && hide_when_minimised_ &&
      QSystemTrayIcon::isSystemTrayAvailable()) {
    // Hiding inside the state change confuses some window managers.
    QTimer::singleShot(0, this, &QWidget::hide);
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->ignore();  // the shutdown order hides the window itself
  emit terminateRequested();
}

}  // namespace dovevid::gui
