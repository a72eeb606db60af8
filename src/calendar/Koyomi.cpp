#include "calendar/Koyomi.h"

#include "calendar/KoyomiEvents.h"

#include <unicode/calendar.h>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <QStringList>
#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace koyomi {
namespace {

constexpr int kFirstYear = 1873;
constexpr int kLastYear = 2100;

const char* const kRokuyo[] = {"大安", "赤口", "先勝", "友引", "先負", "仏滅"};

// The 24 terms by the sun's longitude / 15.
const char* const kTermNames[] = {"春分", "清明", "穀雨", "立夏", "小満", "芒種", "夏至", "小暑",
                                  "大暑", "立秋", "処暑", "白露", "秋分", "寒露", "霜降", "立冬",
                                  "小雪", "大雪", "冬至", "小寒", "大寒", "立春", "雨水", "啓蟄"};

struct LunarMonth {
  QDate start;
  int number = 0;
  bool leap = false;
};

struct DayEntry {
  LunisolarDate lunisolar;
  int rokuyo = 0;
  QString era;
  QList<SeasonMark> seasons;
};

struct YearTable {
  QDate first;
  std::vector<DayEntry> days;
};

std::mutex cacheMutex;
std::map<int, YearEvents> eventCache;
std::map<int, std::vector<LunarMonth>> spanCache;
std::map<int, std::unique_ptr<YearTable>> tableCache;

// The astronomy of the years was done when the program was built; here it is looked up.
YearEvents computeEvents(int year) {
  YearEvents events;
  if (year >= builtin::kFirstEventYear && year <= builtin::kLastEventYear) {
    const builtin::YearEventsTable& table = builtin::kYears[year - builtin::kFirstEventYear];
    events.newMoons.assign(table.newMoons, table.newMoons + table.newMoonCount);
    events.terms.assign(table.terms, table.terms + table.termCount);
  }
  return events;
}

// A year's tables take a moment to build from its events: that runs without the lock, so that
// a year prepared ahead on another thread does not hold up the one a window asks for.
void ensureEvents(int fromYear, int toYear) {
  for (int year = fromYear; year <= toYear; ++year) {
    {
      std::lock_guard lock(cacheMutex);
      if (eventCache.count(year)) {
        continue;
      }
    }
    YearEvents events = computeEvents(year);
    std::lock_guard lock(cacheMutex);
    eventCache.emplace(year, std::move(events));
  }
}

const YearEvents& eventsLocked(int year) {
  auto found = eventCache.find(year);
  if (found == eventCache.end()) {
    found = eventCache.emplace(year, computeEvents(year)).first;
  }
  return found->second;
}

QDate termDate(int year, int longitude) {
  for (const auto& term : eventsLocked(year).terms) {
    if (term.longitude == longitude) {
      return astronomy::jstDate(term.jdUt);
    }
  }
  return {};
}

// The months from the one holding the winter solstice of year - 1 (the 11th) to the one before
// the month holding the solstice of the year.
const std::vector<LunarMonth>& spanLocked(int year) {
  auto found = spanCache.find(year);
  if (found != spanCache.end()) {
    return found->second;
  }
  std::vector<QDate> starts;
  for (int y = year - 1; y <= year + 1; ++y) {
    for (double jd : eventsLocked(y).newMoons) {
      starts.push_back(astronomy::jstDate(jd));
    }
  }
  std::vector<QDate> principal;
  for (int y = year - 1; y <= year; ++y) {
    for (const auto& term : eventsLocked(y).terms) {
      if (term.longitude % 30 == 0) {
        principal.push_back(astronomy::jstDate(term.jdUt));
      }
    }
  }
  // The month holding a day: the last start on or before it.
  const auto monthHolding = [&starts](const QDate& day) {
    return static_cast<int>(std::upper_bound(starts.begin(), starts.end(), day) - starts.begin()) -
           1;
  };
  const int a = monthHolding(termDate(year - 1, 270));
  const int b = monthHolding(termDate(year, 270));
  int leap = -1;
  if (b - a == 13) {
    for (int i = a + 1; i < b && leap < 0; ++i) {
      const bool holdsPrincipal =
          std::any_of(principal.begin(), principal.end(),
                      [&](const QDate& d) { return d >= starts[i] && d < starts[i + 1]; });
      if (!holdsPrincipal) {
        leap = i;
      }
    }
  }
  std::vector<LunarMonth> months;
  int number = 11;
  for (int i = a; i < b; ++i) {
    if (i > a && i != leap) {
      number = number % 12 + 1;
    }
    months.push_back({starts[i], number, i == leap});
  }
  return spanCache.emplace(year, std::move(months)).first->second;
}

QString fromIcu(const icu::UnicodeString& text) {
  return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

// The era years of the days of a year, through ICU's Japanese calendar.
std::vector<QString> eraYears(const QDate& first, int count) {
  std::vector<QString> result(static_cast<std::size_t>(count));
  UErrorCode status = U_ZERO_ERROR;
  const icu::Locale locale("ja_JP@calendar=japanese");
  std::unique_ptr<icu::Calendar> calendar(
      icu::Calendar::createInstance(icu::TimeZone::getGMT()->clone(), locale, status));
  icu::DateFormatSymbols symbols(locale, "japanese", status);
  int32_t eraCount = 0;
  const icu::UnicodeString* eras = symbols.getEras(eraCount);
  if (U_FAILURE(status) || !calendar || !eras) {
    return result;
  }
  QString last;
  int lastEra = -1;
  int lastYear = -1;
  for (int i = 0; i < count; ++i) {
    // Noon UTC of the day: the same date in Japan.
    const double udate =
        (static_cast<double>(first.toJulianDay() + i) - 2440588.0) * 86400000.0 + 43200000.0;
    calendar->setTime(udate, status);
    const int era = calendar->get(UCAL_ERA, status);
    const int year = calendar->get(UCAL_YEAR, status);
    if (U_FAILURE(status) || era < 0 || era >= eraCount) {
      return std::vector<QString>(static_cast<std::size_t>(count));
    }
    if (era != lastEra || year != lastYear) {
      last = fromIcu(eras[era]) + (year == 1 ? QStringLiteral("元") : QString::number(year)) +
             QStringLiteral("年");
      lastEra = era;
      lastYear = year;
    }
    result[static_cast<std::size_t>(i)] = last;
  }
  return result;
}

int stemOf(const QDate& date) { return static_cast<int>((date.toJulianDay() + 49) % 10); }
int branchOf(const QDate& date) { return static_cast<int>((date.toJulianDay() + 49) % 12); }

double termInstant(int year, int longitude) {
  for (const auto& term : eventsLocked(year).terms) {
    if (term.longitude == longitude) {
      return term.jdUt;
    }
  }
  return 0;
}

// The 戊 day nearest an equinox; when the equinox falls on a 癸 day, both 戊 days lie five
// days off, and the observatory takes the earlier one if the equinox comes before noon.
QDate shanichi(double equinoxJd) {
  const QDate day = astronomy::jstDate(equinoxJd);
  const int back = (stemOf(day) - 4 + 10) % 10;
  const int forward = (4 - stemOf(day) + 10) % 10;
  if (back != forward || back == 0) {
    return back <= forward ? day.addDays(-back) : day.addDays(forward);
  }
  return astronomy::jstMinuteOfDay(equinoxJd) < 720 ? day.addDays(-5) : day.addDays(5);
}

// The day the sun reaches one of the longitudes of kSeasonLongitudes in the year.
QDate longitudeDate(int year, int degrees) {
  if (year < builtin::kFirstEventYear || year > builtin::kLastEventYear) return {};
  const builtin::YearEventsTable& table = builtin::kYears[year - builtin::kFirstEventYear];
  for (int i = 0; i < 6; ++i) {
    if (builtin::kSeasonLongitudes[i] == degrees) return astronomy::jstDate(table.seasons[i]);
  }
  return {};
}

std::vector<std::pair<QDate, QString>> seasonalDays(int year) {
  std::vector<std::pair<QDate, QString>> days;
  const QDate risshun = termDate(year, 315);
  days.emplace_back(risshun.addDays(-1), QStringLiteral("節分"));
  for (int equinox : {0, 180}) {
    const double jd = termInstant(year, equinox);
    const QDate day = astronomy::jstDate(jd);
    days.emplace_back(day.addDays(-3), QStringLiteral("彼岸の入り"));
    days.emplace_back(day.addDays(3), QStringLiteral("彼岸明け"));
    days.emplace_back(shanichi(jd), QStringLiteral("社日"));
  }
  days.emplace_back(risshun.addDays(87), QStringLiteral("八十八夜"));
  days.emplace_back(risshun.addDays(209), QStringLiteral("二百十日"));
  days.emplace_back(risshun.addDays(219), QStringLiteral("二百二十日"));
  days.emplace_back(longitudeDate(year, 80), QStringLiteral("入梅"));
  days.emplace_back(longitudeDate(year, 100), QStringLiteral("半夏生"));
  // Each 土用 runs from the sun at 27, 117, 207 or 297 degrees to the day before the next
  // season's start (立夏, 立秋, 立冬, 立春).
  for (int start : {297, 27, 117, 207}) {
    const QDate first = longitudeDate(year, start);
    const QDate end = termDate(year, (start + 18) % 360);
    days.emplace_back(first, QStringLiteral("土用の入り"));
    for (QDate d = first; d < end; d = d.addDays(1)) {
      if (branchOf(d) == 1) {
        days.emplace_back(d, QStringLiteral("土用の丑の日"));
      }
    }
  }
  return days;
}

const YearTable& tableLocked(int year) {
  auto found = tableCache.find(year);
  if (found != tableCache.end()) {
    return *found->second;
  }
  auto table = std::make_unique<YearTable>();
  table->first = QDate(year, 1, 1);
  const int count = table->first.daysInYear();
  table->days.resize(static_cast<std::size_t>(count));
  std::vector<LunarMonth> months = spanLocked(year);
  const auto& next = spanLocked(year + 1);
  months.insert(months.end(), next.begin(), next.end());
  const std::vector<QString> eras = eraYears(table->first, count);
  std::size_t m = 0;
  for (int i = 0; i < count; ++i) {
    const QDate day = table->first.addDays(i);
    while (m + 1 < months.size() && months[m + 1].start <= day) {
      ++m;
    }
    DayEntry& entry = table->days[static_cast<std::size_t>(i)];
    entry.lunisolar.month = months[m].number;
    entry.lunisolar.leap = months[m].leap;
    entry.lunisolar.day = static_cast<int>(months[m].start.daysTo(day)) + 1;
    entry.rokuyo = (entry.lunisolar.month + entry.lunisolar.day) % 6;
    entry.era = eras[static_cast<std::size_t>(i)];
  }
  for (const auto& term : eventsLocked(year).terms) {
    const QDate day = astronomy::jstDate(term.jdUt);
    table->days[static_cast<std::size_t>(table->first.daysTo(day))].seasons.append(
        {QString::fromUtf8(kTermNames[term.longitude / 15]), true});
  }
  for (const auto& [day, name] : seasonalDays(year)) {
    if (day.year() == year) {
      table->days[static_cast<std::size_t>(table->first.daysTo(day))].seasons.append({name, false});
    }
  }
  return *tableCache.emplace(year, std::move(table)).first->second;
}

DayMarks marksOf(const DayEntry& entry) {
  DayMarks marks;
  marks.valid = true;
  marks.lunisolar = entry.lunisolar;
  marks.rokuyo = entry.rokuyo;
  marks.era = entry.era;
  marks.seasons = entry.seasons;
  return marks;
}

}  // namespace

QDate firstDate() { return QDate(kFirstYear, 1, 1); }
QDate lastDate() { return QDate(kLastYear, 12, 31); }
bool covers(const QDate& date) {
  return date.isValid() && date >= firstDate() && date <= lastDate();
}

DayMarks dayMarks(const QDate& date) {
  if (!covers(date)) {
    return {};
  }
  ensureEvents(date.year() - 1, date.year() + 2);
  std::lock_guard lock(cacheMutex);
  const YearTable& table = tableLocked(date.year());
  return marksOf(table.days[static_cast<std::size_t>(table.first.daysTo(date))]);
}

QList<DayMarks> monthMarks(int year, int month) {
  const QDate first(year, month, 1);
  QList<DayMarks> result;
  if (!first.isValid()) {
    return result;
  }
  result.resize(first.daysInMonth());
  if (year < kFirstYear || year > kLastYear) {
    return result;
  }
  ensureEvents(year - 1, year + 2);
  std::lock_guard lock(cacheMutex);
  const YearTable& table = tableLocked(year);
  const auto offset = static_cast<std::size_t>(table.first.daysTo(first));
  for (int i = 0; i < result.size(); ++i) {
    result[i] = marksOf(table.days[offset + static_cast<std::size_t>(i)]);
  }
  return result;
}

QString rokuyoName(int rokuyo) {
  return rokuyo >= 0 && rokuyo < 6 ? QString::fromUtf8(kRokuyo[rokuyo]) : QString();
}

QString lunisolarText(const LunisolarDate& date) {
  return QStringLiteral("旧%1%2月%3日")
      .arg(date.leap ? QStringLiteral("閏") : QString())
      .arg(date.month)
      .arg(date.day);
}

QString marksText(const DayMarks& marks, int kinds) {
  if (!marks.valid) {
    return {};
  }
  QStringList parts;
  if (kinds & Rokuyo) {
    parts.append(rokuyoName(marks.rokuyo));
  }
  if (kinds & LunisolarAndEra) {
    parts.append(lunisolarText(marks.lunisolar));
    if (!marks.era.isEmpty()) {
      parts.append(marks.era);
    }
  }
  if (kinds & Seasons) {
    for (const SeasonMark& season : marks.seasons) {
      parts.append(season.name);
    }
  }
  return parts.join(QChar(0x3000));
}

void prepareYear(int year) {
  if (year >= kFirstYear && year <= kLastYear) {
    monthMarks(year, 1);
  }
}

const YearEvents& yearEvents(int year) {
  ensureEvents(year, year);
  std::lock_guard lock(cacheMutex);
  return eventsLocked(year);
}

}  // namespace koyomi
