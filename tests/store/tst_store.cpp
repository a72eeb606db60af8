#include <sys/stat.h>
#include <QTemporaryDir>
#include <QTest>

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

QByteArrayList entryDates(const QString& path) {
  QByteArrayList dates;
  for (const ScheduleRecord& r : schedules(path)) dates.append(r.EntryDate.raw);
  return dates;
}

}  // namespace

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
    QVERIFY(!QFile::exists(dir_.filePath(kTemporaryFileName)));
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
    QVERIFY(!QFile::exists(dir_.filePath(kTemporaryFileName)));
  }

  void staleTemporaryFileIsOverwrittenNeverRead() {
    const QString path = file();
    writeBytes(path, line("\"2001/05/03\",\"a\",\"\",1,1") + kMarkerLine);
    writeBytes(dir_.filePath(kTemporaryFileName), "left by a crash\r\n" + kMarkerLine);
    QVERIFY(
        purgeDataFile(path, QDate(2001, 6, 1), QDateTime(QDate(2001, 6, 1), QTime(0, 0))).isOk());
    QCOMPARE(readBytes(path), kMarkerLine);
    QVERIFY(!QFile::exists(dir_.filePath(kTemporaryFileName)));
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
    QVERIFY(!QFile::exists(dir_.filePath(kTemporaryFileName)));
    QVERIFY(!QFile::exists(real.filePath(kTemporaryFileName)));
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
