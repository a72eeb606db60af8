#include "calendar/DateNavigation.h"

#include "shared/DateFormat.h"

namespace {

constexpr int kFirstYear = 1;
constexpr int kLastYear = 9999;

QString lowerBoundMessage() { return QStringLiteral("西暦は0001年まで"); }
QString upperBoundMessage() { return QStringLiteral("西暦は9999年まで"); }

// The length of the month before `month` (which is still the current one).
int previousMonthLength(int year, int month) {
  switch (month) {
    case 3:
      return isLeapYear(year) ? 29 : 28;
    case 5:
    case 7:
    case 10:
    case 12:
      return 30;
    default:  // 1, 2, 4, 6, 8, 9, 11
      return 31;
  }
}

int februaryLength(int year) { return isLeapYear(year) ? 29 : 28; }

void clampFebruary(CalendarDate& date) {
  if (date.month == 2 && date.day > 28) date.day = februaryLength(date.year);
}

// After a month move only a 31st and the end of February need pulling back.
void clampAfterMonthMove(CalendarDate& date) {
  if ((date.month == 4 || date.month == 6 || date.month == 9 || date.month == 11) &&
      date.day == 31) {
    date.day = 30;
  }
  clampFebruary(date);
}

void dayBack(DateMoveResult& result) {
  CalendarDate& date = result.date;
  if (--date.day >= 1) return;
  date.day = previousMonthLength(date.year, date.month);
  result.monthChanged = true;
  if (--date.month >= 1) return;
  date.month = 12;
  if (--date.year >= kFirstYear) return;
  result.boundMessage = lowerBoundMessage();
  date = {kFirstYear, 1, 1};
}

void dayForward(DateMoveResult& result) {
  CalendarDate& date = result.date;
  if (++date.day <= daysInMonth(date.year, date.month)) return;
  date.day = 1;
  result.monthChanged = true;
  if (++date.month <= 12) return;
  date.month = 1;
  if (++date.year <= kLastYear) return;
  result.boundMessage = upperBoundMessage();
  date = {kLastYear, 12, 31};
}

void monthBack(DateMoveResult& result) {
  CalendarDate& date = result.date;
  if (--date.month < 1) {
    date.month = 12;
    if (--date.year < kFirstYear) {
      result.boundMessage = lowerBoundMessage();
      date.year = kFirstYear;
      date.month = 1;
    }
  }
  clampAfterMonthMove(date);
}

void monthForward(DateMoveResult& result) {
  CalendarDate& date = result.date;
  if (++date.month > 12) {
    date.month = 1;
    if (++date.year > kLastYear) {
      result.boundMessage = upperBoundMessage();
      date.year = kLastYear;
      date.month = 12;
    }
  }
  clampAfterMonthMove(date);
}

void yearStep(DateMoveResult& result, int step) {
  CalendarDate& date = result.date;
  date.year += step;
  if (date.year < kFirstYear || date.year > kLastYear) {
    result.boundMessage = step < 0 ? lowerBoundMessage() : upperBoundMessage();
    date.year -= step;
  }
  clampFebruary(date);
}

}  // namespace

DateMoveResult moveDate(const CalendarDate& from, DateMove move) {
  DateMoveResult result;
  result.date = from;
  switch (move) {
    case DateMove::DayBack:
      dayBack(result);
      break;
    case DateMove::DayForward:
      dayForward(result);
      break;
    case DateMove::MonthBack:
      monthBack(result);
      break;
    case DateMove::MonthForward:
      monthForward(result);
      break;
    case DateMove::YearBack:
      yearStep(result, -1);
      break;
    case DateMove::YearForward:
      yearStep(result, +1);
      break;
  }
  // Month and year moves always rebuild the grid, refused or not; a day move that is refused
  // has already left its month before it was put back.
  if (move != DateMove::DayBack && move != DateMove::DayForward) result.monthChanged = true;
  return result;
}

CalendarDate clampDayToMonth(const CalendarDate& date) {
  CalendarDate clamped = date;
  const int length = daysInMonth(date.year, date.month);
  if (length > 0 && clamped.day > length) clamped.day = length;
  return clamped;
}
