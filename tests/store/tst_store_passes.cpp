// The quick ways through a large file against the careful ones: the tidy-up's judgement of a
// record from its bytes, and the scans of one refresh that start where an earlier one found
// its place.
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>

#include <unistd.h>
#include "store/DataFileReader.h"
#include "store/DataFileScan.h"
#include "store/PlainFields.h"
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

// Where the last pass left the marker of the file at `path`, as a rewrite would take it.
std::optional<qint64> knownMarker(const QString& path) {
  DataFileReader reader(path);
  if (!reader.open()) return std::nullopt;
  return knownMarkerOffset(path, reader);
}

// Another file with the same bytes takes the name, as a copy made elsewhere would.
void replaceBySameBytes(const QString& path) {
  const QString next = path + QStringLiteral(".next");
  writeBytes(next, readBytes(path));
  QCOMPARE(::rename(QFile::encodeName(next).constData(), QFile::encodeName(path).constData()), 0);
}

// The rewrites of the marker test: an entry of 2001/06/15 after the others of its day, a timer
// added, the entries of 2001/06/16 taken out, and the timers' titles read back.
QByteArrayList rewriteInTurn(const QString& path, bool replaceEachTime) {
  QByteArrayList seen;
  const auto rewrite = [&](const RewriteSteps& steps) {
    if (replaceEachTime) replaceBySameBytes(path);
    const RewriteResult result = rewriteDataFile(path, steps);
    seen.append(result.status ? readBytes(path) : result.status.message().toUtf8());
    seen.append(QByteArray::number(knownMarker(path).value_or(-1)));
  };
  RewriteSteps add;
  bool added = false;
  const ScheduleRecord entry{Field::text("2001/06/15"), Field::text("NEW"), Field::text(""),
                             Field::number(0), Field::number(0)};
  add.schedule = [&](const ScheduleRecord& record, RecordSink& sink) {
    if (!added && record.EntryDate.raw < "2001/06/15") {
      sink.write(entry);
      added = true;
      sink.write(record);
      sink.copyRest();
      return;
    }
    sink.write(record);
  };
  add.afterSchedule = [&](RecordSink& sink) {
    if (!added) sink.write(entry);
  };
  rewrite(add);
  RewriteSteps timer;
  timer.afterTimers = [](RecordSink& sink) {
    sink.write(TimerRecord{Field::text("t9"), Field::text("2"), Field::text(""), Field::text(""),
                           Field::text(""), Field::text("09"), Field::text("30"), Field::text("")});
  };
  rewrite(timer);
  RewriteSteps remove;
  remove.schedule = [](const ScheduleRecord& record, RecordSink& sink) {
    if (record.EntryDate.raw == "2001/06/16") return sink.copyRest();
    sink.write(record);
  };
  remove.scheduleStops = {QByteArrayLiteral("2001/06/16")};
  rewrite(remove);
  if (replaceEachTime) replaceBySameBytes(path);
  seen.append(timerTitles(path).join('|'));
  return seen;
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

  // A read-only pass split between two threads comes to what one pass comes to, wherever the
  // split falls: in the middle of a line, inside a quoted field holding a line end and a quote,
  // in a short line that lends fields to the next, before a record that starts inside a line,
  // on the marker, among the timers. The rows have something to change after every split (an
  // entry to drop, a date to write again, a once-only timer that is due, a marker to add) or
  // nothing at all.
  void splitPurgePassFindsWhatOnePassFinds_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray awkward = line("\"2001/06/14\",\"a\"") + line("\"\",0,0") +
                               line("\"2001/06/14\",\"b\",\"x\r\n\"\",0,0") +
                               line("\"2001/06/13\",\"c\",\"\",0,0,\"2001/06/13\",\"d\",\"\",0,0");
    const QByteArray timers = line("\"t1\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"");
    const QByteArray dueOnce = line("\"t2\",\"0\",\"2001\",\"4\",\"30\",\"07\",\"30\",\"\"");
    const QByteArray early = filler(4) + awkward + filler(3);
    QTest::newRow("nothing to change") << early + kMarkerLine + timers;
    QTest::newRow("an entry to drop at the end")
        << early + line("\"2001/04/01\",\"z\",\"\",1,1") + kMarkerLine + timers;
    QTest::newRow("a date to write again")
        << early + line("\"2001/4/01\",\"z\",\"\",0,0") + kMarkerLine + timers;
    QTest::newRow("a timer that is due") << early + kMarkerLine + timers + dueOnce;
    QTest::newRow("no marker") << early + filler(2);
  }
  void splitPurgePassFindsWhatOnePassFinds() {
    QFETCH(QByteArray, bytes);
    const QString path = dir_.filePath(QStringLiteral("split.dat"));
    const QDate threshold(2001, 5, 1);
    const QDateTime now(threshold, QTime(0, 0));
    const auto purged = [&] {
      writeBytes(path, bytes);
      QList<TimerRecord> removed;
      bool rewritten = false;
      const Status status = purgeDataFile(path, threshold, now, &removed, &rewritten);
      QByteArrayList seen{status ? readBytes(path) : status.message().toUtf8(),
                          rewritten ? "rewritten" : "left"};
      for (const TimerRecord& timer : removed) seen.append(timer.TimerTitle.raw);
      return seen;
    };
    const QByteArrayList whole = purged();
    for (qint64 at = 0; at <= bytes.size(); at += 3) {
      storetesting::splitPurgePass(at);
      const QByteArrayList split = purged();
      storetesting::splitPurgePass(std::nullopt);
      QVERIFY2(
          split == whole,
          qPrintable(
              QStringLiteral("split at %1: %2").arg(at).arg(QString::fromUtf8(split.join(" | ")))));
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

  // A rewrite leaves the place of the marker it wrote, and the next rewrite of that file copies
  // the entries before it unread once it copies the rest as it stands, as the minute's scan
  // starts its read there: the same bytes as when every pass counts its way through a file it
  // has never seen. The rows are layouts the counting must get right: a short line lending
  // fields to the next just before the marker, a marker the program does not write itself, the
  // marker's text at the start of a line inside a quoted content, and a last timer without a
  // line break.
  void rewritesFromTheMarkerTheyWroteAsFromAFreshFile_data() {
    QTest::addColumn<QByteArray>("before");  // the last entries before the marker
    QTest::addColumn<QByteArray>("marker");
    QTest::addColumn<QByteArray>("end");
    const QByteArray timer = line("\"t1\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"");
    const QByteArray plain = line("\"2001/06/16\",\"x\",\"\",0,0");
    QTest::newRow("as the program writes it") << plain << kMarkerLine << timer;
    QTest::newRow("a short line before the marker")
        << plain + line("\"2001/06/14\",\"a\"") + line("\"\",0,0") << kMarkerLine << timer;
    QTest::newRow("a marker unquoted, with other fields")
        << plain << line("\x83\x5E\x83\x43\x83\x7D,x,,1,1") << timer;
    QTest::newRow("the marker's text inside a content")
        << plain + line("\"2001/06/14\",\"a\",\"b\r\n\x83\x5E\x83\x43\x83\x7D\",0,0") << kMarkerLine
        << timer;
    QTest::newRow("no line break at the end")
        << plain << kMarkerLine
        << timer + QByteArray("\"t2\",\"2\",\"\",\"\",\"\",\"08\",\"00\",\"\"");
  }
  void rewritesFromTheMarkerTheyWroteAsFromAFreshFile() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, marker);
    QFETCH(QByteArray, end);
    const QByteArray bytes =
        line("\"2001/06/17\",\"n\",\"\",0,0") + filler(9000) + before + marker + end;
    const QString warm = dir_.filePath(QStringLiteral("warm.dat"));
    const QString cold = dir_.filePath(QStringLiteral("cold.dat"));
    writeBytes(warm, bytes);
    writeBytes(cold, bytes);
    const QByteArrayList fresh = rewriteInTurn(cold, true);
    const QByteArrayList known = rewriteInTurn(warm, false);
    QCOMPARE(known.size(), fresh.size());
    for (int i = 0; i < known.size(); i += 2) {
      QVERIFY2(known[i] == fresh[i], qPrintable(QStringLiteral("step %1").arg(i / 2)));
      if (i + 1 == known.size()) break;
      // After each rewrite, its marker is known where it stands.
      QCOMPARE(known[i + 1].toLongLong(), known[i].indexOf(kMarkerLine));
      QCOMPARE(fresh[i + 1], known[i + 1]);
    }
    QVERIFY(known[0].contains("\"NEW\"") && !known[4].contains("\"2001/06/16\""));
    QCOMPARE(known.back(), bytes.contains("\"t2\"") ? QByteArray("t1|t2|t9") : QByteArray("t1|t9"));
  }

  // What was remembered is taken only where a marker record starts in the very file: not from
  // a file that has since taken the name, nor from a place that holds no marker.
  void knownMarkerOnlyWhereAMarkerStarts() {
    const QString path = dir_.filePath(QStringLiteral("known.dat"));
    const QByteArray entries = filler(100);
    writeBytes(path, entries + kMarkerLine);
    QCOMPARE(timerTitles(path), QByteArrayList{});
    QCOMPARE(knownMarker(path), std::optional<qint64>(entries.size()));
    replaceBySameBytes(path);
    QCOMPARE(knownMarker(path), std::nullopt);
    QCOMPARE(timerTitles(path), QByteArrayList{});
    QCOMPARE(knownMarker(path), std::optional<qint64>(entries.size()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const std::optional<FileIdentity> identity = fileIdentity(file.handle());
    QVERIFY(identity);
    for (const qint64 wrong : {qint64(0), qint64(line("x").size() * 3), entries.size() - 2}) {
      rememberMarkerOffset(path, *identity, wrong);
      QCOMPARE(knownMarker(path), std::nullopt);
    }
  }

  // The search for several needles at once stops where a look at every byte in turn would, in
  // either build, from every start and to several ends: needles of other lengths, one the start
  // of another, sharing first bytes, places where only a needle's first and last bytes match,
  // and needles at the very start and end of the bytes or too long to fit there.
  void findsTheFirstPlaceOfAnyNeedle_data() {
    QTest::addColumn<QByteArrayList>("needles");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray run(70, 'x');
    QTest::newRow("one, at the very end") << QByteArrayList{"\x8B\x63\x34"} << run + "\x8B\x63\x34";
    QTest::newRow("first and last bytes alone")
        << QByteArrayList{"abc"} << QByteArray("axc").repeated(30) + "abc" + run;
    QTest::newRow("one the start of another")
        << QByteArrayList{"abcd", "ab"} << run + "abcd" + run + "abx";
    QTest::newRow("sharing the first byte")
        << QByteArrayList{"\x8B\x63\x34", "\x8B\x63\x82\x53", "\x8B\x63\x87\x43"}
        << (run + "\x8B\x63\x35\x8B\x63\x82\x53" + run + "\x8B\x63\x87\x43").repeated(2);
    QTest::newRow("the longer cannot fit at the end")
        << QByteArrayList{"abcdefgh", "gh"} << run + "abcdefg" + run + "abcdefgh";
    QTest::newRow("nine") << QByteArrayList{"1a", "2bb", "3ccc", "4d", "5e", "6f", "7g", "8h", "9i"}
                          << run + "9i" + run + "3ccc" + run + "1a" + run + "8h";
    QTest::newRow("none anywhere") << QByteArrayList{"yy", "zzz"} << run + run;
    QTest::newRow("longer than the bytes") << QByteArrayList{run + "x"} << run;
  }
  void findsTheFirstPlaceOfAnyNeedle() {
    QFETCH(QByteArrayList, needles);
    QFETCH(QByteArray, bytes);
    std::vector<PlainNeedle> plain;
    for (const QByteArray& needle : needles) plain.push_back({needle.constData(), needle.size()});
    const char* const data = bytes.constData();
    const auto byteByByte = [&](qsizetype from, qsizetype end) {
      for (qsizetype at = from; at < end; ++at) {
        for (const QByteArray& needle : needles) {
          if (QByteArrayView(data + at, end - at).startsWith(needle)) return at;
        }
      }
      return end;
    };
    using storetesting::FieldCounter;
    for (const FieldCounter build : {FieldCounter::Portable, FieldCounter::Avx2}) {
      if (!storetesting::useFieldCounter(build)) continue;
      for (const qsizetype end : {bytes.size(), bytes.size() - 1, bytes.size() / 2}) {
        for (qsizetype from = 0; from <= end; ++from) {
          const qsizetype found = findPlainNeedles(plain.data(), static_cast<int>(plain.size()),
                                                   data + from, data + end) -
                                  data;
          if (found != byteByByte(from, end)) {
            QVERIFY(storetesting::useFieldCounter(FieldCounter::ForProcessor));
            QFAIL(qPrintable(QStringLiteral("from %1 to %2: %3, not %4")
                                 .arg(from)
                                 .arg(end)
                                 .arg(found)
                                 .arg(byteByByte(from, end))));
          }
        }
      }
    }
    QVERIFY(storetesting::useFieldCounter(FieldCounter::ForProcessor));
  }

  // The AVX2 build of the counting loop, where the processor can run it, finds the same records
  // as the portable one: the month's entries, the timers, and an entry added in its place, from a
  // file whose awkward lines (a short line lending fields, quoted line breaks, the marker's text in
  // a content, quotes that must be read field by field) sit before, across and after the reader's
  // chunk boundary.
  void theAvx2CounterCountsAsThePortableOne() {
    const QByteArray awkward = line("\"2001/06/14\",\"a\"") + line("\"\",0,0") +
                               line("\"2001/06/14\",\"b\",\"x\r\n\x83\x5E\x83\x43\x83\x7D\",0,0") +
                               line("\"2001/06/13\",\"c\",\"say \"\"hi\"\"\",1,0") +
                               line("\"2001/06/13\",d\"e,\"\",0,0");
    QByteArray bytes;
    for (const int fill : {0, 7700, 200}) bytes += filler(fill) + awkward;
    bytes += kMarkerLine + line("\"t1\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"");
    const QString path = dir_.filePath(QStringLiteral("counters.dat"));
    const auto seen = [&] {
      writeBytes(path, bytes);
      QByteArrayList all = monthSubjects(path, 2001, 6);
      all += timerTitles(path);
      RewriteSteps add;
      add.afterSchedule = [](RecordSink& sink) {
        sink.write(ScheduleRecord{Field::text("2001/06/12"), Field::text("NEW"), Field::text(""),
                                  Field::number(0), Field::number(0)});
      };
      const RewriteResult result = rewriteDataFile(path, add);
      all.append(result.status ? readBytes(path) : result.status.message().toUtf8());
      // The counter itself over plain lines, quoted commas and line breaks among them, stopped
      // at every few bytes: whether it counted, and where it stands.
      const QByteArray plain = filler(40) + line("\"2001/06/14\",\"a,b\",\"c\r\nd,\",0,0") +
                               line("\"2001/06/14\",\"\"\"\",\"e\"") + line("\"\",1,1") +
                               filler(40);
      const char* const start = plain.constData();
      for (qsizetype to = 1; to < plain.size(); to += 7) {
        PlainFieldCounter counter(start, start + plain.size(), ScheduleRecord::kFieldCount);
        const bool counted = counter.advanceTo(start + to);
        all.append(QByteArray::number(to) + (counted ? " counted " : " not ") +
                   QByteArray::number(counter.fieldIndex()) + ' ' +
                   QByteArray::number(counter.fieldStart() - start));
      }
      return all;
    };
    using storetesting::FieldCounter;
    QVERIFY(storetesting::useFieldCounter(FieldCounter::Portable));
    const QByteArrayList portable = seen();
    QCOMPARE(portable.count("d\"e"), 3);
    QVERIFY(std::any_of(portable.cbegin(), portable.cend(),
                        [](const QByteArray& seen) { return seen.contains(" counted "); }));
    const bool avx2 = storetesting::useFieldCounter(FieldCounter::Avx2);
    const QByteArrayList other = avx2 ? seen() : portable;
    QVERIFY(storetesting::useFieldCounter(FieldCounter::ForProcessor));
    if (!avx2) QSKIP("the processor runs only the portable counter");
    QCOMPARE(other.size(), portable.size());
    for (qsizetype i = 0; i < other.size(); ++i) QCOMPARE(other[i], portable[i]);
  }

 private:
  QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(StorePassesTest)
#include "tst_store_passes.moc"
