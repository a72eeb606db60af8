// The timer that rings next, as the status icon's tooltip names it.
#include <QTemporaryDir>
#include <QTest>

#include "alarm/NextTimer.h"
#include "support/TestFiles.h"

namespace {

// CP932 bytes of the texts used below.
const QByteArray kSanpo("\x92\xA9\x82\xCC\x8E\x55\x95\xE0");  // 朝の散歩
const QByteArray kSui("\x90\x85");                            // 水
const QByteArray kMoku("\x96\xD8");                           // 木
const QByteArray kGetsu("\x8C\x8E");                          // 月

QByteArray timer(const QByteArray& title, const QByteArray& kind, const QByteArray& yearOrWeekday,
                 const QByteArray& month, const QByteArray& day, const QByteArray& hour,
                 const QByteArray& minute) {
  return "\"" + title + "\",\"" + kind + "\",\"" + yearOrWeekday + "\",\"" + month + "\",\"" + day +
         "\",\"" + hour + "\",\"" + minute + "\",\"\"\r\n";
}

// Wednesday 2026/12/09, 07:00:30.
const QDateTime kNow(QDate(2026, 12, 9), QTime(7, 0, 30));

}  // namespace

class NextTimerTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

 private slots:
  void nextTimer_data() {
    QTest::addColumn<QByteArray>("timers");
    QTest::addColumn<QString>("expected");

    QTest::newRow("none") << QByteArray() << "次のタイマーはありません";
    QTest::newRow("daily later today")
        << timer(kSanpo, "2", "", "", "", "07", "30") << "次のタイマー 12/09 07:30 朝の散歩";
    QTest::newRow("daily at the current minute rings tomorrow")
        << timer("a", "2", "", "", "", "07", "00") << "次のタイマー 12/10 07:00 a";
    QTest::newRow("daily earlier today rings tomorrow")
        << timer("a", "2", "", "", "", "06", "59") << "次のタイマー 12/10 06:59 a";
    QTest::newRow("weekly today, later")
        << timer("w", "1", kSui, "", "", "23", "59") << "次のタイマー 12/09 23:59 w";
    QTest::newRow("weekly today, passed, next week")
        << timer("w", "1", kSui, "", "", "06", "00") << "次のタイマー 12/16 06:00 w";
    QTest::newRow("weekly tomorrow")
        << timer("w", "1", kMoku, "", "", "00", "00") << "次のタイマー 12/10 00:00 w";
    QTest::newRow("weekly on Monday")
        << timer("w", "1", kGetsu, "", "", "08", "15") << "次のタイマー 12/14 08:15 w";
    QTest::newRow("once next year")
        << timer("o", "0", "2027", "01", "02", "09", "05") << "次のタイマー 01/02 09:05 o";
    QTest::newRow("once past is passed over") << timer("old", "0", "2026", "12", "09", "06", "59") +
                                                     timer("d", "2", "", "", "", "08", "00")
                                              << "次のタイマー 12/09 08:00 d";
    QTest::newRow("once at the current minute is over")
        << timer("now", "0", "2026", "12", "09", "07", "00") << "次のタイマーはありません";
    QTest::newRow("the earliest of several wins")
        << timer("late", "2", "", "", "", "22", "00") +
               timer("once", "0", "2026", "12", "09", "07", "01") +
               timer("weekly", "1", kMoku, "", "", "07", "00")
        << "次のタイマー 12/09 07:01 once";
    QTest::newRow("a tie goes to the first in the file")
        << timer("first", "2", "", "", "", "12", "00") +
               timer("second", "0", "2026", "12", "09", "12", "00")
        << "次のタイマー 12/09 12:00 first";
    QTest::newRow("what the clock never fires is passed over")
        << timer("one digit", "2", "", "", "", "7", "30") +
               timer("kind 3", "3", "", "", "", "07", "30") +
               timer("Feb 30", "0", "2027", "02", "30", "07", "30") +
               timer("hour 24", "2", "", "", "", "24", "00") +
               timer("no weekday", "1", "x", "", "", "07", "30")
        << "次のタイマーはありません";
  }
  void nextTimer() {
    QFETCH(QByteArray, timers);
    QFETCH(QString, expected);
    const QString path = dir_.filePath("next.dat");
    writeBytes(path, "\"2026/12/09\",\"a\",\"b\",0,0\r\n" + kMarkerLine + timers);
    const NextTimerResult result = findNextTimer(path, kNow);
    QVERIFY(result.status);
    QCOMPARE(nextTimerText(result.next), expected);
  }

  void unreadableFileSaysSo() {
    const NextTimerResult result = findNextTimer(dir_.filePath("missing.dat"), kNow);
    QVERIFY(!result.status);
    QVERIFY(result.status.message().contains("missing.dat"));
    QVERIFY(!result.next);
  }
};

QTEST_GUILESS_MAIN(NextTimerTest)
#include "tst_next_timer.moc"
