// The window over a real server on the in-memory disk, clock and printer, driven through its
// widgets as a person would.

#include "base/text.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>

#include "config/schema.h"
#include "gui/closing_window.h"
#include "gui/desktop.h"
#include "gui/main_window.h"
#include "gui/tray_icon.h"
#include "logo/bmp.h"
#include "temp_dir.h"
#include "test_doubles.h"

namespace dovevid::gui {
namespace {

using ::testing::IsSupersetOf;
using State = testing::FakeSerialPort::State;

// Replaces what `w` holds with key presses carrying `text`, accented letters included.
void KeyIn(QLineEdit* w, const QString& text) {
  w->selectAll();
  for (const QChar c : text) QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), {});
}

class WindowTest : public testing::ServerTestBase {
 protected:
  static void SetUpTestSuite() {  // one application for all the window tests
    static int argc = 0;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qApp) new QApplication(argc, nullptr);
  }
  // Deleted, so the libraries it loaded free what they hold (a leak report otherwise).
  static void TearDownTestSuite() { delete qApp; }
  WindowTest() {
    spooler.printers = {{"TM88", "Epson TM-T88V"}};
    desktop_.Open(server_);
    desktop_.SetOnStopped([this] { stopped_ = true; });
    desktop_.Start();
  }
  // A receipt through, with `during` called at each event pump while it prints.
  void RunJob(const std::function<void()>& during, const std::string& ext = ".001") {
    env.OnPump([&] {
      if (server_.state().job_in_progress) during();
    });
    Submit("HELLO\r\n", ext);
    Run(server_, 3000);
    env.OnPump({});
  }
  template <typename W>
  W* Find(const std::string& name) {
    W* w = window().findChild<W*>(QString::fromStdString(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void Click(const std::string& button) {
    QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
  }
  // The texts of the message boxes on screen.
  static std::vector<std::string> OpenBoxes() {
    std::vector<std::string> texts;
    for (QWidget* w : QApplication::allWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (box && box->isVisible()) texts.push_back(box->text().toStdString());
    }
    std::sort(texts.begin(), texts.end());
    return texts;
  }
  MainWindow& window() { return *desktop_.window(); }
  const StatusWidgets& status() { return desktop_.window()->status(); }

  Desktop desktop_;
  job::Server server_{Machine(desktop_.op(), desktop_.view()), dirs_};
  bool stopped_ = false;
};

// Gives the control of `name` a different value with the keyboard, as a
// person would; the counter and the polling interval go through their buttons.
void Edit(QWidget* control, const std::string& name) {
  if (auto* box = qobject_cast<QComboBox*>(control)) {
    QTest::keyClick(box, box->currentIndex() + 1 < box->count() ? Qt::Key_Down : Qt::Key_Up);
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    QTest::keyClick(button, Qt::Key_Space);
  } else if (auto* list = qobject_cast<QListWidget*>(control)) {
    list->setFocus();
    QTest::keyClick(list, Qt::Key_End);
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    KeyIn(edit, name == "txtTimerVal"    ? QStringLiteral("5")
                : name == "txtNumScontr" ? QStringLiteral("15")
                                         : QStringLiteral("Caff\u00E8 %1").arg(name.size()));
  }
}

TEST_F(WindowTest, EverySettingHasItsControlAndEditsRoundTripThroughTheFiles) {
  std::map<std::string, std::string> before;
  for (const std::string& name : config::SettingNames()) {
    config::GetSetting(server_.settings(), name, &before[name]);
    QWidget* control = Find<QWidget>(name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->toolTip().toStdString(),
              config::DescribeSetting(server_.settings(), name)->tool_tip)
        << name;
    Edit(control, name);
  }
  Click("cmdChgTimer");
  Click("cmdSetNumScontr");
  EXPECT_EQ(server_.settings().txtHeader[0], "Caff\xE8 12");  // Windows-1252 in the record
  EXPECT_EQ(server_.settings().polling_interval_ms, 5000);
  EXPECT_EQ(server_.settings().receipt_counter, 15);

  Click("cmdSaveConfiguration");
  EXPECT_THAT(OpenBoxes(), ElementsAre("Data Saving Done"));
  job::StatusView view;
  job::Server reloaded{Machine(op, view), dirs_};
  reloaded.Load(false);
  int changed = 0;
  for (const auto& [name, value] : before) {
    std::string saved, live;
    config::GetSetting(reloaded.settings(), name, &saved);
    config::GetSetting(server_.settings(), name, &live);
    EXPECT_EQ(saved, live) << name;
    changed += live != value;
    // What the window shows is the record.
    if (auto* edit = qobject_cast<QLineEdit*>(Find<QWidget>(name))) {
      EXPECT_EQ(edit->text(), QString::fromLatin1(live.c_str())) << name;
    }
  }
  // Every setting but the one-item lists and the option button turned back on.
  EXPECT_GE(changed, static_cast<int>(before.size()) - 6);
  // A change from the command line shows at once.
  server_.HandleRequest({"settings", "set", "cboRowLength=40", "txtWords(0)=SOMMA"},
                        [](const job::ControlReply&) {});
  EXPECT_EQ(Find<QComboBox>("cboRowLength")->currentText(), "40");
  EXPECT_EQ(Find<QLineEdit>("txtWords(0)")->text(), "SOMMA");
}

TEST_F(WindowTest, SelectionsApplyToTheNextJobWithoutSaving) {
  const std::string saved = env.File("/app/KV2EPcfg.txt");
  QTest::keyClicks(Find<QComboBox>("cboFileExtension"), ".005");  // typed, as a person picks it
  EXPECT_EQ(server_.settings().FileExtension(), ".005");

  // Row length 24: a longer header line stays, typing stops at 24.
  KeyIn(Find<QLineEdit>("txtHeader(1)"), QString(30, QLatin1Char('x')));
  QComboBox* rows = Find<QComboBox>("cboRowLength");
  rows->setCurrentIndex(1);
  QTest::keyClick(rows, Qt::Key_Up);
  EXPECT_EQ(server_.settings().RowLength(), 24);
  KeyIn(Find<QLineEdit>("txtHeader(0)"), QString(30, QLatin1Char('y')));
  EXPECT_EQ(server_.settings().txtHeader[0], std::string(24, 'y'));
  QLineEdit* kept = Find<QLineEdit>("txtHeader(1)");
  EXPECT_EQ(kept->text().size(), 30);
  kept->end(false);
  QTest::keyClick(kept, Qt::Key_Backspace);
  QTest::keyClick(kept, Qt::Key_Z);  // no longer than it was
  EXPECT_EQ(server_.settings().txtHeader[1], std::string(29, 'x'));

  Run(server_, 1000);  // the identification dump
  RunJob([] {}, ".005");
  EXPECT_TRUE(env.HasFile("/data/FINESCO.005"));
  EXPECT_THAT(serial.printed, HasSubstr(std::string(24, 'y')));
  // Nothing saved but the receipt counter the job raised (record 6).
  std::vector<std::string> records = SplitCrLf(saved);
  records.at(5) = " 1 ";
  EXPECT_EQ(SplitCrLf(env.File("/app/KV2EPcfg.txt")), records);
}

TEST_F(WindowTest, StatusDisplayFollowsDumpAndJobs) {
  EXPECT_EQ(status().dump_state->text(), "DUMP NOT DONE");
  EXPECT_EQ(status().port_lamp->palette().color(QPalette::Window), QColor(0, 255, 0));
  Run(server_, 1000);
  EXPECT_EQ(status().identification->text(), "1A2B3C4D");
  EXPECT_EQ(status().dump_state->text(), "DUMP EXECUTED");
  EXPECT_EQ(status().dump_state->palette().color(QPalette::Base), QColor(0, 255, 0));

  int counter = server_.settings().receipt_counter;
  QStringList ticks;
  for (const auto& [printer, text, colour] :
       {std::tuple{State::kReady, "QNB DOVEVID1 TERMINATO : TUTTO OK", QColor(Qt::black)},
        {State::kOffline, "QNB DOVEVID1 TERMINATO : TIMEOUT SCADUTO", QColor(255, 0, 0)}}) {
    serial.state = printer;
    QStringList during;
    RunJob([&] {
      if (during.isEmpty()) during << status().status->text() << desktop_.tray()->icon()->toolTip();
    });
    ticks << status().tick->text();
    EXPECT_THAT(during,
                ElementsAre("TRASMISSIONE QNB DOVEVID1 IN CORSO ..", "DAVid1 in esecuzione..."));
    EXPECT_EQ(status().status->text(), text);
    EXPECT_EQ(status().status->palette().color(QPalette::Text), colour);
    EXPECT_EQ(status().counter->text(), QString::number(++counter));
    EXPECT_FALSE(desktop_.tray()->busy());
    EXPECT_EQ(desktop_.tray()->icon()->toolTip(), "DovEvid1 waiting for execution...");
  }
  Run(server_, 1000);
  ticks << status().tick->text();
  EXPECT_THAT(ticks, IsSupersetOf({"Timer on", "Timer ON"}));

  // The test receipt: the button waits for its job.
  Click("CMBFile");
  EXPECT_FALSE(status().test_receipt->isEnabled());
  serial.state = State::kReady;
  Run(server_, 3000);
  EXPECT_TRUE(status().test_receipt->isEnabled());
  EXPECT_THAT(serial.printed, HasSubstr("PROVA DI STAMPA"));
}

TEST_F(WindowTest, LogoPageLoadsThePickedBitmapShowingItsProgress) {
  logo::Bitmap black(64, 32);
  for (int i = 0; i < 64 * 32; ++i) black.Set(i % 64, i / 64, true);
  testing::TempDir dir;
  testing::WriteFileOrDie(dir / "logo.bmp", logo::EncodeBmp1(black));
  window().tabs()->setCurrentIndex(3);
  auto* files = Find<QListView>("File1");
  auto* model = qobject_cast<QFileSystemModel*>(files->model());
  files->setRootIndex(model->setRootPath(QString::fromStdString(dir.path())));
  const QModelIndex bmp = model->index(QString::fromStdString(dir / "logo.bmp"));
  for (int i = 0; i < 100 && files->visualRect(bmp).isEmpty(); ++i) QTest::qWait(20);
  QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualRect(bmp).center());
  EXPECT_EQ(Find<QLineEdit>("txtImageDim")->text(), "64 x 32");

  Click("cmdLoadLogo");  // the serial printer wants the NV file too
  EXPECT_THAT(OpenBoxes(), ElementsAre("File not found"));
  env.SetFile("/app/NVImageFile.BIN", "");
  QLabel* progress = Find<QLabel>("lblLoadImage");
  QStringList shown;
  env.OnPump([&] {
    if (shown.isEmpty() || shown.back() != progress->text()) shown << progress->text();
  });
  Click("cmdLoadLogo");
  EXPECT_THAT(shown, ElementsAre("0 %", "39 %", "79 %"));
  EXPECT_EQ(progress->text(), "100 %");
  EXPECT_THAT(serial.printed, HasSubstr(std::string("\x1D*\x08\x04") + std::string(256, '\xFF')));
}

TEST_F(WindowTest, MessageBoxesNeverHoldAJobAndClosingFinishesTheJobThenShutsDown) {
  Click("btnReprint");  // nothing printed yet
  Click("btnReprint");
  Find<QAction>("m_manual")->trigger();
  EXPECT_THAT(OpenBoxes(),
              ElementsAre("File: /data/darodad1.pdf non trovato", "Function not available"));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  // Without a notification area minimising never hides the window.
  window().showMinimized();
  QCoreApplication::processEvents();
  EXPECT_TRUE(window().isVisible());

  Run(server_, 1000);
  RunJob([&] {
    if (Find<QPushButton>("cmdPrintFeed")->isEnabled()) Click("cmdPrintFeed");  // queued
  });
  EXPECT_TRUE(env.HasFile("/data/FINESCO.001"));
  EXPECT_EQ(OpenBoxes().size(), 2);
  EXPECT_THAT(serial.printed, EndsWith("\x1DV\x42\r\n\x1BJ1\r\n"));  // cut, then feed
  EXPECT_TRUE(Find<QPushButton>("cmdPrintFeed")->isEnabled());

  serial.printed.clear();
  RunJob([&] {
    if (window().isVisible()) window().close();
  });
  EXPECT_TRUE(stopped_);
  EXPECT_FALSE(window().isVisible());
  EXPECT_EQ(desktop_.closing()->findChild<QLabel*>("Label1")->text(), "DovEvid1 Closing ...");
  EXPECT_FALSE(env.HasFile("/data/SR_OUT.001"));  // the job answered, then its files went
  EXPECT_FALSE(env.HasFile("/data/SR_MATR.001"));
  EXPECT_THAT(serial.printed, HasSubstr("HELLO"));
}

}  // namespace
}  // namespace dovevid::gui
