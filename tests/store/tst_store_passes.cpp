// The quick ways through a large file against the careful ones: the tidy-up's judgement of a
// record from its bytes, and the scans of one refresh that start where an earlier one found
// its place.
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "store/DataFileScan.h"
#include "store/Purge.h"
#include "support/TestFiles.h"

namespace {

QByteArray line(const QByteArray& text) { return text + "\r\n"; }

// Enough records of one kept date to carry the lines under test past the reader's first chunk.
QByteArray filler(int count) {
  QByteArray bytes;
  for (int i = 0; i < count; ++i) bytes += line("\"2001/06/15\",\"f\",\"\",1,1");
  return bytes;
}

QByteArrayList monthSubjects(const QString& path, int year, int month) {
  QByteArrayList subjects;
  const Status status = scanMonth(path, year, month,
                                  [&](const ScheduleRecord& r) { subjects.append(r.Subject.raw); });
  if (!status) subjects.append("failed: " + status.message().toUtf8());
  return subjects;
}

QByteArrayList timerTitles(const QString& path) {
  QByteArrayList titles;
  const Status status =
      scanTimers(path, [&](const TimerRecord& r) { titles.append(r.TimerTitle.raw); });
  if (!status) titles.append("failed: " + status.message().toUtf8());
  return titles;
}

}  // namespace

class StorePassesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QVERIFY(dir_.isValid()); }

  // Entries finished and marked for deletion before 2001/05/01 go; every other line stays as it
  // stands. The rows put records the bytes alone cannot judge next to ones they can, a dropped
  // record right after a kept one of the same date (its date judged once for both), and flags
  // that only look like bare ones at the end of a line.
  void purgeJudgesByBytesAsByFields_data() {
    QTest::addColumn<QByteArray>("kept");
    QTest::addColumn<QByteArray>("dropped");
    QTest::newRow("same date, kept then dropped")
        << line("\"2001/04/29\",\"k\",\"\",1,0") << line("\"2001/04/29\",\"d\",\"\",1,1");
    QTest::newRow("threshold's day stays, the day before goes")
        << line("\"2001/05/01\",\"k\",\"\",1,1") << line("\"2001/04/30\",\"d\",\"\",1,1");
    QTest::newRow("flags inside a quoted content")
        << line("\"2001/04/29\",\"k\",\"x,1,1\",0,0") << line("\"2001/04/29\",\"d\",\"x\",1,1");
    QTest::newRow("a quoted last flag")
        << line("\"2001/04/29\",\"k\",\"\",1,\"0\"") << line("\"2001/04/29\",\"d\",\"\",1,\"1\"");
    QTest::newRow("flags of two digits")
        << line("\"2001/04/29\",\"k\",\"\",11,1") << line("\"2001/04/29\",\"d\",\"\",01,1");
    QTest::newRow("a line ended by LF alone") << QByteArray("\"2001/04/29\",\"k\",\"\",0,1\n")
                                              << QByteArray("\"2001/04/29\",\"d\",\"\",1,1\n");
    QTest::newRow("blanks before the date")
        << line(" \"2001/04/29\",\"k\",\"\",0,1") << line(" \"2001/04/29\",\"d\",\"\",1,1");
  }
  void purgeJudgesByBytesAsByFields() {
    QFETCH(QByteArray, kept);
    QFETCH(QByteArray, dropped);
    for (const int count : {0, 9000}) {
      const QString path = dir_.filePath(QStringLiteral("purge%1.dat").arg(count));
      // The filler is finished and marked too, but of a later date than the threshold.
      const QByteArray head = filler(count) + line("\"2001/05/02\",\"a\",\"\",1,1");
      const QByteArray tail = line("\"2001/04/01\",\"z\",\"\",0,0") + kMarkerLine;
      writeBytes(path, head + kept + dropped + kept + tail);
      QVERIFY(purgeDataFile(path, QDate(2001, 5, 1), QDateTime(QDate(2001, 5, 1), QTime(0, 0))));
      QCOMPARE(readBytes(path), head + kept + kept + tail);
    }
  }

  // Within a session the later scans start where the first found the month or the marker; they
  // must see what a scan of their own sees: the same records, a month the file does not hold,
  // and, once the file has been replaced by another, the other file's records.
  void scansOfOneSessionSeeWhatFreshScansSee() {
    const QString path = dir_.filePath(QStringLiteral("session.dat"));
    const QByteArray timer = line("\"t1\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"");
    const QByteArray bytes = filler(9000) + line("\"2001/05/02\",\"may\",\"\",0,0") +
                             line("\"2001/04/30\",\"april\",\"\",0,0") + kMarkerLine + timer;
    writeBytes(path, bytes);
    const QByteArrayList may = monthSubjects(path, 2001, 5);
    const QByteArrayList april = monthSubjects(path, 2001, 4);
    const QByteArrayList none = monthSubjects(path, 2000, 1);
    const QByteArrayList titles = timerTitles(path);
    QCOMPARE(may, QByteArrayList{"may"});
    QCOMPARE(titles, QByteArrayList{"t1"});
    {
      const ScanSession session;
      for (int round = 0; round < 2; ++round) {
        QCOMPARE(monthSubjects(path, 2001, 5), may);
        QCOMPARE(monthSubjects(path, 2001, 4), april);
        QCOMPARE(monthSubjects(path, 2000, 1), none);
        QCOMPARE(timerTitles(path), titles);
      }
      // Another file of the same size takes the name, as a rewrite does: there, the place of
      // the old May holds a second run of May, and only the first run counts.
      const QByteArray other = line("\"2001/05/09\",\"n\",\"\",0,0") + filler(8999) +
                               line("\"2001/05/02\",\"MAY\",\"\",0,0") +
                               line("\"2001/04/30\",\"april\",\"\",0,0") + kMarkerLine + timer;
      QCOMPARE(other.size(), bytes.size());
      const QString next = dir_.filePath(QStringLiteral("next.dat"));
      writeBytes(next, other);
      QCOMPARE(
          std::rename(QFile::encodeName(next).constData(), QFile::encodeName(path).constData()), 0);
      QCOMPARE(monthSubjects(path, 2001, 5), QByteArrayList{"n"});
      QCOMPARE(timerTitles(path), QByteArrayList{"t1"});
    }
  }

 private:
  QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(StorePassesTest)
#include "tst_store_passes.moc"
