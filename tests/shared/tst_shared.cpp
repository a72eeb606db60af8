#include <QLocale>
#include <QTest>

#include "shared/DateFormat.h"
#include "shared/Numeric.h"
#include "shared/Twips.h"

class SharedTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    // The weekday names must not depend on the machine's language.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  }

  void formatsEveryPattern_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");
    const QDate thursday(2001, 5, 3);
    const QTime morning(7, 5, 9);
    QTest::newRow("heading") << thursday << morning << "yyyy/mm/dd(aaa)"
                             << "2001/05/03(木)";
    QTest::newRow("month key") << thursday << morning << "yyyy/mm"
                               << "2001/05";
    QTest::newRow("date") << thursday << morning << "yyyy/mm/dd"
                          << "2001/05/03";
    QTest::newRow("compact") << thursday << morning << "yyyymmdd"
                             << "20010503";
    QTest::newRow("hhnn") << thursday << morning << "hhnn"
                          << "0705";
    QTest::newRow("hh:nn") << thursday << morning << "hh:nn"
                           << "07:05";
    QTest::newRow("mm/dd") << thursday << morning << "mm/dd"
                           << "05/03";
    QTest::newRow("ss") << thursday << morning << "ss"
                        << "09";
    QTest::newRow("aaa sunday") << QDate(2001, 5, 6) << morning << "aaa"
                                << "日";
    QTest::newRow("aaa saturday") << QDate(2001, 5, 5) << morning << "aaa"
                                  << "土";
    QTest::newRow("mm after hh is minutes") << thursday << morning << "hh:mm"
                                            << "07:05";
    QTest::newRow("clock") << thursday << QTime(23, 59, 0) << "yyyy年mm月dd日aaaa         hh:nn:ss"
                           << "2001年05月03日木曜日         23:59:00";
    QTest::newRow("year below 1000") << QDate(24, 3, 5) << morning << "yyyy/mm/dd"
                                     << "0024/03/05";
  }
  void formatsEveryPattern() {
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    QCOMPARE(formatDateTime(date, time, pattern), expected);
  }

  void weekdayNamesRunSundayToSaturday() {
    const QStringList kanji{"日", "月", "火", "水", "木", "金", "土"};
    for (int i = 0; i < 7; ++i) {
      const QDate date = QDate(2001, 5, 6).addDays(i);  // a Sunday
      QCOMPARE(weekdayKanji(date), kanji[i]);
      QCOMPARE(weekdayName(date), kanji[i] + "曜日");
    }
  }

  void numericValueReadsFromTheStart_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("whole");
    QTest::newRow("empty") << "" << 0.0 << false;
    QTest::newRow("digits") << "2001" << 2001.0 << true;
    QTest::newRow("leading blanks") << "  42" << 42.0 << true;
    QTest::newRow("trailing text") << "12abc" << 12.0 << false;
    QTest::newRow("date prefix") << "2001/05" << 2001.0 << false;
    QTest::newRow("letters") << "abc" << 0.0 << false;
    QTest::newRow("negative") << "-3" << -3.0 << true;
    QTest::newRow("decimal") << "1.5" << 1.5 << true;
    QTest::newRow("blank only") << "   " << 0.0 << false;
    QTest::newRow("two digit") << "07" << 7.0 << true;
  }
  void numericValueReadsFromTheStart() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(bool, whole);
    QCOMPARE(numericValue(text), value);
    QCOMPARE(isWholeNumber(text), whole);
  }

  void integerValueSurvivesHugeNumbers() {
    QCOMPARE(integerValue(u"99999999999999999999999999"), 1000000000000000LL);
    QCOMPARE(integerValue(u"9999"), 9999LL);
  }

  void parsesDateTexts() {
    QCOMPARE(parseDateText(u"2001/05/03"), std::optional<QDate>(QDate(2001, 5, 3)));
    QCOMPARE(parseDateText(u"2024/3/5"), std::optional<QDate>(QDate(2024, 3, 5)));
    QCOMPARE(parseDateText(u"24/3/5"), std::optional<QDate>(QDate(24, 3, 5)));
    QCOMPARE(parseDateText(u"2000/02/29"), std::optional<QDate>(QDate(2000, 2, 29)));
    QVERIFY(!parseDateText(u"1900/02/29"));
    QVERIFY(!parseDateText(u"2001/13/01"));
    QVERIFY(!parseDateText(u"2001/05"));
    QVERIFY(!parseDateText(u""));
    QVERIFY(!parseDateText(u"0000/01/01"));
    QVERIFY(!parseDateText(u"20x1/01/01"));
  }

  void dateKeyIsYearThousandsPlusDayOfYear() {
    QCOMPARE(dateKey(QDate(2001, 1, 1)), 2001001);
    QCOMPARE(dateKey(QDate(2000, 12, 31)), 2000366);
    QCOMPARE(dateKey(QDate(2001, 12, 31)), 2001365);
  }

  void twipsAt96And120Dpi() {
    QCOMPARE(twipsToPixels(7215), 481);
    QCOMPARE(twipsToPixels(15), 1);
    QCOMPARE(twipsToPixels(1440, 120), 120);
  }
};

QTEST_GUILESS_MAIN(SharedTest)
#include "tst_shared.moc"
