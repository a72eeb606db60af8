#pragma once

#include <QDate>
#include <QString>

// Moving the selected date by a day, a month or a year, within the years 1 to 9999.

struct CalendarDate {
  int year = 1;
  int month = 1;
  int day = 1;

  QDate toQDate() const { return QDate(year, month, day); }
  friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

enum class DateMove {
  DayBack,       // 一日前へ
  DayForward,    // 一日後へ
  MonthBack,     // 一ヶ月前へ
  MonthForward,  // 一ヵ月後へ
  YearBack,      // 一年前へ
  YearForward,   // 一年後へ
};

// Title of the message box that reports a refused move; its text is DateMoveResult::boundMessage.
inline const QString kDateBoundTitle = QStringLiteral("これ以上表示できません。");

struct DateMoveResult {
  CalendarDate date;
  // The shown month is another one, or the move was refused: the month grid must be rebuilt,
  // not only the day list.
  bool monthChanged = false;
  // "西暦は0001年まで" or "西暦は9999年まで" when the move ran past a bound and the date was put
  // back to it; empty otherwise. Show it before refreshing.
  QString boundMessage;

  bool refused() const { return !boundMessage.isEmpty(); }
};

DateMoveResult moveDate(const CalendarDate& from, DateMove move);

// The day pulled back to the month's last day when it lies beyond it (an entry added in the
// editor can leave such a day selected).
CalendarDate clampDayToMonth(const CalendarDate& date);
