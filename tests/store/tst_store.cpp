#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cerrno>

#include "store/AtomicFile.h"
#include "store/Cp932.h"
#include "store/DataFileScan.h"
#include "store/Purge.h"
#include "store/Rewrite.h"
#include "support/TestFiles.h"

namespace {

// CP932 bytes of the texts used below.
const QByteArray kKenmei("\x8C\x8F\x96\xBC");  // 件名
const QByteArray kNaiyou("\x93\xE0\x97\x65");  // 内容
const QByteArray kDaimei("\x91\xE8\x96\xBC");  // 題名
const QByteArray kGetsu("\x8C\x8E");           // 月

QByteArray line(const QByteArray& text) { return text + "\r\n"; }

QList<ScheduleRecord> schedules(const QString& path, Status* status = nullptr) {
  QList<ScheduleRecord> records;
  Status result = scanSchedule(path, [&](const ScheduleRecord& r) {
    records.append(r);
    return true;
  });
  if (status) *status = result;
  return records;
}

QList<TimerRecord> timers(const QString& path, Status* status = nullptr) {
  QList<TimerRecord> records;
  Status result = scanTimers(path, [&](const TimerRecord& r) { records.append(r); });
  if (status) *status = result;
  return records;
}

// The files of the folder whose names start with "ダミー００".
QStringList temporaryFiles(const QString& folder) {
  return QDir(folder).entryList({kTemporaryFileName + "*"}, QDir::Files | QDir::System);
}

QByteArrayList entryDates(const QString& path) {
  QByteArrayList dates;
  for (const ScheduleRecord& r : schedules(path)) dates.append(r.EntryDate.raw);
  return dates;
}

// Stands in for the kernel's copy: refuses it with one error number, copies a little at a time
// or nothing, and counts the calls.
int gCopyError = 0;    // the errno of a refusal; 0: copy
long gCopyLimit = -1;  // at most this many bytes a call; 0: nothing; -1: all asked for
int gCopyCalls = 0;
long fakeCopyFileRange(int inFd, long long* inOffset, int outFd, long long* outOffset,
                       unsigned long size, unsigned) {
  ++gCopyCalls;
  if (gCopyError != 0) {
    errno = gCopyError;
    return -1;
  }
  if (gCopyLimit >= 0) size = std::min<unsigned long>(size, static_cast<unsigned long>(gCopyLimit));
  QByteArray bytes(static_cast<qsizetype>(size), '\0');
  const ssize_t got = ::pread(inFd, bytes.data(), size, *inOffset);
  if (got <= 0) return got;
  *inOffset += got;
  Q_UNUSED(outOffset);
  return ::write(outFd, bytes.constData(), static_cast<size_t>(got));
}

// The kernel's copy as one way: the system's, refused with an error, or copying in pieces.
// Or no kernel copy at all: the bytes read on the way written from memory, as on ext4.
struct CopyWay {
  int error = 0;
  long limit = -1;
  bool system = true;
  bool fromMemory = false;
};
void useCopyWay(const CopyWay& way) {
  gCopyError = way.error;
  gCopyLimit = way.limit;
  gCopyCalls = 0;
  storetesting::setCopyFileRange(way.system ? nullptr : fakeCopyFileRange);
  storetesting::setKernelCopy(way.fromMemory ? storetesting::KernelCopy::Never
                                             : storetesting::KernelCopy::Always);
}

// The system's copy, chosen by the file system, as outside these tests.
void restoreCopyWay() {
  useCopyWay({});
  storetesting::setKernelCopy(storetesting::KernelCopy::ByFileSystem);
}

// A schedule line of exactly 40 bytes: "2001/05/03","nnnnnnnnn","",0,0 and CR LF.
QByteArray fortyBytes(int n) {
  return line("\"2001/05/03\",\"" + QByteArray::number(n).rightJustified(9, '0') + "\",\"\",0,0");
}
constexpr int kChunk = 256 * 1024;  // the reader's first read

}  // namespace

Q_DECLARE_METATYPE(CopyWay)

namespace {}  // namespace

class StoreTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString file(const QString& name = "data.dat") const { return dir_.filePath(name); }

 private slots:
  void createdFileIsTheMarkerLineAlone() {
    const QString path = file();
    writeBytes(path, "old contents that must go\r\n");
    QVERIFY(createDataFile(path).isOk());
    QCOMPARE(readBytes(path), QByteArray::fromHex("22835E8343837D22"
                                                  "2C22222C22222C302C300D0A"));
    Status status = Status::success();
    QVERIFY(schedules(path, &status).isEmpty());
    QVERIFY(status.isOk());
    QVERIFY(timers(path, &status).isEmpty());
    QVERIFY(status.isOk());
  }

  void exampleLinesReadBackFieldByField() {
    const QString path = file();
    writeBytes(path, line("\"2001/05/03\",\"" + kKenmei + "\",\"" + kNaiyou + "\",1,1") +
                         kMarkerLine +
                         line("\"" + kDaimei +
                              "\",\"0\",\"2001\",\"05\",\"03\",\"07\",\"30\","
                              "\"C:\\a.bmp\"") +
                         line("\"" + kDaimei + "\",\"1\",\"" + kGetsu +
                              "\",\"\",\"\",\"08\","
                              "\"00\",\"\""));
    const auto entries = schedules(path);
    QCOMPARE(entries.size(), 1);
    const ScheduleRecord& entry = entries[0];
    QCOMPARE(entry.EntryDate.toText(), "2001/05/03");
    QCOMPARE(entry.Subject.toText(), "件名");
    QCOMPARE(entry.Content.toText(), "内容");
    QCOMPARE(entry.DoneFlag, Field::fromBytes("1", false));
    QCOMPARE(entry.DeleteFlag, Field::fromBytes("1", false));

    const auto list = timers(path);
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[0].TimerTitle.toText(), "題名");
    QCOMPARE(list[0].TimerKind.toText(), "0");
    QCOMPARE(list[0].TimerYearOrWeekday.toText(), "2001");
    QCOMPARE(list[0].TimerMonth.toText(), "05");
    QCOMPARE(list[0].TimerDay.toText(), "03");
    QCOMPARE(list[0].TimerHour.toText(), "07");
    QCOMPARE(list[0].TimerMinute.toText(), "30");
    QCOMPARE(list[0].TimerPicture.toText(), "C:\\a.bmp");
    QCOMPARE(list[1].TimerKind.toText(), "1");
    QCOMPARE(list[1].TimerYearOrWeekday.toText(), "月");
    QCOMPARE(list[1].TimerMonth, Field::fromBytes("", true));
    QCOMPARE(list[1].TimerPicture.toText(), "");
  }

  // Lines re-encoded from what was read equal their source, whatever bytes the texts hold:
  // ED 40 and FA 5C are two encodings of one character, 95 5C ends in a backslash byte.
  void unchangedRecordsEncodeToTheirSourceBytes() {
    const QByteArray source =
        line("\"2001/05/03\",\"\xED\x40\",\"\xFA\x5C\",\"1\",0") +
        line("\"2001/05/02\",\"a,b,,c\",\"\x95\x5C\",0,\"0\"") +
        line("\"2001/05/01\",\"\",\"\",1,1") + kMarkerLine +
        line("\"\xED\x40\xFA\x5C\",\"2\",\"\",\"\",\"\",\"23\",\"59\",\"/home/u/\x95\x5C.png\"");
    const QString path = file();
    writeBytes(path, source);
    QByteArray copy;
    for (const ScheduleRecord& r : schedules(path)) copy += encodeLine(r.fields());
    copy += encodeLine(TimerMarker::fields());
    for (const TimerRecord& r : timers(path)) copy += encodeLine(r.fields());
    QCOMPARE(copy, source);
  }

  void rewriteChangingOneRecordKeepsTheOthersByteForByte() {
    const QByteArray keep1 = line("\"2001/05/03\",\"\xED\x40\",\"\xFA\x5C\",\"1\",0");
    const QByteArray drop = line("\"2001/05/02\",\"x\",\"\",0,0");
    const QByteArray keep2 = line("\"2001/05/01\",\"a,b\",\"\",1,\"1\"");
    const QByteArray timer = line("\"t\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"");
    const QString path = file();
    writeBytes(path, keep1 + drop + keep2 + kMarkerLine + timer);
    RewriteSteps steps;
    steps.schedule = [](const ScheduleRecord& r, RecordSink& sink) {
      if (r.Subject.raw != "x") sink.write(r);
    };
    const RewriteResult result = rewriteDataFile(path, steps);
    QVERIFY(result.status.isOk());
    QVERIFY(result.changed);
    QCOMPARE(readBytes(path), keep1 + keep2 + kMarkerLine + timer);
    QVERIFY(temporaryFiles(dir_.path()).isEmpty());
  }

  // A rewrite copies the records it keeps as the bytes they were read as: both encodings of
  // 纊 (ED 40, FA 5C), blanks around a bare flag, a quoted flag, a line ended by LF alone, a
  // record whose line lends a field to the next. Only what the rewrite adds is encoded anew.
  void rewriteCopiesKeptRecordsAsTheirBytes_data() {
    QTest::addColumn<QByteArray>("kept");
    QTest::newRow("two encodings of one character")
        << line("\"2001/05/03\",\"\xED\x40\",\"\xFA\x5C\",\"1\",0");
    QTest::newRow("blanks around a bare flag") << line("\"2001/05/03\",\"a\",\"\", 1 ,0");
    QTest::newRow("line ended by LF") << QByteArray("\"2001/05/03\",\"a\",\"\",0,0\n");
    QTest::newRow("lone CR") << QByteArray("\"2001/05/03\",\"a\",\"\",0,0\r");
    QTest::newRow("six fields, then four")
        << QByteArray("\"2001/05/03\",\"a\",\"\",0,0,\"2001/05/02\",\"b\",\"\",1\r\n0\r\n");
    QTest::newRow("backslash trail byte") << line("\"2001/05/03\",\"\x95\x5C\",\"\",0,0");
  }
  void rewriteCopiesKeptRecordsAsTheirBytes() {
    QFETCH(QByteArray, kept);
    const QString path = file();
    const QByteArray timer = line("\"\xED\x40\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"");
    writeBytes(path, kept + kMarkerLine + timer);
    RewriteSteps steps;
    steps.afterSchedule = [](RecordSink& sink) {
      sink.write(ScheduleRecord{Field::text("2001/01/01"), Field::text("new"), Field::text(""),
                                Field::number(0), Field::number(0)});
    };
    steps.schedule = [](const ScheduleRecord& record, RecordSink& sink) { sink.write(record); };
    const RewriteResult result = rewriteDataFile(path, steps);
    QVERIFY2(result.status.isOk(), qPrintable(result.status.message()));
    QCOMPARE(readBytes(path), kept + line("\"2001/01/01\",\"new\",\"\",0,0") + kMarkerLine + timer);
  }

  // What a rewrite does not copy as it stands: the marker is written as the program writes it,
  // a last line gets its CR LF, blank lines after the last record go.
  void rewriteTidiesOnlyTheEdges_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray entry = line("\"2001/05/03\",\"a\",\"\",0,0");
    const QByteArray timer = "\"t\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"";
    QTest::newRow("last line unended")
        << entry + kMarkerLine + timer << entry + kMarkerLine + line(timer);
    QTest::newRow("blank lines at the end")
        << entry + kMarkerLine + line(timer) + "\r\n\r\n \x1A" << entry + kMarkerLine + line(timer);
    QTest::newRow("marker with quoted zeros")
        << entry + line("\"\x83\x5E\x83\x43\x83\x7D\",\"\",\"\",\"0\",\"0\"")
        << entry + kMarkerLine;
    QTest::newRow("no marker") << entry << entry + kMarkerLine;
    QTest::newRow("unended quote at the end")
        << entry + "\"2001/05/02\",\"b\",\"\",0,\"1"
        << entry + line("\"2001/05/02\",\"b\",\"\",0,\"1\"") + kMarkerLine;
    // The open field holds the line break: the marker written after it must not join it.
    QTest::newRow("unended quote ending in a line break")
        << entry + "\"2001/05/02\",\"b\",\"\",0,\"1\r\n"
        << entry + line("\"2001/05/02\",\"b\",\"\",0,\"1\r\n\"") + kMarkerLine;
  }
  void rewriteTidiesOnlyTheEdges() {
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, expected);
    const QString path = file();
    writeBytes(path, source);
    const RewriteResult result = rewriteDataFile(path, {});
    QVERIFY2(result.status.isOk(), qPrintable(result.status.message()));
    QVERIFY(result.changed);
    QCOMPARE(readBytes(path), expected);
  }

  // Records stream through in pieces: a file of several megabytes, changed in the middle and
  // at the end, keeps every other byte.
  void largeRewriteKeepsEveryOtherByte() {
    QByteArray head;
    QByteArray tail;
    for (int i = 0; i < 40000; ++i) {
      const QByteArray entry =
          line("\"2001/05/03\",\"\xED\x40" + QByteArray::number(i) + "\",\"\xFA\x5C,\",0,0");
      (i < 20000 ? head : tail) += entry;
    }
    const QByteArray middle = line("\"2001/05/03\",\"drop me\",\"\",0,0");
    const QByteArray timers = line("\"a\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"") +
                              line("\"b\",\"2\",\"\",\"\",\"\",\"08\",\"30\",\"\"");
    const QString path = file();
    writeBytes(path, head + middle + tail + kMarkerLine + timers);
    RewriteSteps steps;
    steps.schedule = [](const ScheduleRecord& record, RecordSink& sink) {
      if (record.Subject.raw != "drop me") sink.write(record);
    };
    steps.afterTimers = [](RecordSink& sink) {
      sink.write(TimerRecord{Field::text("c"), Field::text("2"), Field::text(""), Field::text(""),
                             Field::text(""), Field::text("09"), Field::text("30"),
                             Field::text("")});
    };
    const RewriteResult result = rewriteDataFile(path, steps);
    QVERIFY2(result.status.isOk(), qPrintable(result.status.message()));
    QVERIFY(readBytes(path) == head + tail + kMarkerLine + timers +
                                   line("\"c\",\"2\",\"\",\"\",\"\",\"09\",\"30\",\"\""));
  }

  // The tidy-up of an opening writes again only dates that are not as the program writes
  // them; everything else it keeps stays byte for byte, and a tidy file is not written at all.
  void purgeRewritesOnlyWhatItMust() {
    const QString path = file();
    const QByteArray odd = line("\"2001/05/03\",\"\xED\x40\",\"\xFA\x5C\", 0 ,\"0\"");
    writeBytes(path, odd + line("\"2001/4/9\",\"\xED\x40\",\"\",0,0") + kMarkerLine);
    QVERIFY(
        purgeDataFile(path, QDate(2001, 5, 3), QDateTime(QDate(2001, 5, 3), QTime(12, 0))).isOk());
    QCOMPARE(readBytes(path), odd + line("\"2001/04/09\",\"\xED\x40\",\"\",0,0") + kMarkerLine);
    struct stat before {};
    ::stat(QFile::encodeName(path).constData(), &before);
    QVERIFY(
        purgeDataFile(path, QDate(2001, 5, 3), QDateTime(QDate(2001, 5, 3), QTime(12, 0))).isOk());
    struct stat after {};
    ::stat(QFile::encodeName(path).constData(), &after);
    QCOMPARE(after.st_ino, before.st_ino);
  }

  // The unchanged parts of a rewrite go through the kernel's copy; where it refuses (another
  // file system, an old kernel, a file system without it, a sandbox) or copies in pieces, the
  // file comes out the same. The record changed sits at the very start, across the reader's
  // first chunk, just before the marker, and at the very end (the last timer).
  void kernelCopyAndItsFallbackWriteTheSameBytes_data() {
    QTest::addColumn<CopyWay>("way");
    QTest::addColumn<int>("changed");  // the line replaced; -1: the last timer
    const QList<std::pair<const char*, CopyWay>> ways{
        {"kernel", CopyWay{}},
        {"EXDEV", CopyWay{EXDEV, -1, false}},
        {"EINVAL", CopyWay{EINVAL, -1, false}},
        {"ENOSYS", CopyWay{ENOSYS, -1, false}},
        {"EOPNOTSUPP", CopyWay{EOPNOTSUPP, -1, false}},
        {"EPERM", CopyWay{EPERM, -1, false}},
        {"copies nothing", CopyWay{0, 0, false}},
        {"copies 1000 bytes a call", CopyWay{0, 1000, false}},
        {"from memory", CopyWay{0, -1, false, true}},
    };
    const int lines = 12000;  // 480,000 bytes of entries
    const QList<std::pair<const char*, int>> places{{"first line", 0},
                                                    {"across the first chunk", kChunk / 40},
                                                    {"last entry", lines - 1},
                                                    {"last timer", -1}};
    for (const auto& [wayName, way] : ways) {
      for (const auto& [placeName, changed] : places) {
        QTest::addRow("%s, %s", wayName, placeName) << way << changed;
      }
    }
  }
  void kernelCopyAndItsFallbackWriteTheSameBytes() {
    QFETCH(CopyWay, way);
    QFETCH(int, changed);
    const int lines = 12000;
    QByteArray before;
    QByteArray after;
    const QByteArray replacement = line("\"2001/05/03\",\"changed\",\"\",0,0");
    for (int i = 0; i < lines; ++i) {
      before += fortyBytes(i);
      after += i == changed ? replacement : fortyBytes(i);
    }
    if (changed == kChunk / 40) {
      // The line replaced does straddle the first chunk's end.
      QVERIFY(changed * 40 < kChunk && changed * 40 + 40 > kChunk);
    }
    const QByteArray timer1 = line("\"t1\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"");
    const QByteArray timer2 = line("\"t2\",\"2\",\"\",\"\",\"\",\"08\",\"30\",\"\"");
    const QByteArray timer2changed = line("\"t2\",\"2\",\"\",\"\",\"\",\"09\",\"45\",\"\"");
    before += kMarkerLine + timer1 + timer2;
    after += kMarkerLine + timer1 + (changed == -1 ? timer2changed : timer2);
    const QString path = file("copy.dat");
    writeBytes(path, before);

    RewriteSteps steps;
    if (changed >= 0) {
      const QByteArray wanted = QByteArray::number(changed).rightJustified(9, '0');
      steps.schedule = [wanted](const ScheduleRecord& record, RecordSink& sink) {
        if (record.Subject.raw != wanted) return sink.write(record);
        sink.write(ScheduleRecord{record.EntryDate, Field::text("changed"), record.Content,
                                  record.DoneFlag, record.DeleteFlag});
        sink.copyRest();
      };
    } else {
      steps.timer = [](const TimerRecord& record, RecordSink& sink) {
        if (record.TimerTitle.raw != "t2") return sink.write(record);
        TimerRecord later = record;
        later.TimerHour = Field::text("09");
        later.TimerMinute = Field::text("45");
        sink.write(later);
      };
    }
    useCopyWay(way);
    const RewriteResult result = rewriteDataFile(path, steps);
    const int calls = gCopyCalls;
    restoreCopyWay();
    QVERIFY2(result.status.isOk(), qPrintable(result.status.message()));
    QVERIFY(result.changed);
    QVERIFY(readBytes(path) == after);
    // The stand-in was asked (once, where it refused: the rest goes by read and write; never
    // where the bytes read go from memory).
    if (way.fromMemory) {
      QCOMPARE(calls, 0);
    } else if (!way.system) {
      QVERIFY(way.error != 0 || way.limit == 0 ? calls == 1 : calls > 1);
    }
    QCOMPARE(temporaryFiles(dir_.path()), QStringList());
  }

  // A kernel copy that fails for want of room or with an I/O error fails the rewrite.
  void kernelCopyFailureKeepsTheOldFile_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("reason");
    QTest::newRow("disk full") << ENOSPC << QStringLiteral("空き容量");
    QTest::newRow("i/o error") << EIO << QString();
  }
  void kernelCopyFailureKeepsTheOldFile() {
    QFETCH(int, error);
    QFETCH(QString, reason);
    QByteArray before;
    for (int i = 0; i < 5000; ++i) before += fortyBytes(i);
    before += kMarkerLine;
    const QString path = file("copy.dat");
    writeBytes(path, before);
    RewriteSteps steps;
    steps.afterTimers = [](RecordSink& sink) {
      sink.write(TimerRecord{Field::text("c"), Field::text("2"), Field::text(""), Field::text(""),
                             Field::text(""), Field::text("09"), Field::text("30"),
                             Field::text("")});
    };
    useCopyWay({error, -1, false});
    const RewriteResult result = rewriteDataFile(path, steps);
    restoreCopyWay();
    QVERIFY(!result.status.isOk());
    QVERIFY2(result.status.message().contains("元のデータはそのまま"),
             qPrintable(result.status.message()));
    if (!reason.isEmpty()) QVERIFY(result.status.message().contains(reason));
    QVERIFY(readBytes(path) == before);
    QCOMPARE(temporaryFiles(dir_.path()), QStringList());
  }

  // The passes that jump to the marker or to a date with a byte search count the fields before
  // it as a field-by-field read does: a line of four fields takes the next line's first, one of
  // six gives its last to the next record. A quote after a blank sends those bytes the careful
  // way. The delete takes out the first line; what follows is copied as it stands.
  void rewriteFindsTheMarkerWhereTheFieldsPutIt_data() {
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<bool>("markerFound");
    QTest::newRow("plain") << fortyBytes(1) << true;
    QTest::newRow("four fields") << line("\"2001/05/03\",\"a\",\"\",0") << false;
    QTest::newRow("four fields, then six")
        << line("\"2001/05/03\",\"a\",\"\",0") + line("\"2001/05/03\",\"b\",\"\",0,0,\"x\"")
        << true;
    QTest::newRow("quote after a blank") << line("\"2001/05/03\", \"a\",\"\",0,0") << true;
    QTest::newRow("quote inside a bare field")
        << line("\"2001/05/03\",a\"b,\"\",0") + line("x,\"2001/05/03\",\"c\",\"\",0,0") << true;
    QTest::newRow("comma and line end inside quotes")
        << line("\"2001/05/03\",\"a,\r\n\",\",\",0,0") << true;
  }
  void rewriteFindsTheMarkerWhereTheFieldsPutIt() {
    QFETCH(QByteArray, lines);
    QFETCH(bool, markerFound);
    const QByteArray first = line("\"2001/05/04\",\"drop\",\"\",0,0");
    QByteArray filler;
    for (int i = 0; i < 8000; ++i) filler += fortyBytes(i);  // past the first chunk
    const QByteArray timer = line("\"t1\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"");
    const QByteArray before = first + filler + lines + filler + kMarkerLine + timer;
    const QString path = file("fields.dat");
    writeBytes(path, before);
    RewriteSteps steps;
    steps.schedule = [](const ScheduleRecord& record, RecordSink& sink) {
      if (record.Subject.raw == "drop") return sink.copyRest();
      sink.write(record);
    };
    bool sawTimer = false;
    steps.timer = [&](const TimerRecord& record, RecordSink& sink) {
      sawTimer = record.TimerTitle.raw == "t1";
      sink.write(record);
    };
    const RewriteResult result = rewriteDataFile(path, steps);
    if (markerFound) {
      QVERIFY2(result.status.isOk(), qPrintable(result.status.message()));
      QVERIFY(sawTimer);
      QVERIFY(readBytes(path) == filler + lines + filler + kMarkerLine + timer);
    } else {
      // The marker's line is read as the rest of an entry, and the file ends inside a record.
      QVERIFY(!result.status.isOk());
      QVERIFY(readBytes(path) == before);
    }
    QList<TimerRecord> found;
    const Status scanned = scanTimers(path, [&](const TimerRecord& r) { found.append(r); });
    QCOMPARE(scanned.isOk(), markerFound);
    if (markerFound) QCOMPARE(found.size(), 1);
  }

  // A step that decides by the date alone has the records passed over by counting fields; the
  // place it stops at is where a field-by-field read puts it. A line of six fields gives its
  // last to the next record, whose date is then "2001/05/01": the new entry goes before it (a
  // line of four after it takes the lent field back).
  void rewriteByDateStopsWhereTheFieldsPutIt_data() {
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QByteArray>("expectedLines");
    const QByteArray added = line("\"2001/05/02\",\"new\",\"\",0,0");
    QTest::newRow("older entry") << line("\"2001/05/01\",\"old\",\"\",0,0")
                                 << added + line("\"2001/05/01\",\"old\",\"\",0,0");
    QTest::newRow("six fields, then four")
        << line("\"2001/05/03\",\"a\",\"\",0,0,\"2001/05/01\"") +
               line("\"2001/05/03\",\"b\",\"\",0")
        << "\"2001/05/03\",\"a\",\"\",0,0," + added + line("\"2001/05/01\"") +
               line("\"2001/05/03\",\"b\",\"\",0");
    QTest::newRow("quote after a blank")
        << line("\"2001/05/03\", \"a\",\"\",0,0") + line("\"2001/05/01\",\"old\",\"\",0,0")
        << line("\"2001/05/03\", \"a\",\"\",0,0") + added + line("\"2001/05/01\",\"old\",\"\",0,0");
  }
  void rewriteByDateStopsWhereTheFieldsPutIt() {
    QFETCH(QByteArray, lines);
    QFETCH(QByteArray, expectedLines);
    QByteArray head;
    for (int i = 0; i < 8000; ++i) head += fortyBytes(i);  // 2001/05/03, past the first chunk
    QByteArray tail;
    for (int i = 0; i < 100; ++i) tail += fortyBytes(i);
    const QString path = file("bydate.dat");
    writeBytes(path, head + lines + tail + kMarkerLine);
    RewriteSteps steps;
    bool written = false;
    const ScheduleRecord added{Field::text("2001/05/02"), Field::text("new"), Field::text(""),
                               Field::number(0), Field::number(0)};
    steps.schedule = [&](const ScheduleRecord& record, RecordSink& sink) {
      if (!written && record.EntryDate.raw < "2001/05/02") {
        sink.write(added);
        written = true;
      }
      sink.write(record);
    };
    steps.keepsScheduleDate = [](QByteArrayView date) { return date >= "2001/05/02"; };
    const RewriteResult result = rewriteDataFile(path, steps);
    QVERIFY2(result.status.isOk(), qPrintable(result.status.message()));
    QVERIFY(written);
    QVERIFY(readBytes(path) == head + expectedLines + tail + kMarkerLine);
  }

  void rewriteWithoutChangeLeavesTheFileUntouched() {
    const QString path = file();
    const QByteArray source = line("\"2001/05/03\",\"a\",\"\",0,0") + kMarkerLine;
    writeBytes(path, source);
    struct stat before {};
    ::stat(QFile::encodeName(path).constData(), &before);
    const RewriteResult result = rewriteDataFile(path, {});
    QVERIFY(result.status.isOk());
    QVERIFY(!result.changed);
    struct stat after {};
    ::stat(QFile::encodeName(path).constData(), &after);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(readBytes(path), source);
  }

  // The key of a date the program wrote (year x 1000 + day of the year), and none for any other
  // bytes: those take the slow way.
  void canonicalDateKeyReadsOnlyTheProgramsForm_data() {
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("key");  // -1: none
    QTest::newRow("ordinary") << QByteArray("2001/05/03") << 2001123;
    QTest::newRow("leap day") << QByteArray("2000/02/29") << 2000060;
    QTest::newRow("after a leap day") << QByteArray("2004/03/01") << 2004061;
    QTest::newRow("last day of a leap year") << QByteArray("2000/12/31") << 2000366;
    QTest::newRow("leap day of a 400th year") << QByteArray("2400/02/29") << 2400060;
    QTest::newRow("no leap day in 1900") << QByteArray("1900/02/29") << -1;
    QTest::newRow("April 31st") << QByteArray("2001/04/31") << -1;
    QTest::newRow("month 13") << QByteArray("2001/13/01") << -1;
    QTest::newRow("month 0") << QByteArray("2001/00/10") << -1;
    QTest::newRow("day 0") << QByteArray("2001/05/00") << -1;
    QTest::newRow("year 0") << QByteArray("0000/01/01") << -1;
    QTest::newRow("one-digit month") << QByteArray("2001/5/3") << -1;
    QTest::newRow("dashes") << QByteArray("2001-05-03") << -1;
    QTest::newRow("byte below 0") << QByteArray("200//05/03") << -1;
    QTest::newRow("byte above 9") << QByteArray("2001/05/0:") << -1;
    QTest::newRow("full-width digit's byte") << QByteArray("2001/05/\x82\x4F") << -1;
    QTest::newRow("trailing blank") << QByteArray("2001/05/03 ") << -1;
  }
  void canonicalDateKeyReadsOnlyTheProgramsForm() {
    QFETCH(QByteArray, raw);
    QFETCH(int, key);
    QCOMPARE(canonicalDateKey(raw).value_or(-1), key);
  }

  void flagsCountByValueQuotedOrNot() {
    QVERIFY(Field::fromBytes("1", false).isSet());
    QVERIFY(Field::fromBytes("1", true).isSet());
    QVERIFY(!Field::fromBytes("0", false).isSet());
    QVERIFY(!Field::fromBytes("0", true).isSet());
    QVERIFY(!Field::fromBytes("", true).isSet());
    QVERIFY(!Field::fromBytes("11", false).isSet());
  }

  void commasInsideQuotesBelongToTheText() {
    const QString path = file();
    writeBytes(path, line("\"2001/05/03\",\",a,\",\"b,c\",0,0") + kMarkerLine);
    const auto entries = schedules(path);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries[0].Subject.toText(), ",a,");
    QCOMPARE(entries[0].Content.toText(), "b,c");
  }

  void lastLineWithoutLineEndIsRead() {
    const QString path = file();
    writeBytes(path, line("\"2001/05/03\",\"a\",\"\",0,0") + "\"2001/05/02\",\"b\",\"\",0,1");
    QCOMPARE(entryDates(path), QByteArrayList({"2001/05/03", "2001/05/02"}));
    writeBytes(path, kMarkerLine + "\"t\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"");
    const auto list = timers(path);
    QCOMPARE(list.size(), 1);
    QCOMPARE(list[0].TimerMinute.toText(), "30");
  }

  void monthScanSeesOnlyTheFirstRunOfTheMonth() {
    const QString path = file();
    writeBytes(path, line("\"2001/06/01\",\"june\",\"\",0,0") +
                         line("\"2001/05/20\",\"first run\",\"\",0,0") +
                         line("\"2001/05/19\",\"first run too\",\"\",1,0") +
                         line("\"2001/04/01\",\"april\",\"\",0,0") +
                         line("\"2001/05/10\",\"second run\",\"\",0,0") + kMarkerLine);
    QStringList seen;
    QVERIFY(scanMonth(path, 2001, 5, [&](const ScheduleRecord& r) {
              seen.append(r.Subject.toText());
            }).isOk());
    QCOMPARE(seen, QStringList({"first run", "first run too"}));
  }

  // The month scan meets a month by the first bytes of the date, whatever follows them.
  void monthScanMatchesTheDatesFirstBytes_data() {
    QTest::addColumn<QByteArray>("date");
    QTest::addColumn<int>("year");
    QTest::addColumn<bool>("inMonth");
    QTest::newRow("canonical") << QByteArray("2001/05/03") << 2001 << true;
    QTest::newRow("one-digit day") << QByteArray("2001/05/3") << 2001 << true;
    QTest::newRow("month alone") << QByteArray("2001/05") << 2001 << true;
    QTest::newRow("too short") << QByteArray("2001/0") << 2001 << false;
    QTest::newRow("one-digit month") << QByteArray("2001/5/03") << 2001 << false;
    QTest::newRow("next month") << QByteArray("2001/06/05") << 2001 << false;
    QTest::newRow("other decade") << QByteArray("2011/05/03") << 2001 << false;
    QTest::newRow("five-digit year") << QByteArray("10000/05/03") << 10000 << true;
    QTest::newRow("five-digit year, other month") << QByteArray("10000/06/03") << 10000 << false;
    QTest::newRow("four of five digits") << QByteArray("1000/05/03") << 10000 << false;
  }
  void monthScanMatchesTheDatesFirstBytes() {
    QFETCH(QByteArray, date);
    QFETCH(int, year);
    QFETCH(bool, inMonth);
    const QString path = file();
    writeBytes(path, line("\"1990/01/01\",\"before\",\"\",0,0") +
                         line("\"" + date + "\",\"x\",\"\",0,0") + kMarkerLine);
    QByteArrayList seen;
    QVERIFY(scanMonth(path, year, 5, [&](const ScheduleRecord& r) {
              seen.append(r.Subject.raw);
            }).isOk());
    QCOMPARE(seen, inMonth ? QByteArrayList{"x"} : QByteArrayList{});
  }

  void shortLineBorrowsFieldsFromTheNextLine() {
    const QString path = file();
    writeBytes(path, line("\"2001/05/03\",\"a\",\"\"") + line("\"2001/05/02\",\"b\",\"\",0,0") +
                         line("\"2001/05/01\",\"c\",\"\",0,0"));
    Status status = Status::success();
    const auto entries = schedules(path, &status);
    // 3 + 5 + 5 fields: the first record takes two fields of the second line, and the last
    // record runs out of fields.
    QVERIFY(!status.isOk());
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].DoneFlag.raw, QByteArray("2001/05/02"));
    QCOMPARE(entries[0].DeleteFlag.raw, QByteArray("b"));
  }

  void fileWithoutMarkerIsAllScheduleAndNoTimers() {
    const QString path = file();
    writeBytes(path, line("\"2001/05/03\",\"a\",\"\",0,0") + line("\"2001/05/02\",\"b\",\"\",0,0"));
    QCOMPARE(entryDates(path).size(), 2);
    Status status = Status::success();
    QVERIFY(timers(path, &status).isEmpty());
    QVERIFY(status.isOk());
  }

  void emptyFileHasNothing() {
    const QString path = file();
    writeBytes(path, "");
    Status status = Status::success();
    QVERIFY(schedules(path, &status).isEmpty());
    QVERIFY(status.isOk());
    QVERIFY(timers(path, &status).isEmpty());
    QVERIFY(status.isOk());
  }

  void trailingBlankLinesAreNotRecords() {
    const QString path = file();
    writeBytes(path, kMarkerLine + line("\"t\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"") +
                         "\r\n\r\n  \x1A");
    Status status = Status::success();
    QCOMPARE(timers(path, &status).size(), 1);
    QVERIFY(status.isOk());
  }

  void missingFileIsReportedWithItsName() {
    Status status = Status::success();
    schedules(file("nowhere.dat"), &status);
    QVERIFY(!status.isOk());
    QVERIFY(status.message().contains("nowhere.dat"));
    QVERIFY(status.message().contains("見つかりません"));
  }

  // The scans pass over most records in one tight loop and read the rest field by field; both
  // must see the same records, also where a quoted field holds a comma, a line end or the
  // marker's text, where a line lends fields to the next, and across the reader's 256 KiB
  // chunks (the rows with filler put the lines past the first chunk).
  void fastPassesReadAsFieldsDo_data() {
    QTest::addColumn<int>("filler");
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QByteArrayList>("maySubjects");
    QTest::addColumn<int>("timerCount");  // -1: the timer scan fails
    QTest::addColumn<bool>("tidy");
    const QByteArray marker = kTimerMarkerText;
    for (const int filler : {0, 20000}) {
      const QByteArray suffix = filler ? " after filler" : "";
      QTest::newRow("marker's text in a subject" + suffix)
          << filler << line("\"2001/05/02\",\"" + marker + "\",\"\",0,0") << QByteArrayList{marker}
          << 1 << true;
      QTest::newRow("CR LF inside a content" + suffix)
          << filler << line("\"2001/05/02\",\"a\",\"x\r\ny\",0,0") << QByteArrayList{"a"} << 1
          << true;
      QTest::newRow("comma inside a subject" + suffix)
          << filler << line("\"2001/05/02\",\"a,b\",\"\",0,0") << QByteArrayList{"a,b"} << 1
          << true;
      QTest::newRow("four fields lend from the next line" + suffix)
          << filler << line("\"2001/05/02\",\"a\",\"\",0") + line("\"2001/05/01\",\"b\",\"\",0,0")
          << QByteArrayList{"a"} << -1 << false;
      QTest::newRow("blank line is a field" + suffix)
          << filler
          << line("\"2001/05/02\",\"a\",\"\",0,0") + "\r\n" + line("\"2001/05/01\",\"b\",\"\",0,0")
          << QByteArrayList{"a"} << -1 << false;
    }
  }
  void fastPassesReadAsFieldsDo() {
    QFETCH(int, filler);
    QFETCH(QByteArray, lines);
    QFETCH(QByteArrayList, maySubjects);
    QFETCH(int, timerCount);
    QFETCH(bool, tidy);
    QByteArray bytes;
    for (int i = 0; i < filler; ++i) bytes += line("\"2001/06/15\",\"f\",\"\",0,0");
    bytes += lines + kMarkerLine + line("\"t1\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"");
    const QString path = file("fast.dat");
    writeBytes(path, bytes);

    QByteArrayList subjects;
    QVERIFY(scanMonth(path, 2001, 5, [&](const ScheduleRecord& r) {
              subjects.append(r.Subject.raw);
            }).isOk());
    QCOMPARE(subjects, maySubjects);
    Status status = Status::success();
    const QList<TimerRecord> found = timers(path, &status);
    // -1: the marker is no record's first field, and the file ends inside a record.
    QCOMPARE(status.isOk(), timerCount >= 0);
    if (timerCount >= 0) QCOMPARE(found.size(), timerCount);
    if (timerCount > 0) QCOMPARE(found[0].TimerTitle.raw, QByteArray("t1"));
    if (!tidy) return;
    QVERIFY(
        purgeDataFile(path, QDate(2001, 5, 1), QDateTime(QDate(2001, 5, 1), QTime(0, 0))).isOk());
    QCOMPARE(readBytes(path), bytes);
  }

  void junkNeverCrashesOrHangs_data() {
    QTest::addColumn<QByteArray>("bytes");
    QByteArray binary;
    for (int i = 0; i < 70000; ++i) binary += char((i * 7919 + 13) % 256);
    QTest::newRow("binary") << binary;
    QTest::newRow("utf-8") << QByteArray("\"2001/05/03\",\"会議\",\"内容\",0,0\r\n");
    QTest::newRow("long line") << QByteArray(6 * 1024 * 1024, 'x');
    QTest::newRow("long quoted") << ("\"" + QByteArray(3 * 1024 * 1024, ',') + "\r\n");
    QTest::newRow("unterminated quote") << QByteArray("\"2001/05/03\",\"abc");
    QTest::newRow("only commas") << QByteArray(100000, ',');
    QTest::newRow("only line ends") << QByteArray(100000, '\n');
    QTest::newRow("nul bytes") << QByteArray(1000, '\0');
  }
  void junkNeverCrashesOrHangs() {
    QFETCH(QByteArray, bytes);
    const QString path = file();
    writeBytes(path, bytes);
    QElapsedTimer timer;
    timer.start();
    schedules(path);
    timers(path);
    (void)scanMonth(path, 2001, 5, [](const ScheduleRecord&) {});
    // Whatever the verdict, a rewrite either succeeds or leaves the file exactly as it was.
    const RewriteResult result = rewriteDataFile(path, {});
    if (!result.status.isOk()) QCOMPARE(readBytes(path), bytes);
    QVERIFY2(timer.elapsed() < 5000, "reading junk took too long");
  }

  void purgeAtOpen() {
    const QString path = file();
    writeBytes(path, line("\"2001/05/03\",\"today done+delete\",\"\",1,1") +
                         line("\"2001/05/02\",\"yesterday done+delete\",\"\",1,1") +
                         line("\"2001/05/02\",\"quoted flags\",\"\",\"1\",\"1\"") +
                         line("\"2001/04/30\",\"done only\",\"\",1,0") +
                         line("\"2001/04/30\",\"delete only\",\"\",0,1") +
                         line("\"2001/4/9\",\"short date\",\"\",0,0") + kMarkerLine +
                         line("\"now\",\"0\",\"2001\",\"05\",\"03\",\"12\",\"00\",\"\"") +
                         line("\"minute ago\",\"0\",\"2001\",\"05\",\"03\",\"11\",\"59\",\"\"") +
                         line("\"weekly\",\"1\",\"" + kGetsu + "\",\"\",\"\",\"00\",\"00\",\"\"") +
                         line("\"daily\",\"2\",\"\",\"\",\"\",\"00\",\"00\",\"\"") +
                         line("\"odd kind\",\"x\",\"1999\",\"01\",\"01\",\"00\",\"00\",\"\"") +
                         line("\"last year\",\"0\",\"2000\",\"12\",\"31\",\"23\",\"59\",\"\""));
    const Status status =
        purgeDataFile(path, QDate(2001, 5, 3), QDateTime(QDate(2001, 5, 3), QTime(12, 0, 30)));
    QVERIFY2(status.isOk(), qPrintable(status.message()));
    QCOMPARE(readBytes(path),
             line("\"2001/05/03\",\"today done+delete\",\"\",1,1") +
                 line("\"2001/04/30\",\"done only\",\"\",1,0") +
                 line("\"2001/04/30\",\"delete only\",\"\",0,1") +
                 line("\"2001/04/09\",\"short date\",\"\",0,0") + kMarkerLine +
                 line("\"now\",\"0\",\"2001\",\"05\",\"03\",\"12\",\"00\",\"\"") +
                 line("\"weekly\",\"1\",\"" + kGetsu + "\",\"\",\"\",\"00\",\"00\",\"\"") +
                 line("\"daily\",\"2\",\"\",\"\",\"\",\"00\",\"00\",\"\"") +
                 line("\"odd kind\",\"x\",\"1999\",\"01\",\"01\",\"00\",\"00\",\"\""));
  }

  void purgeGivesAFileWithoutMarkerItsMarker() {
    const QString path = file();
    writeBytes(path, line("\"2001/05/03\",\"a\",\"\",0,0"));
    QVERIFY(
        purgeDataFile(path, QDate(2001, 5, 3), QDateTime(QDate(2001, 5, 3), QTime(12, 0))).isOk());
    QCOMPARE(readBytes(path), line("\"2001/05/03\",\"a\",\"\",0,0") + kMarkerLine);
  }

  // The purge copies the entries and timers it keeps as they stand without reading them into
  // records, and hands only the others to its rules: around a dropped entry, a re-formatted
  // date and a dropped timer, every other byte stays, also in the lines below and across the
  // reader's 256 KiB chunks (the rows with filler).
  void purgeCopiesWhatItKeepsAsItStands_data() {
    QTest::addColumn<int>("filler");
    QTest::addColumn<QByteArray>("kept");
    const QByteArray marker = kTimerMarkerText;
    for (const int filler : {0, 20000}) {
      const QByteArray suffix = filler ? " after filler" : "";
      QTest::newRow("two encodings of one character" + suffix)
          << filler << line("\"2001/05/03\",\"\xED\x40\",\"\xFA\x5C\",\"1\",0");
      QTest::newRow("blanks around bare flags" + suffix)
          << filler << line("\"2001/05/03\",\"a\",\"\", 1 ,\t1 ");
      QTest::newRow("CR LF and comma inside quotes" + suffix)
          << filler << line("\"2001/05/02\",\"a,b\",\"x\r\ny\",0,0");
      QTest::newRow("marker's text in a subject" + suffix)
          << filler << line("\"2001/05/02\",\"" + marker + "\",\"\",0,0");
      QTest::newRow("line ended by LF" + suffix)
          << filler << QByteArray("\"2001/05/03\",\"a\",\"\",0,0\n");
      QTest::newRow("six fields, then four" + suffix)
          << filler
          << QByteArray("\"2001/05/03\",\"a\",\"\",0,0,\"2001/05/02\",\"b\",\"\",1\r\n0\r\n");
      QTest::newRow("bare date" + suffix) << filler << line("2001/05/03,\"a\",\"\",0,0");
    }
  }
  void purgeCopiesWhatItKeepsAsItStands() {
    QFETCH(int, filler);
    QFETCH(QByteArray, kept);
    QByteArray head;
    for (int i = 0; i < filler; ++i) head += line("\"2001/06/15\",\"f\",\"\",1,0");
    const QByteArray tail = line("\"2001/04/30\",\"\xED\x40\",\"\",1,0") +
                            line("\"2001/05/01\",\"\",\"\",1,1");  // the threshold's own day
    const QByteArray repeating = line("\"t\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"");
    const QByteArray future = line("\"f\",\"0\",\"2001\",\"05\",\"01\",\"00\",\"01\",\"\"");
    const QString path = file("purge.dat");
    writeBytes(path, head + kept + line("\"2001/4/9\",\"c\",\"\",0,0") + tail +
                         line("\"2001/04/30\",\"gone\",\"\",1,\"1\"") + kMarkerLine + repeating +
                         line("\"past\",\"0\",\"2001\",\"04\",\"30\",\"23\",\"59\",\"\"") + future);
    QList<TimerRecord> removed;
    QVERIFY(purgeDataFile(path, QDate(2001, 5, 1), QDateTime(QDate(2001, 5, 1), QTime(0, 0, 59)),
                          &removed)
                .isOk());
    QCOMPARE(readBytes(path), head + kept + line("\"2001/04/09\",\"c\",\"\",0,0") + tail +
                                  kMarkerLine + repeating + future);
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed[0].TimerTitle.raw, QByteArray("past"));
  }

  void purgeHandsBackTheOnceOnlyTimersItDropped() {
    const QString path = file();
    const QByteArray dentist =
        line("\"dentist\",\"0\",\"2001\",\"05\",\"03\",\"09\",\"16\",\"/a.png\"");
    const QByteArray kept = line("\"now\",\"0\",\"2001\",\"05\",\"03\",\"12\",\"00\",\"\"");
    const QByteArray oneDigit = line("\"one digit\",\"0\",\"2001\",\"5\",\"2\",\"7\",\"5\",\"\"");
    writeBytes(path, kMarkerLine + dentist + kept + oneDigit);
    QList<TimerRecord> removed{TimerRecord{}};  // whatever was there goes
    QVERIFY(purgeDataFile(path, QDate(2001, 5, 3), QDateTime(QDate(2001, 5, 3), QTime(12, 0, 30)),
                          &removed));
    QCOMPARE(removed.size(), 2);
    QCOMPARE(removed[0].TimerTitle.raw, "dentist");
    QCOMPARE(removed[0].TimerPicture.raw, "/a.png");
    QCOMPARE(removed[1].TimerHour.raw, "7");
    QCOMPARE(readBytes(path), kMarkerLine + kept);

    // A purge that fails removes nothing, so it reports nothing.
    writeBytes(path, line("\"someday\",\"b\",\"\",1,1") + kMarkerLine + dentist);
    QVERIFY(!purgeDataFile(path, QDate(2001, 5, 3), QDateTime(QDate(2001, 5, 3), QTime(12, 0, 30)),
                           &removed));
    QVERIFY(removed.isEmpty());
  }

  void purgeStopsAtAnUnreadableDateAndKeepsTheFile() {
    const QString path = file();
    const QByteArray source =
        line("\"2001/05/03\",\"a\",\"\",0,0") + line("\"someday\",\"b\",\"\",1,1") + kMarkerLine;
    writeBytes(path, source);
    const Status status =
        purgeDataFile(path, QDate(2001, 5, 3), QDateTime(QDate(2001, 5, 3), QTime(12, 0)));
    QVERIFY(!status.isOk());
    QVERIFY(status.message().contains("someday"));
    QCOMPARE(readBytes(path), source);
    QVERIFY(temporaryFiles(dir_.path()).isEmpty());
  }

  // "ダミー００" is a name like any other: a file of that name beside the data file is the
  // user's and stays as it is.
  void fileNamedLikeTheTemporaryFileIsNeverTouched() {
    const QString path = file();
    writeBytes(path, line("\"2001/05/03\",\"a\",\"\",1,1") + kMarkerLine);
    const QString own = dir_.filePath(kTemporaryFileName);
    const QByteArray ownBytes = "the user's own file\r\n";
    writeBytes(own, ownBytes);
    QVERIFY(
        purgeDataFile(path, QDate(2001, 6, 1), QDateTime(QDate(2001, 6, 1), QTime(0, 0))).isOk());
    QCOMPARE(readBytes(path), kMarkerLine);
    QCOMPARE(readBytes(own), ownBytes);
    QCOMPARE(temporaryFiles(dir_.path()), QStringList{kTemporaryFileName});
    QFile::remove(own);
  }

  // A data file named "ダミー００" is replaced through a temporary file of its own, never
  // written in place.
  void dataFileNamedLikeTheTemporaryFileIsReplacedWhole() {
    const QString path = file(kTemporaryFileName);
    writeBytes(path, line("\"2001/05/03\",\"a\",\"\",1,1") + kMarkerLine);
    struct stat before {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
    QVERIFY(
        purgeDataFile(path, QDate(2001, 6, 1), QDateTime(QDate(2001, 6, 1), QTime(0, 0))).isOk());
    struct stat after {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &after), 0);
    QVERIFY(after.st_ino != before.st_ino);
    QCOMPARE(readBytes(path), kMarkerLine);
    QCOMPARE(temporaryFiles(dir_.path()), QStringList{kTemporaryFileName});
    QFile::remove(path);
  }

  void temporaryFileIsWrittenBesideTheDataFile() {
    // The rewrite must not depend on the current directory.
    QTemporaryDir elsewhere;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(elsewhere.path());
    const QString path = file();
    writeBytes(path, line("\"2001/05/03\",\"a\",\"\",1,1") + kMarkerLine);
    const Status status =
        purgeDataFile(path, QDate(2001, 6, 1), QDateTime(QDate(2001, 6, 1), QTime(0, 0)));
    QDir::setCurrent(previous);
    QVERIFY(status.isOk());
    QCOMPARE(readBytes(path), kMarkerLine);
    QVERIFY(QDir(elsewhere.path()).isEmpty());
  }

  void symbolicLinkStaysALinkAndPermissionsSurvive() {
    QTemporaryDir real;
    const QString target = real.filePath("real.dat");
    writeBytes(target, line("\"2001/05/03\",\"a\",\"\",1,1") + kMarkerLine);
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QString link = file("link.dat");
    QFile::remove(link);
    QVERIFY(QFile::link(target, link));
    QVERIFY(
        purgeDataFile(link, QDate(2001, 6, 1), QDateTime(QDate(2001, 6, 1), QTime(0, 0))).isOk());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readBytes(target), kMarkerLine);
    struct stat info {};
    ::stat(QFile::encodeName(target).constData(), &info);
    QCOMPARE(info.st_mode & 07777, mode_t(0640));
    QVERIFY(temporaryFiles(dir_.path()).isEmpty());
    QVERIFY(temporaryFiles(real.path()).isEmpty());
  }

  // What crashed rewrites left is removed by the next rewrite in the folder; what a live rewrite
  // holds, links, other users' files and the data file itself stay.
  void leftoversOfCrashedRewritesAreRemoved() {
    QTemporaryDir folder;
    const QString path = folder.filePath("data.dat");
    writeBytes(path, line("\"2001/05/03\",\"a\",\"\",1,1") + kMarkerLine);
    const QString dead = folder.filePath(kTemporaryFilePrefix + "dead");
    const QString live = folder.filePath(kTemporaryFilePrefix + "live");
    const QString link = folder.filePath(kTemporaryFilePrefix + "link");
    const QString foreign = folder.filePath(kTemporaryFilePrefix + "foreign");
    const QString opened = folder.filePath(kTemporaryFilePrefix + "opened");
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath("victim");
    for (const QString& name : {dead, live, foreign, opened, victim}) writeBytes(name, "x\r\n");
    QVERIFY(QFile::link(victim, link));
    QFile liveFile(live);
    QVERIFY(liveFile.open(QIODevice::ReadOnly));
    QCOMPARE(::flock(liveFile.handle(), LOCK_EX | LOCK_NB), 0);
    const bool root = ::geteuid() == 0;
    if (root) QCOMPARE(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);

    QVERIFY(
        purgeDataFile(path, QDate(2001, 6, 1), QDateTime(QDate(2001, 6, 1), QTime(0, 0))).isOk());
    // A leftover opened as the data file is replaced, not removed.
    writeBytes(opened, line("\"2001/05/03\",\"b\",\"\",1,1") + kMarkerLine);
    QVERIFY(
        purgeDataFile(opened, QDate(2001, 6, 1), QDateTime(QDate(2001, 6, 1), QTime(0, 0))).isOk());

    QVERIFY(!QFile::exists(dead));
    QVERIFY(QFile::exists(live));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readBytes(victim), QByteArray("x\r\n"));
    QCOMPARE(readBytes(opened), kMarkerLine);
    if (root) QVERIFY(QFile::exists(foreign));
  }

  // Named pipes and devices are refused at once, by name, by every reader and writer: a pipe
  // would block the program until someone writes into it, /dev/zero never ends.
  void nonRegularFilesAreRefusedAtOnce_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("operation");
    const char* operations[] = {"schedule scan", "month scan", "timer scan",
                                "rewrite",       "purge",      "create"};
    for (const char* kind : {"fifo", "zero"}) {
      for (int op = 0; op < 6; ++op) {
        QTest::addRow("%s, %s", kind, operations[op]) << QString(kind) << op;
      }
    }
  }
  void nonRegularFilesAreRefusedAtOnce() {
    QFETCH(QString, kind);
    QFETCH(int, operation);
    QString path = QStringLiteral("/dev/zero");
    if (kind == "fifo") {
      path = file("pipe.dat");
      QFile::remove(path);
      QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    QElapsedTimer clock;
    clock.start();
    Status status = Status::success();
    switch (operation) {
      case 0:
        status = scanSchedule(path, [](const ScheduleRecord&) { return true; });
        break;
      case 1:
        status = scanMonth(path, 2001, 5, [](const ScheduleRecord&) {});
        break;
      case 2:
        status = scanTimers(path, [](const TimerRecord&) {});
        break;
      case 3:
        status = rewriteDataFile(path, {}).status;
        break;
      case 4:
        status = purgeDataFile(path, QDate(2001, 6, 1), QDateTime(QDate(2001, 6, 1), QTime(0, 0)));
        break;
      default:
        status = createDataFile(path);
        break;
    }
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY(!status.isOk());
    QVERIFY2(status.message().contains(path) && status.message().contains("通常のファイル"),
             qPrintable(status.message()));
    if (kind == "fifo") {
      QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());
      QFile::remove(path);
    }
    QVERIFY(temporaryFiles(dir_.path()).isEmpty());
  }

  void codecStoresUnicodeFormsAsWindowsDoes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("wave dash") << u"10時〜12時"_qs
                               << QByteArray(
                                      "10\x8E\x9E\x81\x60"
                                      "12\x8E\x9E");
    QTest::newRow("minus") << u"−"_qs << QByteArray("\x81\x7C");
    QTest::newRow("double vertical line") << u"‖"_qs << QByteArray("\x81\x61");
    QTest::newRow("em dash") << u"—"_qs << QByteArray("\x81\x5C");
    QTest::newRow("cent") << u"¢"_qs << QByteArray("\x81\x91");
    QTest::newRow("pound") << u"£"_qs << QByteArray("\x81\x92");
    QTest::newRow("not") << u"¬"_qs << QByteArray("\x81\xCA");
    QTest::newRow("broken bar") << u"¦"_qs << QByteArray("\xFA\x55");
    QTest::newRow("windows form") << u"～"_qs << QByteArray("\x81\x60");
  }
  void codecStoresUnicodeFormsAsWindowsDoes() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(encodeCp932(text), std::optional<QByteArray>(bytes));
    QCOMPARE(firstUnencodableCharacter(text), std::nullopt);
  }

  void codecRefusesWhatCp932CannotHold() {
    QCOMPARE(encodeCp932("件名"), std::optional<QByteArray>(kKenmei));
    QVERIFY(!encodeCp932(QString::fromUtf8("予定\xF0\x9F\x98\x80")));
    QCOMPARE(firstUnencodableCharacter(QString::fromUtf8("ab\xF0\x9F\x98\x80")),
             std::optional<QString>(QString::fromUtf8("\xF0\x9F\x98\x80")));
    QCOMPARE(firstUnencodableCharacter("件名"), std::nullopt);
    QCOMPARE(decodeCp932(QByteArray("\xED\x40")), decodeCp932(QByteArray("\xFA\x5C")));
  }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "tst_store.moc"
