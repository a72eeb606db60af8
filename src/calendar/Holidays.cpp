#include "calendar/Holidays.h"

#include <QStringView>
#include <QVarLengthArray>
#include <algorithm>
#include <array>

namespace {

// How a rule finds its day in a year.
enum class DayKind { Fixed, NthMonday, SpringEquinox, AutumnEquinox };

struct Rule {
  QStringView name;
  int month;
  DayKind kind;
  int day;  // Fixed: the day of the month; NthMonday: which Monday (1-5); unused otherwise
  int firstYear;
  int lastYear;
};

constexpr int kOpenEnd = 9999;

constexpr Rule fixed(QStringView name, int month, int day, int firstYear, int lastYear = kOpenEnd) {
  return {name, month, DayKind::Fixed, day, firstYear, lastYear};
}
constexpr Rule monday(QStringView name, int month, int nth, int firstYear,
                      int lastYear = kOpenEnd) {
  return {name, month, DayKind::NthMonday, nth, firstYear, lastYear};
}
constexpr Rule equinox(QStringView name, int month, int firstYear) {
  return {name, month,     month == 3 ? DayKind::SpringEquinox : DayKind::AutumnEquinox,
          0,    firstYear, kOpenEnd};
}

// Every holiday by the years it applied. The act took effect on 1948-07-20, so a holiday that
// fell earlier in 1948 starts in 1949; 1 January is kept for every year, as before the act.
// Where two rules meet on one day, the earlier row names it.
constexpr std::array kRules{
    fixed(u"元日", 1, 1, 1),
    fixed(u"成人の日", 1, 15, 1949, 1999),
    monday(u"成人の日", 1, 2, 2000),
    fixed(u"建国記念の日", 2, 11, 1967),
    fixed(u"天皇誕生日", 2, 23, 2020),
    equinox(u"春分の日", 3, 1949),
    fixed(u"天皇誕生日", 4, 29, 1949, 1988),
    fixed(u"みどりの日", 4, 29, 1989, 2006),
    fixed(u"昭和の日", 4, 29, 2007),
    fixed(u"憲法記念日", 5, 3, 1949),
    fixed(u"みどりの日", 5, 4, 2007),
    fixed(u"こどもの日", 5, 5, 1949),
    fixed(u"海の日", 7, 20, 1996, 2002),
    monday(u"海の日", 7, 3, 2003, 2019),
    fixed(u"海の日", 7, 23, 2020, 2020),  // moved for the Tokyo games
    fixed(u"海の日", 7, 22, 2021, 2021),
    monday(u"海の日", 7, 3, 2022),
    fixed(u"スポーツの日", 7, 24, 2020, 2020),
    fixed(u"スポーツの日", 7, 23, 2021, 2021),
    fixed(u"山の日", 8, 11, 2016, 2019),
    fixed(u"山の日", 8, 10, 2020, 2020),
    fixed(u"山の日", 8, 8, 2021, 2021),
    fixed(u"山の日", 8, 11, 2022),
    fixed(u"敬老の日", 9, 15, 1966, 2002),
    monday(u"敬老の日", 9, 3, 2003),
    equinox(u"秋分の日", 9, 1948),
    fixed(u"体育の日", 10, 10, 1966, 1999),
    monday(u"体育の日", 10, 2, 2000, 2019),
    monday(u"スポーツの日", 10, 2, 2022),
    fixed(u"文化の日", 11, 3, 1948),
    fixed(u"勤労感謝の日", 11, 23, 1948),
    fixed(u"天皇誕生日", 12, 23, 1989, 2018),
    // Days that special laws made holidays.
    fixed(u"結婚の儀", 4, 10, 1959, 1959),
    fixed(u"大喪の礼", 2, 24, 1989, 1989),
    fixed(u"即位礼正殿の儀", 11, 12, 1990, 1990),
    fixed(u"結婚の儀", 6, 9, 1993, 1993),
    fixed(u"天皇の即位の日", 5, 1, 2019, 2019),
    fixed(u"即位礼正殿の儀", 10, 22, 2019, 2019),
};

constexpr QStringView kSubstituteHoliday = u"振替休日";
constexpr QStringView kDayBetweenHolidays = u"国民の休日";

// A holiday on a Sunday gives the next day off from this date on.
const QDate kSubstituteFrom(1973, 4, 12);
// A day between two holidays is a day off from this date on.
const QDate kBetweenFrom(1985, 12, 27);
// From 2007 a substitute day skips over holidays, and a day between two holidays may be a Sunday
// (it then stays a Sunday in everything but name).
const QDate kAmendment2007(2007, 1, 1);

struct Day {
  QDate date;
  QStringView name;
};
using Days = QVarLengthArray<Day, 32>;

int dayOfRule(const Rule& rule, int year) {
  switch (rule.kind) {
    case DayKind::Fixed:
      return rule.day;
    case DayKind::NthMonday: {
      const int weekdayOfFirst = QDate(year, rule.month, 1).dayOfWeek();
      return 1 + (Qt::Monday - weekdayOfFirst + 7) % 7 + 7 * (rule.day - 1);
    }
    case DayKind::SpringEquinox:
      return springEquinoxDay(year);
    case DayKind::AutumnEquinox:
      return autumnEquinoxDay(year);
  }
  return rule.day;
}

bool contains(const Days& days, const QDate& date) {
  return std::any_of(days.begin(), days.end(), [&](const Day& day) { return day.date == date; });
}

// The holidays and days off of a year, in date order.
Days yearHolidays(int year) {
  Days national;
  for (const Rule& rule : kRules) {
    if (year < rule.firstYear || year > rule.lastYear) continue;
    const QDate date(year, rule.month, dayOfRule(rule, year));
    if (!contains(national, date)) national.append({date, rule.name});
  }
  std::sort(national.begin(), national.end(),
            [](const Day& a, const Day& b) { return a.date < b.date; });

  Days days = national;
  for (const Day& holiday : national) {
    if (holiday.date < kSubstituteFrom || holiday.date.dayOfWeek() != Qt::Sunday) continue;
    QDate next = holiday.date.addDays(1);
    if (holiday.date >= kAmendment2007) {
      while (contains(national, next)) next = next.addDays(1);
    } else if (contains(national, next)) {
      continue;
    }
    days.append({next, kSubstituteHoliday});
  }
  for (qsizetype i = 0; i + 1 < national.size(); ++i) {
    if (national[i].date.daysTo(national[i + 1].date) != 2) continue;
    const QDate between = national[i].date.addDays(1);
    if (between < kBetweenFrom || contains(days, between)) continue;
    if (between < kAmendment2007 && between.dayOfWeek() == Qt::Sunday) continue;
    days.append({between, kDayBetweenHolidays});
  }
  std::sort(days.begin(), days.end(), [](const Day& a, const Day& b) { return a.date < b.date; });
  return days;
}

bool isShownYear(int year) { return year >= 1 && year <= kOpenEnd; }

qint64 floorDiv(qint64 value, qint64 divisor) {
  const qint64 quotient = value / divisor;
  return quotient * divisor > value ? quotient - 1 : quotient;
}

// The equinox falls `offset` (in millionths of a day) after the day before the 1st of `month`
// in 1980, Japan time, and a mean tropical year later each year; the calendar's own leap days
// come from the dates themselves.
int equinoxDay(int year, int month, qint64 offset) {
  constexpr qint64 kMillionths = 1'000'000;
  constexpr qint64 kTropicalYear = 365'242'194;
  const qint64 instant = offset + kTropicalYear * (year - 1980);
  const qint64 calendarDays =
      QDate(year, month, 1).toJulianDay() - QDate(1980, month, 1).toJulianDay();
  return static_cast<int>(floorDiv(instant, kMillionths) - calendarDays);
}

}  // namespace

// The constants are those of the usual formula (1900-1979, 1980-2099, 2100-2150), which
// equinoxDay() reproduces exactly in those years.
int springEquinoxDay(int year) {
  const qint64 offset = year < 1980 ? 20'835'700 : year < 2100 ? 20'843'100 : 20'851'000;
  return equinoxDay(year, 3, offset);
}

int autumnEquinoxDay(int year) {
  const qint64 offset = year < 1980 ? 23'258'800 : 23'248'800;
  return equinoxDay(year, 9, offset);
}

std::optional<QString> holidayName(const QDate& date) {
  if (!date.isValid() || !isShownYear(date.year())) return std::nullopt;
  for (const Day& day : yearHolidays(date.year())) {
    if (day.date == date) return day.name.toString();
  }
  return std::nullopt;
}

QList<MonthHoliday> monthHolidays(int year, int month) {
  QList<MonthHoliday> holidays;
  if (!isShownYear(year) || month < 1 || month > 12) return holidays;
  for (const Day& day : yearHolidays(year)) {
    if (day.date.year() == year && day.date.month() == month) {
      holidays.append({day.date.day(), day.name.toString()});
    }
  }
  return holidays;
}
