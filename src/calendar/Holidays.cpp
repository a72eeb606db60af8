#include "calendar/Holidays.h"

#include <array>

namespace {

constexpr int kMonday = 1;  // QDate::dayOfWeek
constexpr int kFromPostwar = 1950;

using Rule = HolidayRule;

constexpr std::array<HolidayRule, 17> kRules{{
    {u"元旦", 1, 1},
    {u"成人の日", 1, 15, kFromPostwar, 1999},
    {u"成人の日", 1, Rule::kSecondMonday, 2000},
    {u"建国記念日", 2, 11, kFromPostwar},
    {u"春分の日", 3, 20, kFromPostwar},
    {u"みどりの日", 4, 29, kFromPostwar},
    {u"憲法記念日", 5, 3, kFromPostwar},
    {u"国民の休日", 5, 4, kFromPostwar},
    {u"こどもの日", 5, 5, kFromPostwar},
    {u"海の日", 7, 20, kFromPostwar},
    {u"敬老の日", 9, 15, kFromPostwar},
    {u"秋分の日", 9, 23, kFromPostwar},
    {u"体育の日", 10, 10, kFromPostwar, 1999},
    {u"体育の日", 10, Rule::kSecondMonday, 2000},
    {u"文化の日", 11, 3, kFromPostwar},
    {u"勤労感謝の日", 11, 23, kFromPostwar},
    {u"天皇誕生日", 12, 23, kFromPostwar},
}};

}  // namespace

int HolidayRule::dayIn(int year) const {
  if (day != kSecondMonday) return day;
  // Days 8-14 hold exactly one Monday.
  const int weekdayOfEighth = QDate(year, month, 8).dayOfWeek();
  return 8 + (kMonday - weekdayOfEighth + 7) % 7;
}

std::span<const HolidayRule> holidayRules() { return kRules; }

std::optional<QString> holidayName(const QDate& date) {
  if (!date.isValid()) return std::nullopt;
  for (const HolidayRule& rule : kRules) {
    if (rule.month == date.month() && rule.appliesTo(date.year()) &&
        rule.dayIn(date.year()) == date.day()) {
      return rule.name.toString();
    }
  }
  return std::nullopt;
}

QList<MonthHoliday> monthHolidays(int year, int month) {
  QList<MonthHoliday> holidays;
  for (const HolidayRule& rule : kRules) {
    if (rule.month == month && rule.appliesTo(year)) {
      holidays.append({rule.dayIn(year), rule.name.toString()});
    }
  }
  return holidays;
}
