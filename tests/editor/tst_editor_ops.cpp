#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "editor/ScheduleOperations.h"
#include "editor/TimerOperations.h"
#include "support/BlockedRewrite.h"
#include "support/TestFiles.h"

namespace {

// CP932 bytes of the texts used below.
const QByteArray kKenmei("\x8C\x8F\x96\xBC");  // 件名
const QByteArray kNaiyou("\x93\xE0\x97\x65");  // 内容
const QByteArray kYotei("\x97\x5C\x92\xE8");   // 予定 (its second byte is a backslash)
const QByteArray kDaimei("\x91\xE8\x96\xBC");  // 題名
const QByteArray kGetsu("\x8C\x8E");           // 月

// A schedule line as the program writes it.
QByteArray entry(const QByteArray& date, const QByteArray& subject, const QByteArray& content,
                 const QByteArray& done = "0", const QByteArray& deleteFlag = "0") {
  return "\"" + date + "\",\"" + subject + "\",\"" + content + "\"," + done + "," + deleteFlag +
         "\r\n";
}

// A timer line: eight quoted fields.
QByteArray timer(const QByteArrayList& fields) {
  QByteArray line;
  for (const QByteArray& field : fields) line += (line.isEmpty() ? "\"" : ",\"") + field + "\"";
  return line + "\r\n";
}

const QByteArray kTimerA = timer({kDaimei, "0", "2030", "01", "01", "07", "30", "/pics/a.bmp"});
const QByteArray kTimerB = timer({kDaimei, "0", "2030", "01", "02", "07", "30", ""});
const QByteArray kTimerDaily = timer({kDaimei, "2", "", "", "", "07", "31", ""});
const QByteArray kTimerWeekly = timer({"w", "1", kGetsu, "", "", "08", "00", ""});

const QDateTime kNow(QDate(2024, 6, 15), QTime(10, 0, 0));

ScheduleInput scheduleInput(const QString& year, const QString& month, const QString& day,
                            const QString& subject, const QString& content = QString(),
                            bool done = false, bool deleteNext = false) {
  return ScheduleInput{year, month, day, subject, content, done, deleteNext};
}

TimerInput onceTimer(const QString& year, const QString& month, const QString& day,
                     const QString& hour = "07", const QString& minute = "30",
                     const QString& title = "題名", const QString& picture = "/pics/a.bmp") {
  return TimerInput{title, 0, year, month, day, QString(), hour, minute, picture};
}

EditorSnapshot snapshotOf(const ScheduleInput& schedule, const TimerInput& timer = {}) {
  return prepareEditorSnapshot(EditorSnapshot{}, schedule, timer);
}

}  // namespace

Q_DECLARE_METATYPE(ScheduleInput)
Q_DECLARE_METATYPE(TimerInput)
Q_DECLARE_METATYPE(EditorSnapshot)

class EditorOpsTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString path_;

  QString file(const QByteArray& contents) {
    writeBytes(path_, contents);
    return path_;
  }

 private slots:
  void init() {
    path_ = dir_.filePath("data.dat");
    QFile::remove(path_);
  }

  // ---- schedule add ----

  void addPlacesTheEntryByDate_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<ScheduleInput>("input");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");

    const QByteArray may = entry("2024/05/01", kKenmei, kNaiyou);
    const QByteArray march = entry("2024/03/01", "b", "");
    const QByteArray stored = may + march + kMarkerLine + kTimerA;
    QTest::newRow("between") << stored << scheduleInput("2024", "04", "01", "new")
                             << may + entry("2024/04/01", "new", "") + march + kMarkerLine + kTimerA
                             << 2024 << 4;
    QTest::newRow("first") << stored << scheduleInput("2024", "6", "1", "new")
                           << entry("2024/06/01", "new", "") + stored << 2024 << 6;
    QTest::newRow("before the marker")
        << stored << scheduleInput("2024", "01", "01", "new")
        << may + march + entry("2024/01/01", "new", "") + kMarkerLine + kTimerA << 2024 << 1;
    QTest::newRow("after its own date")
        << stored << scheduleInput("2024", "05", "01", "new", "予定", true, true)
        << may + entry("2024/05/01", "new", kYotei, "1", "1") + march + kMarkerLine + kTimerA
        << 2024 << 5;
    QTest::newRow("new file") << kMarkerLine << scheduleInput("2001", "05", "03", "件名", "内容")
                              << entry("2001/05/03", kKenmei, kNaiyou) + kMarkerLine << 2001 << 5;
    // A short year is the year it spells, written with four digits, and sorts as that year.
    QTest::newRow("two-digit year")
        << stored << scheduleInput("24", "4", "1", "new")
        << may + march + entry("0024/04/01", "new", "") + kMarkerLine + kTimerA << 24 << 4;
    QTest::newRow("short years among short years")
        << entry("0100/01/01", "x", "") + entry("0024/03/05", "y", "") + kMarkerLine
        << scheduleInput("99", "12", "31", "new")
        << entry("0100/01/01", "x", "") + entry("0099/12/31", "new", "") +
               entry("0024/03/05", "y", "") + kMarkerLine
        << 99 << 12;
  }
  void addPlacesTheEntryByDate() {
    QFETCH(QByteArray, before);
    QFETCH(ScheduleInput, input);
    QFETCH(QByteArray, after);
    QFETCH(int, year);
    QFETCH(int, month);
    const EditorResult result = addSchedule(file(before), input);
    QCOMPARE(result.outcome, EditorOutcome::Done);
    QVERIFY(result.closesEditor());
    QVERIFY(!result.message);
    QCOMPARE(readBytes(path_), after);
    QCOMPARE(result.SelYear, std::optional<int>(year));
    QCOMPARE(result.SelMonth, std::optional<int>(month));
  }

  void addChecksTheDate_data() {
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("day");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("2000/02/29") << "2000"
                                << "02"
                                << "29" << true;
    QTest::newRow("2024/02/29") << "2024"
                                << "02"
                                << "29" << true;
    QTest::newRow("1900/02/29") << "1900"
                                << "02"
                                << "29" << false;
    QTest::newRow("2023/02/29") << "2023"
                                << "02"
                                << "29" << false;
    QTest::newRow("2024/04/31") << "2024"
                                << "04"
                                << "31" << false;
    QTest::newRow("2024/04/30") << "2024"
                                << "04"
                                << "30" << true;
    QTest::newRow("2024/12/32") << "2024"
                                << "12"
                                << "32" << false;
    QTest::newRow("year 0") << "0"
                            << "01"
                            << "01" << false;
    QTest::newRow("year 10000") << "10000"
                                << "01"
                                << "01" << false;
    QTest::newRow("year 9999") << "9999"
                               << "12"
                               << "31" << true;
    QTest::newRow("month 0") << "2024"
                             << "0"
                             << "01" << false;
    QTest::newRow("month 13") << "2024"
                              << "13"
                              << "01" << false;
    QTest::newRow("day 0") << "2024"
                           << "01"
                           << "0" << false;
    QTest::newRow("empty year") << ""
                                << "01"
                                << "01" << false;
    QTest::newRow("letters after digits") << "2024"
                                          << "1x"
                                          << "01" << false;
    QTest::newRow("fraction") << "2024"
                              << "1.5"
                              << "01" << false;
  }
  void addChecksTheDate() {
    QFETCH(QString, year);
    QFETCH(QString, month);
    QFETCH(QString, day);
    QFETCH(bool, accepted);
    const ScheduleCheck check = checkScheduleInput(scheduleInput(year, month, day, "s"));
    QCOMPARE(check.valid, accepted);
    QCOMPARE(check.InputErrors[0], accepted ? QString() : QStringLiteral("日付けおかしいです。"));
  }

  void rejectedAddShowsOneLinePerSlot_data() {
    QTest::addColumn<ScheduleInput>("input");
    QTest::addColumn<QString>("text");
    QTest::newRow("subject only") << scheduleInput("2024", "05", "01", "")
                                  << "\r\n題名を入力して下さい。\r\n";
    QTest::newRow("date and subject") << scheduleInput("2023", "02", "29", "")
                                      << "日付けおかしいです。\r\n題名を入力して下さい。\r\n";
    QTest::newRow("date only") << scheduleInput("2024", "", "01", "s")
                               << "日付けおかしいです。\r\n\r\n";
    QTest::newRow("quote in the subject")
        << scheduleInput("2024", "05", "01", "a\"b")
        << "\r\n「件名」に使えない文字があります: 二重引用符（\"）\r\n";
    QTest::newRow("emoji in the subject")
        << scheduleInput("2024", "05", "01", "会議\U0001F600")
        << "\r\n「件名」に使えない文字があります: \"\U0001F600\"\r\n";
    QTest::newRow("line break in the content") << scheduleInput("2024", "05", "01", "s", "one\ntwo")
                                               << "\r\n\r\n「内容」に使えない文字があります: 改行";
    QTest::newRow("carriage return in the content")
        << scheduleInput("2024", "05", "01", "s", "one\rtwo")
        << "\r\n\r\n「内容」に使えない文字があります: 改行";
  }
  void rejectedAddShowsOneLinePerSlot() {
    QFETCH(ScheduleInput, input);
    QFETCH(QString, text);
    const QByteArray stored = entry("2024/05/01", kKenmei, kNaiyou) + kMarkerLine;
    const EditorResult result = addSchedule(file(stored), input);
    QCOMPARE(result.outcome, EditorOutcome::InputRefused);
    QVERIFY(!result.closesEditor());
    QVERIFY(result.message);
    QCOMPARE(result.message->text, text);
    QCOMPARE(result.message->title, QStringLiteral("入力がおかしいです。"));
    QCOMPARE(result.message->icon, MessageIcon::Warning);
    QCOMPARE(readBytes(path_), stored);
    QVERIFY(!result.SelYear);
    QVERIFY(!result.SelMonth);
  }

  // ---- schedule delete and update ----

  void deleteRemovesTheFirstMatchOnly_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<ScheduleInput>("editor");
    QTest::addColumn<EditorSnapshot>("snapshot");
    QTest::addColumn<QByteArray>("after");

    const ScheduleInput plain = scheduleInput("2024", "05", "01", "件名", "予定");
    const QByteArray twin = entry("2024/05/01", kKenmei, kYotei);
    const QByteArray other = entry("2024/03/01", "b", "");
    QTest::newRow("two identical entries")
        << twin + twin + other + kMarkerLine + kTimerA << plain << snapshotOf(plain)
        << twin + other + kMarkerLine + kTimerA;
    QTest::newRow("subject edited after opening")
        << twin + other + kMarkerLine << scheduleInput("2024", "05", "01", "changed", "予定")
        << snapshotOf(plain) << twin + other + kMarkerLine;

    // Finished or marked entries can be deleted: the flags are those the entry was opened with.
    const ScheduleInput finished = scheduleInput("2024", "05", "01", "件名", "予定", true, true);
    const QByteArray finishedLine = entry("2024/05/01", kKenmei, kYotei, "1", "1");
    QTest::newRow("finished and marked") << twin + finishedLine + kMarkerLine << finished
                                         << snapshotOf(finished) << twin + kMarkerLine;
    QTest::newRow("quoted flags count as set")
        << entry("2024/05/01", kKenmei, kYotei, "\"1\"", "\"0\"") + kMarkerLine
        << scheduleInput("2024", "5", "1", "件名", "予定", true)
        << snapshotOf(scheduleInput("2024", "5", "1", "件名", "予定", true)) << kMarkerLine;
    QTest::newRow("flags decide between same texts")
        << finishedLine + twin + kMarkerLine << plain << snapshotOf(plain)
        << finishedLine + kMarkerLine;
  }
  void deleteRemovesTheFirstMatchOnly() {
    QFETCH(QByteArray, before);
    QFETCH(ScheduleInput, editor);
    QFETCH(EditorSnapshot, snapshot);
    QFETCH(QByteArray, after);
    const EditorResult result = deleteSchedule(file(before), editor, snapshot);
    QCOMPARE(readBytes(path_), after);
    QCOMPARE(result.matched, before != after);
    if (result.matched) {
      QCOMPARE(result.outcome, EditorOutcome::Done);
      QVERIFY(!result.message);
    } else {
      // Nothing found is said, and the editor stays open: it is not a delete that was done.
      QCOMPARE(result.outcome, EditorOutcome::InputRefused);
      QVERIFY(result.message);
      QCOMPARE(result.message->text, "該当する予定がありません");
    }
  }

  // Files written elsewhere may carry CR LF (or a lone CR) inside a quoted text; the editor's
  // boxes hold every line break as LF. Such an entry is still found, and what the user did not
  // change is written back as it was stored.
  void entriesWithLineBreaksAreFound_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("CR LF") << QByteArray("a\r\nb");
    QTest::newRow("lone CR") << QByteArray("a\rb");
    QTest::newRow("LF") << QByteArray("a\nb");
  }
  void entriesWithLineBreaksAreFound() {
    QFETCH(QByteArray, content);
    const QByteArray other = entry("2024/03/01", "b", "");
    const QByteArray stored = entry("2024/05/01", kKenmei, content) + other + kMarkerLine;
    const ScheduleInput opened = scheduleInput("2024", "05", "01", "件名", "a\nb");

    ScheduleInput finished = opened;
    finished.done = true;
    EditorResult result = updateSchedule(file(stored), finished, snapshotOf(opened));
    QCOMPARE(result.outcome, EditorOutcome::Done);
    QVERIFY(result.matched);
    QCOMPARE(readBytes(path_),
             entry("2024/05/01", kKenmei, content, "1", "0") + other + kMarkerLine);

    result = deleteSchedule(file(stored), opened, snapshotOf(opened));
    QCOMPARE(result.outcome, EditorOutcome::Done);
    QCOMPARE(readBytes(path_), other + kMarkerLine);
  }

  void updateRewritesTheFirstMatchInPlace() {
    const ScheduleInput opened = scheduleInput("2024", "05", "01", "件名", "内容");
    const QByteArray twin = entry("2024/05/01", kKenmei, kNaiyou);
    const QByteArray newer = entry("2024/06/01", "a", "");
    const QByteArray older = entry("2024/03/01", "b", "");
    file(newer + twin + twin + older + kMarkerLine + kTimerA);

    const ScheduleInput edited = scheduleInput("2024", "05", "01", "会議", "予定", true, false);
    const EditorResult result = updateSchedule(path_, edited, snapshotOf(opened));
    QCOMPARE(result.outcome, EditorOutcome::Done);
    QVERIFY(result.matched);
    QCOMPARE(readBytes(path_), newer + entry("2024/05/01", "\x89\xEF\x8B\x63", kYotei, "1", "0") +
                                   twin + older + kMarkerLine + kTimerA);

    // The snapshot still describes the entry as it was opened: the second twin is next.
    QVERIFY(
        updateSchedule(path_, scheduleInput("2024", "5", "1", "", ""), snapshotOf(opened)).matched);
    QCOMPARE(readBytes(path_), newer + entry("2024/05/01", "\x89\xEF\x8B\x63", kYotei, "1", "0") +
                                   entry("2024/05/01", "", "") + older + kMarkerLine + kTimerA);

    const EditorResult none = updateSchedule(path_, edited, snapshotOf(opened));
    QCOMPARE(none.outcome, EditorOutcome::InputRefused);
    QCOMPARE(none.message->text, "該当する予定がありません");
    QVERIFY(!none.matched);
    QVERIFY(!none.fileChanged);
  }

  void updateRefusesWhatTheFileCannotHold_data() {
    QTest::addColumn<ScheduleInput>("input");
    QTest::addColumn<QString>("text");
    QTest::newRow("quote in the subject") << scheduleInput("2024", "05", "01", "\"x\"", "")
                                          << "「件名」に使えない文字があります: 二重引用符（\"）";
    QTest::newRow("emoji in the content") << scheduleInput("2024", "05", "01", "s", "\U0001F600")
                                          << "「内容」に使えない文字があります: \"\U0001F600\"";
    QTest::newRow("no date") << scheduleInput("2024", "02", "30", "s", "")
                             << "日付けおかしいです。";
  }
  void updateRefusesWhatTheFileCannotHold() {
    QFETCH(ScheduleInput, input);
    QFETCH(QString, text);
    const QByteArray stored = entry("2024/05/01", "s", "") + kMarkerLine;
    const EditorResult result =
        updateSchedule(file(stored), input, snapshotOf(scheduleInput("2024", "05", "01", "s", "")));
    QCOMPARE(result.outcome, EditorOutcome::InputRefused);
    QVERIFY(result.message);
    QCOMPARE(result.message->text, text);
    QCOMPARE(readBytes(path_), stored);
  }

  // ---- file failures, every operation ----

  void fileFailuresKeepTheFileAndTheEditor_data() {
    QTest::addColumn<int>("operation");
    QTest::addColumn<bool>("missingFile");
    const char* names[] = {"schedule add", "schedule delete", "schedule update",
                           "timer add",    "timer delete",    "timer update"};
    for (int op = 0; op < 6; ++op) {
      QTest::addRow("%s, file missing", names[op]) << op << true;
      QTest::addRow("%s, cannot replace", names[op]) << op << false;
    }
  }
  void fileFailuresKeepTheFileAndTheEditor() {
    QFETCH(int, operation);
    QFETCH(bool, missingFile);
    const QByteArray stored = entry("2024/05/01", "s", "") + kMarkerLine + kTimerA;
    std::optional<BlockedRewrite> blocked;
    if (missingFile) {
      path_ = dir_.filePath("missing.dat");
    } else {
      file(stored);
      blocked.emplace();
    }
    const ScheduleInput schedule = scheduleInput("2024", "05", "01", "s", "");
    const TimerInput timerInput = onceTimer("2030", "01", "01");
    EditorSnapshot snapshot = snapshotOf(schedule, timerInput);
    EditorResult result;
    switch (operation) {
      case 0:
        result = addSchedule(path_, scheduleInput("2024", "06", "01", "new"));
        break;
      case 1:
        result = deleteSchedule(path_, schedule, snapshot);
        break;
      case 2:
        result = updateSchedule(path_, scheduleInput("2024", "05", "01", "t"), snapshot);
        break;
      case 3:
        result = addTimer(path_, timerInput, kNow);
        break;
      case 4:
        result = deleteTimer(path_, timerInput);
        break;
      default:
        result = updateTimer(path_, onceTimer("2030", "01", "05"), snapshot);
        break;
    }
    QCOMPARE(result.outcome, EditorOutcome::FileFailed);
    QVERIFY(!result.closesEditor());
    QVERIFY(!result.status.isOk());
    QVERIFY(result.message);
    QVERIFY(result.message->text.contains(result.status.message()));
    QVERIFY(result.message->text.contains(QStringLiteral("できませんでした")));
    QCOMPARE(result.message->title, QStringLiteral("Yotenna"));
    QCOMPARE(result.message->icon, MessageIcon::Warning);
    QVERIFY(!result.SelYear);
    QVERIFY(!result.TimerImageFile);
    QCOMPARE(readBytes(path_), missingFile ? QByteArray("<missing>") : stored);
  }

  // ---- timer add ----

  void timerAddChecksEachLine_data() {
    QTest::addColumn<TimerInput>("input");
    QTest::addColumn<int>("slot");  // -1: accepted
    QTest::addColumn<QString>("message");
    const QString date = QStringLiteral("日付けおかしいです。");
    const QString time = QStringLiteral("時間の設定がおかしいです。");
    // now is 2024-06-15.
    QTest::newRow("earlier in the current year") << onceTimer("2024", "02", "29") << -1 << "";
    QTest::newRow("leap day") << onceTimer("2028", "2", "29") << -1 << "";
    QTest::newRow("year before") << onceTimer("2023", "12", "31") << 1 << date;
    QTest::newRow("29 Feb, not a leap year") << onceTimer("2025", "02", "29") << 1 << date;
    QTest::newRow("30 Feb") << onceTimer("2028", "02", "30") << 1 << date;
    QTest::newRow("31 Apr") << onceTimer("2025", "04", "31") << 1 << date;
    QTest::newRow("31 Dec 9999") << onceTimer("9999", "12", "31") << -1 << "";
    QTest::newRow("year 10000") << onceTimer("10000", "01", "01") << 1 << date;
    QTest::newRow("month 13") << onceTimer("2025", "13", "01") << 1 << date;
    QTest::newRow("day 0") << onceTimer("2025", "01", "0") << 1 << date;
    QTest::newRow("empty day") << onceTimer("2025", "01", "") << 1 << date;
    QTest::newRow("empty year") << onceTimer("", "01", "01") << 1 << date;
    QTest::newRow("month not a number") << onceTimer("2025", "1a", "01") << 1 << date;
    QTest::newRow("hour 24") << onceTimer("2025", "01", "01", "24", "00") << 2 << time;
    QTest::newRow("minute 60") << onceTimer("2025", "01", "01", "00", "60") << 2 << time;
    QTest::newRow("23:59") << onceTimer("2025", "01", "01", "23", "59") << -1 << "";
    QTest::newRow("negative hour") << onceTimer("2025", "01", "01", "-1", "00") << 2 << time;
    QTest::newRow("empty hour") << onceTimer("2025", "01", "01", "", "00") << 2 << time;
    QTest::newRow("empty minute") << onceTimer("2025", "01", "01", "07", "") << 2 << time;
    QTest::newRow("minute not a number") << onceTimer("2025", "01", "01", "07", "3x") << 2 << time;
    QTest::newRow("fractional minute") << onceTimer("2025", "01", "01", "07", "3.5") << 2 << time;

    TimerInput weekly = onceTimer("", "", "");
    weekly.kindIndex = 1;
    QTest::newRow("weekly without weekday") << weekly << 1 << "曜日がおかしいです。";
    weekly.weekdayText = QStringLiteral("日");
    QTest::newRow("weekly on Sunday") << weekly << -1 << "";
    TimerInput daily = onceTimer("x", "", "");
    daily.kindIndex = 2;
    QTest::newRow("daily ignores the date") << daily << -1 << "";
    TimerInput none = onceTimer("2023", "01", "01");
    none.kindIndex = -1;
    QTest::newRow("no kind counts as once") << none << 1 << date;

    QTest::newRow("21 characters") << onceTimer("2025", "01", "01", "07", "30", QString(21, u'あ'))
                                   << 0 << "題名は２０文字までです。";
    QTest::newRow("20 characters")
        << onceTimer("2025", "01", "01", "07", "30", QString(20, u'あ')) << -1 << "";
    QTest::newRow("emoji in the title") << onceTimer("2025", "01", "01", "07", "30", "a\U0001F600")
                                        << 0 << "「題名」に使えない文字があります: \"\U0001F600\"";
    QTest::newRow("quote in the picture path")
        << onceTimer("2025", "01", "01", "07", "30", "t", "/pics/a\"b.bmp") << 3
        << "「画像」に使えない文字があります: 二重引用符（\"）";
  }
  void timerAddChecksEachLine() {
    QFETCH(TimerInput, input);
    QFETCH(int, slot);
    QFETCH(QString, message);
    const TimerCheck check = checkTimerInput(input, kNow);
    QCOMPARE(check.valid, slot < 0);
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(check.InputErrors[static_cast<size_t>(i)], i == slot ? message : QString());
    }
    if (slot == 3) QCOMPARE(check.InputErrors[3], message);
  }

  void timerAddMessageKeepsEmptyLines() {
    const QByteArray stored = kMarkerLine + kTimerA;
    const EditorResult result =
        addTimer(file(stored), onceTimer("2025", "01", "01", "07", "30", "", ""), kNow);
    QCOMPARE(result.outcome, EditorOutcome::InputRefused);
    QVERIFY(result.message);
    QCOMPARE(result.message->text,
             QStringLiteral("題名を入力して下さい。\r\n\r\n\r\n画像の指定が変です。"));
    QCOMPARE(result.message->title, QStringLiteral("入力がおかしいです。"));
    QCOMPARE(result.message->icon, MessageIcon::None);
    QCOMPARE(readBytes(path_), stored);
  }

  void timerAddAppends_data() {
    QTest::addColumn<TimerInput>("input");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("once, padded") << onceTimer("2025", "6", "5", "7", "3")
                                  << timer({kDaimei, "0", "2025", "06", "05", "07", "03",
                                            "/pics/a.bmp"});
    TimerInput weekly = onceTimer("2025", "6", "5", "8", "0", "w", "");
    weekly.kindIndex = 1;
    weekly.weekdayText = QStringLiteral("月");
    QTest::newRow("weekly, no picture")
        << weekly << timer({"w", "1", kGetsu, "", "", "08", "00", ""});
    TimerInput daily = onceTimer("2025", "6", "5", "23", "59", "d", "C:\\a.bmp");
    daily.kindIndex = 2;
    QTest::newRow("daily") << daily << timer({"d", "2", "", "", "", "23", "59", "C:\\a.bmp"});
  }
  void timerAddAppends() {
    QFETCH(TimerInput, input);
    QFETCH(QByteArray, line);
    const QByteArray stored =
        entry("2024/05/01", "s", "") + entry("2024/03/01", "t", "") + kMarkerLine + kTimerA;
    const EditorResult result = addTimer(file(stored), input, kNow);
    QCOMPARE(result.outcome, EditorOutcome::Done);
    QVERIFY(!result.message);
    QCOMPARE(readBytes(path_), stored + line);
    QVERIFY(result.InputErrors);
    QCOMPARE((*result.InputErrors)[3],
             input.picture.isEmpty() ? QStringLiteral("画像の指定が変です。") : QString());
  }

  // ---- timer delete and update ----

  void timerDeleteMatchesByTheEditorsKind_data() {
    QTest::addColumn<TimerInput>("editor");
    QTest::addColumn<QByteArray>("after");
    const QByteArray stored = kTimerA + kTimerB + kTimerDaily + kTimerWeekly;
    QTest::newRow("one of two once-timers")
        << onceTimer("2030", "01", "02") << kMarkerLine + kTimerA + kTimerDaily + kTimerWeekly;
    TimerInput daily = onceTimer("", "", "", "07", "31");
    daily.kindIndex = 2;
    QTest::newRow("daily") << daily << kMarkerLine + kTimerA + kTimerB + kTimerWeekly;
    TimerInput weekly = onceTimer("", "", "", "08", "00", "w", "");
    weekly.kindIndex = 1;
    weekly.weekdayText = QStringLiteral("月");
    QTest::newRow("weekly by its weekday")
        << weekly << kMarkerLine + kTimerA + kTimerB + kTimerDaily;
    weekly.weekdayText = QStringLiteral("火");
    QTest::newRow("weekly, other weekday") << weekly << kMarkerLine + stored;
    QTest::newRow("texts compared as typed") << onceTimer("2030", "1", "2") << kMarkerLine + stored;
    // Deleting the daily 07:30 timer must not take a same-titled once-only 07:30 timer with it.
    TimerInput dailyAtHalfPast = daily;
    dailyAtHalfPast.minuteText = QStringLiteral("30");
    QTest::newRow("only timers of the opened kind") << dailyAtHalfPast << kMarkerLine + stored;
  }
  void timerDeleteMatchesByTheEditorsKind() {
    QFETCH(TimerInput, editor);
    QFETCH(QByteArray, after);
    const EditorResult result =
        deleteTimer(file(kMarkerLine + kTimerA + kTimerB + kTimerDaily + kTimerWeekly), editor);
    QCOMPARE(result.outcome, EditorOutcome::Done);
    QCOMPARE(readBytes(path_), after);
  }

  void timerUpdateReplacesTheMatchInPlace() {
    // An earlier timer has the same title but another day; the later one is the one opened.
    file(entry("2024/05/01", "s", "") + kMarkerLine + kTimerA + kTimerB + kTimerWeekly);
    const TimerInput opened = onceTimer("2030", "01", "02", "07", "30");
    EditorSnapshot snapshot = snapshotOf(ScheduleInput{}, opened);

    TimerInput edited = opened;
    edited.kindIndex = 2;  // once-only becomes daily
    edited.hourText = QStringLiteral("6");
    edited.picture = QStringLiteral("/pics/b.bmp");
    const EditorResult result = updateTimer(path_, edited, snapshot);
    QCOMPARE(result.outcome, EditorOutcome::Done);
    QVERIFY(result.matched);
    QCOMPARE(readBytes(path_), entry("2024/05/01", "s", "") + kMarkerLine + kTimerA +
                                   timer({kDaimei, "2", "", "", "", "06", "30", "/pics/b.bmp"}) +
                                   kTimerWeekly);
    // The picture of the editor is emptied after a replace (element 16 is never written).
    QCOMPARE(result.TimerImageFile, std::optional<QString>(QString()));

    const EditorResult again = updateTimer(path_, edited, snapshot);
    QCOMPARE(again.outcome, EditorOutcome::Done);
    QVERIFY(!again.matched);
    QVERIFY(!again.fileChanged);
    QVERIFY(!again.TimerImageFile);
  }

  void timerUpdateComparesByTheStoredKind() {
    file(kMarkerLine + kTimerWeekly);
    TimerInput opened = onceTimer("2024", "06", "15", "08", "00", "w", "");
    opened.kindIndex = 1;
    opened.weekdayText = QStringLiteral("月");
    TimerInput edited = opened;
    edited.weekdayText = QStringLiteral("金");
    QVERIFY(updateTimer(path_, edited, snapshotOf(ScheduleInput{}, opened)).matched);
    QCOMPARE(readBytes(path_), kMarkerLine + timer({"w", "1", "\x8B\xE0", "", "", "08", "00", ""}));
  }

  void timerUpdateRefusesWhatCannotBeStored_data() {
    QTest::addColumn<TimerInput>("input");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty hour") << onceTimer("2030", "01", "01", "", "30")
                                << "時間の設定がおかしいです。";
    QTest::newRow("day not a number")
        << onceTimer("2030", "01", "x", "07", "30") << "日付けおかしいです。";
    QTest::newRow("line break in the picture path")
        << onceTimer("2030", "01", "01", "07", "30", "題名", "/a\nb.bmp")
        << "「画像」に使えない文字があります: 改行";
    TimerInput weekly = onceTimer("", "", "", "07", "30");
    weekly.kindIndex = 1;
    weekly.weekdayText = QStringLiteral("\U0001F600");
    QTest::newRow("weekday none of the seven") << weekly << "曜日がおかしいです。";
  }
  void timerUpdateRefusesWhatCannotBeStored() {
    QFETCH(TimerInput, input);
    QFETCH(QString, text);
    const QByteArray stored = kMarkerLine + kTimerA;
    const EditorResult result = updateTimer(
        file(stored), input, snapshotOf(ScheduleInput{}, onceTimer("2030", "01", "01")));
    QCOMPARE(result.outcome, EditorOutcome::InputRefused);
    QVERIFY(result.message);
    QCOMPARE(result.message->text, text);
    QVERIFY(!result.TimerImageFile);
    QCOMPARE(readBytes(path_), stored);
  }

  // ---- the snapshot ----

  void snapshotTakesTheFields() {
    EditorSnapshot previous;
    previous[0] = QStringLiteral("zero");
    previous[15] = QStringLiteral("2");
    previous[16] = QStringLiteral("sixteen");
    TimerInput timerFields{"title", -1, "2030", "01", "02", "月", "07", "30", "/p.bmp"};
    const EditorSnapshot snapshot = prepareEditorSnapshot(
        previous, scheduleInput("2024", "05", "01", "s", "c", true, false), timerFields);
    const QStringList expected = {"zero", "2024", "05", "01",    "2030", "01", "02", "月",     "07",
                                  "30",   "s",    "c",  "title", "1",    "0",  "2",  "sixteen"};
    for (size_t i = 0; i < snapshot.size(); ++i) {
      QCOMPARE(snapshot[i], expected[static_cast<qsizetype>(i)]);
    }
    timerFields.kindIndex = 1;
    QCOMPARE(prepareEditorSnapshot(previous, ScheduleInput{}, timerFields)[15],
             QStringLiteral("1"));
    QCOMPARE(prepareEditorSnapshot(previous, ScheduleInput{}, timerFields)[14],
             QStringLiteral("0"));
  }
};

QTEST_GUILESS_MAIN(EditorOpsTest)
#include "tst_editor_ops.moc"
