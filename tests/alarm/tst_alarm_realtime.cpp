// The alarm on the real clock: a daily timer set for the next minute must pop up within that
// minute, with the desktop's own beep. Slow (up to a minute); run with `ctest -L slow`.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "alarm/AlarmController.h"
#include "alarm/AlarmPopup.h"
#include "app/DesktopPlatform.h"
#include "app/UiSupport.h"
#include "support/TestFiles.h"

namespace {

class NoViews : public MainViews {
 public:
  int timerListLoads = 0;
  void ShowDateHeading() override {}
  void ShowDayHoliday() override {}
  void LoadDaySchedules() override {}
  void RefreshMonthView() override {}
  void LoadTimerList() override { ++timerListLoads; }
  void finishRefresh() override {}
  QRect mainWindowGeometry() const override { return QRect(0, 0, 800, 600); }
};

}  // namespace

class AlarmRealtimeTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { installJapaneseLanguage(*qApp); }

  void popsUpInTheNextMinute() {
    QTemporaryDir dir;
    DesktopPlatform platform;
    SharedState state;
    AppContext context{state, platform};
    NoViews views;
    QString clock;
    AlarmController alarms(context, views, [&](const QString& text) { clock = text; });

    const QDateTime start = platform.now();
    QDateTime due = start.addSecs(60);
    due.setTime(QTime(due.time().hour(), due.time().minute()));
    // 起床, daily, at the next minute's hh and nn, no picture.
    state.CurrentDataFile = dir.filePath("data.dat");
    writeBytes(state.CurrentDataFile, kMarkerLine + "\"\x8B\x4E\x8F\xB0\",\"2\",\"\",\"\",\"\",\"" +
                                          due.toString("hh").toLatin1() + "\",\"" +
                                          due.toString("mm").toLatin1() + "\",\"\"\r\n");

    QDateTime shownAt;
    qint64 longestTick = 0;
    auto tick = [&] {
      QElapsedTimer took;
      took.start();
      alarms.tick();
      longestTick = std::max(longestTick, took.elapsed());
      if (!shownAt.isValid() && alarms.popup() && alarms.popup()->isVisible()) {
        shownAt = platform.now();
      }
    };
    QTimer timer;
    timer.setInterval(1000);
    connect(&timer, &QTimer::timeout, this, tick);
    timer.start();
    tick();

    QTRY_VERIFY_WITH_TIMEOUT(shownAt.isValid(), 75000);
    AlarmPopup* popup = alarms.popup();
    QVERIFY(QTest::qWaitForWindowExposed(popup));
    QCOMPARE(popup->findChild<QLabel*>("Label1")->text(), "起床");
    QVERIFY(popup->windowFlags() & Qt::WindowStaysOnTopHint);
    // Not before its minute, and within it (the clock ticks once a second).
    QVERIFY2(shownAt >= due && shownAt < due.addSecs(60), qPrintable(shownAt.toString()));
    QVERIFY(clock.startsWith("今は"));
    qInfo("longest tick: %lld ms", static_cast<long long>(longestTick));
    // The beep starts the sound and returns; a machine without sound does not hold it up.
    QVERIFY2(longestTick < 2000, qPrintable(QString::number(longestTick)));
    // The click beeps again and closes the window.
    QTest::mouseClick(popup->findChild<QLabel*>("Image1"), Qt::LeftButton);
    QVERIFY(!popup->isVisible());
    QCOMPARE(views.timerListLoads, 1);
  }
};

QTEST_MAIN(AlarmRealtimeTest)
#include "tst_alarm_realtime.moc"
