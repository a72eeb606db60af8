#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include "calendar/DateNavigation.h"
#include "calendar/DayView.h"
#include "calendar/Holidays.h"
#include "calendar/MonthGrid.h"
#include "calendar/TimerList.h"
#include "support/TestFiles.h"

Q_DECLARE_METATYPE(Rgb)
Q_DECLARE_METATYPE(MonthHoliday)
Q_DECLARE_METATYPE(DayFilter)
Q_DECLARE_METATYPE(DateMove)

namespace {

// CP932 bytes of the texts used below.
const QByteArray kKenmei("\x8C\x8F\x96\xBC");          // 件名
const QByteArray kNaiyou("\x93\xE0\x97\x65");          // 内容
const QByteArray kDaimei("\x91\xE8\x96\xBC");          // 題名
const QByteArray kGetsu("\x8C\x8E");                   // 月
const QByteArray kKaigi("\x89\xEF\x8B\x63");           // 会議
const QByteArray kHaisha("\x8E\x95\x88\xE3\x8E\xD2");  // 歯医者
const QByteArray kKaimono("\x94\x83\x95\xA8");         // 買物

QByteArray entry(const QByteArray& date, const QByteArray& subject, const QByteArray& content,
                 const QByteArray& done, const QByteArray& deletion) {
  return "\"" + date + "\",\"" + subject + "\",\"" + content + "\"," + done + "," + deletion +
         "\r\n";
}

QByteArray timer(const QByteArray& title, const QByteArray& kind, const QByteArray& yearOrWeekday,
                 const QByteArray& month, const QByteArray& day, const QByteArray& hour,
                 const QByteArray& minute, const QByteArray& picture) {
  return "\"" + title + "\",\"" + kind + "\",\"" + yearOrWeekday + "\",\"" + month + "\",\"" + day +
         "\",\"" + hour + "\",\"" + minute + "\",\"" + picture + "\"\r\n";
}

QList<QStringList> columnsOf(const QList<DayListRow>& rows) {
  QList<QStringList> out;
  for (const DayListRow& row : rows) out.append(row.columns());
  return out;
}

QStringList subjects(const QList<DayListRow>& rows) {
  QStringList out;
  for (const DayListRow& row : rows) out.append(row.subject);
  return out;
}

ScheduleRecord scheduleRecord(const QByteArray& date, const QByteArray& subject,
                              const QByteArray& content, Field done, Field deletion) {
  return ScheduleRecord{Field::fromBytes(date), Field::fromBytes(subject),
                        Field::fromBytes(content), std::move(done), std::move(deletion)};
}

const QStringList kNoItems;

// Japan's holidays of 1955-2030 as the public list gives them, by date.
struct PublicList {
  QMap<QDate, QString> names;
  QString error;  // why the file could not be read, or its first bad line
};

PublicList readPublicList() {
  PublicList list;
  QFile file(QStringLiteral(YOTENNA_TEST_DATA "/holidays-1955-2030.csv"));
  if (!file.open(QIODevice::ReadOnly)) {
    list.error = file.fileName() + QStringLiteral(": ") + file.errorString();
    return list;
  }
  int lineNumber = 0;
  while (!file.atEnd()) {
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    ++lineNumber;
    if (line.startsWith(u'#')) continue;
    const QStringList fields = line.split(u',');
    const QDate date = QDate::fromString(fields.value(0), QStringLiteral("yyyy/MM/dd"));
    if (fields.size() != 2 || !date.isValid() || fields[1].isEmpty() || list.names.contains(date)) {
      list.error = QStringLiteral("line %1: %2").arg(lineNumber).arg(line);
      return list;
    }
    list.names.insert(date, fields[1]);
  }
  return list;
}

}  // namespace

// Readable failure messages.
char* toString(const Rgb& c) {
  return QTest::toString(QStringLiteral("Rgb(%1, %2, %3)").arg(c.red).arg(c.green).arg(c.blue));
}
char* toString(const CalendarDate& d) {
  return QTest::toString(QStringLiteral("%1/%2/%3").arg(d.year).arg(d.month).arg(d.day));
}

class CalendarTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString file(const QString& name = "data.dat") const { return dir_.filePath(name); }
  QString missingFile() const { return dir_.filePath("missing/none.dat"); }

  // A month of entries, latest first, with a stray second run of May and a date that does not
  // end in a day number.
  QString writeMayFile() const {
    const QString path = file("may.dat");
    writeBytes(path, entry("2001/06/01", "june", "", "0", "0") +
                         entry("2001/05/31", kKaimono, "", "0", "0") +
                         entry("2001/05/03", kKenmei, kNaiyou, "0", "0") +
                         entry("2001/05/03", "done bare", "", "1", "0") +
                         entry("2001/05/03", "done quoted", "", "\"1\"", "\"1\"") +
                         entry("2001/05/03", kKaigi, "", "\"0\"", "1") +
                         entry("2001/05/03", "flag 2", "", "2", "0") +
                         entry("2001/05/3x", "bad day", "", "0", "0") +
                         entry("2001/05/02", kHaisha, "", "1", "1") +
                         entry("2001/04/30", "april", "", "0", "0") +
                         entry("2001/05/03", "second run", "", "0", "0") + kMarkerLine);
    return path;
  }

 private slots:
  // ---- holidays ---------------------------------------------------------------------------

  // Every date of 1955-2030 against the public list (tests/data/README.md), both ways: a holiday
  // the list lacks fails as surely as one it has and the calendar misses.
  void publicListDateByDate() {
    const PublicList list = readPublicList();
    QVERIFY2(list.error.isEmpty(), qPrintable(list.error));
    QCOMPARE(list.names.size(), 1121);  // a cut-off file must not pass as a shorter list

    QStringList mismatches;
    int compared = 0;
    for (QDate date(1955, 1, 1); date.year() <= 2030; date = date.addDays(1), ++compared) {
      const QString expected = list.names.value(date);
      const QString actual = holidayName(date).value_or(QString());
      if (actual != expected) {
        mismatches.append(date.toString(Qt::ISODate) + u' ' + expected + u'/' + actual);
      }
    }
    QCOMPARE(mismatches, QStringList());
    QCOMPARE(compared, 27759);  // 76 years
    qInfo("compared %d dates of 1955-2030 (%lld holidays)", compared,
          static_cast<long long>(list.names.size()));
  }

  // The month grid's list, month by month, is the same list in date order.
  void publicListMonthByMonth() {
    const PublicList list = readPublicList();
    QVERIFY2(list.error.isEmpty(), qPrintable(list.error));
    QStringList mismatches;
    for (int year = 1955; year <= 2030; ++year) {
      for (int month = 1; month <= 12; ++month) {
        QList<MonthHoliday> expected;
        for (auto it = list.names.lowerBound(QDate(year, month, 1));
             it != list.names.end() && it.key().month() == month && it.key().year() == year; ++it) {
          expected.append({it.key().day(), it.value()});
        }
        if (monthHolidays(year, month) != expected) {
          mismatches.append(QStringLiteral("%1/%2").arg(year).arg(month));
        }
      }
    }
    QCOMPARE(mismatches, QStringList());
  }

  // The approximation gives every equinox day announced in the public list (1955-2027).
  void equinoxDaysAsAnnounced() {
    const PublicList list = readPublicList();
    QVERIFY2(list.error.isEmpty(), qPrintable(list.error));
    QStringList mismatches;
    int years = 0;
    for (auto it = list.names.cbegin(); it != list.names.cend(); ++it) {
      if (it.key().year() > 2027) break;
      if (it.value() == u"春分の日") {
        ++years;
        if (springEquinoxDay(it.key().year()) != it.key().day() || it.key().month() != 3) {
          mismatches.append(it.key().toString(Qt::ISODate));
        }
      } else if (it.value() == u"秋分の日") {
        if (autumnEquinoxDay(it.key().year()) != it.key().day() || it.key().month() != 9) {
          mismatches.append(it.key().toString(Qt::ISODate));
        }
      }
    }
    QCOMPARE(mismatches, QStringList());
    QCOMPARE(years, 2027 - 1955 + 1);
  }

  // Where the published tables of 1900-2099 change from one day to the next, and the day the
  // law's first autumn equinox fell on.
  void equinoxDaysOfTheCentury_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("spring");  // day of March
    QTest::addColumn<int>("autumn");  // day of September
    QTest::newRow("1900") << 1900 << 21 << 23;
    QTest::newRow("1917") << 1917 << 21 << 24;
    QTest::newRow("1921") << 1921 << 21 << 23;
    QTest::newRow("1923") << 1923 << 22 << 24;
    QTest::newRow("1927") << 1927 << 21 << 24;
    QTest::newRow("1946") << 1946 << 21 << 24;
    QTest::newRow("1948") << 1948 << 21 << 23;
    QTest::newRow("1950") << 1950 << 21 << 23;
    QTest::newRow("1951") << 1951 << 21 << 24;
    QTest::newRow("2041") << 2041 << 20 << 23;
    QTest::newRow("2045") << 2045 << 20 << 22;
    QTest::newRow("2055") << 2055 << 21 << 23;
    QTest::newRow("2059") << 2059 << 20 << 23;
    QTest::newRow("2074") << 2074 << 20 << 23;
    QTest::newRow("2078") << 2078 << 20 << 22;
    QTest::newRow("2088") << 2088 << 20 << 22;
    QTest::newRow("2092") << 2092 << 19 << 22;
    QTest::newRow("2099") << 2099 << 20 << 23;
  }
  void equinoxDaysOfTheCentury() {
    QFETCH(int, year);
    QFETCH(int, spring);
    QFETCH(int, autumn);
    QCOMPARE(springEquinoxDay(year), spring);
    QCOMPARE(autumnEquinoxDay(year), autumn);
  }

  // The calendar year is a little longer than the tropical one, so far from today the days drift
  // slowly (a day in some 3,000 years) but never run wild; 1900-2150 keep their known weeks.
  void equinoxDaysStayNearTheirWeekForEveryYear() {
    for (int year = 1; year <= 9999; ++year) {
      const int spring = springEquinoxDay(year);
      const int autumn = autumnEquinoxDay(year);
      const bool known = year >= 1900 && year <= 2150;
      const int slack = known ? 0 : 3;
      if (spring < 19 - slack || spring > 22 + slack || autumn < 21 - slack ||
          autumn > 24 + slack) {
        QFAIL(qPrintable(QStringLiteral("%1: %2/%3").arg(year).arg(spring).arg(autumn)));
      }
    }
  }

  // The act's boundaries outside the public list's years, and the days the views are known for
  // (the list checks every day in between).
  void holidayOfADate_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("expected");  // empty: no holiday
    QTest::newRow("year 1 new year") << QDate(1, 1, 1) << "元日";
    QTest::newRow("year 1 2 jan") << QDate(1, 1, 2) << "";
    QTest::newRow("1948 new year before the act") << QDate(1948, 1, 1) << "元日";
    QTest::newRow("1948 emperor before the act") << QDate(1948, 4, 29) << "";
    QTest::newRow("1948 constitution before the act") << QDate(1948, 5, 3) << "";
    QTest::newRow("1948 first autumn equinox") << QDate(1948, 9, 23) << "秋分の日";
    QTest::newRow("1949 coming of age") << QDate(1949, 1, 15) << "成人の日";
    QTest::newRow("1949 constitution") << QDate(1949, 5, 3) << "憲法記念日";
    QTest::newRow("1951 autumn equinox") << QDate(1951, 9, 24) << "秋分の日";
    QTest::newRow("2000 second monday") << QDate(2000, 1, 10) << "成人の日";
    QTest::newRow("2001 second monday on the 8th") << QDate(2001, 1, 8) << "成人の日";
    QTest::newRow("1999 sports day fixed") << QDate(1999, 10, 10) << "体育の日";
    QTest::newRow("2001 sports day monday") << QDate(2001, 10, 8) << "体育の日";
    QTest::newRow("2001 equinox on a sunday") << QDate(2001, 9, 23) << "秋分の日";
    QTest::newRow("2001 its substitute") << QDate(2001, 9, 24) << "振替休日";
    QTest::newRow("2099 autumn equinox") << QDate(2099, 9, 23) << "秋分の日";
    QTest::newRow("9999 emperor") << QDate(9999, 2, 23) << "天皇誕生日";
    QTest::newRow("9999 last day") << QDate(9999, 12, 31) << "";
    QTest::newRow("invalid date") << QDate() << "";
  }
  void holidayOfADate() {
    QFETCH(QDate, date);
    QFETCH(QString, expected);
    QCOMPARE(holidayName(date).value_or(QString()), expected);
  }

  void holidaysOfAMonthInDateOrder_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<QList<MonthHoliday>>("expected");
    QTest::newRow("1948/01") << 1948 << 1 << QList<MonthHoliday>{{1, "元日"}};
    QTest::newRow("1948/05") << 1948 << 5 << QList<MonthHoliday>{};
    QTest::newRow("1949/01") << 1949 << 1 << QList<MonthHoliday>{{1, "元日"}, {15, "成人の日"}};
    QTest::newRow("2026/09") << 2026 << 9
                             << QList<MonthHoliday>{
                                    {21, "敬老の日"}, {22, "国民の休日"}, {23, "秋分の日"}};
    QTest::newRow("2031/05") << 2031 << 5
                             << QList<MonthHoliday>{{3, "憲法記念日"},
                                                    {4, "みどりの日"},
                                                    {5, "こどもの日"},
                                                    {6, "振替休日"}};
    QTest::newRow("2001/06") << 2001 << 6 << QList<MonthHoliday>{};
    QTest::newRow("9999/11") << 9999 << 11
                             << QList<MonthHoliday>{{3, "文化の日"}, {23, "勤労感謝の日"}};
    QTest::newRow("month 13") << 2001 << 13 << QList<MonthHoliday>{};
    QTest::newRow("year 0") << 0 << 1 << QList<MonthHoliday>{};
    QTest::newRow("year 10000") << 10000 << 1 << QList<MonthHoliday>{};
  }
  void holidaysOfAMonthInDateOrder() {
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(QList<MonthHoliday>, expected);
    QCOMPARE(monthHolidays(year, month), expected);
  }

  // ---- day view ---------------------------------------------------------------------------

  void headingTextAndColour_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<Rgb>("color");
    QTest::newRow("weekday") << QDate(2001, 5, 2) << "2001/05/02(水)の予定" << colors::kBlack;
    QTest::newRow("holiday weekday") << QDate(2001, 5, 3) << "2001/05/03(木)の予定" << colors::kRed;
    QTest::newRow("holiday saturday")
        << QDate(2001, 5, 5) << "2001/05/05(土)の予定" << colors::kRed;
    QTest::newRow("saturday") << QDate(2001, 5, 12) << "2001/05/12(土)の予定" << colors::kBlue;
    QTest::newRow("sunday holiday") << QDate(2001, 9, 23) << "2001/09/23(日)の予定" << colors::kRed;
    QTest::newRow("substitute monday")
        << QDate(2001, 9, 24) << "2001/09/24(月)の予定" << colors::kRed;
    QTest::newRow("plain tuesday after")
        << QDate(2001, 9, 25) << "2001/09/25(火)の予定" << colors::kBlack;
    QTest::newRow("second monday") << QDate(2001, 1, 8) << "2001/01/08(月)の予定" << colors::kRed;
    QTest::newRow("year 1") << QDate(1, 1, 2) << "0001/01/02(火)の予定" << colors::kBlack;
  }
  void headingTextAndColour() {
    QFETCH(QDate, date);
    QFETCH(QString, heading);
    QFETCH(Rgb, color);
    const DayView view = loadDayView(missingFile(), date, DayFilter::All);
    QCOMPARE(view.heading, heading);
    QCOMPARE(view.headingColor, color);
  }

  void dayListFollowsTheFilter_data() {
    QTest::addColumn<DayFilter>("filter");
    QTest::addColumn<QList<QStringList>>("rows");
    const QStringList holiday{"憲法記念日", "", "まだ", "残る"};
    const QStringList open{"件名", "内容", "まだ", "残る"};
    const QStringList doneBare{"done bare", "", "終了", "残る"};
    const QStringList doneQuoted{"done quoted", "", "終了", "削除"};
    const QStringList meeting{"会議", "", "まだ", "削除"};
    const QStringList oddFlag{"flag 2", "", "まだ", "残る"};  // neither 0 nor 1
    QTest::newRow("まだ") << DayFilter::NotFinished << QList<QStringList>{holiday, open, meeting};
    QTest::newRow("終了したもの") << DayFilter::Finished
                                  << QList<QStringList>{holiday, doneBare, doneQuoted};
    QTest::newRow("全部") << DayFilter::All << QList<QStringList>{holiday,    open,    doneBare,
                                                                  doneQuoted, meeting, oddFlag};
  }
  void dayListFollowsTheFilter() {
    QFETCH(DayFilter, filter);
    QFETCH(QList<QStringList>, rows);
    const DayView view = loadDayView(writeMayFile(), QDate(2001, 5, 3), filter);
    QVERIFY(view.status.isOk());
    QCOMPARE(columnsOf(view.rows), rows);
  }

  void dayWithoutHolidayListsOnlyItsEntries() {
    const DayView view = loadDayView(writeMayFile(), QDate(2001, 5, 2), DayFilter::All);
    QCOMPARE(columnsOf(view.rows), (QList<QStringList>{{"歯医者", "", "終了", "削除"}}));
  }

  void secondMondayRowSitsAboveTheEntries() {
    const QString path = file();
    writeBytes(path, entry("2001/01/08", kKenmei, "", "0", "0") + kMarkerLine);
    const DayView view = loadDayView(path, QDate(2001, 1, 8), DayFilter::NotFinished);
    QCOMPARE(columnsOf(view.rows),
             (QList<QStringList>{{"成人の日", "", "まだ", "残る"}, {"件名", "", "まだ", "残る"}}));
  }

  // The day list and the grid name the same day off the same way.
  void substituteDayInBothViews() {
    const DayView day = loadDayView(missingFile(), QDate(2001, 9, 24), DayFilter::All);
    QCOMPARE(columnsOf(day.rows), (QList<QStringList>{{"振替休日", "", "まだ", "残る"}}));
    const MonthGrid grid = monthGridLayout(2001, 9, QDate());
    QCOMPARE(grid.cell(24).items, QStringList{"振替休日"});
    QCOMPARE(grid.cell(24).labelBackground, colors::kMagenta);
    QCOMPARE(grid.cell(24).labelText, colors::kBlack);
    QCOMPARE(grid.cell(23).items, QStringList{"秋分の日"});
    QCOMPARE(grid.cell(23).labelText, colors::kRed);
    QCOMPARE(grid.cell(15).items, QStringList{"敬老の日"});
    QCOMPARE(grid.cell(25).items, kNoItems);
  }

  void unreadableFileKeepsOnlyTheHolidayRow() {
    const DayView holiday = loadDayView(missingFile(), QDate(2001, 5, 3), DayFilter::All);
    QVERIFY(!holiday.status.isOk());
    QVERIFY(!holiday.status.message().isEmpty());
    QCOMPARE(subjects(holiday.rows), QStringList{"憲法記念日"});
    QCOMPARE(holiday.heading, "2001/05/03(木)の予定");

    const DayView plain = loadDayView(missingFile(), QDate(2001, 5, 2), DayFilter::All);
    QVERIFY(!plain.status.isOk());
    QVERIFY(plain.rows.isEmpty());
  }

  // ---- month grid -------------------------------------------------------------------------

  void may2001CellsByWeekdayAndHoliday_data() {
    QTest::addColumn<int>("day");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<Rgb>("labelText");
    QTest::addColumn<Rgb>("background");
    QTest::addColumn<QStringList>("items");
    using namespace colors;
    QTest::newRow("1 tuesday") << 1 << "1 火" << kBlack << kWhite << kNoItems;
    QTest::newRow("3 holiday") << 3 << "3 木" << kBlack << kMagenta << QStringList{"憲法記念日"};
    QTest::newRow("4 holiday") << 4 << "4 金" << kBlack << kMagenta << QStringList{"国民の休日"};
    QTest::newRow("5 saturday holiday")
        << 5 << "5 土" << kBlue << kMagenta << QStringList{"こどもの日"};
    QTest::newRow("6 sunday") << 6 << "6 日" << kRed << kMagenta << kNoItems;
    QTest::newRow("12 saturday") << 12 << "12 土" << kBlue << kCyan << kNoItems;
    QTest::newRow("13 sunday") << 13 << "13 日" << kRed << kMagenta << kNoItems;
    QTest::newRow("26 saturday") << 26 << "26 土" << kBlue << kCyan << kNoItems;
    QTest::newRow("27 sunday") << 27 << "27 日" << kRed << kMagenta << kNoItems;
    QTest::newRow("31 thursday") << 31 << "31 木" << kBlack << kWhite << kNoItems;
  }
  void may2001CellsByWeekdayAndHoliday() {
    QFETCH(int, day);
    QFETCH(QString, caption);
    QFETCH(Rgb, labelText);
    QFETCH(Rgb, background);
    QFETCH(QStringList, items);
    const MonthGrid grid = monthGridLayout(2001, 5, QDate(2001, 6, 3));
    const DayCell& cell = grid.cell(day);
    QVERIFY(cell.visible);
    QCOMPARE(cell.caption, caption);
    QCOMPARE(cell.labelText, labelText);
    QCOMPARE(cell.labelBackground, background);
    QCOMPARE(cell.listBackground, background);
    QCOMPARE(cell.items, items);
  }

  void visibleCellsFollowTheMonthLength_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("visible");
    QTest::addColumn<int>("february");
    QTest::newRow("1900/02") << 1900 << 2 << 28 << 28;
    QTest::newRow("2000/02") << 2000 << 2 << 29 << 29;
    QTest::newRow("2001/02") << 2001 << 2 << 28 << 28;
    QTest::newRow("2004/02") << 2004 << 2 << 29 << 29;
    QTest::newRow("2001/04") << 2001 << 4 << 30 << 28;
    QTest::newRow("2000/07") << 2000 << 7 << 31 << 29;
  }
  void visibleCellsFollowTheMonthLength() {
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, visible);
    QFETCH(int, february);
    const MonthGrid grid = monthGridLayout(year, month, QDate());
    QCOMPARE(grid.monthLength, visible);
    QCOMPARE(grid.februaryLength, february);
    for (int day = 1; day <= MonthGrid::kCellCount; ++day) {
      QCOMPARE(grid.cell(day).visible, day <= visible);
    }
    QCOMPARE(grid.cell(visible).caption.section(u' ', 0, 0), QString::number(visible));
  }

  void todayIsYellowEvenOnAHoliday_data() {
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("day");
    QTest::addColumn<Rgb>("labelText");
    QTest::addColumn<Rgb>("background");
    QTest::newRow("holiday") << QDate(2001, 5, 3) << 3 << colors::kBlack << colors::kYellow;
    QTest::newRow("sunday") << QDate(2001, 5, 6) << 6 << colors::kRed << colors::kYellow;
    QTest::newRow("weekday") << QDate(2001, 5, 2) << 2 << colors::kBlack << colors::kYellow;
    QTest::newRow("other month") << QDate(2001, 6, 3) << 3 << colors::kBlack << colors::kMagenta;
    QTest::newRow("other year") << QDate(2002, 5, 2) << 2 << colors::kBlack << colors::kWhite;
  }
  void todayIsYellowEvenOnAHoliday() {
    QFETCH(QDate, today);
    QFETCH(int, day);
    QFETCH(Rgb, labelText);
    QFETCH(Rgb, background);
    const MonthGrid grid = monthGridLayout(2001, 5, today);
    QCOMPARE(grid.cell(day).labelText, labelText);
    QCOMPARE(grid.cell(day).labelBackground, background);
    QCOMPARE(grid.cell(day).listBackground, background);
    int yellow = 0;
    for (const DayCell& cell : grid.cells) yellow += cell.labelBackground == colors::kYellow;
    QCOMPARE(yellow, background == colors::kYellow ? 1 : 0);
  }

  void gridListsEveryEntryOfTheFirstRunAfterTheHoliday() {
    const MonthGrid grid = loadMonthGrid(writeMayFile(), 2001, 5, QDate(2001, 5, 3));
    QVERIFY(grid.status.isOk());
    QCOMPARE(grid.cell(3).items,
             (QStringList{"憲法記念日", "件名", "done bare", "done quoted", "会議", "flag 2"}));
    // The stray "3x" date is skipped and the scan goes on to the 2nd.
    QCOMPARE(grid.cell(2).items, QStringList{"歯医者"});
    QCOMPARE(grid.cell(31).items, QStringList{"買物"});
    QCOMPARE(grid.cell(1).items, kNoItems);
  }

  void datesNotEndingInADayAreSkipped() {
    const QString path = file();
    writeBytes(path, entry("2001/01/00", "zero", "", "0", "0") +
                         entry("2001/01/32", "too late", "", "0", "0") +
                         entry("2001/01/ab", "letters", "", "0", "0") +
                         entry("2001/01/", "no day", "", "0", "0") +
                         entry("2001/01/08", kKenmei, "", "1", "1") +
                         entry("2001/01/1", "one digit", "", "0", "0") +
                         entry("2001/01/01", kKaigi, "", "0", "0") + kMarkerLine);
    const MonthGrid grid = loadMonthGrid(path, 2001, 1, QDate());
    QVERIFY(grid.status.isOk());
    QCOMPARE(grid.cell(8).items, (QStringList{"成人の日", "件名"}));
    QCOMPARE(grid.cell(8).labelBackground, colors::kMagenta);
    QCOMPARE(grid.cell(1).items, (QStringList{"元日", "会議"}));
    int listed = 0;
    for (const DayCell& cell : grid.cells) listed += cell.items.size();
    QCOMPARE(listed, 4);
  }

  void newYear1948HasOnlyItsFirstDay() {
    const MonthGrid grid = monthGridLayout(1948, 1, QDate());
    QCOMPARE(grid.cell(1).items, QStringList{"元日"});
    QCOMPARE(grid.cell(1).labelBackground, colors::kMagenta);
    QCOMPARE(grid.cell(15).items, kNoItems);
    QCOMPARE(grid.cell(10).items, kNoItems);
  }

  void unreadableFileKeepsTheLayoutWithoutSubjects() {
    const MonthGrid grid = loadMonthGrid(missingFile(), 2001, 5, QDate(2001, 5, 10));
    QVERIFY(!grid.status.isOk());
    QVERIFY(!grid.status.message().isEmpty());
    QCOMPARE(grid.monthLength, 31);
    QCOMPARE(grid.cell(1).caption, "1 火");
    QCOMPARE(grid.cell(3).items, QStringList{"憲法記念日"});
    QCOMPARE(grid.cell(10).labelBackground, colors::kYellow);
  }

  // ---- timer list and search rows ----------------------------------------------------------

  void timerRowsByKind() {
    const QString path = file();
    writeBytes(path, entry("2001/05/03", kKenmei, "", "0", "0") + kMarkerLine +
                         timer(kDaimei, "0", "2001", "05", "03", "07", "30", "C:\\a.bmp") +
                         timer(kDaimei, "1", kGetsu, "", "", "08", "00", "") +
                         timer("daily", "2", "", "", "", "23", "59", "/p/" + kKaimono + ".png") +
                         timer("odd", "3", "2001", "05", "03", "07", "30", "x.gif") +
                         timer("no date", "0", "2001", "02", "30", "7", "5", "") +
                         timer("bad time", "2", "", "", "", "24", "ab", ""));
    const TimerList list = loadTimerList(path);
    QVERIFY(list.status.isOk());
    QList<QStringList> rows;
    for (const TimerListRow& row : list.rows) rows.append(row.columns());
    QCOMPARE(rows, (QList<QStringList>{
                       {"題名", "一回", "2001/05/03(木)", "07:30", "C:\\a.bmp"},
                       {"題名", "毎週", "月曜日", "08:00", ""},
                       {"daily", "毎日", "", "23:59", "/p/買物.png"},
                       {"odd", "", "", "", "x.gif"},
                       {"no date", "一回", "2001/02/30", "07:05", ""},
                       {"bad time", "毎日", "", "24:ab", ""},
                   }));
  }

  void timerListOfMarkerOnlyAndMissingFiles() {
    const QString path = file();
    writeBytes(path, kMarkerLine);
    const TimerList empty = loadTimerList(path);
    QVERIFY(empty.status.isOk());
    QVERIFY(empty.rows.isEmpty());

    const TimerList missing = loadTimerList(missingFile());
    QVERIFY(!missing.status.isOk());
    QVERIFY(missing.rows.isEmpty());
  }

  void searchResultRows() {
    const auto found = searchResultRow(scheduleRecord(
        "2001/01/05", kKenmei, kNaiyou, Field::fromBytes("1", true), Field::fromBytes("0", false)));
    QVERIFY(found);
    QCOMPARE(found->columns(), (QStringList{"2001/01/05(金)", "件名", "内容", "終了", "残る"}));

    const auto open = searchResultRow(
        scheduleRecord("2001/05/06", "a", "", Field::number(0), Field::fromBytes("1", true)));
    QVERIFY(open);
    QCOMPARE(open->columns(), (QStringList{"2001/05/06(日)", "a", "", "まだ", "削除"}));

    const auto oddDate =
        searchResultRow(scheduleRecord("2001/02/30", "b", "", Field::number(0), Field::number(0)));
    QVERIFY(oddDate);
    QCOMPARE(oddDate->date, "2001/02/30");

    const QList<Field> marker = TimerMarker::fields();
    QVERIFY(!searchResultRow(ScheduleRecord::fromFields(marker)));
  }

  // ---- date navigation ----------------------------------------------------------------------

  void movesOfTheSelectedDate_data() {
    QTest::addColumn<QDate>("from");
    QTest::addColumn<DateMove>("move");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<bool>("monthChanged");
    QTest::addColumn<QString>("message");
    using M = DateMove;
    const QString low = "西暦は0001年まで";
    const QString high = "西暦は9999年まで";
    auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
    // Day moves.
    row("day back inside month") << QDate(2024, 5, 11) << M::DayBack << QDate(2024, 5, 10) << false
                                 << "";
    row("day forward inside month")
        << QDate(2024, 5, 10) << M::DayForward << QDate(2024, 5, 11) << false << "";
    row("day back into leap february")
        << QDate(2024, 3, 1) << M::DayBack << QDate(2024, 2, 29) << true << "";
    row("day back into february") << QDate(2023, 3, 1) << M::DayBack << QDate(2023, 2, 28) << true
                                  << "";
    row("day back 1900 not leap") << QDate(1900, 3, 1) << M::DayBack << QDate(1900, 2, 28) << true
                                  << "";
    row("day back 2000 leap") << QDate(2000, 3, 1) << M::DayBack << QDate(2000, 2, 29) << true
                              << "";
    row("day back into april") << QDate(2024, 5, 1) << M::DayBack << QDate(2024, 4, 30) << true
                               << "";
    row("day back into july") << QDate(2024, 8, 1) << M::DayBack << QDate(2024, 7, 31) << true
                              << "";
    row("day back over new year") << QDate(2024, 1, 1) << M::DayBack << QDate(2023, 12, 31) << true
                                  << "";
    row("day forward over new year")
        << QDate(2024, 12, 31) << M::DayForward << QDate(2025, 1, 1) << true << "";
    row("day forward to leap day")
        << QDate(2024, 2, 28) << M::DayForward << QDate(2024, 2, 29) << false << "";
    row("day forward 1900 skips 29")
        << QDate(1900, 2, 28) << M::DayForward << QDate(1900, 3, 1) << true << "";
    row("day back at year 1") << QDate(1, 1, 1) << M::DayBack << QDate(1, 1, 1) << true << low;
    row("day forward at 9999") << QDate(9999, 12, 31) << M::DayForward << QDate(9999, 12, 31)
                               << true << high;
    // Month moves.
    row("month back to leap february")
        << QDate(2024, 3, 31) << M::MonthBack << QDate(2024, 2, 29) << true << "";
    row("month back to february") << QDate(2023, 3, 31) << M::MonthBack << QDate(2023, 2, 28)
                                  << true << "";
    row("month back 1900") << QDate(1900, 3, 30) << M::MonthBack << QDate(1900, 2, 28) << true
                           << "";
    row("month back to april") << QDate(2024, 5, 31) << M::MonthBack << QDate(2024, 4, 30) << true
                               << "";
    row("month back over new year")
        << QDate(2024, 1, 15) << M::MonthBack << QDate(2023, 12, 15) << true << "";
    row("month forward keeps 31") << QDate(2024, 7, 31) << M::MonthForward << QDate(2024, 8, 31)
                                  << true << "";
    row("month forward to september")
        << QDate(2024, 8, 31) << M::MonthForward << QDate(2024, 9, 30) << true << "";
    row("month forward to february")
        << QDate(2024, 1, 30) << M::MonthForward << QDate(2024, 2, 29) << true << "";
    row("month forward over new year")
        << QDate(2024, 12, 15) << M::MonthForward << QDate(2025, 1, 15) << true << "";
    row("month back at year 1") << QDate(1, 1, 15) << M::MonthBack << QDate(1, 1, 15) << true
                                << low;
    row("month forward at 9999") << QDate(9999, 12, 15) << M::MonthForward << QDate(9999, 12, 15)
                                 << true << high;
    // Year moves.
    row("year forward from leap day")
        << QDate(2024, 2, 29) << M::YearForward << QDate(2025, 2, 28) << true << "";
    row("year back from leap day")
        << QDate(2024, 2, 29) << M::YearBack << QDate(2023, 2, 28) << true << "";
    row("year back to 2000 keeps nothing to clamp")
        << QDate(2001, 2, 28) << M::YearBack << QDate(2000, 2, 28) << true << "";
    row("year forward keeps 31") << QDate(2024, 5, 31) << M::YearForward << QDate(2025, 5, 31)
                                 << true << "";
    row("year back at year 1") << QDate(1, 1, 1) << M::YearBack << QDate(1, 1, 1) << true << low;
    row("year back at year 1 in march")
        << QDate(1, 3, 5) << M::YearBack << QDate(1, 3, 5) << true << low;
    row("year forward at 9999") << QDate(9999, 6, 30) << M::YearForward << QDate(9999, 6, 30)
                                << true << high;
  }
  void movesOfTheSelectedDate() {
    QFETCH(QDate, from);
    QFETCH(DateMove, move);
    QFETCH(QDate, to);
    QFETCH(bool, monthChanged);
    QFETCH(QString, message);
    const DateMoveResult result = moveDate({from.year(), from.month(), from.day()}, move);
    QCOMPARE(result.date, (CalendarDate{to.year(), to.month(), to.day()}));
    QCOMPARE(result.monthChanged, monthChanged);
    QCOMPARE(result.boundMessage, message);
    QCOMPARE(result.refused(), !message.isEmpty());
  }

  void selectedDayBeyondTheMonthIsPulledBack_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("expected");
    QTest::newRow("february 31") << 2001 << 2 << 31 << 28;
    QTest::newRow("leap february 30") << 2000 << 2 << 30 << 29;
    QTest::newRow("1900 february 29") << 1900 << 2 << 29 << 28;
    QTest::newRow("april 31") << 2001 << 4 << 31 << 30;
    QTest::newRow("may 31 stays") << 2001 << 5 << 31 << 31;
    QTest::newRow("april 5 stays") << 2001 << 4 << 5 << 5;
  }
  void selectedDayBeyondTheMonthIsPulledBack() {
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(int, expected);
    QCOMPARE(clampDayToMonth({year, month, day}), (CalendarDate{year, month, expected}));
  }
};

QTEST_GUILESS_MAIN(CalendarTest)
#include "tst_calendar.moc"
