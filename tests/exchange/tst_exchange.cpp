#include <libical/ical.h>
#include <sys/stat.h>

#include <QDir>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include "exchange/CalendarText.h"
#include "exchange/IcalExport.h"
#include "exchange/IcalImport.h"
#include "exchange/ImportApply.h"
#include "store/DataFileScan.h"
#include "store/Rewrite.h"
#include "support/TestFiles.h"

namespace {

const QTimeZone kTokyo("Asia/Tokyo");
const QDateTime kNow(QDate(2025, 4, 1), QTime(10, 0), kTokyo);

// Shift-JIS bytes as Windows writes them, for the fixtures.
QByteArray sjis(const QString& text) {
  QStringEncoder encoder("windows-31j");
  const QByteArray bytes = encoder.encode(text);
  if (encoder.hasError()) qFatal("fixture text not in CP932");
  return bytes;
}

QByteArray entry(const QString& date, const QString& subject, const QString& content, int done,
                 int deleteNext) {
  return "\"" + sjis(date) + "\",\"" + sjis(subject) + "\",\"" + sjis(content) + "\"," +
         QByteArray::number(done) + "," + QByteArray::number(deleteNext) + "\r\n";
}

QByteArray timer(const QStringList& fields) {
  QByteArray line;
  for (const QString& field : fields) line += (line.isEmpty() ? "\"" : ",\"") + sjis(field) + "\"";
  return line + "\r\n";
}

// A calendar around the given lines, with CR LF line ends.
QByteArray calendar(const QString& body) {
  QString text = QStringLiteral("BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//test//test//EN\n") + body +
                 QStringLiteral("END:VCALENDAR\n");
  return text.replace(u"\n"_qs, u"\r\n"_qs).toUtf8();
}

ImportOptions aprilOptions() {
  return ImportOptions{kNow, kTokyo, QDate(2025, 4, 1), QDate(2025, 4, 30)};
}

QStringList scheduleLines(const QList<ScheduleRecord>& records) {
  QStringList lines;
  for (const ScheduleRecord& r : records) {
    lines << QStringList{r.EntryDate.toText(), r.Subject.toText(), r.Content.toText(),
                         r.DoneFlag.toText(), r.DeleteFlag.toText()}
                 .join(u'|');
  }
  return lines;
}

QStringList timerLines(const QList<TimerRecord>& records) {
  QStringList lines;
  for (const TimerRecord& r : records) {
    QStringList fields;
    for (const Field& f : r.fields()) fields << f.toText();
    lines << fields.join(u'|');
  }
  return lines;
}

QStringList issueLines(const QList<ExchangeIssue>& issues) {
  QStringList lines;
  for (const ExchangeIssue& issue : issues) lines << issue.item + u": "_qs + issue.reason;
  return lines;
}

// The lines of an iCalendar text as they stand, folded lines joined.
QStringList unfoldedLines(const QByteArray& ics) {
  QStringList lines;
  for (const QString& raw : QString::fromUtf8(ics).split(u"\r\n"_qs)) {
    if (raw.startsWith(u' ') && !lines.isEmpty()) {
      lines.last() += raw.mid(1);
    } else if (!raw.isEmpty()) {
      lines << raw;
    }
  }
  return lines;
}

// A data file holding every kind of record, in the order the editor keeps: latest entry first,
// entries of a day in the order added, two identical entries, flags in all four combinations,
// characters only CP932 has, a picture path with a backslash, a comma and Japanese.
const QByteArray kEveryKind =
    entry("2025/12/31", "大晦日（おおみそか）", "年越しそば, 除夜の鐘", 0, 0) +
    entry("2025/05/05", "①②髙﨑ｶﾀｶﾅ", "～￢∥－㈱", 1, 1) +
    entry("2025/05/05", "同じ予定", "", 0, 0) + entry("2025/05/05", "同じ予定", "", 0, 0) +
    entry("2025/05/03", "ちょうど二十文字の件名はここで終わる件名",
          "内容はちょうど五十文字です。あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほ"
          "まみむめもや",
          1, 0) +
    entry("2001/01/01", "昔の予定", "", 0, 1) + kMarkerLine +
    timer({"歯医者", "0", "2025", "06", "01", "09", "30", "C:\\写真\\予定,歯医者.bmp"}) +
    timer({"ゴミ出し", "1", "月", "", "", "07", "00", ""}) +
    timer({"ゴミ出し", "1", "木", "", "", "07", "00", ""}) +
    timer({"薬", "2", "", "", "", "21", "00", "/home/user/絵/薬.png"}) +
    timer({"年越し", "0", "2025", "12", "31", "23", "59", ""});

}  // namespace

class ExchangeTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString file(const QString& name) const { return dir_.filePath(name); }

  QByteArray exportBytes(const QByteArray& dataBytes, const QString& name = "export.dat") {
    writeBytes(file(name), dataBytes);
    const ExportResult result = exportCalendar(file(name), ExportOptions{kNow, "Asia/Tokyo", {}});
    if (!result.status) qFatal("export failed");
    return result.ics;
  }

 private slots:
  void roundTripGivesTheSameFile() {
    const QByteArray ics = exportBytes(kEveryKind);
    ImportOptions options = defaultImportOptions(kNow);
    options.localZone = kTokyo;  // the zone the timers were written in
    const ImportPlan plan = ::planImport(ics, options);
    QVERIFY(!plan.refusal);
    QCOMPARE(issueLines(plan.notImported), QStringList());
    QCOMPARE(plan.replacedCharacters, 0);
    QCOMPARE(plan.cutTexts, 0);

    const QString imported = file("imported.dat");
    QVERIFY(createDataFile(imported).isOk());
    const ImportOutcome outcome = applyImport(imported, plan);
    QVERIFY(outcome.status.isOk());
    QCOMPARE(outcome.schedulesAdded, 6);
    QCOMPARE(outcome.timersAdded, 5);
    QCOMPARE(readBytes(imported), kEveryKind);

    // Reading the same calendar again adds nothing.
    const ImportPreview again = previewImport(imported, plan);
    QCOMPARE(again.schedules.size(), 0);
    QCOMPARE(again.timers.size(), 0);
    QCOMPARE(again.schedulesPresent, 6);
    QCOMPARE(again.timersPresent, 5);
  }

  void exportWritesEventsAlarmsAndTheZone() {
    const QStringList lines = unfoldedLines(exportBytes(kEveryKind));
    for (const QString& expected : {
             u"VERSION:2.0"_qs,
             u"PRODID:-//Yotenna//Yotenna//JA"_qs,
             u"TZID:Asia/Tokyo"_qs,
             u"DTSTAMP:20250401T010000Z"_qs,
             u"DTSTART;VALUE=DATE:20251231"_qs,
             u"DTEND;VALUE=DATE:20260101"_qs,
             u"SUMMARY:大晦日（おおみそか）"_qs,
             u"DESCRIPTION:年越しそば\\, 除夜の鐘"_qs,
             u"SUMMARY:①②髙﨑ｶﾀｶﾅ"_qs,
             u"X-YOTENNA-FINISHED:1"_qs,
             u"X-YOTENNA-DELETE-NEXT:1"_qs,
             u"DTSTART;TZID=Asia/Tokyo:20250601T093000"_qs,
             u"X-YOTENNA-PICTURE:C:\\\\写真\\\\予定,歯医者.bmp"_qs,
             // The weekly timers start on the first Monday and Thursday from 2025/04/01 on.
             u"DTSTART;TZID=Asia/Tokyo:20250407T070000"_qs,
             u"RRULE:FREQ=WEEKLY;BYDAY=MO"_qs,
             u"DTSTART;TZID=Asia/Tokyo:20250403T070000"_qs,
             u"RRULE:FREQ=WEEKLY;BYDAY=TH"_qs,
             u"DTSTART;TZID=Asia/Tokyo:20250401T210000"_qs,
             u"RRULE:FREQ=DAILY"_qs,
             u"ACTION:DISPLAY"_qs,
             u"DESCRIPTION:ゴミ出し"_qs,
             u"TRIGGER:PT0S"_qs,
         }) {
      QVERIFY2(lines.contains(expected), qPrintable(expected));
    }
    QCOMPARE(lines.count(u"BEGIN:VEVENT"_qs), 11);
    QCOMPARE(lines.count(u"BEGIN:VALARM"_qs), 5);
    QCOMPARE(lines.count(u"BEGIN:VTIMEZONE"_qs), 1);
    QVERIFY(lines.indexOf(u"BEGIN:VTIMEZONE"_qs) < lines.indexOf(u"BEGIN:VEVENT"_qs));
  }

  void exportFoldsLinesAndEndsThemWithCrLf() {
    const QByteArray ics =
        exportBytes(entry("2025/05/03", "長い内容", QString(50, QChar(u'あ')), 0, 0) + kMarkerLine);
    QVERIFY(ics.endsWith("END:VCALENDAR\r\n"));
    QVERIFY(!ics.contains("\n\n"));
    for (const QByteArray& line : ics.split('\n')) {
      QVERIFY2(line.isEmpty() || line.endsWith('\r'), line.constData());
      QVERIFY2(line.size() <= 76, line.constData());  // 75 octets and the CR
    }
    QVERIFY(unfoldedLines(ics).contains(u"DESCRIPTION:"_qs + QString(50, QChar(u'あ'))));
  }

  void exportKeepsUidsAndTellsIdenticalRecordsApart() {
    auto uids = [](const QByteArray& ics) {
      QStringList found;
      for (const QString& line : unfoldedLines(ics)) {
        if (line.startsWith(u"UID:"_qs)) found << line.mid(4);
      }
      return found;
    };
    const QStringList first = uids(exportBytes(kEveryKind, "a.dat"));
    QCOMPARE(first.size(), 11);
    QCOMPARE(QSet<QString>(first.begin(), first.end()).size(), 11);
    // The two identical entries share the hash and differ in their count.
    QVERIFY(first[2].endsWith(u"-0@yotenna"_qs));
    QVERIFY(first[3].endsWith(u"-1@yotenna"_qs));
    QCOMPARE(first[2].chopped(10), first[3].chopped(10));

    // Another day, the same records, with others added: the same UIDs.
    writeBytes(file("b.dat"), entry("2026/01/01", "新しい予定", "", 0, 0) + kEveryKind);
    const ExportResult later =
        exportCalendar(file("b.dat"), ExportOptions{kNow.addDays(30), "Asia/Tokyo", {}});
    const QStringList second = uids(later.ics);
    QCOMPARE(second.mid(1), first);
  }

  void exportedFilePassesLibicalValidation() {
    const QByteArray ics = exportBytes(kEveryKind);
    icalcomponent* parsed = icalparser_parse_string(ics.constData());
    QVERIFY(parsed);
    QCOMPARE(icalrestriction_check(parsed), 1);
    // The check writes what it objects to into the components.
    const int errors = icalcomponent_count_errors(parsed);
    icalcomponent_free(parsed);
    QCOMPARE(errors, 0);
  }

  void exportedFileParsesInPythonIcalendar() {
    writeBytes(file("export.ics"), exportBytes(kEveryKind));
    const QString script = QStringLiteral(R"(
import sys, icalendar
cal = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())
for component in cal.walk():
    for error in getattr(component, 'errors', []):
        print('ERROR', component.name, error)
for event in cal.walk('VEVENT'):
    start = event.decoded('DTSTART')
    rule = event.get('RRULE')
    alarms = [a.decoded('TRIGGER') for a in event.walk('VALARM')]
    print(event['SUMMARY'], start.isoformat(), getattr(start, 'tzinfo', None),
          rule.to_ical().decode() if rule else '-', alarms, event.get('X-YOTENNA-PICTURE', '-'))
)");
    QProcess python;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"PYTHONIOENCODING"_qs, u"utf-8"_qs);
    python.setProcessEnvironment(environment);
    python.start(QStringLiteral(DEBIAN_PYTHON), {QStringLiteral("-c"), script, file("export.ics")});
    QVERIFY(python.waitForFinished(60000));
    const QString errors = QString::fromUtf8(python.readAllStandardError());
    QVERIFY2(python.exitCode() == 0, qPrintable(errors));
    const QStringList lines =
        QString::fromUtf8(python.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(
        lines,
        QStringList({
            u"大晦日（おおみそか） 2025-12-31 None - [] -"_qs,
            u"①②髙﨑ｶﾀｶﾅ 2025-05-05 None - [] -"_qs,
            u"同じ予定 2025-05-05 None - [] -"_qs,
            u"同じ予定 2025-05-05 None - [] -"_qs,
            u"ちょうど二十文字の件名はここで終わる件名 2025-05-03 None - [] -"_qs,
            u"昔の予定 2001-01-01 None - [] -"_qs,
            u"歯医者 2025-06-01T09:30:00+09:00 Asia/Tokyo - [datetime.timedelta(0)] C:\\写真\\予定,歯医者.bmp"_qs,
            u"ゴミ出し 2025-04-07T07:00:00+09:00 Asia/Tokyo FREQ=WEEKLY;BYDAY=MO [datetime.timedelta(0)] -"_qs,
            u"ゴミ出し 2025-04-03T07:00:00+09:00 Asia/Tokyo FREQ=WEEKLY;BYDAY=TH [datetime.timedelta(0)] -"_qs,
            u"薬 2025-04-01T21:00:00+09:00 Asia/Tokyo FREQ=DAILY [datetime.timedelta(0)] /home/user/絵/薬.png"_qs,
            u"年越し 2025-12-31T23:59:00+09:00 Asia/Tokyo - [datetime.timedelta(0)] -"_qs,
        }));
  }

  void exportNamesWhatItCannotWrite() {
    writeBytes(file("odd.dat"), entry("2025/02/30", "ない日", "", 0, 0) + kMarkerLine +
                                    timer({"時刻違い", "2", "", "", "", "25", "00", ""}) +
                                    timer({"曜日違い", "1", "月曜", "", "", "07", "00", ""}) +
                                    timer({"種類違い", "3", "", "", "", "07", "00", ""}));
    const ExportResult result =
        exportCalendar(file("odd.dat"), ExportOptions{kNow, "Asia/Tokyo", {}});
    QVERIFY(result.status.isOk());
    QCOMPARE(result.entries, 0);
    QCOMPARE(result.timers, 0);
    QCOMPARE(issueLines(result.notExported),
             QStringList({u"「ない日」（2025/02/30）: 日付を読めません"_qs,
                          u"「時刻違い」（タイマー）: 時刻を読めません"_qs,
                          u"「曜日違い」（タイマー）: 曜日を読めません"_qs,
                          u"「種類違い」（タイマー）: タイマーの種類を読めません"_qs}));
    const ExportResult missing =
        exportCalendar(file("none.dat"), ExportOptions{kNow, "Asia/Tokyo", {}});
    QVERIFY(!missing.status.isOk());
  }

  void fitText_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("replaced");
    QTest::addColumn<bool>("cut");
    QTest::newRow("plain") << u"会議"_qs << 20 << u"会議"_qs << 0 << false;
    QTest::newRow("wave dash as Windows writes it")
        << u"10時〜12時 −5℃ ‖ ¢£¬"_qs << 20 << u"10時～12時 －5℃ ∥ ￠￡￢"_qs << 0 << false;
    QTest::newRow("emoji") << u"誕生日🎂"_qs << 20 << u"誕生日〓"_qs << 1 << false;
    QTest::newRow("family emoji is one character")
        << u"家族👨‍👩‍👧です"_qs << 20 << u"家族〓です"_qs << 1 << false;
    QTest::newRow("decomposed kana composed")
        << QStringLiteral("ハ\u309Aンとか\u3099") << 20 << u"パンとが"_qs << 0 << false;
    QTest::newRow("line breaks and quotes")
        << u"  一行目\r\n二行目\t\"引用\"  "_qs << 50 << u"一行目  二行目 ”引用”"_qs << 0 << false;
    QTest::newRow("cut at the limit")
        << u"あいうえおかきくけこさしすせそたちつてとな"_qs << 20
        << u"あいうえおかきくけこさしすせそたちつてと"_qs << 0 << true;
    QTest::newRow("replacements cut off are not counted")
        << u"ÄÖÜ äöü"_qs << 2 << u"〓〓"_qs << 2 << true;
    QTest::newRow("a literal geta mark is no replacement")
        << u"〓印"_qs << 20 << u"〓印"_qs << 0 << false;
  }
  void fitText() {
    QFETCH(QString, input);
    QFETCH(int, limit);
    const FittedText fitted = fitCalendarText(input, limit);
    QTEST(fitted.text, "text");
    QTEST(fitted.replaced, "replaced");
    QTEST(fitted.cut, "cut");
  }

  void planImport_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("schedules");
    QTest::addColumn<QStringList>("timers");
    QTest::addColumn<QStringList>("issues");

    QTest::newRow("all-day event over three days")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART;VALUE=DATE:20250410\nDTEND;VALUE=DATE:20250413\n"
           "SUMMARY:連休\nEND:VEVENT\n"_qs
        << QStringList{u"2025/04/10|連休||0|0"_qs, u"2025/04/11|連休||0|0"_qs,
                       u"2025/04/12|連休||0|0"_qs}
        << QStringList() << QStringList();
    QTest::newRow("UTC times cross midnight in Tokyo")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART:20250410T140000Z\nDTEND:20250410T160000Z\n"
           "SUMMARY:夜勤\nEND:VEVENT\n"_qs
        << QStringList{u"2025/04/10|夜勤||0|0"_qs, u"2025/04/11|夜勤||0|0"_qs} << QStringList()
        << QStringList();
    QTest::newRow("ending at midnight ends the day before")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART;TZID=Asia/Tokyo:20250410T220000\n"
           "DTEND;TZID=Asia/Tokyo:20250411T000000\nSUMMARY:飲み会\nEND:VEVENT\n"_qs
        << QStringList{u"2025/04/10|飲み会||0|0"_qs} << QStringList() << QStringList();
    QTest::newRow("a time without zone is local")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART:20250410T233000\nSUMMARY:x\nEND:VEVENT\n"_qs
        << QStringList{u"2025/04/10|x||0|0"_qs} << QStringList() << QStringList();
    QTest::newRow("Windows zone name without its definition")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART;TZID=Eastern Standard Time:20250410T100000\n"
           "SUMMARY:NY\nBEGIN:VALARM\nACTION:DISPLAY\nDESCRIPTION:x\nTRIGGER:PT0S\nEND:VALARM\n"
           "END:VEVENT\n"_qs
        << QStringList{u"2025/04/10|NY||0|0"_qs} << QStringList{u"NY|0|2025|04|10|23|00|"_qs}
        << QStringList();
    QTest::newRow("weekly on two days with an alarm")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART;TZID=Asia/Tokyo:20250407T080000\n"
           "RRULE:FREQ=WEEKLY;BYDAY=MO,WE\nSUMMARY:朝会\nBEGIN:VALARM\nACTION:DISPLAY\n"
           "DESCRIPTION:朝会\nTRIGGER:-PT15M\nEND:VALARM\nEND:VEVENT\n"_qs
        << QStringList{u"2025/04/07|朝会||0|0"_qs, u"2025/04/09|朝会||0|0"_qs,
                       u"2025/04/14|朝会||0|0"_qs, u"2025/04/16|朝会||0|0"_qs,
                       u"2025/04/21|朝会||0|0"_qs, u"2025/04/23|朝会||0|0"_qs,
                       u"2025/04/28|朝会||0|0"_qs, u"2025/04/30|朝会||0|0"_qs}
        << QStringList{u"朝会|1|月|||07|45|"_qs, u"朝会|1|水|||07|45|"_qs} << QStringList();
    QTest::newRow("daily in New York is daily at nine in Tokyo")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART;TZID=America/New_York:20250425T200000\n"
           "RRULE:FREQ=DAILY\nSUMMARY:電話\nBEGIN:VALARM\nACTION:AUDIO\nTRIGGER:PT0S\n"
           "END:VALARM\nEND:VEVENT\n"_qs
        << QStringList{u"2025/04/26|電話||0|0"_qs, u"2025/04/27|電話||0|0"_qs,
                       u"2025/04/28|電話||0|0"_qs, u"2025/04/29|電話||0|0"_qs,
                       u"2025/04/30|電話||0|0"_qs}
        << QStringList{u"電話|2||||09|00|"_qs} << QStringList();
    QTest::newRow("a counted series is no timer")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART:20250420T000000Z\nRRULE:FREQ=DAILY;COUNT=3\n"
           "SUMMARY:研修\nBEGIN:VALARM\nACTION:DISPLAY\nDESCRIPTION:x\nTRIGGER:PT0S\n"
           "END:VALARM\nEND:VEVENT\n"_qs
        << QStringList{u"2025/04/20|研修||0|0"_qs, u"2025/04/21|研修||0|0"_qs,
                       u"2025/04/22|研修||0|0"_qs}
        << QStringList()
        << QStringList{
               u"「研修」（2025/04/20）: 繰り返しの決まりがタイマーの種類（一回だけ・毎週・"
               "毎日）に合わないため、タイマーにはしません"_qs};
    QTest::newRow("excluded, moved and cancelled occurrences")
        << u"BEGIN:VEVENT\nUID:s\nDTSTART;TZID=Asia/Tokyo:20250407T100000\n"
           "RRULE:FREQ=WEEKLY\nEXDATE;TZID=Asia/Tokyo:20250414T100000\nSUMMARY:定例\n"
           "END:VEVENT\n"
           "BEGIN:VEVENT\nUID:s\nRECURRENCE-ID;TZID=Asia/Tokyo:20250421T100000\n"
           "DTSTART;TZID=Asia/Tokyo:20250422T150000\nSUMMARY:定例（移動）\nEND:VEVENT\n"
           "BEGIN:VEVENT\nUID:s\nRECURRENCE-ID;TZID=Asia/Tokyo:20250428T100000\n"
           "DTSTART;TZID=Asia/Tokyo:20250428T100000\nSTATUS:CANCELLED\nSUMMARY:定例\n"
           "END:VEVENT\n"_qs
        << QStringList{u"2025/04/07|定例||0|0"_qs, u"2025/04/22|定例（移動）||0|0"_qs}
        << QStringList() << QStringList();
    QTest::newRow("alarm before the end and at a fixed time")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART;TZID=Asia/Tokyo:20250410T100000\n"
           "DTEND;TZID=Asia/Tokyo:20250410T110000\nSUMMARY:面接\n"
           "BEGIN:VALARM\nACTION:DISPLAY\nDESCRIPTION:x\nTRIGGER;RELATED=END:-PT5M\nEND:VALARM\n"
           "BEGIN:VALARM\nACTION:DISPLAY\nDESCRIPTION:x\n"
           "TRIGGER;VALUE=DATE-TIME:20250409T230000Z\nEND:VALARM\n"
           "BEGIN:VALARM\nACTION:EMAIL\nDESCRIPTION:x\nSUMMARY:x\n"
           "ATTENDEE:mailto:a@example.com\nTRIGGER:-PT1H\nEND:VALARM\n"
           "BEGIN:VALARM\nACTION:DISPLAY\nDESCRIPTION:x\nTRIGGER:-P10D\nEND:VALARM\n"
           "END:VEVENT\n"_qs
        << QStringList{u"2025/04/10|面接||0|0"_qs}
        << QStringList{u"面接|0|2025|04|10|10|55|"_qs, u"面接|0|2025|04|10|08|00|"_qs}
        << QStringList{
               u"「面接」（2025/04/10）: メールで知らせるアラームは取り込みません"_qs,
               u"「面接」（2025/04/10）: アラームの時刻（2025/03/31 10:00）は過ぎているため、"
               "タイマーにはしません"_qs};
    QTest::newRow("monthly series within the range only")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART;VALUE=DATE:20250115\nRRULE:FREQ=MONTHLY\n"
           "SUMMARY:給料日\nEND:VEVENT\n"
           "BEGIN:VEVENT\nUID:b\nDTSTART;VALUE=DATE:20240601\nRRULE:FREQ=YEARLY\n"
           "SUMMARY:創立記念日\nEND:VEVENT\n"_qs
        << QStringList{u"2025/04/15|給料日||0|0"_qs} << QStringList()
        << QStringList{
               u"「創立記念日」（2024/06/01）: 繰り返しの日が期間（2025/04/01〜"
               "2025/04/30）にありません"_qs};
    QTest::newRow("to-dos: done on a day, due at a time")
        << u"BEGIN:VTODO\nUID:a\nDUE;VALUE=DATE:20250405\nSTATUS:COMPLETED\nSUMMARY:申請\n"
           "END:VTODO\n"
           "BEGIN:VTODO\nUID:b\nDUE;TZID=Asia/Tokyo:20250430T170000\nSUMMARY:提出\n"
           "DESCRIPTION:経理へ\nEND:VTODO\n"
           "BEGIN:VTODO\nUID:c\nSUMMARY:いつか\nEND:VTODO\n"_qs
        << QStringList{u"2025/04/05|申請||1|0"_qs, u"2025/04/30|提出|経理へ|0|0"_qs}
        << QStringList{u"提出|0|2025|04|30|17|00|"_qs}
        << QStringList{u"「いつか」: 期限がありません"_qs};
    QTest::newRow("the program's own flags and texts fitted")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART;VALUE=DATE:20250410\nX-YOTENNA-FINISHED:1\n"
           "X-YOTENNA-DELETE-NEXT:1\nDESCRIPTION:彼は\"はい\"と言った\\n次の行\nEND:VEVENT\n"_qs
        << QStringList{u"2025/04/10|（件名なし）|彼は”はい”と言った 次の行|1|1"_qs} << QStringList()
        << QStringList();
    QTest::newRow("what cannot be imported")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART;VALUE=DATE:20250410\nRRULE:FREQ=BOGUS\n"
           "SUMMARY:壊れた繰り返し\nEND:VEVENT\n"
           "BEGIN:VEVENT\nUID:b\nDTSTART;VALUE=DATE:20250401\nDTEND;VALUE=DATE:20260505\n"
           "SUMMARY:長期出張\nEND:VEVENT\n"
           "BEGIN:VEVENT\nUID:c\nDTSTART;VALUE=DATE:20250402\nSTATUS:CANCELLED\n"
           "SUMMARY:中止\nEND:VEVENT\n"
           "BEGIN:VJOURNAL\nUID:d\nSUMMARY:日記\nEND:VJOURNAL\n"
           "BEGIN:VEVENT\nUID:e\nSUMMARY:日付なし\nEND:VEVENT\n"_qs
        << QStringList() << QStringList()
        << QStringList{
               u"「壊れた繰り返し」（2025/04/10）: 読み取れない項目があります: Can't parse "
               "as RECUR value in RRULE property. Removing entire property: FREQ=BOGUS"_qs,
               u"「長期出張」（2025/04/01）: 期間が長すぎます（399 日）"_qs,
               u"「中止」（2025/04/02）: 取り消された予定です"_qs,
               u"「日記」: 日誌（VJOURNAL）は取り込みません"_qs,
               u"「日付なし」: 開始日がありません"_qs};
    // Calendars leave texts empty; libical reads an empty value as an error and drops it.
    QTest::newRow("empty texts are texts")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART;VALUE=DATE:20250410\nSUMMARY:打ち合わせ\n"
           "DESCRIPTION:\nLOCATION:\nCOMMENT:\nX-ALT-DESC;FMTTYPE=text/html:\n"
           "BEGIN:VALARM\nACTION:DISPLAY\nDESCRIPTION:\nTRIGGER;VALUE=DATE-TIME:20250409T230000Z\n"
           "END:VALARM\nEND:VEVENT\n"_qs
        << QStringList{u"2025/04/10|打ち合わせ||0|0"_qs}
        << QStringList{u"打ち合わせ|0|2025|04|10|08|00|"_qs} << QStringList();
    QTest::newRow("an empty summary")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART;VALUE=DATE:20250410\nSUMMARY:\nEND:VEVENT\n"_qs
        << QStringList{u"2025/04/10|（件名なし）||0|0"_qs} << QStringList() << QStringList();
    QTest::newRow("unreadable optional properties are skipped and named")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART;VALUE=DATE:20250410\nSUMMARY:面談\n"
           "DESCRIPTION:三階\nGEO:here\nATTENDEE:\nEND:VEVENT\n"_qs
        << QStringList{u"2025/04/10|面談|三階|0|0"_qs} << QStringList()
        << QStringList{
               u"「面談」（2025/04/10）: 読み取れない項目 GEO は飛ばします: Can't parse as "
               "GEO value in GEO property. Removing entire property: here"_qs,
               u"「面談」（2025/04/10）: 読み取れない項目 ATTENDEE は飛ばします: No value "
               "for ATTENDEE property. Removing entire property:"_qs};
    QTest::newRow("a broken alarm of an entry")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART:20250410T100000\nSUMMARY:歯医者\n"
           "BEGIN:VALARM\nACTION:DISPLAY\nTRIGGER:soon\nEND:VALARM\nEND:VEVENT\n"_qs
        << QStringList{u"2025/04/10|歯医者||0|0"_qs} << QStringList()
        << QStringList{
               u"「歯医者」（2025/04/10）: アラームに読み取れない項目があります: Can't "
               "parse as DURATION value in TRIGGER property. Removing entire property: "
               "soon"_qs};
    QTest::newRow("an empty or unreadable start leaves the event out")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART:\nSUMMARY:空の開始\nEND:VEVENT\n"
           "BEGIN:VEVENT\nUID:b\nDTSTART:20250431T100000\nSUMMARY:ない日\nEND:VEVENT\n"
           "BEGIN:VEVENT\nUID:c\nDTSTART:next monday\nSUMMARY:言葉の開始\nEND:VEVENT\n"_qs
        << QStringList() << QStringList()
        << QStringList{
               u"「空の開始」: 読み取れない項目があります: No value for DTSTART property. "
               "Removing entire property:"_qs,
               u"「ない日」: 開始日がありません"_qs,
               u"「言葉の開始」: 読み取れない項目があります: Can't parse as DATE-TIME value "
               "in DTSTART property. Removing entire property: next monday"_qs};
    QTest::newRow("an empty rule of a series leaves it out")
        << u"BEGIN:VEVENT\nUID:a\nDTSTART;VALUE=DATE:20250410\nRRULE:\nSUMMARY:毎週\n"
           "END:VEVENT\n"_qs
        << QStringList() << QStringList()
        << QStringList{
               u"「毎週」（2025/04/10）: 読み取れない項目があります: No value for RRULE "
               "property. Removing entire property:"_qs};
  }
  void planImport() {
    QFETCH(QString, body);
    const ImportPlan plan = ::planImport(calendar(body), aprilOptions());
    QVERIFY2(!plan.refusal, qPrintable(plan.refusal.value_or(QString())));
    QTEST(scheduleLines(plan.schedules), "schedules");
    QTEST(timerLines(plan.timers), "timers");
    QTEST(issueLines(plan.notImported), "issues");
  }

  // Calendars written by other programs (tests/data/ics/README.md says where each is from).
  void sampleFiles_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QDate>("rangeLast");
    QTest::addColumn<QStringList>("schedules");
    QTest::addColumn<QStringList>("timers");
    QTest::addColumn<int>("replaced");
    QTest::addColumn<int>("cut");
    QTest::addColumn<QStringList>("issues");

    const QDateTime october(QDate(2024, 10, 1), QTime(9, 0), kTokyo);
    QTest::newRow("Google: UTC times, three display alarms and a mail alarm")
        << u"google_alarms.ics"_qs << october << QDate(2024, 10, 31)
        << QStringList{u"2024/10/05|event with alarms||0|0"_qs}
        << QStringList{u"event with alarms|0|2024|10|05|03|05|"_qs,
                       u"event with alarms|0|2024|10|05|03|01|"_qs,
                       u"event with alarms|0|2024|10|05|03|00|"_qs}
        << 0 << 0
        << QStringList{
               u"「event with alarms」（2024/10/05）: メールで知らせるアラームは取り込みません"_qs};

    QStringList outlook;
    for (int day = 1; day <= 7; ++day) outlook << u"2024/07/0%1|test123||0|0"_qs.arg(day);
    for (int day = 1; day <= 7; ++day) {
      outlook << u"2024/07/0%1|test123 - edited eve||0|0"_qs.arg(day);
    }
    outlook << u"2024/10/05|outlook event with a||0|0"_qs;
    QTest::newRow("Exchange: folded lines, fortnightly week-long series, Windows zone")
        << u"outlook_recurring.ics"_qs << QDateTime(QDate(2024, 6, 1), QTime(9, 0), kTokyo)
        << QDate(2024, 12, 31) << outlook << QStringList() << 0 << 2 << QStringList();

    QTest::newRow("a zone of the file's own under a made-up name")
        << u"custom_tz_new_york.ics"_qs << kNow << QDate(2025, 4, 30)
        << QStringList{u"2014/08/29|an event with a cust||0|0"_qs} << QStringList() << 0 << 1
        << QStringList();
    QTest::newRow("German and the euro sign")
        << u"unicode_fields.ics"_qs << kNow << QDate(2025, 4, 30)
        << QStringList{u"2010/10/10|Non-ASCII Test: 〓〓〓|icalendar should be able to "
                       "de/serialize non-ascii|0|0"_qs,
                       u"2010/10/10|〓〓〓||0|0"_qs}
        << QStringList() << 6 << 2 << QStringList{u"「（件名なし）」: 開始日がありません"_qs};
    QTest::newRow("a to-do without due date")
        << u"todo_completed.ics"_qs << kNow << QDate(2025, 4, 30) << QStringList() << QStringList()
        << 0 << 0 << QStringList{u"「Submit Quebec Income Tax Retur…」: 期限がありません"_qs};
    QTest::newRow("a stray semicolon libical forgives")
        << u"broken_ical.ics"_qs << kNow << QDate(2025, 4, 30)
        << QStringList{u"2014/04/09|An Event with too ma||0|0"_qs} << QStringList() << 0 << 1
        << QStringList();
    QStringList tenDays;
    for (int day = 1; day <= 10; ++day)
      tenDays << u"2025/01/%1|Test Event||0|0"_qs.arg(day, 2, 10, QChar(u'0'));
    QTest::newRow("a counted daily series")
        << u"daily_count.ics"_qs << QDateTime(QDate(2024, 12, 1), QTime(9, 0), kTokyo)
        << QDate(2025, 12, 1) << tenDays << QStringList() << 0 << 0 << QStringList();
    QTest::newRow("zones named but not defined, items without dates")
        << u"missing_timezones.ics"_qs << QDateTime(QDate(2024, 9, 1), QTime(9, 0), kTokyo)
        << QDate(2024, 9, 30)
        << QStringList{u"2024/09/13|an event with a cust||0|0"_qs,
                       u"2014/08/29|（件名なし）||0|0"_qs}
        << QStringList() << 0 << 1
        << QStringList{
               u"「（件名なし）」: 開始日がありません"_qs,
               u"「（件名なし）」（2014/08/29）: 期限の時刻（2014/08/29 09:00）は過ぎているため、"
               "タイマーにはしません"_qs,
               u"「（件名なし）」: 開始日がありません"_qs};
    QTest::newRow("Japanese, folded by python-icalendar")
        << u"japanese.ics"_qs << kNow << QDate(2025, 4, 30)
        << QStringList{u"2025/04/10|社員旅行（箱根）|集合は新宿駅西口、朝７時半です。 持ち物：保険証、"
                       "着替え、雨具。宿は強羅の旅館、二日目は大涌谷と芦ノ|0|0"_qs,
                       u"2025/04/11|社員旅行（箱根）|集合は新宿駅西口、朝７時半です。 持ち物：保険証、"
                       "着替え、雨具。宿は強羅の旅館、二日目は大涌谷と芦ノ|0|0"_qs,
                       u"2025/04/15|歯医者|10時～10時半|0|0"_qs,
                       u"2025/04/07|燃えるゴミの日||0|0"_qs, u"2025/04/10|燃えるゴミの日||0|0"_qs,
                       u"2025/04/14|燃えるゴミの日||0|0"_qs, u"2025/04/17|燃えるゴミの日||0|0"_qs,
                       u"2025/04/21|燃えるゴミの日||0|0"_qs, u"2025/04/24|燃えるゴミの日||0|0"_qs,
                       u"2025/04/28|燃えるゴミの日||0|0"_qs,
                       u"2025/05/05|誕生日〓パーティー|パンケーキを焼く|0|0"_qs,
                       u"2025/06/01|とても長い件名はエディターの二十文字の制||0|0"_qs,
                       u"2025/04/30|レポート提出||0|0"_qs}
        << QStringList{u"歯医者|0|2025|04|15|09|30|"_qs, u"燃えるゴミの日|1|月|||07|00|"_qs,
                       u"燃えるゴミの日|1|木|||07|00|"_qs, u"レポート提出|0|2025|04|30|17|00|"_qs}
        << 1 << 2 << QStringList{u"「中止になった会議」（2025/04/20）: 取り消された予定です"_qs};
    // Files made here in the shape other programs write (README.md): empty texts, folded lines,
    // zones, X- properties; an empty property that takes no text is skipped and named.
    QTest::newRow("shaped like Google Calendar")
        << u"made_google.ics"_qs << kNow << QDate(2025, 4, 30)
        << QStringList{u"2025/04/10|定例会議||0|0"_qs, u"2025/04/15|有給休暇||0|0"_qs}
        << QStringList{u"定例会議|0|2025|04|10|09|50|"_qs} << 0 << 0 << QStringList();
    QTest::newRow("shaped like Thunderbird") << u"made_thunderbird.ics"_qs << kNow << QDate(2025, 4, 30)
        << QStringList{u"2025/04/02|ヨガ教室|ヨガマットとタオルを持っていくこと。月謝は月初めの回に受付で払う。駐車場はないので電車で行く。|0|0"_qs, u"2025/04/09|ヨガ教室|ヨガマットとタオルを持っていくこと。月謝は月初めの回に受付で払う。駐車場はないので電車で行く。|0|0"_qs, u"2025/04/16|ヨガ教室|ヨガマットとタオルを持っていくこと。月謝は月初めの回に受付で払う。駐車場はないので電車で行く。|0|0"_qs, u"2025/04/25|請求書を送る||0|0"_qs}
        << QStringList{u"請求書を送る|0|2025|04|25|17|00|"_qs} << 0 << 0 << QStringList{u"「ヨガ教室」（2025/04/02）: 繰り返しの決まりがタイマーの種類（一回だけ・毎週・毎日）に合わないため、タイマーにはしません"_qs};
    QTest::newRow("shaped like Outlook")
        << u"made_outlook.ics"_qs << kNow << QDate(2025, 4, 30)
        << QStringList{u"2025/04/18|取引先との打ち合わせ||0|0"_qs}
        << QStringList{u"取引先との打ち合わせ|0|2025|04|18|13|45|"_qs} << 0 << 0
        << QStringList{
               u"「取引先との打ち合わせ」（2025/04/18）: 読み取れない項目 ATTENDEE は飛ばします: No value for ATTENDEE property. Removing entire property:"_qs};
    QTest::newRow("shaped like Apple Calendar")
        << u"made_apple.ics"_qs << kNow << QDate(2025, 4, 30)
        << QStringList{u"2025/04/20|母の誕生日||0|0"_qs, u"2025/04/22|歯科検診||0|0"_qs}
        << QStringList{u"歯科検診|0|2025|04|22|08|00|"_qs} << 0 << 0
        << QStringList{
               u"「母の誕生日」（2025/04/20）: 読み取れない項目 URL は飛ばします: No value for URL property. Removing entire property:"_qs,
               u"「母の誕生日」（2025/04/20）: この種類のアラームは取り込みません"_qs};
  }
  void sampleFiles() {
    QFETCH(QString, name);
    QFETCH(QDateTime, now);
    QFETCH(QDate, rangeLast);
    const ImportPlan plan = planImportFile(QStringLiteral(ICS_DATA_DIR "/") + name,
                                           ImportOptions{now, kTokyo, now.date(), rangeLast});
    QVERIFY2(!plan.refusal, qPrintable(plan.refusal.value_or(QString())));
    QTEST(scheduleLines(plan.schedules), "schedules");
    QTEST(timerLines(plan.timers), "timers");
    QTEST(plan.replacedCharacters, "replaced");
    QTEST(plan.cutTexts, "cut");
    QTEST(issueLines(plan.notImported), "issues");
  }

  // A series that would fill the file is cut, one too fine to walk to the range is named.
  void recurrenceLimits() {
    const ImportPlan many =
        ::planImport(calendar(u"BEGIN:VEVENT\nUID:a\nDTSTART:20250401T000000\n"
                              "RRULE:FREQ=MINUTELY;INTERVAL=30\nSUMMARY:見回り\nEND:VEVENT\n"_qs),
                     aprilOptions());
    QCOMPARE(many.schedules.size(), 1000);
    QCOMPARE(many.schedules.first().EntryDate.toText(), u"2025/04/01"_qs);
    QCOMPARE(many.schedules.last().EntryDate.toText(), u"2025/04/21"_qs);  // 48 a day
    QCOMPARE(
        issueLines(many.notImported),
        QStringList{
            u"「見回り」（2025/04/01）: 繰り返しが多いため、最初の 1000 回だけを取り込みます"_qs});

    const ImportPlan fine =
        ::planImport(calendar(u"BEGIN:VEVENT\nUID:a\nDTSTART:20240101T000000\nRRULE:FREQ=SECONDLY\n"
                              "SUMMARY:秒\nEND:VEVENT\n"_qs),
                     aprilOptions());
    QCOMPARE(fine.schedules.size(), 0);
    QCOMPARE(
        issueLines(fine.notImported),
        QStringList{u"「秒」（2024/01/01）: 繰り返しが細かすぎて、期間の日を探しきれません"_qs});
  }

  void refusedText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty") << QByteArray("\r\n  \r\n") << u"ファイルが空です。"_qs;
    QTest::newRow("not iCalendar")
        << QByteArray("Subject,Start Date\r\nMeeting,2025/04/10\r\n")
        << u"iCalendar ファイルではありません（BEGIN:VCALENDAR がありません）。"_qs;
    QTest::newRow("cut short")
        << QByteArray("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nSUMMARY:x\r\n")
        << u"iCalendar ファイルが壊れています（BEGIN と END の組が閉じていません。途中で切れているかもしれません）。"_qs;
    QTest::newRow("a line that is no property")
        << calendar(
               u"BEGIN:VEVENT\nUID:a\nDTSTART;VALUE=DATE:20250410\nこれは壊れた行\n"
               "END:VEVENT\n"_qs)
        << u"iCalendar ファイルが壊れています。読み取りの誤り:\n・Got a data line, but could not "
           u"find "
           "a property name or component begin tag: これは壊れた行"_qs;
    QTest::newRow("an event alone")
        << QByteArray("BEGIN:VEVENT\r\nDTSTART:20250410T100000Z\r\nEND:VEVENT\r\n")
        << u"iCalendar ファイルではありません（VCALENDAR がなく、VEVENT で始まります）。"_qs;
    QTest::newRow("binary")
        << QByteArray("BEGIN:VCALENDAR\r\n\0\x01\x02", 20)
        << u"iCalendar ファイルではありません（テキストではないデータを含みます）。"_qs;
  }
  void refusedText() {
    QFETCH(QByteArray, bytes);
    const ImportPlan plan = ::planImport(bytes, aprilOptions());
    QTEST(plan.refusal.value_or(u"(accepted)"_qs), "reason");
    QVERIFY(plan.schedules.isEmpty() && plan.timers.isEmpty() && plan.notImported.isEmpty());
  }

  void refusedFiles() {
    const ImportOptions options = aprilOptions();
    QCOMPARE(planImportFile(file("nothing.ics"), options).refusal.value_or(QString()),
             u"ファイル「"_qs + QDir::toNativeSeparators(file("nothing.ics")) +
                 u"」が見つかりません。"_qs);
    const QString fifo = file("pipe.ics");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QCOMPARE(planImportFile(fifo, options).refusal.value_or(QString()),
             u"「"_qs + QDir::toNativeSeparators(fifo) + u"」は普通のファイルではありません。"_qs);
  }

  void encodings_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray utf8 = calendar(
        u"BEGIN:VEVENT\nUID:a\nDTSTART;VALUE=DATE:20250410\nSUMMARY:花見\nEND:VEVENT\n"_qs);
    QTest::newRow("UTF-8") << utf8;
    QTest::newRow("UTF-8 with a byte-order mark") << "\xEF\xBB\xBF" + utf8;
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringConverter::Flag::WriteBom);
    QTest::newRow("UTF-16") << QByteArray(utf16.encode(QString::fromUtf8(utf8)));
    QTest::newRow("Shift-JIS of older Japanese programs") << sjis(QString::fromUtf8(utf8));
  }
  void encodings() {
    QFETCH(QByteArray, bytes);
    const ImportPlan plan = ::planImport(bytes, aprilOptions());
    QCOMPARE(scheduleLines(plan.schedules), QStringList{u"2025/04/10|花見||0|0"_qs});
    QCOMPARE(plan.replacedCharacters, 0);
  }

  void applyPutsEntriesWhereTheEditorWould() {
    const QString path = file("order.dat");
    const QByteArray timerLine = timer({"題名", "2", "", "", "", "07", "00", ""});
    writeBytes(path, entry("2024/05/01", "五月", "", 0, 0) + entry("2024/03/01", "三月", "", 0, 0) +
                         kMarkerLine + timerLine);
    ImportPlan plan;
    for (const auto& [date, subject] :
         std::initializer_list<std::pair<QString, QString>>{{"2024/04/01", "四月"},
                                                            {"2024/06/01", "六月"},
                                                            {"2024/01/01", "一月"},
                                                            {"2024/03/01", "三月の二つ目"},
                                                            {"2024/03/01", "三月"},
                                                            {"2024/06/01", "六月の二つ目"}}) {
      plan.schedules << ScheduleRecord{Field::text(date), Field::text(subject), Field::text({}),
                                       Field::number(0), Field::number(0)};
    }
    plan.timers << TimerRecord::fromFields({Field::text("題名"), Field::text("2"), Field::text({}),
                                            Field::text({}), Field::text({}), Field::text("07"),
                                            Field::text("00"), Field::text({})})
                << TimerRecord::fromFields({Field::text("新しい"), Field::text("2"),
                                            Field::text({}), Field::text({}), Field::text({}),
                                            Field::text("08"), Field::text("00"), Field::text({})});

    const ImportPreview preview = previewImport(path, plan);
    QCOMPARE(preview.schedules.size(), 5);
    QCOMPARE(preview.schedulesPresent, 1);
    QCOMPARE(preview.timers.size(), 1);
    QCOMPARE(preview.timersPresent, 1);

    const ImportOutcome outcome = applyImport(path, plan);
    QVERIFY(outcome.status.isOk());
    QCOMPARE(outcome.schedulesAdded, 5);
    QCOMPARE(outcome.timersAdded, 1);
    QCOMPARE(readBytes(path),
             entry("2024/06/01", "六月", "", 0, 0) + entry("2024/06/01", "六月の二つ目", "", 0, 0) +
                 entry("2024/05/01", "五月", "", 0, 0) + entry("2024/04/01", "四月", "", 0, 0) +
                 entry("2024/03/01", "三月", "", 0, 0) +
                 entry("2024/03/01", "三月の二つ目", "", 0, 0) +
                 entry("2024/01/01", "一月", "", 0, 0) + kMarkerLine + timerLine +
                 timer({"新しい", "2", "", "", "", "08", "00", ""}));
  }

  void applyFailureLeavesNoFile() {
    ImportPlan plan;
    plan.schedules << ScheduleRecord{Field::text("2024/04/01"), Field::text("x"), Field::text({}),
                                     Field::number(0), Field::number(0)};
    const QString missing = file("no/such/folder/data.dat");
    const ImportOutcome outcome = applyImport(missing, plan);
    QVERIFY(!outcome.status.isOk());
    QCOMPARE(outcome.schedulesAdded, 0);
    QVERIFY(!QFile::exists(missing));
  }

  void summaryTexts() {
    ImportPlan plan;
    plan.replacedCharacters = 3;
    plan.cutTexts = 2;
    plan.notImported << ExchangeIssue{u"「中止」（2025/04/02）"_qs, u"取り消された予定です"_qs};
    ImportPreview preview;
    preview.schedules.resize(12);
    preview.timers.resize(3);
    preview.schedulesPresent = 4;
    const ImportSummary summary = summarizeImport(plan, preview);
    QCOMPARE(summary.headline, u"予定 12 件、タイマー 3 件を追加します。"_qs);
    QCOMPARE(
        summary.notes,
        QStringList(
            {u"同じものがすでにある予定 4 件、タイマー 0 件は追加しません。"_qs,
             u"データファイルに書けない文字 3 字を「〓」に置き換えます。"_qs,
             u"長すぎる件名・内容 2 か所は、編集画面の上限（件名 20 字、内容 50 字）で切ります。"_qs}));
    QCOMPARE(summary.notImported, QStringList{u"「中止」（2025/04/02）: 取り消された予定です"_qs});
    QVERIFY(summary.anythingToAdd);
    QCOMPARE(summarizeImport(ImportPlan{}, ImportPreview{}).headline,
             u"追加できる予定もタイマーもありません。"_qs);
  }
};

QTEST_GUILESS_MAIN(ExchangeTest)
#include "tst_exchange.moc"
