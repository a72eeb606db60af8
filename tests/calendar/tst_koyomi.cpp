#include <QProcess>
#include <QSet>
#include <QTest>
#include <algorithm>
#include <cmath>

#include "calendar/Astronomy.h"
#include "calendar/Koyomi.h"

namespace {

QDate iso(const char* text) { return QDate::fromString(QString::fromLatin1(text), Qt::ISODate); }

// Every mark of the kind asked for in a year, as "MM-DD name", in date order.
QStringList yearSeasons(int year) {
  QStringList out;
  for (int month = 1; month <= 12; ++month) {
    const QList<koyomi::DayMarks> days = koyomi::monthMarks(year, month);
    for (int i = 0; i < days.size(); ++i) {
      for (const koyomi::SeasonMark& mark : days[i].seasons) {
        out.append(QStringLiteral("%1-%2 %3")
                       .arg(month, 2, 10, QChar('0'))
                       .arg(i + 1, 2, 10, QChar('0'))
                       .arg(mark.name));
      }
    }
  }
  return out;
}

}  // namespace

class KoyomiTest : public QObject {
  Q_OBJECT

 private slots:
  // The new moons and terms built into the program are the very numbers libnova gives now, at
  // both ends of the range, across the 2033 problem, and outside the range none.
  void builtInEventsAreTheAstronomys() {
    for (const int year : {1872, 1873, 1989, 2033, 2034, 2100, 2102}) {
      const koyomi::YearEvents& events = koyomi::yearEvents(year);
      QCOMPARE(events.newMoons, astronomy::newMoonsOfYear(year));
      const std::vector<astronomy::SolarTerm> terms = astronomy::solarTermsOfYear(year);
      QCOMPARE(events.terms.size(), terms.size());
      for (size_t i = 0; i < terms.size(); ++i) {
        QCOMPARE(events.terms[i].longitude, terms[i].longitude);
        QCOMPARE(events.terms[i].jdUt, terms[i].jdUt);
      }
    }
    QVERIFY(koyomi::yearEvents(1871).newMoons.empty());
    QVERIFY(koyomi::yearEvents(2103).terms.empty());
  }

  void anchors_data();
  void anchors();
  void almanac_data();
  void almanac();
  void termsAreToldFromSeasonalDays();
  void range_data();
  void range();
  void marksText_data();
  void marksText();
  void againstReference();
};

void KoyomiTest::anchors_data() {
  QTest::addColumn<QDate>("date");
  QTest::addColumn<QString>("rokuyo");
  QTest::addColumn<QString>("lunisolar");
  QTest::addColumn<QString>("era");
  // Japan's leap months where China's differ (3rd, not 4th, in 2012; 5th, not 6th, in 2017).
  QTest::newRow("2012 leap 3") << iso("2012-04-21") << "先負"
                               << "旧閏3月1日"
                               << "平成24年";
  QTest::newRow("2012 before it") << iso("2012-04-20") << "友引"
                                  << "旧3月30日"
                                  << "平成24年";
  QTest::newRow("2017 leap 5") << iso("2017-06-24") << "大安"
                               << "旧閏5月1日"
                               << "平成29年";
  // The 2033 problem, settled as the calendar association recommends.
  QTest::newRow("2033 leap 11") << iso("2033-12-22") << "大安"
                                << "旧閏11月1日"
                                << "令和15年";
  QTest::newRow("2033 the 11th") << iso("2033-12-21") << "仏滅"
                                 << "旧11月30日"
                                 << "令和15年";
  QTest::newRow("2034 the 12th") << iso("2034-01-20") << "赤口"
                                 << "旧12月1日"
                                 << "令和16年";
  QTest::newRow("2026-12-09") << iso("2026-12-09") << "大安"
                              << "旧11月1日"
                              << "令和8年";
  // Era changes: first years are 元年.
  QTest::newRow("Reiwa 1") << iso("2019-05-01") << "大安"
                           << "旧3月27日"
                           << "令和元年";
  QTest::newRow("Heisei 31") << iso("2019-04-30") << "仏滅"
                             << "旧3月26日"
                             << "平成31年";
  QTest::newRow("Showa 64") << iso("1989-01-07") << "仏滅"
                            << "旧11月30日"
                            << "昭和64年";
  QTest::newRow("Heisei 1") << iso("1989-01-08") << "赤口"
                            << "旧12月1日"
                            << "平成元年";
  QTest::newRow("Taisho 1") << iso("1912-07-30") << "仏滅"
                            << "旧6月17日"
                            << "大正元年";
  QTest::newRow("Meiji 45") << iso("1912-07-29") << "先負"
                            << "旧6月16日"
                            << "明治45年";
  QTest::newRow("Showa 1") << iso("1926-12-25") << "先勝"
                           << "旧11月21日"
                           << "昭和元年";
  // The first Gregorian day in Japan was 明治5年12月3日 of the old calendar.
  QTest::newRow("first day") << iso("1873-01-01") << "友引"
                             << "旧12月3日"
                             << "明治6年";
  QTest::newRow("last day") << iso("2100-12-31") << "赤口"
                            << "旧12月1日"
                            << "令和82年";
}

void KoyomiTest::anchors() {
  QFETCH(QDate, date);
  QFETCH(QString, rokuyo);
  QFETCH(QString, lunisolar);
  QFETCH(QString, era);
  const koyomi::DayMarks marks = koyomi::dayMarks(date);
  QVERIFY(marks.valid);
  QCOMPARE(koyomi::rokuyoName(marks.rokuyo), rokuyo);
  QCOMPARE(koyomi::lunisolarText(marks.lunisolar), lunisolar);
  QCOMPARE(marks.era, era);
}

void KoyomiTest::almanac_data() {
  QTest::addColumn<int>("year");
  QTest::addColumn<QStringList>("marks");
  // 国立天文台「暦要項」令和6年 (2024) and 令和7年 (2025): 二十四節気 and 雑節 (節分, 彼岸,
  // 社日, 八十八夜, 入梅, 半夏生, 土用, 二百十日, 二百二十日). The 彼岸明け (the 入り + 6)
  // and the 土用の丑の日 (the 丑 days within each 土用) are derived from those.
  QTest::newRow("2024")
      << 2024
      << QStringList{
             "01-06 小寒",         "01-18 土用の入り",   "01-20 大寒",       "01-26 土用の丑の日",
             "02-03 節分",         "02-04 立春",         "02-19 雨水",       "03-05 啓蟄",
             "03-17 彼岸の入り",   "03-20 春分",         "03-23 彼岸明け",   "03-25 社日",
             "04-04 清明",         "04-16 土用の入り",   "04-19 穀雨",       "04-19 土用の丑の日",
             "05-01 八十八夜",     "05-01 土用の丑の日", "05-05 立夏",       "05-20 小満",
             "06-05 芒種",         "06-10 入梅",         "06-21 夏至",       "07-01 半夏生",
             "07-06 小暑",         "07-19 土用の入り",   "07-22 大暑",       "07-24 土用の丑の日",
             "08-05 土用の丑の日", "08-07 立秋",         "08-22 処暑",       "08-31 二百十日",
             "09-07 白露",         "09-10 二百二十日",   "09-19 彼岸の入り", "09-21 社日",
             "09-22 秋分",         "09-25 彼岸明け",     "10-08 寒露",       "10-20 土用の入り",
             "10-23 霜降",         "10-28 土用の丑の日", "11-07 立冬",       "11-22 小雪",
             "12-07 大雪",         "12-21 冬至"};
  QTest::newRow("2025")
      << 2025
      << QStringList{
             "01-05 小寒",         "01-17 土用の入り",   "01-20 大寒",         "01-20 土用の丑の日",
             "02-01 土用の丑の日", "02-02 節分",         "02-03 立春",         "02-18 雨水",
             "03-05 啓蟄",         "03-17 彼岸の入り",   "03-20 春分",         "03-20 社日",
             "03-23 彼岸明け",     "04-04 清明",         "04-17 土用の入り",   "04-20 穀雨",
             "04-26 土用の丑の日", "05-01 八十八夜",     "05-05 立夏",         "05-21 小満",
             "06-05 芒種",         "06-11 入梅",         "06-21 夏至",         "07-01 半夏生",
             "07-07 小暑",         "07-19 土用の入り",   "07-19 土用の丑の日", "07-22 大暑",
             "07-31 土用の丑の日", "08-07 立秋",         "08-23 処暑",         "08-31 二百十日",
             "09-07 白露",         "09-10 二百二十日",   "09-20 彼岸の入り",   "09-23 秋分",
             "09-26 彼岸明け",     "09-26 社日",         "10-08 寒露",         "10-20 土用の入り",
             "10-23 霜降",         "10-23 土用の丑の日", "11-04 土用の丑の日", "11-07 立冬",
             "11-22 小雪",         "12-07 大雪",         "12-22 冬至"};
}

void KoyomiTest::almanac() {
  QFETCH(int, year);
  QFETCH(QStringList, marks);
  QCOMPARE(yearSeasons(year), marks);
}

void KoyomiTest::termsAreToldFromSeasonalDays() {
  const koyomi::DayMarks winter = koyomi::dayMarks(iso("2024-12-21"));
  QCOMPARE(winter.seasons, (QList<koyomi::SeasonMark>{{"冬至", true}}));
  const koyomi::DayMarks setsubun = koyomi::dayMarks(iso("2024-02-03"));
  QCOMPARE(setsubun.seasons, (QList<koyomi::SeasonMark>{{"節分", false}}));
  QVERIFY(koyomi::dayMarks(iso("2024-02-02")).seasons.isEmpty());
}

void KoyomiTest::range_data() {
  QTest::addColumn<QDate>("date");
  QTest::addColumn<bool>("valid");
  QTest::newRow("day before") << iso("1872-12-31") << false;
  QTest::newRow("first") << iso("1873-01-01") << true;
  QTest::newRow("last") << iso("2100-12-31") << true;
  QTest::newRow("day after") << iso("2101-01-01") << false;
  QTest::newRow("far past") << iso("0001-01-01") << false;
  QTest::newRow("invalid") << QDate() << false;
}

void KoyomiTest::range() {
  QFETCH(QDate, date);
  QFETCH(bool, valid);
  const koyomi::DayMarks marks = koyomi::dayMarks(date);
  QCOMPARE(marks.valid, valid);
  QCOMPARE(koyomi::marksText(marks, koyomi::Rokuyo | koyomi::LunisolarAndEra | koyomi::Seasons)
               .isEmpty(),
           !valid);
  if (date.isValid()) {
    const QList<koyomi::DayMarks> month = koyomi::monthMarks(date.year(), date.month());
    QCOMPARE(month.size(), date.daysInMonth());
    QCOMPARE(month[date.day() - 1].valid, valid);
  }
}

void KoyomiTest::marksText_data() {
  QTest::addColumn<QDate>("date");
  QTest::addColumn<int>("kinds");
  QTest::addColumn<QString>("text");
  const int all = koyomi::Rokuyo | koyomi::LunisolarAndEra | koyomi::Seasons;
  QTest::newRow("all, no term") << iso("2026-12-09") << all << "大安　旧11月1日　令和8年";
  QTest::newRow("rokuyo") << iso("2026-12-09") << int(koyomi::Rokuyo) << "大安";
  QTest::newRow("old date and era")
      << iso("2026-12-09") << int(koyomi::LunisolarAndEra) << "旧11月1日　令和8年";
  QTest::newRow("none") << iso("2026-12-09") << 0 << "";
  QTest::newRow("two marks") << iso("2024-05-01") << all
                             << "先勝　旧3月23日　令和6年　八十八夜　土用の丑の日";
  QTest::newRow("seasons only") << iso("2024-12-21") << int(koyomi::Seasons) << "冬至";
}

void KoyomiTest::marksText() {
  QFETCH(QDate, date);
  QFETCH(int, kinds);
  QFETCH(QString, text);
  QCOMPARE(koyomi::marksText(koyomi::dayMarks(date), kinds), text);
}

// PyEphem (libastro, another theory of the sun and moon and its own ΔT) gives every new moon
// and solar term of 1872-2102 and the old date and 六曜 of every day of 1873-2100, by the same
// rules (tests/calendar/koyomi_reference.py).
void KoyomiTest::againstReference() {
  const QString python = QStringLiteral(DEBIAN_PYTHON);
  if (python.isEmpty()) {
    QSKIP("Debian's python3 is not installed");
  }
  QProcess process;
  process.start(python, {QStringLiteral(KOYOMI_REFERENCE)});
  QVERIFY(process.waitForFinished(120000));
  QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
           process.readAllStandardError().constData());
  const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');

  QList<double> moons;
  QList<std::pair<int, double>> terms;
  QList<QByteArray> days;
  QSet<QDate> excepted;
  for (const QByteArray& line : lines) {
    const QList<QByteArray> f = line.split(' ');
    if (f[0] == "N") {
      moons.append(f[1].toDouble());
    } else if (f[0] == "T") {
      terms.append({f[1].toInt(), f[2].toDouble()});
    } else if (f[0] == "D") {
      days.append(line);
    } else if (f[0] == "X") {
      excepted.insert(QDate::fromString(QString::fromLatin1(f[1]), Qt::ISODate));
    }
  }
  QCOMPARE(days.size(), 83275);  // every day of 1873-2100

  QList<double> ourMoons;
  QList<astronomy::SolarTerm> ourTerms;
  for (int year = 1872; year <= 2102; ++year) {
    const koyomi::YearEvents& events = koyomi::yearEvents(year);
    ourMoons.append(QList<double>(events.newMoons.begin(), events.newMoons.end()));
    ourTerms.append(QList<astronomy::SolarTerm>(events.terms.begin(), events.terms.end()));
  }
  QCOMPARE(ourMoons.size(), moons.size());
  QCOMPARE(ourTerms.size(), terms.size());
  const double twoMinutes = 2.0 / 1440.0;
  double worstMoon = 0;
  double worstTerm = 0;
  for (qsizetype i = 0; i < moons.size(); ++i) {
    const double gap = std::abs(ourMoons[i] - moons[i]);
    worstMoon = std::max(worstMoon, gap);
    QVERIFY2(gap < twoMinutes, qPrintable(QString::number(moons[i], 'f', 5)));
  }
  for (qsizetype i = 0; i < terms.size(); ++i) {
    QCOMPARE(ourTerms[i].longitude, terms[i].first);
    const double gap = std::abs(ourTerms[i].jdUt - terms[i].second);
    worstTerm = std::max(worstTerm, gap);
    QVERIFY2(gap < twoMinutes, qPrintable(QString::number(terms[i].second, 'f', 5)));
  }

  int compared = 0;
  QStringList differing;
  for (const QByteArray& line : days) {
    const QList<QByteArray> f = line.split(' ');
    const QDate date = QDate::fromString(QString::fromLatin1(f[1]), Qt::ISODate);
    const koyomi::DayMarks marks = koyomi::dayMarks(date);
    QVERIFY(marks.valid);
    const bool same = marks.lunisolar.month == f[2].toInt() &&
                      marks.lunisolar.leap == (f[3] == "1") &&
                      marks.lunisolar.day == f[4].toInt() &&
                      koyomi::rokuyoName(marks.rokuyo) == QString::fromUtf8(f[5]);
    if (excepted.contains(date)) {
      if (!same) {
        differing.append(date.toString(Qt::ISODate));
      }
      continue;
    }
    ++compared;
    QVERIFY2(same, line.constData());
  }
  // The excepted days as runs "first..last".
  QList<QDate> sorted(excepted.begin(), excepted.end());
  std::sort(sorted.begin(), sorted.end());
  QStringList runs;
  for (qsizetype i = 0; i < sorted.size();) {
    qsizetype j = i;
    while (j + 1 < sorted.size() && sorted[j].daysTo(sorted[j + 1]) == 1) ++j;
    runs.append(sorted[i].toString(Qt::ISODate) + QStringLiteral("..") +
                sorted[j].toString(Qt::ISODate));
    i = j + 1;
  }
  qInfo("excepted: %s", qPrintable(runs.join(' ')));
  qInfo(
      "%d days the same; %lld days excepted (a new moon or principal term within two minutes "
      "of midnight JST), %lld of them computed otherwise: %s",
      compared, static_cast<long long>(excepted.size()), static_cast<long long>(differing.size()),
      qPrintable(differing.join(' ')));
  qInfo("largest gap: new moons %.1f s, terms %.1f s", worstMoon * 86400, worstTerm * 86400);
}

QTEST_GUILESS_MAIN(KoyomiTest)
#include "tst_koyomi.moc"
