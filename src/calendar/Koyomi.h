#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <vector>

#include "calendar/Astronomy.h"

// The Japanese calendar's marks of a day: the 六曜, the old lunisolar date (旧暦) by the rules
// used in Japan today, computed for Japan Standard Time, the era year (和暦, through ICU's
// Japanese calendar), the 24 solar terms (二十四節気) and the seasonal days (雑節) as the
// National Astronomical Observatory of Japan defines them. Known from 1873-01-01 (when Japan
// took the Gregorian calendar) to 2100-12-31; outside that nothing is given rather than a
// guess. Each Gregorian year is computed once, on first use (a few tens of milliseconds), and
// kept: a month's marks are then a copy out of the year's table.
namespace koyomi {

QDate firstDate();  // 1873-01-01
QDate lastDate();   // 2100-12-31
bool covers(const QDate& date);

struct LunisolarDate {
  int month = 0;  // 1..12
  bool leap = false;
  int day = 0;  // 1..30
  friend bool operator==(const LunisolarDate&, const LunisolarDate&) = default;
};

struct SeasonMark {
  QString name;            // 冬至, 節分, 土用の丑の日 ...
  bool solarTerm = false;  // one of the 24 terms, not a seasonal day
  friend bool operator==(const SeasonMark&, const SeasonMark&) = default;
};

struct DayMarks {
  bool valid = false;  // false outside the covered range: nothing else is set
  LunisolarDate lunisolar;
  int rokuyo = 0;  // 0 大安, 1 赤口, 2 先勝, 3 友引, 4 先負, 5 仏滅
  QString era;     // 令和8年, 令和元年
  QList<SeasonMark> seasons;
};

// The marks of a day (valid is false outside the range).
DayMarks dayMarks(const QDate& date);

// The marks of every day of a month, day 1 first (entries outside the range are not valid).
QList<DayMarks> monthMarks(int year, int month);

// Computes a year's marks ahead (any thread; the windows ask for the years around the shown
// one on a worker thread, so that moving to them costs nothing).
void prepareYear(int year);

// 大安, 赤口, 先勝, 友引, 先負, 仏滅 for 0..5.
QString rokuyoName(int rokuyo);

// 旧11月1日, 旧閏3月1日.
QString lunisolarText(const LunisolarDate& date);

// The kinds of marks the windows can show, each chosen on its own.
enum MarkKind { Rokuyo = 1, LunisolarAndEra = 2, Seasons = 4 };

// A day's marks of the chosen kinds joined by ideographic spaces, 「大安　旧11月1日　令和8年」
// (the 六曜, the old date, the era year, then the terms and seasonal days); empty outside
// the range or when no kind is chosen.
QString marksText(const DayMarks& marks, int kinds);

// The events a Gregorian year's marks were computed from (for 1872-2102; empty outside).
struct YearEvents {
  std::vector<double> newMoons;             // Julian days (UT), in the year in JST
  std::vector<astronomy::SolarTerm> terms;  // the 24 terms of the year in JST
};
const YearEvents& yearEvents(int year);

}  // namespace koyomi
