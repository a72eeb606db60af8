// The alarm on the real clock: the main window opened on a data file with a once-only and a
// daily timer for the next minute must show the pop-up within two seconds of that minute,
// with the desktop's own beep, and leave only the daily timer in the file.
// Slow (up to a minute); run with `ctest -L slow`.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "alarm/widgets/AlarmController.h"
#include "alarm/widgets/AlarmPopup.h"
#include "app/DesktopPlatform.h"
#include "app/MainWindow.h"
#include "support/TestFiles.h"
#include "ui/UiSupport.h"

class AlarmRealtimeTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { installJapaneseLanguage(*qApp); }

  void popsUpWhenItsMinuteBegins() {
    QTemporaryDir dir;
    DesktopPlatform platform;
    SharedState state;
    AppContext context{state, platform};

    QDateTime due = platform.now().addSecs(60);
    due.setTime(QTime(due.time().hour(), due.time().minute()));
    const QByteArray hour = due.toString("hh").toLatin1();
    const QByteArray minute = due.toString("mm").toLatin1();
    // 起床 once-only for the next minute, 散歩 daily at the same minute, no pictures.
    const QByteArray once = "\"\x8B\x4E\x8F\xB0\",\"0\",\"" + due.toString("yyyy").toLatin1() +
                            "\",\"" + due.toString("MM").toLatin1() + "\",\"" +
                            due.toString("dd").toLatin1() + "\",\"" + hour + "\",\"" + minute +
                            "\",\"\"\r\n";
    const QByteArray daily =
        "\"\x8E\x55\x95\xE0\",\"2\",\"\",\"\",\"\",\"" + hour + "\",\"" + minute + "\",\"\"\r\n";
    state.CurrentDataFile = dir.filePath("data.dat");
    writeBytes(state.CurrentDataFile, kMarkerLine + once + daily);
    const QDate today = platform.now().date();
    state.SelYear = today.year();
    state.SelMonth = today.month();
    state.SelDay = today.day();
    state.MonthDays[0] = 1;

    // The program as it runs after the start-up window: the main window and its clock.
    MainWindow window(context);
    window.show();
    QVERIFY(window.alarms());

    QDateTime shownAt;
    QTimer watch;
    watch.setInterval(50);
    connect(&watch, &QTimer::timeout, this, [&] {
      AlarmPopup* popup = window.alarms()->popup();
      if (!shownAt.isValid() && popup && popup->isVisible()) shownAt = QDateTime::currentDateTime();
    });
    watch.start();

    QTRY_VERIFY_WITH_TIMEOUT(shownAt.isValid(), 75000);
    AlarmPopup* popup = window.alarms()->popup();
    QVERIFY(QTest::qWaitForWindowExposed(popup));
    qInfo("due %s, shown %s", qPrintable(due.toString("hh:mm:ss.zzz")),
          qPrintable(shownAt.toString("hh:mm:ss.zzz")));
    // Within two seconds after its minute begins, and not before.
    QVERIFY2(shownAt >= due && shownAt < due.addSecs(2), qPrintable(shownAt.toString()));
    QVERIFY(popup->windowFlags() & Qt::WindowStaysOnTopHint);
    // Both fired in file order, so the daily timer's pop-up is the one left on screen.
    QCOMPARE(popup->findChild<QLabel*>("Label1")->text(), "散歩");
    // The once-only timer is gone from the file, the daily one stays.
    QCOMPARE(readBytes(state.CurrentDataFile), kMarkerLine + daily);
    QVERIFY(window.findChild<QLabel*>("Label3")->text().startsWith("今は"));
    // A click after its first second closes the window.
    QTest::qWait(static_cast<int>(AlarmPopup::kGraceMilliseconds));
    QTest::mouseClick(popup->findChild<QLabel*>("Image1"), Qt::LeftButton);
    QVERIFY(!popup->isVisible());
  }
};

QTEST_MAIN(AlarmRealtimeTest)
#include "tst_alarm_realtime.moc"
