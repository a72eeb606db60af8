// The clock's minute check: which timers go off, what stays in the data file, and which
// minutes each tick checks when ticks come late, twice, or not at all.
#include <sys/stat.h>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "alarm/ClockText.h"
#include "alarm/MinuteScan.h"
#include "alarm/MinuteTracker.h"
#include "alarm/MissedTimers.h"
#include "alarm/RingMemory.h"
#include "alarm/Snooze.h"
#include "store/AtomicFile.h"
#include "store/Purge.h"
#include "support/BlockedRewrite.h"
#include "support/TestFiles.h"

namespace {

// CP932 bytes of the texts used below.
const QByteArray kGetsu("\x8C\x8E");                // 月
const QByteArray kNichi("\x93\xFA");                // 日
const QByteArray kDaimei("\x91\xE8\x96\xBC");       // 題名
const QByteArray kGazou("\x89\xE6\x91\x9C");        // 画像
const QByteArray kFullWidth07("\x82\x4F\x82\x56");  // ０７

const QByteArray kSchedule = "\"2026/12/07\",\"a\",\"b\",0,0\r\n";
const QByteArray kHead = kSchedule + kMarkerLine;

QByteArray timer(const QByteArray& title, const QByteArray& kind, const QByteArray& yearOrWeekday,
                 const QByteArray& month, const QByteArray& day, const QByteArray& hour,
                 const QByteArray& minute, const QByteArray& picture = "") {
  return "\"" + title + "\",\"" + kind + "\",\"" + yearOrWeekday + "\",\"" + month + "\",\"" + day +
         "\",\"" + hour + "\",\"" + minute + "\",\"" + picture + "\"\r\n";
}

// December 2026 (the 7th is a Monday): "07 07:30:00" or "07 07:30:00.250".
QDateTime at(const QString& dayAndTime) {
  const QString text = "2026-12-" + dayAndTime + (dayAndTime.contains('.') ? "" : ".000");
  const QDateTime moment = QDateTime::fromString(text, "yyyy-MM-dd hh:mm:ss.zzz");
  if (!moment.isValid()) qFatal("bad test time");
  return moment;
}

QString describe(const MinuteRange& range) {
  return range.after().toString("dd hh:mm") + " > " + range.through().toString("dd hh:mm");
}

QStringList describe(const QList<FiredTimer>& fired) {
  QStringList out;
  for (const FiredTimer& f : fired) {
    out << f.title + " " + f.due.toString("dd hh:mm") + (f.late ? " late" : "");
  }
  return out;
}

ino_t inodeOf(const QString& path) {
  struct stat info {};
  ::stat(QFile::encodeName(path).constData(), &info);
  return info.st_ino;
}

}  // namespace

class MinuteScanTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString path_;

 private slots:
  void init() { path_ = dir_.filePath("data.dat"); }

  void matchesOneMinute_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("minute");
    QTest::addColumn<bool>("fires");

    const QByteArray daily = timer("t", "2", "", "", "", "07", "30");
    QTest::newRow("daily at its minute") << daily << "07 07:30:00" << true;
    QTest::newRow("daily next day") << daily << "08 07:30:00" << true;
    QTest::newRow("daily a minute late") << daily << "07 07:31:00" << false;
    QTest::newRow("daily a minute early") << daily << "07 07:29:00" << false;
    QTest::newRow("daily at 19:30") << daily << "07 19:30:00" << false;
    QTest::newRow("daily at midnight")
        << timer("t", "2", "", "", "", "00", "00") << "08 00:00:00" << true;
    const QByteArray monday = timer("t", "1", kGetsu, "", "", "08", "00");
    QTest::newRow("weekly on Monday") << monday << "07 08:00:00" << true;
    QTest::newRow("weekly on Tuesday") << monday << "08 08:00:00" << false;
    QTest::newRow("weekly next Monday") << monday << "14 08:00:00" << true;
    QTest::newRow("weekly on Sunday")
        << timer("t", "1", kNichi, "", "", "08", "00") << "13 08:00:00" << true;
    QTest::newRow("weekly with a year")
        << timer("t", "1", "2026", "", "", "08", "00") << "07 08:00:00" << false;
    const QByteArray once = timer("t", "0", "2026", "12", "07", "21", "30");
    QTest::newRow("once a day later") << once << "08 21:30:00" << false;
    QTest::newRow("once a minute after it passed") << once << "07 21:31:00" << false;
    QTest::newRow("once on 02/30")
        << timer("t", "0", "2026", "02", "30", "21", "30") << "07 21:30:00" << false;
    QTest::newRow("one-digit hour")
        << timer("t", "2", "", "", "", "7", "30") << "07 07:30:00" << false;
    QTest::newRow("one-digit day")
        << timer("t", "0", "2026", "12", "7", "21", "30") << "07 21:30:00" << false;
    QTest::newRow("hour and minute shifted")
        << timer("t", "2", "", "", "", "073", "0") << "07 07:30:00" << false;
    QTest::newRow("full-width digits")
        << timer("t", "2", "", "", "", kFullWidth07, "30") << "07 07:30:00" << false;
    QTest::newRow("unknown kind") << timer("t", "3", "", "", "", "07", "30") << "07 07:30:00"
                                  << false;
    QTest::newRow("bare kind number")
        << QByteArray("\"t\",2,\"\",\"\",\"\",\"07\",\"30\",\"\"\r\n") << "07 07:30:00" << true;
  }

  // Repeating timers and unmatched once-only timers all stay in the file byte for byte.
  void matchesOneMinute() {
    QFETCH(QByteArray, line);
    QFETCH(QString, minute);
    QFETCH(bool, fires);
    writeBytes(path_, kHead + line);
    const MinuteScanResult result = scanDueTimers(path_, at(minute));
    QVERIFY2(result.status.isOk(), qPrintable(result.status.message()));
    QCOMPARE(result.fired.size(), fires ? 1 : 0);
    QCOMPARE(readBytes(path_), kHead + line);
  }

  void onceOnlyTimerFiresOnceAndIsRemoved() {
    const QByteArray keep = timer("keep", "2", "", "", "", "08", "00");
    writeBytes(path_, kHead + timer("t", "0", "2026", "12", "07", "21", "30") + keep);
    MinuteScanResult result = scanDueTimers(path_, at("07 21:30:00"));
    QVERIFY(result.status.isOk());
    QCOMPARE(describe(result.fired), QStringList{"t 07 21:30"});
    QCOMPARE(result.fired[0].kind, AlarmKind::Once);
    QCOMPARE(result.removedOnceTimers, 1);
    QCOMPARE(readBytes(path_), kHead + keep);

    result = scanDueTimers(path_, at("07 21:30:00"));
    QVERIFY(result.fired.isEmpty());
  }

  void severalTimersFireInFileOrder() {
    const QByteArray notYet = timer("notyet", "2", "", "", "", "07", "31");
    const QByteArray weekly = timer("weekly", "1", kGetsu, "", "", "07", "30", "/p/w.png");
    const QByteArray daily = timer(kDaimei, "2", "", "", "", "07", "30");
    writeBytes(
        path_,
        kHead + timer("first", "0", "2026", "12", "07", "07", "30", "C:\\" + kGazou + "\\a.bmp") +
            weekly + notYet + daily + timer("last", "0", "2026", "12", "07", "07", "30"));
    const MinuteScanResult result = scanDueTimers(path_, at("07 07:30:41"));
    QVERIFY(result.status.isOk());
    QCOMPARE(describe(result.fired),
             (QStringList{"first 07 07:30", "weekly 07 07:30", "題名 07 07:30", "last 07 07:30"}));
    QCOMPARE(result.fired[0].picturePath, QStringLiteral("C:\\画像\\a.bmp"));
    QCOMPARE(result.fired[1].picturePath, QStringLiteral("/p/w.png"));
    QCOMPARE(result.fired[2].picturePath, QString());
    QCOMPARE(result.fired[1].kind, AlarmKind::Weekly);
    QCOMPARE(result.fired[2].kind, AlarmKind::Daily);
    QCOMPARE(result.removedOnceTimers, 2);
    QCOMPARE(readBytes(path_), kHead + weekly + notYet + daily);
  }

  // The check runs every minute: unless a once-only timer goes, the file is not rewritten,
  // not even to tidy lines the program would write differently.
  void fileUntouchedWhenNothingIsRemoved_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("daily fires") << kHead + timer("t", "2", "", "", "", "07", "30");
    QTest::newRow("loose blanks, no last line end")
        << "\"2026/12/07\",\"a\",\"b\", 1 , 0\r\n" + kMarkerLine +
               QByteArray("\"t\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"");
    QTest::newRow("no marker") << kSchedule;
  }
  void fileUntouchedWhenNothingIsRemoved() {
    QFETCH(QByteArray, contents);
    writeBytes(path_, contents);
    const ino_t before = inodeOf(path_);
    const MinuteScanResult result = scanDueTimers(path_, at("07 07:30:00"));
    QVERIFY(result.status.isOk());
    QCOMPARE(inodeOf(path_), before);
    QCOMPARE(readBytes(path_), contents);
    QVERIFY(QDir(dir_.path()).entryList({kTemporaryFileName + "*"}).isEmpty());
  }

  // A failed removal keeps the old file, but the alarm still goes off and the failure is told.
  void failedRemovalStillFiresAndKeepsTheFile() {
    const QByteArray contents = kHead + timer("t", "0", "2026", "12", "07", "21", "30");
    writeBytes(path_, contents);
    std::optional<BlockedRewrite> blocked(std::in_place);
    const MinuteScanResult result = scanDueTimers(path_, at("07 21:30:00"));
    blocked.reset();
    QVERIFY(!result.status.isOk());
    QCOMPARE(describe(result.fired), QStringList{"t 07 21:30"});
    QCOMPARE(result.removedOnceTimers, 0);
    QCOMPARE(readBytes(path_), contents);

    const MinuteScanResult missing = scanDueTimers(dir_.filePath("none.dat"), at("07 21:30:00"));
    QVERIFY(!missing.status.isOk());
    QVERIFY(missing.fired.isEmpty());
  }

  void scansARangeOnce_data() {
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("through");
    QTest::addColumn<QStringList>("fired");
    QTest::addColumn<QStringList>("kept");

    QTest::newRow("3 hours asleep")
        << "07 04:29:59"
        << "07 07:31:00"
        << QStringList{"weekly 07 07:30 late", "daily 07 07:30 late", "once7 07 07:30 late"}
        << QStringList{"once6"};
    QTest::newRow("ends on the minute")
        << "07 07:29:00"
        << "07 07:30:00" << QStringList{"weekly 07 07:30", "daily 07 07:30", "once7 07 07:30"}
        << QStringList{"once6"};
    QTest::newRow("starts on the minute")
        << "07 07:30:00"
        << "07 08:00:00" << QStringList{} << QStringList{"once6", "once7"};
    QTest::newRow("two days: each fires once, at its latest")
        << "05 07:31:00"
        << "07 07:31:00"
        << QStringList{"weekly 07 07:30 late", "once6 06 07:30 late", "daily 07 07:30 late",
                       "once7 07 07:30 late"}
        << QStringList{};
    QTest::newRow("Tuesday to Monday morning")
        << "08 07:31:00"
        << "14 07:29:00" << QStringList{"daily 13 07:30 late"} << QStringList{"once6", "once7"};
  }
  void scansARangeOnce() {
    QFETCH(QString, after);
    QFETCH(QString, through);
    QFETCH(QStringList, fired);
    QFETCH(QStringList, kept);
    const QByteArray once6 = timer("once6", "0", "2026", "12", "06", "07", "30");
    const QByteArray once7 = timer("once7", "0", "2026", "12", "07", "07", "30");
    writeBytes(path_, kHead + timer("weekly", "1", kGetsu, "", "", "07", "30") + once6 +
                          timer("daily", "2", "", "", "", "07", "30") + once7);
    const MinuteScanResult result =
        scanDueTimers(path_, MinuteRange::between(at(after), at(through)));
    QVERIFY(result.status.isOk());
    QCOMPARE(describe(result.fired), fired);
    QByteArray expected = timer("weekly", "1", kGetsu, "", "", "07", "30");
    if (kept.contains("once6")) expected += once6;
    expected += timer("daily", "2", "", "", "", "07", "30");
    if (kept.contains("once7")) expected += once7;
    QCOMPARE(readBytes(path_), kHead + expected);
  }

  void trackerPicksTheMinutes_data() {
    QTest::addColumn<QStringList>("ticks");
    QTest::addColumn<QStringList>("ranges");  // what each tick checks, "-" for nothing

    QTest::newRow("start at second 00")
        << QStringList{"07 07:30:00", "07 07:30:01"} << QStringList{"07 07:29 > 07 07:30", "-"};
    QTest::newRow("start mid-minute") << QStringList{"07 07:30:17", "07 07:30:59", "07 07:31:00"}
                                      << QStringList{"-", "-", "07 07:30 > 07 07:31"};
    QTest::newRow("late tick at second 01")
        << QStringList{"07 07:29:59", "07 07:30:01", "07 07:30:02"}
        << QStringList{"-", "07 07:29 > 07 07:30", "-"};
    QTest::newRow("two ticks in second 00")
        << QStringList{"07 07:29:59.900", "07 07:30:00.050", "07 07:30:00.950"}
        << QStringList{"-", "07 07:29 > 07 07:30", "-"};
    QTest::newRow("over midnight")
        << QStringList{"07 23:59:59", "08 00:00:00"} << QStringList{"-", "07 23:59 > 08 00:00"};
    QTest::newRow("3 hours asleep")
        << QStringList{"07 04:29:59", "07 07:31:10"} << QStringList{"-", "07 04:29 > 07 07:31"};
    // Set back further than a minute, the clock is checked again from the minute it shows; the
    // memory of what rang keeps a timer from going off twice (clockFiresEachTimerOnce).
    QTest::newRow("clock set back 5 minutes")
        << QStringList{"07 07:35:00", "07 07:30:00", "07 07:34:59", "07 07:35:30", "07 07:36:00"}
        << QStringList{"07 07:34 > 07 07:35", "07 07:29 > 07 07:30", "07 07:30 > 07 07:34",
                       "07 07:34 > 07 07:35", "07 07:35 > 07 07:36"};
    QTest::newRow("clock set back a few seconds")
        << QStringList{"07 07:35:00", "07 07:34:45", "07 07:35:10", "07 07:36:00"}
        << QStringList{"07 07:34 > 07 07:35", "-", "-", "07 07:35 > 07 07:36"};
    QTest::newRow("set back mid-minute, over two minute marks")
        << QStringList{"07 07:35:00", "07 07:33:40", "07 07:33:59", "07 07:34:00"}
        << QStringList{"07 07:34 > 07 07:35", "07 07:32 > 07 07:33", "-", "07 07:33 > 07 07:34"};
    QTest::newRow("three days forward, then corrected")
        << QStringList{"07 07:00:00", "10 07:00:10", "10 07:01:00", "07 07:05:20", "07 07:06:00"}
        << QStringList{"07 06:59 > 07 07:00", "09 07:00 > 10 07:00", "10 07:00 > 10 07:01",
                       "07 07:04 > 07 07:05", "07 07:05 > 07 07:06"};
    QTest::newRow("catch-up stops at 24 hours")
        << QStringList{"05 07:00:30", "07 07:31:00"} << QStringList{"-", "06 07:31 > 07 07:31"};
    QTest::newRow("exactly 24 hours") << QStringList{"06 07:31:00", "07 07:31:05"}
                                      << QStringList{"06 07:30 > 06 07:31", "06 07:31 > 07 07:31"};
  }
  void trackerPicksTheMinutes() {
    QFETCH(QStringList, ticks);
    QFETCH(QStringList, ranges);
    MinuteTracker tracker;
    for (qsizetype i = 0; i < ticks.size(); ++i) {
      const std::optional<MinuteRange> range = tracker.tick(at(ticks[i]));
      QCOMPARE(range ? describe(*range) : QStringLiteral("-"), ranges[i]);
    }
  }

  // Tracker and scan together, as the window's tick uses them.
  void clockFiresEachTimerOnce_data() {
    QTest::addColumn<QStringList>("ticks");
    QTest::addColumn<QStringList>("fired");
    QTest::addColumn<QByteArray>("left");
    // Seconds of uptime before each tick; none: uptime follows the clock forward, and goes a
    // second on when the clock is set back.
    QTest::addColumn<QList<qint64>>("uptimeSteps");

    const QByteArray daily = timer("daily", "2", "", "", "", "07", "30");
    const QByteArray head = kHead + daily;
    QTest::newRow("every second") << QStringList{"07 07:29:58",     "07 07:29:59", "07 07:30:00",
                                                 "07 07:30:00.500", "07 07:30:01", "07 07:31:00"}
                                  << QStringList{"daily 07 07:30", "once 07 07:30"} << head
                                  << QList<qint64>{};
    QTest::newRow("3 hours asleep")
        << QStringList{"07 04:29:58", "07 04:29:59", "07 07:31:10", "07 07:31:11"}
        << QStringList{"daily 07 07:30 late", "once 07 07:30 late"} << head << QList<qint64>{};
    QTest::newRow("set back 5 minutes after firing")
        << QStringList{"07 07:29:59", "07 07:30:00", "07 07:25:00", "07 07:29:59",
                       "07 07:30:00", "07 07:30:30", "07 07:31:00"}
        << QStringList{"daily 07 07:30", "once 07 07:30"} << head << QList<qint64>{};
    // A day later in uptime the 7th's 07:30 comes again: the first one was the wrong clock's.
    QTest::newRow("set back a day after firing")
        << QStringList{"07 07:29:59", "07 07:30:00", "06 07:29:00", "06 07:30:00", "07 07:30:00"}
        << QStringList{"daily 07 07:30", "once 07 07:30", "daily 06 07:30", "daily 07 07:30"}
        << head << QList<qint64>{};
    QTest::newRow("asleep for 2 days")
        << QStringList{"05 07:31:00", "07 07:29:00"} << QStringList{"daily 06 07:30 late"}
        << head + timer("once", "0", "2026", "12", "07", "07", "30") << QList<qint64>{};
    // The clock shows the 10th for a while (the jump looks like sleep, so the 9th's 07:30
    // catches up), then is put right: the timers still go off on the 7th, and the daily one,
    // which went off at the wrong 07:30 of the 10th, goes off again when the 10th really
    // comes (the uptime says days have passed).
    QTest::newRow("three days forward, then corrected")
        << QStringList{"07 07:00:00", "10 07:29:59", "10 07:30:00", "10 07:31:00",
                       "07 07:10:00", "07 07:29:59", "07 07:30:00", "10 07:30:00"}
        << QStringList{"daily 09 07:30 late", "daily 10 07:30", "daily 07 07:30", "once 07 07:30",
                       "daily 10 07:30"}
        << head << QList<qint64>{0, 1, 1, 60, 1, 1200, 1, 3 * 24 * 3600};
  }
  void clockFiresEachTimerOnce() {
    QFETCH(QStringList, ticks);
    QFETCH(QStringList, fired);
    QFETCH(QByteArray, left);
    QFETCH(QList<qint64>, uptimeSteps);
    writeBytes(path_, kHead + timer("daily", "2", "", "", "", "07", "30") +
                          timer("once", "0", "2026", "12", "07", "07", "30"));
    MinuteTracker tracker;
    RingMemory rung;
    QList<FiredTimer> all;
    qint64 uptime = 0;
    QDateTime last;
    for (qsizetype i = 0; i < ticks.size(); ++i) {
      const QDateTime now = at(ticks[i]);
      if (!uptimeSteps.isEmpty()) {
        uptime += uptimeSteps[i] * 1000;
      } else if (last.isValid()) {
        uptime += std::max<qint64>(1000, last.msecsTo(now));
      }
      last = now;
      if (const std::optional<MinuteRange> range = tracker.tick(now)) {
        const MinuteScanResult result = scanDueTimers(path_, *range);
        QVERIFY(result.status.isOk());
        for (const FiredTimer& timer : result.fired) {
          if (rung.firstRing(timer, uptime)) all << timer;
        }
      }
    }
    QCOMPARE(describe(all).join(", "), fired.join(", "));
    QCOMPARE(readBytes(path_), left);
  }

  void texts() {
    QCOMPARE(clockText(at("07 21:30:05")),
             QStringLiteral("今は2026年12月07日月曜日         21:30:05です"));
    QCOMPARE(dueNotice(at("07 07:30:00"), at("07 07:31:10")), QStringLiteral("07:30 の予定です"));
    QCOMPARE(dueNotice(at("06 23:59:00"), at("07 00:02:00")),
             QStringLiteral("12/06 23:59 の予定です"));
    QCOMPARE(alarmTimeText(at("07 07:30:00"), at("07 07:30:00"), false), "07:30");
  }

  void onceOnlyTimerAddedAgainRingsAgain() {
    // The clock is set back over a once-only timer that rang; the user adds it again.
    const QByteArray once = timer("once", "0", "2026", "12", "07", "07", "30");
    writeBytes(path_, kHead + once);
    MinuteTracker tracker;
    RingMemory rung;
    int rings = 0;
    qint64 uptime = 0;
    for (const char* tick : {"07 07:29:59", "07 07:30:00", "07 07:25:00", "07 07:30:00"}) {
      if (QByteArray(tick) == "07 07:25:00") writeBytes(path_, kHead + once);
      uptime += 1000;
      if (const std::optional<MinuteRange> range = tracker.tick(at(tick))) {
        for (const FiredTimer& fired : scanDueTimers(path_, *range).fired) {
          if (rung.firstRing(fired, uptime)) ++rings;
        }
      }
    }
    QCOMPARE(rings, 2);
    QCOMPARE(readBytes(path_), kHead);
  }

  // 「5分後にもう一度」 is due 5 minutes after the minute it was asked in, across midnight and
  // the year's end, and has the alarm's title and picture.
  void snoozeTimes_data() {
    QTest::addColumn<QDateTime>("asked");
    QTest::addColumn<QStringList>("fields");  // year, month, day, hour, minute
    QTest::newRow("seconds dropped")
        << at("07 07:31:59") << QStringList{"2026", "12", "07", "07", "36"};
    QTest::newRow("over midnight")
        << at("07 23:57:00") << QStringList{"2026", "12", "08", "00", "02"};
    QTest::newRow("over the year's end") << QDateTime(QDate(2026, 12, 31), QTime(23, 58, 30))
                                         << QStringList{"2027", "01", "01", "00", "03"};
  }
  void snoozeTimes() {
    QFETCH(QDateTime, asked);
    QFETCH(QStringList, fields);
    const FiredTimer timer{"薬", "/p.jpg", AlarmKind::Daily, at("07 07:30:00"), false};
    const TimerInput input = snoozeInput(timer, asked);
    QCOMPARE(input.kind(), 0);
    QCOMPARE((QStringList{input.yearText, input.monthText, input.dayText, input.hourText,
                          input.minuteText}),
             fields);
    QCOMPARE(input.title, "薬");
    QCOMPARE(input.picture, "/p.jpg");
  }

  void missedTimersListed() {
    const QList<QByteArray> lines{
        timer(kDaimei, "0", "2026", "12", "07", "09", "16", "/p.png"),  // 3 hours ago
        timer("last week", "0", "2026", "11", "30", "08", "00"),
        timer("one digit", "0", "2026", "12", "6", "9", "5"),  // the purge reads numbers
        timer("yesterday", "0", "2026", "12", "06", "12", "30"),
        timer("bad date", "0", "2026", "02", "30", "08", "00")};
    QList<TimerRecord> removed;
    for (const QByteArray& line : lines) {
      writeBytes(path_, kMarkerLine + line);
      QList<TimerRecord> one;
      QVERIFY(purgeDataFile(path_, QDate(2026, 12, 7), at("07 12:00:30"), &one));
      QCOMPARE(one.size(), 1);
      removed += one;
    }
    const MissedTimers missed = missedTimers(removed, at("07 12:00:30"));
    QCOMPARE(missed.message,
             "Yotenna が動いていない間に過ぎたタイマーがあります\n\n"
             "2026/02/30 08:00　bad date\n"
             "2026/11/30(月) 08:00　last week\n"
             "2026/12/06(日) 09:05　one digit\n"
             "2026/12/06(日) 12:30　yesterday\n"
             "2026/12/07(月) 09:16　題名");
    // Those less than 24 hours ago ring, late, in file order.
    QCOMPARE(describe(missed.ringLate),
             QStringList({"題名 07 09:16 late", "yesterday 06 12:30 late"}));
    QCOMPARE(missed.ringLate[0].picturePath, "/p.png");
    QVERIFY(missedTimers({}, at("07 12:00:30")).message.isEmpty());
  }

  void manyMissedTimersListTheLatest() {
    QList<TimerRecord> removed;
    for (int day = 1; day <= 25; ++day) {
      removed << TimerRecord{Field::text(QStringLiteral("t%1").arg(day)),
                             Field::text("0"),
                             Field::text("2026"),
                             Field::text("11"),
                             Field::text(QStringLiteral("%1").arg(day, 2, 10, QChar('0'))),
                             Field::text("08"),
                             Field::text("00"),
                             Field::text("")};
    }
    const QStringList lines = missedTimers(removed, at("07 12:00:00")).message.split('\n');
    QCOMPARE(lines.size(), 2 + 1 + kMissedTimersListed);
    QCOMPARE(lines[2], "（このほかに、もっと前のものが 5 件あります）");
    QCOMPARE(lines[3], "2026/11/06(金) 08:00　t6");
    QCOMPARE(lines.last(), "2026/11/25(水) 08:00　t25");
  }

  void layoutByTitleLength_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QList<int>>("layout");
    QTest::newRow("15 characters")
        << QStringLiteral("あいうえおかきくけこさしすせそ") << QList<int>{48, 1005, 1020, 9795};
    QTest::newRow("16 characters")
        << QStringLiteral("あいうえおかきくけこさしすせそた") << QList<int>{36, 765, 780, 10035};
  }
  void layoutByTitleLength() {
    QFETCH(QString, title);
    QFETCH(QList<int>, layout);
    const AlarmLayout l = alarmLayout(title);
    QCOMPARE((QList<int>{l.titlePointSize, l.titleHeight, l.pictureTop, l.pictureHeight}), layout);
  }
};

QTEST_GUILESS_MAIN(MinuteScanTest)
#include "tst_minute_scan.moc"
