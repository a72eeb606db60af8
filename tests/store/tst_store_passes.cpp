// The quick ways through a large file against the careful ones: the tidy-up's judgement of a
// record from its bytes, and the scans of one refresh that start where an earlier one found
// its place.
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include <unistd.h>
#include "store/DataFileScan.h"
#include "store/Purge.h"
#include "store/Rewrite.h"
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

  // A rewrite copies unread what a pass before it found unchanged, but only from that very
  // file: once another file has taken the name (as a rewrite by another copy leaves it), or
  // the file has been written since, everything is read again. Steps that change nothing before
  // the place give the same bytes either way, wherever the place is.
  void unchangedStartOnlyFromTheSameFile_data() {
    QTest::addColumn<int>("place");  // the record the unchanged part ends before; -1: the marker
    QTest::addColumn<bool>("replaced");
    for (const bool replaced : {false, true}) {
      const char* how = replaced ? "replaced" : "same file";
      QTest::addRow("%s, second record", how) << 1 << replaced;
      QTest::addRow("%s, across the first chunk", how) << 10485 << replaced;
      QTest::addRow("%s, the marker", how) << -1 << replaced;
    }
  }
  void unchangedStartOnlyFromTheSameFile() {
    QFETCH(int, place);
    QFETCH(bool, replaced);
    const QString path = dir_.filePath(QStringLiteral("start.dat"));
    const int records = 12000;
    QByteArray bytes;
    qint64 offset = 0;
    for (int i = 0; i < records; ++i) {
      if (i == place) offset = bytes.size();
      bytes +=
          line("\"2001/06/15\",\"" + QByteArray::number(i).rightJustified(6, '0') + "\",\"\",0,0");
    }
    if (place < 0) offset = bytes.size();
    const QByteArray timer = line("\"t1\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"");
    writeBytes(path, bytes + kMarkerLine + timer);
    RewriteSteps steps;
    {
      QFile file(path);
      QVERIFY(file.open(QIODevice::ReadOnly));
      const std::optional<FileIdentity> identity = fileIdentity(file.handle());
      QVERIFY(identity);
      steps.unchangedStart = RewriteSteps::UnchangedStart{offset, *identity};
    }
    QByteArray expected = bytes;
    if (replaced) {
      // The same size, another file, whose first record the step below changes.
      QByteArray other = bytes;
      other.replace(0, 13, "\"2001/06/16\",");
      expected = other;
      expected.replace(13, 8, "\"CHANGE\"");
      const QString next = dir_.filePath(QStringLiteral("start.next"));
      writeBytes(next, other + kMarkerLine + timer);
      QCOMPARE(::rename(QFile::encodeName(next).constData(), QFile::encodeName(path).constData()),
               0);
    }
    // The steps change the entries of 2001/06/16 (the old file has none) and rename the timer.
    steps.schedule = [](const ScheduleRecord& record, RecordSink& sink) {
      ScheduleRecord changed = record;
      if (record.EntryDate.raw == "2001/06/16") changed.Subject = Field::text("CHANGE");
      sink.write(changed);
    };
    steps.timer = [](const TimerRecord& record, RecordSink& sink) {
      TimerRecord renamed = record;
      renamed.TimerTitle = Field::text("t2");
      sink.write(renamed);
    };
    const RewriteResult result = rewriteDataFile(path, steps);
    QVERIFY2(result.status.isOk(), qPrintable(result.status.message()));
    QCOMPARE(readBytes(path).size(), expected.size() + kMarkerLine.size() + timer.size());
    QVERIFY(readBytes(path) ==
            expected + kMarkerLine + line("\"t2\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\""));
  }

  // Inside a session, a rewrite that leaves the entries alone copies them unread up to the
  // marker the session's scan found, but not from a file that has since been replaced.
  void sessionMarkerOnlyFromTheSameFile() {
    const QString path = dir_.filePath(QStringLiteral("marker.dat"));
    const QByteArray timer = line("\"t1\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"");
    const QByteArray entries = filler(9000);
    writeBytes(path, entries + kMarkerLine + timer);
    const ScanSession session;
    QCOMPARE(timerTitles(path), QByteArrayList{"t1"});
    // Another file takes the name: two more entries, the same timer.
    const QByteArray more =
        line("\"2001/06/16\",\"a\",\"\",0,0") + line("\"2001/06/16\",\"b\",\"\",0,0");
    const QString next = dir_.filePath(QStringLiteral("marker.next"));
    writeBytes(next, more + entries + kMarkerLine + timer);
    QCOMPARE(::rename(QFile::encodeName(next).constData(), QFile::encodeName(path).constData()), 0);
    RewriteSteps steps;
    steps.afterTimers = [](RecordSink& sink) {
      sink.write(TimerRecord{Field::text("t3"), Field::text("2"), Field::text(""), Field::text(""),
                             Field::text(""), Field::text("09"), Field::text("30"),
                             Field::text("")});
    };
    const RewriteResult result = rewriteDataFile(path, steps);
    QVERIFY2(result.status.isOk(), qPrintable(result.status.message()));
    QVERIFY(readBytes(path) == more + entries + kMarkerLine + timer +
                                   line("\"t3\",\"2\",\"\",\"\",\"\",\"09\",\"30\",\"\""));
  }

 private:
  QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(StorePassesTest)
#include "tst_store_passes.moc"
