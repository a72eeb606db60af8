// An alarm that goes off while a real message box or file dialog is open: every modal window
// is closed as a cancel, the code that opened it does nothing, and the pop-up can be dismissed
// at once with one click or one key.
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "alarm/widgets/AlarmController.h"
#include "alarm/widgets/AlarmPopup.h"
#include "app/DesktopPlatform.h"
#include "app/MainWindow.h"
#include "support/TestFiles.h"
#include "ui/UiSupport.h"

namespace {

// The desktop's real message boxes and file dialogs, with the test's clock and a silent alarm.
class ClockedDesktop : public DesktopPlatform {
 public:
  QDateTime clock{QDate(2026, 12, 7), QTime(7, 29, 50)};
  qint64 uptime = 0;
  bool soundPlaying = false;
  QStringList boxesOpened;

  QDateTime now() const override { return clock; }
  qint64 uptimeMilliseconds() const override { return uptime; }
  void beep() override {}
  void startAlarmSound() override { soundPlaying = true; }
  void stopAlarmSound() override { soundPlaying = false; }
  bool alarmSoundPlaying() const override { return soundPlaying; }
  void showAlarmNotification(int, const QString&, const QString&) override {}
  void closeAlarmNotification(int) override {}
  void setAlarmActionHandler(AlarmActionHandler) override {}
  MessageAnswer messageBox(const QString& text, const QString& title, MessageIcon icon,
                           MessageButtons buttons) override {
    boxesOpened << text;
    return DesktopPlatform::messageBox(text, title, icon, buttons);
  }
};

const QByteArray kWake = "\"wake\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"\r\n";

// Runs `act` as soon as the innermost modal window is one that `wanted` accepts; the watch ends
// with `owner`.
void whenModal(QObject* owner, std::function<bool(QWidget*)> wanted, std::function<void()> act) {
  auto* poll = new QTimer(owner);
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, wanted, act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || !wanted(modal)) return;
    poll->stop();
    poll->deleteLater();
    act();
  });
  poll->start();
}

bool isMessageBox(QWidget* window, const QString& text) {
  auto* box = qobject_cast<QMessageBox*>(window);
  return box && box->text() == text;
}

}  // namespace

class AlarmModalTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { installJapaneseLanguage(*qApp); }

  void alarmOverAModalWindow_data() {
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("dismissBy");
    for (const char* opened :
         {"quit question", "open question", "editor input error", "editor picture dialog"}) {
      for (const char* dismissBy : {"click", "Esc"}) {
        QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(opened, dismissBy)))
            << opened << dismissBy;
      }
    }
  }

  void alarmOverAModalWindow() {
    QFETCH(QString, opened);
    QFETCH(QString, dismissBy);

    QTemporaryDir dir;
    ClockedDesktop platform;
    SharedState state;
    int quits = 0;
    AppContext context{state, platform, [&] { ++quits; }};
    state.CurrentDataFile = dir.filePath("data.dat");
    writeBytes(state.CurrentDataFile, kMarkerLine + kWake);
    state.SelYear = 2026;
    state.SelMonth = 12;
    state.SelDay = 7;
    state.MonthDays[0] = 1;
    MainWindow window(context);
    window.show();
    const QByteArray before = readBytes(state.CurrentDataFile);

    // The minute comes while the box or dialog is on the screen.
    // Timers of this row only: none may fire in the next one.
    QObject row;
    bool sawItOpen = false;
    bool leftOpen = false;
    auto* watchdog = new QTimer(&row);
    watchdog->setSingleShot(true);
    watchdog->setInterval(2000);
    // Should a window have stayed open, the test answers it itself rather than hang.
    connect(watchdog, &QTimer::timeout, &row, [&leftOpen] {
      while (QWidget* modal = QApplication::activeModalWidget()) {
        leftOpen = true;
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
          dialog->reject();
        } else {
          modal->close();
        }
      }
    });
    auto ring = [&] {
      sawItOpen = true;
      platform.clock = QDateTime(QDate(2026, 12, 7), QTime(7, 30, 0));
      platform.uptime += 10000;
      window.alarms()->tick();
      watchdog->start();
    };
    auto isEditor = [](QWidget* modal) { return modal->objectName() == "Form5"; };

    if (opened == "quit question") {
      whenModal(
          &row, [](QWidget* w) { return isMessageBox(w, "終了しますか？"); }, ring);
      window.close();
    } else if (opened == "open question") {
      whenModal(
          &row, [](QWidget* w) { return isMessageBox(w, "既存のデータを開きますか？"); }, ring);
      window.openDataFileCommand();
    } else if (opened == "editor input error") {
      whenModal(&row, isEditor, [&] {
        whenModal(
            &row, [](QWidget* w) { return qobject_cast<QMessageBox*>(w); }, ring);
        QApplication::activeModalWidget()->findChild<QPushButton*>("Command1")->click();
      });
      window.newScheduleEntry();
    } else {
      whenModal(&row, isEditor, [&] {
        whenModal(
            &row, [](QWidget* w) { return qobject_cast<QFileDialog*>(w); }, ring);
        QApplication::activeModalWidget()->findChild<QPushButton*>("Command10")->click();
      });
      window.newScheduleEntry();
    }

    // Everything that was open is closed, as a cancel: no quit, no file dialog after the
    // question, no picture taken, nothing written.
    QVERIFY(sawItOpen);
    QVERIFY(!leftOpen);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QVERIFY(window.isVisible());
    QCOMPARE(quits, 0);
    QCOMPARE(platform.boxesOpened.size(), opened == "editor picture dialog" ? 0 : 1);
    QCOMPARE(state.CurrentDataFile, dir.filePath("data.dat"));
    QVERIFY(state.TimerImageFile.isEmpty());
    QCOMPARE(readBytes(state.CurrentDataFile), before);

    // One click or one key dismisses the alarm.
    AlarmPopup* popup = window.alarms()->popup();
    QVERIFY(popup && popup->isVisible());
    QVERIFY(platform.soundPlaying);
    auto* picture = popup->findChild<QLabel*>("Image1");
    platform.uptime += AlarmPopup::kGraceMilliseconds;
    if (dismissBy == "click") {
      QTest::mouseClick(picture, Qt::LeftButton);
    } else {
      // A key does nothing until the user brings the pop-up to the front; without a picture
      // the click that does so dismisses it.
      QTest::keyClick(picture, Qt::Key_Escape);
      QVERIFY(popup->isVisible());
      QTest::mouseClick(popup->findChild<QLabel*>("Label1"), Qt::LeftButton);
    }
    QVERIFY(!popup->isVisible());
    QVERIFY(!platform.soundPlaying);
  }
};

QTEST_MAIN(AlarmModalTest)
#include "tst_alarm_modal.moc"
